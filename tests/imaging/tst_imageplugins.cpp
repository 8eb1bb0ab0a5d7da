// The decoder plug-ins "ifjpeg.spi" and "ifpng.spi" through the loader, their
// GetPicture interface, the fallback to the BMP reader, and test plug-ins
// that load without GetPicture, fail, or answer nonsense.

#include "BmpFixtures.h"
#include "CodecFixtures.h"

#include "../../plugins/spi.h"
#include "imaging/BmpReader.h"
#include "imaging/ImageDrawing.h"
#include "imaging/PluginLoader.h"

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

constexpr uint32_t Sentinel = 0xff123456u;
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

Pixels Contents(const Surface& s) {
    return Pixels(s.bits(), s.bits() + size_t(s.width()) * s.height());
}

// Draws with standard error sent to a file; the draw must print nothing.
int DrawSilently(const std::string& path, Surface& surface, unsigned w, unsigned h, int mode) {
    QTemporaryFile capture;
    if (!capture.open())
        return -1;
    std::fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(capture.handle(), 2);
    const int result = DrawImageFile(path, surface, w, h, mode);
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    capture.seek(0);
    return capture.readAll().isEmpty() ? result : -2;
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
    std::string jpegPath, greyPath, pngPath, bmpAsJpeg, bmpAsPng;

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
    void damagedFilesFallBackSilently_data();
    void damagedFilesFallBackSilently();
    void pluginFolders_data();
    void pluginFolders();
    void specialFilesAreRefused();
    void loadThenBlitDrawsLikeDrawImageFile();
    void getPictureInterface_data();
    void getPictureInterface();
    void decodesOnSeveralThreads();
};

void TestImagePlugins::initTestCase() {
    QVERIFY(dir.isValid());
    jpegPath = path("blocks.jpg");
    greyPath = path("grey.jpeg");
    pngPath = path("pattern.png");
    bmpAsJpeg = path("really-a-bitmap.JPG");
    bmpAsPng = path("really-a-bitmap.png");
    QVERIFY(write(jpegPath, BlocksJpeg()));
    std::vector<uint8_t> grey(16 * 8, 40);
    std::fill(grey.begin() + 64, grey.end(), 200);
    QVERIFY(write(greyPath, MakeJpeg(16, 8, 1, grey)));
    QVERIFY(write(pngPath, PatternPng(7, 5)));
    QVERIFY(write(bmpAsJpeg, MakeBmp24(3, 2, Pattern(3, 2))));
    QVERIFY(write(bmpAsPng, MakeBmp24(3, 2, Pattern(3, 2))));
}

void TestImagePlugins::init() {
    SetPluginSearchDirsForTesting(std::vector<std::string>{VISTROM_BIN_DIR});
}

void TestImagePlugins::cleanupTestCase() {
    SetPluginSearchDirsForTesting(std::nullopt);
}

void TestImagePlugins::searchOrder() {
    QVERIFY(IsPluginPresent("ifjpeg.spi"));
    QVERIFY(IsPluginPresent("ifpng.spi"));
    QVERIFY(!IsPluginPresent("ifgif.spi"));
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
}

