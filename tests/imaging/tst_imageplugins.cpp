// The BMP reader and the decoder plug-ins through the loader, and test
// plug-ins that load without GetPicture, fail, or answer nonsense.

#include "BmpFixtures.h"

#include "imaging/BmpReader.h"
#include "imaging/ImageFile.h"
#include "imaging/PluginLoader.h"
#include "spi.h"

#include <QtTest>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <future>
#include <optional>

#include <dlfcn.h>
#include <gif_lib.h>
#include <jpeglib.h>
#include <libheif/heif.h>
#include <malloc.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

// Files come from Qt's writers where it has them, else the libraries' own;
// BMP byte by byte. Colours are 0xAARRGGBB, top row first.

using namespace fixtures;
using Pixels = std::vector<uint32_t>;

namespace {

// Appends each value as little-endian bytes, as many as its digit in sizes.
void Put(QByteArray& b, const char* sizes, std::initializer_list<uint32_t> values) {
    for (uint32_t v : values)
        for (int i = 0, n = *sizes++ - '0'; i < n; ++i)
            b.append(char(v >> (8 * i)));
}
// A BMP file's fields. `table`: the masks R, G, B[, A] with BITFIELDS, else
// the colour table (0x00RRGGBB).
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
    }
    return out;
}
constexpr uint32_t White = 0xffffffffu, Black = 0xff000000u;
// Cells (16 x 16 pixels unless told) by letters, rows split by '/': "ABC/DEF".
// A small letter is its capital's colour, transparent; '.' is white.
uint32_t CellColour(char letter) {
    static const uint32_t colours[] = {0xe02020, 0x20c040, 0x2040e0, 0xe0e020, 0xe020e0, 0x20e0e0};
    return letter == '.'   ? White
           : letter >= 'a' ? colours[letter - 'a']
                           : Black | colours[letter - 'A'];
}
Pixels Cells(const QByteArray& grid, int cell = 16, bool grey = false) {
    const QList<QByteArray> rows = grid.split('/');
    Pixels out;
    for (int y = 0; y < rows.size() * cell; ++y)
        for (int x = 0; x < rows[0].size() * cell; ++x) {
            const uint32_t c = CellColour(rows[y / cell][x / cell]);
            out.push_back(grey ? Black | uint32_t(qGray(c)) * 0x10101u : c);
        }
    return out;
}
// A JPEG of one CMYK colour, inverted as Adobe software writes it.
QByteArray CmykJpeg(int width, int height, const QByteArray& cmyk) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    QByteArray row = cmyk.repeated(width);
    for (auto p = reinterpret_cast<JSAMPROW>(row.data()); cinfo.next_scanline < cinfo.image_height;)
        jpeg_write_scanlines(&cinfo, &p, 1);
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray result(reinterpret_cast<const char*>(out), qsizetype(outSize));
    std::free(out);
    return result;
}
// An animation (Qt writes none) on a canvas of `size`: its first frame, one
// of Qt's lossless stills, at `at` (even x and y).
QByteArray AnimatedWebp(QSize size, const QByteArray& still, QRect at) {
    QByteArray body = "WEBPVP8X";
    Put(body, "41333", {10, 2, 0, uint32_t(size.width() - 1), uint32_t(size.height() - 1)});
    body += "ANIM";
    Put(body, "442", {6, 0xffffffff, 0});
    body += "ANMF";
    Put(body, "4333331",
        {uint32_t(16 + still.size() - 12), uint32_t(at.x() / 2), uint32_t(at.y() / 2),
         uint32_t(at.width() - 1), uint32_t(at.height() - 1), 100, 0});
    QByteArray file = "RIFF";
    Put(file, "4", {uint32_t(body.size() + still.size() - 12)});
    return file + body + still.mid(12);
}
// The pattern as Qt never lays it out: a column of uncompressed tiles `rows`
// high, or Deflate strips of `rows` rows.
QByteArray PatternTiff(int width, int height, int rows, bool tiled) {
    QTemporaryFile file;
    if (!file.open())
        return QByteArray();
    TIFF* tif = TIFFOpen(QFile::encodeName(file.fileName()).constData(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, tiled ? COMPRESSION_NONE : COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tif, tiled ? TIFFTAG_TILEWIDTH : TIFFTAG_IMAGEWIDTH, width); // strips: again
    TIFFSetField(tif, tiled ? TIFFTAG_TILELENGTH : TIFFTAG_ROWSPERSTRIP, rows);
    QImage rgb =
        Picture(width, height + rows, Pattern(width, height + rows), QImage::Format_RGB888);
    for (int y = 0; y < height; y += tiled ? rows : 1)
        tiled ? TIFFWriteTile(tif, rgb.scanLine(y), 0, uint32_t(y), 0, 0)
              : TIFFWriteScanline(tif, rgb.scanLine(y), uint32_t(y), 0);
    TIFFClose(tif);
    return file.readAll();
}
struct GifFrame {
    QByteArray grid; // rows of letters split by '/': 'A' for index 0
    int left = 0, top = 0, transparent = -1;
    bool interlaced = false;
};
int AppendGif(GifFileType* gif, const GifByteType* data, int n) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), n);
    return n;
}
// The colour map: `colours` (a power of two) of the cells' from A, then blue.
QByteArray MakeGif(int width, int height, int colours, const std::vector<GifFrame>& frames) {
    QByteArray out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendGif, &error);
    std::vector<GifColorType> map;
    for (int i = 0; i < colours; ++i) {
        const uint32_t c = i < 6 ? CellColour(char('A' + i)) : 0x102030;
        map.push_back({GifByteType(c >> 16), GifByteType(c >> 8), GifByteType(c)});
    }
    ColorMapObject* object = GifMakeMapObject(int(map.size()), map.data());
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, width, height, 8, 0, object);
    for (const GifFrame& f : frames) {
        GraphicsControlBlock control = {DISPOSAL_UNSPECIFIED, false, 10, f.transparent};
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension);
        QList<QByteArray> rows = f.grid.split('/');
        EGifPutImageDesc(gif, f.left, f.top, int(rows[0].size()), int(rows.size()), f.interlaced,
                         nullptr);
        const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2}; // interlaced passes
        for (int pass = 0; pass < (f.interlaced ? 4 : 1); ++pass)
            for (int y = f.interlaced ? start[pass] : 0; y < rows.size();
                 y += f.interlaced ? step[pass] : 1) {
                for (char& c : rows[y])
                    c = char(c - 'A');
                EGifPutLine(gif, reinterpret_cast<GifPixelType*>(rows[y].data()),
                            int(rows[y].size()));
            }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(object);
    return out;
}
// A HEIC or AVIF picture, turned by its container as Exif `orientation` says.
QByteArray MakeHeif(heif_compression_format format, int width, int height,
                    const std::vector<uint32_t>& argb, bool alpha, int orientation = 1) {
    heif_image* image = nullptr;
    heif_image_create(width, height, heif_colorspace_RGB,
                      alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, width, height, 8);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    const QImage rgb =
        Picture(width, height, argb, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        std::copy_n(rgb.constScanLine(y), width * (alpha ? 4 : 3), plane + size_t(y) * stride);
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_context_get_encoder_for_format(context, format, &encoder);
    heif_encoder_set_lossy_quality(encoder, 90);
    heif_encoding_options* options = heif_encoding_options_alloc();
    options->image_orientation = heif_orientation(orientation);
    heif_context_encode_image(context, image, encoder, options, nullptr);
    QTemporaryFile file;
    if (file.open())
        heif_context_write_to_file(context, QFile::encodeName(file.fileName()).constData());
    heif_encoding_options_free(options);
    heif_encoder_release(encoder);
    heif_context_free(context);
    heif_image_release(image);
    return file.readAll();
}
// The file goes under the row's name. Width -1: no picture; no pixels: any.
void Row(const char* name, const QByteArray& file, int width, const Pixels& expected = {},
         bool apply = false) {
    QTest::newRow(name) << file << width << expected << apply;
}
// A picture in the file's pixel format: palette indices (3x + 5y) mod
// `entries` (past the stored table they read black), or words of varied
// values under the R, G, B masks (5-5-5 or 8-8-8 without BITFIELDS), every
// other one with junk in its other bits; channels read scaled to 0..255.
void BmpRow(Bmp s, uint32_t entries = 0) {
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
        uint32_t colour = Black | (index < palette.size() ? palette[index] : 0);
        for (int c = 0; c < 3 && !indexed; ++c) {
            const int shift = std::countr_zero(m[c]);
            const uint32_t max = m[c] >> shift, v = (max + i * (5 + 6 * c)) % (max + 1);
            word |= v << shift;
            colour = (c ? colour : Black) | (v * 255 + max / 2) / max << (16 - 8 * c);
        }
        words.push_back(word);
        expected.push_back(colour);
    }
    s.pixels = PackRows(words, s.width, std::abs(s.height), s.bitCount, s.height < 0);
    Row(qPrintable(QString::asprintf(
            "%d bpp %dx%d, compression %u, header %u, gap %d, %d of %u.bmp", s.bitCount, s.width,
            s.height, s.compression, s.headerSize, s.gap, int(palette.size()), entries)),
        MakeBmp(s), s.width, expected);
}
// BMP files, read exactly; hostile ones refused.
void BmpRows() {
    const int sizes[] = {1, 13, 1, 32, 4, 7,  4, 8,  8, 5,  8, 1,  16,
                         7, 24, 1, 24, 2, 24, 3, 24, 5, 24, 8, 32, 3};
    for (size_t i = 0; i < std::size(sizes); i += 2)
        for (int height : {3, -3})
            BmpRow(Bmp(sizes[i + 1], height, sizes[i], {}, 0,
                       Pattern(sizes[i] <= 8 ? 1 << sizes[i] : 0, 1)));
    BmpRow(Bmp(9, 4, 8, {}, 0, Pattern(16, 1), 16), 40);
    BmpRow(Bmp(6, 2, 8, {}, 0, Pattern(256, 1), 0, 12)); // the OS/2 core header
    BmpRow(Bmp(3, -3, 8, {}, 0, Pattern(9, 1), 9, 124, 4));
    for (auto [header, gap] : {std::pair{40u, 0}, {124u, 6}, {56u, 0}})
        BmpRow(Bmp(7, 2, 16, {}, 3, {0xf800, 0x07e0, 0x001f}, 0, header, gap));
    BmpRow(Bmp(3, 3, 32, {}, 3, {0xff0000, 0xff00, 0xff, Black}, 0, 108)); // alpha mask
    BmpRow(Bmp(3, -3, 32, {}, 3, {0xff, 0xff00, 0xff0000}));
    BmpRow(Bmp(2, 2, 32, {}, 3, {0x3ff00000, 0x000ffc00, 0x000003ff}));
    // The pixel array is where bfOffBits says, not where the table ends; a
    // 24-bit file may carry a colour table.
    BmpRow(Bmp(5, 3, 24, {}, 0, {}, 0, 40, 13));
    BmpRow(Bmp(5, 3, 24, {}, 0, Pattern(2, 1), 2));
    // RLE8 and RLE4 in 6-pixel rows: pixels skipped by a delta or an end of
    // line stay black ('.'), runs past the row end are cut. RLE8: three of 1;
    // absolute 2 3 4, padded; end of line; two of 5; delta right 2, up 1;
    // four of 6 from x = 4; end of bitmap. RLE4: 1 2 1; absolute 3 4 5 (two
    // bytes, no pad); end of line; absolute 6 7 1 2 3, padded; one of 0; end
    // of bitmap. The last one stops early.
    const Pixels palette = Pattern(16, 1);
    for (auto [bits, stream, shown] :
         {std::tuple{8, "0301 000302030400 0000 0205 00020201 0406 0001", "....6655....111234"},
          {4, "0312 00033450 0000 000567123000 0107 0001", "671230121345"},
          {4, "0212", "......12...."}}) {
        Pixels expected;
        for (const char* c = shown; *c; ++c)
            expected.push_back(Black | (*c == '.' ? 0 : palette[size_t(*c - '0')]));
        Row(qPrintable(QString("RLE%1 %2.bmp").arg(bits).arg(stream)),
            MakeBmp(Bmp(6, int(expected.size() / 6), bits, QByteArray::fromHex(stream),
                        bits == 8 ? 1 : 2, palette, 16)),
            6, expected);
    }
    // bfSize (78) promises all rows; the file ends after the bottom row and a
    // bit of the middle one: the missing bytes read as zeros.
    Pixels shorter = Pattern(2, 3, Black);
    shorter[0] = shorter[1] = shorter[3] = Black;
    Row("shorter than its rows.bmp",
        MakeBmp(Bmp(2, 3, 24, PackRows(Pattern(2, 3), 2, 3, 24).chopped(13), 0, {}, 0, 40, 0, 78)),
        2, shorter);
    // The file ends inside its colour table: the missing entries read black.
    Row("colour table cut short.bmp", MakeBmp(Bmp(2, 1, 8, {}, 0, {}, 0, 40, 0, 1082, 1078)), 2,
        Pixels(2, Black));
    // RLE streams that run past rows, the data or the picture still give a
    // picture; promised but cut off the file, black.
    for (const QByteArray& row : QList<QByteArray>{
             "1:ff01ff02ff030001", "1:00ff" + QByteArray(510, '3'), "1:00ff0102", "1:0002ffff0401",
             "1:000205", "1:" + QByteArray(2000, '0'), "2:00fe12", "2:05"}) {
        const uint32_t compression = uint32_t(row[0] - '0');
        const int bits = compression == 1 ? 8 : 4;
        Bmp s =
            Bmp(5, 3, bits, QByteArray::fromHex(row.mid(2)), compression, Pattern(1 << bits, 1));
        Row(qPrintable("RLE " + row.left(20) + ".bmp"), MakeBmp(s), 5);
        s.bfOffBits = uint32_t(MakeBmp(s).size() + 10);
        s.bfSize = *s.bfOffBits + uint32_t(s.pixels.size());
        Row(qPrintable("RLE " + row.left(20) + ", cut off.bmp"), MakeBmp(s), 5, Pixels(15, Black));
    }
    // Hostile files: pixel data one byte short of the rows, RLE8 top-down, the
    // largest size holding nothing, the file header or the signature only, empty.
    const QByteArray rows = PackRows(Pattern(4, 4), 4, 4, 24), good = MakeBmp(Bmp(4, 4, 24, rows));
    std::vector<QByteArray> files = {MakeBmp(Bmp(4, 4, 24, rows.chopped(1))),
                                     MakeBmp(Bmp(4, -4, 8, QByteArray::fromHex("04010001"), 1)),
                                     MakeBmp(Bmp(16384, 16384, 24))};
    for (int size : {14, 2, 0})
        files.push_back(good.left(size));
    // Fields at (offset, value): bfSize short of the rows or 0, bfOffBits past
    // bfSize; width and height too large, 0 or negative; bit counts unknown;
    // embedded JPEG and PNG, RLE8 and RLE4 and BITFIELDS at 24 bpp, unknown.
    for (const QByteArray& poke : QByteArray("2:101 2:0 10:1000 18:16385 18:0 18:-4 22:16385 "
                                             "22:-16385 22:-2147483648 22:0 28:0 28:2 28:7 "
                                             "28:15 28:64 30:4 30:5 30:1 30:2 30:3 30:9")
                                      .split(' ')) {
        files.push_back(good);
        qToLittleEndian(uint32_t(poke.split(':')[1].toLongLong()),
                        files.back().data() + poke.split(':')[0].toInt());
    }
    // More colours than the table holds.
    for (auto [bits, used] : {std::pair{8, 257u}, {1, 3u}, {4, 17u}, {8, 0xffffffffu}})
        files.push_back(MakeBmp(Bmp(4, 4, bits, QByteArray(64, 0), 0, Pattern(4, 1), used)));
    for (size_t i = 0; i < files.size(); ++i)
        Row(qPrintable(QString("hostile %1.bmp").arg(i)), files[i], -1);
}

} // namespace

