// The conversion end to end through the command line converter: a project
// file in, a movie out, read back by ffprobe and decoded by ffmpeg, every
// frame compared with the picture meant; and the converter's refusals.

#include "imaging/FormatFixtures.h"
#include "movie_writer_tools.h"
#include "program_run.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <csignal>
#include <sys/types.h>

using namespace moviecheck;

namespace {

const QString kVistrom = QStringLiteral(VISTROM_BIN_DIR "/vistrom");

// Runs the program without a display: the converter must not need one.
ProgramRun RunVistrom(const QStringList& args, const QString& workingDirectory = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    return RunProgram(kVistrom, args, workingDirectory, env);
}

// "!F fps", "!S width,height", "!X scale", "!B depth", "!W no blank", "!D trim", "!O 1" when an
// eighth value is set, then the rows.
QByteArray ProjectText(QList<long> s, const QList<QByteArray>& rows, const QByteArray& audio = {}) {
    QByteArray text;
    for (const char* key : {"!F ", "!S ", "!X ", "!B ", "!W ", "!D "}) {
        text += key + QByteArray::number(qlonglong(s.takeFirst()));
        text +=
            key[1] == 'S' ? "," + QByteArray::number(qlonglong(s.takeFirst())) + "\r\n" : "\r\n";
    }
    if (!s.isEmpty() && s.takeFirst())
        text += "!O 1\r\n";
    if (!audio.isEmpty())
        text += "!A 1\r\n!A1 " + audio + "\r\n";
    for (const QByteArray& row : rows)
        text += row + "\r\n";
    return text;
}

QImage Flat(int w, int h, QColor colour) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// The frame meant: white, with the image centred at natural size (scale 0)
// or stretched over the frame (scale 1), computed here with QPainter.
QImage Expected(int width, int height, const QImage& image, int scale) {
    QImage frame = Flat(width, height, Qt::white);
    if (!image.isNull())
        QPainter(&frame).drawImage(scale ? frame.rect()
                                         : QRect((width >> 1) - image.width() / 2,
                                                 (height >> 1) - image.height() / 2, image.width(),
                                                 image.height()),
                                   image);
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

    QTemporaryDir dir_;
    QHash<char, QString> images_; // r red BMP, g green PNG, j bluish JPEG, h halves PNG, m missing,
                                  // o a JPEG of grey cells whose Exif tag turns it a quarter right
    QImage cells_;                // the cells of o as stored
    int projects_ = 0;

    QByteArray image(char letter) const { return QFile::encodeName(images_.value(letter)); }
    QString convert(QList<long> settings, const QList<QByteArray>& rows, ProgramRun& result,
                    const QStringList& extra = {}, const QByteArray& audio = {}) {
        const QString project = dir_.filePath(QString("p%1.fsq").arg(++projects_));
        const QString movie = dir_.filePath(QString("m%1.avi").arg(projects_));
        if (Save(project, ProjectText(settings, rows, audio)))
            result = RunVistrom(QStringList{"--convert", project, "--output", movie} + extra);
        return movie;
    }

private slots:
    void initTestCase() {
        if (!QFile::exists(kVistrom) || !HaveTool("ffprobe") || !HaveTool("ffmpeg"))
            QSKIP("the vistrom program, ffmpeg and ffprobe are needed");
        QVERIFY(dir_.isValid());
        for (char c : QByteArray("rgjhm"))
            images_[c] = dir_.filePath(QString("%1.%2").arg(c).arg(c == 'r' ? "bmp" : "png"));
        images_['j'] = dir_.filePath("j.jpg");
        QVERIFY(Flat(40, 30, QColor(255, 0, 0)).save(images_['r'], "BMP"));
        QVERIFY(Flat(20, 10, QColor(0, 160, 0)).save(images_['g'], "PNG"));
        QVERIFY(Flat(32, 16, QColor(90, 90, 200)).save(images_['j'], "JPEG", 95));
        // Left half red, right half blue: shows whether an image was stretched.
        QImage halves = Flat(10, 8, QColor(255, 0, 0));
        QPainter(&halves).fillRect(5, 0, 5, 8, QColor(0, 0, 255));
        QVERIFY(halves.save(images_['h'], "PNG"));
        cells_ = Flat(48, 32, Qt::black);
        for (int i = 1; i < 6; ++i)
            QPainter(&cells_).fillRect(i % 3 * 16, i / 3 * 16, 16, 16,
                                       QColor::fromHsv(0, 0, 50 * i));
        QBuffer jpeg;
        QVERIFY(jpeg.open(QIODevice::WriteOnly) && cells_.save(&jpeg, "JPEG", 95));
        images_['o'] = dir_.filePath("o.jpg");
        QVERIFY(Save(images_['o'], fixtures::WithExif(jpeg.data(), fixtures::ExifTiff(6))));
        // A path of more than 1000 bytes with spaces and commas reaches the writer whole.
        QString folder = dir_.path();
        while (QFile::encodeName(folder).size() < 1000)
            folder += "/" + QString(120, QLatin1Char('d'));
        images_['L'] = folder + "/a b,c.png";
        QVERIFY(QDir().mkpath(folder) && QFile::copy(images_['g'], images_['L']));
    }

    void converts_data() {
        QTest::addColumn<QByteArray>("rows"); // image letters, '.' a blank row
        QTest::addColumn<QList<long>>("settings");
        QTest::addColumn<QList<long>>("positions");
        QTest::addColumn<QByteArray>("frames"); // as the rows, 'w' a white frame, 'O' o turned
        auto row = [](const char* name, const char* rows, long scale, long noBlank, long trim,
                      QList<long> positions, const char* frames, long width = 64, long turn = 0) {
            QTest::newRow(name) << QByteArray(rows)
                                << QList<long>{8, width, 48, scale, 2, noBlank, trim, turn}
                                << positions << QByteArray(frames);
        };
        // The worked example in its four option combinations.
        row("worked example", "r..gj..", 0, 0, 0, {0, 2, 3, 4, 6, 7}, "rrgjjw");
        row("trim", "r..gj..", 0, 0, 1, {0, 3, 4, 7}, "rgjw");
        row("trim, no blank", "r..gj..", 0, 1, 1, {0, 3, 4}, "rgj");
        row("no blank", "r..gj..", 0, 1, 0, {0, 2, 3, 4, 6}, "rrgjj");
        row("first image above 0", "..g", 0, 0, 0, {2, 3}, "gw");
        row("missing image is white", "mr", 0, 1, 0, {0, 1}, "wr");
        row("long path, odd name", "L", 0, 1, 0, {0}, "L");
        // Stretched over an odd width (rows padded in the movie).
        row("stretched", "hr", 1, 1, 0, {0, 1}, "hr", 63);
        // A photo's orientation tag is followed only when the project asks for it.
        row("orientation tag passed over", "o", 0, 1, 0, {0}, "o");
        row("orientation tag followed", "o", 0, 1, 0, {0}, "O", 64, 1);
    }

    void converts() {
        QFETCH(QByteArray, rows);
        QFETCH(QList<long>, settings);
        QFETCH(QList<long>, positions);
        QFETCH(QByteArray, frames);
        QList<QByteArray> list;
        for (char c : rows)
            list << (c == '.' ? QByteArray() : image(c));
        ProgramRun r;
        const QString movie = convert(settings, list, r);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(StoredPositions(movie), positions);
        const int width = int(settings[1]);
        const std::vector<QByteArray> decoded = DecodeBgr24(movie, width, 48);
        QCOMPARE(decoded.size(), size_t(frames.size()));
        for (int i = 0; i < frames.size(); ++i) {
            const char c = frames[i];
            const QImage picture = c == 'w'   ? QImage()
                                   : c == 'o' ? cells_
                                   : c == 'O' ? cells_.transformed(QTransform().rotate(90))
                                              : QImage(images_[c]);
            const QImage meant = Expected(width, 48, picture, int(settings[3]));
            // Stretched: which column takes the seam is the drawing's own rounding.
            const QRect area = c == 'h' ? QRect(0, 0, 30, 48) : QRect();
            QVERIFY2(Difference(decoded[size_t(i)], meant, area) <=
                         (c == 'j' || c == 'o' || c == 'O' ? 12 : 0),
                     qPrintable(QString("frame %1").arg(i)));
            QVERIFY(c != 'h' || Difference(decoded[size_t(i)], meant, QRect(34, 0, 29, 48)) == 0);
        }
        if (QTest::currentDataTag() != QByteArray("worked example"))
            return;
        QVERIFY(r.err.contains("6 frames"));
        const QJsonObject video = StreamOf(Probe(movie), "video");
        QCOMPARE(QSize(video["width"].toInt(), video["height"].toInt()), QSize(64, 48));
        QCOMPARE(video["r_frame_rate"].toString(), QStringLiteral("8/1"));
        // Readers we did not write agree on the frames and their size.
        const GstBuffers g = GstRead(movie);
        QVERIFY(g.ok && g.caps.contains("width=(int)64"));
        QCOMPARE(g.nonEmptyBuffers(), 6L);
        QCOMPARE(MediaInfoTrack(movie, "Video")["FrameRate"].toString().toDouble(), 8.0);
    }

    // The demo project names its images relative to its own folder: they are
    // found whether the converter runs there or anywhere else.
    void demoFromAnyFolder_data() {
        QTest::addColumn<QString>("project");
        QTest::addColumn<QString>("workingDirectory");
        const QString examples = QStringLiteral(VISTROM_SOURCE_DIR "/examples");
        QTest::newRow("run in the project's folder") << "demo.fsq" << examples;
        QTest::newRow("run from the root") << examples + "/demo.fsq"
                                           << "/";
    }

    void demoFromAnyFolder() {
        QFETCH(QString, project);
        QFETCH(QString, workingDirectory);
        const QString movie = dir_.filePath("demo.avi");
        const ProgramRun r =
            RunVistrom({"--convert", project, "--output", movie}, workingDirectory);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(StreamOf(Probe(movie), "video")["r_frame_rate"].toString(), QString("4/1"));
        // Seven images, four hold lines and the blank frame.
        QCOMPARE(StoredPositions(movie), (QList<long>{0, 1, 2, 3, 5, 6, 7, 8, 9, 10, 12, 13}));
        // No frame of the demo is plain white but the closing one: every image was drawn.
        const std::vector<QByteArray> frames = DecodeBgr24(movie, 320, 240);
        QCOMPARE(frames.size(), size_t(12));
        for (size_t i = 0; i + 1 < frames.size(); ++i)
            QVERIFY2(Difference(frames[i], Flat(320, 240, Qt::white)) > 0,
                     qPrintable(QString::number(i)));
    }

    void commandLine_data() {
        // P is a project of one image with the settings given (none: no rows), M a movie.
        QTest::addColumn<QList<long>>("settings");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArrayList>("texts"); // on standard output or error
        const QStringList plain{"--convert", "P", "--output", "M"};
        const QList<long> good{8, 64, 48, 0, 2, 0, 0};
        auto refused = [&](const char* name, QList<long> s, const char* text) {
            QTest::newRow(name) << (s + QList<long>{0, 0, 0}).mid(0, 7) << plain << 1
                                << QByteArrayList{text};
        };
        refused("fps 0", {0, 64, 48, 0, 2}, "frame rate of 0");
        refused("width 0", {8, 0, 48, 0, 2}, "frame size of 0 x 48");
        refused("height negative", {8, 64, -1, 0, 2}, "frame size of 64 x -1");
        refused("width too large", {8, 16385, 48, 0, 2}, "16385");
        refused("depth 3", {8, 64, 48, 0, 3}, "depth index of 3");
        refused("depth negative", {8, 64, 48, 0, -1}, "depth index of -1");
        auto row = [&](const char* name, QList<long> s, QStringList args, int exitCode,
                       QByteArrayList texts) {
            QTest::newRow(name) << s << args << exitCode << texts;
        };
        row("unwritable output", good, {"--convert", "P", "--output", "/nonexistent-folder/m.avi"},
            1, {"CannotOpenAviFile", "WritingERR"});
        row("missing project", good, {"--convert", "P.none", "--output", "M"}, 1,
            {"cannot open the project file"});
        row("project without rows", {}, plain, 1, {});
        row("an image as the project", {-1}, plain, 1, {"is not a project file: it is not text"});
        row("unknown codec", good, plain + QStringList{"--codec", "nosuch"}, 2,
            {"unknown codec \"nosuch\""});
        row("no --output", good, {"--convert", "P"}, 2, {"--output"});
        row("--quality 0", good, plain + QStringList{"--quality", "0"}, 2, {});
        row("--audio and --no-audio", good, plain + QStringList{"--audio", "P", "--no-audio"}, 2,
            {});
        row("--list-codecs", good, {"--list-codecs"}, 0,
            {"uncompressed", "Full Frames (Uncompressed)", "\nmjpeg "});
        row("--help", good, {"--help"}, 0,
            {"--convert PROJECT.fsq --output MOVIE.avi", "--list-codecs"});
    }

    // Refused settings and arguments write nothing.
    void commandLine() {
        QFETCH(QList<long>, settings);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QByteArrayList, texts);
        const QString project = dir_.filePath("failing.fsq"), movie = dir_.filePath("failing.avi");
        const QByteArray text = settings == QList<long>{-1} ? ReadAll(images_['g'])
                                : settings.isEmpty()        ? QByteArray("!F 8\r\n!S 64,48\r\n")
                                                            : ProjectText(settings, {image('r')});
        QVERIFY(Save(project, text));
        for (QString& a : args)
            a = a == "P" ? project : a == "P.none" ? project + ".none" : a == "M" ? movie : a;
        const ProgramRun r = RunVistrom(args);
        QCOMPARE(r.exitCode, exitCode);
        for (const QByteArray& text : texts)
            QVERIFY2(r.out.contains(text) || r.err.contains(text), r.err.constData());
        QVERIFY(!QFile::exists(movie));
    }

