// The decoder plug-ins (JPEG, PNG, WebP, TIFF, GIF, HEIF) through the loader,
// their GetPicture interface and its orientation flag, the fallback to the BMP
// reader, and test plug-ins that load without GetPicture, fail, or answer
// nonsense.

#include "BmpFixtures.h"
#include "CodecFixtures.h"
#include "FormatFixtures.h"

#include "imaging/BmpReader.h"
#include "imaging/FrameRenderer.h"
#include "imaging/ImageFile.h"
#include "imaging/PluginLoader.h"
#include "spi.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <atomic>
#include <cstring>
#include <thread>

#include <dlfcn.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace fixtures;
using Pixels = std::vector<uint32_t>;

namespace {

constexpr uint32_t White = 0xffffffffu;
constexpr uint32_t Black = 0xff000000u;

// Four flat 8x8 blocks per 16x16 tile: JPEG keeps flat blocks nearly exact.
uint32_t Blocks(int x, int y) {
    static const uint32_t colours[4] = {0xd02010, 0x20b040, 0x3040e0, 0xf0f0f0};
    return colours[((x / 8) % 2) + 2 * ((y / 8) % 2)];
}

Pixels Colours(int width, int height, uint32_t (*colour)(int, int), uint32_t alpha = 0) {
    Pixels out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            out.push_back(alpha | colour(x, y));
    return out;
}

const char* const Plugins[] = {"ifjpeg.spi", "ifpng.spi", "ifwebp.spi",
                               "iftiff.spi", "ifgif.spi", "ifheif.spi"};

QByteArray BlocksJpeg(bool progressive = false) {
    return MakeJpeg(32, 16, 3, RgbBytes(Colours(32, 16, Blocks)), 100, progressive);
}

QByteArray PatternPng(int width, int height) {
    return MakePng({.width = width, .height = height, .samples = RgbBytes(Pattern(width, height))});
}

QByteArray Png(int width, int colorType, int bitDepth, const std::vector<uint8_t>& samples) {
    return MakePng(
        {.width = width, .colorType = colorType, .bitDepth = bitDepth, .samples = samples});
}

QByteArray PatternTiff(int width, int height, TiffSpec spec) {
    spec.width = width;
    spec.height = height;
    spec.samples = RgbBytes(Pattern(width, height));
    return MakeTiff(spec);
}

// Pictures of 16 x 16 cells named by letters, rows split by '/': "ABC/DEF".
constexpr int Cell = 16;
uint32_t CellColour(QChar letter) {
    static const uint32_t colours[] = {0xe02020, 0x20c040, 0x2040e0, 0xe0e020, 0xe020e0, 0x20e0e0};
    return Black | colours[letter.unicode() - 'A'];
}
Pixels Cells(const QString& grid) {
    const QStringList rows = grid.split('/');
    Pixels out;
    for (int y = 0; y < rows.size() * Cell; ++y)
        for (int x = 0; x < rows[0].size() * Cell; ++x)
            out.push_back(CellColour(rows[y / Cell][x / Cell]));
    return out;
}

// Decodes with standard error sent to a file: 1 when a picture came back, 0
// when none did, -1 when something was printed.
int DecodeSilently(const std::string& path, std::optional<PixelBuffer>* picture = nullptr) {
    QTemporaryFile capture;
    if (!capture.open())
        return -1;
    std::fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(capture.handle(), 2);
    std::optional<PixelBuffer> decoded = DecodeImageFile(path, {});
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    capture.seek(0);
    const int result = decoded ? 1 : 0;
    if (picture)
        *picture = std::move(decoded);
    return capture.readAll().isEmpty() ? result : -1;
}

// GetPicture's two blocks, taken over by the packed-DIB reader as the loader does.
std::optional<PixelBuffer> Take(void* info, void* bits) {
    const size_t infoSize = ::malloc_usable_size(info), bitsSize = ::malloc_usable_size(bits);
    return DecodePackedDib(MallocBlock(static_cast<uint8_t*>(info)), infoSize,
                           MallocBlock(static_cast<uint8_t*>(bits)), bitsSize);
}

uint32_t Crc32(const QByteArray& bytes) {
    uint32_t crc = 0xffffffffu;
    for (char c : bytes) {
        crc ^= uint8_t(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

} // namespace

class TestImagePlugins : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    std::string jpegPath, greyPath, pngPath, bmpAsJpeg;
    std::vector<std::string> pictures; // one or more for each plug-in
    std::vector<std::string> bitmaps;  // BMP files under each plug-in's extension

    std::string path(const char* name) const { return dir.filePath(name).toStdString(); }
    bool write(const std::string& p, const QByteArray& bytes) {
        return WriteFile(QString::fromStdString(p), bytes);
    }

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void searchOrder();
    void decodes_data();
    void decodes();
    void otherFilesFallBackToTheBmpReader();
    void pluginFolders_data();
    void pluginFolders();
    void specialFilesAreRefused();
    void getPictureInterface_data();
    void getPictureInterface();
    void decodesOnSeveralThreads();
    void orientation_data();
    void orientation();
};

void TestImagePlugins::initTestCase() {
    QVERIFY(dir.isValid() && QDir::setCurrent(dir.path()));
    jpegPath = path("blocks.jpg");
    greyPath = path("grey.jpeg");
    pngPath = path("pattern.png");
    bmpAsJpeg = path("really-a-bitmap.JPG");
    QVERIFY(write(jpegPath, BlocksJpeg()));
    std::vector<uint8_t> grey(16 * 8, 40);
    std::fill(grey.begin() + 64, grey.end(), 200);
    QVERIFY(write(greyPath, MakeJpeg(16, 8, 1, grey)));
    QVERIFY(write(pngPath, PatternPng(7, 5)));
    const Pixels blocks = Colours(32, 16, Blocks, Black);
    const std::pair<const char*, QByteArray> others[] = {
        {"picture.webp", MakeWebp(32, 16, blocks)},
        {"picture.tif", PatternTiff(7, 5, {})},
        {"picture.gif", MakeGif(2, 1, {0xff0000, 0x0000ff}, {{.width = 2, .indices = {0, 1}}})},
        {"picture.heic", MakeHeif(heif_compression_HEVC, 32, 16, blocks, false)},
        {"picture.avif", MakeHeif(heif_compression_AV1, 32, 16, blocks, false)}};
    pictures = {jpegPath, greyPath, pngPath};
    for (const auto& [name, bytes] : others) {
        pictures.push_back(path(name));
        QVERIFY(write(pictures.back(), bytes));
    }
    for (const char* name :
         {"really-a-bitmap.JPG", "really-a-bitmap.png", "really-a-bitmap.webp",
          "really-a-bitmap.TIF", "really-a-bitmap.gif", "really-a-bitmap.heic"}) {
        bitmaps.push_back(path(name));
        QVERIFY(write(bitmaps.back(), MakeBmp24(3, 2, Pattern(3, 2))));
    }
}

void TestImagePlugins::init() {
    SetPluginSearchDirsForTesting(std::vector<std::string>{VISTROM_BIN_DIR});
}

void TestImagePlugins::cleanupTestCase() {
    SetPluginSearchDirsForTesting(std::nullopt);
    QDir::setCurrent(QCoreApplication::applicationDirPath());
}

void TestImagePlugins::searchOrder() {
    for (const char* plugin : Plugins)
        QVERIFY2(IsPluginPresent(plugin), plugin);
    QVERIFY(!IsPluginPresent("ifbogus.spi"));
    QVERIFY(!IsPluginPresent("../bin/ifjpeg.spi")); // bare file names only
    QVERIFY(!IsPluginPresent(""));

    // The program's own folder, the installation's plug-in folder beside it,
    // $VISTROM_PLUGIN_DIR when set, the install location compiled in.
    SetPluginSearchDirsForTesting(std::nullopt);
    const QByteArray saved = qgetenv("VISTROM_PLUGIN_DIR");
    qputenv("VISTROM_PLUGIN_DIR", "/some/where");
    const std::vector<std::string> withEnv = PluginSearchDirs();
    qunsetenv("VISTROM_PLUGIN_DIR");
    const std::vector<std::string> without = PluginSearchDirs();
    if (!saved.isNull())
        qputenv("VISTROM_PLUGIN_DIR", saved);
    const std::string own = QCoreApplication::applicationDirPath().toStdString();
    const std::string beside = own + "/" VISTROM_PLUGIN_DIR_FROM_PROGRAM;
    QVERIFY(withEnv ==
            (std::vector<std::string>{own, beside, "/some/where", VISTROM_PLUGIN_INSTALL_DIR}));
    QVERIFY(without == (std::vector<std::string>{own, beside, VISTROM_PLUGIN_INSTALL_DIR}));
}

void TestImagePlugins::decodes_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("width");
    QTest::addColumn<Pixels>("expected");
    QTest::addColumn<int>("tolerance");

    const Pixels blocks = Colours(32, 16, Blocks, Black);
    QTest::newRow("JPEG colour") << BlocksJpeg() << "a.jpg" << 32 << blocks << 3;
    QTest::newRow("JPEG progressive") << BlocksJpeg(true) << "a.JPEG" << 32 << blocks << 3;
    QTest::newRow("JPEG odd size") << MakeJpeg(13, 7, 3, RgbBytes(Pixels(13 * 7, 0xff8000)))
                                   << "a.jpg" << 13 << Pixels(13 * 7, 0xffff8000u) << 3;
    std::vector<uint8_t> grey;
    Pixels greyExpected;
    for (int i = 0; i < 17 * 8; ++i) {
        const uint8_t v = i % 17 < 8 ? 30 : 220;
        grey.push_back(v);
        greyExpected.push_back(Black | v << 16 | v << 8 | v);
    }
    QTest::newRow("JPEG greyscale")
        << MakeJpeg(17, 8, 1, grey) << "a.jpg" << 17 << greyExpected << 3;
    // CMYK as Adobe software writes it: inverted. Red is C0 M255 Y255 K0, grey K128.
    std::vector<uint8_t> cmyk;
    Pixels cmykExpected;
    for (int i = 0; i < 16 * 8; ++i) {
        const bool red = i % 16 < 8;
        cmyk.insert(cmyk.end(), {255, uint8_t(red ? 0 : 255), uint8_t(red ? 0 : 255),
                                 uint8_t(red ? 255 : 127)});
        cmykExpected.push_back(red ? 0xffff0000u : 0xff7f7f7fu);
    }
    QTest::newRow("JPEG CMYK") << MakeJpeg(16, 8, 4, cmyk) << "a.jpg" << 16 << cmykExpected << 3;

    const Pixels pattern = Colours(7, 5, PatternColour, Black);
    QTest::newRow("PNG RGB, odd width") << PatternPng(7, 5) << "a.png" << 7 << pattern << 0;
    QTest::newRow("PNG RGB, interlaced")
        << MakePng(
               {.width = 7, .height = 5, .interlaced = true, .samples = RgbBytes(Pattern(7, 5))})
        << "a.PNG" << 7 << pattern << 0;
    // Alpha is composited over white.
    QTest::newRow("PNG RGBA") << Png(3, PNG_COLOR_TYPE_RGB_ALPHA, 8,
                                     {200, 10, 20, 255, 200, 10, 20, 0, 0, 0, 0, 128})
                              << "a.png" << 3 << Pixels{0xffc80a14u, White, 0xffbcbcbcu} << 2;
    QTest::newRow("PNG palette 2-bit with tRNS")
        << MakePng({.width = 4,
                    .height = 2,
                    .colorType = PNG_COLOR_TYPE_PALETTE,
                    .bitDepth = 2,
                    .samples = {0x1b, 0xe4}, // indices 0 1 2 3 / 3 2 1 0
                    .palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}},
                    .paletteAlpha = {255, 255, 255, 0}})
        << "a.png" << 4 << Pixels{0xffff0000u, 0xff00ff00u, 0xff0000ffu, White,
                                  White,       0xff0000ffu, 0xff00ff00u, 0xffff0000u}
        << 0;
    QTest::newRow("PNG grey 16-bit")
        << Png(3, PNG_COLOR_TYPE_GRAY, 16, {0, 0, 0x80, 0x80, 255, 255}) << "a.png" << 3
        << Pixels{Black, 0xff808080u, White} << 1;
    QTest::newRow("PNG grey 1-bit")
        << Png(10, PNG_COLOR_TYPE_GRAY, 1, {0xa5, 0x80}) << "a.png" << 10
        << Pixels{White, Black, White, Black, Black, White, Black, White, White, Black} << 0;
    QTest::newRow("PNG grey with alpha") << Png(2, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {50, 255, 50, 0})
                                         << "a.png" << 2 << Pixels{0xff323232u, White} << 0;

    // The PNG RGBA row again: every plug-in puts transparency over white alike.
    const Pixels translucent = {0xffc80a14u, 0x00c80a14u, 0x80000000u};
    const Pixels overWhite = {0xffc80a14u, White, 0xffbcbcbcu};
    QTest::newRow("WebP") << MakeWebp(7, 5, pattern) << "a.webp" << 7 << pattern << 0;
    QTest::newRow("WebP with alpha")
        << MakeWebp(3, 1, translucent) << "a.WEBP" << 3 << overWhite << 2;
    Pixels firstFrame(6 * 4, White);
    for (int i : {14, 15, 20, 21})
        firstFrame[size_t(i)] = 0xff0000ffu;
    QTest::newRow("WebP animation: its first frame, on a white canvas")
        << MakeAnimatedWebp(6, 4,
                            {{MakeWebp(2, 2, Pixels(4, 0xff0000ffu)), 2, 2},
                             {MakeWebp(6, 4, Pixels(24, 0xff00ff00u))}})
        << "a.webp" << 6 << firstFrame << 0;

    QTest::newRow("TIFF, tiled, Deflate")
        << PatternTiff(37, 20, {.tile = 16, .compression = COMPRESSION_ADOBE_DEFLATE}) << "a.TIFF"
        << 37 << Colours(37, 20, PatternColour, Black) << 0;
    QTest::newRow("TIFF, unassociated alpha")
        << MakeTiff(
               {.width = 3, .alpha = EXTRASAMPLE_UNASSALPHA, .samples = RgbaBytes(translucent)})
        << "a.tif" << 3 << overWhite << 2;
    std::vector<uint16_t> map(48, 0x8080); // red, green, blue for indices 0, 1, 2; the rest grey
    for (int i : {0, 1, 2})
        for (int c : {0, 1, 2})
            map[size_t(16 * c + i)] = c == i ? 0xffff : 0;
    const Pixels rgbGrey = {0xffff0000u, 0xff00ff00u, 0xff0000ffu, 0xff808080u};
    QTest::newRow("TIFF palette, 4 bits") << MakeTiff({.width = 4,
                                                       .bits = 4,
                                                       .photometric = PHOTOMETRIC_PALETTE,
                                                       .colormap = map,
                                                       .samples = {0x01, 0x29}})
                                          << "a.tif" << 4 << rgbGrey << 0;
    QTest::newRow("TIFF grey, 1 bit, white is zero")
        << MakeTiff({.width = 10,
                     .bits = 1,
                     .photometric = PHOTOMETRIC_MINISWHITE,
                     .samples = {0xa5, 0x80}})
        << "a.tif" << 10
        << Pixels{Black, White, Black, White, White, Black, White, Black, Black, White} << 0;
    // Strips of 200 rows this wide fill a band each.
    QTest::newRow("TIFF, read in two bands")
        << PatternTiff(16384, 260, {.rowsPerStrip = 200, .compression = COMPRESSION_ADOBE_DEFLATE})
        << "a.tif" << 16384 << Colours(16384, 260, PatternColour, Black) << 0;

    // GIF pictures in the colours of rgbGrey; -1 is white.
    const std::vector<uint32_t> four = {0xff0000, 0x00ff00, 0x0000ff, 0x808080};
    auto shown = [&](std::vector<int> indices) {
        Pixels out;
        for (int i : indices)
            out.push_back(i < 0 ? White : rgbGrey[size_t(i)]);
        return out;
    };
    QTest::newRow("GIF") << MakeGif(
                                4, 2, four,
                                {{.width = 4, .height = 2, .indices = {0, 1, 2, 3, 3, 2, 1, 0}}})
                         << "a.gif" << 4 << shown({0, 1, 2, 3, 3, 2, 1, 0}) << 0;
    std::vector<uint8_t> striped;
    for (int i = 0; i < 22; ++i)
        striped.push_back(uint8_t(i / 2 % 4));
    QTest::newRow("GIF, interlaced")
        << MakeGif(2, 11, four,
                   {{.width = 2, .height = 11, .interlaced = true, .indices = striped}})
        << "a.gif" << 2 << shown(std::vector<int>(striped.begin(), striped.end())) << 0;
    QTest::newRow("GIF, transparent index")
        << MakeGif(3, 1, four, {{.width = 3, .transparent = 1, .indices = {0, 1, 2}}}) << "a.gif"
        << 3 << shown({0, -1, 2}) << 0;
    QTest::newRow("GIF animation: its first frame, on a white canvas")
        << MakeGif(4, 3, four,
                   {{.left = 1, .top = 1, .width = 2, .indices = {2, 3}},
                    {.width = 4, .height = 3, .indices = std::vector<uint8_t>(12, 0)}})
        << "a.gif" << 4 << shown({-1, -1, -1, -1, -1, 2, 3, -1, -1, -1, -1, -1}) << 0;
    QTest::newRow("GIF, a first frame larger than its screen widens it")
        << MakeGif(1, 1, four, {{.left = 1, .width = 2, .indices = {0, 1}}}) << "a.gif" << 3
        << shown({-1, 0, 1}) << 0;
    std::vector<uint32_t> dark;
    for (uint32_t i = 0; i < 256; ++i)
        dark.push_back(i << 8 | 7);
    QTest::newRow("GIF, 256 colours and uncovered canvas")
        << MakeGif(3, 1, dark, {{.width = 2, .indices = {255, 1}}}) << "a.gif" << 3
        << Pixels{0xff00ff07u, 0xff000107u, White} << 0;

    QTest::newRow("HEIC") << MakeHeif(heif_compression_HEVC, 32, 16, blocks, false) << "a.heic"
                          << 32 << blocks << 12;
    QTest::newRow("AVIF") << MakeHeif(heif_compression_AV1, 32, 16, blocks, false) << "a.avif" << 32
                          << blocks << 12;
    Pixels halfClear = blocks, halfWhite = blocks; // the right half transparent
    for (size_t i = 0; i < blocks.size(); ++i)
        if (i % 32 >= 16) {
            halfClear[i] &= 0xffffff;
            halfWhite[i] = White;
        }
    QTest::newRow("AVIF with alpha") << MakeHeif(heif_compression_AV1, 32, 16, halfClear, true)
                                     << "a.avif" << 32 << halfWhite << 12;

    // A JPEG under a BMP name is never shown to the plug-in, nor is ".jpeg" alone.
    QTest::newRow("JPEG named .bmp") << BlocksJpeg() << "j.bmp" << -1 << Pixels() << 0;
    QTest::newRow("JPEG named .jpeg alone") << BlocksJpeg() << ".jpeg" << -1 << Pixels() << 0;

    // Damaged files fall back to the BMP reader, which refuses them (width
    // -1); nothing is printed. Viewers show what arrived of a JPEG or a GIF
    // cut in its pixels; so do we.
    auto damaged = [](const char* what, const QByteArray& file, const char* name, int width = -1) {
        QTest::newRow(what) << file << name << width << Pixels() << 0;
    };
    const QByteArray good = BlocksJpeg(), png = PatternPng(7, 5);
    damaged("JPEG cut inside its headers", good.left(100), "a.jpg");
    damaged("JPEG marker then junk", "\xff\xd8\xff\xe0junk junk junk junk", "a.jpg");
    damaged("empty JPEG", QByteArray(), "a.jpg");
    damaged("JPEG cut inside its data", good.left(good.size() - 40), "a.jpg", 32);
    damaged("PNG cut short", png.left(png.size() - 20), "a.png");
    QByteArray badCrc = png;
    badCrc[40] = char(badCrc[40] ^ 0x55);
    damaged("PNG with a damaged chunk", badCrc, "a.png");
    damaged("PNG signature only", png.left(8), "a.png");
    QByteArray huge = png;
    huge.replace(16, 4, QByteArray::fromHex("00010000")); // IHDR width 65536
    const uint32_t crc = Crc32(huge.mid(12, 17)); // a valid chunk: the size alone must stop it
    for (int i = 0; i < 4; ++i)
        huge[29 + i] = char(crc >> (24 - 8 * i));
    damaged("PNG wider than 16384", huge, "a.png");
    const QByteArray webp = MakeWebp(7, 5, Colours(7, 5, PatternColour, Black));
    damaged("WebP cut short", webp.left(webp.size() - 9), "a.webp");
    damaged("WebP header only", QByteArray("RIFF\4\0\0\0WEBP", 12), "a.webp");
    const QByteArray tiff = PatternTiff(7, 5, {});
    damaged("TIFF cut short", tiff.left(tiff.size() / 2), "a.tif");
    damaged("TIFF wider than 16384",
            MakeTiff({.width = 16385,
                      .bits = 1,
                      .photometric = PHOTOMETRIC_MINISBLACK,
                      .samples = std::vector<uint8_t>(2049, 0x55)}),
            "a.tif");
    std::vector<uint8_t> noise(64 * 64);
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = uint8_t(i * 7919 % 251 % 4);
    const QByteArray gif = MakeGif(64, 64, {0, 0xffffff, 0xff0000, 0xff},
                                   {{.width = 64, .height = 64, .indices = noise}});
    damaged("GIF cut before its pixels", gif.left(50), "a.gif");
    damaged("GIF cut inside its pixels", gif.left(gif.size() - 100), "a.gif", 64);
    damaged("GIF screen wider than 16384", MakeGif(16385, 1, {0, 0xffffff}, {{.indices = {1}}}),
            "a.gif");
    const QByteArray heic = MakeHeif(heif_compression_HEVC, 32, 16, blocks, false);
    damaged("HEIC cut short", heic.left(heic.size() - 100), "a.heic");
    damaged("HEIC file type box then junk", heic.left(32) + QByteArray(200, 'x'), "a.heic");
}

