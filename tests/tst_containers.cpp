// Movies in MP4, MOV, Matroska, WebM and GIF through the converter and the
// window: each picture's start and the movie's length read by ffprobe, the
// decoded colours, the sound as the container carries it, GStreamer playing
// to the end; AVI pinned byte for byte; the codec lists and refusals.

#include "movie_writer_tools.h"
#include "program_run.h"
#include "scripted_dialogs.h"

#include "project/Project.h"
#include "ui/ConversionCommand.h"

#include <QtTest>

extern "C" {
#include <libavformat/avformat.h>
}

using namespace moviecheck;

namespace {

// The pictures by letter: red, green, blue, yellow, white; '.' is a blank row.
const QHash<char, QRgb> kColours{
    {'r', 0xffdc1414}, {'g', 0xff14c828}, {'b', 0xff1e28d2}, {'y', 0xffe6dc1e}, {'w', 0xffffffff}};

} // namespace

class TestContainers : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString wav_;

    // A project at 10 fps, 64 x 48, images stretched, converted by the
    // converter ("codec=NAME" in the options: "--codec NAME") or through the
    // window ("window": the name typed without its last extension under its
    // container's filter, or whole under MP4's if "typed"; AVI's is first).
    QString Convert(const QByteArray& rows, const QString& name, const QString& options,
                    QByteArray* err) {
        QByteArray text = "!F 10\r\n!S 64,48\r\n!X 1\r\n!B 2\r\n!W " +
                          QByteArray::number(options.contains("noBlank")) + "\r\n!D " +
                          QByteArray::number(options.contains("trim")) + "\r\n";
        if (options.contains("sound"))
            text += "!A 1\r\n!A1 " + QFile::encodeName(wav_) + "\r\n";
        for (char c : rows) // named relative to the project's folder
            text += (c == '.' ? QByteArray() : c + QByteArray(".bmp")) + "\r\n";
        const QString project = dir_.filePath(name + ".fsq"), movie = dir_.filePath(name);
        Save(project, text);
        if (!options.contains("window")) {
            QStringList args{"--convert", project, "--output", movie};
            for (const QString& option : options.split(' '))
                if (option.contains('='))
                    args << "--" + option.section('=', 0, 0) << option.section('=', 1);
            const ProgramRun r = RunVistrom(args);
            *err = r.err;
            return r.exitCode == 0 ? movie : QString();
        }
        Project document;
        QWidget window;
        ScriptedDialogs seam;
        const MovieContainer container = ContainerForPath(movie.toStdString());
        const bool typed = options.contains("typed");
        const auto& all = MovieContainers();
        seam.filter = typed ? 1 : int(std::ranges::find(all, container) - all.begin());
        seam.files << QFile::encodeName(typed ? movie : movie.section('.', 0, -2));
        if (document.load(QFile::encodeName(project)) != ProjectResult::Done)
            return {};
        ConversionCommand command(&document, &seam, &window);
        QSignalSpy finished(&command, &ConversionCommand::finished);
        command.start();
        const bool done =
            finished.wait(120000) && seam.compressionContainers == QList{container} &&
            seam.fileRequests[0].filter.startsWith("AVI-type file (*.avi)|") &&
            seam.logged("message: ") ==
                QStringList{ContainerName(container) + QStringLiteral("変換処理が終了しました。")};
        *err = seam.log.join('\n').toUtf8();
        return done ? movie : QString();
    }

