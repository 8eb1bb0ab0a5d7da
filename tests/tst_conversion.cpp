// The conversion end to end through the real command line program: a project
// file in, a movie out, read back by ffprobe and decoded by ffmpeg, and every
// frame compared with the picture that was meant.

#include "movie_writer_tools.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/types.h>

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace moviecheck;

namespace {

const QString kVistrom = QStringLiteral(VISTROM_BIN_DIR "/vistrom");

struct Result {
    int exitCode = -1;
    QByteArray out, err;
};

// Runs the program without a display: the converter must not need one.
Result RunVistrom(const QStringList& args, const QString& workingDirectory = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(workingDirectory);
    p.start(kVistrom, args);
    Result r;
    if (!p.waitForStarted(10000) || !p.waitForFinished(120000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

struct Settings {
    long fps = 8, width = 64, height = 48, scale = 0, depthIndex = 2, noBlank = 0, trim = 0;
    QByteArray audio; // "!A 1" and "!A1 path" when not empty
};

QByteArray ProjectText(const Settings& s, const QList<QByteArray>& rows) {
    auto n = [](long v) { return QByteArray::number(qlonglong(v)); };
    QByteArray text = "!F " + n(s.fps) + "\r\n!S " + n(s.width) + "," + n(s.height) + "\r\n!X " +
                      n(s.scale) + "\r\n!B " + n(s.depthIndex) + "\r\n!W " + n(s.noBlank) +
                      "\r\n!D " + n(s.trim) + "\r\n";
    if (!s.audio.isEmpty())
        text += "!A 1\r\n!A1 " + s.audio + "\r\n";
    for (const QByteArray& row : rows)
        text += row + "\r\n";
    return text;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QImage Flat(int w, int h, QColor colour) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// The frame that was meant: white, with the image centred at natural size
// (mode 0) or stretched over the frame (mode 1, nearest pixel).
QImage Expected(int width, int height, const QImage& image, int mode) {
    QImage frame = Flat(width, height, Qt::white);
    if (mode == 1) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                frame.setPixel(x, y,
                               image.pixel(x * image.width() / width, y * image.height() / height));
    } else if (!image.isNull()) {
        QPainter(&frame).drawImage((width >> 1) - image.width() / 2,
                                   (height >> 1) - image.height() / 2, image);
    }
    return frame;
}

// Largest difference of any channel between a decoded BGR24 frame and the
// frame meant, inside `area` (all of it when null).
int Difference(const QByteArray& bgr, const QImage& meant, QRect area = {}) {
    const int w = meant.width();
    if (bgr.size() != w * meant.height() * 3)
        return 1000;
    area = area.isNull() ? meant.rect() : area;
    int worst = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb m = meant.pixel(x, y);
            const auto* p = reinterpret_cast<const uchar*>(bgr.constData()) + (y * w + x) * 3;
            worst = std::max({worst, std::abs(p[0] - qBlue(m)), std::abs(p[1] - qGreen(m)),
                              std::abs(p[2] - qRed(m))});
        }
    return worst;
}

// Positions of the frames stored (non-empty video packets), in order.
QList<long> StoredPositions(const QString& movie) {
    QList<long> positions;
    for (const auto& v : PacketsOf(Probe(movie), "video"))
        if (v.toObject()["size"].toString().toLong() > 0)
            positions << v.toObject()["pts"].toVariant().toLongLong();
    return positions;
}

} // namespace

class TestConversion : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void commandLine();
    void converts_data();
    void converts();
    void relativePaths_data();
    void relativePaths();
    void fails_data();
    void fails();
    void compressedCodec();
    void audioOverrides();
    void interruptClosesTheMovie();

private:
    QString convert(const Settings& s, const QList<QByteArray>& rows, Result& result,
                    const QStringList& extra = {});
    QByteArray image(char letter) const { return QFile::encodeName(images_.value(letter)); }

    QTemporaryDir dir_;
    QHash<char, QString> images_; // r red BMP, g green PNG, j bluish JPEG, h halves PNG
    int projectCount_ = 0;
};

void TestConversion::initTestCase() {
    if (!QFile::exists(kVistrom))
        QSKIP("the vistrom program is not built");
    if (!HaveTool("ffprobe") || !HaveTool("ffmpeg"))
        QSKIP("ffmpeg and ffprobe are needed to read the movies back");
    QVERIFY(dir_.isValid());
    images_ = {{'r', dir_.filePath("red.bmp")},
               {'g', dir_.filePath("green.png")},
               {'j', dir_.filePath("grey.jpg")},
               {'h', dir_.filePath("halves.png")}};
    QVERIFY(Flat(40, 30, QColor(255, 0, 0)).save(images_['r'], "BMP"));
    QVERIFY(Flat(20, 10, QColor(0, 160, 0)).save(images_['g'], "PNG"));
    QVERIFY(Flat(32, 16, QColor(90, 90, 200)).save(images_['j'], "JPEG", 95));
    // Left half red, right half blue: shows whether an image was stretched.
    QImage halves = Flat(10, 8, QColor(255, 0, 0));
    QPainter(&halves).fillRect(5, 0, 5, 8, QColor(0, 0, 255));
    QVERIFY(halves.save(images_['h'], "PNG"));
}

QString TestConversion::convert(const Settings& s, const QList<QByteArray>& rows, Result& result,
                                const QStringList& extra) {
    const int n = ++projectCount_;
    const QString project = dir_.filePath(QStringLiteral("p%1.fsq").arg(n));
    const QString movie = dir_.filePath(QStringLiteral("m%1.avi").arg(n));
    if (!WriteFile(project, ProjectText(s, rows)))
        return {};
    result = RunVistrom(QStringList{"--convert", project, "--output", movie} + extra);
    if (result.exitCode != 0)
        qWarning("vistrom: %s", result.err.constData());
    return movie;
}

void TestConversion::commandLine() {
    const Result codecs = RunVistrom({"--list-codecs"});
    QCOMPARE(codecs.exitCode, 0);
    const QList<QByteArray> lines = codecs.out.trimmed().split('\n');
    QVERIFY(lines.size() >= 2);
    QVERIFY(lines[0].startsWith("uncompressed"));
    QVERIFY(lines[0].contains("Full Frames (Uncompressed)"));
    QVERIFY(codecs.out.contains("\nmjpeg "));
    const Result help = RunVistrom({"--help"});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.contains("--convert PROJECT.fsq --output MOVIE.avi"));
    QVERIFY(help.out.contains("--list-codecs"));
}

