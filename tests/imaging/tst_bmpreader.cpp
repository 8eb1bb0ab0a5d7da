// The BMP reader and the three draw modes, on BMP files built here byte by byte.

#include "BmpFixtures.h"

#include "imaging/BmpReader.h"
#include "imaging/ImageDrawing.h"
#include "imaging/PluginLoader.h"

#include <QTemporaryDir>
#include <QTest>

using namespace fixtures;
using Pixels = std::vector<uint32_t>;

Q_DECLARE_METATYPE(Pixels)

namespace {

constexpr uint32_t Sentinel = 0xff123456u;
constexpr uint32_t Opaque = 0xff000000u;

Pixels Opaqued(const Pixels& colours) {
    Pixels out;
    for (uint32_t c : colours)
        out.push_back(Opaque | c);
    return out;
}

std::optional<DecodedImage> Decode(const QByteArray& file) {
    return DecodeBmp(reinterpret_cast<const uint8_t*>(file.constData()), size_t(file.size()));
}

// Palette image: each pixel an index into `palette`, expected colours alongside.
struct Indexed {
    Pixels indices, expected;
};
Indexed IndexedPattern(int width, int height, int entries, const Pixels& palette) {
    Indexed out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t i = uint32_t(x * 3 + y * 5) % uint32_t(entries);
            out.indices.push_back(i);
            out.expected.push_back(Opaque | (i < palette.size() ? palette[i] : 0));
        }
    return out;
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

void AddCase(const char* name, const BmpSpec& spec, const Pixels& expected) {
    QTest::newRow(name) << MakeBmp(spec) << spec.width << std::abs(spec.height) << expected;
}

Surface Filled(int w, int h) {
    return Surface(w, h, Sentinel);
}

// The expected surface after drawing `image` with its top-left corner at (x0, y0).
Pixels Placed(const DecodedImage& image, int sw, int sh, int x0, int y0) {
    Pixels out(size_t(sw) * sh, Sentinel);
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) {
            const int ix = x - x0, iy = y - y0;
            if (ix >= 0 && iy >= 0 && ix < image.width && iy < image.height)
                out[size_t(y) * sw + x] = image.pixel(ix, iy);
        }
    return out;
}

Pixels Contents(const Surface& s) {
    return Pixels(s.bits(), s.bits() + size_t(s.width()) * s.height());
}

DecodedImage PatternImage(int w, int h) {
    auto image = Decode(MakeBmp24(w, h, Pattern(w, h)));
    Q_ASSERT(image);
    return *image;
}

} // namespace

class TestBmpReader : public QObject {
    Q_OBJECT

private slots:
    void decodes_data();
    void decodes();
    void rle_data();
    void rle();
    void refusesHostileFiles_data();
    void refusesHostileFiles();
    void survivesDamagedRle_data();
    void survivesDamagedRle();
    void shortFileReadsZeros();
    void readsFromFiles();
    void naturalSizeAtCorner();
    void centres_data();
    void centres();
    void centringExamples();
    void stretches_data();
    void stretches();
    void dispatchByExtension_data();
    void dispatchByExtension();
};