private slots:
    void initTestCase() {
        if (!QFile::exists(kVistrom) || !HaveTool("ffprobe") || !HaveTool("ffmpeg"))
            QSKIP("the vistrom program, ffmpeg and ffprobe are needed");
        QVERIFY(dir_.isValid());
        for (auto it = kColours.begin(); it != kColours.end(); ++it) {
            QImage image(16, 12, QImage::Format_RGB32);
            image.fill(it.value());
            QVERIFY(image.save(dir_.filePath(QString(it.key())) + ".bmp", "BMP"));
        }
        wav_ = dir_.filePath("sound.wav");
        QVERIFY(Save(wav_, MakeWav(16, 2, 44100, 44100 * 3 / 2).file));
    }
    void containers_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("rows");
        QTest::addColumn<QString>("options"); // noBlank, trim, sound, window, codec=, quality=
        QTest::addColumn<QString>("video");   // as ffprobe names the codecs
        QTest::addColumn<QString>("audio");   // "" for none
        const QByteArray holds = "r....gb..y...", sound = "noBlank sound";
        auto row = [](const char* tag, const char* name, const QByteArray& rows,
                      const QString& options, const char* video, const char* audio) {
            QTest::newRow(tag) << name << rows << options << video << audio;
        };
        row("mp4 holds", "a.mp4", holds, "", "h264", "");
        row("mp4 sound, trim ignored", "b.mp4", holds, "trim sound", "h264", "aac");
        row("mp4 in the window, another extension typed", "c.v2.mp4", holds, "window", "h264", "");
        row("mp4 MPEG-4 Part 2", "d.mp4", "rg.b", "codec=mpeg4", "mpeg4", "");
        row("MOV typed, sound copied", "f.MOV", holds, "window typed " + sound, "h264",
            "pcm_s16le");
        row("mkv lossless", "g.mkv", holds, "", "ffv1", "");
        row("mkv sound copied, leading blank", "h.mkv", "..rg...", sound, "ffv1", "pcm_s16le");
        row("mkv H.264, quality", "i.mkv", "rg.b", "codec=libx264 quality=90", "h264", "");
        row("webm", "j.webm", holds, "", "vp9", "");
        row("webm VP8, sound", "k.webm", holds, "noBlank trim sound codec=libvpx", "vp8", "opus");
        row("gif", "l.gif", holds, "", "gif", "");
        row("gif sound left out", "m.gif", "rgby", sound, "gif", "");
    }
    // Each picture is stored once, starts at its position / fps and lasts
    // until the next; the movie lasts as long as the list.
    void containers() {
        QFETCH(QString, name);
        QFETCH(QByteArray, rows);
        QFETCH(QString, options);
        QFETCH(QString, video);
        QFETCH(QString, audio);
        const QString extension = name.section('.', -1).toLower();
        QByteArray err;
        const QString movie = Convert(rows, name, options, &err);
        QVERIFY2(!movie.isEmpty(), err.constData());
        QCOMPARE(err.contains("sound left out"), options.contains("sound") && audio.isEmpty());
        // What each position shows: a blank row holds the picture before,
        // white comes before the first picture and as the closing frame.
        QByteArray shown = rows + (options.contains("noBlank") ? "" : "w");
        if (shown.startsWith('.'))
            shown[0] = 'w';
        QList<long> meant; // the position each picture starts at
        for (qsizetype i = 0; i < shown.size(); ++i)
            if (shown[i] != '.')
                meant << long(i);
        const QJsonObject probe = Probe(movie, {"-show_frames", "-show_format"});
        QList<long> starts;
        for (const auto& f : probe["frames"].toArray())
            if (f.toObject()["media_type"] == "video")
                starts << qRound(f.toObject()["best_effort_timestamp_time"].toString().toDouble() *
                                 10);
        QCOMPARE(starts, meant);
        const QJsonObject stream = StreamOf(probe, "video");
        QCOMPARE(stream["codec_name"].toString(), video);
        const double videoEnd =
            stream["start_time"].toString().toDouble() + stream["duration"].toString().toDouble();
        if (extension != "mkv" && extension != "webm") // Matroska keeps no stream duration
            QCOMPARE(qRound(videoEnd * 10), int(shown.size()));
        if (audio.isEmpty())
            QCOMPARE(probe["format"]["duration"].toString().toDouble(), shown.size() / 10.0);
        QCOMPARE(StreamOf(probe, "audio")["codec_name"].toString(), audio);
        if (!audio.isEmpty()) // the sound is longer than the pictures
            QVERIFY(qAbs(probe["format"]["duration"].toString().toDouble() - 1.5) < 0.05);
        if (audio == "pcm_s16le")
            QCOMPARE(StreamBytes(movie, "a", "s16le"), MakeWav(16, 2, 44100, 44100 * 3 / 2).data);
        const std::vector<QByteArray> frames = DecodeBgr24(movie, 64, 48);
        QCOMPARE(long(frames.size()), long(meant.size()));
        const int tolerance = video == "ffv1" ? 0 : video == "gif" ? 4 : 16; // lossless, palette
        QImage picture(64, 48, QImage::Format_RGB32);
        for (size_t i = 0; i < frames.size(); ++i) {
            picture.fill(kColours[shown.at(meant[int(i)])]);
            QVERIFY2(Difference(frames[i], picture).first <= tolerance,
                     qPrintable(QString::number(i)));
        }
        if (extension != "gif" && extension != "mov" && HaveTool("gst-launch-1.0")) {
            bool played = false;
            Run("gst-launch-1.0",
                {"-q", "playbin", "uri=file://" + movie, "video-sink=fakesink sync=false",
                 "audio-sink=fakesink sync=false"},
                &played);
            QVERIFY2(played, "GStreamer did not play the movie to its end");
        }
    }
    // The codecs each container offers, default first, and the options a
    // container refuses; --lang is taken before all other options.
    void commandLine() {
        const ProgramRun list = RunVistrom({"--lang", "ja", "--list-codecs"});
        QVERIFY2(list.exitCode == 0 && list.out.contains("MP4 video (.mp4):\nlibx264 "),
                 list.out.constData());
        const QStringList refused[] = {
            {"--codec", "ffv1", "--output", "x.webm", "the codec \"ffv1\" cannot go in a .webm"},
            {"--quality", "5", "--output", "x.gif", "no quality setting"},
            {"--lang", "fr", "vistrom: --lang takes ja or en, not \"fr\""}};
        for (QStringList args : refused) {
            const QByteArray text = args.takeLast().toUtf8();
            const ProgramRun r = RunVistrom(args << "--convert" << dir_.filePath("p.fsq"));
            QVERIFY2(r.exitCode == 2 && r.err.contains(text), r.err.constData());
        }
    }
    // AVI files stay byte for byte what this version of libavformat wrote
    // before the other containers came; any other name is AVI too.
    void aviPinned() {
        if (QByteArray(LIBAVFORMAT_IDENT) != "Lavf59.27.100")
            QSKIP("pinned with libavformat 59.27.100");
        const QString pins[][3] = {
            {"pin.avi", "sound",
             "5d30b820f52b7b44c8f45d9e5dfa6d8b0997869f04c190bae3f1934b16580c87"},
            {"pin.movie", "trim",
             "71095ea1aa94e0218753d02e290ba0f1511fe65283e760c775b2b25bfdfc0179"}};
        for (const auto& [name, options, sha256] : pins) {
            QByteArray err;
            const QString movie = Convert("rg...by.", name, options, &err);
            QVERIFY2(!movie.isEmpty(), err.constData());
            QCOMPARE(QCryptographicHash::hash(ReadAll(movie), QCryptographicHash::Sha256).toHex(),
                     sha256.toLatin1());
        }
    }
};

QTEST_MAIN(TestContainers)
#include "tst_containers.moc"