void TestConversion::converts_data() {
    QTest::addColumn<QByteArray>("rows"); // image letters, '.' a blank row, 'm' a missing file
    QTest::addColumn<long>("trim");
    QTest::addColumn<long>("noBlank");
    QTest::addColumn<QList<long>>("positions");
    QTest::addColumn<QByteArray>("frames"); // as the rows, 'w' a white frame
    // The worked example in its four option combinations.
    QTest::newRow("worked example") << QByteArray("r..gj..") << 0L << 0L
                                    << QList<long>{0, 2, 3, 4, 6, 7} << QByteArray("rrgjjw");
    QTest::newRow("trim") << QByteArray("r..gj..") << 1L << 0L << QList<long>{0, 3, 4, 7}
                          << QByteArray("rgjw");
    QTest::newRow("trim, no blank")
        << QByteArray("r..gj..") << 1L << 1L << QList<long>{0, 3, 4} << QByteArray("rgj");
    QTest::newRow("no blank") << QByteArray("r..gj..") << 0L << 1L << QList<long>{0, 2, 3, 4, 6}
                              << QByteArray("rrgjj");
    QTest::newRow("first image above 0")
        << QByteArray("..g") << 0L << 0L << QList<long>{2, 3} << QByteArray("gw");
    QTest::newRow("missing image is white")
        << QByteArray("mr") << 0L << 1L << QList<long>{0, 1} << QByteArray("wr");
    // A path of more than 1000 bytes with spaces and commas reaches the writer whole.
    QTest::newRow("long path, odd name")
        << QByteArray("L") << 0L << 1L << QList<long>{0} << QByteArray("g");
}

