// The BMP reader, on BMP files built here byte by byte, and the extension
// dispatch that sends other files to the decoder plug-ins.

#include "BmpFixtures.h"

#include "imaging/BmpReader.h"
#include "imaging/ImageFile.h"
#include "imaging/PluginLoader.h"

#include <QTemporaryDir>
#include <QTest>

#include <bit>
#include <optional>

// Files name only the fields they need.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace fixtures;
using Pixels = std::vector<uint32_t>;

Q_DECLARE_METATYPE(Pixels)

namespace {

constexpr uint32_t Opaque = 0xff000000u;

// Appends each value as little-endian bytes, as many as its digit in sizes.
void Put(QByteArray& b, const char* sizes, std::initializer_list<uint32_t> values) {
    for (uint32_t v : values)
        for (int i = 0, n = *sizes++ - '0'; i < n; ++i)
            b.append(char(v >> (8 * i)));
}
void Poke32(QByteArray& b, int at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 255);
}

// A BMP file's fields. With BITFIELDS `table` holds the masks R, G, B[, A]
// (after a 40-byte header, or inside a larger one), else the colour table,
// 0x00RRGGBB.
struct Bmp {
    int width = 1, height = 1, bitCount = 24; // negative height: top-down rows
    QByteArray pixels;                        // the pixel array exactly as stored
    uint32_t compression = 0;
    std::vector<uint32_t> table;
    uint32_t clrUsed = 0, headerSize = 40;     // 12, 40, 52, 56, 108 or 124 bytes
    int gap = 0;                               // bytes of junk between the table and the pixels
    std::optional<uint32_t> bfSize, bfOffBits; // overrides
};

QByteArray MakeBmp(const Bmp& s) {
    QByteArray info;
    const uint32_t w = uint32_t(s.width), h = uint32_t(s.height), bits = uint32_t(s.bitCount);
    const bool core = s.headerSize == 12, masks = s.compression == 3;
    if (core)
        Put(info, "42222", {12, w, h, 1, bits});
    else
        Put(info, "44422444444",
            {s.headerSize, w, h, 1, bits, s.compression, uint32_t(s.pixels.size()), 2835, 2835,
             s.clrUsed, 0});
    for (size_t i = 0; !core && i < (s.headerSize > 40 ? 4 : masks ? s.table.size() : 0); ++i)
        Put(info, "4", {masks && i < s.table.size() ? s.table[i] : 0});
    if (s.headerSize > 40) // colour space fields: junk the reader must skip
        info.append(QByteArray(s.headerSize - info.size(), char(0x5a)));
    for (size_t i = 0; !masks && i < s.table.size(); ++i) // B, G, R[, 0]
        Put(info, core ? "3" : "4", {s.table[i]});
    info.append(QByteArray(s.gap, char(0xa5)));
    QByteArray file("BM");
    Put(file, "444",
        {s.bfSize.value_or(uint32_t(14 + info.size() + s.pixels.size())), 0,
         s.bfOffBits.value_or(uint32_t(14 + info.size()))});
    return file + info + s.pixels;
}

// Packs rows of palette indices (or 0x00RRGGBB colours at 24 and 32 bits, raw
// 16-bit words at 16) into padded rows, bottom-up unless topDown.
QByteArray PackRows(const std::vector<uint32_t>& values, int width, int height, int bitCount,
                    bool topDown = false) {
    const int stride = ((width * bitCount + 31) / 32) * 4;
    QByteArray out(stride * height, char(0));
    for (int r = 0; r < height; ++r) {
        const int y = topDown ? r : height - 1 - r;
        char* row = out.data() + r * stride;
        for (int x = 0; x < width; ++x) {
            const uint32_t v = values[size_t(y) * width + x];
            if (bitCount <= 8) // most significant bits first
                row[x * bitCount / 8] |=
                    char((v & ((1u << bitCount) - 1)) << (8 - bitCount - x * bitCount % 8));
            else // little-endian words, R G B as B G R bytes
                for (int i = 0; i < bitCount / 8; ++i)
                    row[x * bitCount / 8 + i] = char(v >> (8 * i));
        }
        // Padding bytes carry junk: the reader must not show them.
        for (int i = (width * bitCount + 7) / 8; i < stride; ++i)
            row[i] = char(0xee);
    }
    return out;
}

