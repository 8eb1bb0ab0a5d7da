// The AVI writer: headers, positions, pixels and the failure paths, checked
// with readers we did not write (ffprobe/ffmpeg, GStreamer, MediaInfo).

#include "movie/AviMovieWriter.h"
#include "movie/Codecs.h"
#include "movie/PackedDib.h"

#include "movie_writer_tools.h"

#include <QTemporaryDir>
#include <QtTest>

extern "C" {
#include <libavcodec/avcodec.h>
}

using namespace moviecheck;

namespace {

// The mean and the largest channel difference between a decoded BGR24 frame
// and the pattern as written at `bits` (8: through the movie palette; 16: the
// top five bits of each channel).
std::pair<double, int> Difference(const QByteArray& frame, int w, int h, long f, int bits = 24) {
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
    return {sum / (w * h * 3), worst};
}

// GStreamer's BGR rows are padded to four bytes.
QByteArray Unpadded(const QByteArray& bgr, int w, int h) {
    const int stride = (w * 3 + 3) / 4 * 4;
    if (bgr.size() != stride * h)
        return {};
    QByteArray out;
    for (int y = 0; y < h; ++y)
        out += bgr.mid(y * stride, w * 3);
    return out;
}

void Choose(const std::string& name, int quality, AviWriterHooks& hooks) {
    hooks.chooseCompression = [=]() -> std::optional<CompressionChoice> {
        return CompressionChoice{name, quality};
    };
}

} // namespace

class TestAviWriter : public QObject {
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

    void moviePalette() {
        const auto& pal = MoviePalette();
        QCOMPARE(QSet<uint32_t>(pal.begin(), pal.end()).size(), 256); // no wasted colours
        // Pure colours and the extremes map exactly wherever they are; a flat mid
        // colour is dithered between its neighbours and averages out.
        for (uint32_t c : {Surface::White, Surface::Rgb(0, 0, 0), Surface::Rgb(0, 0, 255),
                           Surface::Rgb(102, 204, 51), Surface::Rgb(128, 128, 128),
                           Surface::Rgb(30, 140, 220)}) {
            const bool exact = c != Surface::Rgb(128, 128, 128) && c != Surface::Rgb(30, 140, 220);
            double sum[3] = {0, 0, 0};
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x) {
                    const uint32_t p = pal[MoviePaletteIndex(c, x, y)];
                    if (exact)
                        QCOMPARE(p, c & 0xffffffu);
                    for (int k = 0; k < 3; ++k)
                        sum[k] += (p >> (8 * k)) & 255;
                }
            for (int k = 0; k < 3; ++k)
                QVERIFY(qAbs(sum[k] / 16 - double((c >> (8 * k)) & 255)) < 4);
        }
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
        Outcome o = WriteMovie(out, width, height, bits, {want.begin(), want.end()});
        QCOMPARE(o.result, 0);
        QVERIFY2(o.messages.isEmpty(), qPrintable(o.messages.join(", ")));
        QCOMPARE(o.drawn, long(n));
        // Held positions are empty chunks (an index entry each), not copies.
        QVERIFY(QFileInfo(out).size() < n * imageSize + length * 40 + 65536);

        // Our own reading of the header chunks.
        const auto streams = AviStreams(out);
        QCOMPARE(int(streams.size()), 1);
        const auto& [strh, strf] = streams[0];
        QCOMPARE(strh.left(4), QByteArray("vids"));
        QCOMPARE(U32(strh, 20), 1u);             // dwScale
        QCOMPARE(U32(strh, 24), 8u);             // dwRate
        QCOMPARE(U32(strh, 32), length);         // dwLength
        QCOMPARE(int(U32(strh, 36)), imageSize); // dwSuggestedBufferSize
        QCOMPARE(int(strf.size()), bits == 8 ? 1064 : 40);
        QCOMPARE(U32(strf, 0), 40u);
        QCOMPARE(int(U32(strf, 4)), width);
        QCOMPARE(int(U32(strf, 8)), height); // positive: bottom-up rows
        QCOMPARE(U16(strf, 12), uint16_t(1));
        QCOMPARE(int(U16(strf, 14)), bits);
        QCOMPARE(U32(strf, 16), 0u); // BI_RGB
        QCOMPARE(int(U32(strf, 20)), imageSize);
        QCOMPARE(U32(strf, 32), bits == 8 ? 256u : 0u);
        for (int i = 0; bits == 8 && i < 256; ++i)
            QCOMPARE(U32(strf, 40 + 4 * i), MoviePalette()[size_t(i)]);