void TestBmpReader::decodes_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<Pixels>("expected");

    struct Depth {
        int bits, width;
    };
    for (Depth d :
         {Depth{1, 13}, Depth{1, 32}, Depth{4, 7}, Depth{4, 8}, Depth{8, 5}, Depth{8, 1}}) {
        for (bool topDown : {false, true}) {
            const int entries = 1 << d.bits;
            BmpSpec s;
            s.width = d.width;
            s.height = topDown ? -3 : 3;
            s.bitCount = uint16_t(d.bits);
            s.palette = Palette(entries);
            const Indexed img = IndexedPattern(d.width, 3, entries, s.palette);
            s.pixels = PackRows(img.indices, d.width, 3, d.bits, topDown);
            const QByteArray name = QByteArray::number(d.bits) + " bpp, width " +
                                    QByteArray::number(d.width) + (topDown ? ", top-down" : "");
            AddCase(name.constData(), s, img.expected);
        }
    }

    {
        // 16 colours stored: indices 16 and up find zeroed entries (black).
        BmpSpec s;
        s.width = 9;
        s.height = 4;
        s.bitCount = 8;
        s.clrUsed = 16;
        s.palette = Palette(16);
        Pixels indices, expected;
        for (int i = 0; i < 36; ++i) {
            const uint32_t index = uint32_t(i * 7) % 40;
            indices.push_back(index);
        }
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 9; ++x) {
                const uint32_t index = indices[size_t(y) * 9 + x];
                expected.push_back(Opaque | (index < 16 ? s.palette[index] : 0));
            }
        s.pixels = PackRows(indices, 9, 4, 8);
        AddCase("8 bpp, biClrUsed 16", s, expected);
    }
    {
        BmpSpec s;
        s.width = 5;
        s.height = 2;
        s.bitCount = 4;
        s.clrUsed = 3;
        s.palette = Palette(3);
        const Indexed img = IndexedPattern(5, 2, 5, s.palette);
        s.pixels = PackRows(img.indices, 5, 2, 4);
        AddCase("4 bpp, biClrUsed 3", s, img.expected);
    }
    {
        BmpSpec s; // OS/2 core header: 3-byte table entries
        s.headerSize = 12;
        s.width = 6;
        s.height = 2;
        s.bitCount = 8;
        s.palette = Palette(256);
        const Indexed img = IndexedPattern(6, 2, 256, s.palette);
        s.pixels = PackRows(img.indices, 6, 2, 8);
        AddCase("8 bpp, core header", s, img.expected);
    }

    // 16 bits: 5-5-5 by default, any masks with BITFIELDS.
    {
        Pixels words, expected;
        for (int i = 0; i < 14; ++i) {
            const uint32_t r = uint32_t(i * 5) % 32, g = uint32_t(31 - i * 2),
                           b = uint32_t(i * 11) % 32;
            words.push_back(r << 10 | g << 5 | b | (i % 2 ? 0x8000 : 0)); // top bit ignored
            expected.push_back(Opaque | Scale(r, 31) << 16 | Scale(g, 31) << 8 | Scale(b, 31));
        }
        for (bool topDown : {false, true}) {
            BmpSpec s;
            s.width = 7;
            s.height = topDown ? -2 : 2;
            s.bitCount = 16;
            s.pixels = PackRows(words, 7, 2, 16, topDown);
            AddCase(topDown ? "16 bpp 5-5-5, top-down" : "16 bpp 5-5-5", s, expected);
        }
        QCOMPARE(Scale(16, 31), 132u);
        QCOMPARE(Scale(31, 31), 255u);
    }
    {
        Pixels words, expected;
        for (int i = 0; i < 6; ++i) {
            const uint32_t r = uint32_t(i * 6) % 32, g = uint32_t(63 - i * 9),
                           b = uint32_t(i * 13) % 32;
            words.push_back(r << 11 | g << 5 | b);
            expected.push_back(Opaque | Scale(r, 31) << 16 | Scale(g, 63) << 8 | Scale(b, 31));
        }
        BmpSpec s;
        s.width = 3;
        s.height = 2;
        s.bitCount = 16;
        s.compression = 3;
        s.masks = {0xf800, 0x07e0, 0x001f};
        s.pixels = PackRows(words, 3, 2, 16);
        AddCase("16 bpp 5-6-5 BITFIELDS, 40-byte header", s, expected);
        s.headerSize = 124;
        s.gap = 6;
        AddCase("16 bpp 5-6-5 BITFIELDS, V5 header", s, expected);
        s.headerSize = 56;
        s.gap = 0;
        AddCase("16 bpp 5-6-5 BITFIELDS, V3 header", s, expected);
    }

    for (int width : {1, 2, 3, 5, 8}) {
        for (bool topDown : {false, true}) {
            BmpSpec s;
            s.width = width;
            s.height = topDown ? -4 : 4;
            s.bitCount = 24;
            s.pixels = PackRows(Pattern(width, 4), width, 4, 24, topDown);
            const QByteArray name =
                "24 bpp, width " + QByteArray::number(width) + (topDown ? ", top-down" : "");
            AddCase(name.constData(), s, Opaqued(Pattern(width, 4)));
        }
    }
    {
        Pixels withAlpha;
        for (uint32_t c : Pattern(3, 3))
            withAlpha.push_back(c | 0x7f000000u); // the fourth byte is not a colour
        BmpSpec s;
        s.width = 3;
        s.height = 3;
        s.bitCount = 32;
        s.pixels = PackRows(withAlpha, 3, 3, 32);
        AddCase("32 bpp", s, Opaqued(Pattern(3, 3)));

        s.compression = 3;
        s.headerSize = 108;
        s.masks = {0x00ff0000, 0x0000ff00, 0x000000ff, 0xff000000};
        AddCase("32 bpp BITFIELDS, V4 header", s, Opaqued(Pattern(3, 3)));
    }
    {
        // Masks in an unusual order: red in the low byte.
        Pixels words, expected;
        for (uint32_t c : Pattern(4, 2)) {
            const uint32_t r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
            words.push_back(b << 16 | g << 8 | r);
            expected.push_back(Opaque | c);
        }
        BmpSpec s;
        s.width = 4;
        s.height = -2;
        s.bitCount = 32;
        s.compression = 3;
        s.masks = {0x000000ff, 0x0000ff00, 0x00ff0000};
        s.pixels = PackRows(words, 4, 2, 32, true);
        AddCase("32 bpp BITFIELDS swapped, top-down", s, expected);
    }
    {
        // 10 bits a channel.
        Pixels words, expected;
        for (int i = 0; i < 4; ++i) {
            const uint32_t r = uint32_t(i * 300), g = 1023 - uint32_t(i * 100), b = uint32_t(i * 7);
            words.push_back(r << 20 | g << 10 | b);
            expected.push_back(Opaque | Scale(r, 1023) << 16 | Scale(g, 1023) << 8 |
                               Scale(b, 1023));
        }
        BmpSpec s;
        s.width = 2;
        s.height = 2;
        s.bitCount = 32;
        s.compression = 3;
        s.masks = {0x3ff00000, 0x000ffc00, 0x000003ff};
        s.pixels = PackRows(words, 2, 2, 32);
        AddCase("32 bpp BITFIELDS 10-10-10", s, expected);
    }

    // The pixel array is where bfOffBits says, not where the table ends.
    {
        BmpSpec s;
        s.width = 5;
        s.height = 3;
        s.bitCount = 24;
        s.headerSize = 124;
        s.gap = 13;
        s.pixels = PackRows(Pattern(5, 3), 5, 3, 24);
        AddCase("24 bpp, V5 header and a gap", s, Opaqued(Pattern(5, 3)));
        s.headerSize = 40;
        AddCase("24 bpp, 40-byte header and a gap", s, Opaqued(Pattern(5, 3)));
        s.palette = Palette(2);
        s.clrUsed = 2;
        s.gap = 0;
        AddCase("24 bpp with an optional colour table", s, Opaqued(Pattern(5, 3)));
    }
    {
        BmpSpec s;
        s.width = 3;
        s.height = -3;
        s.bitCount = 8;
        s.headerSize = 124;
        s.gap = 4;
        s.clrUsed = 9;
        s.palette = Palette(9);
        const Indexed img = IndexedPattern(3, 3, 9, s.palette);
        s.pixels = PackRows(img.indices, 3, 3, 8, true);
        AddCase("8 bpp, V5 header, top-down", s, img.expected);
    }
}