void TestConversion::converts() {
    QFETCH(QByteArray, rows);
    QFETCH(long, trim);
    QFETCH(long, noBlank);
    QFETCH(QList<long>, positions);
    QFETCH(QByteArray, frames);
    QString folder = dir_.path();
    while (QFile::encodeName(folder).size() < 1000)
        folder += "/" + QString(120, QLatin1Char('d'));
    images_['L'] = folder + "/a b,c.png";
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::exists(images_['L']) || QFile::copy(images_['g'], images_['L']));
    images_['m'] = dir_.filePath("missing.bmp");
    QList<QByteArray> list;
    for (char c : rows)
        list << (c == '.' ? QByteArray() : image(c));

    Settings s;
    s.trim = trim;
    s.noBlank = noBlank;
    Result r;
    const QString movie = convert(s, list, r);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(StoredPositions(movie), positions);
    const std::vector<QByteArray> decoded = DecodeBgr24(movie, 64, 48);
    QCOMPARE(decoded.size(), size_t(frames.size()));
    for (int i = 0; i < frames.size(); ++i) {
        const char c = frames[i];
        const QImage meant = Expected(64, 48, c == 'w' ? QImage() : QImage(images_[c]), 0);
        QVERIFY2(Difference(decoded[size_t(i)], meant) <= (c == 'j' ? 12 : 0),
                 qPrintable(QString("frame %1").arg(i)));
    }
    if (QTest::currentDataTag() != QByteArray("worked example"))
        return;
    QVERIFY(r.err.contains("6 frames"));
    // A centred image smaller than the frame has a white border.
    QCOMPARE(Difference(decoded[0].left(64 * 3), Flat(64, 1, Qt::white)), 0);
    const QJsonObject video = StreamOf(Probe(movie), "video");
    QCOMPARE(video["width"].toInt(), 64);
    QCOMPARE(video["height"].toInt(), 48);
    QCOMPARE(video["r_frame_rate"].toString(), QStringLiteral("8/1"));
    // Readers we did not write agree on the frames and their size.
    if (HaveTool("gst-launch-1.0")) {
        const GstBuffers g = GstRead(movie);
        QVERIFY(g.ok);
        QCOMPARE(g.nonEmptyBuffers(), 6L);
        QVERIFY(g.caps.contains("width=(int)64"));
    }
    if (HaveTool("mediainfo")) {
        const QJsonObject info = MediaInfoTrack(movie, "Video");
        QCOMPARE(info["Width"].toString(), QStringLiteral("64"));
        QCOMPARE(info["FrameRate"].toString().toDouble(), 8.0);
    }

    // Stretched over an odd width (rows padded in the movie): red left, blue right;
    // which column takes the seam is the drawing's own rounding.
    s = Settings{};
    s.scale = 1;
    s.width = 63;
    s.noBlank = 1;
    const QString stretched = convert(s, {image('h')}, r);
    QCOMPARE(r.exitCode, 0);
    const std::vector<QByteArray> one = DecodeBgr24(stretched, 63, 48);
    QCOMPARE(one.size(), size_t(1));
    const QImage meant = Expected(63, 48, QImage(images_['h']), 1);
    QCOMPARE(Difference(one[0], meant, QRect(0, 0, 30, 48)), 0);
    QCOMPARE(Difference(one[0], meant, QRect(34, 0, 29, 48)), 0);
}

// The demo project names its images relative to its own folder: they are
// found whether the converter runs there or anywhere else.
void TestConversion::relativePaths_data() {
    QTest::addColumn<QString>("project");
    QTest::addColumn<QString>("workingDirectory");
    const QString examples = QStringLiteral(VISTROM_SOURCE_DIR "/examples");
    QTest::newRow("run in the project's folder") << "demo.fsq" << examples;
    QTest::newRow("run from the root") << examples + "/demo.fsq"
                                       << "/";
}