class TestImagePlugins : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QTemporaryFile errors; // standard error while the tests run: nothing is printed
    int savedStderr = -1;
    std::vector<std::string> pictures; // one for each plug-in
    std::vector<QByteArray> files;     // their bytes
    std::vector<std::string> bitmaps;  // BMP files under each plug-in's extension

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid() && QDir::setCurrent(dir.path()) && errors.open());
        std::fflush(stderr);
        savedStderr = ::dup(2);
        ::dup2(errors.handle(), 2);
        const std::pair<const char*, QByteArray> made[] = {
            {"picture.jpg",
             QtFile(48, 32, Cells("ABC/DEF", 16, true), "jpeg", QImage::Format_Grayscale8)},
            {"picture.png", QtFile(7, 5, Pattern(7, 5))},
            {"picture.webp", QtFile(7, 5, Pattern(7, 5), "webp")},
            {"picture.tif", QtFile(7, 5, Pattern(7, 5), "tiff")},
            {"picture.gif", MakeGif(2, 1, 2, {{"AB"}})},
            {"picture.heic", MakeHeif(heif_compression_HEVC, 48, 32, Cells("ABC/DEF"), false)}};
        for (const auto& [name, bytes] : made) {
            pictures.push_back(dir.filePath(name).toStdString());
            files.push_back(bytes);
            bitmaps.push_back(
                dir.filePath("bitmap." + QString(name).mid(8).toUpper()).toStdString());
            QVERIFY(
                Save(QString::fromStdString(bitmaps.back()), QtFile(3, 2, Pattern(3, 2), "bmp")));
            QVERIFY(Save(name, bytes));
        }
    }
    void init() { SetPluginSearchDirsForTesting(std::vector<std::string>{VISTROM_BIN_DIR}); }
    void cleanupTestCase() {
        std::fflush(stderr);
        ::dup2(savedStderr, 2);
        QVERIFY(errors.seek(0));
        QCOMPARE(errors.readAll(), QByteArray());
        SetPluginSearchDirsForTesting(std::nullopt);
        QDir::setCurrent(QCoreApplication::applicationDirPath());
    }
    void decodes_data();
    // BMP exactly, lossy formats and alpha within a few levels.
    void decodes() {
        QFETCH(QByteArray, file);
        QFETCH(int, width);
        QFETCH(Pixels, expected);
        QFETCH(bool, apply);
        const QString name = QTest::currentDataTag();
        QVERIFY(Save(name, file)); // in the test's folder, the current one
        const auto image = DecodeImageFile(name.toStdString(), {.applyOrientation = apply});
        QCOMPARE(image ? image->width() : -1, width);
        const Pixels got = image ? Words(*image) : Pixels();
        const int tolerance = name.endsWith("heic") || name.endsWith("avif") ? 12
                              : name.endsWith("bmp")                         ? 0
                                                                             : 3;
        QVERIFY(expected.empty() || got.size() == expected.size());
        for (size_t i = 0; i < expected.size(); ++i)
            for (int shift : {0, 8, 16})
                if (std::abs(int(got[i] >> shift & 255) - int(expected[i] >> shift & 255)) >
                    tolerance)
                    QFAIL(qPrintable(QString::asprintf("pixel %zu: %08x, expected %08x", i, got[i],
                                                       expected[i])));
    }
    void pluginFolders_data() {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"", "missing", "noexport", "failing", "bogus"})
            QTest::newRow(*kind ? kind : "the real plug-ins") << kind;
    }
    // A test plug-in shadows the real one behind it; "missing" is no folder.
    // Where none answers, bitmaps under their names go to the BMP reader;
    // after GetPicture succeeded, nonsense gives an empty picture.
    void pluginFolders() {
        QFETCH(QString, kind);
        const std::string folder =
            kind.isEmpty() ? VISTROM_BIN_DIR : VISTROM_TEST_PLUGIN_DIR "/" + kind.toStdString();
        const bool missing = kind == "missing", bogus = kind == "bogus";
        SetPluginSearchDirsForTesting(missing ? std::vector<std::string>{folder}
                                              : std::vector<std::string>{folder, VISTROM_BIN_DIR});
        for (const char* name : {"ifbogus.spi", "../bin/ifjpeg.spi", ""}) // bare file names only
            QVERIFY(!IsPluginPresent(name));
        for (const std::string& p : pictures) {
            QCOMPARE(IsPluginPresent(PluginForPath(p)), !missing);
            const auto picture = DecodeImageFile(p, {});
            QCOMPARE(picture.has_value(), kind.isEmpty() || bogus);
            QCOMPARE(picture && !picture->isEmpty(), kind.isEmpty());
        }
        for (const std::string& p : bitmaps)
            QCOMPARE(Words(DecodeImageFile(p, {}).value()),
                     bogus ? Pixels() : Pattern(3, 2, Black));
    }
    // A FIFO would block a reader; a folder opens. Neither is an image, nor
    // an empty file, a missing one, the blank-frame marker, "" or a device.
    void specialFilesAreRefused() {
        std::vector<std::string> names = {"missing.bmp", "*", "", "/dev/null",
                                          dir.path().toStdString() + "/"};
        for (QString ext : {"jpg", "png", "webp", "tif", "gif", "heic", "bmp"}) {
            QVERIFY(::mkfifo(qPrintable("pipe." + ext), 0600) == 0 &&
                    QDir().mkdir("folder." + ext));
            QVERIFY(Save("empty." + ext, {}));
            for (const char* kind : {"pipe.", "folder.", "empty."})
                names.push_back((kind + ext).toStdString());
        }
        for (const std::string& name : names)
            QVERIFY2(!DecodeImageFile(name, {}), name.c_str());
    }
    // GetPicture from memory, a file and a file at an offset: a 40-byte header
    // (bottom-up, one plane, BI_RGB, 8 bits with a table or 24) and blocks the
    // reader takes over. Failures leave the handles alone; progress can
    // cancel. Meanwhile four threads decode each picture too.
    void getPictureInterface() {
        auto cancel = [](int, int, long lData) -> int { return lData == 42; };
        std::vector<std::future<std::optional<PixelBuffer>>> others;
        for (size_t k = 0; k < 4 * pictures.size(); ++k)
            others.push_back(std::async(std::launch::async, DecodeImageFile,
                                        pictures[k % pictures.size()], DecodeOptions{}));
        for (size_t i = 0; i < pictures.size(); ++i) {
            const std::string& p = pictures[i];
            const QByteArray& file = files[i];
            QVERIFY(Save("offset.img", QByteArray(123, 'x') + file));
            const std::string library = VISTROM_BIN_DIR "/" + std::string(PluginForPath(p));
            void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
            auto get = reinterpret_cast<SpiGetPictureFunc>(::dlsym(handle, "GetPicture"));
            const Pixels meant = Words(*DecodeImageFile(p, {}));
            for (size_t k = i; k < others.size(); k += pictures.size())
                QVERIFY(Words(others[k].get().value()) == meant);
            for (auto [buf, len, flag] :
                 {std::tuple{file.constData(), long(file.size()), SPI_INPUT_MEMORY},
                  {p.c_str(), 0L, SPI_INPUT_FILE},
                  {"offset.img", 123L, SPI_INPUT_FILE}}) {
                void* info = nullptr;
                void* bits = nullptr;
                QCOMPARE(get(buf, len, flag, &info, &bits, cancel, 0), int(SPI_OK));
                const auto* h = static_cast<const int32_t*>(info);
                const int bitCount = h[3] >> 16;
                const size_t infoSize = ::malloc_usable_size(info),
                             bitsSize = ::malloc_usable_size(bits);
                QVERIFY(h[0] == 40 && h[2] > 0 && (h[3] & 0xffff) == 1 && h[4] == 0);
                QVERIFY(bitCount == 24 || (bitCount == 8 && infoSize >= 1064));
                QVERIFY(bitsSize >= size_t((h[1] * bitCount + 31) / 32 * 4 * h[2]));
                const auto image =
                    DecodePackedDib(MallocBlock(static_cast<uint8_t*>(info)), infoSize,
                                    MallocBlock(static_cast<uint8_t*>(bits)), bitsSize);
                QVERIFY(image && Words(*image) == meant &&
                        (image->data() == bits) == (bitCount == 24));
            }
            void* info = reinterpret_cast<void*>(0x1);
            void* bits = reinterpret_cast<void*>(0x2);
            QVERIFY(get("not an image", 12, SPI_INPUT_MEMORY, &info, &bits, nullptr, 0) != 0 &&
                    get("/nonexistent/file", 0, SPI_INPUT_FILE, &info, &bits, nullptr, 0) != 0 &&
                    get(p.c_str(), 0, 2, &info, &bits, nullptr, 0) != 0 &&
                    get(file.constData(), long(file.size()), SPI_INPUT_MEMORY, &info, &bits, cancel,
                        42) == SPI_ABORT);
            QVERIFY(info == reinterpret_cast<void*>(0x1) && bits == reinterpret_cast<void*>(0x2));
            ::dlclose(handle);
        }
    }
};