        // ffprobe: stream values, packet positions, key flags.
        QJsonObject probe = Probe(out);
        QJsonObject v = StreamOf(probe, "video");
        QCOMPARE(v["codec_name"].toString(), QString("rawvideo"));
        QCOMPARE(v["codec_tag"].toString(), QString("0x0000"));
        QCOMPARE(v["pix_fmt"].toString(), pixFmt);
        QCOMPARE(v["width"].toInt(), width);
        QCOMPARE(v["height"].toInt(), height);
        QCOMPARE(v["r_frame_rate"].toString(), QString("8/1"));
        QJsonArray packets = PacketsOf(probe, "video");
        QCOMPARE(Pts(packets), want);
        QVERIFY(AllKey(packets));
        // The stored rows: padding zero, so the same frames always give the same file.
        const QByteArray raw = Run("ffmpeg", {"-v", "error", "-i", out, "-map", "0:v", "-c", "copy",
                                              "-f", "rawvideo", "-"});
        QCOMPARE(raw.size(), n * imageSize);
        const int used = (width * bits + 7) / 8;
        for (int row = 0; row < n * height; ++row)
            QCOMPARE(raw.mid(row * stride + used, stride - used), QByteArray(stride - used, 0));

        QJsonObject mi = MediaInfoTrack(out, "Video");
        QCOMPARE(mi["FrameCount"].toString(), QString::number(length));
        QCOMPARE(mi["FrameRate"].toString().toDouble(), 8.0);
        QCOMPARE(mi["Width"].toString().toInt(), width);
        QCOMPARE(mi["Height"].toString().toInt(), height);

        // ffmpeg's decoded pixels against what was drawn.
        std::vector<QByteArray> frames = DecodeBgr24(out, width, height);
        QCOMPARE(int(frames.size()), n);
        for (int f = 0; f < n; ++f)
            QCOMPARE(Difference(frames[size_t(f)], width, height, f, bits).second, 0);