void TestImagePlugins::decodes() {
    QFETCH(QByteArray, file);
    QFETCH(QString, name);
    QFETCH(int, width);
    QFETCH(Pixels, expected);
    QFETCH(int, tolerance);
    QVERIFY(!file.isEmpty());
    const QString p = dir.filePath(name);
    QVERIFY(WriteFile(p, file));
    const auto image = LoadImageFile(p.toStdString());
    QVERIFY(image);
    QCOMPARE(image->width, width);
    QCOMPARE(image->pixels.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        for (int shift : {0, 8, 16, 24})
            if (std::abs(int((image->pixels[i] >> shift) & 255) -
                         int((expected[i] >> shift) & 255)) > (shift == 24 ? 0 : tolerance))
                QFAIL(qPrintable(QString("pixel %1: %2, expected %3")
                                     .arg(i)
                                     .arg(image->pixels[i], 8, 16)
                                     .arg(expected[i], 8, 16)));
}

void TestImagePlugins::otherFilesFallBackToTheBmpReader() {
    // A bitmap under a JPEG or PNG name: the plug-in refuses it, the BMP reader draws it.
    for (const std::string& p : {bmpAsJpeg, bmpAsPng}) {
        Surface surface(3, 2, Sentinel), plugged(3, 2, Sentinel);
        QCOMPARE(TryDecoderPlugin(p, plugged, 3, 2, 2), 1);
        QCOMPARE(Contents(plugged), Pixels(6, Sentinel));
        QCOMPARE(DrawImageFile(p, surface, 3, 2, 2), 0);
        QCOMPARE(surface.pixel(2, 1), Black | PatternColour(2, 1));
    }
    // A JPEG under a BMP name is never shown to the plug-in, nor is ".jpeg" alone.
    Surface surface(4, 4, Sentinel);
    QVERIFY(write(path("photo.bmp"), BlocksJpeg()));
    QCOMPARE(DrawImageFile(path("photo.bmp"), surface, 4, 4, 0), 1);
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QVERIFY(write(".jpeg", BlocksJpeg()) && write("x.jpeg", BlocksJpeg()));
    QCOMPARE(DrawImageFile(".jpeg", surface, 4, 4, 0), 1);
    QCOMPARE(DrawImageFile("x.jpeg", surface, 4, 4, 0), 0);
    QDir::setCurrent(old);
}

void TestImagePlugins::damagedFilesFallBackSilently_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("result");
    const QByteArray good = BlocksJpeg();
    QTest::newRow("JPEG cut inside its headers") << good.left(100) << "a.jpg" << 1;
    QTest::newRow("JPEG marker then junk")
        << QByteArray("\xff\xd8\xff\xe0junk junk junk junk") << "a.jpg" << 1;
    QTest::newRow("empty JPEG") << QByteArray() << "a.jpg" << 1;
    // libjpeg makes what it can of a file cut in its data, as viewers do.
    QTest::newRow("JPEG cut inside its data") << good.left(good.size() - 40) << "a.jpg" << 0;

    const QByteArray png = PatternPng(7, 5);
    QTest::newRow("PNG cut short") << png.left(png.size() - 20) << "a.png" << 1;
    QByteArray badCrc = png;
    badCrc[40] = char(badCrc[40] ^ 0x55);
    QTest::newRow("PNG with a damaged chunk") << badCrc << "a.png" << 1;
    QTest::newRow("PNG signature only") << png.left(8) << "a.png" << 1;
    QByteArray huge = png;
    huge.replace(16, 4, QByteArray::fromHex("00010000")); // IHDR width 65536
    const uint32_t crc = Crc32(huge.mid(12, 17)); // a valid chunk: the size alone must stop it
    for (int i = 0; i < 4; ++i)
        huge[29 + i] = char(crc >> (24 - 8 * i));
    QTest::newRow("PNG wider than 16384") << huge << "a.png" << 1;
}

void TestImagePlugins::damagedFilesFallBackSilently() {
    QFETCH(QByteArray, file);
    QFETCH(QString, name);
    QFETCH(int, result);
    const QString p = dir.filePath(name);
    QVERIFY(WriteFile(p, file));
    Surface surface(40, 20, Sentinel);
    QCOMPARE(DrawSilently(p.toStdString(), surface, 40, 20, 0), result);
    if (result == 1)
        QCOMPARE(Contents(surface), Pixels(40 * 20, Sentinel));
}

void TestImagePlugins::pluginFolders_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("bitmapDrawn");
    QTest::newRow("plug-ins missing") << "missing" << 1 << true;
    QTest::newRow("no GetPicture") << "noexport" << 1 << true;
    QTest::newRow("GetPicture fails") << "failing" << 1 << true;
    // Once GetPicture has succeeded the file is finished with, drawn or not.
    QTest::newRow("GetPicture answers nonsense") << "bogus" << 0 << false;
}

void TestImagePlugins::pluginFolders() {
    QFETCH(QString, kind);
    QFETCH(int, result);
    QFETCH(bool, bitmapDrawn);
    const std::string folder = std::string(VISTROM_TEST_PLUGIN_DIR) + "/" + kind.toStdString();
    // A test plug-in comes first and shadows the real one behind it; "missing" is no folder.
    const bool missing = kind == "missing";
    SetPluginSearchDirsForTesting(missing ? std::vector<std::string>{folder}
                                          : std::vector<std::string>{folder, VISTROM_BIN_DIR});
    QCOMPARE(IsPluginPresent("ifjpeg.spi"), !missing);
    QCOMPARE(IsPluginPresent("ifpng.spi"), !missing);
    for (const std::string& p : {jpegPath, greyPath, pngPath}) {
        Surface surface(32, 16, Sentinel);
        QCOMPARE(DrawSilently(p, surface, 32, 16, 0), result);
        QCOMPARE(Contents(surface), Pixels(32 * 16, Sentinel));
        if (missing)
            QVERIFY(!LoadImageFile(p));
    }
    Surface surface(3, 2, Sentinel);
    QCOMPARE(DrawImageFile(bmpAsJpeg, surface, 3, 2, 2), 0);
    QCOMPARE(surface.pixel(0, 0), bitmapDrawn ? Black | PatternColour(0, 0) : Sentinel);
    if (missing) { // put back, they are found again
        SetPluginSearchDirsForTesting(std::vector<std::string>{folder, VISTROM_BIN_DIR});
        QVERIFY(IsPluginPresent("ifjpeg.spi"));
        QCOMPARE(DrawImageFile(jpegPath, surface, 3, 2, 2), 0);
    }
}

