// The conversion end to end through the real command line program: a project
// file in, a movie out, read back by ffprobe and decoded by ffmpeg, and every
// frame compared with the picture that was meant.

#include "movie_writer_tools.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/types.h>

using namespace moviecheck;

namespace {

const QString kVistrom = QStringLiteral(VISTROM_BIN_DIR "/vistrom");

struct Result {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the program without a display: the converter must not need one.
Result RunVistrom(const QStringList& args, const QString& workingDirectory = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    p.setProcessEnvironment(env);
    if (!workingDirectory.isEmpty())
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
    long fps = 8;
    long width = 64;
    long height = 48;
    long scale = 0;
    long depthIndex = 2;
    long noBlank = 0;
    long trim = 0;
    QByteArray audio; // "!A 1" and "!A1 path" when not empty
};

QByteArray ProjectText(const Settings& s, const QList<QByteArray>& rows) {
    QByteArray text;
    text += "!F " + QByteArray::number(qlonglong(s.fps)) + "\r\n";
    text += "!S " + QByteArray::number(qlonglong(s.width)) + "," +
            QByteArray::number(qlonglong(s.height)) + "\r\n";
    text += "!X " + QByteArray::number(qlonglong(s.scale)) + "\r\n";
    text += "!B " + QByteArray::number(qlonglong(s.depthIndex)) + "\r\n";
    text += "!W " + QByteArray::number(qlonglong(s.noBlank)) + "\r\n";
    text += "!D " + QByteArray::number(qlonglong(s.trim)) + "\r\n";
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

// Left half one colour, right half another: shows whether an image was stretched.
QImage Halves(int w, int h, QColor left, QColor right) {
    QImage image = Flat(w, h, left);
    QPainter p(&image);
    p.fillRect(w / 2, 0, w - w / 2, h, right);
    return image;
}

// The frame that was meant: white, with the image centred at natural size
// (mode 0) or stretched over the frame (mode 1, nearest pixel).
QImage Expected(int width, int height, const QImage& image, int mode) {
    QImage frame = Flat(width, height, Qt::white);
    if (image.isNull())
        return frame;
    if (mode == 1) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                frame.setPixel(x, y,
                               image.pixel(x * image.width() / width, y * image.height() / height));
    } else {
        const int x0 = (width >> 1) - image.width() / 2;
        const int y0 = (height >> 1) - image.height() / 2;
        QPainter p(&frame);
        p.drawImage(x0, y0, image);
    }
    return frame;
}

// Largest difference of any channel between a decoded BGR24 frame and the
// frame meant.
int Difference(const QByteArray& bgr, const QImage& meant, QRect area = {}) {
    const int w = meant.width(), h = meant.height();
    if (bgr.size() != w * h * 3)
        return 1000;
    if (area.isNull())
        area = meant.rect();
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
    const QJsonObject probe = Probe(movie);
    for (const auto& v : PacketsOf(probe, "video")) {
        const QJsonObject packet = v.toObject();
        if (packet["size"].toString().toLong() > 0)
            positions << packet["pts"].toVariant().toLongLong();
    }
    return positions;
}

} // namespace

class TestConversion : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void listCodecs();
    void help();
    void workedExampleFrames();
    void options_data();
    void options();
    void firstImageAboveZero();
    void stretched();
    void missingImageIsWhite();
    void longPathAndOddNames();
    void relativePathsFromWorkingDirectory();
    void refused_data();
    void refused();
    void unwritableOutput();
    void unreadableProject();
    void unknownCodec();
    void compressedCodec();
    void audioOverrides();
    void interruptClosesTheMovie();

private:
    QString convert(const Settings& s, const QList<QByteArray>& rows, Result* result = nullptr,
                    const QStringList& extra = {});

    QTemporaryDir dir_;
    QString red_, green_, grey_, halves_;
    int projectCount_ = 0;
};

void TestConversion::initTestCase() {
    if (!QFile::exists(kVistrom))
        QSKIP("the vistrom program is not built");
    if (!HaveTool("ffprobe") || !HaveTool("ffmpeg"))
        QSKIP("ffmpeg and ffprobe are needed to read the movies back");
    QVERIFY(dir_.isValid());
    QVERIFY(Flat(40, 30, QColor(255, 0, 0)).save(dir_.filePath("red.bmp"), "BMP"));
    QVERIFY(Flat(20, 10, QColor(0, 160, 0)).save(dir_.filePath("green.png"), "PNG"));
    QVERIFY(Flat(32, 16, QColor(90, 90, 200)).save(dir_.filePath("grey.jpg"), "JPEG", 95));
    QVERIFY(Halves(10, 8, QColor(255, 0, 0), QColor(0, 0, 255))
                .save(dir_.filePath("halves.png"), "PNG"));
    red_ = dir_.filePath("red.bmp");
    green_ = dir_.filePath("green.png");
    grey_ = dir_.filePath("grey.jpg");
    halves_ = dir_.filePath("halves.png");
}

