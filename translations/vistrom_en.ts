<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>AboutDialog</name>
    <message>
        <source>Vistrom について</source>
        <translation>About Vistrom</translation>
    </message>
</context>
<context>
    <name>AudioDialog</name>
    <message>
        <source>Vistrom (Audioの設定)</source>
        <translation>Vistrom (Audio Settings)</translation>
    </message>
    <message>
        <source>Audio のトラックを挿入する</source>
        <translation>Add an audio track</translation>
    </message>
    <message>
        <source>チェックを入れると，作成したAVI ファイルにAudioトラックとして下記のwavファイルを追加します．</source>
        <translation>When checked, the WAV file below is added to the AVI file as its audio track.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>サウンドファイルの選択</source>
        <translation>Choose a Sound File</translation>
    </message>
    <message>
        <source>WAV-type file (*.wav)| *.wav ||</source>
        <translation>WAV files (*.wav)| *.wav ||</translation>
    </message>
</context>
<context>
    <name>CommandTable</name>
    <message>
        <source>ﾌｧｲﾙ(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>編集(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>設定(&amp;S)</source>
        <translation>&amp;Settings</translation>
    </message>
    <message>
        <source>変換(&amp;C)</source>
        <translation>&amp;Convert</translation>
    </message>
    <message>
        <source>表示(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>再生(&amp;P)</source>
        <translation>&amp;Playback</translation>
    </message>
    <message>
        <source>サムネイル</source>
        <translation>Thumbnails</translation>
    </message>
    <message>
        <source>再生/一時停止	Ctrl+Space</source>
        <translation>Play/Pause	Ctrl+Space</translation>
    </message>
    <message>
        <source>停止	Ctrl+.</source>
        <translation>Stop	Ctrl+.</translation>
    </message>
    <message>
        <source>ループ再生</source>
        <translation>Loop</translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>新規作成(&amp;N)	Ctrl+N</source>
        <translation>&amp;New	Ctrl+N</translation>
    </message>
    <message>
        <source>開く(&amp;O)...	Ctrl+O</source>
        <translation>&amp;Open...	Ctrl+O</translation>
    </message>
    <message>
        <source>上書き保存(&amp;S)	Ctrl+S</source>
        <translation>&amp;Save	Ctrl+S</translation>
    </message>
    <message>
        <source>名前を付けて保存(&amp;A)...</source>
        <translation>Save &amp;As...</translation>
    </message>
    <message>
        <source>ｱﾌﾟﾘｹｰｼｮﾝの終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>元に戻す(&amp;U)	Ctrl+Z</source>
        <translation>&amp;Undo	Ctrl+Z</translation>
    </message>
    <message>
        <source>やり直し(&amp;R)	Ctrl+Shift+Z</source>
        <translation>&amp;Redo	Ctrl+Shift+Z</translation>
    </message>
    <message>
        <source>切り取り(詰め)(&amp;X)	Ctrl+X</source>
        <translation>Cu&amp;t (Close Up)	Ctrl+X</translation>
    </message>
    <message>
        <source>コピー(&amp;C)	Ctrl+C</source>
        <translation>&amp;Copy	Ctrl+C</translation>
    </message>
    <message>
        <source>貼り付け(挿入)(&amp;V)	Ctrl+V</source>
        <translation>&amp;Paste (Insert)	Ctrl+V</translation>
    </message>
    <message>
        <source>選択部分を削除(&amp;D)	Del/Ctrl+D</source>
        <translation>&amp;Delete Selection	Del/Ctrl+D</translation>
    </message>
    <message>
        <source>最後に空欄を追加(&amp;A)	Ctrl+A</source>
        <translation>&amp;Add Blanks at End	Ctrl+A</translation>
    </message>
    <message>
        <source>現在位置に空欄を挿入(&amp;I)	Ctrl+I</source>
        <translation>&amp;Insert Blanks Here	Ctrl+I</translation>
    </message>
    <message>
        <source>全部消去</source>
        <translation>Clear All</translation>
    </message>
    <message>
        <source>選択部分を空欄に(&amp;S)	Space</source>
        <translation>&amp;Blank Selection	Space</translation>
    </message>
    <message>
        <source>N行目へ移動(&amp;G)	Ctrl+G</source>
        <translation>&amp;Go to Row...	Ctrl+G</translation>
    </message>
    <message>
        <source>連続範囲選択追加</source>
        <translation>Add Range to Selection</translation>
    </message>
    <message>
        <source>切り取り(空白)(&amp;Y)	Ctrl+Y</source>
        <translation>Cut (Leave Bla&amp;nks)	Ctrl+Y</translation>
    </message>
    <message>
        <source>貼り付け(上書き)(&amp;W)	Ctrl+W</source>
        <translation>Paste (Over&amp;write)	Ctrl+W</translation>
    </message>
    <message>
        <source>ドラッグ&amp;&amp;ドロップ</source>
        <translation>Drag &amp;&amp; Drop</translation>
    </message>
    <message>
        <source>ファイルリスト取り込み...</source>
        <translation>Import File List...</translation>
    </message>
    <message>
        <source>画像表示(&amp;P)	Enter</source>
        <translation>Sh&amp;ow Image	Enter</translation>
    </message>
    <message>
        <source>画像を変更</source>
        <translation>Change the image</translation>
    </message>
    <message>
        <source>画像変更...(&amp;E)	Shift+Enter</source>
        <translation>Chang&amp;e Image...	Shift+Enter</translation>
    </message>
    <message>
        <source>FPS &amp;&amp; Size...(&amp;F)	Ctrl+F</source>
        <translation>&amp;Frame Rate &amp;&amp; Size...	Ctrl+F</translation>
    </message>
    <message>
        <source>Audio ... (S)	Ctrl+E</source>
        <translation>&amp;Audio...	Ctrl+E</translation>
    </message>
    <message>
        <source>Vistrom...(&amp;B)	Ctrl+B</source>
        <translation>&amp;Build Movie...	Ctrl+B</translation>
    </message>
    <message>
        <source>バージョン情報(Vistrom) (&amp;A)...</source>
        <translation>&amp;About Vistrom...</translation>
    </message>
    <message>
        <source>印刷</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>次のウィンドウ枠</source>
        <translation>Next Pane</translation>
    </message>
    <message>
        <source>前のウィンドウ枠</source>
        <translation>Previous Pane</translation>
    </message>
    <message>
        <source>全て選択(&amp;L)	Ctrl+Shift+A</source>
        <translation>Select A&amp;ll	Ctrl+Shift+A</translation>
    </message>
</context>
<context>
    <name>CompressionDialog</name>
    <message>
        <source>ビデオの圧縮</source>
        <translation>Video Compression</translation>
    </message>
    <message>
        <source>圧縮プログラム(&amp;C):</source>
        <translation>&amp;Compressor:</translation>
    </message>
    <message>
        <source>圧縮の品質(&amp;Q):</source>
        <translation>Compression &amp;quality:</translation>
    </message>
    <message>
        <source> ― %1x%2では使えません(幅と高さは%3の倍数)</source>
        <translation> ― not at %1x%2 (width and height must be multiples of %3)</translation>
    </message>
    <message>
        <source>色数の設定はAVIの非圧縮フレームにだけ使われます</source>
        <translation>The colour depth setting applies to AVI's uncompressed frames only.</translation>
    </message>
</context>
<context>
    <name>ContainerWriter</name>
    <message>
        <source>フレームを作成できませんでした。</source>
        <translation>The frames could not be made.</translation>
    </message>
    <message>
        <source>%1 ファイルには圧縮形式 %2 を使えません。</source>
        <translation>A %1 file cannot hold the codec %2.</translation>
    </message>
    <message>
        <source>動画ファイル %1 を作成できません。</source>
        <translation>Cannot create the movie file %1.</translation>
    </message>
    <message>
        <source>サウンドをこの形式の動画に入れられないため、サウンドなしで作成しました。</source>
        <translation>The sound cannot go in a movie of this type; the movie was made without it (sound left out).</translation>
    </message>
    <message>
        <source>動画ファイルの書き込みに失敗しました (%1)。</source>
        <translation>Writing the movie file failed (%1).</translation>
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
    <message>
        <source>プロジェクトファイルと同じファイルにはAVIファイルを作成できません。</source>
        <translation>the movie file is the project file itself: the movie would destroy it</translation>
    </message>
    <message>
        <source>%1 行目の画像と同じファイルにはAVIファイルを作成できません。</source>
        <translation>the movie file is the image of row %1: the movie would destroy it</translation>
    </message>
    <message>
        <source>Audioのファイル %1 は通常のファイルではない (パイプ、デバイスまたはフォルダ) ため、読み込めません。</source>
        <translation>the sound file %1 is not a regular file (a pipe, a device or a folder): no sound is read from it</translation>
    </message>
    <message>
        <source>画像サイズ %1 x %2 のAVIファイルは再生ソフトで開けません。
(幅 + 128) × (高さ + 128) を %3 より小さくしてください。</source>
        <translation>a movie of %1 x %2 pixels cannot be opened by players: (width + 128) x (height + 128) must stay below %3</translation>
    </message>
    <message>
        <source>ファイルがありません</source>
        <translation>no such file</translation>
    </message>
    <message>
        <source>通常のファイルではありません</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>画像として読み込めません</source>
        <translation>not an image this program can read</translation>
    </message>
    <message>
        <source>フレームレート %2 fps では%1ファイルを作成できません。
FPSの設定を 1 以上にしてください。</source>
        <translation>a frame rate of %2 fps cannot make the %1 movie (use 1 or more)</translation>
    </message>
    <message>
        <source>画像サイズ %2 x %3 では%1ファイルを作成できません。
幅と高さを 1 から %4 の範囲にしてください。</source>
        <translation>a frame size of %2 x %3 cannot make the %1 movie (width and height must be 1 to %4)</translation>
    </message>
    <message>
        <source>画像サイズ %2 x %3 の%1ファイルは再生ソフトで開けません。
(幅 + 128) × (高さ + 128) を %4 より小さくしてください。</source>
        <translation>the %1 movie of %2 x %3 pixels could not be opened by players: (width + 128) x (height + 128) must stay below %4</translation>
    </message>
    <message>
        <source>Audioのwavファイルと同じファイルには%1ファイルを作成できません。</source>
        <translation>the sound file is the %1 file itself: the movie would destroy the sound</translation>
    </message>
    <message>
        <source>プロジェクトファイルと同じファイルには%1ファイルを作成できません。</source>
        <translation>the %1 file is the project file itself: the movie would destroy it</translation>
    </message>
    <message>
        <source>%2 行目の画像と同じファイルには%1ファイルを作成できません。</source>
        <translation>the %1 file is the image of row %2: the movie would destroy it</translation>
    </message>
    <message>
        <source>%2 行目のファイル名は改行を含むか空白だけのため、%1ファイルを作成できません。</source>
        <translation>the path in row %2 holds a line break or only white space: the %1 movie cannot carry it</translation>
    </message>
    <message>
        <source>%1変換処理が終了しました。</source>
        <translation>The %1 conversion has finished.</translation>
    </message>
</context>
<context>
    <name>ConversionCommand</name>
    <message>
        <source>%1 は既に存在します。
上書きしますか?</source>
        <translation>%1 already exists.
Do you want to replace it?</translation>
    </message>
    <message>
        <source>AVIファイルを作成しています...</source>
        <translation>Making the AVI file...</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>AVIファイルを作成しています... %1 / %2 フレーム</source>
        <translation>Making the AVI file... %1 / %2 frames</translation>
    </message>
    <message>
        <source>AVIファイルの保存先</source>
        <translation>Save the AVI File As</translation>
    </message>
    <message>
        <source>%1 行の画像を読み込めなかったため、白いフレームにしました。</source>
        <translation>The images of %1 rows could not be read; their frames are white.</translation>
    </message>
    <message>
        <source>%1 行目: %2</source>
        <translation>Row %1: %2</translation>
    </message>
    <message>
        <source>ほか %1 行</source>
        <translation>and %1 more rows</translation>
    </message>
    <message>
        <source>AVI変換をキャンセルしました。
%1 フレーム中 %2 フレームを書き込んだところで中止しました。</source>
        <translation>The AVI conversion was cancelled.
It stopped after writing %2 of %1 frames.</translation>
    </message>
    <message>
        <source>AVI変換に失敗しました。
%1</source>
        <translation>The AVI conversion failed.
%1</translation>
    </message>
    <message>
        <source>AVI-type file (*.avi)|  |</source>
        <translation>AVI files (*.avi)|  |</translation>
    </message>
    <message>
        <source>%1変換をキャンセルしました。
%2 フレーム中 %3 フレームを書き込んだところで中止しました。</source>
        <translation>The %1 conversion was cancelled.
It stopped after writing %3 of %2 frames.</translation>
    </message>
    <message>
        <source>%1変換に失敗しました。
%2</source>
        <translation>The %1 conversion failed.
%2</translation>
    </message>
    <message>
        <source>%1ファイルを作成しています...</source>
        <translation>Making the %1 file...</translation>
    </message>
    <message>
        <source>%1ファイルを作成しています... %2 / %3 フレーム</source>
        <translation>Making the %1 file... %2 / %3 frames</translation>
    </message>
</context>
<context>
    <name>FrameList</name>
    <message>
        <source>順(時刻)</source>
        <translation>Frame (time)</translation>
    </message>
    <message>
        <source>BMPファイル</source>
        <translation>Image file</translation>
    </message>
</context>
<context>
    <name>FrameListView</name>
    <message>
        <source>最後に、何個項目を追加するかを指定してください。</source>
        <translation>How many blank rows do you want to add at the end?</translation>
    </message>
    <message>
        <source>その場所に何個項目を追加するかを指定してください。</source>
        <translation>How many blank rows do you want to insert here?</translation>
    </message>
    <message>
        <source>本当に全部消去してよいですか?</source>
        <translation>Do you really want to clear the whole list?</translation>
    </message>
    <message>
        <source>何番目の場所へ移動するかを指定してください。</source>
        <translation>Which row do you want to go to?</translation>
    </message>
    <message>
        <source>選択範囲の指定・何番目から?</source>
        <translation>Select a range: from which row?</translation>
    </message>
    <message>
        <source>選択範囲の指定・何番目まで?</source>
        <translation>Select a range: up to which row?</translation>
    </message>
    <message>
        <source>一つまたは複数のファイルのアイコンを
リストのエリアに直接ドロップしてください．
メニューからはできません．</source>
        <translation>Drop one or more file icons directly onto the list.
This cannot be done from the menu.</translation>
    </message>
    <message>
        <source>どの番号にドロップしますか?</source>
        <translation>At which row do you want to drop?</translation>
    </message>
    <message>
        <source>何番間隔でドロップしますか?</source>
        <translation>At what row interval do you want to drop?</translation>
    </message>
    <message>
        <source>取り込むファイルリストの選択</source>
        <translation>Choose a File List to Import</translation>
    </message>
    <message>
        <source>Text File (*.txt)|*.txt|All Files (*.*)|*.*||</source>
        <translation>Text files (*.txt)|*.txt|All files (*.*)|*.*||</translation>
    </message>
    <message>
        <source>Jpeg file (*.jpg *.jpeg)|*.jpg;*.jpeg|</source>
        <translation>JPEG files (*.jpg *.jpeg)|*.jpg;*.jpeg|</translation>
    </message>
    <message>
        <source>PNG file (*.png)|*.png|</source>
        <translation>PNG files (*.png)|*.png|</translation>
    </message>
    <message>
        <source>WebP file (*.webp)|*.webp|</source>
        <translation>WebP files (*.webp)|*.webp|</translation>
    </message>
    <message>
        <source>TIFF file (*.tif *.tiff)|*.tif;*.tiff|</source>
        <translation>TIFF files (*.tif *.tiff)|*.tif;*.tiff|</translation>
    </message>
    <message>
        <source>GIF file (*.gif)|*.gif|</source>
        <translation>GIF files (*.gif)|*.gif|</translation>
    </message>
    <message>
        <source>HEIF/AVIF file (*.heic *.heif *.avif)|*.heic;*.heif;*.avif|</source>
        <translation>HEIF/AVIF files (*.heic *.heif *.avif)|*.heic;*.heif;*.avif|</translation>
    </message>
    <message>
        <source>Bitmap file (*.bmp)|*.bmp|</source>
        <translation>Bitmap files (*.bmp)|*.bmp|</translation>
    </message>
    <message>
        <source>All Files (*.*) |*.*||</source>
        <translation>All files (*.*) |*.*||</translation>
    </message>
    <message>
        <source>画像ファイルの選択</source>
        <translation>Choose an Image File</translation>
    </message>
    <message numerus="yes">
        <source>リストに行がないため、ドロップしたファイル (%n 個) を置けませんでした。
空欄を追加してから、もう一度ドロップしてください。</source>
        <translation>
            <numerusform>The list has no rows, so the dropped file could not be placed.
Add blank rows, then drop again.</numerusform>
            <numerusform>The list has no rows, so the %n dropped files could not be placed.
Add blank rows, then drop again.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>ドロップしたファイルのうち %n 個は、最後の行 (%1) より後ろに当たるため置けませんでした。
空欄を追加してから、もう一度ドロップしてください。</source>
        <translation>
            <numerusform>%n dropped file fell past the last row (%1) and could not be placed.
Add blank rows, then drop again.</numerusform>
            <numerusform>%n dropped files fell past the last row (%1) and could not be placed.
Add blank rows, then drop again.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>FrameRateSizeDialog</name>
    <message>
        <source>Vistrom (FPS,Size等の設定)</source>
        <translation>Vistrom (Frame Rate, Size and Options)</translation>
    </message>
    <message>
        <source>画像の拡大縮小を行う</source>
        <translation>Scale images to the frame size</translation>
    </message>
    <message>
        <source>最後に空白コマ挿入しない</source>
        <translation>No blank frame at the end</translation>
    </message>
    <message>
        <source>AVIサイズを削る</source>
        <translation>Make the AVI smaller</translation>
    </message>
    <message>
        <source>8 bpp (256色)</source>
        <translation>8 bpp (256 colours)</translation>
    </message>
    <message>
        <source>16 bpp (3万色)</source>
        <translation>16 bpp (32,768 colours)</translation>
    </message>
    <message>
        <source>24 bpp (1700万色)</source>
        <translation>24 bpp (16.7 million colours)</translation>
    </message>
    <message>
        <source>再生速度</source>
        <translation>Playback Speed</translation>
    </message>
    <message>
        <source>画像サイズ</source>
        <translation>Frame Size</translation>
    </message>
    <message>
        <source>横 :</source>
        <translation>Width:</translation>
    </message>
    <message>
        <source>縦 :</source>
        <translation>Height:</translation>
    </message>
    <message>
        <source>AVI作成オプション</source>
        <translation>AVI Options</translation>
    </message>
    <message>
        <source>画像解像度</source>
        <translation>Colour Depth</translation>
    </message>
    <message>
        <source>%1 から %2 までの整数を入力してください。</source>
        <translation>Enter a whole number from %1 to %2.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>画像の向きを自動補正する</source>
        <translation>Turn photos upright by their orientation tag</translation>
    </message>
    <message>
        <source>VGA</source>
        <translation>VGA</translation>
    </message>
    <message>
        <source>QVGA</source>
        <translation>QVGA</translation>
    </message>
    <message>
        <source>SVGA</source>
        <translation>SVGA</translation>
    </message>
    <message>
        <source>FRAMEs per sec</source>
        <translation>frames per second</translation>
    </message>
    <message>
        <source>pixels</source>
        <translation>pixels</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>未保存のデータを保存しますか?</source>
        <translation>Do you want to save your changes?</translation>
    </message>
    <message>
        <source>Vistrom-type file (*.fsq)| *.fsq ||</source>
        <translation>Vistrom projects (*.fsq)| *.fsq ||</translation>
    </message>
    <message>
        <source>%1 は書き込み禁止です。
上書きしますか?</source>
        <translation>%1 is read-only.
Do you want to overwrite it?</translation>
    </message>
    <message>
        <source>プロジェクトを開く</source>
        <translation>Open Project</translation>
    </message>
    <message>
        <source>プロジェクトに名前を付けて保存</source>
        <translation>Save Project As</translation>
    </message>
    <message>
        <source>AVIファイルを作成しています。
変換を中止して終了しますか?</source>
        <translation>The AVI file is being made.
Do you want to stop the conversion and exit?</translation>
    </message>
    <message>
        <source>%1ファイルを作成しています。
変換を中止して終了しますか?</source>
        <translation>The %1 file is being made.
Do you want to stop the conversion and exit?</translation>
    </message>
</context>
<context>
    <name>Project</name>
    <message>
        <source>ファイルが開けませんでした</source>
        <translation>The file could not be opened.</translation>
    </message>
    <message>
        <source>読み込み中にエラー発生</source>
        <translation>An error occurred while reading.</translation>
    </message>
    <message>
        <source>ファイルを開けませんでした</source>
        <translation>The file could not be opened.</translation>
    </message>
    <message>
        <source>Drag&amp;Dropでエラーが生じました</source>
        <translation>An error occurred in drag and drop.</translation>
    </message>
    <message>
        <source>Untitled</source>
        <translation>Untitled</translation>
    </message>
    <message>
        <source>空欄の挿入</source>
        <translation>Insert Blanks</translation>
    </message>
    <message>
        <source>空欄の追加</source>
        <translation>Add Blanks</translation>
    </message>
    <message>
        <source>選択部分の削除</source>
        <translation>Delete Selection</translation>
    </message>
    <message>
        <source>選択部分を空欄に</source>
        <translation>Blank Selection</translation>
    </message>
    <message>
        <source>全部消去</source>
        <translation>Clear All</translation>
    </message>
    <message>
        <source>切り取り(詰め)</source>
        <translation>Cut (Close Up)</translation>
    </message>
    <message>
        <source>切り取り(空白)</source>
        <translation>Cut (Leave Blanks)</translation>
    </message>
    <message>
        <source>貼り付け(挿入)</source>
        <translation>Paste (Insert)</translation>
    </message>
    <message>
        <source>貼り付け(上書き)</source>
        <translation>Paste (Overwrite)</translation>
    </message>
    <message>
        <source>ドロップ</source>
        <translation>Drop</translation>
    </message>
    <message>
        <source>ファイルリスト取り込み</source>
        <translation>Import File List</translation>
    </message>
    <message>
        <source>画像変更</source>
        <translation>Change Image</translation>
    </message>
    <message>
        <source>設定の変更</source>
        <translation>Change Settings</translation>
    </message>
    <message>
        <source>%1
はテキストファイルではないため、プロジェクトとして開けません。</source>
        <translation>%1
is not a text file, so it cannot be opened as a project.</translation>
    </message>
    <message>
        <source>%1
は大きすぎるため開けません。プロジェクトファイルは %2 MiB までです。</source>
        <translation>%1
is too large to open. A project file may be at most %2 MiB.</translation>
    </message>
    <message>
        <source>%1
の %2 行目が長すぎるため開けません。1行は %3 バイトまでです。</source>
        <translation>%1
cannot be opened: line %2 is too long. A line may be at most %3 bytes.</translation>
    </message>
    <message>
        <source>%1
は行が多すぎるため開けません。プロジェクトは %2 行までです。</source>
        <translation>%1
has too many lines to open. A project may have at most %2 rows.</translation>
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
        <translation>Vistrom - Enter a Value</translation>
    </message>
    <message>
        <source>符号なしの整数を入力してください (%1 から %2 まで)。</source>
        <translation>Enter an unsigned whole number (%1 to %2).</translation>
    </message>
    <message>
        <source>%1 から %2 までの整数を入力してください。</source>
        <translation>Enter a whole number from %1 to %2.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>Cancel</translation>
    </message>
</context>
</TS>
