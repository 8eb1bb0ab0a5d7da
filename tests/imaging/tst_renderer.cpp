// The frame renderer: every draw mode into frames of every format, against
// pixels worked out here, and the movie palette it maps 8-bit frames to.

#include "BmpFixtures.h"

#include "imaging/FrameRenderer.h"
#include "imaging/ImageFile.h"
#include "imaging/MoviePalette.h"
#include "movie/FrameDrawing.h"

#include <QtTest>

#include <cstring>

using namespace fixtures;

namespace {

// Row y of a frame drawn from the pattern by mode, as stored in format: what
// each pixel shows is a pixel of the pattern, or white.
QByteArray Meant(QSize picture, QSize frame, DrawMode mode, PixelFormat format, int y) {
    QByteArray row;
    for (int x = 0; x < frame.width(); ++x) {
        int sx = x, sy = y;
        if (mode == DrawMode::Stretch) {
            sx = (2 * x + 1) * picture.width() / (2 * frame.width());
            sy = (2 * y + 1) * picture.height() / (2 * frame.height());
        } else if (mode == DrawMode::Centre) {
            sx -= frame.width() / 2 - picture.width() / 2;
            sy -= frame.height() / 2 - picture.height() / 2;
        }
        const uint32_t c = sx >= 0 && sy >= 0 && sx < picture.width() && sy < picture.height()
                               ? 0xff000000u | PatternColour(sx, sy)
                               : 0xffffffffu;
        const uint32_t v = format == PixelFormat::Rgb555
                               ? (c >> 9 & 0x7c00) | (c >> 6 & 0x3e0) | (c >> 3 & 0x1f)
                           : format == PixelFormat::Indexed8 ? MoviePaletteIndex(c, x, y)
                                                             : c;
        row += QByteArray(reinterpret_cast<const char*>(&v), PixelBits(format) / 8);
    }
    return row;
}

} // namespace

