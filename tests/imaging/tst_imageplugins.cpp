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

std::vector<uint8_t> RgbSamples(int width, int height, uint32_t (*colour)(int, int)) {
    std::vector<uint8_t> out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t c = colour(x, y);
            out.push_back(uint8_t(c >> 16));
            out.push_back(uint8_t(c >> 8));
            out.push_back(uint8_t(c));
        }
    return out;
}

// Four flat 8x8 blocks per 16x16 tile: JPEG keeps flat blocks nearly exact.
uint32_t Blocks(int x, int y) {
    static const uint32_t colours[4] = {0xd02010, 0x20b040, 0x3040e0, 0xf0f0f0};
    return colours[((x / 8) % 2) + 2 * ((y / 8) % 2)];
}
uint32_t Orange(int, int) {
    return 0xff8000;
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift : {0, 8, 16})
        if (std::abs(int((a >> shift) & 255) - int((b >> shift) & 255)) > tolerance)
            return false;
    return (a >> 24) == (b >> 24);
}

// Runs f with standard error sent to a file; answers what was printed.
template <typename F> QByteArray CaptureStderr(F f) {
    QTemporaryFile capture;
    if (!capture.open())
        return "cannot capture";
    std::fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(capture.handle(), 2);
    f();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    capture.seek(0);
    return capture.readAll();
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

Pixels Contents(const Surface& s) {
    return Pixels(s.bits(), s.bits() + size_t(s.width()) * s.height());
}

std::string Path(const QTemporaryDir& dir, const char* name) {
    return dir.filePath(name).toStdString();
}

} // namespace

class TestImagePlugins : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    std::string jpegPath, greyPath, pngPath, bmpAsJpeg, bmpAsPng;

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void searchOrder();
    void realPluginsArePresent();
    void jpeg_data();
    void jpeg();
    void png_data();
    void png();
    void otherFilesFallBackToTheBmpReader();
    void damagedFilesFallBackSilently_data();
    void damagedFilesFallBackSilently();
    void missingPluginsFallBackSilently();
    void specialFilesAreRefused();
    void testPlugins_data();
    void testPlugins();
    void loadThenBlitDrawsLikeDrawImageFile();
    void decodedImagesUseTheSameRectangles();
    void getPictureInterface_data();
    void getPictureInterface();
    void decodesOnSeveralThreads();
};

void TestImagePlugins::initTestCase() {
    QVERIFY(dir.isValid());
    jpegPath = Path(dir, "blocks.jpg");
    greyPath = Path(dir, "grey.jpeg");
    pngPath = Path(dir, "pattern.png");
    bmpAsJpeg = Path(dir, "really-a-bitmap.JPG");
    bmpAsPng = Path(dir, "really-a-bitmap.png");
    QVERIFY(WriteFile(QString::fromStdString(jpegPath),
                      MakeJpeg(32, 16, 3, RgbSamples(32, 16, Blocks))));
    std::vector<uint8_t> greySamples;
    for (int i = 0; i < 16 * 8; ++i)
        greySamples.push_back(uint8_t(i < 64 ? 40 : 200));
    QVERIFY(WriteFile(QString::fromStdString(greyPath), MakeJpeg(16, 8, 1, greySamples)));
    PngSpec p;
    p.width = 7;
    p.height = 5;
    p.samples = RgbSamples(7, 5, PatternColour);
    QVERIFY(WriteFile(QString::fromStdString(pngPath), MakePng(p)));
    QVERIFY(WriteFile(QString::fromStdString(bmpAsJpeg), MakeBmp24(3, 2, Pattern(3, 2))));
    QVERIFY(WriteFile(QString::fromStdString(bmpAsPng), MakeBmp24(3, 2, Pattern(3, 2))));
}

void TestImagePlugins::init() {
    SetPluginSearchDirsForTesting(std::vector<std::string>{VISTROM_BIN_DIR});
}

void TestImagePlugins::cleanupTestCase() {
    SetPluginSearchDirsForTesting(std::nullopt);
}