QString TestConversion::convert(const Settings& s, const QList<QByteArray>& rows, Result* result,
                                const QStringList& extra) {
    const int n = ++projectCount_;
    const QString project = dir_.filePath(QStringLiteral("p%1.fsq").arg(n));
    const QString movie = dir_.filePath(QStringLiteral("m%1.avi").arg(n));
    if (!WriteFile(project, ProjectText(s, rows)))
        return {};
    Result r = RunVistrom(QStringList{"--convert", project, "--output", movie} + extra);
    if (result)
        *result = r;
    if (r.exitCode != 0)
        qWarning("vistrom: %s", r.err.constData());
    return movie;
}

void TestConversion::listCodecs() {
    const Result r = RunVistrom({"--list-codecs"});
    QCOMPARE(r.exitCode, 0);
    const QList<QByteArray> lines = r.out.trimmed().split('\n');
    QVERIFY(lines.size() >= 2);
    QVERIFY(lines[0].startsWith("uncompressed"));
    QVERIFY(lines[0].contains("Full Frames (Uncompressed)"));
    QVERIFY(r.out.contains("\nmjpeg "));
}

void TestConversion::help() {
    const Result r = RunVistrom({"--help"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains("--convert PROJECT.fsq --output MOVIE.avi"));
    QVERIFY(r.out.contains("--list-codecs"));
    const Result wrong = RunVistrom({"--convert", "x.fsq"});
    QCOMPARE(wrong.exitCode, 2);
    QVERIFY(wrong.err.contains("--output"));
}

void TestConversion::workedExampleFrames() {
    // The worked example: image, two blanks, two images, two blanks.
    const Settings s;
    const QList<QByteArray> rows{QFile::encodeName(red_),  "", "", QFile::encodeName(green_),
                                 QFile::encodeName(grey_), "", ""};
    Result r;
    const QString movie = convert(s, rows, &r);
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.err.contains("6 frames"));

    const QJsonObject video = StreamOf(Probe(movie), "video");
    QCOMPARE(video["width"].toInt(), 64);
    QCOMPARE(video["height"].toInt(), 48);
    QCOMPARE(video["r_frame_rate"].toString(), QStringLiteral("8/1"));
    QCOMPARE(StoredPositions(movie), (QList<long>{0, 2, 3, 4, 6, 7}));

    const std::vector<QByteArray> frames = DecodeBgr24(movie, 64, 48);
    QCOMPARE(frames.size(), size_t(6));
    const QImage red = Expected(64, 48, QImage(red_), 0);
    QCOMPARE(Difference(frames[0], red), 0);
    QCOMPARE(Difference(frames[1], red), 0); // the hold line repeats the image before the run
    QCOMPARE(Difference(frames[2], Expected(64, 48, QImage(green_), 0)), 0);
    const QImage grey = Expected(64, 48, QImage(grey_), 0);
    QVERIFY(Difference(frames[3], grey) <= 12); // JPEG
    QVERIFY(Difference(frames[4], grey) <= 12);
    QCOMPARE(Difference(frames[5], Flat(64, 48, Qt::white)), 0); // the blank frame
    // A centred image smaller than the frame has a white border.
    QCOMPARE(Difference(frames[0].left(64 * 3), Flat(64, 1, Qt::white)), 0);

    // Readers we did not write agree on the frames and their positions.
    if (HaveTool("gst-launch-1.0")) {
        const GstDemuxed g = GstDemux(movie);
        QVERIFY(g.ok);
        QCOMPARE(g.nonEmptyBuffers(), 6L);
        QVERIFY(g.caps.contains("width=(int)64"));
    }
    if (HaveTool("mediainfo")) {
        const QJsonObject info = MediaInfoTrack(movie, "Video");
        QCOMPARE(info["Width"].toString(), QStringLiteral("64"));
        QCOMPARE(info["FrameRate"].toString().toDouble(), 8.0);
    }
}

void TestConversion::options_data() {
    QTest::addColumn<long>("trim");
    QTest::addColumn<long>("noBlank");
    QTest::addColumn<QList<long>>("positions");
    QTest::newRow("trim") << 1L << 0L << QList<long>{0, 3, 4, 7};
    QTest::newRow("trim, no blank") << 1L << 1L << QList<long>{0, 3, 4};
    QTest::newRow("no blank") << 0L << 1L << QList<long>{0, 2, 3, 4, 6};
}

