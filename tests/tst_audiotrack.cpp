// The movie's audio track: the first audio stream of a sound file copied into
// the movie with its format, bytes and sample positions unchanged, checked
// with ffprobe/ffmpeg, MediaInfo and GStreamer.

#include "movie/AviWriter.h"

#include "movie_writer_tools.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace moviecheck;

namespace {

QByteArray Le(uint32_t v, int bytes) {
    QByteArray b;
    for (int i = 0; i < bytes; ++i)
        b.append(char((v >> (8 * i)) & 255));
    return b;
}

struct Wav {
    QByteArray file;
    QByteArray fmt;  // the 16-byte format record
    QByteArray data; // the sample bytes
};

// A WAV file of `frames` sample frames with a pattern that shows any byte
// moved, dropped or doubled.
Wav MakeWav(int bits, int channels, int rate, int frames) {
    Wav w;
    const int blockAlign = channels * bits / 8;
    for (int i = 0; i < frames * channels; ++i) {
        if (bits == 8)
            w.data.append(char((i * 7 + i / 251) & 255));
        else
            w.data.append(Le(uint32_t((i * 977 + i / 3001) & 0xffff), 2));
    }
    w.fmt = Le(1, 2) + Le(uint32_t(channels), 2) + Le(uint32_t(rate), 4) +
            Le(uint32_t(rate * blockAlign), 4) + Le(uint32_t(blockAlign), 2) +
            Le(uint32_t(bits), 2);
    w.file = "RIFF" + Le(uint32_t(4 + 8 + 16 + 8 + w.data.size()), 4) + "WAVE" + "fmt " +
             Le(16, 4) + w.fmt + "data" + Le(uint32_t(w.data.size()), 4) + w.data;
    return w;
}

bool Save(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

struct Outcome {
    int result = -1;
    QStringList messages;
};

// One second of movie at 8 positions per second, with two skipped positions.
const std::vector<long> Positions{0, 2, 3, 4, 6, 7};

Outcome Convert(const QString& out, const QString& audio, bool cancel = false) {
    Outcome o;
    AviWriterHooks hooks;
    hooks.message = [&o](const char* text, const char* caption) {
        o.messages << QString::fromUtf8(caption) + "/" + QString::fromUtf8(text);
    };
    if (cancel)
        hooks.chooseCompression = []() -> std::optional<CompressionChoice> { return std::nullopt; };
    o.result = WriteAviMovie(
        QFile::encodeName(out).toStdString(), 20, 20, 24, long(Positions.size()), 8,
        [](Surface& s, unsigned, unsigned, long f) { s.fill(Surface::Rgb(int(f) * 30, 0, 0)); },
        [](long i) { return Positions.at(size_t(i)); },
        [](long i) { return i < long(Positions.size()) ? 1 : 0; },
        QFile::encodeName(audio).toStdString(), hooks);
    return o;
}

QByteArray AudioBytes(const QString& movie, const QString& rawFormat) {
    return Run("ffmpeg",
               {"-v", "error", "-i", movie, "-map", "0:a", "-c", "copy", "-f", rawFormat, "-"});
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void CheckVideoIntact(const QString& movie) {
    QJsonObject probe = Probe(movie);
    QList<long> pts;
    for (const auto& p : PacketsOf(probe, "video"))
        pts << long(p.toObject()["pts"].toInteger());
    QCOMPARE(pts, (QList<long>{0, 2, 3, 4, 6, 7}));
    QCOMPARE(MediaInfoTrack(movie, "Video")["FrameCount"].toString(), QString("8"));
}

} // namespace

class TestAudioTrack : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void copied_data();
    void copied();
    void fromAviWithSound();
    void truncatedWav();
    void namesWithColons();
    void compressedSound();
    void withCancelledCompression();
    void noAudio_data();
    void noAudio();

private:
    QTemporaryDir dir_;
    QString file(const QString& name) const { return dir_.filePath(name); }
};

void TestAudioTrack::initTestCase() {
    QVERIFY(dir_.isValid());
    if (!HaveTool("ffprobe") || !HaveTool("ffmpeg") || !HaveTool("mediainfo") ||
        !HaveTool("gst-launch-1.0"))
        QFAIL("ffmpeg, ffprobe, mediainfo and gst-launch-1.0 are needed (scripts/install-deps)");
}

void TestAudioTrack::copied_data() {
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("rate");
    QTest::addColumn<double>("seconds");
    QTest::newRow("16-bit stereo 44.1 kHz, longer than the movie") << 16 << 2 << 44100 << 3.0;
    QTest::newRow("16-bit stereo 44.1 kHz, shorter") << 16 << 2 << 44100 << 0.3;
    QTest::newRow("8-bit mono 11025 Hz, longer") << 8 << 1 << 11025 << 2.5;
    QTest::newRow("8-bit mono 11025 Hz, shorter") << 8 << 1 << 11025 << 0.2;
    QTest::newRow("8-bit mono 11025 Hz, odd length") << 8 << 1 << 11025 << 0.37;
}

void TestAudioTrack::copied() {
    QFETCH(int, bits);
    QFETCH(int, channels);
    QFETCH(int, rate);
    QFETCH(double, seconds);
    const QString tag = QString("%1_%2_%3_%4").arg(bits).arg(channels).arg(rate).arg(seconds);
    const QString wavPath = file("sound_" + tag + ".wav");
    const Wav wav = MakeWav(bits, channels, rate, int(rate * seconds));
    QVERIFY(Save(wavPath, wav.file));
    const QString movie = file("movie_" + tag + ".avi");

    Outcome o = Convert(movie, wavPath);
    QCOMPARE(o.result, 0);
    QVERIFY2(o.messages.isEmpty(), qPrintable(o.messages.join(", ")));
    CheckVideoIntact(movie);

    // ffprobe: format, and every byte in order.
    QJsonObject probe = Probe(movie);
    QJsonObject a = StreamOf(probe, "audio");
    QCOMPARE(a["codec_name"].toString(), QString(bits == 8 ? "pcm_u8" : "pcm_s16le"));
    QCOMPARE(a["sample_rate"].toString().toInt(), rate);
    QCOMPARE(a["channels"].toInt(), channels);
    QCOMPARE(a["bits_per_sample"].toInt(), bits);
    QCOMPARE(AudioBytes(movie, bits == 8 ? "u8" : "s16le"), wav.data);
    // Samples keep their positions: the first starts at 0, each follows the last.
    QJsonArray packets = PacketsOf(probe, "audio");
    QVERIFY(!packets.isEmpty());
    long expected = 0;
    for (const auto& p : packets) {
        QCOMPARE(long(p.toObject()["pts"].toInteger()), expected);
        expected += p.toObject()["size"].toString().toLong() / (channels * bits / 8);
    }
    QCOMPARE(expected, long(rate * seconds));

    // Our own reading: the stream header and the format record as in the WAV.
    AviHeaders h = ReadAviHeaders(ReadAll(movie));
    QCOMPARE(int(h.streams.size()), 2);
    QCOMPARE(h.streams[1].strh.left(4), QByteArray("auds"));
    QCOMPARE(h.streams[1].strf.left(16), wav.fmt);
    QCOMPARE(AviHeaders::U32(h.streams[1].strh, 32), uint32_t(rate * seconds)); // dwLength

    // MediaInfo agrees.
    QJsonObject mi = MediaInfoTrack(movie, "Audio");
    QCOMPARE(mi["SamplingRate"].toString().toInt(), rate);
    QCOMPARE(mi["BitDepth"].toString().toInt(), bits);
    QCOMPARE(mi["Channels"].toString().toInt(), channels);
    QCOMPARE(mi["StreamSize"].toString().toLongLong(), qlonglong(wav.data.size()));

    // GStreamer hands on the same bytes.
    QCOMPARE(GstDemuxBytes(movie, "audio_0", file("gst_" + tag + ".pcm")), wav.data);

    // Interleaved: sound comes in the file between the frames, not after them.
    QJsonArray video = PacketsOf(probe, "video");
    const qlonglong lastFrameAt = video.last().toObject()["pos"].toString().toLongLong();
    const qlonglong firstSoundAt = packets.first().toObject()["pos"].toString().toLongLong();
    QVERIFY(firstSoundAt < lastFrameAt);
}

void TestAudioTrack::fromAviWithSound() {
    // A movie with sound serves as the source of another movie's sound.
    const Wav wav = MakeWav(16, 2, 22050, 30000);
    const QString wavPath = file("for_avi.wav");
    QVERIFY(Save(wavPath, wav.file));
    const QString first = file("with_sound.avi");
    QCOMPARE(Convert(first, wavPath).result, 0);
    const QString second = file("from_avi.avi");
    Outcome o = Convert(second, first);
    QCOMPARE(o.result, 0);
    QVERIFY(o.messages.isEmpty());
    CheckVideoIntact(second);
    QCOMPARE(AudioBytes(second, "s16le"), wav.data);
    QCOMPARE(ReadAviHeaders(ReadAll(second)).streams.at(1).strf.left(16), wav.fmt);
}

void TestAudioTrack::namesWithColons() {
    // Relative names that look like "protocol:rest" are plain local files.
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir_.path()));
    const Wav wav = MakeWav(8, 1, 11025, 3000);
    QVERIFY(Save("take:1.wav", wav.file));
    Outcome o = Convert("cut:1.avi", "take:1.wav");
    QVERIFY(QDir::setCurrent(before));
    QCOMPARE(o.result, 0);
    QVERIFY2(o.messages.isEmpty(), qPrintable(o.messages.join(", ")));
    CheckVideoIntact(file("cut:1.avi"));
    QCOMPARE(AudioBytes(file("cut:1.avi"), "u8"), wav.data);
}