void TestImagePlugins::searchOrder() {
    SetPluginSearchDirsForTesting(std::nullopt);
    const QByteArray saved = qgetenv("VISTROM_PLUGIN_DIR");
    qputenv("VISTROM_PLUGIN_DIR", "/some/where");
    std::vector<std::string> dirs = PluginSearchDirs();
    QCOMPARE(dirs.size(), size_t(3));
    QCOMPARE(QString::fromStdString(dirs[0]), QCoreApplication::applicationDirPath());
    QCOMPARE(dirs[1], std::string("/some/where"));
    QCOMPARE(dirs[2], std::string(VISTROM_PLUGIN_INSTALL_DIR));
    qunsetenv("VISTROM_PLUGIN_DIR");
    dirs = PluginSearchDirs();
    QCOMPARE(dirs.size(), size_t(2));
    QCOMPARE(dirs[1], std::string(VISTROM_PLUGIN_INSTALL_DIR));
    if (!saved.isNull())
        qputenv("VISTROM_PLUGIN_DIR", saved);
}

void TestImagePlugins::realPluginsArePresent() {
    QVERIFY(IsPluginPresent("ifjpeg.spi"));
    QVERIFY(IsPluginPresent("ifpng.spi"));
    QVERIFY(!IsPluginPresent("ifgif.spi"));
    QVERIFY(!IsPluginPresent("../bin/ifjpeg.spi")); // bare file names only
    QVERIFY(!IsPluginPresent(""));
}

void TestImagePlugins::jpeg_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<Pixels>("expected");

    Pixels blocks, orange;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x)
            blocks.push_back(0xff000000u | Blocks(x, y));
    QTest::newRow("colour") << MakeJpeg(32, 16, 3, RgbSamples(32, 16, Blocks)) << 32 << 16
                            << blocks;
    QTest::newRow("progressive") << MakeJpeg(32, 16, 3, RgbSamples(32, 16, Blocks), 100, true) << 32
                                 << 16 << blocks;
    orange.assign(13 * 7, 0xffff8000u);
    QTest::newRow("odd size") << MakeJpeg(13, 7, 3, RgbSamples(13, 7, Orange)) << 13 << 7 << orange;

    std::vector<uint8_t> greySamples;
    Pixels greyExpected;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 17; ++x) {
            const uint8_t v = x < 8 ? 30 : 220;
            greySamples.push_back(v);
            greyExpected.push_back(0xff000000u | v << 16 | v << 8 | v);
        }
    QTest::newRow("greyscale") << MakeJpeg(17, 8, 1, greySamples) << 17 << 8 << greyExpected;

    // CMYK as Adobe software writes it: inverted, with an Adobe marker.
    std::vector<uint8_t> cmyk;
    Pixels cmykExpected;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool red = x < 8;
            // ink: red = C0 M255 Y255 K0; grey = C0 M0 Y0 K128
            const uint8_t ink[4] = {0, uint8_t(red ? 255 : 0), uint8_t(red ? 255 : 0),
                                    uint8_t(red ? 0 : 128)};
            for (uint8_t v : ink)
                cmyk.push_back(uint8_t(255 - v));
            cmykExpected.push_back(red ? 0xffff0000u : 0xff7f7f7fu);
        }
    QTest::newRow("CMYK") << MakeJpeg(16, 8, 4, cmyk) << 16 << 8 << cmykExpected;
}

void TestImagePlugins::jpeg() {
    QFETCH(QByteArray, file);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(Pixels, expected);
    const QString path = dir.filePath("case.jpeg");
    QVERIFY(WriteFile(path, file));

    const auto image = LoadImageFile(path.toStdString());
    QVERIFY(image);
    QCOMPARE(image->width, width);
    QCOMPARE(image->height, height);
    for (size_t i = 0; i < expected.size(); ++i)
        if (!Near(image->pixels[i], expected[i], 3))
            QFAIL(qPrintable(QString("pixel %1: %2, expected %3")
                                 .arg(i)
                                 .arg(image->pixels[i], 8, 16)
                                 .arg(expected[i], 8, 16)));
}