void TestConversion::options() {
    QFETCH(long, trim);
    QFETCH(long, noBlank);
    QFETCH(QList<long>, positions);
    Settings s;
    s.trim = trim;
    s.noBlank = noBlank;
    const QByteArray r = QFile::encodeName(red_);
    Result result;
    const QString movie = convert(s, {r, "", "", r, r, "", ""}, &result);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(StoredPositions(movie), positions);
}

void TestConversion::firstImageAboveZero() {
    Settings s;
    Result r;
    const QString movie = convert(s, {"", "", QFile::encodeName(green_)}, &r);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(StoredPositions(movie), (QList<long>{2, 3}));
    const std::vector<QByteArray> frames = DecodeBgr24(movie, 64, 48);
    QVERIFY(!frames.empty());
    // Whatever a player shows before it, the first picture is the image.
    const QImage meant = Expected(64, 48, QImage(green_), 0);
    QVERIFY(std::any_of(frames.begin(), frames.end(),
                        [&](const QByteArray& f) { return Difference(f, meant) == 0; }));
    QCOMPARE(Difference(frames.back(), Flat(64, 48, Qt::white)), 0);
}

void TestConversion::stretched() {
    Settings s;
    s.scale = 1;
    s.width = 63; // odd: rows are padded in the movie
    s.noBlank = 1;
    Result r;
    const QString movie = convert(s, {QFile::encodeName(halves_)}, &r);
    QCOMPARE(r.exitCode, 0);
    const std::vector<QByteArray> frames = DecodeBgr24(movie, 63, 48);
    QCOMPARE(frames.size(), size_t(1));
    // The image covers the whole frame: red on the left, blue on the right.
    // Which column takes the seam is the drawing's own rounding.
    const QImage meant = Expected(63, 48, QImage(halves_), 1);
    QCOMPARE(Difference(frames[0], meant, QRect(0, 0, 30, 48)), 0);
    QCOMPARE(Difference(frames[0], meant, QRect(34, 0, 29, 48)), 0);
}

void TestConversion::missingImageIsWhite() {
    Settings s;
    s.noBlank = 1;
    Result r;
    const QString movie =
        convert(s, {QFile::encodeName(dir_.filePath("missing.bmp")), QFile::encodeName(red_)}, &r);
    QCOMPARE(r.exitCode, 0);
    const std::vector<QByteArray> frames = DecodeBgr24(movie, 64, 48);
    QCOMPARE(frames.size(), size_t(2));
    QCOMPARE(Difference(frames[0], Flat(64, 48, Qt::white)), 0);
    QCOMPARE(Difference(frames[1], Expected(64, 48, QImage(red_), 0)), 0);
}

void TestConversion::longPathAndOddNames() {
    // A path of more than 900 bytes, and a name with spaces and commas.
    QString folder = dir_.path();
    while (QFile::encodeName(folder).size() < 1000)
        folder += "/" + QString(120, QLatin1Char('d'));
    QVERIFY(QDir().mkpath(folder));
    const QString deep = folder + "/a b,c.png";
    QVERIFY(QFile::copy(green_, deep));
    QVERIFY(QFile::encodeName(deep).size() > 1000);
    Settings s;
    s.noBlank = 1;
    Result r;
    const QString movie = convert(s, {QFile::encodeName(deep)}, &r);
    QCOMPARE(r.exitCode, 0);
    const std::vector<QByteArray> frames = DecodeBgr24(movie, 64, 48);
    QCOMPARE(frames.size(), size_t(1));
    QCOMPARE(Difference(frames[0], Expected(64, 48, QImage(green_), 0)), 0);
}

void TestConversion::relativePathsFromWorkingDirectory() {
    // The demo project names its images relative to the folder it runs from.
    const QString project = QStringLiteral(VISTROM_SOURCE_DIR "/examples/demo.fsq");
    QVERIFY(QFile::exists(project));
    const QString movie = dir_.filePath("demo.avi");
    const Result r = RunVistrom({"--convert", "demo.fsq", "--output", movie},
                                QStringLiteral(VISTROM_SOURCE_DIR "/examples"));
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

void TestConversion::refused_data() {
    QTest::addColumn<long>("fps");
    QTest::addColumn<long>("width");
    QTest::addColumn<long>("height");
    QTest::addColumn<long>("depth");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("fps 0") << 0L << 64L << 48L << 2L << QByteArray("frame rate of 0");
    QTest::newRow("width 0") << 8L << 0L << 48L << 2L << QByteArray("frame size of 0 x 48");
    QTest::newRow("height negative")
        << 8L << 64L << -1L << 2L << QByteArray("frame size of 64 x -1");
    QTest::newRow("width too large") << 8L << 16385L << 48L << 2L << QByteArray("16385");
    QTest::newRow("depth 3") << 8L << 64L << 48L << 3L << QByteArray("depth index of 3");
    QTest::newRow("depth negative") << 8L << 64L << 48L << -1L << QByteArray("depth index of -1");
}

void TestConversion::refused() {
    QFETCH(long, fps);
    QFETCH(long, width);
    QFETCH(long, height);
    QFETCH(long, depth);
    QFETCH(QByteArray, message);
    Settings s;
    s.fps = fps;
    s.width = width;
    s.height = height;
    s.depthIndex = depth;
    Result r;
    const QString movie = convert(s, {QFile::encodeName(red_)}, &r);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(message), r.err.constData());
    QVERIFY(!QFile::exists(movie)); // nothing was written
}

