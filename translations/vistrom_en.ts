<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>CVistromView</name>
    <message>
        <source>空欄の挿入</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>空欄の追加</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>全部消去</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>選択部分の削除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>選択部分を空欄に</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Conversion</name>
    <message>
        <source>フレームレート %1 fps ではAVIファイルを作成できません。
FPSの設定を 1 以上にしてください。</source>
        <translation>a frame rate of %1 fps cannot make a movie (use 1 or more)</translation>
    </message>
    <message>
        <source>画像サイズ %1 x %2 ではAVIファイルを作成できません。
幅と高さを 1 から %3 の範囲にしてください。</source>
        <translation>a frame size of %1 x %2 cannot make a movie (width and height must be 1 to %3)</translation>
    </message>
    <message>
        <source>色数の設定 (%1) ではAVIファイルを作成できません。
8, 16, 24 bpp のいずれかを選んでください。</source>
        <translation>a colour depth index of %1 cannot make a movie (0, 1 or 2 for 8, 16 or 24 bits)</translation>
    </message>
    <message>
        <source>%1 行目のファイル名は改行を含むか空白だけのため、AVIファイルを作成できません。</source>
        <translation>the path in row %1 holds a line break or only white space</translation>
    </message>
    <message>
        <source>Audioのwavファイルと同じファイルにはAVIファイルを作成できません。</source>
        <translation>the sound file is the movie file itself: the movie would destroy the sound</translation>
    </message>
    <message>
        <source>中間ファイル作成時にエラーが発生しました</source>
        <translation>the intermediate frame file could not be created, written or read back</translation>
    </message>
    <message>
        <source>AVI変換処理が終了しました。</source>
        <translation>The AVI conversion has finished.</translation>
    </message>
</context>
<context>
    <name>QGuiApplication</name>
    <message>
        <source>QT_LAYOUT_DIRECTION</source>
        <translation>LTR</translation>
    </message>
</context>
</TS>