void TestImagePlugins::png_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Pixels>("expected");
    QTest::addColumn<int>("tolerance");

    PngSpec s;
    s.width = 7;
    s.height = 5;
    s.samples = RgbSamples(7, 5, PatternColour);
    Pixels rgb;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            rgb.push_back(0xff000000u | PatternColour(x, y));
    QTest::newRow("RGB 8-bit, odd width") << MakePng(s) << rgb << 0;
    s.interlaced = true;
    QTest::newRow("RGB 8-bit, interlaced") << MakePng(s) << rgb << 0;

    {
        // Alpha is composited over white.
        PngSpec a;
        a.width = 3;
        a.height = 1;
        a.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
        a.samples = {200, 10, 20, 255, 200, 10, 20, 0, 0, 0, 0, 128};
        QTest::newRow("RGBA 8-bit") << MakePng(a) << Pixels{0xffc80a14u, White, 0xffbcbcbcu} << 2;
    }
    {
        PngSpec p;
        p.width = 4;
        p.height = 2;
        p.colorType = PNG_COLOR_TYPE_PALETTE;
        p.bitDepth = 2;
        p.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}};
        p.paletteAlpha = {255, 255, 255, 0};
        p.samples = {0x1b, 0xe4}; // indices 0 1 2 3 / 3 2 1 0
        QTest::newRow("palette 2-bit with tRNS")
            << MakePng(p) << Pixels{0xffff0000u, 0xff00ff00u, 0xff0000ffu, White,
                                    White,       0xff0000ffu, 0xff00ff00u, 0xffff0000u}
            << 0;
    }
    {
        PngSpec g;
        g.width = 3;
        g.height = 1;
        g.colorType = PNG_COLOR_TYPE_GRAY;
        g.bitDepth = 16;
        g.samples = {0, 0, 0x80, 0x80, 0xff, 0xff};
        QTest::newRow("grey 16-bit") << MakePng(g) << Pixels{0xff000000u, 0xff808080u, White} << 1;
        g.bitDepth = 1;
        g.width = 10;
        g.samples = {0xa5, 0x80};
        QTest::newRow("grey 1-bit")
            << MakePng(g) << Pixels{White, 0xff000000u, White, 0xff000000u, 0xff000000u,
                                    White, 0xff000000u, White, White,       0xff000000u}
            << 0;
    }
    {
        PngSpec ga;
        ga.width = 2;
        ga.height = 1;
        ga.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
        ga.samples = {50, 255, 50, 0};
        QTest::newRow("grey with alpha") << MakePng(ga) << Pixels{0xff323232u, White} << 0;
    }
}

void TestImagePlugins::png() {
    QFETCH(QByteArray, file);
    QFETCH(Pixels, expected);
    QFETCH(int, tolerance);
    QVERIFY(!file.isEmpty());
    const QString path = dir.filePath("case.PNG");
    QVERIFY(WriteFile(path, file));
    const auto image = LoadImageFile(path.toStdString());
    QVERIFY(image);
    QCOMPARE(image->pixels.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        if (!Near(image->pixels[i], expected[i], tolerance))
            QFAIL(qPrintable(QString("pixel %1: %2, expected %3")
                                 .arg(i)
                                 .arg(image->pixels[i], 8, 16)
                                 .arg(expected[i], 8, 16)));
}

void TestImagePlugins::otherFilesFallBackToTheBmpReader() {
    // A bitmap under a JPEG or PNG name: the plug-in refuses it, the BMP reader draws it.
    for (const std::string& path : {bmpAsJpeg, bmpAsPng}) {
        Surface surface(3, 2, Sentinel);
        Surface plugged(3, 2, Sentinel);
        QCOMPARE(TryDecoderPlugin(path, plugged, 3, 2, 2), 1);
        QCOMPARE(Contents(plugged), Pixels(6, Sentinel));
        QCOMPARE(DrawImageFile(path, surface, 3, 2, 2), 0);
        QCOMPARE(surface.pixel(2, 1), 0xff000000u | PatternColour(2, 1));
    }
    // A JPEG under a BMP name is never shown to the plug-in.
    const std::string jpegAsBmp = Path(dir, "photo.bmp");
    QVERIFY(QFile::copy(QString::fromStdString(jpegPath), QString::fromStdString(jpegAsBmp)));
    Surface surface(4, 4, Sentinel);
    QCOMPARE(DrawImageFile(jpegAsBmp, surface, 4, 4, 0), 1);
    // Five bytes ".jpeg" alone is no JPEG name.
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QVERIFY(QFile::copy(QString::fromStdString(jpegPath), ".jpeg"));
    QVERIFY(QFile::copy(QString::fromStdString(jpegPath), "x.jpeg"));
    QCOMPARE(DrawImageFile(".jpeg", surface, 4, 4, 0), 1);
    QCOMPARE(DrawImageFile("x.jpeg", surface, 4, 4, 0), 0);
    QDir::setCurrent(old);
}

void TestImagePlugins::damagedFilesFallBackSilently_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("result");
    const QByteArray good = MakeJpeg(32, 16, 3, RgbSamples(32, 16, Blocks));
    QTest::newRow("JPEG cut inside its headers") << good.left(100) << QByteArray("a.jpg") << 1;
    QTest::newRow("JPEG marker then junk")
        << QByteArray("\xff\xd8\xff\xe0junk junk junk junk") << QByteArray("a.jpg") << 1;
    QTest::newRow("empty JPEG") << QByteArray() << QByteArray("a.jpg") << 1;
    // libjpeg makes what it can of a file cut in its data, as viewers do.
    QTest::newRow("JPEG cut inside its data")
        << good.left(good.size() - 40) << QByteArray("a.jpg") << 0;

    PngSpec s;
    s.width = 7;
    s.height = 5;
    s.samples = RgbSamples(7, 5, PatternColour);
    const QByteArray goodPng = MakePng(s);
    QTest::newRow("PNG cut short") << goodPng.left(goodPng.size() - 20) << QByteArray("a.png") << 1;
    QByteArray badCrc = goodPng;
    badCrc[40] = char(badCrc[40] ^ 0x55);
    QTest::newRow("PNG with a damaged chunk") << badCrc << QByteArray("a.png") << 1;
    QTest::newRow("PNG signature only") << goodPng.left(8) << QByteArray("a.png") << 1;
    QByteArray huge = goodPng;
    huge[16] = 0; // IHDR width, big-endian: 65536
    huge[17] = 1;
    huge[18] = 0;
    huge[19] = 0;
    const uint32_t crc = Crc32(huge.mid(12, 17)); // a valid chunk: the size alone must stop it
    for (int i = 0; i < 4; ++i)
        huge[29 + i] = char(crc >> (24 - 8 * i));
    QTest::newRow("PNG wider than 16384") << huge << QByteArray("a.png") << 1;
}

