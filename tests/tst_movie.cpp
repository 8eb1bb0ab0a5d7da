// The movie writer: headers, positions, pixels, codecs, the audio track and
// the failure paths, read back by readers we did not write (ffprobe/ffmpeg,
// GStreamer, MediaInfo); and the conversion's frame pipeline, against the
// pictures its lines name.

#include "movie/Conversion.h"
#include "movie/FramePipeline.h"
#include "movie/IntermediateFrameFile.h"

#include "movie_writer_tools.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <numeric>

#include <sys/stat.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
}

using namespace moviecheck;

namespace {

ColourDepth Depth(int bits) {
    return bits == 8 ? ColourDepth::Bits8 : bits == 16 ? ColourDepth::Bits16 : ColourDepth::Bits24;
}

// The largest channel difference and the mean one between a decoded BGR24
// frame and the pattern as written at `bits` (8: through the movie palette;
// 16: the top five bits of each channel).
std::pair<int, double> Difference(const QByteArray& frame, int w, int h, long f, int bits = 24) {
    if (frame.size() != w * h * 3)
        return {255, 255};
    const int shift = bits == 16 ? 3 : 0;
    double sum = 0;
    int worst = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t want = Pattern(x, y, f);
            if (bits == 8)
                want = MoviePalette()[MoviePaletteIndex(want, x, y)];
            for (int c = 0; c < 3; ++c) {
                const int d = qAbs((uint8_t(frame[(y * w + x) * 3 + c]) >> shift) -
                                   (int((want >> (8 * c)) & 255) >> shift));
                sum += d;
                worst = qMax(worst, d);
            }
        }
    return {worst, sum / (w * h * 3)};
}

// GStreamer's BGR rows are padded to four bytes.
QByteArray Unpadded(const QByteArray& bgr, int w, int h) {
    const int stride = (w * 3 + 3) / 4 * 4;
    QByteArray out;
    for (int y = 0; bgr.size() == stride * h && y < h; ++y)
        out += bgr.mid(y * stride, w * 3);
    return out;
}

const CompressionChoice Uncompressed{};

// One second at 8 positions per second, with two skipped positions.
const std::vector<long> SoundPositions{0, 2, 3, 4, 6, 7};

void CheckVideoIntact(const QString& movie) {
    QCOMPARE(Pts(PacketsOf(Probe(movie), "video")), (QList<long>{0, 2, 3, 4, 6, 7}));
    QCOMPARE(MediaInfoTrack(movie, "Video")["FrameCount"].toString(), QString("8"));
}

} // namespace

