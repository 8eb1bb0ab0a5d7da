// The AVI writer: headers, positions, pixels and the failure paths, checked
// with readers we did not write (ffprobe/ffmpeg, GStreamer, MediaInfo).

#include "movie/AviMovieWriter.h"
#include "movie/AviWriter.h"
#include "movie/Codecs.h"
#include "movie/PackedDib.h"

#include "movie_writer_tools.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

extern "C" {
#include <libavcodec/avcodec.h>
}

using namespace moviecheck;

namespace {

uint32_t Pattern(int x, int y, long frame) {
    if ((x + y) % 7 == 0) // some exact greys, which the 8-bit mapping treats apart
        return Surface::Rgb((x * 3 + int(frame) * 40) & 255, (x * 3 + int(frame) * 40) & 255,
                            (x * 3 + int(frame) * 40) & 255);
    return Surface::Rgb((x * 7 + int(frame) * 50) & 255, (y * 5 + int(frame) * 30) & 255,
                        (x * y + int(frame) * 90) & 255);
}

void PaintPattern(Surface& s, unsigned w, unsigned h, long frame) {
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
            s.setPixel(int(x), int(y), Pattern(int(x), int(y), frame));
}

struct Outcome {
    int result = -1;
    QStringList messages; // "caption/text"
    long drawn = 0;
};

Outcome Write(const QString& path, unsigned w, unsigned h, int bits, std::vector<long> positions,
              AviWriterHooks hooks = {}, const QString& audio = {}, long lineCount = -1) {
    Outcome o;
    hooks.message = [&o](const char* text, const char* caption) {
        o.messages << QString::fromUtf8(caption) + "/" + QString::fromUtf8(text);
    };
    const long lines = lineCount >= 0 ? lineCount : long(positions.size());
    o.result = WriteAviMovie(
        QFile::encodeName(path).toStdString(), w, h, bits, lines, 8,
        [&o](Surface& s, unsigned ww, unsigned hh, long f) {
            ++o.drawn;
            PaintPattern(s, ww, hh, f);
        },
        [&positions](long i) { return positions.at(size_t(i)); },
        [&positions](long i) { return i < long(positions.size()) ? 1 : 0; },
        QFile::encodeName(audio).toStdString(), hooks);
    return o;
}

QList<long> Pts(const QJsonArray& packets) {
    QList<long> out;
    for (const auto& p : packets)
        out << long(p.toObject()["pts"].toInteger(-1));
    return out;
}

bool AllKey(const QJsonArray& packets) {
    for (const auto& p : packets)
        if (!p.toObject()["flags"].toString().startsWith('K'))
            return false;
    return true;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A small 16-bit stereo WAV of `frames` sample frames.
QByteArray MakeWav(int frames) {
    QByteArray data;
    for (int i = 0; i < frames * 2; ++i) {
        int16_t v = int16_t((i * 37) % 20000 - 10000);
        data.append(char(v & 255)).append(char((v >> 8) & 255));
    }
    auto le32 = [](uint32_t v) {
        const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
        return QByteArray(b, 4);
    };
    auto le16 = [](uint16_t v) {
        const char b[2] = {char(v), char(v >> 8)};
        return QByteArray(b, 2);
    };
    QByteArray wav = "RIFF" + le32(uint32_t(36 + data.size())) + "WAVEfmt " + le32(16) + le16(1) +
                     le16(2) + le32(22050) + le32(22050 * 4) + le16(4) + le16(16) + "data" +
                     le32(uint32_t(data.size())) + data;
    return wav;
}

} // namespace

class TestAviWriter : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void packedDibLayout_data();
    void packedDibLayout();
    void moviePalette();

    void depths_data();
    void depths();
    void firstPositionAboveZero();
    void gapLongerThanMuxerFills();
    void existingFileReplaced();

    void unwritableOutput();
    void cancelledCompression();
    void noFrames_data();
    void noFrames();
    void makeDibError();
    void positionsNotIncreasing();
    void progressStops();
    void framesFromSurfaces();