void TestImagePlugins::damagedFilesFallBackSilently() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, name);
    QFETCH(int, result);
    const QString path = dir.filePath(QString::fromLatin1(name));
    QVERIFY(WriteFile(path, file));
    int answer = -1;
    Surface surface(40, 20, Sentinel);
    const QByteArray printed =
        CaptureStderr([&] { answer = DrawImageFile(path.toStdString(), surface, 40, 20, 0); });
    QCOMPARE(answer, result);
    QCOMPARE(printed, QByteArray());
    if (result == 1)
        QCOMPARE(Contents(surface), Pixels(40 * 20, Sentinel));
}

void TestImagePlugins::missingPluginsFallBackSilently() {
    QTemporaryDir empty;
    SetPluginSearchDirsForTesting(std::vector<std::string>{empty.path().toStdString()});
    QVERIFY(!IsPluginPresent("ifjpeg.spi"));
    QVERIFY(!IsPluginPresent("ifpng.spi"));
    for (const std::string& path : {jpegPath, greyPath, pngPath}) {
        Surface surface(32, 16, Sentinel);
        int answer = -1;
        const QByteArray printed =
            CaptureStderr([&] { answer = DrawImageFile(path, surface, 32, 16, 0); });
        QCOMPARE(answer, 1);
        QCOMPARE(printed, QByteArray());
        QCOMPARE(Contents(surface), Pixels(32 * 16, Sentinel));
        QVERIFY(!LoadImageFile(path));
    }
    Surface surface(3, 2, Sentinel);
    QCOMPARE(DrawImageFile(bmpAsJpeg, surface, 3, 2, 2), 0);
    QCOMPARE(surface.pixel(0, 0), 0xff000000u | PatternColour(0, 0));

    // Put back, they are found again.
    SetPluginSearchDirsForTesting(
        std::vector<std::string>{empty.path().toStdString(), VISTROM_BIN_DIR});
    QVERIFY(IsPluginPresent("ifjpeg.spi"));
    QCOMPARE(DrawImageFile(jpegPath, surface, 3, 2, 2), 0);
}

void TestImagePlugins::specialFilesAreRefused() {
    // A FIFO would block a reader that waits for a writer; a folder opens but is no image.
    for (const char* name : {"pipe.jpg", "pipe.png", "pipe.bmp"})
        QCOMPARE(::mkfifo(Path(dir, name).c_str(), 0600), 0);
    QVERIFY(QDir(dir.path()).mkdir("folder.jpeg"));
    for (const char* name : {"pipe.jpg", "pipe.png", "pipe.bmp", "folder.jpeg"}) {
        Surface surface(4, 4, Sentinel);
        QCOMPARE(DrawImageFile(Path(dir, name), surface, 4, 4, 0), 1);
        QCOMPARE(Contents(surface), Pixels(16, Sentinel));
    }
}

