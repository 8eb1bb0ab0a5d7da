// The frame renderer: every draw mode into frames of every format, against
// pixels worked out here, and the movie palette it maps 8-bit frames to.

#include "BmpFixtures.h"

#include "imaging/FrameRenderer.h"
#include "imaging/MoviePalette.h"

#include <QSet>
#include <QTest>

#include <cstring>

using namespace fixtures;

namespace {

constexpr uint32_t White = 0xffffffffu;

// The test pattern (or a flat colour) as a picture: Xrgb32 top-down, or Bgr24
// bottom-up as a plug-in leaves it.
PixelBuffer Picture(int width, int height, PixelFormat format, uint32_t flat) {
    const RowOrder order = format == PixelFormat::Xrgb32 ? RowOrder::TopDown : RowOrder::BottomUp;
    PixelBuffer picture = *PixelBuffer::allocate(width, height, format, order);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t c = flat ? flat : 0xff000000u | PatternColour(x, y);
            std::memcpy(picture.row(y) + x * PixelBits(format) / 8, &c, PixelBits(format) / 8);
        }
    return picture;
}

// What frame pixel (x, y) shows: a picture pixel, or white.
uint32_t Meant(QSize picture, QSize frame, DrawMode mode, int x, int y, uint32_t flat) {
    int sx = x, sy = y;
    if (mode == DrawMode::Stretch) {
        sx = (2 * x + 1) * picture.width() / (2 * frame.width());
        sy = (2 * y + 1) * picture.height() / (2 * frame.height());
    } else if (mode == DrawMode::Centre) {
        sx -= frame.width() / 2 - picture.width() / 2;
        sy -= frame.height() / 2 - picture.height() / 2;
    }
    const bool inside = sx >= 0 && sy >= 0 && sx < picture.width() && sy < picture.height();
    return !inside ? White : flat ? flat : 0xff000000u | PatternColour(sx, sy);
}

// A pixel's bytes in a frame format.
QByteArray Stored(uint32_t c, PixelFormat format, int x, int y) {
    const uint32_t r = c >> 16 & 255, g = c >> 8 & 255, b = c & 255;
    switch (format) {
    case PixelFormat::Xrgb32:
        return QByteArray(reinterpret_cast<const char*>(&c), 4);
    case PixelFormat::Bgr24:
        return QByteArray(reinterpret_cast<const char*>(&c), 3);
    case PixelFormat::Rgb555: {
        const uint16_t v = uint16_t((r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
        return QByteArray(reinterpret_cast<const char*>(&v), 2);
    }
    case PixelFormat::Indexed8:
        return QByteArray(1, char(MoviePaletteIndex(c, x, y)));
    }
    return {};
}

} // namespace

class TestRenderer : public QObject {
    Q_OBJECT

private slots:
    void draws_data() {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<uint>("flat");  // a colour; 0: the pattern
        QTest::addColumn<bool>("exact"); // in the movie palette
        const QSize cases[][2] = {{{37, 23}, {61, 47}}, {{131, 97}, {61, 47}}, {{61, 47}, {61, 47}},
                                  {{1, 1}, {20, 21}},   {{300, 5}, {21, 20}},  {{5, 300}, {33, 20}},
                                  {{2, 2}, {4, 4}},     {{4, 4}, {2, 3}},      {{9, 1}, {4, 1}},
                                  {{31, 21}, {20, 10}}, {{3, 1}, {7, 2}}};
        for (const auto& [picture, frame] : cases)
            QTest::addRow("%dx%d on %dx%d", picture.width(), picture.height(), frame.width(),
                          frame.height())
                << picture << frame << 0u << false;
        // Pure colours and the extremes are in the movie palette; a mid colour is
        // dithered between its neighbours and averages out.
        for (uint32_t c : {White, 0xff000000u, 0xff0000ffu, 0xff66cc33u, 0xff808080u, 0xff1e8cdcu})
            QTest::addRow("flat #%06x", c & 0xffffff)
                << QSize(4, 4) << QSize(4, 4) << c << (c != 0xff808080u && c != 0xff1e8cdcu);
    }
    // Every mode, frame format and picture format; a frame that held another
    // picture is painted whole, and its row padding is left as it was. The
    // movie palette that 8-bit frames use has 256 different colours.
    void draws() {
        QFETCH(QSize, picture);
        QFETCH(QSize, frame);
        QFETCH(uint, flat);
        QFETCH(bool, exact);
        const PixelFormat frameFormats[] = {PixelFormat::Xrgb32, PixelFormat::Bgr24,
                                            PixelFormat::Rgb555, PixelFormat::Indexed8};
        for (PixelFormat pictureFormat : {PixelFormat::Xrgb32, PixelFormat::Bgr24}) {
            const PixelBuffer source =
                Picture(picture.width(), picture.height(), pictureFormat, flat);
            for (DrawMode mode : {DrawMode::Stretch, DrawMode::Centre, DrawMode::TopLeft})
                for (PixelFormat format : frameFormats) {
                    PixelBuffer drawn = *PixelBuffer::allocate(frame.width(), frame.height(),
                                                               format, RowOrder::BottomUp);
                    const int used = frame.width() * PixelBits(format) / 8;
                    for (int y = 0; y < frame.height(); ++y)
                        std::memset(drawn.row(y), 0x5a, size_t(used));
                    RenderFrame(&source, mode, drawn);
                    for (int y = 0; y < frame.height(); ++y) {
                        QByteArray meant;
                        for (int x = 0; x < frame.width(); ++x)
                            meant += Stored(Meant(picture, frame, mode, x, y, flat), format, x, y);
                        meant += QByteArray(int(drawn.stride()) - used, 0);
                        const QByteArray got(reinterpret_cast<const char*>(drawn.row(y)),
                                             qsizetype(drawn.stride()));
                        if (got != meant)
                            QFAIL(qPrintable(QString("mode %1, format %2 from %3: row %4")
                                                 .arg(int(mode))
                                                 .arg(int(format))
                                                 .arg(int(pictureFormat))
                                                 .arg(y)));
                    }
                }
        }
        const auto& palette = MoviePalette();
        QCOMPARE(QSet<uint32_t>(palette.begin(), palette.end()).size(), 256);
        double sum[3] = {};
        for (int i = 0; i < 16 && flat; ++i) {
            const uint32_t p = palette[MoviePaletteIndex(flat, i % 4, i / 4)];
            QVERIFY(!exact || p == (flat & 0xffffff));
            for (int k = 0; k < 3; ++k)
                sum[k] += (p >> (8 * k)) & 255;
        }
        for (int k = 0; k < 3 && flat; ++k)
            QVERIFY(qAbs(sum[k] / 16 - double((flat >> (8 * k)) & 255)) < 4);
    }
    // No picture, an empty one, or one of a format no decoder makes: white.
    void noPictureLeavesWhite() {
        const PixelBuffer empty,
            indexed = *PixelBuffer::allocate(3, 3, PixelFormat::Indexed8, RowOrder::TopDown);
        for (const PixelBuffer* picture :
             {static_cast<const PixelBuffer*>(nullptr), &empty, &indexed}) {
            PixelBuffer frame =
                *PixelBuffer::allocate(5, 4, PixelFormat::Xrgb32, RowOrder::TopDown);
            RenderFrame(picture, DrawMode::Stretch, frame);
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 5; ++x)
                    QCOMPARE(frame.xrgbRow(y)[x], White);
        }
    }
};

QTEST_GUILESS_MAIN(TestRenderer)
#include "tst_renderer.moc"