void TestBmpReader::decodes() {
    QFETCH(QByteArray, file);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(Pixels, expected);

    const auto image = Decode(file);
    QVERIFY(image);
    QCOMPARE(image->width, width);
    QCOMPARE(image->height, height);
    QCOMPARE(image->pixels, expected);
}

void TestBmpReader::rle_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Pixels>("expected");

    const Pixels palette = Palette(16);
    auto colours = [&](std::initializer_list<int> indices) {
        Pixels out;
        for (int i : indices)
            out.push_back(i < 0 ? Opaque : Opaque | palette[size_t(i)]);
        return out;
    };
    const int B = -1; // skipped by a delta or end of line: black

    BmpSpec s;
    s.width = 6;
    s.height = 3;
    s.bitCount = 8;
    s.compression = 1;
    s.palette = palette;
    s.clrUsed = 16;
    s.pixels = QByteArray::fromHex("0301" // bottom row: three of 1
                                   "0003020304"
                                   "00"       // absolute 2, 3, 4, padded
                                   "0000"     // end of line
                                   "0205"     // two of 5
                                   "00020201" // delta: right 2, up 1
                                   "0406"     // four of 6 from x = 4: two are cut off
                                   "0001");   // end of bitmap
    QTest::newRow("RLE8") << MakeBmp(s)
                          << colours({B, B, B, B, 6, 6, 5, 5, B, B, B, B, 1, 1, 1, 2, 3, 4});

    s.height = 2;
    s.bitCount = 4;
    s.compression = 2;
    s.pixels = QByteArray::fromHex("0312"     // 1, 2, 1
                                   "00033450" // absolute 3, 4, 5 (two bytes, no pad)
                                   "0000"     // end of line
                                   "0005671230"
                                   "00"   // absolute 6, 7, 1, 2, 3, padded
                                   "0107" // one of 0
                                   "0001");
    QTest::newRow("RLE4") << MakeBmp(s) << colours({6, 7, 1, 2, 3, 0, 1, 2, 1, 3, 4, 5});

    // A stream that stops early: the rest stays black.
    s.pixels = QByteArray::fromHex("0212");
    QTest::newRow("RLE4 cut short") << MakeBmp(s) << colours({B, B, B, B, B, B, 1, 2, B, B, B, B});
}