    void offeredCodecList();
    void offeredCodecs_data();
    void offeredCodecs();
    void qualityShapesSize();

private:
    QTemporaryDir dir_;
    QString file(const QString& name) const { return dir_.filePath(name); }
};

void TestAviWriter::initTestCase() {
    QVERIFY(dir_.isValid());
    if (!HaveTool("ffprobe") || !HaveTool("ffmpeg") || !HaveTool("mediainfo") ||
        !HaveTool("gst-launch-1.0"))
        QFAIL("ffmpeg, ffprobe, mediainfo and gst-launch-1.0 are needed (scripts/install-deps)");
}

void TestAviWriter::packedDibLayout_data() {
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("stride");
    QTest::addColumn<int>("formatSize");
    QTest::newRow("320x240x24") << 24 << 320 << 240 << 960 << 40;
    QTest::newRow("321x240x8") << 8 << 321 << 240 << 324 << 1064;
    QTest::newRow("321x240x16") << 16 << 321 << 240 << 644 << 40;
    QTest::newRow("20x20x16") << 16 << 20 << 20 << 40 << 40;
    QTest::newRow("21x3x24") << 24 << 21 << 3 << 64 << 40;
}

void TestAviWriter::packedDibLayout() {
    QFETCH(int, bits);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, stride);
    QFETCH(int, formatSize);

    Surface s(width, height);
    PaintPattern(s, unsigned(width), unsigned(height), 1);
    s.setPixel(0, 0, Surface::Rgb(255, 0, 0)); // top-left: pure red
    auto dib = BitmapToPackedDib(s, bits);
    QVERIFY(dib);
    QCOMPARE(int(dib->stride()), stride);
    QCOMPARE(int(dib->formatSize()), formatSize);
    QCOMPARE(dib->block.size(), size_t(formatSize) + size_t(stride) * size_t(height));
    QByteArray h(reinterpret_cast<const char*>(dib->header()), 40);
    QCOMPARE(AviHeaders::U32(h, 0), 40u);
    QCOMPARE(int(AviHeaders::U32(h, 4)), width);
    QCOMPARE(int(AviHeaders::U32(h, 8)), height); // positive: bottom-up
    QCOMPARE(AviHeaders::U16(h, 12), uint16_t(1));
    QCOMPARE(int(AviHeaders::U16(h, 14)), bits);
    QCOMPARE(AviHeaders::U32(h, 16), 0u);
    QCOMPARE(int(AviHeaders::U32(h, 20)), stride * height);
    QCOMPARE(AviHeaders::U32(h, 32), bits == 8 ? 256u : 0u);

    // The top-left pixel sits at the start of the last row in the block.
    const uint8_t* last = dib->pixels() + size_t(height - 1) * size_t(stride);
    if (bits == 24) {
        QCOMPARE(int(last[0]), 0);
        QCOMPARE(int(last[1]), 0);
        QCOMPARE(int(last[2]), 255);
    } else if (bits == 16) {
        QCOMPARE(int(last[0] | last[1] << 8), 0x7c00);
    } else {
        QCOMPARE(int(last[0]), int(MoviePaletteIndex(Surface::Rgb(255, 0, 0), 0, 0)));
        QCOMPARE(MoviePalette()[last[0]], 0xff0000u);
    }
    // Row padding stays zero.
    for (int y = 0; y < height; ++y)
        for (int b = (width * bits + 7) / 8; b < stride; ++b)
            QCOMPARE(int(dib->pixels()[size_t(y) * size_t(stride) + size_t(b)]), 0);
}