void TestImagePlugins::decodes() {
    QFETCH(QByteArray, file);
    QFETCH(QString, name);
    QFETCH(int, width);
    QFETCH(Pixels, expected);
    QFETCH(int, tolerance);
    QVERIFY(WriteFile(name, file)); // in the test's folder, the current one
    std::optional<PixelBuffer> image;
    QCOMPARE(DecodeSilently(name.toStdString(), &image), width < 0 ? 0 : 1);
    if (width < 0)
        return;
    QCOMPARE(image->width(), width);
    const Pixels pixels = Words(*image);
    QVERIFY(expected.empty() || pixels.size() == expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        for (int shift : {0, 8, 16, 24})
            if (std::abs(int((pixels[i] >> shift) & 255) - int((expected[i] >> shift) & 255)) >
                (shift == 24 ? 0 : tolerance))
                QFAIL(qPrintable(QString("pixel %1: %2, expected %3")
                                     .arg(i)
                                     .arg(pixels[i], 8, 16)
                                     .arg(expected[i], 8, 16)));
}

void TestImagePlugins::otherFilesFallBackToTheBmpReader() {
    // A bitmap under a plug-in's name: the plug-in refuses it, the BMP reader reads it.
    for (const std::string& p : bitmaps) {
        QVERIFY(!DecodeWithPlugin(PluginForPath(p), p, {}));
        const auto image = DecodeImageFile(p, {});
        QVERIFY(image);
        QCOMPARE(Words(*image), Colours(3, 2, PatternColour, Black));
    }
}

void TestImagePlugins::pluginFolders_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("bitmapDrawn");
    QTest::newRow("plug-ins missing") << "missing" << true;
    QTest::newRow("no GetPicture") << "noexport" << true;
    QTest::newRow("GetPicture fails") << "failing" << true;
    // Once GetPicture has succeeded the file is finished with: an empty
    // picture, and the BMP reader is not tried.
    QTest::newRow("GetPicture answers nonsense") << "bogus" << false;
}