void TestImagePlugins::decodes_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("width");
    QTest::addColumn<Pixels>("expected");
    QTest::addColumn<bool>("apply"); // the orientation tag
    BmpRows();
    const Pixels stored = Cells("ABC/DEF"), pattern = Pattern(7, 5, Black),
                 translucent = {0xffc80a14u, 0x00c80a14u, 0x80000000u};
    // JPEG grey (Qt halves colour's chroma); CMYK C0 M255 Y255 K128, dark red.
    const QByteArray jpeg =
        QtFile(48, 32, Cells("ABC/DEF", 16, true), "jpeg", QImage::Format_Grayscale8);
    Row("CMYK.jpg", CmykJpeg(17, 8, QByteArray::fromHex("ff00007f")), 17,
        Pixels(17 * 8, 0xff7f0000u));
    const Pixels greys = {Black, 0xff808080u, White, 0xff202020u, 0xffe0e0e0u, Black};
    // What Qt writes: odd widths, transparency over white alike, cut short,
    // too wide (WebP never is).
    for (const char* type : {"png", "webp", "tiff"}) {
        const QByteArray file = QtFile(7, 5, pattern, type);
        const QString ext = QString(".") + type;
        Row(qPrintable("odd width" + ext), file, 7, pattern);
        Row(qPrintable("alpha" + ext), QtFile(3, 1, translucent, type, QImage::Format_ARGB32), 3,
            {0xffc80a14u, White, 0xffbcbcbcu});
        Row(qPrintable("cut short" + ext), file.left(file.size() / 2), -1);
        Row(qPrintable("wider than 16384" + ext),
            QtFile(16385, 1, Pixels(16385), type, QImage::Format_Grayscale8), -1);
    }
    Row("grey 16-bit, sRGB.png", QtFile(3, 2, greys, "png", QImage::Format_Grayscale16), 3, greys);
    Row("animation, its first frame on a white canvas.webp",
        AnimatedWebp(QSize(6, 4), QtFile(2, 2, Cells("CC/CC", 1), "webp"), QRect(2, 2, 2, 2)), 6,
        Cells("....../....../..CC../..CC..", 1));
    Row("uncompressed tiles.TIFF", PatternTiff(16, 40, 16, true), 16, Pattern(16, 40, Black));
    Row("grey.tif", QtFile(3, 2, greys, "tiff", QImage::Format_Grayscale8), 3, greys);
    // Strips of 200 rows this wide fill a band each.
    Row("read in two bands.tif", PatternTiff(16384, 260, 200, false), 16384,
        Pattern(16384, 260, Black));
    // Canvas a GIF frame leaves uncovered is white: a spare colour, or 24 bits.
    const char* striped = "AA/AA/BB/BB/CC/CC/DD/DD/AA/AA/BB";
    Row("interlaced.gif", MakeGif(2, 11, 4, {{striped, 0, 0, -1, true}}), 2, Cells(striped, 1));
    Row("transparent index.gif", MakeGif(3, 1, 4, {{"ABC", 0, 0, 1}}), 3, Cells("A.C", 1));
    Row("animation, its first frame on a white canvas.gif",
        MakeGif(4, 3, 4, {{"CD", 1, 1}, {"AAAA/AAAA/AAAA"}}), 4, Cells("..../.CD./....", 1));
    Row("256 colours, a first frame wider than its screen.gif", MakeGif(1, 1, 256, {{"AB", 1}}), 3,
        Cells(".AB", 1));
    Row("alpha.avif", MakeHeif(heif_compression_AV1, 48, 32, Cells("ABc/DEf"), true), 48,
        Cells("AB./DE."));
    // A JPEG under a BMP name never goes to the plug-in. What arrived of a
    // JPEG or GIF cut in its pixels shows, as viewers show it.
    QByteArray noise;
    for (int i = 0; i < 64 * 65; ++i)
        noise += i % 65 == 64 ? '/' : char('A' + i * 7919 % 251 % 4);
    const QByteArray gif = MakeGif(64, 64, 4, {{noise.chopped(1)}});
    const QByteArray rotated = MakeHeif(heif_compression_HEVC, 48, 32, stored, false, 6);
    Row("jpeg.bmp", jpeg, -1);
    Row("cut inside its headers.jpg", jpeg.left(100), -1);
    Row("cut inside its data.jpg", jpeg.left(jpeg.size() - 40), 48);
    Row("cut before its pixels.gif", gif.left(50), -1);
    Row("cut inside its pixels.gif", gif.left(gif.size() - 100), 64);
    Row("screen wider than 16384.gif", MakeGif(16385, 1, 4, {{"B"}}), -1);
    Row("cut short.heic", rotated.left(rotated.size() - 100), -1);
    // Stored ABC/DEF, turned[o] as Exif orientation o asks when asked; HEIF
    // by its container always.
    const char* const turned[] = {"",         "ABC/DEF",  "CBA/FED",  "FED/CBA", "DEF/ABC",
                                  "AD/BE/CF", "DA/EB/FC", "FC/EB/DA", "CF/BE/AD"};
    auto row = [](const QString& what, const QByteArray& file, bool apply, const char* shown,
                  int cell = 16) {
        Row(qPrintable(what), file, int(QByteArray(shown).indexOf('/')) * cell,
            Cells(shown, cell, what.contains(".jp")), apply);
    };
    for (int o = 1; o <= 8; ++o)
        row(QString("写真, Exif orientation %1.jpg").arg(o), WithExif(jpeg, o, o % 2 == 0), true,
            turned[o]);
    row("orientation 6 not asked for.jpeg", WithExif(jpeg, 6, false), false, turned[1]);
    row("Exif directory past the block.jpg", WithExif(jpeg, 6, false, char(0xf0)), true, turned[1]);
    const QByteArray turnedTiff = QtFile(48, 32, stored, "tiff", QImage::Format_RGB32,
                                         QImageIOHandler::TransformationRotate90);
    row("orientation 6.tif", turnedTiff, true, turned[6]);
    row("orientation 6 not asked for.tif", turnedTiff, false, turned[1]);
    // A palette picture's rows, with the colours found back, turned.
    row("palette, orientation 5.tif",
        QtFile(3, 2, Cells("ABC/DEF", 1), "tiff", QImage::Format_Indexed8,
               QImageIOHandler::TransformationFlipAndRotate90),
        true, turned[5], 1);
    row("rotated by its container.HEIF", rotated, true, turned[6]);
    row("rotated by its container, not asked for.heic", rotated, false, turned[6]);
}

QTEST_GUILESS_MAIN(TestImagePlugins)
#include "tst_imageplugins.moc"