void TestBmpReader::rle() {
    QFETCH(QByteArray, file);
    QFETCH(Pixels, expected);
    const auto image = Decode(file);
    QVERIFY(image);
    QCOMPARE(image->pixels, expected);
}

void TestBmpReader::refusesHostileFiles_data() {
    QTest::addColumn<QByteArray>("file");

    auto base = [] {
        BmpSpec s;
        s.width = 4;
        s.height = 4;
        s.bitCount = 24;
        s.pixels = PackRows(Pattern(4, 4), 4, 4, 24);
        return s;
    };
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("only the signature") << QByteArray("BM");
    QTest::newRow("file header only") << MakeBmp(base()).left(14);
    {
        QByteArray f = MakeBmp(base());
        Poke32(f, 18, 16385);
        QTest::newRow("wider than 16384") << f;
        Poke32(f, 18, 0);
        QTest::newRow("width 0") << f;
        Poke32(f, 18, uint32_t(-4));
        QTest::newRow("negative width") << f;
    }
    {
        QByteArray f = MakeBmp(base());
        Poke32(f, 22, 16385);
        QTest::newRow("taller than 16384") << f;
        Poke32(f, 22, uint32_t(-16385));
        QTest::newRow("taller than 16384, top-down") << f;
        Poke32(f, 22, 0x80000000u);
        QTest::newRow("height INT_MIN") << f;
        Poke32(f, 22, 0);
        QTest::newRow("height 0") << f;
    }
    for (int bits : {0, 2, 7, 15, 64}) {
        BmpSpec s = base();
        s.bitCount = uint16_t(bits);
        QTest::newRow(QByteArray("bit count " + QByteArray::number(bits)).constData())
            << MakeBmp(s);
    }
    for (auto [compression, bits, name] :
         {std::tuple{4u, 24, "embedded JPEG"}, std::tuple{5u, 24, "embedded PNG"},
          std::tuple{1u, 24, "RLE8 at 24 bpp"}, std::tuple{2u, 8, "RLE4 at 8 bpp"},
          std::tuple{3u, 24, "BITFIELDS at 24 bpp"}, std::tuple{9u, 24, "unknown compression"}}) {
        BmpSpec s = base();
        s.compression = compression;
        s.bitCount = uint16_t(bits);
        QTest::newRow(name) << MakeBmp(s);
    }
    {
        BmpSpec s = base();
        s.bitCount = 8;
        s.compression = 1;
        s.height = -4;
        s.pixels = QByteArray::fromHex("04010001");
        QTest::newRow("RLE8 top-down") << MakeBmp(s);
    }
    for (auto [bits, used] :
         {std::pair{8, 257u}, std::pair{1, 3u}, std::pair{4, 17u}, std::pair{8, 0xffffffffu}}) {
        BmpSpec s = base();
        s.bitCount = uint16_t(bits);
        s.clrUsed = used;
        s.palette = Palette(4);
        s.pixels = QByteArray(64, 0);
        QTest::newRow(QByteArray("biClrUsed " + QByteArray::number(used) + " at " +
                                 QByteArray::number(bits) + " bpp")
                          .constData())
            << MakeBmp(s);
    }
    {
        BmpSpec s = base();
        s.pixels.chop(1);
        QTest::newRow("pixel data one byte short of the rows") << MakeBmp(s);
        s = base();
        s.bfSize = 14 + 40 + 47;
        QTest::newRow("bfSize one byte short of the rows") << MakeBmp(s);
        s = base();
        s.bfOffBits = 1000;
        QTest::newRow("bfOffBits after bfSize") << MakeBmp(s);
        s = base();
        s.bfSize = 0;
        QTest::newRow("bfSize 0") << MakeBmp(s);
    }
    {
        // The largest allowed size, but the file says it holds nothing.
        BmpSpec s = base();
        s.width = 16384;
        s.height = 16384;
        s.pixels.clear();
        QTest::newRow("16384 x 16384 with no pixel data") << MakeBmp(s);
    }
}

