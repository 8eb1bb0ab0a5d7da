// The conversion end to end through the command line converter: a project
// file in, a movie out, every decoded frame compared with the picture meant;
// the converter's refusals and failures, which leave the file at the output
// path as it was and nothing beside it; and its signals.

#include "imaging/BmpFixtures.h"
#include "movie_writer_tools.h"
#include "program_run.h"

#include <QtTest>

#include <csignal>
#include <sys/stat.h>

using namespace moviecheck;

namespace {

const QByteArray kOldMovie = "the movie that was there before";

// "!F fps", "!S width,height", "!X scale", "!B depth", "!W no blank", "!D
// trim", "!O 1" when an eighth value is set, then the rows.
QByteArray ProjectText(QList<long> s, const QList<QByteArray>& rows) {
    QByteArray text;
    for (const char* key : {"!F ", "!S ", "!X ", "!B ", "!W ", "!D "}) {
        text += key + QByteArray::number(qlonglong(s.takeFirst()));
        text += key[1] == 'S' ? "," + QByteArray::number(qlonglong(s.takeFirst())) : "";
        text += "\r\n";
    }
    if (!s.isEmpty() && s.takeFirst())
        text += "!O 1\r\n";
    for (const QByteArray& row : rows)
        text += row + "\r\n";
    return text;
}

} // namespace

class TestConversion : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    // r red BMP, g green PNG, h halves PNG, L green under a long path, m missing,
    // o a JPEG of grey cells whose Exif tag turns it a quarter right
    QHash<char, QImage> images_;
    QHash<char, QString> paths_;