std::optional<PixelBuffer> Decode(const QByteArray& file) {
    return DecodeBmp(reinterpret_cast<const uint8_t*>(file.constData()), size_t(file.size()));
}

Pixels Palette(int n) {
    Pixels p;
    for (int i = 0; i < n; ++i)
        p.push_back(PatternColour(i, i * 7 + 1));
    return p;
}

void AddCase(const QString& name, const Bmp& layout, const Pixels& expected) {
    QTest::newRow(qPrintable(name))
        << MakeBmp(layout) << layout.width << std::abs(layout.height) << expected;
}

// A picture in the file's pixel format: palette indices (3x + 5y) mod
// `entries` (past the stored table they read black), or words of varied
// values under the R, G, B masks (5-5-5 or 8-8-8 without BITFIELDS), every
// other one with junk in its other bits; channels read scaled to 0..255.
void AddRow(Bmp s, uint32_t entries = 0) {
    const bool indexed = s.bitCount <= 8, masks = s.compression == 3;
    const Pixels palette = masks ? Pixels() : s.table;
    entries = entries ? entries : uint32_t(palette.size());
    Pixels words, expected,
        m = masks              ? s.table
            : s.bitCount == 16 ? Pixels{0x7c00, 0x3e0, 0x1f}
                               : Pixels{0xff0000, 0xff00, 0xff};
    const uint32_t junk = ~(m[0] | m[1] | m[2]) & (s.bitCount == 32 ? ~0u : 0xffffu);
    for (uint32_t i = 0; i < uint32_t(s.width * std::abs(s.height)); ++i) {
        const uint32_t index =
            (i % uint32_t(s.width) * 3 + i / uint32_t(s.width) * 5) % std::max(entries, 1u);
        uint32_t word = indexed ? index : i % 2 ? junk : 0;
        uint32_t colour = Opaque | (index < palette.size() ? palette[index] : 0);
        for (int c = 0; c < 3 && !indexed; ++c) {
            const int shift = std::countr_zero(m[c]);
            const uint32_t max = m[c] >> shift, v = (max + i * (5 + 6 * c)) % (max + 1);
            word |= v << shift;
            colour = (c ? colour : Opaque) | (v * 255 + max / 2) / max << (16 - 8 * c);
        }
        words.push_back(word);
        expected.push_back(colour);
    }
    s.pixels = PackRows(words, s.width, std::abs(s.height), s.bitCount, s.height < 0);
    QTest::addRow("%d bpp %dx%d, compression %u, %u-byte header, gap %d, %d of %u colours",
                  s.bitCount, s.width, s.height, s.compression, s.headerSize, s.gap,
                  int(palette.size()), entries)
        << MakeBmp(s) << s.width << std::abs(s.height) << expected;
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
        const int sizes[] = {1, 13, 1, 32, 4, 7,  4, 8,  8, 5,  8, 1,  16,
                             7, 24, 1, 24, 2, 24, 3, 24, 5, 24, 8, 32, 3};
        for (size_t i = 0; i < std::size(sizes); i += 2)
            for (int height : {3, -3})
                AddRow(Bmp(sizes[i + 1], height, sizes[i], {}, 0,
                           Palette(sizes[i] <= 8 ? 1 << sizes[i] : 0)));
        AddRow(Bmp(9, 4, 8, {}, 0, Palette(16), 16), 40);
        AddRow(Bmp(5, 2, 4, {}, 0, Palette(3), 3), 5);
        AddRow(Bmp(6, 2, 8, {}, 0, Palette(256), 0, 12)); // the OS/2 core header
        AddRow(Bmp(3, -3, 8, {}, 0, Palette(9), 9, 124, 4));
        for (auto [header, gap] : {std::pair{40u, 0}, {124u, 6}, {56u, 0}})
            AddRow(Bmp(7, 2, 16, {}, 3, {0xf800, 0x07e0, 0x001f}, 0, header, gap));
        AddRow(Bmp(3, 3, 32, {}, 3, {0xff0000, 0xff00, 0xff, Opaque}, 0, 108)); // alpha mask
        AddRow(Bmp(3, -3, 32, {}, 3, {0xff, 0xff00, 0xff0000}));
        AddRow(Bmp(2, 2, 32, {}, 3, {0x3ff00000, 0x000ffc00, 0x000003ff}));
        // The pixel array is where bfOffBits says, not where the table ends; a
        // 24-bit file may carry a colour table.
        AddRow(Bmp(5, 3, 24, {}, 0, {}, 0, 124, 13));
        AddRow(Bmp(5, 3, 24, {}, 0, {}, 0, 40, 13));
        AddRow(Bmp(5, 3, 24, {}, 0, Palette(2), 2));
        // RLE8 and RLE4 in 6-pixel rows, decoded by us: pixels skipped by a delta
        // or an end of line stay black ('.'); runs past the row end are cut.
        // RLE8: three of 1; absolute 2 3 4, padded; end of line; two of 5;
        // delta right 2, up 1; four of 6 from x = 4; end of bitmap. RLE4: 1 2 1;
        // absolute 3 4 5 (two bytes, no pad); end of line; absolute 6 7 1 2 3,
        // padded; one of 0; end of bitmap. The last one stops early.
        const Pixels palette = Palette(16);
        for (auto [bits, stream, shown] :
             {std::tuple{8, "0301 000302030400 0000 0205 00020201 0406 0001", "....6655....111234"},
              {4, "0312 00033450 0000 000567123000 0107 0001", "671230121345"},
              {4, "0212", "......12...."}}) {
            Pixels expected;
            for (const char* c = shown; *c; ++c)
                expected.push_back(Opaque | (*c == '.' ? 0 : palette[size_t(*c - '0')]));
            AddCase(QString("RLE%1 %2").arg(bits).arg(stream),
                    Bmp(6, int(expected.size() / 6), bits, QByteArray::fromHex(stream),
                        bits == 8 ? 1 : 2, palette, 16),
                    expected);
        }
        // bfSize promises all rows; the file ends after the bottom row and a bit:
        // the missing bytes read as zeros.
        QByteArray file = MakeBmp(Bmp(2, 3, 24, PackRows(Pattern(2, 3), 2, 3, 24)));
        file.chop(8 + 5); // the top row, and the middle row's padding and last pixel
        Pixels shorter = Pattern(2, 3, Opaque);
        shorter[0] = shorter[1] = shorter[3] = Opaque;
        QTest::newRow("file shorter than its rows") << file << 2 << 3 << shorter;
        // Colour table cut short: the missing entries read as black.
        file = MakeBmp(Bmp(2, 1, 8, QByteArray::fromHex("0001ffff"))).left(14 + 40);
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
    // Refused from memory and from a file.
    void refusesHostileFiles() {
        const QByteArray rows = PackRows(Pattern(4, 4), 4, 4, 24),
                         good = MakeBmp(Bmp(4, 4, 24, rows));
        std::vector<QByteArray> files = {
            {}, // empty
            "BM",
            good.left(14),
            MakeBmp(Bmp(4, 4, 24, rows.chopped(1))), // pixel data one byte short of the rows
            MakeBmp(Bmp(4, -4, 8, QByteArray::fromHex("04010001"), 1)), // RLE8 top-down
            MakeBmp(Bmp(16384, 16384, 24))}; // the largest size, holding nothing
        // Fields at (offset, value): bfSize short of the rows or 0, bfOffBits past
        // bfSize; width and height too large, 0 or negative; bit counts unknown;
        // embedded JPEG and PNG, RLE8 and RLE4 and BITFIELDS at 24 bpp, unknown.
        for (const QByteArray& poke : QByteArray("2:101 2:0 10:1000 18:16385 18:0 18:-4 22:16385 "
                                                 "22:-16385 22:-2147483648 22:0 28:0 28:2 28:7 "
                                                 "28:15 28:64 30:4 30:5 30:1 30:2 30:3 30:9")
                                          .split(' ')) {
            files.push_back(good);
            Poke32(files.back(), poke.split(':')[0].toInt(),
                   uint32_t(poke.split(':')[1].toLongLong()));
        }
        // More colours than the table holds.
        for (auto [bits, used] : {std::pair{8, 257u}, {1, 3u}, {4, 17u}, {8, 0xffffffffu}})
            files.push_back(MakeBmp(Bmp(4, 4, bits, QByteArray(64, 0), 0, Palette(4), used)));
        QTemporaryDir dir;
        const QString path = dir.filePath("hostile.bmp");
        for (size_t i = 0; i < files.size(); ++i) {
            QVERIFY2(!Decode(files[i]), qPrintable(QString("file %1").arg(i)));
            QVERIFY(WriteFile(path, files[i]));
            QVERIFY2(!DecodeImageFile(path.toStdString(), {}),
                     qPrintable(QString("file %1").arg(i)));
        }
    }
    // RLE streams that run past rows, the data or the picture end in a
    // picture; the same stream promised but cut off the file reads black
    // (found by the fuzzer).
    void survivesDamagedRle() {
        for (const char* row : {"1:ff01ff02ff030001", "1:00ff", "1:00ff0102", "1:0002ffff0401",
                                "1:000205", "1:", "2:00fe12", "2:05"}) {
            const uint32_t compression = uint32_t(row[0] - '0');
            QByteArray stream = QByteArray::fromHex(row + 2);
            if (stream == QByteArray::fromHex("00ff")) // absolute run past the row end
                stream += QByteArray(255, 3);
            if (stream.isEmpty()) // endless end-of-line codes
                stream = QByteArray(1000, 0);
            const int bits = compression == 1 ? 8 : 4;
            Bmp s = Bmp(5, 3, bits, stream, compression, Palette(1 << bits));
            const auto image = Decode(MakeBmp(s));
            QVERIFY2(image && image->width() * image->height() == 15, row);
            s.bfOffBits = uint32_t(MakeBmp(s).size() + 10);
            s.bfSize = *s.bfOffBits + uint32_t(stream.size());
            const auto cut = Decode(MakeBmp(s));
            QVERIFY2(cut && Words(*cut) == Pixels(15, Opaque), row);
        }
    }
    // "plug-in: paths"; none is the BMP reader. A bare extension is no name:
    // ".bmp" of 4 bytes or fewer goes to the BMP reader.
    void dispatchByExtension() {
        QVERIFY(!PluginForPath(""));
        for (const char* row :
             {": x.bmp x.BMP .bmp .jpeg .jpg .png .webp .tif .tiff .gif .heic .avif photo.jpe",
              ": scan.tiff.bmp a.heics picture photojpg photogif dir.png/x",
              "ifjpeg.spi: photo.JPG photo.Jpeg a.jpg 写真.jpeg", "ifpng.spi: /tmp/a.png A.PNG",
              "ifwebp.spi: shot.webp SHOT.WebP", "iftiff.spi: scan.tif scan.TIFF",
              "ifgif.spi: anim.gif ANIM.GIF", "ifheif.spi: phone.heic phone.HEIF phone.Avif"}) {
            const QList<QByteArray> parts = QByteArray(row).split(':');
            for (const QByteArray& path : parts[1].split(' '))
                if (const char* chosen = PluginForPath(path.toStdString()); !path.isEmpty())
                    QVERIFY2(QByteArray(chosen ? chosen : "") == parts[0], path.constData());
        }
    }
};

QTEST_GUILESS_MAIN(TestBmpReader)
#include "tst_bmpreader.moc"