void TestAviWriter::moviePalette() {
    const auto& pal = MoviePalette();
    // Every entry distinct: no wasted colours.
    QSet<uint32_t> seen(pal.begin(), pal.end());
    QCOMPARE(seen.size(), 256);
    // Pure colours and the extremes map exactly, wherever they are.
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            QCOMPARE(pal[MoviePaletteIndex(Surface::White, x, y)], 0xffffffu);
            QCOMPARE(pal[MoviePaletteIndex(Surface::Rgb(0, 0, 0), x, y)], 0u);
            QCOMPARE(pal[MoviePaletteIndex(Surface::Rgb(0, 0, 255), x, y)], 0x0000ffu);
            QCOMPARE(pal[MoviePaletteIndex(Surface::Rgb(102, 204, 51), x, y)], 0x66cc33u);
        }
    // A flat mid colour is dithered between its neighbours and averages out.
    for (uint32_t c : {Surface::Rgb(128, 128, 128), Surface::Rgb(30, 140, 220)}) {
        double sum[3] = {0, 0, 0};
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                uint32_t p = pal[MoviePaletteIndex(c, x, y)];
                sum[0] += (p >> 16) & 255;
                sum[1] += (p >> 8) & 255;
                sum[2] += p & 255;
            }
        QVERIFY(qAbs(sum[0] / 16 - double((c >> 16) & 255)) < 4);
        QVERIFY(qAbs(sum[1] / 16 - double((c >> 8) & 255)) < 4);
        QVERIFY(qAbs(sum[2] / 16 - double(c & 255)) < 4);
    }
}

void TestAviWriter::depths_data() {
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("pixFmt");
    QTest::newRow("24 bits 321x240") << 24 << 321 << 240 << "bgr24";
    QTest::newRow("16 bits 321x240") << 16 << 321 << 240 << "rgb555le";
    QTest::newRow("8 bits 321x240") << 8 << 321 << 240 << "pal8";
    QTest::newRow("24 bits 20x20") << 24 << 20 << 20 << "bgr24";
    QTest::newRow("16 bits 20x20") << 16 << 20 << 20 << "rgb555le";
    QTest::newRow("8 bits 21x20") << 8 << 21 << 20 << "pal8";
}

