// The movie's audio track: the first audio stream of a sound file copied into
// the movie with its format, bytes and sample positions unchanged, checked
// with ffprobe/ffmpeg, MediaInfo and GStreamer.

#include "movie_writer_tools.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace moviecheck;

namespace {

// One second of movie at 8 positions per second, with two skipped positions.
const std::vector<long> Positions{0, 2, 3, 4, 6, 7};

Outcome Convert(const QString& movie, const QString& audio, AviWriterHooks hooks = {}) {
    return WriteMovie(movie, 20, 20, 24, Positions, hooks, audio);
}

void CheckVideoIntact(const QString& movie) {
    QCOMPARE(Pts(PacketsOf(Probe(movie), "video")), (QList<long>{0, 2, 3, 4, 6, 7}));
    QCOMPARE(MediaInfoTrack(movie, "Video")["FrameCount"].toString(), QString("8"));
}

// Made with ffmpeg's own encoders; false when this ffmpeg lacks the encoder.
bool MakeSound(const QString& path, const QString& encoder) {
    bool made = false;
    Run("ffmpeg",
        {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=f=440:d=1", "-c:a", encoder, path}, &made);
    return made;
}

} // namespace

class TestAudioTrack : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString file(const QString& name) const { return dir_.filePath(name); }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        if (!HaveReaders())
            QFAIL(
                "ffmpeg, ffprobe, mediainfo and gst-launch-1.0 are needed (scripts/install-deps)");
    }