    void compressedCodec() {
        ProgramRun r;
        const QString movie = convert({8, 64, 48, 0, 2, 0, 0}, {image('r'), "", image('g')}, r,
                                      {"--codec", "mjpeg", "--quality", "90"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(StreamOf(Probe(movie), "video")["codec_name"].toString(), QString("mjpeg"));
        const std::vector<QByteArray> frames = DecodeBgr24(movie, 64, 48);
        QCOMPARE(frames.size(), size_t(4));
        // Away from the image's edges, where chroma is shared with the white around it.
        const QImage meant = Expected(64, 48, QImage(images_['r']), 0);
        QVERIFY(Difference(frames[0], meant, QRect(16, 13, 32, 22)) <= 24);
        QVERIFY(Difference(frames[0], meant, QRect(0, 0, 64, 6)) <= 24);
    }

    void audioOverrides() {
        const QString wav = dir_.filePath("tone.wav");
        QVERIFY(Save(wav, MakeWav(16, 2, 22050, 22050).file));
        const QList<long> s{8, 64, 48, 0, 2, 0, 0};
        ProgramRun r;
        // The project's sound is honoured; --no-audio leaves it out; --audio FILE puts it in.
        for (auto [extra, audio, codec] :
             {std::tuple{QStringList{}, QFile::encodeName(wav), "pcm_s16le"},
              {QStringList{"--no-audio"}, QFile::encodeName(wav), ""},
              {QStringList{"--audio", wav}, QByteArray(), "pcm_s16le"}}) {
            const QString movie = convert(s, {image('r')}, r, extra, audio);
            QCOMPARE(r.exitCode, 0);
            QCOMPARE(StreamOf(Probe(movie), "audio")["codec_name"].toString(), QString(codec));
        }
        // A sound taken from the very file the movie would replace is refused,
        // and that file is left as it was.
        const QString next = dir_.filePath(QString("m%1.avi").arg(projects_ + 1));
        QVERIFY(QFile::copy(dir_.filePath(QString("m%1.avi").arg(projects_)), next));
        const QByteArray kept = ReadAll(next);
        convert(s, {image('g')}, r, {"--audio", next});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("the sound file is the movie file"), r.err.constData());
        QCOMPARE(ReadAll(next), kept);
    }

    // Ctrl+C stops after the current frame: a readable movie, no file left behind.
    void interruptClosesTheMovie() {
        // A large noisy image makes each frame slow enough to be caught midway;
        // two names in turn, since a row repeating the row before reuses its frame.
        QImage noise(2400, 2400, QImage::Format_RGB32);
        for (int y = 0; y < noise.height(); ++y) {
            auto* line = reinterpret_cast<quint32*>(noise.scanLine(y));
            for (int x = 0; x < noise.width(); ++x)
                line[x] = 0xff000000u | quint32(x * 2654435761u ^ y * 40503u);
        }
        const QString big = dir_.filePath("noise.jpg"), big2 = dir_.filePath("noise2.jpg");
        QVERIFY(noise.save(big, "JPEG", 90) && QFile::copy(big, big2));
        QList<QByteArray> rows;
        for (int i = 0; i < 200; ++i)
            rows << QFile::encodeName(i % 2 ? big2 : big);
        const QString project = dir_.filePath("long.fsq"), movie = dir_.filePath("interrupted.avi");
        QVERIFY(Save(project, ProjectText({8, 64, 48, 0, 2, 0, 0}, rows)));
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
        QVERIFY(stored >= 20 && stored < 201);
        QVERIFY(QDir(temp.path()).entryList(QDir::Files).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_conversion.moc"