void TestBmpReader::refusesHostileFiles() {
    QFETCH(QByteArray, file);
    QVERIFY(!Decode(file));

    QTemporaryDir dir;
    const QString path = dir.filePath("hostile.bmp");
    QVERIFY(WriteFile(path, file));
    Surface surface = Filled(8, 8);
    QCOMPARE(DrawBmpFile(path.toStdString(), surface, 8, 8, 0), 1);
    QCOMPARE(DrawImageFile(path.toStdString(), surface, 8, 8, 1), 1);
    QCOMPARE(Contents(surface), Pixels(64, Sentinel));
}

void TestBmpReader::survivesDamagedRle_data() {
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

void TestBmpReader::survivesDamagedRle() {
    QFETCH(QByteArray, stream);
    QFETCH(uint, compression);
    BmpSpec s;
    s.width = 5;
    s.height = 3;
    s.bitCount = compression == 1 ? 8 : 4;
    s.compression = compression;
    s.palette = Palette(1 << s.bitCount);
    s.pixels = stream;
    const auto image = Decode(MakeBmp(s));
    QVERIFY(image);
    QCOMPARE(image->pixels.size(), size_t(15));

    // The same stream promised but cut off the file (found by the fuzzer).
    s.bfOffBits = uint32_t(MakeBmp(s).size() + 10);
    s.bfSize = *s.bfOffBits + uint32_t(stream.size());
    const auto cut = Decode(MakeBmp(s));
    QVERIFY(cut);
    QCOMPARE(cut->pixels, Pixels(15, Opaque));
}

void TestBmpReader::shortFileReadsZeros() {
    // bfSize promises all rows; the file ends after the first (bottom) row and a bit.
    BmpSpec s;
    s.width = 2;
    s.height = 3;
    s.bitCount = 24;
    s.pixels = PackRows(Pattern(2, 3), 2, 3, 24);
    QByteArray file = MakeBmp(s);
    file.chop(8 + 5); // the top row, and the middle row's padding and last pixel
    const auto image = Decode(file);
    QVERIFY(image);
    const Pixels expected = {Opaque,
                             Opaque,
                             Opaque | PatternColour(0, 1),
                             Opaque,
                             Opaque | PatternColour(0, 2),
                             Opaque | PatternColour(1, 2)};
    QCOMPARE(image->pixels, expected);

    // Colour table cut short: the missing entries read as black.
    BmpSpec p;
    p.width = 2;
    p.height = 1;
    p.bitCount = 8;
    p.palette = Palette(256);
    p.pixels = QByteArray::fromHex("0001ffff");
    QByteArray truncated = MakeBmp(p).left(14 + 40);
    Poke32(truncated, 2, 14 + 40 + 1024 + 4);
    Poke32(truncated, 10, 14 + 40 + 1024);
    const auto blank = Decode(truncated);
    QVERIFY(blank);
    QCOMPARE(blank->pixels, Pixels(2, Opaque));
}

void TestBmpReader::readsFromFiles() {
    QTemporaryDir dir;
    const QByteArray bmp = MakeBmp24(3, 2, Pattern(3, 2));
    QVERIFY(WriteFile(dir.filePath("a.bmp"), bmp));
    QVERIFY(WriteFile(dir.filePath("noextension"), bmp));
    QVERIFY(WriteFile(dir.filePath("upper.BMP"), bmp));
    for (const char* name : {"a.bmp", "noextension", "upper.BMP"}) {
        const auto image = ReadBmpFile(dir.filePath(name).toStdString());
        QVERIFY(image);
        QCOMPARE(image->pixels, Opaqued(Pattern(3, 2)));
    }
    Surface surface = Filled(4, 4);
    QCOMPARE(DrawImageFile(dir.filePath("missing.bmp").toStdString(), surface, 4, 4, 0), 1);
    QCOMPARE(DrawImageFile(dir.path().toStdString(), surface, 4, 4, 0), 1); // a folder
    QCOMPARE(DrawImageFile("*", surface, 4, 4, 0), 1); // the blank-frame marker
    QCOMPARE(DrawImageFile("", surface, 4, 4, 0), 1);
    QCOMPARE(DrawImageFile("/dev/null", surface, 4, 4, 0), 1);
    QCOMPARE(Contents(surface), Pixels(16, Sentinel));
}

void TestBmpReader::naturalSizeAtCorner() {
    const DecodedImage image = PatternImage(3, 2);
    Surface surface = Filled(5, 4);
    BlitImage(image, surface, 1000, 1000, 2); // the frame size plays no part
    QCOMPARE(Contents(surface), Placed(image, 5, 4, 0, 0));

    const DecodedImage large = PatternImage(6, 5);
    Surface small = Filled(4, 3);
    BlitImage(large, small, 0, 0, 2);
    QCOMPARE(Contents(small), Placed(large, 4, 3, 0, 0));
}

void TestBmpReader::centres_data() {
    QTest::addColumn<int>("imageWidth");
    QTest::addColumn<int>("imageHeight");
    QTest::addColumn<uint>("frameWidth");
    QTest::addColumn<uint>("frameHeight");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("x0");
    QTest::addColumn<int>("y0");
    QTest::newRow("101x75 in 320x240") << 101 << 75 << 320u << 240u << 0 << 110 << 83;
    QTest::newRow("mode 3 centres too") << 101 << 75 << 320u << 240u << 3 << 110 << 83;
    QTest::newRow("mode -1 centres too") << 101 << 75 << 320u << 240u << -1 << 110 << 83;
    QTest::newRow("odd frame") << 3 << 3 << 21u << 11u << 0 << 9 << 4;
    QTest::newRow("larger than the frame") << 30 << 20 << 20u << 10u << 0 << -5 << -5;
    QTest::newRow("odd, larger than the frame") << 31 << 21 << 20u << 10u << 0 << -5 << -5;
    QTest::newRow("frame larger than the surface") << 3 << 3 << 100u << 100u << 0 << 49 << 49;
    QTest::newRow("huge frame") << 3 << 3 << 0xffffffffu << 0xffffffffu << 0 << 0x7ffffffe
                                << 0x7ffffffe;
}

void TestBmpReader::centres() {
    QFETCH(int, imageWidth);
    QFETCH(int, imageHeight);
    QFETCH(uint, frameWidth);
    QFETCH(uint, frameHeight);
    QFETCH(int, mode);
    QFETCH(int, x0);
    QFETCH(int, y0);
    const DecodedImage image = PatternImage(imageWidth, imageHeight);
    const int sw = int(std::min(frameWidth, 320u)), sh = int(std::min(frameHeight, 240u));
    Surface surface = Filled(std::max(sw, 52), std::max(sh, 52));
    BlitImage(image, surface, frameWidth, frameHeight, mode);
    QCOMPARE(Contents(surface), Placed(image, surface.width(), surface.height(), x0, y0));
}

void TestBmpReader::centringExamples() {
    // Through the file entry, as the movie writer calls it.
    QTemporaryDir dir;
    const QString big = dir.filePath("big.bmp"), small = dir.filePath("small.bmp");
    QVERIFY(WriteFile(big, MakeBmp24(640, 480, Pattern(640, 480))));
    QVERIFY(WriteFile(small, MakeBmp24(101, 75, Pattern(101, 75))));

    Surface surface = Filled(320, 240);
    QCOMPARE(DrawImageFile(big.toStdString(), surface, 320, 240, 0), 0);
    QCOMPARE(Contents(surface), Placed(PatternImage(640, 480), 320, 240, -160, -120));
    QCOMPARE(surface.pixel(0, 0), Opaque | PatternColour(160, 120));

    surface.fill(Sentinel);
    QCOMPARE(DrawImageFile(small.toStdString(), surface, 320, 240, 0), 0);
    QCOMPARE(surface.pixel(110, 83), Opaque | PatternColour(0, 0));
    QCOMPARE(surface.pixel(210, 157), Opaque | PatternColour(100, 74));
    QCOMPARE(surface.pixel(109, 83), Sentinel);
    QCOMPARE(surface.pixel(211, 157), Sentinel);
    QCOMPARE(surface.pixel(110, 158), Sentinel);
    QCOMPARE(Contents(surface), Placed(PatternImage(101, 75), 320, 240, 110, 83));
}

void TestBmpReader::stretches_data() {
    QTest::addColumn<int>("imageWidth");
    QTest::addColumn<int>("imageHeight");
    QTest::addColumn<uint>("frameWidth");
    QTest::addColumn<uint>("frameHeight");
    QTest::addColumn<int>("surfaceWidth");
    QTest::addColumn<int>("surfaceHeight");
    QTest::addColumn<Pixels>("sourceX"); // per target column, the source column
    QTest::addColumn<Pixels>("sourceY");

    QTest::newRow("2x2 doubled") << 2 << 2 << 4u << 4u << 4 << 4 << Pixels{0, 0, 1, 1}
                                 << Pixels{0, 0, 1, 1};
    QTest::newRow("4x4 halved: pixel centres")
        << 4 << 4 << 2u << 2u << 3 << 3 << Pixels{1, 3} << Pixels{1, 3};
    QTest::newRow("3x1 to 7x2") << 3 << 1 << 7u << 2u << 7 << 2 << Pixels{0, 0, 1, 1, 1, 2, 2}
                                << Pixels{0, 0};
    QTest::newRow("same size") << 3 << 2 << 3u << 2u << 4 << 3 << Pixels{0, 1, 2} << Pixels{0, 1};
    QTest::newRow("frame larger than the surface")
        << 2 << 2 << 8u << 8u << 3 << 5 << Pixels{0, 0, 0} << Pixels{0, 0, 0, 0, 1};
    QTest::newRow("empty frame") << 2 << 2 << 0u << 5u << 3 << 3 << Pixels{} << Pixels{};
    QTest::newRow("1x1 over everything")
        << 1 << 1 << 3u << 2u << 3 << 2 << Pixels{0, 0, 0} << Pixels{0, 0};
    QTest::newRow("9 to 4 columns")
        << 9 << 1 << 4u << 1u << 4 << 1 << Pixels{1, 3, 5, 7} << Pixels{0};
}

void TestBmpReader::stretches() {
    QFETCH(int, imageWidth);
    QFETCH(int, imageHeight);
    QFETCH(uint, frameWidth);
    QFETCH(uint, frameHeight);
    QFETCH(int, surfaceWidth);
    QFETCH(int, surfaceHeight);
    QFETCH(Pixels, sourceX);
    QFETCH(Pixels, sourceY);

    const DecodedImage image = PatternImage(imageWidth, imageHeight);
    Surface surface = Filled(surfaceWidth, surfaceHeight);
    BlitImage(image, surface, frameWidth, frameHeight, 1);
    Pixels expected(size_t(surfaceWidth) * surfaceHeight, Sentinel);
    for (size_t y = 0; y < sourceY.size() && (sourceX.size() > 0); ++y)
        for (size_t x = 0; x < sourceX.size(); ++x)
            expected[y * surfaceWidth + x] = image.pixel(int(sourceX[x]), int(sourceY[y]));
    QCOMPARE(Contents(surface), expected);
}

void TestBmpReader::dispatchByExtension_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("plugin");
    QTest::newRow(".bmp") << QByteArray("x.bmp") << QByteArray();
    QTest::newRow(".BMP") << QByteArray("x.BMP") << QByteArray();
    QTest::newRow("only .bmp") << QByteArray(".bmp") << QByteArray();
    QTest::newRow(".jpg") << QByteArray("photo.jpg") << QByteArray("ifjpeg.spi");
    QTest::newRow(".JPG") << QByteArray("photo.JPG") << QByteArray("ifjpeg.spi");
    QTest::newRow(".Jpeg") << QByteArray("photo.Jpeg") << QByteArray("ifjpeg.spi");
    QTest::newRow("x.jpeg") << QByteArray("x.jpeg") << QByteArray("ifjpeg.spi");
    QTest::newRow("only .jpeg") << QByteArray(".jpeg") << QByteArray();
    QTest::newRow("only .jpg") << QByteArray(".jpg") << QByteArray();
    QTest::newRow("a.jpg") << QByteArray("a.jpg") << QByteArray("ifjpeg.spi");
    QTest::newRow(".png") << QByteArray("/tmp/a.png") << QByteArray("ifpng.spi");
    QTest::newRow(".PNG") << QByteArray("A.PNG") << QByteArray("ifpng.spi");
    QTest::newRow("only .png") << QByteArray(".png") << QByteArray();
    QTest::newRow(".jpe") << QByteArray("photo.jpe") << QByteArray();
    QTest::newRow(".gif") << QByteArray("anim.gif") << QByteArray();
    QTest::newRow("no dot") << QByteArray("picture") << QByteArray();
    QTest::newRow("jpg without a dot") << QByteArray("photojpg") << QByteArray();
    QTest::newRow("folder named .png") << QByteArray("dir.png/x") << QByteArray();
    QTest::newRow("empty") << QByteArray("") << QByteArray();
    QTest::newRow("UTF-8 name") << QByteArray("写真.jpeg") << QByteArray("ifjpeg.spi");
}

void TestBmpReader::dispatchByExtension() {
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, plugin);
    const char* chosen = PluginForPath(path.toStdString());
    QCOMPARE(QByteArray(chosen ? chosen : ""), plugin);
}

QTEST_GUILESS_MAIN(TestBmpReader)
#include "tst_bmpreader.moc"
