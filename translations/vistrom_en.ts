<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>AboutDialog</name>
    <message>
        <source>Vistrom について</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AudioDialog</name>
    <message>
        <source>Vistrom (Audioの設定)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Audio のトラックを挿入する</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>チェックを入れると，作成したAVI ファイルにAudioトラックとして下記のwavファイルを追加します．</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CommandTable</name>
    <message>
        <source>ﾌｧｲﾙ(&amp;F)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>編集(&amp;E)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>設定(&amp;S)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>変換(&amp;C)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>新規作成(&amp;N)	Ctrl+N</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>開く(&amp;O)...	Ctrl+O</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>上書き保存(&amp;S)	Ctrl+S</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>名前を付けて保存(&amp;A)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ｱﾌﾟﾘｹｰｼｮﾝの終了(&amp;X)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>元に戻す(&amp;U)	Ctrl+Z</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>やり直し(&amp;R)	Ctrl+Shift+Z</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>切り取り(詰め)(&amp;X)	Ctrl+X</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>コピー(&amp;C)	Ctrl+C</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>貼り付け(挿入)(&amp;V)	Ctrl+V</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>選択部分を削除(&amp;D)	Del/Ctrl+D</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最後に空欄を追加(&amp;A)	Ctrl+A</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>現在位置に空欄を挿入(&amp;I)	Ctrl+I</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>全部消去</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>選択部分を空欄に(&amp;S)	Space</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>N行目へ移動(&amp;G)	Ctrl+G</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>連続範囲選択追加</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>切り取り(空白)(&amp;Y)	Ctrl+Y</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>貼り付け(上書き)(&amp;W)	Ctrl+W</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ドラッグ&amp;&amp;ドロップ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ファイルリスト取り込み...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画像表示(&amp;P)	Enter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画像を変更</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画像変更...(&amp;E)	Shift+Enter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FPS &amp;&amp; Size...(&amp;F)	Ctrl+F</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Audio ... (S)	Ctrl+E</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vistrom...(&amp;B)	Ctrl+B</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>バージョン情報(Vistrom) (&amp;A)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>印刷</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>次のウィンドウ枠</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>前のウィンドウ枠</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CompressionDialog</name>
    <message>
        <source>ビデオの圧縮</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>圧縮プログラム(&amp;C):</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>圧縮の品質(&amp;Q):</source>
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
    <name>ConversionCommand</name>
    <message>
        <source>%1 は既に存在します。
上書きしますか?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AVIファイルを作成しています...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AVIファイルを作成しています... %1 / %2 フレーム</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FrameList</name>
    <message>
        <source>順(時刻)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>BMPファイル</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FrameListView</name>
    <message>
        <source>最後に、何個項目を追加するかを指定してください。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>その場所に何個項目を追加するかを指定してください。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>本当に全部消去してよいですか?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>何番目の場所へ移動するかを指定してください。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>選択範囲の指定・何番目から?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>選択範囲の指定・何番目まで?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>一つまたは複数のファイルのアイコンを
リストのエリアに直接ドロップしてください．
メニューからはできません．</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>どの番号にドロップしますか?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>何番間隔でドロップしますか?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FrameRateSizeDialog</name>
    <message>
        <source>Vistrom (FPS,Size等の設定)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画像の拡大縮小を行う</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最後に空白コマ挿入しない</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AVIサイズを削る</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>8 bpp (256色)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>16 bpp (3万色)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>24 bpp (1700万色)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>再生速度</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画像サイズ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>横 :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>縦 :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AVI作成オプション</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画像解像度</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 から %2 までの整数を入力してください。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>未保存のデータを保存しますか?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Project</name>
    <message>
        <source>ファイルが開けませんでした</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>読み込み中にエラー発生</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ファイルを開けませんでした</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Drag&amp;Dropでエラーが生じました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Untitled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>空欄の挿入</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>空欄の追加</source>
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
    <message>
        <source>全部消去</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>切り取り(詰め)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>切り取り(空白)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>貼り付け(挿入)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>貼り付け(上書き)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ドロップ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ファイルリスト取り込み</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画像変更</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>設定の変更</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QGuiApplication</name>
    <message>
        <source>QT_LAYOUT_DIRECTION</source>
        <translation>LTR</translation>
    </message>
</context>
<context>
    <name>ValueInputDialog</name>
    <message>
        <source>Vistrom 値の設定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>符号なしの整数を入力してください (%1 から %2 まで)。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 から %2 までの整数を入力してください。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