void TestImagePlugins::pluginFolders() {
    QFETCH(QString, kind);
    QFETCH(bool, bitmapDrawn);
    const std::string folder = std::string(VISTROM_TEST_PLUGIN_DIR) + "/" + kind.toStdString();
    // A test plug-in comes first and shadows the real one behind it; "missing" is no folder.
    const bool missing = kind == "missing";
    SetPluginSearchDirsForTesting(missing ? std::vector<std::string>{folder}
                                          : std::vector<std::string>{folder, VISTROM_BIN_DIR});
    for (const char* plugin : Plugins)
        QCOMPARE(IsPluginPresent(plugin), !missing);
    std::optional<PixelBuffer> picture;
    for (const std::string& p : pictures) {
        QCOMPARE(DecodeSilently(p, &picture), int(!bitmapDrawn));
        QVERIFY(!picture || picture->isEmpty());
    }
    for (const std::string& p : bitmaps) {
        QCOMPARE(DecodeSilently(p, &picture), 1);
        QCOMPARE(Words(*picture), bitmapDrawn ? Colours(3, 2, PatternColour, Black) : Pixels());
    }
    if (missing) { // put back, they are found again
        SetPluginSearchDirsForTesting(std::vector<std::string>{folder, VISTROM_BIN_DIR});
        QVERIFY(IsPluginPresent("ifjpeg.spi"));
        QVERIFY(DecodeImageFile(jpegPath, {}));
    }
}