private slots:
    void initTestCase() {
        if (!QFile::exists(kVistrom) || !HaveTool("ffprobe") || !HaveTool("ffmpeg"))
            QSKIP("the vistrom program, ffmpeg and ffprobe are needed");
        QVERIFY(dir_.isValid());
        const std::tuple<char, QString, QSize, QColor> flat[] = {
            {'r', "r.bmp", {40, 30}, QColor(255, 0, 0)},
            {'g', "g.png", {20, 10}, QColor(0, 160, 0)},
            {'h', "h.png", {10, 8}, QColor(255, 0, 0)}};
        for (auto [c, name, size, colour] : flat) {
            images_[c] = QImage(size, QImage::Format_RGB32);
            images_[c].fill(colour);
            if (c == 'h') // left half red, right half blue: shows whether it was stretched
                QPainter(&images_[c]).fillRect(5, 0, 5, 8, Qt::blue);
            QVERIFY(images_[c].save(paths_[c] = dir_.filePath(name), nullptr, 95));
        }
        paths_['m'] = dir_.filePath("m.png");
        images_['o'] = QImage(48, 32, QImage::Format_RGB32);
        images_['o'].fill(Qt::black);
        for (int i = 1; i < 6; ++i)
            QPainter(&images_['o'])
                .fillRect(i % 3 * 16, i / 3 * 16, 16, 16, QColor::fromHsv(0, 0, 50 * i));
        images_['O'] = images_['o'].transformed(QTransform().rotate(90));
        QVERIFY(images_['o'].save(paths_['o'] = dir_.filePath("o.jpg"), "JPEG", 95));
        QVERIFY(Save(paths_['o'], fixtures::WithExif(ReadAll(paths_['o']), 6, false)));
        // A path over 1000 bytes with spaces and commas reaches the writer whole.
        QString folder = dir_.path();
        while (QFile::encodeName(folder).size() < 1000)
            folder += "/" + QString(120, QLatin1Char('d'));
        paths_['L'] = folder + "/a b,c.png", images_['L'] = images_['g'];
        QVERIFY(QDir().mkpath(folder) && QFile::copy(paths_['g'], paths_['L']));
    }

    void commandLine_data() {
        // In args: P the project (image rows), M the movie, R the image r, W a WAV
        // file, F a FIFO. M holds an older movie before each run.
        QTest::addColumn<QList<long>>("settings"); // empty: a project without rows
        QTest::addColumn<QByteArray>("rows");      // image letters; "-" an image as the project
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArrayList>("texts");  // "#N": N progress lines
        QTest::addColumn<QList<long>>("positions"); // of the stored frames, when checked
        QTest::addColumn<QByteArray>("frames");     // as the rows, 'w' a white frame, 'O' o turned
        const QStringList plain{"--convert", "P", "--output", "M"};
        const QList<long> good{8, 64, 48, 0, 2, 0, 0};
        auto row = [&](const char* name, QList<long> s, const char* rows, QStringList extra,
                       int exitCode, QByteArrayList texts, const QStringList& args = {}) {
            QTest::newRow(name) << s << QByteArray(rows) << (args.isEmpty() ? plain + extra : args)
                                << exitCode << texts << QList<long>() << QByteArray();
        };
        // Settings in ProjectText's order; every frame compared with the one meant.
        auto converts = [&](const char* name, const char* rows, QList<long> s,
                            QList<long> positions, const char* frames) {
            QTest::newRow(name) << s << QByteArray(rows) << plain << 0 << QByteArrayList()
                                << positions << QByteArray(frames);
        };
        // The tag of a photo is passed over unless the project asks to follow it.
        converts("worked example", "r..go..", good, {0, 2, 3, 4, 6, 7}, "rrgoow");
        converts("trim, no blank", "r..go..", {8, 64, 48, 0, 2, 1, 1}, {0, 3, 4}, "rgo");
        converts("missing image white, long path", "mL", {8, 64, 48, 0, 2, 1, 0}, {0, 1}, "wL");
        // Stretched six times over: every pixel's source is plain.
        converts("stretched", "hr", {8, 60, 48, 1, 2, 1, 0}, {0, 1}, "hr");
        converts("orientation tag followed", "o", {8, 64, 48, 0, 2, 1, 0, 1}, {0}, "O");
        row("fps 0", {0, 64, 48, 0, 2, 0, 0}, "r", {}, 1, {"frame rate of 0"});
        row("width 0", {8, 0, 48, 0, 2, 0, 0}, "r", {}, 1, {"0 x 48"});
        row("height negative", {8, 64, -1, 0, 2, 0, 0}, "r", {}, 1, {"64 x -1"});
        row("width too large", {8, 16385, 48, 0, 2, 0, 0}, "r", {}, 1, {"16385"});
        row("too large for players", {8, 16384, 16384, 0, 2, 0, 0}, "r", {}, 1,
            {"below 268435456"});
        row("depth 3", {8, 64, 48, 0, 3, 0, 0}, "r", {}, 1, {"depth index of 3"});
        row("missing project", good, "r", {}, 1, {"cannot open the project file"},
            {"--convert", "P.none", "--output", "M"});
        row("project without rows", {}, "", {}, 1, {"has no row lines"});
        row("an image as the project", good, "-", {}, 1, {"it is not text"});
        row("output is an image of the list", good, "gr", {}, 1, {"the image of row 1"},
            {"--convert", "P", "--output", "R"});
        row("output is the project", good, "r", {}, 1, {"the project file itself"},
            {"--convert", "P", "--output", "P"});
        row("output is the sound", good, "r", {"--audio", "M"}, 1, {"the sound file is the movie"});
        row("sound is a FIFO", good, "r", {"--audio", "F"}, 1, {"is not a regular file"});
        // A compressor that refuses the size fails after the file was begun.
        row("codec refuses the size", {8, 65, 49, 0, 2, 0, 0}, "r", {"--codec", "cinepak"}, 1,
            {"the file there was left as it was"});
        row("unknown codec", good, "r", {"--codec", "nosuch"}, 2, {"unknown codec \"nosuch\""});
        row("no --output", good, "r", {}, 2, {"--output"}, {"--convert", "P"});
        row("--quality 0", good, "r", {"--quality", "0"}, 2, {});
        row("--audio and --no-audio", good, "r", {"--audio", "P", "--no-audio"}, 2, {});
        row("--help", good, "r", {}, 0, {"--strict"}, {"--help"});
        // The demo's images are relative to its folder: found from anywhere.
        row("demo, run from the root", good, "r", {}, 0, {"12 frames"},
            {"--convert", VISTROM_SOURCE_DIR "/examples/demo.fsq", "--output", "M"});
        // On a terminal one line redrawn in place; on a pipe a line each tenth.
        row("on a terminal", good, QByteArray(39, 'r'), {"TTY"}, 0,
            {"\rvistrom: frame 40 of 40 (100 %), ", " fps, 0:00 left\x1b[K\r\n", "#1"});
        row("mjpeg with sound, progress every tenth", good, QByteArray(39, 'r'),
            {"--codec", "mjpeg", "--quality", "90", "--audio", "W"}, 0,
            {"#10", "frame 4 of 40 (10 %)\n", "frame 40 of 40 (100 %)\n"});
        row("--quiet", good, "rg", {"--quiet"}, 0, {"#0"});
        // Unreadable images: one line each, a count, and exit 1 with --strict.
        const QByteArrayList unreadable{"row 1: ", "m.png: no such file", "row 3: ",
                                        "2 images could not be read; their frames are white"};
        row("unreadable images", good, "rmgm", {}, 0, unreadable);
        row("unreadable images, --strict", good, "rmgm", {"--strict", "--quiet"}, 1, unreadable);
    }

    // Every message in English; a failure leaves the file at the output path
    // (and the project and images) as it was, and nothing beside it; a movie
    // shows the frames meant at their positions and rate.
    void commandLine() {
        QFETCH(QList<long>, settings);
        QFETCH(QByteArray, rows);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QByteArrayList, texts);
        QFETCH(QList<long>, positions);
        QFETCH(QByteArray, frames);
        const QString out = dir_.filePath("cl/" + QString(QTest::currentDataTag()));
        const QString project = out + "/p.fsq", movie = out + "/m.avi",
                      wav = dir_.filePath("w.wav"), red = paths_['r'];
        QVERIFY(QDir().mkpath(out));
        QVERIFY(::mkfifo(QFile::encodeName(out + "/fifo").constData(), 0600) == 0);
        QVERIFY(Save(wav, MakeWav(16, 2, 22050, 22050).file) && Save(movie, kOldMovie));
        QList<QByteArray> named; // the rows' images by letter, '.' a blank row
        for (char c : rows)
            named << (c == '.' ? QByteArray() : QFile::encodeName(paths_.value(c)));
        QVERIFY(Save(project, rows == "-"          ? ReadAll(paths_['g'])
                              : settings.isEmpty() ? QByteArray("!F 8\r\n!S 64,48\r\n")
                                                   : ProjectText(settings, named)));
        const QHash<QString, QString> names{{"P", project}, {"P.none", project + ".none"},
                                            {"M", movie},   {"R", red},
                                            {"W", wav},     {"F", out + "/fifo"}};
        for (QString& a : args)
            a = names.value(a, a);
        const QByteArray redBytes = ReadAll(red), projectBytes = ReadAll(project);
        // Every run from the root: relative paths must not depend on where it runs.
        const bool tty = args.removeAll("TTY");
        QString shell = kVistrom;
        for (const QString& a : args)
            shell += " '" + a + "'";
        ProgramRun r =
            tty ? RunProgram("script", {"-qefc", shell, "/dev/null"}, "/") : RunVistrom(args, "/");
        if (r.err.isEmpty())
            std::swap(r.out, r.err); // script gives the terminal's output on its own
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(r.err.contains("could not be read"), rows.contains('m'));
        for (const QByteArray& text : texts)
            QVERIFY2(text.startsWith('#')
                         ? QString::fromUtf8(r.err).split('\n').filter("vistrom: frame ").size() ==
                               text.mid(1).toInt()
                         : r.out.contains(text) || r.err.contains(text),
                     r.err.constData());
        for (char c : r.out + r.err)
            QVERIFY2(uchar(c) < 128, r.err.constData()); // English only
        QCOMPARE(ReadAll(red) + ReadAll(project), redBytes + projectBytes);
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 3);
        if (exitCode != 0 && !args.contains("--strict"))
            QCOMPARE(ReadAll(movie), kOldMovie);
        if ((exitCode != 0 && !args.contains("--strict")) || !args.contains("--convert"))
            return;
        const QJsonObject probe = Probe(movie);
        QCOMPARE(StreamOf(probe, "video")["codec_name"].toString() + " " +
                     StreamOf(probe, "audio")["codec_name"].toString(),
                 args.contains("mjpeg") ? "mjpeg pcm_s16le" : "rawvideo ");
        QCOMPARE(QFileInfo(movie).permissions(), QFileInfo(project).permissions());
        if (frames.isEmpty())
            return;
        // The rate reaches the movie (the positions alone would not show it).
        QCOMPARE(StreamOf(probe, "video")["r_frame_rate"].toString(), QStringLiteral("8/1"));
        QCOMPARE(VideoPackets(probe, true).first, positions);
        const int width = int(settings[1]);
        const std::vector<QByteArray> decoded = DecodeBgr24(movie, width, 48);
        QCOMPARE(decoded.size(), size_t(frames.size()));
        for (int i = 0; i < frames.size(); ++i) {
            const char c = frames[i];
            const QImage meant = Framed(width, 48, images_.value(c), settings[3]);
            QVERIFY2(Difference(decoded[size_t(i)], meant).first <=
                         (QByteArray("oO").contains(c) ? 12 : 0),
                     qPrintable(QString("frame %1").arg(i)));
        }
    }

    // SIGINT, SIGHUP, SIGPIPE (standard error piped into head) stop after the
    // current frame; a second SIGTERM ends the program at once. Either way the
    // older movie stays, and no temporary file is left anywhere.
    void stopSignals_data() {
        QTest::addColumn<QList<int>>("kill"); // empty: standard error into `head -n 1`
        QTest::addColumn<int>("exitCode");    // -SIGNAL: ended by it
        QTest::newRow("SIGINT") << QList<int>{SIGINT} << 1;
        QTest::newRow("SIGHUP") << QList<int>{SIGHUP} << 1;
        QTest::newRow("SIGTERM twice") << QList<int>{SIGTERM, SIGTERM} << -SIGTERM;
        QTest::newRow("SIGPIPE") << QList<int>{} << 1;
    }

    void stopSignals() {
        QFETCH(QList<int>, kill);
        QFETCH(int, exitCode);
        // A large noisy image makes each frame slow enough to be caught midway;
        // two names in turn, since a row repeating the row before reuses its frame.
        const QString noise = dir_.filePath("noise%1.jpg");
        bool made = QFile::exists(noise.arg(2));
        if (!made)
            Run("ffmpeg",
                {"-v", "error", "-f", "lavfi", "-i",
                 "color=c=gray:s=2400x2400,noise=alls=100:allf=t", "-frames:v", "2", "-q:v", "2",
                 noise.arg("%d")},
                &made);
        QVERIFY(made);
        QList<QByteArray> rows;
        for (int i = 0; i < 200; ++i)
            rows << QFile::encodeName(noise.arg(1 + i % 2));
        QTemporaryDir temp, out;
        const QString project = dir_.filePath("long.fsq"), movie = out.filePath("m.avi");
        QVERIFY(Save(project, ProjectText({8, 64, 48, 0, 2, 0, 0}, rows)) &&
                Save(movie, kOldMovie));
        // Through bash, which becomes the program unless standard error is piped.
        QProcess p;
        p.setEnvironment(QProcess::systemEnvironment() << "TMPDIR=" + temp.path());
        p.start("bash", QStringList{"-c",
                                    kill.isEmpty() ? "set -o pipefail; \"$@\" 2>&1 | head -n 1"
                                                   : "exec \"$@\" 2>&1",
                                    "_", kVistrom, "--convert", project, "--output", movie});
        QVERIFY(p.waitForStarted(10000));
        // The first progress line comes after a tenth of the frames.
        QByteArray said;
        while (!said.contains("frame ") && p.waitForReadyRead(30000))
            said += p.readAll();
        QVERIFY(said.contains("frame "));
        for (int s : kill) // apart: two signals pending at once are one
            if (p.state() == QProcess::Running && !p.waitForFinished(20))
                ::kill(pid_t(p.processId()), s);
        QVERIFY(p.waitForFinished(30000));
        said += p.readAll();
        QCOMPARE(p.exitStatus() == QProcess::CrashExit ? -p.exitCode() : p.exitCode(), exitCode);
        QVERIFY2(kill.isEmpty() || exitCode < 0 || said.contains("interrupted after"),
                 said.constData());
        QCOMPARE(ReadAll(movie), kOldMovie);
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
        QVERIFY(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_conversion.moc"