void TestImagePlugins::testPlugins_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("jpegResult");
    QTest::addColumn<bool>("bitmapDrawn");
    QTest::newRow("no GetPicture") << "noexport" << 1 << true;
    QTest::newRow("GetPicture fails") << "failing" << 1 << true;
    // Once GetPicture has succeeded the file is finished with, drawn or not.
    QTest::newRow("GetPicture answers nonsense") << "bogus" << 0 << false;
}

void TestImagePlugins::testPlugins() {
    QFETCH(QString, kind);
    QFETCH(int, jpegResult);
    QFETCH(bool, bitmapDrawn);
    const std::string folder = std::string(VISTROM_TEST_PLUGIN_DIR) + "/" + kind.toStdString();
    // The test plug-in comes first and shadows the real one behind it.
    SetPluginSearchDirsForTesting(std::vector<std::string>{folder, VISTROM_BIN_DIR});
    QVERIFY(IsPluginPresent("ifjpeg.spi"));
    QVERIFY(IsPluginPresent("ifpng.spi"));

    for (const std::string& path : {jpegPath, pngPath}) {
        Surface surface(32, 16, Sentinel);
        int answer = -1;
        const QByteArray printed =
            CaptureStderr([&] { answer = DrawImageFile(path, surface, 32, 16, 0); });
        QCOMPARE(answer, jpegResult);
        QCOMPARE(printed, QByteArray());
        QCOMPARE(Contents(surface), Pixels(32 * 16, Sentinel));
    }
    Surface surface(3, 2, Sentinel);
    QCOMPARE(DrawImageFile(bmpAsJpeg, surface, 3, 2, 2), 0);
    QCOMPARE(surface.pixel(0, 0), bitmapDrawn ? 0xff000000u | PatternColour(0, 0) : Sentinel);
}

void TestImagePlugins::loadThenBlitDrawsLikeDrawImageFile() {
    BmpSpec rle;
    rle.width = 6;
    rle.height = 3;
    rle.bitCount = 8;
    rle.compression = 1;
    rle.palette = {0xff0000, 0x00ff00};
    rle.pixels = QByteArray::fromHex("0601000002010001");
    const std::string rlePath = Path(dir, "rle.bmp"), missing = Path(dir, "missing.png");
    QVERIFY(WriteFile(QString::fromStdString(rlePath), MakeBmp(rle)));

    struct Frame {
        unsigned w, h;
    };
    for (const std::string& path : {jpegPath, greyPath, pngPath, bmpAsJpeg, rlePath, missing}) {
        const auto image = LoadImageFile(path);
        for (int mode : {0, 1, 2, 7}) {
            for (Frame f : {Frame{20, 10}, Frame{50, 41}, Frame{3, 2}, Frame{0, 0}}) {
                Surface drawn(40, 30, Sentinel), blitted(40, 30, Sentinel);
                const int result = DrawImageFile(path, drawn, f.w, f.h, mode);
                QCOMPARE(result, image ? 0 : 1);
                if (image)
                    BlitImage(*image, blitted, f.w, f.h, mode);
                QVERIFY(Contents(drawn) == Contents(blitted));
            }
        }
    }
}

void TestImagePlugins::decodedImagesUseTheSameRectangles() {
    // A 101x75 PNG and BMP land at (110, 83) in a 320x240 frame.
    PngSpec s;
    s.width = 101;
    s.height = 75;
    s.samples = RgbSamples(101, 75, PatternColour);
    const std::string centredPng = Path(dir, "centred.png"), bmpPath = Path(dir, "centred.bmp");
    QVERIFY(WriteFile(QString::fromStdString(centredPng), MakePng(s)));
    QVERIFY(WriteFile(QString::fromStdString(bmpPath), MakeBmp24(101, 75, Pattern(101, 75))));
    for (int mode : {0, 1, 2}) {
        Surface fromPng(320, 240, Sentinel), fromBmp(320, 240, Sentinel);
        QCOMPARE(DrawImageFile(centredPng, fromPng, 320, 240, mode), 0);
        QCOMPARE(DrawImageFile(bmpPath, fromBmp, 320, 240, mode), 0);
        QVERIFY(Contents(fromPng) == Contents(fromBmp));
        if (mode == 0) {
            QCOMPARE(fromPng.pixel(110, 83), 0xff000000u | PatternColour(0, 0));
            QCOMPARE(fromPng.pixel(109, 83), Sentinel);
        }
    }
}