void TestImagePlugins::specialFilesAreRefused() {
    // A FIFO would block a reader that waits for a writer; a folder opens but is no image.
    for (const char* name : {"pipe.jpg", "pipe.png", "pipe.bmp", "pipe.heic"})
        QCOMPARE(::mkfifo(path(name).c_str(), 0600), 0);
    QVERIFY(QDir(dir.path()).mkdir("folder.jpeg"));
    QVERIFY(QDir(dir.path()).mkdir("folder.tif"));
    for (const char* name :
         {"pipe.jpg", "pipe.png", "pipe.bmp", "pipe.heic", "folder.jpeg", "folder.tif"})
        QVERIFY(!DecodeImageFile(path(name), {}));
}

void TestImagePlugins::getPictureInterface_data() {
    QTest::addColumn<QString>("plugin");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("bitCount");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("ramp"); // an 8-bit table that is a grey ramp
    QTest::newRow("JPEG colour") << "ifjpeg.spi"
                                 << MakeJpeg(13, 7, 3, RgbBytes(Pixels(13 * 7, 0xff8000))) << 24
                                 << 13 << 7 << false;
    QTest::newRow("JPEG grey") << "ifjpeg.spi" << MakeJpeg(5, 3, 1, std::vector<uint8_t>(15, 77))
                               << 8 << 5 << 3 << true;
    QTest::newRow("PNG") << "ifpng.spi" << PatternPng(5, 3) << 24 << 5 << 3 << false;
    QTest::newRow("WebP") << "ifwebp.spi" << MakeWebp(5, 3, Colours(5, 3, PatternColour, Black))
                          << 24 << 5 << 3 << false;
    const std::vector<uint8_t> grey77(15, 77);
    QTest::newRow("TIFF grey, uncompressed tiles")
        << "iftiff.spi"
        << MakeTiff({.width = 5,
                     .height = 3,
                     .photometric = PHOTOMETRIC_MINISBLACK,
                     .tile = 16,
                     .samples = grey77})
        << 8 << 5 << 3 << true;
    QTest::newRow("TIFF palette") << "iftiff.spi"
                                  << MakeTiff({.width = 5,
                                               .height = 3,
                                               .photometric = PHOTOMETRIC_PALETTE,
                                               .colormap = std::vector<uint16_t>(768, 0x4000),
                                               .samples = grey77})
                                  << 8 << 5 << 3 << false;
    std::vector<uint32_t> greys;
    for (uint32_t i = 0; i < 256; ++i)
        greys.push_back(i * 0x010101u);
    QTest::newRow("GIF") << "ifgif.spi"
                         << MakeGif(5, 3, greys, {{.width = 5, .height = 3, .indices = grey77}})
                         << 8 << 5 << 3 << true;
    QTest::newRow("HEIC") << "ifheif.spi"
                          << MakeHeif(heif_compression_HEVC, 5, 3, Pixels(15, 0xff8000), false)
                          << 24 << 5 << 3 << false;
}