void TestAviWriter::depths() {
    QFETCH(int, bits);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, pixFmt);
    const QString out = file(QString("depth%1_%2x%3.avi").arg(bits).arg(width).arg(height));
    const std::vector<long> positions{0, 2, 3}; // position 1 is skipped
    Outcome o = Write(out, unsigned(width), unsigned(height), bits, positions);
    QCOMPARE(o.result, 0);
    QVERIFY2(o.messages.isEmpty(), qPrintable(o.messages.join(", ")));
    QCOMPARE(o.drawn, 3L);

    const int stride = int(DibStride(width, bits));
    const int imageSize = stride * height;

    // Our own reading of the header chunks.
    AviHeaders h = ReadAviHeaders(ReadAll(out));
    QVERIFY(h.ok);
    QCOMPARE(int(h.streams.size()), 1);
    const QByteArray& strh = h.streams[0].strh;
    QCOMPARE(strh.left(4), QByteArray("vids"));
    QCOMPARE(AviHeaders::U32(strh, 4), 0u);              // fccHandler
    QCOMPARE(AviHeaders::U32(strh, 20), 1u);             // dwScale
    QCOMPARE(AviHeaders::U32(strh, 24), 8u);             // dwRate
    QCOMPARE(AviHeaders::U32(strh, 32), 4u);             // dwLength: positions 0..3
    QCOMPARE(int(AviHeaders::U32(strh, 36)), imageSize); // dwSuggestedBufferSize
    const QByteArray& strf = h.streams[0].strf;
    QCOMPARE(int(strf.size()), bits == 8 ? 1064 : 40);
    QCOMPARE(AviHeaders::U32(strf, 0), 40u);
    QCOMPARE(int(AviHeaders::U32(strf, 4)), width);
    QCOMPARE(int(AviHeaders::U32(strf, 8)), height); // positive: bottom-up rows
    QCOMPARE(int(AviHeaders::U16(strf, 14)), bits);
    QCOMPARE(AviHeaders::U32(strf, 16), 0u);             // BI_RGB
    QCOMPARE(int(AviHeaders::U32(strf, 20)), imageSize); // biSizeImage, as in the DIB
    if (bits == 8) {
        for (int i = 0; i < 256; ++i) {
            uint32_t bgrx = AviHeaders::U32(strf, 40 + 4 * i);
            QCOMPARE(bgrx, MoviePalette()[size_t(i)]);
        }
    }

    // ffprobe: stream values, packet positions, key flags, sizes.
    QJsonObject probe = Probe(out);
    QJsonObject v = StreamOf(probe, "video");
    QCOMPARE(v["codec_name"].toString(), QString("rawvideo"));
    QCOMPARE(v["codec_tag"].toString(), QString("0x0000"));
    QCOMPARE(v["pix_fmt"].toString(), pixFmt);
    QCOMPARE(v["width"].toInt(), width);
    QCOMPARE(v["height"].toInt(), height);
    QCOMPARE(v["r_frame_rate"].toString(), QString("8/1"));
    QJsonArray packets = PacketsOf(probe, "video");
    QCOMPARE(Pts(packets), (QList<long>{0, 2, 3}));
    QVERIFY(AllKey(packets));
    for (const auto& p : packets)
        QCOMPARE(p.toObject()["size"].toString().toInt(), imageSize);

    // GStreamer: the same frames at the same positions, size and rate.
    // (Its AVI reader knows uncompressed RGB at 8, 24 and 32 bits only; at 16
    // bits it names the stream "x-avi-unknown" and MediaInfo stands in.)
    GstDemuxed g = GstDemux(out);
    QVERIFY(g.ok);
    if (bits != 16) {
        QCOMPARE(g.nonEmptyBuffers(), 3L);
        QCOMPARE(g.offsets, (std::vector<long>{0, 2, 3}));
        QVERIFY2(g.caps.contains(QString("width=(int)%1").arg(width)), qPrintable(g.caps));
        QVERIFY2(g.caps.contains(QString("height=(int)%1").arg(height)), qPrintable(g.caps));
        QVERIFY2(g.caps.contains("framerate=(fraction)8/1"), qPrintable(g.caps));
    }

    // MediaInfo: four positions at 8 per second, the size.
    QJsonObject mi = MediaInfoTrack(out, "Video");
    QCOMPARE(mi["FrameCount"].toString(), QString("4"));
    QCOMPARE(mi["FrameRate"].toString().toDouble(), 8.0);
    QCOMPARE(mi["Width"].toString().toInt(), width);
    QCOMPARE(mi["Height"].toString().toInt(), height);

    // Pixels decoded back against what was drawn.
    std::vector<QByteArray> frames = DecodeBgr24(out, width, height);
    QCOMPARE(int(frames.size()), 3);
    for (int f = 0; f < 3; ++f) {
        const auto* px = reinterpret_cast<const uint8_t*>(frames[size_t(f)].constData());
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint32_t want = Pattern(x, y, f);
                if (bits == 8)
                    want = MoviePalette()[MoviePaletteIndex(want, x, y)];
                const uint8_t* got = px + (size_t(y) * size_t(width) + size_t(x)) * 3;
                int wb = int(want & 255), wg = int((want >> 8) & 255), wr = int((want >> 16) & 255);
                if (bits == 16) { // the top five bits of each channel survive
                    wb >>= 3, wg >>= 3, wr >>= 3;
                    if (got[0] >> 3 != wb || got[1] >> 3 != wg || got[2] >> 3 != wr)
                        QFAIL(qPrintable(QString("frame %1 pixel %2,%3").arg(f).arg(x).arg(y)));
                } else if (got[0] != wb || got[1] != wg || got[2] != wr) {
                    QFAIL(qPrintable(QString("frame %1 pixel %2,%3: %4 %5 %6 instead of %7 %8 %9")
                                         .arg(f)
                                         .arg(x)
                                         .arg(y)
                                         .arg(got[2])
                                         .arg(got[1])
                                         .arg(got[0])
                                         .arg(wr)
                                         .arg(wg)
                                         .arg(wb)));
                }
            }
    }
}

