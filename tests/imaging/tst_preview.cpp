// The preview pane: an image shown at natural size at the corner of a white
// page, which grows for large images; an empty path or a file that cannot be
// read leaves the page white.

#include "BmpFixtures.h"

#include "imaging/PluginLoader.h"
#include "ui/PreviewPane.h"

#include <QTemporaryDir>
#include <QTest>

using namespace fixtures;

class TestPreview : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    void initTestCase() {
        SetPluginSearchDirsForTesting(std::vector<std::string>{VISTROM_BIN_DIR});
        QVERIFY(WriteFile(dir_.filePath("wide.bmp"), QtFile(1500, 3, Pattern(1500, 3), "bmp")));
    }
    void shows_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size"); // of the image written; (0, 0): none shown
        QTest::newRow("BMP") << "a.bmp" << QSize(30, 20);
        QTest::newRow("PNG") << "a.png" << QSize(9, 7);
        QTest::newRow("wider than the page") << "wide.bmp" << QSize(1500, 3);
        QTest::newRow("missing file") << "missing.png" << QSize(0, 0);
        QTest::newRow("empty path") << QString() << QSize(0, 0);
    }
    // Each after another image was shown, which it replaces.
    void shows() {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        const QSize page(std::max(size.width(), 1280), 1280);
        const QByteArray path =
            name.isEmpty() ? QByteArray() : QFile::encodeName(dir_.filePath(name));
        QVERIFY(size.isEmpty() ||
                WriteFile(dir_.filePath(name),
                          QtFile(size.width(), size.height(), Pattern(size.width(), size.height()),
                                 qPrintable(name.right(3)))));
        PreviewPane view;
        view.showImage(QFile::encodeName(dir_.filePath("wide.bmp")));
        view.showImage(path);
        QCOMPARE(view.path(), path);
        QCOMPARE(QSize(view.picture().width(), view.picture().height()), size);
        QCOMPARE(view.pageSize(), page);
        const QImage shown = view.widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.size(), page);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                QCOMPARE(shown.pixel(x, y), 0xff000000u | PatternColour(x, y));
        for (QPoint white : {QPoint(size.width(), 0), QPoint(0, size.height()),
                             QPoint(page.width() - 1, page.height() - 1)})
            QVERIFY(!shown.rect().contains(white) || shown.pixel(white) == 0xffffffffu);
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