void TestImagePlugins::getPictureInterface() {
    QFETCH(QString, plugin);
    QFETCH(QByteArray, file);
    QFETCH(int, bitCount);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, ramp);
    const QByteArray library = QByteArray(VISTROM_BIN_DIR) + "/" + plugin.toLatin1();
    void* handle = ::dlopen(library.constData(), RTLD_NOW | RTLD_LOCAL);
    QVERIFY(handle);
    auto getPicture = reinterpret_cast<SpiGetPictureFunc>(::dlsym(handle, "GetPicture"));
    QVERIFY(getPicture);

    // 40 bytes, positive height (bottom-up rows), one plane, BI_RGB.
    QByteArray header;
    for (uint32_t v : {40u, uint32_t(width), uint32_t(height), 1u | uint32_t(bitCount) << 16, 0u})
        Put32(header, v);
    // From memory, from a file, and from a file at an offset.
    const QString plain = dir.filePath("plain.img"), offset = dir.filePath("offset.img");
    QVERIFY(WriteFile(plain, file));
    QVERIFY(WriteFile(offset, QByteArray(123, 'x') + file));
    const QByteArray plainName = QFile::encodeName(plain), offsetName = QFile::encodeName(offset);
    for (auto [buf, len, flag] : {std::tuple{file.constData(), long(file.size()), SPI_INPUT_MEMORY},
                                  {plainName.constData(), 0L, SPI_INPUT_FILE},
                                  {offsetName.constData(), 123L, SPI_INPUT_FILE}}) {
        void* info = nullptr;
        void* bits = nullptr;
        QCOMPARE(getPicture(buf, len, flag, &info, &bits, nullptr, 0), int(SPI_OK));
        QVERIFY(info && bits);
        const auto* h = static_cast<const uint8_t*>(info);
        QCOMPARE(QByteArray(static_cast<const char*>(info), 20), header);
        const size_t entries = bitCount <= 8 ? size_t(1) << bitCount : 0;
        QVERIFY(::malloc_usable_size(info) >= 40 + 4 * entries);
        const size_t stride = ((size_t(width) * bitCount + 31) / 32) * 4;
        QVERIFY(::malloc_usable_size(bits) >= stride * size_t(height));
        if (ramp) {
            QCOMPARE(int(h[40 + 4 * 255]), 255);
            QCOMPARE(int(h[40 + 4 * 77 + 1]), 77);
        }
        // The reader takes both blocks over; plain 24-bit rows stay where they are.
        const auto image = Take(info, bits);
        QVERIFY(image);
        QCOMPARE(image->width(), width);
        QCOMPARE(image->data() == bits, bitCount == 24);
    }

    // Failures leave the caller's handles alone; the progress callback can cancel.
    void* info = reinterpret_cast<void*>(0x1);
    void* bits = reinterpret_cast<void*>(0x2);
    const QByteArray junk("definitely not an image");
    QVERIFY(getPicture(junk.constData(), long(junk.size()), SPI_INPUT_MEMORY, &info, &bits, nullptr,
                       0) != 0);
    QVERIFY(getPicture("/nonexistent/file", 0, SPI_INPUT_FILE, &info, &bits, nullptr, 0) != 0);
    QVERIFY(getPicture(plainName.constData(), 0, 2, &info, &bits, nullptr, 0) != 0);
    auto cancel = [](int, int, long lData) -> int { return lData == 42 ? 1 : 0; };
    const long size = long(file.size());
    QCOMPARE(getPicture(file.constData(), size, SPI_INPUT_MEMORY, &info, &bits, cancel, 42),
             int(SPI_ABORT));
    QCOMPARE(info, reinterpret_cast<void*>(0x1));
    QCOMPARE(bits, reinterpret_cast<void*>(0x2));
    QCOMPARE(getPicture(file.constData(), size, SPI_INPUT_MEMORY, &info, &bits, cancel, 0),
             int(SPI_OK));
    std::free(info);
    std::free(bits);
    ::dlclose(handle);
}