void TestConversion::relativePaths() {
    QFETCH(QString, project);
    QFETCH(QString, workingDirectory);
    const QString movie = dir_.filePath("demo.avi");
    const Result r = RunVistrom({"--convert", project, "--output", movie}, workingDirectory);
    QCOMPARE(r.exitCode, 0);
    const QJsonObject video = StreamOf(Probe(movie), "video");
    QCOMPARE(video["width"].toInt(), 320);
    QCOMPARE(video["r_frame_rate"].toString(), QStringLiteral("4/1"));
    // Seven images, four hold lines and the blank frame.
    QCOMPARE(StoredPositions(movie), (QList<long>{0, 1, 2, 3, 5, 6, 7, 8, 9, 10, 12, 13}));
    // No frame of the demo is plain white but the closing one: every image was drawn.
    const std::vector<QByteArray> frames = DecodeBgr24(movie, 320, 240);
    QCOMPARE(frames.size(), size_t(12));
    for (size_t i = 0; i + 1 < frames.size(); ++i)
        QVERIFY2(Difference(frames[i], Flat(320, 240, Qt::white)) > 0,
                 qPrintable(QString::number(i)));
}

void TestConversion::fails_data() {
    // Arguments: P is a project of one image with the settings given, M a movie.
    QTest::addColumn<QList<long>>("settings"); // fps, width, height, depth index
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArrayList>("messages");
    const QStringList plain{"--convert", "P", "--output", "M"};
    const QList<long> good{8, 64, 48, 2};
    auto refused = [&](const char* name, QList<long> settings, const char* message) {
        QTest::newRow(name) << settings << plain << 1 << QByteArrayList{message};
    };
    refused("fps 0", {0, 64, 48, 2}, "frame rate of 0");
    refused("width 0", {8, 0, 48, 2}, "frame size of 0 x 48");
    refused("height negative", {8, 64, -1, 2}, "frame size of 64 x -1");
    refused("width too large", {8, 16385, 48, 2}, "16385");
    refused("depth 3", {8, 64, 48, 3}, "depth index of 3");
    refused("depth negative", {8, 64, 48, -1}, "depth index of -1");
    QTest::newRow("unwritable output")
        << good << QStringList{"--convert", "P", "--output", "/nonexistent-folder/m.avi"} << 1
        << QByteArrayList{"CannotOpenAviFile", "WritingERR"};
    QTest::newRow("missing project") << good << QStringList{"--convert", "P.none", "--output", "M"}
                                     << 1 << QByteArrayList{"cannot open the project file"};
    QTest::newRow("project without rows") << QList<long>{} << plain << 1 << QByteArrayList{};
    QTest::newRow("an image as the project")
        << QList<long>{-1} << plain << 1 << QByteArrayList{"is not a project file: it is not text"};
    QTest::newRow("unknown codec") << good << plain + QStringList{"--codec", "nosuch"} << 2
                                   << QByteArrayList{"unknown codec \"nosuch\""};
    QTest::newRow("no --output") << good << QStringList{"--convert", "P"} << 2
                                 << QByteArrayList{"--output"};
    QTest::newRow("--quality 0") << good << plain + QStringList{"--quality", "0"} << 2
                                 << QByteArrayList{};
    QTest::newRow("--audio and --no-audio")
        << good << plain + QStringList{"--audio", "P", "--no-audio"} << 2 << QByteArrayList{};
}

void TestConversion::fails() {
    QFETCH(QList<long>, settings);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QByteArrayList, messages);
    const QString project = dir_.filePath("failing.fsq"), movie = dir_.filePath("failing.avi");
    QByteArray text = "!F 8\r\n!S 64,48\r\n";
    if (settings == QList<long>{-1})
        text = ReadAll(images_['g']);
    else if (!settings.isEmpty())
        text = ProjectText({.fps = settings[0],
                            .width = settings[1],
                            .height = settings[2],
                            .depthIndex = settings[3]},
                           {image('r')});
    QVERIFY(WriteFile(project, text));
    for (QString& a : args)
        a = a == "P" ? project : a == "P.none" ? project + ".none" : a == "M" ? movie : a;
    const Result r = RunVistrom(args);
    QCOMPARE(r.exitCode, exitCode);
    for (const QByteArray& m : messages)
        QVERIFY2(r.err.contains(m), r.err.constData());
    QVERIFY(!QFile::exists(movie)); // nothing was written
}