void TestConversion::unwritableOutput() {
    const QString project = dir_.filePath("unwritable.fsq");
    QVERIFY(WriteFile(project, ProjectText(Settings{}, {QFile::encodeName(red_)})));
    const Result r = RunVistrom({"--convert", project, "--output", "/nonexistent-folder/m.avi"});
    QVERIFY(r.exitCode != 0);
    QVERIFY(r.err.contains("CannotOpenAviFile"));
    QVERIFY(r.err.contains("WritingERR"));
}

void TestConversion::unreadableProject() {
    const Result missing = RunVistrom(
        {"--convert", dir_.filePath("nothing.fsq"), "--output", dir_.filePath("nothing.avi")});
    QCOMPARE(missing.exitCode, 1);
    QVERIFY(missing.err.contains("cannot open the project file"));
    const QString settingsOnly = dir_.filePath("settings-only.fsq");
    QVERIFY(WriteFile(settingsOnly, "!F 8\r\n!S 64,48\r\n"));
    const Result empty =
        RunVistrom({"--convert", settingsOnly, "--output", dir_.filePath("so.avi")});
    QCOMPARE(empty.exitCode, 1);
    QVERIFY(!QFile::exists(dir_.filePath("so.avi")));
}

void TestConversion::unknownCodec() {
    Result r;
    const QString movie = convert(Settings{}, {QFile::encodeName(red_)}, &r, {"--codec", "nosuch"});
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.err.contains("unknown codec \"nosuch\""));
    QVERIFY(!QFile::exists(movie));
    const Result noQuality =
        RunVistrom({"--convert", "x.fsq", "--output", "y.avi", "--quality", "0"});
    QCOMPARE(noQuality.exitCode, 2);
}

void TestConversion::compressedCodec() {
    Result r;
    const QString movie =
        convert(Settings{}, {QFile::encodeName(red_), "", QFile::encodeName(green_)}, &r,
                {"--codec", "mjpeg", "--quality", "90"});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject probe = Probe(movie);
    QCOMPARE(StreamOf(probe, "video")["codec_name"].toString(), QStringLiteral("mjpeg"));
    const std::vector<QByteArray> frames = DecodeBgr24(movie, 64, 48);
    QCOMPARE(frames.size(), size_t(4));
    // Away from the image's edges, where chroma is shared with the white around it.
    const QImage meant = Expected(64, 48, QImage(red_), 0);
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
    const QByteArray image = QFile::encodeName(red_);

    // The project's audio settings are honoured.
    Settings withAudio;
    withAudio.audio = QFile::encodeName(wav);
    Result r;
    QString movie = convert(withAudio, {image}, &r);
    QCOMPARE(r.exitCode, 0);
    QVERIFY(!StreamOf(Probe(movie), "audio").isEmpty());

    // --no-audio leaves it out.
    movie = convert(withAudio, {image}, &r, {"--no-audio"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(StreamOf(Probe(movie), "audio").isEmpty());

    // --audio FILE puts it in, whatever the project says.
    movie = convert(Settings{}, {image}, &r, {"--audio", wav});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject audio = StreamOf(Probe(movie), "audio");
    QCOMPARE(audio["codec_name"].toString(), QStringLiteral("pcm_s16le"));

    const Result both =
        RunVistrom({"--convert", "x.fsq", "--output", "y.avi", "--audio", wav, "--no-audio"});
    QCOMPARE(both.exitCode, 2);
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
    const QString big = dir_.filePath("noise.jpg");
    QVERIFY(noise.save(big, "JPEG", 90));
    // Two names in turn: a row that repeats the row before reuses its frame
    // instead of decoding the file again, which would be too fast to catch.
    const QString big2 = dir_.filePath("noise2.jpg");
    QVERIFY(QFile::copy(big, big2));
    QTemporaryDir temp;
    QList<QByteArray> rows;
    for (int i = 0; i < 200; ++i)
        rows << QFile::encodeName(i % 2 ? big2 : big);
    const QString project = dir_.filePath("long.fsq");
    const QString movie = dir_.filePath("interrupted.avi");
    QVERIFY(WriteFile(project, ProjectText(Settings{}, rows)));
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