        // GStreamer decodes the same pictures at the same positions and rate.
        // (Its AVI reader knows uncompressed RGB at 8, 24 and 32 bits only; at 16
        // bits it names the stream "x-avi-unknown" and MediaInfo stands in.)
        if (bits == 16)
            return;
        GstBuffers g = GstRead(out, 8, "videoconvert ! video/x-raw,format=BGR");
        QVERIFY(g.ok);
        QCOMPARE(QList<long>(g.positions.begin(), g.positions.end()), want);
        QCOMPARE(g.durations.at(0), 125000000L);
        for (int f = 0; f < n; ++f)
            QVERIFY2(Unpadded(g.bytes[size_t(f)], width, height) == frames[size_t(f)],
                     qPrintable(QString("GStreamer's frame %1 differs").arg(f)));
    }

    void outcomes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("bits");
        QTest::addColumn<QList<int>>("positions");
        QTest::addColumn<long>("lineCount");
        QTest::addColumn<long>("stopAfter"); // the progress hook answers false after this many
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QList<long>>("written"); // packets in the file
        QTest::addColumn<long>("drawn");
        QTest::addColumn<QList<long>>("progress"); // (written, total) pairs seen
        const QList<long> none;
        QTest::newRow("unwritable path")
            << "no/such/folder/x.avi" << 24 << QList<int>{0, 1} << -1L << -1L << 1
            << QStringList{"Error/CannotOpenAviFile", "AVI ERR/WritingERR"} << none << 0L << none;
        // The format DIB comes before the file: nothing is created.
        QTest::newRow("depth without a DIB")
            << "badbits.avi" << 12 << QList<int>{0} << -1L << -1L << 1
            << QStringList{"AVI ERR/MAKEDIB ERROR!"} << none << 0L << none;
        // The frames before stay in a properly closed file.
        QTest::newRow("position not increasing")
            << "backwards.avi" << 24 << QList<int>{0, 2, 2, 3} << -1L << -1L << 1
            << QStringList{"AVI ERR/WritingERR"} << QList<long>{0, 2} << 3L
            << QList<long>{1, 4, 2, 4};
        QTest::newRow("line count 0") << "empty0.avi" << 8 << QList<int>{} << 0L << -1L << 0
                                      << QStringList{} << none << 0L << none;
        QTest::newRow("no first line") << "empty5.avi" << 8 << QList<int>{} << 5L << -1L << 0
                                       << QStringList{} << none << 0L << none;
        QTest::newRow("progress stops")
            << "stopped.avi" << 16 << QList<int>{0, 1, 2, 3, 4} << -1L << 2L << 0 << QStringList{}
            << QList<long>{0, 1} << 2L << QList<long>{1, 5, 2, 5};
    }

    void outcomes() {
        QFETCH(QString, name);
        QFETCH(int, bits);
        QFETCH(QList<int>, positions);
        QFETCH(long, lineCount);
        QFETCH(long, stopAfter);
        QFETCH(int, result);
        QFETCH(QStringList, messages);
        QFETCH(QList<long>, written);
        QFETCH(long, drawn);
        QFETCH(QList<long>, progress);
        const QString out = file(name);
        AviWriterHooks hooks;
        QList<long> seen;
        hooks.progress = [&seen, stopAfter](long n, long total) {
            seen << n << total;
            return stopAfter < 0 || n < stopAfter;
        };
        Outcome o = WriteMovie(out, 21, 20, bits, {positions.begin(), positions.end()}, hooks, {},
                               lineCount);
        QCOMPARE(o.result, result);
        QCOMPARE(o.messages, messages);
        QCOMPARE(o.drawn, drawn);
        QCOMPARE(seen, progress);
        QCOMPARE(QFile::exists(out), !name.contains('/') && bits != 12);
        if (!QFile::exists(out))
            return;
        QJsonObject probe = Probe(out);
        QCOMPARE(Pts(PacketsOf(probe, "video")), written);
        QCOMPARE(StreamOf(probe, "video")["width"].toInt(), 21);
        QCOMPARE(int(AviStreams(out).at(0).second.size()), bits == 8 ? 1064 : 40);
        QCOMPARE(MediaInfoTrack(out, "Video")["FrameCount"].toString().toLong(),
                 written.isEmpty() ? 0 : written.last() + 1);
    }

    // Frames drawn elsewhere (the frame pipeline's workers) go in directly.
    void framesFromSurfaces() {
        const QString out = file("surfaces.avi");
        auto format = BitmapToPackedDib(Surface(33, 17), 24);
        QVERIFY(format);
        AviMovieWriter movie(33, 17, 24, 10);
        QCOMPARE(movie.openFile(QFile::encodeName(out).toStdString()), 0);
        QCOMPARE(movie.createVideoStream(*format), 0);
        QCOMPARE(movie.openCompressor({"ffv1", -1}), 0);
        QCOMPARE(movie.writeHeader(), 0);
        for (long position : {1L, 4L}) {
            Surface s(33, 17);
            PaintPattern(s, 33, 17, position);
            QCOMPARE(movie.writeFrame(position, s), 0);
        }
        QVERIFY(movie.writeFrame(5, Surface(32, 17)) < 0); // wrong size
        QVERIFY(movie.writeFrame(4, Surface(33, 17)) < 0); // not after the last position
        QCOMPARE(movie.close(), 0);
        QCOMPARE(movie.framesWritten(), 2L);
        QJsonObject probe = Probe(out);
        QCOMPARE(StreamOf(probe, "video")["r_frame_rate"].toString(), QString("10/1"));
        QCOMPARE(Pts(PacketsOf(probe, "video")), (QList<long>{1, 4}));
        std::vector<QByteArray> frames = DecodeBgr24(out, 33, 17);
        QCOMPARE(int(frames.size()), 2);
        QCOMPARE(Difference(frames[1], 33, 17, 4).second, 0);
    }

    void offeredCodecs_data() {
        // The list: full frames first, then the encoders the AVI muxer takes.
        std::vector<CodecInfo> codecs = OfferedCodecs();
        QVERIFY(!codecs.empty());
        QCOMPARE(codecs[0].name, std::string());
        QCOMPARE(codecs[0].description, std::string("Full Frames (Uncompressed)"));
        QVERIFY(!codecs[0].hasQuality);
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

    void offeredCodecs() {
        QFETCH(QString, encoder);
        QFETCH(int, sizeMultiple);
        // An odd size where the codec allows it.
        const int w = sizeMultiple > 1 ? 320 : 321, h = sizeMultiple > 1 ? 240 : 241;
        const QString out = file("codec_" + encoder + ".avi");
        AviWriterHooks hooks;
        Choose(encoder.toStdString(), -1, hooks);
        Outcome o = WriteMovie(out, unsigned(w), unsigned(h), 24, {0, 2, 3}, hooks);
        QCOMPARE(o.result, 0);
        QVERIFY2(o.messages.isEmpty(), qPrintable(o.messages.join(", ")));

        const AVCodec* codec = avcodec_find_encoder_by_name(encoder.toUtf8().constData());
        QVERIFY(codec);
        QJsonObject probe = Probe(out, {"-count_frames"});
        QJsonObject v = StreamOf(probe, "video");
        QCOMPARE(v["codec_name"].toString(), QString(avcodec_get_name(codec->id)));
        QCOMPARE(v["width"].toInt(), w);
        QCOMPARE(v["height"].toInt(), h);
        QCOMPARE(v["r_frame_rate"].toString(), QString("8/1"));
        QCOMPARE(v["nb_read_frames"].toString(), QString("3"));
        QJsonArray packets = PacketsOf(probe, "video");
        QCOMPARE(packets.size(), 3);
        QVERIFY(AllKey(packets));
        QCOMPARE(MediaInfoTrack(out, "Video")["FrameCount"].toString(), QString("4"));
        QCOMPARE(GstRead(out).nonEmptyBuffers(), 3L);

        if (encoder == "libx264") {
            // Every frame carries its own SPS and PPS, which GStreamer's decoders need.
            QByteArray stream = Run("ffmpeg", {"-v", "error", "-i", out, "-map", "0:v", "-c",
                                               "copy", "-f", "h264", "-"});
            QCOMPARE(stream.count(QByteArray("\x00\x00\x00\x01\x67", 5)), 3);
            QCOMPARE(stream.count(QByteArray("\x00\x00\x00\x01\x68", 5)), 3);
        }

        // The pictures come back: exactly for the lossless codecs, closely else.
        const bool lossless =
            QString::fromStdString(FindOfferedCodec(encoder.toStdString())->description)
                .contains("lossless");
        std::vector<QByteArray> frames = DecodeBgr24(out, w, h);
        QCOMPARE(int(frames.size()), 3);
        for (int f = 0; f < 3; ++f) {
            const auto [mean, worst] = Difference(frames[size_t(f)], w, h, f);
            if (lossless)
                QCOMPARE(worst, 0);
            else
                QVERIFY2(mean < 40, qPrintable(QString("mean difference %1").arg(mean)));
        }
        // At 8 and 16 bits a lossless codec keeps the frames exactly as the
        // uncompressed ones show (16-bit white stays 255, not 248).
        for (int bits : {8, 16}) {
            const QString raw = file(QString("codec%1_raw.avi").arg(bits));
            const QString coded = file(QString("codec%1_%2.avi").arg(bits).arg(encoder));
            QCOMPARE(WriteMovie(raw, unsigned(w), unsigned(h), bits, {0, 1}).result, 0);
            QCOMPARE(WriteMovie(coded, unsigned(w), unsigned(h), bits, {0, 1}, hooks).result, 0);
            const std::vector<QByteArray> want = DecodeBgr24(raw, w, h);
            const std::vector<QByteArray> got = DecodeBgr24(coded, w, h);
            QCOMPARE(got.size(), want.size());
            if (lossless)
                QVERIFY2(got == want, qPrintable(QString("%1 bits").arg(bits)));
        }
    }

    void qualityShapesSize() {
        for (const char* name : {"mjpeg", "mpeg4", "libx264"}) {
            if (!FindOfferedCodec(name))
                continue;
            qint64 size[2] = {0, 0};
            for (int i = 0; i < 2; ++i) {
                const QString out = file(QString("q_%1_%2.avi").arg(name).arg(i));
                AviWriterHooks hooks;
                Choose(name, i == 0 ? 5 : 95, hooks);
                QCOMPARE(WriteMovie(out, 160, 120, 24, {0, 1}, hooks).result, 0);
                size[i] = QFileInfo(out).size();
            }
            QVERIFY2(size[0] < size[1], name);
        }
    }
};

QTEST_GUILESS_MAIN(TestAviWriter)
#include "tst_aviwriter.moc"