void TestConversion::compressedCodec() {
    Result r;
    const QString movie = convert(Settings{}, {image('r'), "", image('g')}, r,
                                  {"--codec", "mjpeg", "--quality", "90"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(StreamOf(Probe(movie), "video")["codec_name"].toString(), QStringLiteral("mjpeg"));
    const std::vector<QByteArray> frames = DecodeBgr24(movie, 64, 48);
    QCOMPARE(frames.size(), size_t(4));
    // Away from the image's edges, where chroma is shared with the white around it.
    const QImage meant = Expected(64, 48, QImage(images_['r']), 0);
    QVERIFY(Difference(frames[0], meant, QRect(16, 13, 32, 22)) <= 24);
    QVERIFY(Difference(frames[0], meant, QRect(0, 0, 64, 6)) <= 24);
}

void TestConversion::audioOverrides() {
    const QString wav = dir_.filePath("tone.wav");
    bool ok = false;
    Run("ffmpeg",
        {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=440:duration=1", "-c:a",
         "pcm_s16le", wav},
        &ok);
    QVERIFY(ok);
    Settings withAudio;
    withAudio.audio = QFile::encodeName(wav);
    Result r;
    // The project's audio is honoured; --no-audio leaves it out; --audio FILE puts it in.
    QString movie = convert(withAudio, {image('r')}, r);
    QCOMPARE(r.exitCode, 0);
    QVERIFY(!StreamOf(Probe(movie), "audio").isEmpty());
    movie = convert(withAudio, {image('r')}, r, {"--no-audio"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(StreamOf(Probe(movie), "audio").isEmpty());
    movie = convert(Settings{}, {image('r')}, r, {"--audio", wav});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(StreamOf(Probe(movie), "audio")["codec_name"].toString(), QStringLiteral("pcm_s16le"));
    // A sound taken from the very file the movie would replace is refused and
    // that file is left as it was.
    const QString next = dir_.filePath(QStringLiteral("m%1.avi").arg(projectCount_ + 1));
    QVERIFY(QFile::copy(movie, next));
    const QByteArray kept = ReadAll(next);
    convert(Settings{}, {image('g')}, r, {"--audio", next});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("the sound file is the movie file"), r.err.constData());
    QCOMPARE(ReadAll(next), kept);
}

void TestConversion::interruptClosesTheMovie() {
    // Ctrl+C stops after the current frame: a readable movie, no file left behind.
    // A large noisy image makes each frame slow enough to be caught midway.
    QImage noise(2400, 2400, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(noise.scanLine(y));
        for (int x = 0; x < noise.width(); ++x)
            line[x] = 0xff000000u | quint32(x * 2654435761u ^ y * 40503u);
    }
    // Two names in turn: a row that repeats the row before reuses its frame
    // instead of decoding the file again, which would be too fast to catch.
    const QString big = dir_.filePath("noise.jpg"), big2 = dir_.filePath("noise2.jpg");
    QVERIFY(noise.save(big, "JPEG", 90));
    QVERIFY(QFile::copy(big, big2));
    QList<QByteArray> rows;
    for (int i = 0; i < 200; ++i)
        rows << QFile::encodeName(i % 2 ? big2 : big);
    const QString project = dir_.filePath("long.fsq"), movie = dir_.filePath("interrupted.avi");
    QVERIFY(WriteFile(project, ProjectText(Settings{}, rows)));
    QTemporaryDir temp;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", temp.path());
    p.setProcessEnvironment(env);
    p.setReadChannel(QProcess::StandardError);
    p.start(kVistrom, {"--convert", project, "--output", movie});
    QVERIFY(p.waitForStarted(10000));
    // The first progress line comes after a tenth of the frames.
    QByteArray err;
    while (!err.contains("frame ") && p.waitForReadyRead(30000))
        err += p.readAllStandardError();
    QVERIFY(err.contains("frame "));
    ::kill(pid_t(p.processId()), SIGINT);
    QVERIFY(p.waitForFinished(30000));
    err += p.readAllStandardError();
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 1);
    QVERIFY2(err.contains("interrupted"), err.constData());
    const long stored = StoredPositions(movie).size();
    QVERIFY(stored >= 20);
    QVERIFY(stored < 201);
    QVERIFY(QDir(temp.path()).entryList(QDir::Files).isEmpty());
}

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_conversion.moc"
