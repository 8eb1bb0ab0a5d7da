// The BMP reader, on BMP files built here byte by byte, and the extension
// dispatch that sends other files to the decoder plug-ins.

#include "BmpFixtures.h"

#include "imaging/BmpReader.h"
#include "imaging/ImageFile.h"
#include "imaging/PluginLoader.h"

#include <QTemporaryDir>
#include <QTest>

using namespace fixtures;
using Pixels = std::vector<uint32_t>;

Q_DECLARE_METATYPE(Pixels)

namespace {

constexpr uint32_t Opaque = 0xff000000u;

std::optional<PixelBuffer> Decode(const QByteArray& file) {
    return DecodeBmp(reinterpret_cast<const uint8_t*>(file.constData()), size_t(file.size()));
}

Pixels Palette(int n) {
    Pixels p;
    for (int i = 0; i < n; ++i)
        p.push_back(PatternColour(i, i * 7 + 1));
    return p;
}

uint32_t Scale(uint32_t v, uint32_t max) {
    return (v * 255 + max / 2) / max;
}

void AddCase(const char* name, const BmpLayout& layout, const Pixels& expected) {
    QTest::newRow(name) << MakeBmp(layout) << layout.width << std::abs(layout.height) << expected;
}

// Masks go after a 40-byte header, or inside a larger one; a palette is the
// colour table, 0x00RRGGBB.
BmpLayout Layout(int width, int height, int bits, const QByteArray& pixels = {},
                 uint32_t compression = 0, const Pixels& masksOrPalette = {}, uint32_t clrUsed = 0,
                 uint32_t headerSize = 40, int gap = 0) {
    BmpLayout s{width, height, uint16_t(bits), compression, clrUsed, headerSize};
    s.pixels = pixels;
    s.gap = gap;
    (bits <= 8 ? s.palette : s.masks) = masksOrPalette;
    return s;
}

// A palette image of indices (3x + 5y) mod `entries`; indices past the stored
// table read as black.
void AddIndexed(BmpLayout s, uint32_t entries, const char* what = "") {
    Pixels indices, expected;
    for (int y = 0; y < std::abs(s.height); ++y)
        for (int x = 0; x < s.width; ++x) {
            const uint32_t i = uint32_t(x * 3 + y * 5) % entries;
            indices.push_back(i);
            expected.push_back(Opaque | (i < s.palette.size() ? s.palette[i] : 0));
        }
    s.pixels = PackRows(indices, s.width, std::abs(s.height), s.bitCount, s.height < 0);
    const QByteArray name = QByteArray::number(s.bitCount) + " bpp, width " +
                            QByteArray::number(s.width) + (s.height < 0 ? ", top-down " : " ") +
                            what;
    AddCase(name.constData(), s, expected);
}

} // namespace

