// The BMP reader, on BMP files built here byte by byte, and the extension
// dispatch that sends other files to the decoder plug-ins.

#include "BmpFixtures.h"

#include "imaging/BmpReader.h"
#include "imaging/ImageFile.h"
#include "imaging/PluginLoader.h"

#include <QTemporaryDir>
#include <QTest>

#include <bit>

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

void AddCase(const QString& name, const BmpLayout& layout, const Pixels& expected) {
    QTest::newRow(qPrintable(name))
        << MakeBmp(layout) << layout.width << std::abs(layout.height) << expected;
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
    for (int i = 0; i < s.width * std::abs(s.height); ++i) {
        indices.push_back(uint32_t(i % s.width * 3 + i / s.width * 5) % entries);
        expected.push_back(Opaque |
                           (indices.back() < s.palette.size() ? s.palette[indices.back()] : 0));
    }
    s.pixels = PackRows(indices, s.width, std::abs(s.height), s.bitCount, s.height < 0);
    AddCase(QString("%1 bpp, width %2%3 %4")
                .arg(s.bitCount)
                .arg(s.width)
                .arg(s.height < 0 ? ", top-down" : "")
                .arg(what),
            s, expected);
}

// Words holding varied values under the R, G, B masks (white first), with
// the bits under `junk` set on every other word; each channel reads scaled to
// 0..255.
void AddMasked(const QString& name, BmpLayout s, const Pixels& masks, uint32_t junk = 0) {
    Pixels words, expected;
    for (uint32_t i = 0; i < uint32_t(s.width * std::abs(s.height)); ++i) {
        uint32_t word = i % 2 ? junk : 0, colour = Opaque;
        for (int c = 0; c < 3; ++c) {
            const int shift = std::countr_zero(masks[c]);
            const uint32_t max = masks[c] >> shift, v = (max + i * (5 + 6 * c)) % (max + 1);
            word |= v << shift;
            colour |= (v * 255 + max / 2) / max << (16 - 8 * c);
        }
        words.push_back(word);
        expected.push_back(colour);
    }
    s.pixels = PackRows(words, s.width, std::abs(s.height), s.bitCount, s.height < 0);
    AddCase(name, s, expected);
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
        const Pixels m555 = {0x7c00, 0x3e0, 0x1f}, m565 = {0xf800, 0x07e0, 0x001f},
                     m888 = {0xff0000, 0xff00, 0xff}, swapped = {0xff, 0xff00, 0xff0000},
                     tenBit = {0x3ff00000, 0x000ffc00, 0x000003ff};
        AddMasked("16 bpp 5-5-5, top bit ignored", Layout(7, 2, 16), m555, 0x8000);
        AddMasked("16 bpp 5-5-5, top-down", Layout(7, -2, 16), m555, 0x8000);
        for (auto [header, gap] : {std::pair{40u, 0}, {124u, 6}, {56u, 0}})
            AddMasked(
                QString("16 bpp 5-6-5 BITFIELDS, %1-byte header, gap %2").arg(header).arg(gap),
                Layout(7, 2, 16, {}, 3, m565, 0, header, gap), m565);
        AddMasked("32 bpp, the fourth byte no colour", Layout(3, 3, 32), m888, 0x7f000000);
        AddMasked("32 bpp BITFIELDS, V4 header with an alpha mask",
                  Layout(3, 3, 32, {}, 3, {0xff0000, 0xff00, 0xff, Opaque}, 0, 108), m888,
                  0x7f000000);
        AddMasked("32 bpp BITFIELDS swapped, top-down", Layout(3, -3, 32, {}, 3, swapped), swapped);
        AddMasked("32 bpp BITFIELDS 10-10-10", Layout(2, 2, 32, {}, 3, tenBit), tenBit);
        for (int width : {1, 2, 3, 5, 8})
            for (int height : {4, -4})
                AddCase(
                    QString("24 bpp, width %1%2").arg(width).arg(height < 0 ? ", top-down" : ""),
                    Layout(width, height, 24,
                           PackRows(Pattern(width, 4), width, 4, 24, height < 0)),
                    Pattern(width, 4, Opaque));
        // The pixel array is where bfOffBits says, not where the table ends; a
        // 24-bit file may carry a colour table.
        for (auto [header, gap, table] : {std::tuple{124u, 13, 0}, {40u, 13, 0}, {40u, 0, 2}})
            AddCase(QString("24 bpp, %1-byte header, gap %2, %3 colours")
                        .arg(header)
                        .arg(gap)
                        .arg(table),
                    Layout(5, 3, 24, PackRows(Pattern(5, 3), 5, 3, 24), 0, {}, table, header, gap),
                    Pattern(5, 3, Opaque));
        // RLE, decoded by us, in 6-pixel rows; pixels skipped by a delta or an
        // end of line stay black ('.'); runs past the row end are cut.
        const Pixels palette = Palette(16);
        for (auto [name, stream, shown] :
             {// three of 1; absolute 2 3 4, padded; end of line; two of 5; delta
              // right 2, up 1; four of 6 from x = 4; end of bitmap
              std::tuple{"RLE8",
                         "0301000302030400"
                         "0000"
                         "0205"
                         "00020201"
                         "0406"
                         "0001",
                         "....6655....111234"},
              // 1 2 1; absolute 3 4 5 (two bytes, no pad); end of line; absolute
              // 6 7 1 2 3, padded; one of 0; end of bitmap
              {"RLE4",
               "0312"
               "00033450"
               "0000"
               "000567123000"
               "0107"
               "0001",
               "671230121345"},
              {"RLE4 cut short", "0212", "......12...."}}) {
            Pixels expected;
            for (const char* c = shown; *c; ++c)
                expected.push_back(Opaque | (*c == '.' ? 0 : palette[size_t(*c - '0')]));
            const bool four = QByteArray(name).startsWith("RLE4");
            AddCase(name,
                    Layout(6, int(expected.size() / 6), four ? 4 : 8, QByteArray::fromHex(stream),
                           four ? 2 : 1, palette, 16),
                    expected);
        }
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
    // Refused from memory and from a file.
    void refusesHostileFiles() {
        const BmpLayout base = Layout(4, 4, 24, PackRows(Pattern(4, 4), 4, 4, 24));
        std::vector<std::pair<QByteArray, QByteArray>> files = {
            {"empty file", {}},
            {"only the signature", "BM"},
            {"file header only", MakeBmp(base).left(14)},
            {"RLE8 top-down", MakeBmp(Layout(4, -4, 8, QByteArray::fromHex("04010001"), 1))},
            {"16384 x 16384 with no pixel data", MakeBmp(Layout(16384, 16384, 24))}};
        // Width and height fields out of range.
        for (auto [at, v] : {std::pair{18, 16385u},
                             {18, 0u},
                             {18, uint32_t(-4)},
                             {22, 16385u},
                             {22, uint32_t(-16385)},
                             {22, 0x80000000u},
                             {22, 0u}}) {
            files.push_back({QByteArray::number(at) + ": " + QByteArray::number(v), MakeBmp(base)});
            Poke32(files.back().second, at, v);
        }
        for (int bits : {0, 2, 7, 15, 64})
            files.push_back({"bit count " + QByteArray::number(bits),
                             MakeBmp(Layout(4, 4, bits, base.pixels))});
        // Embedded JPEG and PNG, RLE8 at 24, RLE4 at 8, BITFIELDS at 24, unknown.
        for (auto [compression, bits] :
             {std::pair{4u, 24}, {5u, 24}, {1u, 24}, {2u, 8}, {3u, 24}, {9u, 24}})
            files.push_back({"compression " + QByteArray::number(compression),
                             MakeBmp(Layout(4, 4, bits, base.pixels, compression))});
        for (auto [bits, used] : {std::pair{8, 257u}, {1, 3u}, {4, 17u}, {8, 0xffffffffu}})
            files.push_back({"biClrUsed " + QByteArray::number(used),
                             MakeBmp(Layout(4, 4, bits, QByteArray(64, 0), 0, Palette(4), used))});
        BmpLayout s = base;
        s.pixels.chop(1);
        files.push_back({"pixel data one byte short of the rows", MakeBmp(s)});
        for (auto [size, offset] :
             {std::pair{14 + 40 + 47u, 54u}, {0u, 54u}, {14 + 40 + 48u, 1000u}}) {
            s = base;
            s.bfSize = size;
            s.bfOffBits = offset;
            files.push_back(
                {"bfSize " + QByteArray::number(size) + ", bfOffBits " + QByteArray::number(offset),
                 MakeBmp(s)});
        }
        QTemporaryDir dir;
        const QString path = dir.filePath("hostile.bmp");
        for (const auto& [name, file] : files) {
            QVERIFY2(!Decode(file), name.constData());
            QVERIFY(WriteFile(path, file));
            QVERIFY2(!DecodeImageFile(path.toStdString(), {}), name.constData());
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
            BmpLayout s = Layout(5, 3, bits, stream, compression, Palette(1 << bits));
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