void TestAviWriter::firstPositionAboveZero() {
    const QString out = file("late.avi");
    Outcome o = Write(out, 20, 20, 24, {3, 5});
    QCOMPARE(o.result, 0);
    QVERIFY(o.messages.isEmpty());
    QJsonArray packets = PacketsOf(Probe(out), "video");
    QCOMPARE(Pts(packets), (QList<long>{3, 5}));
    QVERIFY(AllKey(packets));
    AviHeaders h = ReadAviHeaders(ReadAll(out));
    QCOMPARE(AviHeaders::U32(h.streams.at(0).strh, 32), 6u);
    QCOMPARE(GstDemux(out).offsets, (std::vector<long>{3, 5}));
    QCOMPARE(MediaInfoTrack(out, "Video")["FrameCount"].toString(), QString("6"));
}

void TestAviWriter::gapLongerThanMuxerFills() {
    const QString out = file("gap.avi");
    Outcome o = Write(out, 20, 20, 24, {0, 130005, 130007});
    QCOMPARE(o.result, 0);
    QVERIFY(o.messages.isEmpty());
    QJsonArray packets = PacketsOf(Probe(out), "video");
    QCOMPARE(Pts(packets), (QList<long>{0, 130005, 130007}));
    QVERIFY(AllKey(packets));
    AviHeaders h = ReadAviHeaders(ReadAll(out));
    QCOMPARE(AviHeaders::U32(h.streams.at(0).strh, 32), 130008u);
    // The held frames are empty chunks, not copies.
    QVERIFY(QFileInfo(out).size() < 130008 * 40);
    std::vector<QByteArray> frames = DecodeBgr24(out, 20, 20);
    QCOMPARE(int(frames.size()), 3);
}

void TestAviWriter::existingFileReplaced() {
    const QString out = file("replaced.avi");
    {
        QFile f(out);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(500000, 'x'));
    }
    QCOMPARE(Write(out, 20, 20, 24, {0}).result, 0);
    QVERIFY(QFileInfo(out).size() < 100000);
    QCOMPARE(PacketsOf(Probe(out), "video").size(), 1);
}

void TestAviWriter::unwritableOutput() {
    Outcome o = Write(file("no/such/folder/x.avi"), 20, 20, 24, {0, 1});
    QCOMPARE(o.result, 1);
    QCOMPARE(o.messages, (QStringList{"Error/CannotOpenAviFile", "AVI ERR/WritingERR"}));
    QCOMPARE(o.drawn, 0L);
}

void TestAviWriter::cancelledCompression() {
    const QString wav = file("cancel.wav");
    QByteArray wavBytes = MakeWav(4410);
    {
        QFile f(wav);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(wavBytes);
    }
    const QString out = file("cancelled.avi");
    AviWriterHooks hooks;
    int asked = 0;
    hooks.chooseCompression = [&asked]() -> std::optional<CompressionChoice> {
        ++asked;
        return std::nullopt;
    };
    Outcome o = Write(out, 20, 20, 24, {0, 1, 2}, hooks, wav);
    QCOMPARE(asked, 1);
    QCOMPARE(o.result, 1);
    QVERIFY2(o.messages.isEmpty(), qPrintable(o.messages.join(", ")));
    QCOMPARE(o.drawn, 0L);
    QJsonObject probe = Probe(out);
    QCOMPARE(StreamOf(probe, "video")["width"].toInt(), 20);
    QCOMPARE(PacketsOf(probe, "video").size(), 0);
    QCOMPARE(StreamOf(probe, "audio")["sample_rate"].toString(), QString("22050"));
    QByteArray pcm =
        Run("ffmpeg", {"-v", "error", "-i", out, "-map", "0:a", "-c", "copy", "-f", "s16le", "-"});
    QCOMPARE(pcm, wavBytes.mid(44));
}