void TestAudioTrack::truncatedWav() {
    // The header promises two seconds, the file holds half a second: what is
    // there is copied, and the movie is fine.
    const Wav whole = MakeWav(16, 2, 44100, 88200);
    const QByteArray cut = whole.file.left(44 + 22050 * 4);
    const QString wavPath = file("truncated.wav");
    QVERIFY(Save(wavPath, cut));
    const QString movie = file("truncated.avi");
    Outcome o = Convert(movie, wavPath);
    QCOMPARE(o.result, 0);
    QVERIFY(o.messages.isEmpty());
    CheckVideoIntact(movie);
    QCOMPARE(AudioBytes(movie, "s16le"), cut.mid(44));
}

void TestAudioTrack::compressedSound() {
    // Any sound libavformat reads and AVI can hold is copied packet for packet.
    const QString mp3 = file("sound.mp3");
    bool made = false;
    Run("ffmpeg",
        {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=f=440:d=2", "-c:a", "libmp3lame", mp3},
        &made);
    if (!made)
        QSKIP("this ffmpeg cannot make MP3 files");
    const QString movie = file("mp3_movie.avi");
    Outcome o = Convert(movie, mp3);
    QCOMPARE(o.result, 0);
    QVERIFY(o.messages.isEmpty());
    CheckVideoIntact(movie);
    QCOMPARE(StreamOf(Probe(movie), "audio")["codec_name"].toString(), QString("mp3"));
    auto payload = [](const QString& f) {
        return Run("ffmpeg",
                   {"-v", "error", "-i", f, "-map", "0:a", "-c", "copy", "-f", "data", "-"});
    };
    const QByteArray source = payload(mp3);
    QVERIFY(!source.isEmpty());
    QCOMPARE(payload(movie), source);
}

void TestAudioTrack::withCancelledCompression() {
    const Wav wav = MakeWav(8, 1, 11025, 5000);
    const QString wavPath = file("cancel.wav");
    QVERIFY(Save(wavPath, wav.file));
    const QString movie = file("cancelled.avi");
    Outcome o = Convert(movie, wavPath, true);
    QCOMPARE(o.result, 1);
    QVERIFY(o.messages.isEmpty());
    QJsonObject probe = Probe(movie);
    QCOMPARE(PacketsOf(probe, "video").size(), 0);
    QCOMPARE(AudioBytes(movie, "u8"), wav.data);
    QCOMPARE(MediaInfoTrack(movie, "Audio")["SamplingRate"].toString(), QString("11025"));
}

void TestAudioTrack::noAudio_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing file") << "missing";
    QTest::newRow("text file") << "text";
    QTest::newRow("movie without sound") << "silent-avi";
    QTest::newRow("WAV without samples") << "empty-wav";
    QTest::newRow("folder") << "folder";
    QTest::newRow("Opus sound, which AVI cannot hold") << "opus";
}

