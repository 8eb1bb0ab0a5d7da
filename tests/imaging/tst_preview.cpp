// The preview pane: an image shown at natural size at the corner of a white
// page; an empty path clears it.

#include "BmpFixtures.h"
#include "CodecFixtures.h"

#include "imaging/PluginLoader.h"
#include "ui/PreviewPane.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

using namespace fixtures;

namespace {

constexpr QRgb White = 0xffffffffu;

QImage PageImage(PreviewPane& view) {
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
    void showsImagesAtTheCorner_data();
    void showsImagesAtTheCorner();
    void staysWhiteWithoutAnImage();
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
    QVERIFY(WriteFile(QFile::decodeName(jpeg),
                      MakeJpeg(16, 16, 3, RgbBytes(std::vector<uint32_t>(256, 0x2080e0)))));
    QVERIFY(WriteFile(QFile::decodeName(png),
                      MakePng({.width = 9, .height = 7, .samples = RgbBytes(Pattern(9, 7))})));
    QVERIFY(WriteFile(QFile::decodeName(wide), MakeBmp24(1500, 3, Pattern(1500, 3))));
}

void TestPreview::showsImagesAtTheCorner_data() {
    QTest::addColumn<QByteArray>("which");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRgb>("corner"); // the image's bottom-right pixel
    QTest::newRow("BMP") << QByteArray("bmp") << QSize(30, 20)
                         << QRgb(0xff000000u | PatternColour(29, 19));
    QTest::newRow("JPEG") << QByteArray("jpeg") << QSize(16, 16) << QRgb(0xff2080e0u);
    QTest::newRow("PNG") << QByteArray("png") << QSize(9, 7)
                         << QRgb(0xff000000u | PatternColour(8, 6));
}

void TestPreview::showsImagesAtTheCorner() {
    QFETCH(QByteArray, which);
    QFETCH(QSize, size);
    QFETCH(QRgb, corner);
    const QByteArray path = which == "bmp" ? bmp : which == "jpeg" ? jpeg : png;
    PreviewPane view;
    view.showImage(path);
    QCOMPARE(view.path(), path);
    QCOMPARE(view.picture().width(), size.width());
    QCOMPARE(view.picture().height(), size.height());
    QCOMPARE(view.pageSize(), QSize(1280, 1280));

    const QImage page = PageImage(view);
    QCOMPARE(page.size(), QSize(1280, 1280));
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            QCOMPARE(page.pixel(x, y), QRgb(view.picture().xrgbRow(y)[x]));
    const QRgb seen = page.pixel(size.width() - 1, size.height() - 1);
    for (int shift : {0, 8, 16}) // JPEG is near
        QVERIFY(std::abs(int((seen >> shift) & 255) - int((corner >> shift) & 255)) <= 3);
    QCOMPARE(page.pixel(size.width(), 0), White);
    QCOMPARE(page.pixel(0, size.height()), White);
    QCOMPARE(page.pixel(1279, 1279), White);

    // Another image replaces it.
    view.showImage(which == "bmp" ? png : bmp);
    QCOMPARE(view.picture().width(), which == "bmp" ? 9 : 30);
}

void TestPreview::staysWhiteWithoutAnImage() {
    PreviewPane view;
    QVERIFY(view.path().isEmpty());
    QCOMPARE(view.pageSize(), QSize(1280, 1280));
    QCOMPARE(PageImage(view).pixel(1279, 1279), White);
    // A file that cannot be drawn, then an empty path: each leaves a white page.
    const QByteArray missing = QFile::encodeName(dir.filePath("missing.png"));
    for (const QByteArray& path : {missing, QByteArray()}) {
        view.showImage(bmp);
        view.showImage(path);
        QCOMPARE(view.path(), path);
        QVERIFY(view.picture().isEmpty());
        const QImage page = PageImage(view);
        QCOMPARE(page.pixel(0, 0), White);
        QCOMPARE(page.pixel(10, 10), White);
    }
}

void TestPreview::pageGrowsForLargeImages() {
    PreviewPane view;
    view.showImage(wide);
    QCOMPARE(view.pageSize(), QSize(1500, 1280));
    const QImage page = PageImage(view);
    QCOMPARE(page.pixel(1499, 2), QRgb(0xff000000u | PatternColour(1499, 2)));
    QCOMPARE(page.pixel(1499, 3), White);
    view.showImage(bmp);
    QCOMPARE(view.pageSize(), QSize(1280, 1280));
}

// Saves what a person sees, one picture per format, when VISTROM_SCREENSHOT_DIR
// names a folder (under xvfb-run with QT_QPA_PLATFORM=xcb for the real window).
void TestPreview::screenshots() {
    const QString out = qEnvironmentVariable("VISTROM_SCREENSHOT_DIR");
    if (out.isEmpty())
        QSKIP("VISTROM_SCREENSHOT_DIR is not set");
    for (const char* format : {"bmp", "jpg", "png"}) {
        QImage picture(360, 240, QImage::Format_RGB32);
        QPainter painter(&picture);
        QLinearGradient sweep(0, 0, 360, 240);
        sweep.setColorAt(0, QColor::fromHsv(qHash(QByteArray(format)) % 360, 200, 235));
        sweep.setColorAt(1, QColor::fromHsv((qHash(QByteArray(format)) + 150) % 360, 120, 235));
        painter.fillRect(picture.rect(), sweep);
        painter.setPen(QPen(QColor(0x20, 0x20, 0x20), 8));
        painter.drawRect(picture.rect().adjusted(4, 4, -4, -4));
        painter.drawLine(0, 0, 360, 240);
        painter.end();
        const QString path = dir.filePath(QString("showcase.") + format);
        QVERIFY(picture.save(path, nullptr, 90));

        PreviewPane view;
        view.setWindowTitle(QString("Vistrom preview: ") + format);
        view.resize(520, 360);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.showImage(QFile::encodeName(path));
        QTest::qWait(300);
        const QPixmap shot = QGuiApplication::platformName() == "xcb"
                                 ? view.screen()->grabWindow(view.winId())
                                 : view.grab();
        QVERIFY(shot.save(QDir(out).filePath(QString("screenshot-preview-%1.png").arg(format))));
    }
}

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