void TestImagePlugins::decodesOnSeveralThreads() {
    std::vector<std::string> paths = pictures;
    paths.push_back(bmpAsJpeg);
    std::vector<Pixels> reference;
    for (const std::string& p : paths)
        reference.push_back(Words(*DecodeImageFile(p, {})));
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                const size_t k = size_t(t + i) % paths.size();
                const auto image = DecodeImageFile(paths[k], {});
                auto frame =
                    PixelBuffer::allocate(40, 30, PixelFormat::Indexed8, RowOrder::BottomUp);
                if (!image || !frame || Words(*image) != reference[k])
                    ++mismatches;
                else
                    RenderFrame(&*image, DrawMode::Stretch, *frame);
            }
        });
    for (auto& t : threads)
        t.join();
    QCOMPARE(mismatches.load(), 0);
}

void TestImagePlugins::orientation_data() {
    QTest::addColumn<QString>("plugin");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("apply"); // SPI_APPLY_ORIENTATION
    QTest::addColumn<QString>("shown");

    // The stored picture is ABC/DEF; what each Exif value asks for shows as:
    const char* const turned[] = {"",         "ABC/DEF",  "CBA/FED",  "FED/CBA", "DEF/ABC",
                                  "AD/BE/CF", "DA/EB/FC", "FC/EB/DA", "CF/BE/AD"};
    const Pixels stored = Cells("ABC/DEF");
    const QByteArray jpeg = MakeJpeg(3 * Cell, 2 * Cell, 3, RgbBytes(stored));
    for (int o = 1; o <= 8; ++o)
        QTest::newRow(qPrintable(QString("JPEG, Exif orientation %1").arg(o)))
            << "ifjpeg.spi" << WithExif(jpeg, ExifTiff(o, o % 2 == 0)) << true << turned[o];
    QTest::newRow("JPEG, orientation 6 not asked for")
        << "ifjpeg.spi" << WithExif(jpeg, ExifTiff(6)) << false << turned[1];
    QByteArray lost = ExifTiff(6);
    lost[4] = char(0xf0); // the directory offset points past the block
    QTest::newRow("JPEG, Exif directory out of bounds")
        << "ifjpeg.spi" << WithExif(jpeg, lost) << true << turned[1];

    const TiffSpec rgb = {.width = 3 * Cell, .height = 2 * Cell, .samples = RgbBytes(stored)};
    for (auto [o, apply] : {std::pair{6, true}, {3, true}, {6, false}}) {
        TiffSpec spec = rgb;
        spec.orientation = o;
        QTest::newRow(
            qPrintable(QString("TIFF, orientation %1%2").arg(o).arg(apply ? "" : " not asked for")))
            << "iftiff.spi" << MakeTiff(spec) << apply << turned[apply ? o : 1];
    }
    std::vector<uint16_t> map(768);
    for (int i = 0; i < 6; ++i)
        for (int c = 0; c < 3; ++c)
            map[size_t(256 * c + i)] =
                uint16_t((CellColour(QChar('A' + i)) >> (16 - 8 * c) & 255) * 257);
    std::vector<uint8_t> indices;
    for (size_t i = 0; i < stored.size(); ++i)
        indices.push_back(uint8_t(i / (3 * Cell * Cell) * 3 + i % (3 * Cell) / Cell));
    QTest::newRow("TIFF palette, orientation 5") << "iftiff.spi"
                                                 << MakeTiff({.width = 3 * Cell,
                                                              .height = 2 * Cell,
                                                              .photometric = PHOTOMETRIC_PALETTE,
                                                              .orientation = 5,
                                                              .colormap = map,
                                                              .samples = indices})
                                                 << true << turned[5];

    // HEIF turns by its container's rotation always, and never by its Exif block.
    const QByteArray rotated =
        MakeHeif(heif_compression_HEVC, 3 * Cell, 2 * Cell, stored, false, 6);
    QTest::newRow("HEIC rotated by its container") << "ifheif.spi" << rotated << true << turned[6];
    QTest::newRow("HEIC rotated by its container, not asked for")
        << "ifheif.spi" << rotated << false << turned[6];
    QTest::newRow("HEIC with Exif orientation 6")
        << "ifheif.spi"
        << MakeHeif(heif_compression_HEVC, 3 * Cell, 2 * Cell, stored, false, 1, ExifTiff(6))
        << true << turned[1];
}