void TestAviWriter::noFrames_data() {
    QTest::addColumn<long>("lineCount");
    QTest::newRow("line count 0") << 0L;
    QTest::newRow("no first line") << 5L;
}

void TestAviWriter::noFrames() {
    QFETCH(long, lineCount);
    const QString out = file(QString("empty%1.avi").arg(lineCount));
    Outcome o = Write(out, 21, 20, 8, {}, {}, {}, lineCount);
    QCOMPARE(o.result, 0);
    QVERIFY(o.messages.isEmpty());
    QJsonObject probe = Probe(out);
    QCOMPARE(StreamOf(probe, "video")["pix_fmt"].toString(), QString("pal8"));
    QCOMPARE(PacketsOf(probe, "video").size(), 0);
    AviHeaders h = ReadAviHeaders(ReadAll(out));
    QCOMPARE(h.streams.at(0).strf.size(), 1064);
}

void TestAviWriter::makeDibError() {
    const QString out = file("badbits.avi");
    Outcome o = Write(out, 20, 20, 12, {0});
    QCOMPARE(o.result, 1);
    QCOMPARE(o.messages, QStringList{"AVI ERR/MAKEDIB ERROR!"});
    QVERIFY(!QFile::exists(out)); // the format DIB comes before the file
}

void TestAviWriter::positionsNotIncreasing() {
    const QString out = file("backwards.avi");
    Outcome o = Write(out, 20, 20, 24, {0, 2, 2, 3});
    QCOMPARE(o.result, 1);
    QCOMPARE(o.messages, QStringList{"AVI ERR/WritingERR"});
    // The frames before stay in a properly closed file.
    QCOMPARE(Pts(PacketsOf(Probe(out), "video")), (QList<long>{0, 2}));
}

void TestAviWriter::progressStops() {
    const QString out = file("stopped.avi");
    AviWriterHooks hooks;
    QList<long> seen;
    hooks.progress = [&seen](long written, long total) {
        seen << written << total;
        return written < 2;
    };
    Outcome o = Write(out, 20, 20, 16, {0, 1, 2, 3, 4}, hooks);
    QCOMPARE(o.result, 0);
    QVERIFY(o.messages.isEmpty());
    QCOMPARE(seen, (QList<long>{1, 5, 2, 5}));
    QCOMPARE(o.drawn, 2L);
    QCOMPARE(Pts(PacketsOf(Probe(out), "video")), (QList<long>{0, 1}));
    QCOMPARE(MediaInfoTrack(out, "Video")["FrameCount"].toString(), QString("2"));
}

void TestAviWriter::framesFromSurfaces() {
    // Frames drawn elsewhere (for example by worker threads) go in directly.
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
    Surface wrongSize(32, 17);
    QVERIFY(movie.writeFrame(5, wrongSize) < 0);
    QVERIFY(movie.writeFrame(4, Surface(33, 17)) < 0); // not after the last position
    QCOMPARE(movie.close(), 0);
    QCOMPARE(movie.framesWritten(), 2L);

    QJsonObject probe = Probe(out);
    QCOMPARE(StreamOf(probe, "video")["r_frame_rate"].toString(), QString("10/1"));
    QCOMPARE(Pts(PacketsOf(probe, "video")), (QList<long>{1, 4}));
    std::vector<QByteArray> frames = DecodeBgr24(out, 33, 17);
    QCOMPARE(int(frames.size()), 2);
    const auto* px = reinterpret_cast<const uint8_t*>(frames[1].constData());
    const uint32_t want = Pattern(5, 3, 4);
    QCOMPARE(int(px[(3 * 33 + 5) * 3 + 2]), int((want >> 16) & 255));
}