    void copied_data() {
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
    void copied() {
        QFETCH(int, bits);
        QFETCH(int, channels);
        QFETCH(int, rate);
        QFETCH(double, seconds);
        const QString tag = QString("%1_%2_%3").arg(bits).arg(rate).arg(seconds);
        const QString wavPath = file(tag + ".wav"), movie = file(tag + ".avi");
        const long frames = long(rate * seconds);
        const Wav wav = MakeWav(bits, channels, rate, int(frames));
        QVERIFY(Save(wavPath, wav.file));
        Outcome o = Convert(movie, wavPath);
        QCOMPARE(o.result, 0);
        QVERIFY2(o.messages.isEmpty(), qPrintable(o.messages.join(", ")));
        CheckVideoIntact(movie);

        // ffprobe: format, every byte in order, and the samples keep their
        // positions: the first starts at 0, each follows the last.
        QJsonObject probe = Probe(movie);
        QJsonObject a = StreamOf(probe, "audio");
        QCOMPARE(a["codec_name"].toString(), QString(bits == 8 ? "pcm_u8" : "pcm_s16le"));
        QCOMPARE(a["sample_rate"].toString().toInt(), rate);
        QCOMPARE(a["channels"].toInt(), channels);
        QCOMPARE(a["bits_per_sample"].toInt(), bits);
        QCOMPARE(AudioBytes(movie, bits == 8 ? "u8" : "s16le"), wav.data);
        QJsonArray packets = PacketsOf(probe, "audio");
        QVERIFY(!packets.isEmpty());
        long expected = 0;
        for (const auto& p : packets) {
            QCOMPARE(long(p.toObject()["pts"].toInteger()), expected);
            expected += p.toObject()["size"].toString().toLong() / (channels * bits / 8);
        }
        QCOMPARE(expected, frames);

        // Our own reading: the stream header and the format record as in the WAV.
        const auto streams = AviStreams(movie);
        QCOMPARE(int(streams.size()), 2);
        QCOMPARE(streams[1].first.left(4), QByteArray("auds"));
        QCOMPARE(long(U32(streams[1].first, 32)), frames); // dwLength
        QCOMPARE(streams[1].second.left(16), wav.fmt);

        QJsonObject mi = MediaInfoTrack(movie, "Audio");
        QCOMPARE(mi["SamplingRate"].toString().toInt(), rate);
        QCOMPARE(mi["BitDepth"].toString().toInt(), bits);
        QCOMPARE(mi["Channels"].toString().toInt(), channels);
        QCOMPARE(mi["StreamSize"].toString().toLongLong(), qlonglong(wav.data.size()));

        GstBuffers g = GstRead(movie, 8, {}, "audio_0");
        QVERIFY(g.ok);
        QByteArray gstBytes;
        for (const QByteArray& b : g.bytes)
            gstBytes += b;
        QCOMPARE(gstBytes, wav.data);

        // Interleaved: sound comes in the file between the frames, not after them.
        QVERIFY(packets.first().toObject()["pos"].toString().toLongLong() <
                PacketsOf(probe, "video").last().toObject()["pos"].toString().toLongLong());
    }

    // Other sources: what is there is copied unchanged; where there is no
    // sound the movie has none, silently.
    void sources_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("format"); // as ffmpeg copies the sound out; empty: no sound
        QTest::newRow("movie with sound") << "avi" << QString("s16le");
        // The header promises two seconds, the file holds half a second.
        QTest::newRow("truncated WAV") << "truncated" << QString("s16le");
        // Relative names that look like "protocol:rest" are plain local files.
        QTest::newRow("names with colons") << "colons" << QString("u8");
        QTest::newRow("MP3, copied packet for packet") << "mp3" << QString("data");
        QTest::newRow("missing file") << "missing" << QString();
        QTest::newRow("text file") << "text" << QString();
        QTest::newRow("movie without sound") << "silent-avi" << QString();
        QTest::newRow("WAV without samples") << "empty-wav" << QString();
        QTest::newRow("folder") << "folder" << QString();
        QTest::newRow("Opus sound, which AVI cannot hold") << "opus" << QString();
    }
    void sources() {
        QFETCH(QString, kind);
        QFETCH(QString, format);
        QString source = file("source_" + kind), movie = "movie_" + kind + ".avi";
        QByteArray expected;
        if (kind == "avi") {
            const Wav wav = MakeWav(16, 2, 22050, 30000);
            QVERIFY(Save(source + ".wav", wav.file));
            source += ".avi";
            QCOMPARE(Convert(source, source.chopped(4) + ".wav").result, 0);
            expected = wav.data;
        } else if (kind == "truncated") {
            expected = MakeWav(16, 2, 44100, 88200).file.left(44 + 22050 * 4);
            QVERIFY(Save(source, expected));
            expected.remove(0, 44);
        } else if (kind == "colons") {
            expected = MakeWav(8, 1, 11025, 3000).data;
            QVERIFY(Save(file("take:1.wav"), MakeWav(8, 1, 11025, 3000).file));
            source = "take:1.wav";
            movie = "cut:1.avi";
        } else if (kind == "mp3" || kind == "opus") {
            source += "." + kind;
            if (!MakeSound(source, kind == "mp3" ? "libmp3lame" : "libopus"))
                QSKIP("this ffmpeg cannot make such files");
            expected = kind == "mp3" ? AudioBytes(source, format) : QByteArray();
        } else if (kind == "text") {
            QVERIFY(Save(source, "just some words\n"));
        } else if (kind == "silent-avi") {
            source += ".avi";
            QCOMPARE(Convert(source, {}).result, 0);
        } else if (kind == "empty-wav") {
            QVERIFY(Save(source, MakeWav(16, 2, 44100, 0).file));
        } else if (kind == "folder") {
            QVERIFY(QDir().mkpath(source));
        }
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir_.path()));
        Outcome o = Convert(movie, source);
        QVERIFY(QDir::setCurrent(before));
        movie = file(movie);
        QCOMPARE(o.result, 0);
        QVERIFY2(o.messages.isEmpty(), qPrintable(o.messages.join(", ")));
        CheckVideoIntact(movie);
        QCOMPARE(int(AviStreams(movie).size()), format.isEmpty() ? 1 : 2);
        if (format.isEmpty()) {
            QVERIFY(StreamOf(Probe(movie), "audio").isEmpty());
            return;
        }
        QVERIFY(!expected.isEmpty());
        QCOMPARE(AudioBytes(movie, format), expected);
    }

    // Cancelling the compression dialog: no frame is drawn, the result is 1
    // without a message, and the sound written so far is in a closed file.
    void cancelledCompression() {
        const Wav wav = MakeWav(8, 1, 11025, 5000);
        const QString wavPath = file("cancel.wav"), movie = file("cancelled.avi");
        QVERIFY(Save(wavPath, wav.file));
        AviWriterHooks hooks;
        int asked = 0;
        hooks.chooseCompression = [&asked]() -> std::optional<CompressionChoice> {
            ++asked;
            return std::nullopt;
        };
        Outcome o = Convert(movie, wavPath, hooks);
        QCOMPARE(asked, 1);
        QCOMPARE(o.result, 1);
        QVERIFY2(o.messages.isEmpty(), qPrintable(o.messages.join(", ")));
        QCOMPARE(o.drawn, 0L);
        QJsonObject probe = Probe(movie);
        QCOMPARE(StreamOf(probe, "video")["width"].toInt(), 20);
        QCOMPARE(PacketsOf(probe, "video").size(), 0);
        QCOMPARE(AudioBytes(movie, "u8"), wav.data);
        QCOMPARE(MediaInfoTrack(movie, "Audio")["SamplingRate"].toString(), QString("11025"));
    }
};

QTEST_GUILESS_MAIN(TestAudioTrack)
#include "tst_audiotrack.moc"