void TestImagePlugins::orientation() {
    QFETCH(QString, plugin);
    QFETCH(QByteArray, file);
    QFETCH(bool, apply);
    QFETCH(QString, shown);
    const QByteArray library = QByteArray(VISTROM_BIN_DIR) + "/" + plugin.toLatin1();
    void* handle = ::dlopen(library.constData(), RTLD_NOW | RTLD_LOCAL);
    QVERIFY(handle);
    auto getPicture = reinterpret_cast<SpiGetPictureFunc>(::dlsym(handle, "GetPicture"));
    void* info = nullptr;
    void* bits = nullptr;
    const unsigned flag = SPI_INPUT_MEMORY | (apply ? SPI_APPLY_ORIENTATION : 0);
    QCOMPARE(getPicture(file.constData(), long(file.size()), flag, &info, &bits, nullptr, 0),
             int(SPI_OK));
    const auto image = Take(info, bits);
    ::dlclose(handle);
    QVERIFY(image);
    const QStringList rows = shown.split('/');
    QCOMPARE(image->width(), rows[0].size() * Cell);
    QCOMPARE(image->height(), rows.size() * Cell);
    const Pixels pixels = Words(*image);
    for (int y = 0; y < rows.size(); ++y)
        for (int x = 0; x < rows[0].size(); ++x) {
            const uint32_t got =
                pixels[size_t((y * Cell + Cell / 2) * image->width() + x * Cell + Cell / 2)];
            const uint32_t meant = CellColour(rows[y][x]);
            for (int shift : {0, 8, 16})
                QVERIFY2(std::abs(int(got >> shift & 255) - int(meant >> shift & 255)) <= 12,
                         qPrintable(QString("cell %1,%2: %3").arg(x).arg(y).arg(got, 8, 16)));
        }
}

QTEST_GUILESS_MAIN(TestImagePlugins)
#include "tst_imageplugins.moc"