void TestAudioTrack::noAudio() {
    QFETCH(QString, kind);
    QString source = file("source_" + kind);
    if (kind == "text") {
        QVERIFY(Save(source, "just some words\n"));
    } else if (kind == "silent-avi") {
        source += ".avi";
        QCOMPARE(Convert(source, {}).result, 0);
    } else if (kind == "empty-wav") {
        source += ".wav";
        QVERIFY(Save(source, MakeWav(16, 2, 44100, 0).file));
    } else if (kind == "folder") {
        QVERIFY(QDir().mkpath(source));
    } else if (kind == "opus") {
        source += ".opus";
        bool made = false;
        Run("ffmpeg",
            {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=f=440:d=1", "-c:a", "libopus", source},
            &made);
        if (!made)
            QSKIP("this ffmpeg cannot make Opus files");
    }
    const QString movie = file("noaudio_" + kind + ".avi");
    Outcome o = Convert(movie, source);
    QCOMPARE(o.result, 0);
    QVERIFY2(o.messages.isEmpty(), qPrintable(o.messages.join(", ")));
    CheckVideoIntact(movie);
    QVERIFY(StreamOf(Probe(movie), "audio").isEmpty());
    QCOMPARE(int(ReadAviHeaders(ReadAll(movie)).streams.size()), 1);
}

QTEST_GUILESS_MAIN(TestAudioTrack)
#include "tst_audiotrack.moc"