class TestMovie : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString file(const QString& name) const { return dir_.filePath(name); }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QVERIFY2(HaveReaders(), "ffmpeg, ffprobe, mediainfo and gst-launch-1.0 are needed");
    }

    void movies_data() {
        QTest::addColumn<int>("bits");
        QTest::addColumn<QString>("pixFmt");
        QTest::addColumn<int>("stride"); // rows padded to four bytes
        QTest::addColumn<QList<int>>("positions");
        QTest::newRow("24 bits") << 24 << "bgr24" << 964 << QList<int>{0, 2, 3};
        QTest::newRow("16 bits") << 16 << "rgb555le" << 644 << QList<int>{0, 2, 3};
        QTest::newRow("8 bits") << 8 << "pal8" << 324 << QList<int>{0, 2, 3};
        QTest::newRow("first position above 0") << 24 << "bgr24" << 964 << QList<int>{3, 5};
        QTest::newRow("gap above 60,000") << 24 << "bgr24" << 964 << QList<int>{0, 130005, 130007};
    }

    // An odd width at each depth; skipped positions hold the frame before. An
    // older, longer file of the same name is replaced, not overwritten in place.
    void movies() {
        QFETCH(int, bits);
        QFETCH(QString, pixFmt);
        QFETCH(int, stride);
        QFETCH(QList<int>, positions);
        const int width = 321, height = 240, imageSize = stride * height, n = positions.size();
        const QList<long> want(positions.begin(), positions.end());
        const uint32_t length = uint32_t(want.last() + 1);
        const QString out = file(QString("movie%1_%2.avi").arg(bits).arg(length));
        QVERIFY(Save(out, QByteArray(8 << 20, 'x')));
        const Outcome o = WriteMovie(out, width, height, Depth(bits), {want.begin(), want.end()});
        QVERIFY(o.result.written);
        QVERIFY2(o.messages.isEmpty(), qPrintable(o.messages.join(", ")));
        QCOMPARE(o.result.framesWritten, long(n));
        // Held positions are empty chunks (an index entry each), not copies.
        QVERIFY(QFileInfo(out).size() < n * imageSize + length * 40 + 65536);

        // Our own reading of the header chunks. The main header: no AVIF_TRUSTCKTYPE (Video for
        // Windows readers would take "dc" chunks for delta frames), every position counted, and
        // a suggested buffer that holds the largest chunk.
        const QByteArray avih = ReadAll(out).mid(24, 64);
        QCOMPARE(avih.left(4), QByteArray("avih"));
        QCOMPARE(U32(avih, 8 + 12), 0x110u); // AVIF_HASINDEX | AVIF_ISINTERLEAVED
        QCOMPARE(U32(avih, 8 + 16), length);
        QCOMPARE(int(U32(avih, 8 + 28)), imageSize);
        const auto streams = AviStreams(out);
        QCOMPARE(int(streams.size()), 1);
        const auto& [strh, strf] = streams[0];
        QCOMPARE(strh.left(4), QByteArray("vids"));
        QCOMPARE(U32(strh, 20), 1u);             // dwScale
        QCOMPARE(U32(strh, 24), 8u);             // dwRate
        QCOMPARE(U32(strh, 32), length);         // dwLength
        QCOMPARE(int(U32(strh, 36)), imageSize); // dwSuggestedBufferSize
        QCOMPARE(int(strf.size()), bits == 8 ? 1064 : 40);
        // Size, width, positive height (bottom-up rows), planes and bits, BI_RGB, image size.
        const QList<int> header{40, width, height, 1 | bits << 16, 0, imageSize};
        for (int i = 0; i < header.size(); ++i)
            QCOMPARE(int(U32(strf, 4 * i)), header[i]);
        QCOMPARE(U32(strf, 32), bits == 8 ? 256u : 0u); // biClrUsed
        for (int i = 0; bits == 8 && i < 256; ++i)
            QCOMPARE(U32(strf, 40 + 4 * i), MoviePalette()[size_t(i)]);

        // ffprobe: stream values, packet positions, key flags.
        const QJsonObject probe = Probe(out), v = StreamOf(probe, "video");
        QCOMPARE(v["codec_name"].toString() + v["codec_tag"].toString() + v["pix_fmt"].toString() +
                     v["r_frame_rate"].toString(),
                 "rawvideo0x0000" + pixFmt + "8/1");
        QCOMPARE(Pts(PacketsOf(probe, "video")), want);
        QVERIFY(AllKey(PacketsOf(probe, "video")));
        // The stored rows: padding zero, so the same frames always give the same file.
        const QByteArray raw = Run("ffmpeg", {"-v", "error", "-i", out, "-map", "0:v", "-c", "copy",
                                              "-f", "rawvideo", "-"});
        QCOMPARE(raw.size(), n * imageSize);
        const int used = (width * bits + 7) / 8;
        for (int row = 0; row < n * height; ++row)
            QCOMPARE(raw.mid(row * stride + used, stride - used), QByteArray(stride - used, 0));

        QCOMPARE(MediaInfoTrack(out, "Video")["FrameCount"].toString(), QString::number(length));

        // ffmpeg's decoded pixels against the pattern.
        const std::vector<QByteArray> frames = DecodeBgr24(out, width, height);
        QCOMPARE(int(frames.size()), n);
        for (int f = 0; f < n; ++f)
            QCOMPARE(Difference(frames[size_t(f)], width, height, f, bits).first, 0);

        // GStreamer decodes the same pictures at the same positions and rate.
        // (Its AVI reader knows uncompressed RGB at 8, 24 and 32 bits only; at 16
        // bits it names the stream "x-avi-unknown" and MediaInfo stands in.)
        if (bits == 16)
            return;
        const GstBuffers g = GstRead(out, 8, "videoconvert ! video/x-raw,format=BGR");
        QVERIFY(g.ok);
        QCOMPARE(QList<long>(g.positions.begin(), g.positions.end()), want);
        QCOMPARE(g.durations.at(0), 125000000L);
        for (int f = 0; f < n; ++f)
            QVERIFY2(Unpadded(g.bytes[size_t(f)], width, height) == frames[size_t(f)],
                     qPrintable(QString("GStreamer's frame %1 differs").arg(f)));
    }

    void outcomes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("depth"); // the project file's index
        QTest::addColumn<QList<int>>("positions");
        QTest::addColumn<long>("stopAfter"); // progress answers false after this many
        QTest::addColumn<long>("missing");   // this frame comes without pixels
        QTest::addColumn<bool>("written");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QList<long>>("packets"); // in the file
        QTest::addColumn<long>("drawn");
        QTest::addColumn<QList<long>>("progress"); // counts seen
        const QList<long> none;
        QTest::newRow("unwritable path")
            << "no/such/folder/x.avi" << 2 << QList<int>{0, 1} << -1L << -1L << false
            << QStringList{"Error/CannotOpenAviFile", "AVI ERR/WritingERR"} << none << 0L << none;
        // The frames' format is checked before the file: nothing is created.
        QTest::newRow("depth without frames")
            << "badbits.avi" << 7 << QList<int>{0} << -1L << -1L << false
            << QStringList{"AVI ERR/MAKEDIB ERROR!"} << none << 0L << none;
        // The frames before stay in a properly closed file.
        QTest::newRow("position not increasing")
            << "backwards.avi" << 2 << QList<int>{0, 2, 2, 3} << -1L << -1L << false
            << QStringList{"AVI ERR/WritingERR"} << QList<long>{0, 2} << 3L << QList<long>{1, 2};
        QTest::newRow("frame without pixels")
            << "nopixels.avi" << 1 << QList<int>{0, 1, 2, 3} << -1L << 2L << false
            << QStringList{"AVI ERR/MAKEDIB ERROR!"} << QList<long>{0, 1} << 3L
            << QList<long>{1, 2};
        QTest::newRow("no frames") << "empty.avi" << 0 << QList<int>{} << -1L << -1L << true
                                   << QStringList{} << none << 0L << none;
        // A cancelled compression dialog: no frame drawn, no message, not written; the
        // sound is still in a closed file.
        QTest::newRow("compression cancelled")
            << "cancelled.avi" << 2 << QList<int>{0, 2, 3} << -1L << -1L << false << QStringList{}
            << none << 0L << none;
        QTest::newRow("progress stops")
            << "stopped.avi" << 1 << QList<int>{0, 1, 2, 3, 4} << 2L << -1L << true << QStringList{}
            << QList<long>{0, 1} << 2L << QList<long>{1, 2};
    }

    void outcomes() {
        QFETCH(QString, name);
        QFETCH(int, depth);
        QFETCH(QList<int>, positions);
        QFETCH(long, stopAfter);
        QFETCH(long, missing);
        QFETCH(bool, written);
        QFETCH(QStringList, messages);
        QFETCH(QList<long>, packets);
        QFETCH(long, drawn);
        QFETCH(QList<long>, progress);
        const QString out = file(name), sound = file("cancel.wav");
        const bool cancelled = name == "cancelled.avi";
        const Wav wav = MakeWav(8, 1, 11025, 5000);
        QVERIFY(Save(sound, wav.file));
        QList<long> seen;
        const Outcome o = WriteMovie(
            out, 21, 20, ColourDepth(depth), {positions.begin(), positions.end()},
            cancelled ? std::nullopt : std::optional(Uncompressed), cancelled ? sound : QString(),
            [&seen, stopAfter](long n) {
                seen << n;
                return stopAfter < 0 || n < stopAfter;
            },
            missing);
        QCOMPARE(o.result.written, written);
        QCOMPARE(o.messages, messages);
        QCOMPARE(o.drawn, drawn);
        QCOMPARE(seen, progress);
        QCOMPARE(QFile::exists(out), !name.contains('/') && depth != 7);
        if (!QFile::exists(out))
            return;
        const QJsonObject probe = Probe(out);
        QCOMPARE(Pts(PacketsOf(probe, "video")), packets);
        QCOMPARE(StreamOf(probe, "video")["width"].toInt(), 21);
        QCOMPARE(int(AviStreams(out).at(0).second.size()), depth == 0 ? 1064 : 40);
        QVERIFY(cancelled || MediaInfoTrack(out, "Video")["FrameCount"].toString().toLong() ==
                                 (packets.isEmpty() ? 0 : packets.last() + 1));
        QCOMPARE(AudioBytes(out, "u8"), cancelled ? wav.data : QByteArray());
    }

    void codecs_data() {
        // The list: full frames first, then the encoders the AVI muxer takes.
        const std::vector<CodecInfo> codecs = OfferedCodecs();
        QVERIFY(!codecs.empty());
        QCOMPARE(codecs[0].name, std::string());
        QCOMPARE(codecs[0].description, std::string("Full Frames (Uncompressed)"));
        QStringList names;
        for (const CodecInfo& c : codecs)
            names << QString::fromStdString(c.name);
        for (const char* needed : {"mjpeg", "ffv1", "mpeg4"})
            QVERIFY2(names.contains(needed), needed);
        QVERIFY(names.contains("huffyuv") || names.contains("utvideo"));
        QVERIFY(!avcodec_find_encoder_by_name("libx264") || names.contains("libx264"));
        QVERIFY(FindOfferedCodec("mjpeg") && FindOfferedCodec("mjpeg")->hasQuality);
        QVERIFY(!FindOfferedCodec("no-such-encoder"));

        QTest::addColumn<QString>("encoder");
        QTest::addColumn<int>("sizeMultiple");
        for (const CodecInfo& c : codecs)
            if (!c.name.empty())
                QTest::newRow(c.name.c_str()) << QString::fromStdString(c.name) << c.sizeMultiple;
    }

    void codecs() {
        QFETCH(QString, encoder);
        QFETCH(int, sizeMultiple);
        // An odd size where the codec allows it.
        const int w = sizeMultiple > 1 ? 320 : 321, h = sizeMultiple > 1 ? 240 : 241;
        const QString out = file("codec_" + encoder + ".avi");
        const CompressionChoice choice{encoder.toStdString(), -1};
        const Outcome o = WriteMovie(out, w, h, ColourDepth::Bits24, {0, 2, 3}, choice);
        QVERIFY(o.result.written);
        QVERIFY2(o.messages.isEmpty(), qPrintable(o.messages.join(", ")));

        const AVCodec* codec = avcodec_find_encoder_by_name(encoder.toUtf8().constData());
        QVERIFY(codec);
        const QJsonObject probe = Probe(out, {"-count_frames"}), v = StreamOf(probe, "video");
        QCOMPARE(v["codec_name"].toString(), QString(avcodec_get_name(codec->id)));
        QCOMPARE(QSize(v["width"].toInt(), v["height"].toInt()), QSize(w, h));
        QCOMPARE(v["r_frame_rate"].toString(), QString("8/1"));
        QCOMPARE(v["nb_read_frames"].toString(), QString("3"));
        QCOMPARE(PacketsOf(probe, "video").size(), 3);
        QVERIFY(AllKey(PacketsOf(probe, "video")));
        QCOMPARE(MediaInfoTrack(out, "Video")["FrameCount"].toString(), QString("4"));
        QCOMPARE(GstRead(out).nonEmptyBuffers(), 3L);
        if (encoder == "libx264") {
            // Every frame carries its own SPS and PPS, which GStreamer's decoders need.
            const QByteArray stream = Run("ffmpeg", {"-v", "error", "-i", out, "-map", "0:v", "-c",
                                                     "copy", "-f", "h264", "-"});
            QCOMPARE(stream.count(QByteArray("\x00\x00\x00\x01\x67", 5)), 3);
            QCOMPARE(stream.count(QByteArray("\x00\x00\x00\x01\x68", 5)), 3);
        }

        // The pictures come back: exactly for the lossless codecs, closely else.
        const bool lossless =
            FindOfferedCodec(choice.encoder)->description.find("lossless") != std::string::npos;
        const std::vector<QByteArray> frames = DecodeBgr24(out, w, h);
        QCOMPARE(int(frames.size()), 3);
        for (int f = 0; f < 3; ++f) {
            const auto [worst, mean] = Difference(frames[size_t(f)], w, h, f);
            QVERIFY2(lossless ? worst == 0 : mean < 40, qPrintable(QString::number(mean)));
        }
        // At 8 and 16 bits a lossless codec keeps the frames exactly as the
        // uncompressed ones show (16-bit white stays 255, not 248).
        for (int bits : {8, 16}) {
            const QString raw = file(QString("codec%1_raw.avi").arg(bits));
            const QString coded = file(QString("codec%1_%2.avi").arg(bits).arg(encoder));
            QVERIFY(WriteMovie(raw, w, h, Depth(bits), {0, 1}).result.written);
            QVERIFY(WriteMovie(coded, w, h, Depth(bits), {0, 1}, choice).result.written);
            const std::vector<QByteArray> want = DecodeBgr24(raw, w, h),
                                          got = DecodeBgr24(coded, w, h);
            QCOMPARE(got.size(), want.size());
            QVERIFY2(!lossless || got == want, qPrintable(QString("%1 bits").arg(bits)));
        }
        // With a quality setting, a higher quality takes more bytes.
        const bool hasQuality = FindOfferedCodec(choice.encoder)->hasQuality;
        qint64 size[2] = {0, 0};
        for (int i = 0; hasQuality && i < 2; ++i) {
            const QString q = file(QString("q_%1_%2.avi").arg(encoder).arg(i));
            const CompressionChoice quality{choice.encoder, i == 0 ? 5 : 95};
            QVERIFY(WriteMovie(q, 160, 120, ColourDepth::Bits24, {0, 1}, quality).result.written);
            size[i] = QFileInfo(q).size();
        }
        QVERIFY(!hasQuality || size[0] < size[1]);
    }

    // The first audio stream of the sound file, copied unchanged: format,
    // bytes and sample positions; where there is no sound the movie has none,
    // silently.
    void sound_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("format"); // as ffmpeg copies the sound out; empty: no sound
        // kind, then the format ffmpeg copies the sound out as (none: the movie has no sound).
        const QList<std::pair<const char*, const char*>> kinds{
            {"wav 16 2 44100 3", "s16le"},
            {"wav 16 2 44100 0.3", "s16le"}, // longer, shorter
            {"wav 8 1 11025 2.5", "u8"},
            {"wav 8 1 11025 0.37", "u8"}, // odd length
            {"avi", "s16le"},             // a movie with sound
            {"truncated", "s16le"},       // the header promises two seconds, the file holds half
            {"colons", "u8"},             // "protocol:rest" names are plain local files
            {"mp3", "data"},              // copied packet for packet
            {"missing", ""},
            {"text", ""},
            {"silent-avi", ""},
            {"empty-wav", ""},
            {"folder", ""},
            {"fifo", ""}, // never opened: that would wait for a writer
            {"opus", ""}, // AVI cannot hold it
        };
        for (auto [kind, format] : kinds)
            QTest::newRow(kind) << kind << QString(format);
    }

    void sound() {
        QFETCH(QString, kind);
        QFETCH(QString, format);
        QString source = file("source_" + kind), movie = "movie_" + kind + ".avi";
        auto convert = [](const QString& to, const QString& sound) {
            return WriteMovie(to, 20, 20, ColourDepth::Bits24, SoundPositions, Uncompressed, sound);
        };
        const QStringList wavSpec = kind.split(' ');
        Wav wav;
        QByteArray expected;
        if (kind.startsWith("wav")) {
            const int rate = wavSpec[3].toInt();
            wav = MakeWav(wavSpec[1].toInt(), wavSpec[2].toInt(), rate,
                          int(rate * wavSpec[4].toDouble()));
            QVERIFY(Save(source, wav.file));
            expected = wav.data;
        } else if (kind == "avi" || kind == "colons") {
            wav = kind == "avi" ? MakeWav(16, 2, 22050, 30000) : MakeWav(8, 1, 11025, 3000);
            QVERIFY(Save(kind == "avi" ? source + ".wav" : file("take:1.wav"), wav.file));
            if (kind == "avi") {
                source += ".avi";
                QVERIFY(convert(source, source.chopped(4) + ".wav").result.written);
            } else {
                source = "take:1.wav", movie = "cut:1.avi";
            }
            expected = wav.data;
        } else if (kind == "truncated") {
            expected = MakeWav(16, 2, 44100, 88200).file.left(44 + 22050 * 4);
            QVERIFY(Save(source, expected));
            expected.remove(0, 44);
        } else if (kind == "mp3" || kind == "opus") {
            source += "." + kind;
            bool made = false;
            Run("ffmpeg",
                {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=f=440:d=1", "-c:a",
                 kind == "mp3" ? "libmp3lame" : "libopus", source},
                &made);
            if (!made)
                QSKIP("this ffmpeg cannot make such files");
            expected = kind == "mp3" ? AudioBytes(source, format) : QByteArray();
        } else if (kind == "text") {
            QVERIFY(Save(source, "just some words\n"));
        } else if (kind == "silent-avi") {
            source += ".avi";
            QVERIFY(convert(source, {}).result.written);
        } else if (kind == "empty-wav") {
            QVERIFY(Save(source, MakeWav(16, 2, 44100, 0).file));
        } else if (kind == "folder") {
            QVERIFY(QDir().mkpath(source));
        } else if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(source).constData(), 0600), 0);
        }
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir_.path()));
        const Outcome o = convert(movie, source);
        QVERIFY(QDir::setCurrent(before));
        movie = file(movie);
        QVERIFY(o.result.written);
        QVERIFY2(o.messages.isEmpty(), qPrintable(o.messages.join(", ")));
        CheckVideoIntact(movie);
        const auto streams = AviStreams(movie);
        QCOMPARE(int(streams.size()), format.isEmpty() ? 1 : 2);
        QCOMPARE(AudioBytes(movie, format.isEmpty() ? "u8" : format), expected);
        if (!kind.startsWith("wav"))
            return;

        // The samples keep their positions: the first starts at 0, each follows
        // the last; and they come in the file between the frames, not after them.
        const int bytesPerFrame = wavSpec[1].toInt() / 8 * wavSpec[2].toInt();
        const QJsonObject probe = Probe(movie);
        const QJsonArray packets = PacketsOf(probe, "audio");
        long samples = 0;
        for (const auto& p : packets) {
            QCOMPARE(long(p.toObject()["pts"].toInteger()), samples);
            samples += p.toObject()["size"].toString().toLong() / bytesPerFrame;
        }
        QCOMPARE(samples, long(wav.data.size() / bytesPerFrame));
        QVERIFY(packets.first().toObject()["pos"].toString().toLongLong() <
                PacketsOf(probe, "video").last().toObject()["pos"].toString().toLongLong());
        // Our own reading: the stream header and the format record as in the WAV.
        QCOMPARE(streams[1].first.left(4), QByteArray("auds"));
        QCOMPARE(long(U32(streams[1].first, 32)), samples); // dwLength
        QCOMPARE(streams[1].second.left(16), wav.fmt);
        const QJsonObject mi = MediaInfoTrack(movie, "Audio");
        QCOMPARE(mi["SamplingRate"].toString(), wavSpec[3]);
        QCOMPARE(mi["StreamSize"].toString().toLongLong(), qlonglong(wav.data.size()));
        const GstBuffers g = GstRead(movie, 8, {}, "audio_0");
        QVERIFY(g.ok);
        QCOMPARE(std::accumulate(g.bytes.begin(), g.bytes.end(), QByteArray()), wav.data);
    }

    // Sizes are refused exactly where FFmpeg's readers refuse them.
    void sizeLimit() {
        for (quint32 w : {16255u, 16256u, 16384u})
            for (quint32 h : {16128u, 16129u, 16255u, 16256u}) {
                ProjectSettings s;
                std::tie(s.width, s.height) = std::pair{w, h};
                QCOMPARE(!ConversionInputProblem(s, {}),
                         av_image_check_size(w, h, 0, nullptr) == 0);
            }
    }

    void pipeline_data() {
        QTest::addColumn<int>("threads"); // 0: one per core
        QTest::addColumn<long>("lineCount");
        QTest::addColumn<int>("taken"); // frames asked for before the pipeline goes
        QTest::newRow("one worker") << 1 << 99L << 99;
        QTest::newRow("five workers") << 5 << 99L << 99;
        QTest::newRow("one per core, fewer lines than the file") << 0 << 9L << 99;
        QTest::newRow("dropped with frames in flight") << 5 << 99L << 3;
    }

    // Each frame shows its line's picture in order; a line that repeats the
    // path before reuses its frame; missing and broken files are white.
    void pipeline() {
        QFETCH(int, threads);
        QFETCH(long, lineCount);
        QFETCH(int, taken);
        const std::pair<const char*, QRgb> images[] = {
            {"red.png", 0xffff0000}, {"green.bmp", 0xff00a000}, {"blue,1.png", 0xff0000ff}};
        QHash<QByteArray, QRgb> colour;
        for (auto [name, rgb] : images) {
            QImage picture(6, 4, QImage::Format_RGB32);
            picture.fill(rgb);
            QVERIFY(picture.save(file(name)));
            colour[QFile::encodeName(file(name))] = rgb;
        }
        QVERIFY(Save(file("broken.png"), "\x89PNG\r\n\x1a\nnot really"));
        QList<QByteArray> rows;
        for (const char* row : {"red.png", "", "", "green.bmp", "green.bmp", "missing.png",
                                "broken.png", "", "blue,1.png", "red.png", "", "blue,1.png"})
            rows << (*row ? QFile::encodeName(file(row)) : QByteArray());
        for (int i = 0; i < 6; ++i)
            rows += rows.mid(0, 12);
        IntermediateFrameFile lines;
        QVERIFY(lines.create(QFile::encodeName(dir_.path())));
        const long written = lines.writeLines(rows, false, false);
        QVERIFY(lines.rewindForReading());
        QList<std::pair<long, QByteArray>> meant;
        ForEachFrameLine(rows, false, false, [&](long position, const QByteArray& path) {
            meant << std::pair{position, path};
            return meant.size() < lineCount;
        });
        QVERIFY(written > 60);

        FrameLineReader reader(lines.file());
        FramePipeline frames(reader, lineCount, 10, 8, PixelFormat::Bgr24, DrawMode::Centre, {},
                             threads);
        // Lines whose image cannot be read are told once, in order, as they are handed out.
        QList<std::pair<long, QByteArray>> told, unreadable;
        frames.onUnreadable([&](long position, const QByteArray& path) {
            told << std::pair{position, path};
        });
        for (int i = 0; i < std::min<long>(taken, meant.size()); ++i) {
            const std::optional<MovieFrame> frame = frames.next();
            QVERIFY(frame && frame->pixels);
            QCOMPARE(frame->position, meant[i].first);
            QCOMPARE(frame->sameAsBefore, i > 0 && meant[i].second == meant[i - 1].second);
            const uint8_t* centre = frame->pixels->row(4) + 5 * 3;
            const QRgb shown = qRgb(centre[2], centre[1], centre[0]);
            QCOMPARE(shown, colour.value(meant[i].second, 0xffffffff));
            QCOMPARE(frame->pixels->row(0)[0], uint8_t(255)); // white around the picture
            if (!frame->sameAsBefore && (meant[i].second.endsWith("/missing.png") ||
                                         meant[i].second.endsWith("/broken.png")))
                unreadable << meant[i];
            QCOMPARE(told, unreadable);
        }
        if (taken > meant.size())
            QVERIFY(!frames.next());
    }
};

QTEST_GUILESS_MAIN(TestMovie)
#include "tst_movie.moc"