void TestImagePlugins::specialFilesAreRefused() {
    // A FIFO would block a reader that waits for a writer; a folder opens but is no image.
    for (const char* name : {"pipe.jpg", "pipe.png", "pipe.bmp"})
        QCOMPARE(::mkfifo(path(name).c_str(), 0600), 0);
    QVERIFY(QDir(dir.path()).mkdir("folder.jpeg"));
    for (const char* name : {"pipe.jpg", "pipe.png", "pipe.bmp", "folder.jpeg"}) {
        Surface surface(4, 4, Sentinel);
        QCOMPARE(DrawImageFile(path(name), surface, 4, 4, 0), 1);
        QCOMPARE(Contents(surface), Pixels(16, Sentinel));
    }
}

void TestImagePlugins::loadThenBlitDrawsLikeDrawImageFile() {
    const std::string rlePath = path("rle.bmp"), png101 = path("centred.png"),
                      bmp101 = path("centred.bmp");
    QVERIFY(write(rlePath, MakeBmp({.width = 6,
                                    .height = 3,
                                    .bitCount = 8,
                                    .compression = 1,
                                    .palette = {0xff0000, 0x00ff00},
                                    .pixels = QByteArray::fromHex("0601000002010001")})));
    QVERIFY(write(png101, PatternPng(101, 75)));
    QVERIFY(write(bmp101, MakeBmp24(101, 75, Pattern(101, 75))));
    for (const std::string& p :
         {jpegPath, greyPath, pngPath, bmpAsJpeg, rlePath, path("missing.png")}) {
        const auto image = LoadImageFile(p);
        for (int mode : {0, 1, 2, 7})
            for (auto [w, h] : {std::pair{20u, 10u}, {50u, 41u}, {3u, 2u}, {0u, 0u}}) {
                Surface drawn(40, 30, Sentinel), blitted(40, 30, Sentinel);
                QCOMPARE(DrawImageFile(p, drawn, w, h, mode), image ? 0 : 1);
                if (image)
                    BlitImage(*image, blitted, w, h, mode);
                QVERIFY(Contents(drawn) == Contents(blitted));
            }
    }
    // A decoded image lands where a BMP does: 101x75 at (110, 83) in 320x240.
    for (int mode : {0, 1, 2}) {
        Surface fromPng(320, 240, Sentinel), fromBmp(320, 240, Sentinel);
        QCOMPARE(DrawImageFile(png101, fromPng, 320, 240, mode), 0);
        QCOMPARE(DrawImageFile(bmp101, fromBmp, 320, 240, mode), 0);
        QVERIFY(Contents(fromPng) == Contents(fromBmp));
    }
}

void TestImagePlugins::getPictureInterface_data() {
    QTest::addColumn<QString>("plugin");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("bitCount");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("JPEG colour") << "ifjpeg.spi"
                                 << MakeJpeg(13, 7, 3, RgbBytes(Pixels(13 * 7, 0xff8000))) << 24
                                 << 13 << 7;
    QTest::newRow("JPEG grey") << "ifjpeg.spi" << MakeJpeg(5, 3, 1, std::vector<uint8_t>(15, 77))
                               << 8 << 5 << 3;
    QTest::newRow("PNG") << "ifpng.spi" << PatternPng(5, 3) << 24 << 5 << 3;
}

void TestImagePlugins::getPictureInterface() {
    QFETCH(QString, plugin);
    QFETCH(QByteArray, file);
    QFETCH(int, bitCount);
    QFETCH(int, width);
    QFETCH(int, height);
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
        if (entries) {
            QCOMPARE(int(h[40 + 4 * 255]), 255); // a grey ramp
            QCOMPARE(int(h[40 + 4 * 77 + 1]), 77);
        }
        const auto image =
            DecodePackedDib(h, ::malloc_usable_size(info), static_cast<const uint8_t*>(bits),
                            ::malloc_usable_size(bits));
        QVERIFY(image);
        QCOMPARE(image->width, width);
        std::free(info);
        std::free(bits);
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
    const std::vector<std::string> paths = {jpegPath, greyPath, pngPath, bmpAsJpeg};
    std::vector<std::optional<DecodedImage>> reference;
    for (const std::string& p : paths)
        reference.push_back(LoadImageFile(p));
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                const size_t k = size_t(t + i) % paths.size();
                const auto image = LoadImageFile(paths[k]);
                Surface surface(40, 30, White);
                if (!image || image->pixels != reference[k]->pixels ||
                    DrawImageFile(paths[k], surface, 40, 30, 1) != 0)
                    ++mismatches;
            }
        });
    for (auto& t : threads)
        t.join();
    QCOMPARE(mismatches.load(), 0);
}

QTEST_GUILESS_MAIN(TestImagePlugins)
#include "tst_imageplugins.moc"
