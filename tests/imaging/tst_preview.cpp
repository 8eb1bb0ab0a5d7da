// The preview pane: hint 16 shows an image at natural size at the corner of
// a white page; an empty path clears it; other hints change nothing.

#include "BmpFixtures.h"
#include "CodecFixtures.h"

#include "framelist/CVistromDoc.h"
#include "imaging/PluginLoader.h"
#include "ui/CPreView.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

using namespace fixtures;

namespace {

constexpr QRgb White = 0xffffffffu;

std::vector<uint8_t> RgbSamples(int width, int height) {
    std::vector<uint8_t> out;
    for (const uint32_t c : Pattern(width, height)) {
        out.push_back(uint8_t(c >> 16));
        out.push_back(uint8_t(c >> 8));
        out.push_back(uint8_t(c));
    }
    return out;
}

// A picture worth looking at: a hue sweep with a dark frame and a diagonal.
std::vector<uint32_t> Showcase(int width, int height, int variant) {
    std::vector<uint32_t> out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (x < 4 || y < 4 || x >= width - 4 || y >= height - 4 ||
                std::abs(x * height - y * width) < width * 2) {
                out.push_back(0x202020);
                continue;
            }
            const QColor c = QColor::fromHsv((x * 300 / width + variant * 120) % 360,
                                             80 + y * 175 / height, 235);
            out.push_back(uint32_t(c.rgb() & 0xffffff));
        }
    return out;
}

std::vector<uint8_t> ToRgb(const std::vector<uint32_t>& colours) {
    std::vector<uint8_t> out;
    for (uint32_t c : colours) {
        out.push_back(uint8_t(c >> 16));
        out.push_back(uint8_t(c >> 8));
        out.push_back(uint8_t(c));
    }
    return out;
}

QImage PageImage(CPreView& view) {
    return view.widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestPreview : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    QByteArray bmp, jpeg, png, wide;

private slots:
    void initTestCase();
    void startsWhite();
    void showsImagesAtTheCorner_data();
    void showsImagesAtTheCorner();
    void otherHintsChangeNothing();
    void emptyPathClears();
    void undrawableFileLeavesWhite();
    void pageGrowsForLargeImages();
    void screenshots();
};

void TestPreview::initTestCase() {
    SetPluginSearchDirsForTesting(std::vector<std::string>{VISTROM_BIN_DIR});
    bmp = QFile::encodeName(dir.filePath("frame.bmp"));
    jpeg = QFile::encodeName(dir.filePath("frame.jpg"));
    png = QFile::encodeName(dir.filePath("frame.png"));
    wide = QFile::encodeName(dir.filePath("wide.bmp"));
    QVERIFY(WriteFile(QFile::decodeName(bmp), MakeBmp24(30, 20, Pattern(30, 20))));
    std::vector<uint8_t> flat(16 * 16 * 3);
    for (size_t i = 0; i < flat.size(); i += 3) {
        flat[i] = 0x20;
        flat[i + 1] = 0x80;
        flat[i + 2] = 0xe0;
    }
    QVERIFY(WriteFile(QFile::decodeName(jpeg), MakeJpeg(16, 16, 3, flat)));
    PngSpec s;
    s.width = 9;
    s.height = 7;
    s.samples = RgbSamples(9, 7);
    QVERIFY(WriteFile(QFile::decodeName(png), MakePng(s)));
    QVERIFY(WriteFile(QFile::decodeName(wide), MakeBmp24(1500, 3, Pattern(1500, 3))));
}

void TestPreview::startsWhite() {
    CVistromDoc doc;
    CPreView view(&doc);
    QVERIFY(view.path().isEmpty());
    QCOMPARE(view.pageSize(), QSize(1280, 1280));
    const QImage page = PageImage(view);
    QCOMPARE(page.size(), QSize(1280, 1280));
    QCOMPARE(page.pixel(0, 0), White);
    QCOMPARE(page.pixel(1279, 1279), White);
}

void TestPreview::showsImagesAtTheCorner_data() {
    QTest::addColumn<QByteArray>("which");
    QTest::addColumn<QSize>("size");
    QTest::newRow("BMP") << QByteArray("bmp") << QSize(30, 20);
    QTest::newRow("JPEG") << QByteArray("jpeg") << QSize(16, 16);
    QTest::newRow("PNG") << QByteArray("png") << QSize(9, 7);
}