class TestBmpReader : public QObject {
    Q_OBJECT

private slots:
    void decodes_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<Pixels>("expected");
        for (auto [bits, width] : {std::pair{1, 13}, {1, 32}, {4, 7}, {4, 8}, {8, 5}, {8, 1}})
            for (int height : {3, -3})
                AddIndexed(Layout(width, height, bits, {}, 0, Palette(1 << bits)), 1u << bits);
        AddIndexed(Layout(9, 4, 8, {}, 0, Palette(16), 16), 40, "biClrUsed 16");
        AddIndexed(Layout(5, 2, 4, {}, 0, Palette(3), 3), 5, "biClrUsed 3");
        AddIndexed(Layout(6, 2, 8, {}, 0, Palette(256), 0, 12), 256, "core header");
        AddIndexed(Layout(3, -3, 8, {}, 0, Palette(9), 9, 124, 4), 9, "V5 header");
        // 16 bits: 5-5-5 (top bit ignored) unless BITFIELDS gives other masks.
        Pixels w555, e555, w565, e565;
        for (uint32_t i = 0; i < 14; ++i) {
            const uint32_t r = i * 5 % 32, g = 31 - i * 2, g6 = 63 - i * 4, b = i * 11 % 32;
            w555.push_back(r << 10 | g << 5 | b | (i % 2) << 15);
            e555.push_back(Opaque | Scale(r, 31) << 16 | Scale(g, 31) << 8 | Scale(b, 31));
            w565.push_back(r << 11 | g6 << 5 | b);
            e565.push_back(Opaque | Scale(r, 31) << 16 | Scale(g6, 63) << 8 | Scale(b, 31));
        }
        AddCase("16 bpp 5-5-5", Layout(7, 2, 16, PackRows(w555, 7, 2, 16)), e555);
        AddCase("16 bpp 5-5-5, top-down", Layout(7, -2, 16, PackRows(w555, 7, 2, 16, true)), e555);
        for (auto [header, gap] : {std::pair{40u, 0}, {124u, 6}, {56u, 0}})
            AddCase(
                qPrintable(
                    QString("16 bpp 5-6-5 BITFIELDS, %1-byte header, gap %2").arg(header).arg(gap)),
                Layout(7, 2, 16, PackRows(w565, 7, 2, 16), 3, {0xf800, 0x07e0, 0x001f}, 0, header,
                       gap),
                e565);
        for (int width : {1, 2, 3, 5, 8})
            for (bool topDown : {false, true})
                AddCase(QByteArray("24 bpp, width " + QByteArray::number(width) +
                                   (topDown ? ", top-down" : ""))
                            .constData(),
                        Layout(width, topDown ? -4 : 4, 24,
                               PackRows(Pattern(width, 4), width, 4, 24, topDown)),
                        Pattern(width, 4, Opaque));
        // The pixel array is where bfOffBits says, not where the table ends.
        BmpLayout s = Layout(5, 3, 24, PackRows(Pattern(5, 3), 5, 3, 24), 0, {}, 0, 124, 13);
        AddCase("24 bpp, V5 header and a gap", s, Pattern(5, 3, Opaque));
        s.headerSize = 40;
        AddCase("24 bpp, 40-byte header and a gap", s, Pattern(5, 3, Opaque));
        s.palette = Palette(2);
        s.clrUsed = 2;
        s.gap = 0;
        AddCase("24 bpp with an optional colour table", s, Pattern(5, 3, Opaque));
        Pixels withAlpha, swapped, tenBit, tenBitExpected;
        for (uint32_t c : Pattern(3, 3)) {
            withAlpha.push_back(c | 0x7f000000u); // the fourth byte is not a colour
            swapped.push_back((c & 255) << 16 | (c & 0xff00) | (c >> 16 & 255));
        }
        for (uint32_t i = 0; i < 4; ++i) {
            const uint32_t r = i * 300, g = 1023 - i * 100, b = i * 7;
            tenBit.push_back(r << 20 | g << 10 | b);
            tenBitExpected.push_back(Opaque | Scale(r, 1023) << 16 | Scale(g, 1023) << 8 |
                                     Scale(b, 1023));
        }
        s = Layout(3, 3, 32, PackRows(withAlpha, 3, 3, 32));
        AddCase("32 bpp", s, Pattern(3, 3, Opaque));
        s = Layout(3, 3, 32, s.pixels, 3, {0xff0000, 0xff00, 0xff, 0xff000000u}, 0, 108);
        AddCase("32 bpp BITFIELDS, V4 header", s, Pattern(3, 3, Opaque));
        AddCase("32 bpp BITFIELDS swapped, top-down",
                Layout(3, -3, 32, PackRows(swapped, 3, 3, 32, true), 3, {0xff, 0xff00, 0xff0000}),
                Pattern(3, 3, Opaque));
        AddCase(
            "32 bpp BITFIELDS 10-10-10",
            Layout(2, 2, 32, PackRows(tenBit, 2, 2, 32), 3, {0x3ff00000, 0x000ffc00, 0x000003ff}),
            tenBitExpected);
        // RLE, decoded by us; pixels skipped by a delta or end of line stay black.
        const Pixels palette = Palette(16);
        auto colours = [&](std::initializer_list<int> indices) {
            Pixels out;
            for (int i : indices)
                out.push_back(i < 0 ? Opaque : Opaque | palette[size_t(i)]);
            return out;
        };
        const int B = -1;
        s = Layout(6, 3, 8,
                   QByteArray::fromHex("0301"         // bottom row: three of 1
                                       "000302030400" // absolute 2, 3, 4, padded
                                       "0000"         // end of line
                                       "0205"         // two of 5
                                       "00020201"     // delta: right 2, up 1
                                       "0406"         // four of 6 from x = 4: two cut off
                                       "0001"),       // end of bitmap
                   1);
        s.palette = palette;
        s.clrUsed = 16;
        AddCase("RLE8", s, colours({B, B, B, B, 6, 6, 5, 5, B, B, B, B, 1, 1, 1, 2, 3, 4}));
        s.height = 2;
        s.bitCount = 4;
        s.compression = 2;
        s.pixels = QByteArray::fromHex("0312"         // 1, 2, 1
                                       "00033450"     // absolute 3, 4, 5 (two bytes, no pad)
                                       "0000"         // end of line
                                       "000567123000" // absolute 6, 7, 1, 2, 3, padded
                                       "0107"         // one of 0
                                       "0001");
        AddCase("RLE4", s, colours({6, 7, 1, 2, 3, 0, 1, 2, 1, 3, 4, 5}));
        s.pixels = QByteArray::fromHex("0212"); // stops early: the rest stays black
        AddCase("RLE4 cut short", s, colours({B, B, B, B, B, B, 1, 2, B, B, B, B}));
        // bfSize promises all rows; the file ends after the bottom row and a bit:
        // the missing bytes read as zeros.
        QByteArray file = MakeBmp24(2, 3, Pattern(2, 3));
        file.chop(8 + 5); // the top row, and the middle row's padding and last pixel
        Pixels shorter = Pattern(2, 3, Opaque);
        shorter[0] = shorter[1] = shorter[3] = Opaque;
        QTest::newRow("file shorter than its rows") << file << 2 << 3 << shorter;
        // Colour table cut short: the missing entries read as black.
        file = MakeBmp(Layout(2, 1, 8, QByteArray::fromHex("0001ffff"))).left(14 + 40);
        Poke32(file, 2, 14 + 40 + 1024 + 4);
        Poke32(file, 10, 14 + 40 + 1024);
        QTest::newRow("colour table cut short") << file << 2 << 1 << Pixels(2, Opaque);
    }
    void decodes() {
        QFETCH(QByteArray, file);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(Pixels, expected);
        const auto image = Decode(file);
        QVERIFY(image);
        QCOMPARE(image->width(), width);
        QCOMPARE(image->height(), height);
        QCOMPARE(Words(*image), expected);
    }
    void refusesHostileFiles_data() {
        QTest::addColumn<QByteArray>("file");
        const BmpLayout base = Layout(4, 4, 24, PackRows(Pattern(4, 4), 4, 4, 24));
        auto row = [](const QByteArray& name, const QByteArray& file) {
            QTest::newRow(name.constData()) << file;
        };
        auto poked = [&](int at, uint32_t v) {
            QByteArray f = MakeBmp(base);
            Poke32(f, at, v);
            return f;
        };
        row("empty file", {});
        row("only the signature", "BM");
        row("file header only", MakeBmp(base).left(14));
        row("wider than 16384", poked(18, 16385));
        row("width 0", poked(18, 0));
        row("negative width", poked(18, uint32_t(-4)));
        row("taller than 16384", poked(22, 16385));
        row("taller than 16384, top-down", poked(22, uint32_t(-16385)));
        row("height INT_MIN", poked(22, 0x80000000u));
        row("height 0", poked(22, 0));
        for (int bits : {0, 2, 7, 15, 64})
            row("bit count " + QByteArray::number(bits), MakeBmp(Layout(4, 4, bits, base.pixels)));
        for (auto [compression, bits, name] : {std::tuple{4u, 24, "embedded JPEG"},
                                               {5u, 24, "embedded PNG"},
                                               {1u, 24, "RLE8 at 24 bpp"},
                                               {2u, 8, "RLE4 at 8 bpp"},
                                               {3u, 24, "BITFIELDS at 24 bpp"},
                                               {9u, 24, "unknown"}})
            row(name, MakeBmp(Layout(4, 4, bits, base.pixels, compression)));
        row("RLE8 top-down", MakeBmp(Layout(4, -4, 8, QByteArray::fromHex("04010001"), 1)));
        for (auto [bits, used] : {std::pair{8, 257u}, {1, 3u}, {4, 17u}, {8, 0xffffffffu}}) {
            BmpLayout s = Layout(4, 4, bits, QByteArray(64, 0), 0, Palette(4));
            s.clrUsed = used;
            row("biClrUsed " + QByteArray::number(used) + " at " + QByteArray::number(bits) +
                    " bpp",
                MakeBmp(s));
        }
        BmpLayout s = base;
        s.pixels.chop(1);
        row("pixel data one byte short of the rows", MakeBmp(s));
        s = base;
        s.bfSize = 14 + 40 + 47;
        row("bfSize one byte short of the rows", MakeBmp(s));
        s.bfSize = 0;
        row("bfSize 0", MakeBmp(s));
        s = base;
        s.bfOffBits = 1000;
        row("bfOffBits after bfSize", MakeBmp(s));
        // The largest allowed size, but the file says it holds nothing.
        row("16384 x 16384 with no pixel data", MakeBmp(Layout(16384, 16384, 24)));
    }
    void refusesHostileFiles() {
        QFETCH(QByteArray, file);
        QVERIFY(!Decode(file));
        QTemporaryDir dir;
        const QString path = dir.filePath("hostile.bmp");
        QVERIFY(WriteFile(path, file));
        QVERIFY(!DecodeImageFile(path.toStdString(), {}));
    }
    void survivesDamagedRle_data() {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<uint>("compression");
        QTest::newRow("runs past the row end") << QByteArray::fromHex("ff01ff02ff030001") << 1u;
        QTest::newRow("absolute run past the row end")
            << QByteArray::fromHex("00ff") + QByteArray(255, 3) << 1u;
        QTest::newRow("absolute run past the data") << QByteArray::fromHex("00ff0102") << 1u;
        QTest::newRow("delta past the bottom-right") << QByteArray::fromHex("0002ffff0401") << 1u;
        QTest::newRow("delta cut short") << QByteArray::fromHex("000205") << 1u;
        QTest::newRow("endless end-of-line codes") << QByteArray(1000, 0) << 1u;
        QTest::newRow("RLE4 absolute past the data") << QByteArray::fromHex("00fe12") << 2u;
        QTest::newRow("RLE4 single byte") << QByteArray::fromHex("05") << 2u;
    }
    void survivesDamagedRle() {
        QFETCH(QByteArray, stream);
        QFETCH(uint, compression);
        const int bits = compression == 1 ? 8 : 4;
        BmpLayout s = Layout(5, 3, bits, stream, compression, Palette(1 << bits));
        const auto image = Decode(MakeBmp(s));
        QVERIFY(image);
        QCOMPARE(image->width() * image->height(), 15);
        // The same stream promised but cut off the file (found by the fuzzer).
        s.bfOffBits = uint32_t(MakeBmp(s).size() + 10);
        s.bfSize = *s.bfOffBits + uint32_t(stream.size());
        const auto cut = Decode(MakeBmp(s));
        QVERIFY(cut);
        QCOMPARE(Words(*cut), Pixels(15, Opaque));
    }
    void dispatchByExtension_data() {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("plugin");
        // "plug-in: paths"; none is the BMP reader. A bare extension is no name:
        // ".bmp" of 4 bytes or fewer goes to the BMP reader.
        const char* const rows[] = {
            ": x.bmp x.BMP .bmp .jpeg .jpg .png .webp .tif .tiff .gif .heic .avif photo.jpe",
            ": scan.tiff.bmp a.heics picture photojpg photogif dir.png/x",
            "ifjpeg.spi: photo.JPG photo.Jpeg a.jpg 写真.jpeg",
            "ifpng.spi: /tmp/a.png A.PNG",
            "ifwebp.spi: shot.webp SHOT.WebP",
            "iftiff.spi: scan.tif scan.TIFF",
            "ifgif.spi: anim.gif ANIM.GIF",
            "ifheif.spi: phone.heic phone.HEIF phone.Avif"};
        for (const char* row : rows) {
            const QList<QByteArray> parts = QByteArray(row).split(':');
            for (const QByteArray& path : parts[1].split(' '))
                if (!path.isEmpty())
                    QTest::newRow(path.constData()) << path << parts[0];
        }
        QTest::newRow("(empty)") << QByteArray() << QByteArray();
    }
    void dispatchByExtension() {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, plugin);
        const char* chosen = PluginForPath(path.toStdString());
        QCOMPARE(QByteArray(chosen ? chosen : ""), plugin);
    }
};

QTEST_GUILESS_MAIN(TestBmpReader)
#include "tst_bmpreader.moc"