void TestImagePlugins::getPictureInterface_data() {
    QTest::addColumn<QString>("plugin");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("bitCount");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("JPEG colour") << "ifjpeg.spi" << MakeJpeg(13, 7, 3, RgbSamples(13, 7, Orange))
                                 << 24 << 13 << 7;
    std::vector<uint8_t> g(5 * 3, 77);
    QTest::newRow("JPEG grey") << "ifjpeg.spi" << MakeJpeg(5, 3, 1, g) << 8 << 5 << 3;
    PngSpec s;
    s.width = 5;
    s.height = 3;
    s.samples = RgbSamples(5, 3, Orange);
    QTest::newRow("PNG") << "ifpng.spi" << MakePng(s) << 24 << 5 << 3;
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

    // From memory, from a file, and from a file at an offset.
    const QString plain = dir.filePath("plain.img"), offset = dir.filePath("offset.img");
    QVERIFY(WriteFile(plain, file));
    QVERIFY(WriteFile(offset, QByteArray(123, 'x') + file));
    struct Input {
        const char* buf;
        long len;
        unsigned flag;
    };
    const QByteArray plainName = QFile::encodeName(plain), offsetName = QFile::encodeName(offset);
    for (Input in : {Input{file.constData(), long(file.size()), SPI_INPUT_MEMORY},
                     Input{plainName.constData(), 0, SPI_INPUT_FILE},
                     Input{offsetName.constData(), 123, SPI_INPUT_FILE}}) {
        void* info = nullptr;
        void* bits = nullptr;
        QCOMPARE(getPicture(in.buf, in.len, in.flag, &info, &bits, nullptr, 0), int(SPI_OK));
        QVERIFY(info && bits);
        const auto* h = static_cast<const uint8_t*>(info);
        int32_t w = 0, ht = 0;
        std::memcpy(&w, h + 4, 4);
        std::memcpy(&ht, h + 8, 4);
        QCOMPARE(int(h[0]), 40);
        QCOMPARE(w, width);
        QCOMPARE(ht, height); // positive: bottom-up rows
        QCOMPARE(int(h[12]), 1);
        QCOMPARE(int(h[14]), bitCount);
        QCOMPARE(int(h[16]), 0);
        const size_t entries = bitCount <= 8 ? size_t(1) << bitCount : 0;
        QVERIFY(::malloc_usable_size(info) >= 40 + 4 * entries);
        const size_t stride = ((size_t(width) * bitCount + 31) / 32) * 4;
        QVERIFY(::malloc_usable_size(bits) >= stride * size_t(height));
        if (entries) {
            QCOMPARE(int(h[40 + 4 * 255]), 255); // a grey ramp
            QCOMPARE(int(h[40 + 4 * 77 + 1]), 77);
        }
        // The bottom row comes first: it decodes to the same image.
        const auto image =
            DecodePackedDib(h, ::malloc_usable_size(info), static_cast<const uint8_t*>(bits),
                            ::malloc_usable_size(bits));
        QVERIFY(image);
        QCOMPARE(image->width, width);
        std::free(info);
        std::free(bits);
    }

    // Failures leave the caller's handles alone.
    void* info = reinterpret_cast<void*>(0x1);
    void* bits = reinterpret_cast<void*>(0x2);
    const QByteArray junk("definitely not an image");
    QVERIFY(getPicture(junk.constData(), long(junk.size()), SPI_INPUT_MEMORY, &info, &bits, nullptr,
                       0) != 0);
    QVERIFY(getPicture("/nonexistent/file", 0, SPI_INPUT_FILE, &info, &bits, nullptr, 0) != 0);
    QVERIFY(getPicture(plainName.constData(), 0, 2, &info, &bits, nullptr, 0) != 0);
    auto cancel = [](int, int, long lData) -> int { return lData == 42 ? 1 : 0; };
    QCOMPARE(
        getPicture(file.constData(), long(file.size()), SPI_INPUT_MEMORY, &info, &bits, cancel, 42),
        int(SPI_ABORT));
    QCOMPARE(info, reinterpret_cast<void*>(0x1));
    QCOMPARE(bits, reinterpret_cast<void*>(0x2));
    QCOMPARE(
        getPicture(file.constData(), long(file.size()), SPI_INPUT_MEMORY, &info, &bits, cancel, 0),
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