class TestRenderer : public QObject {
    Q_OBJECT

private slots:
    void draws_data() {
        QTest::addColumn<QSize>("picture"); // empty: none
        QTest::addColumn<QSize>("frame");
        const int sizes[] = {37,  23, 61, 47, 131, 97,  61, 47, 61, 47, 61, 47, 1, 1, 20, 21,
                             300, 5,  21, 20, 5,   300, 33, 20, 2,  2,  4,  4,  4, 4, 2,  3,
                             9,   1,  4,  1,  31,  21,  20, 10, 3,  1,  7,  2,  0, 0, 5,  4};
        for (size_t i = 0; i < std::size(sizes); i += 4)
            QTest::addRow("%dx%d on %dx%d", sizes[i], sizes[i + 1], sizes[i + 2], sizes[i + 3])
                << QSize(sizes[i], sizes[i + 1]) << QSize(sizes[i + 2], sizes[i + 3]);
    }
    // Every mode and frame format, from both picture formats the decoders
    // make, top-down and bottom-up; with no picture, an empty one or one of
    // another format the frame is white. A frame that held another picture is
    // painted whole, and its row padding is left as it was.
    void draws() {
        QFETCH(QSize, picture);
        QFETCH(QSize, frame);
        std::vector<std::optional<PixelBuffer>> sources(2);
        if (picture.isEmpty()) {
            sources[1] = PixelBuffer();
            sources.push_back(
                PixelBuffer::allocate(3, 3, PixelFormat::Indexed8, RowOrder::TopDown));
        } else {
            const int w = picture.width(), h = picture.height();
            sources[0] = PixelBuffer::allocate(w, h, PixelFormat::Xrgb32, RowOrder::TopDown);
            sources[1] = PixelBuffer::allocate(w, h, PixelFormat::Bgr24, RowOrder::BottomUp);
        }
        for (int y = 0; y < picture.height(); ++y)
            for (auto& source : sources) {
                const QByteArray row =
                    Meant(picture, picture, DrawMode::TopLeft, source->format(), y);
                std::memcpy(source->row(y), row.constData(), size_t(row.size()));
            }
        for (const auto& source : sources)
            for (DrawMode mode : {DrawMode::Stretch, DrawMode::Centre, DrawMode::TopLeft})
                for (PixelFormat format : {PixelFormat::Xrgb32, PixelFormat::Bgr24,
                                           PixelFormat::Rgb555, PixelFormat::Indexed8}) {
                    PixelBuffer drawn = *PixelBuffer::allocate(frame.width(), frame.height(),
                                                               format, RowOrder::BottomUp);
                    const int used = frame.width() * PixelBits(format) / 8;
                    for (int y = 0; y < frame.height(); ++y)
                        std::memset(drawn.row(y), 0x5a, size_t(used));
                    RenderFrame(source ? &*source : nullptr, mode, drawn);
                    for (int y = 0; y < frame.height(); ++y)
                        if (QByteArray(reinterpret_cast<const char*>(drawn.row(y)),
                                       qsizetype(drawn.stride())) !=
                            Meant(picture, frame, mode, format, y) +
                                QByteArray(int(drawn.stride()) - used, 0))
                            QFAIL(qPrintable(QString::asprintf(
                                "mode %d, format %d from %d: row %d", int(mode), int(format),
                                source ? int(source->format()) : -1, y)));
                }
    }
    // A stretched JPEG for a YUV encoder is scaled from its own planes: in
    // each quarter of a picture that is no whole number of 16 x 16 blocks, the
    // colours of the full decode drawn and converted, within 6 levels.
    void encoderFrameFromPlanes() {
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.filePath("q.jpg"));
        QImage image(40, 40, QImage::Format_RGB32);
        const QRgb colours[] = {0xc81e28, 0x14b43c, 0x1e3cdc, 0xf0dc28};
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                image.setPixel(x, y, colours[(x >= 16) + 2 * (y >= 16)]);
        QVERIFY(image.save(QFile::decodeName(path), "JPEG", 95));
        QVERIFY(std::holds_alternative<YuvPlanes>(*DecodeImagePlanes(path.toStdString(), {})));
        bool readable = false;
        AvFramePtr fast =
            DrawEncoderFrame(path, DrawMode::Stretch, {}, 20, 20, AV_PIX_FMT_YUV420P, readable);
        PixelBuffer drawn = *PixelBuffer::allocate(20, 20, PixelFormat::Bgr24, RowOrder::BottomUp);
        QVERIFY(fast && readable && DrawFrameLine(path, DrawMode::Stretch, {}, drawn));
        AvFramePtr full(av_frame_clone(fast.get()));
        QVERIFY(av_frame_make_writable(full.get()) >= 0 && ConvertMovieFrame(drawn, *full));
        for (int quarter = 0; quarter < 4; ++quarter)
            for (int p = 0; p < 3; ++p) {
                const int x = (quarter % 2 ? 14 : 4) >> (p > 0),
                          y = (quarter / 2 ? 14 : 4) >> (p > 0);
                const int i = y * fast->linesize[p] + x;
                QVERIFY(qAbs(fast->data[p][i] - full->data[p][i]) <= 6);
            }
    }
    // The 8-bit frames' movie palette has 256 different colours, the pure ones
    // and the extremes among them; a mid colour dithers to an even average.
    void moviePalette() {
        const auto& palette = MoviePalette();
        QCOMPARE(QSet<uint32_t>(palette.begin(), palette.end()).size(), 256);
        for (uint32_t c : {0xffffffu, 0u, 0xffu, 0x66cc33u, 0x808080u, 0x1e8cdcu})
            for (int shift : {0, 8, 16}) {
                int sum = 0;
                for (int i = 0; i < 16; ++i) {
                    const uint32_t p = palette[MoviePaletteIndex(0xff000000u | c, i % 4, i / 4)];
                    QVERIFY(c == 0x808080u || c == 0x1e8cdcu || p == c);
                    sum += int(p >> shift & 255);
                }
                QVERIFY(qAbs(sum / 16.0 - double(c >> shift & 255)) < 4);
            }
    }
};

QTEST_GUILESS_MAIN(TestRenderer)
#include "tst_renderer.moc"