void TestPreview::showsImagesAtTheCorner() {
    QFETCH(QByteArray, which);
    QFETCH(QSize, size);
    const QByteArray path = which == "bmp" ? bmp : which == "jpeg" ? jpeg : png;

    CVistromDoc doc;
    CPreView view(&doc);
    doc.UpdateAllViews(nullptr, CVistromDoc::HintShowImage, path);
    QCOMPARE(view.path(), path);
    QCOMPARE(view.surface().width(), size.width());
    QCOMPARE(view.surface().height(), size.height());
    QCOMPARE(view.pageSize(), QSize(1280, 1280));

    const QImage page = PageImage(view);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            QCOMPARE(page.pixel(x, y), QRgb(view.surface().pixel(x, y)));
    QCOMPARE(page.pixel(size.width(), 0), White);
    QCOMPARE(page.pixel(0, size.height()), White);
    QCOMPARE(page.pixel(1279, 1279), White);
    if (which == "bmp")
        QCOMPARE(page.pixel(29, 19), QRgb(0xff000000u | PatternColour(29, 19)));
    if (which == "png")
        QCOMPARE(page.pixel(8, 6), QRgb(0xff000000u | PatternColour(8, 6)));
    if (which == "jpeg")
        QVERIFY(std::abs(qBlue(page.pixel(5, 5)) - 0xe0) <= 3 &&
                std::abs(qRed(page.pixel(5, 5)) - 0x20) <= 3);

    // Another image replaces it.
    doc.UpdateAllViews(nullptr, CVistromDoc::HintShowImage, which == "bmp" ? png : bmp);
    QCOMPARE(view.surface().width(), which == "bmp" ? 9 : 30);
}

void TestPreview::otherHintsChangeNothing() {
    CVistromDoc doc;
    CPreView view(&doc);
    doc.UpdateAllViews(nullptr, CVistromDoc::HintShowImage, bmp);
    doc.UpdateAllViews(nullptr, CVistromDoc::HintLoadProject, png);
    doc.UpdateAllViews(nullptr, 2, png);
    doc.UpdateAllViews(&view, CVistromDoc::HintShowImage, png); // its own update
    QCOMPARE(view.path(), bmp);
    QCOMPARE(view.surface().width(), 30);
}

void TestPreview::emptyPathClears() {
    CVistromDoc doc;
    CPreView view(&doc);
    doc.UpdateAllViews(nullptr, CVistromDoc::HintShowImage, bmp);
    doc.UpdateAllViews(nullptr, CVistromDoc::HintShowImage, QByteArray());
    QVERIFY(view.path().isEmpty());
    QVERIFY(view.surface().isEmpty());
    const QImage page = PageImage(view);
    QCOMPARE(page.pixel(0, 0), White);
    QCOMPARE(page.pixel(10, 10), White);
}

void TestPreview::undrawableFileLeavesWhite() {
    CVistromDoc doc;
    CPreView view(&doc);
    const QByteArray missing = QFile::encodeName(dir.filePath("missing.png"));
    doc.UpdateAllViews(nullptr, CVistromDoc::HintShowImage, bmp);
    doc.UpdateAllViews(nullptr, CVistromDoc::HintShowImage, missing);
    QCOMPARE(view.path(), missing);
    QVERIFY(view.surface().isEmpty());
    QCOMPARE(PageImage(view).pixel(0, 0), White);
}

void TestPreview::pageGrowsForLargeImages() {
    CVistromDoc doc;
    CPreView view(&doc);
    doc.UpdateAllViews(nullptr, CVistromDoc::HintShowImage, wide);
    QCOMPARE(view.pageSize(), QSize(1500, 1280));
    const QImage page = PageImage(view);
    QCOMPARE(page.pixel(1499, 2), QRgb(0xff000000u | PatternColour(1499, 2)));
    QCOMPARE(page.pixel(1499, 3), White);
    doc.UpdateAllViews(nullptr, CVistromDoc::HintShowImage, bmp);
    QCOMPARE(view.pageSize(), QSize(1280, 1280));
}

// Saves what a person sees, one picture per format, when VISTROM_SCREENSHOT_DIR
// names a folder (run under a real display, e.g. xvfb-run with
// QT_QPA_PLATFORM=xcb, to capture the window as the X server shows it).
void TestPreview::screenshots() {
    const QString out = qEnvironmentVariable("VISTROM_SCREENSHOT_DIR");
    if (out.isEmpty())
        QSKIP("VISTROM_SCREENSHOT_DIR is not set");
    const int w = 360, h = 240;
    const QString b = dir.filePath("showcase.bmp"), j = dir.filePath("showcase.jpg"),
                  p = dir.filePath("showcase.png");
    QVERIFY(WriteFile(b, MakeBmp24(w, h, Showcase(w, h, 0))));
    QVERIFY(WriteFile(j, MakeJpeg(w, h, 3, ToRgb(Showcase(w, h, 1)), 90)));
    PngSpec s;
    s.width = w;
    s.height = h;
    s.samples = ToRgb(Showcase(w, h, 2));
    QVERIFY(WriteFile(p, MakePng(s)));

    for (auto [name, path] : {std::pair{"bmp", b}, std::pair{"jpeg", j}, std::pair{"png", p}}) {
        CVistromDoc doc;
        CPreView view(&doc);
        view.setWindowTitle(QString("Vistrom preview: ") + name);
        view.resize(520, 360);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        doc.UpdateAllViews(nullptr, CVistromDoc::HintShowImage, QFile::encodeName(path));
        QTest::qWait(300);
        QPixmap shot;
        if (QGuiApplication::platformName() == "xcb")
            shot = view.screen()->grabWindow(view.winId());
        else
            shot = view.grab();
        QVERIFY(shot.save(QDir(out).filePath(QString("screenshot-preview-%1.png").arg(name))));
    }
}

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