void TestAviWriter::offeredCodecList() {
    std::vector<CodecInfo> codecs = OfferedCodecs();
    QVERIFY(!codecs.empty());
    QCOMPARE(codecs[0].name, std::string());
    QCOMPARE(codecs[0].description, std::string("Full Frames (Uncompressed)"));
    QVERIFY(!codecs[0].hasQuality);
    QStringList names;
    for (const CodecInfo& c : codecs)
        names << QString::fromStdString(c.name);
    QVERIFY(names.contains("mjpeg"));
    QVERIFY(names.contains("ffv1"));
    QVERIFY(names.contains("mpeg4"));
    QVERIFY(names.contains("huffyuv") || names.contains("utvideo"));
    if (avcodec_find_encoder_by_name("libx264"))
        QVERIFY(names.contains("libx264"));
    QVERIFY(FindOfferedCodec("mjpeg") && FindOfferedCodec("mjpeg")->hasQuality);
    QVERIFY(!FindOfferedCodec("no-such-encoder"));
}

void TestAviWriter::offeredCodecs_data() {
    QTest::addColumn<QString>("encoder");
    QTest::addColumn<int>("sizeMultiple");
    for (const CodecInfo& c : OfferedCodecs())
        if (!c.name.empty())
            QTest::newRow(c.name.c_str()) << QString::fromStdString(c.name) << c.sizeMultiple;
}

void TestAviWriter::offeredCodecs() {
    QFETCH(QString, encoder);
    QFETCH(int, sizeMultiple);
    // An odd size where the codec allows it.
    const int w = sizeMultiple > 1 ? 320 : 321, h = sizeMultiple > 1 ? 240 : 241;
    const QString out = file("codec_" + encoder + ".avi");
    AviWriterHooks hooks;
    hooks.chooseCompression = [&encoder]() -> std::optional<CompressionChoice> {
        return CompressionChoice{encoder.toStdString(), -1};
    };
    Outcome o = Write(out, unsigned(w), unsigned(h), 24, {0, 2, 3}, hooks);
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
    QCOMPARE(GstDemux(out).nonEmptyBuffers(), 3L);

    if (encoder == "libx264") {
        // Every frame carries its own SPS and PPS, which GStreamer's decoders need.
        QByteArray stream = Run(
            "ffmpeg", {"-v", "error", "-i", out, "-map", "0:v", "-c", "copy", "-f", "h264", "-"});
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
        const auto* px = reinterpret_cast<const uint8_t*>(frames[size_t(f)].constData());
        double diff = 0;
        int worst = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint32_t want = Pattern(x, y, f);
                const uint8_t* got = px + (size_t(y) * size_t(w) + size_t(x)) * 3;
                for (int c = 0; c < 3; ++c) {
                    int d = qAbs(int(got[c]) - int((want >> (8 * c)) & 255));
                    diff += d;
                    worst = qMax(worst, d);
                }
            }
        diff /= double(w * h * 3);
        if (lossless)
            QCOMPARE(worst, 0);
        else
            QVERIFY2(diff < 40, qPrintable(QString("mean difference %1").arg(diff)));
    }
}

void TestAviWriter::qualityShapesSize() {
    for (const char* name : {"mjpeg", "mpeg4", "libx264"}) {
        if (!FindOfferedCodec(name))
            continue;
        qint64 size[2] = {0, 0};
        for (int i = 0; i < 2; ++i) {
            const int quality = i == 0 ? 5 : 95;
            const QString out = file(QString("q_%1_%2.avi").arg(name).arg(quality));
            AviWriterHooks hooks;
            hooks.chooseCompression = [name, quality]() -> std::optional<CompressionChoice> {
                return CompressionChoice{name, quality};
            };
            QCOMPARE(Write(out, 160, 120, 24, {0, 1}, hooks).result, 0);
            size[i] = QFileInfo(out).size();
        }
        QVERIFY2(size[0] < size[1], name);
    }
}

QTEST_GUILESS_MAIN(TestAviWriter)
#include "tst_aviwriter.moc"
