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

private slots:
    // Each after another image was shown, which it replaces: name, and the
    // size of the image written there ("0 0": none).
    void shows() {
        SetPluginSearchDirsForTesting(std::vector<std::string>{VISTROM_BIN_DIR});
        QTemporaryDir dir;
        for (const char* row :
             {"wide.bmp 1500 3", "a.bmp 30 20", "a.png 9 7", "missing.png 0 0", " 0 0"}) {
            const QList<QByteArray> f = QByteArray(row).split(' ');
            const QSize size(f[1].toInt(), f[2].toInt()), page(std::max(size.width(), 1280), 1280);
            const QByteArray path = f[0].isEmpty() ? f[0] : QFile::encodeName(dir.filePath(f[0]));
            QVERIFY(size.isEmpty() ||
                    WriteFile(QFile::decodeName(path), QtFile(size.width(), size.height(),
                                                              Pattern(size.width(), size.height()),
                                                              f[0].right(3).constData())));
            PreviewPane view;
            view.showImage(QFile::encodeName(dir.filePath("wide.bmp")));
            view.showImage(path);
            QCOMPARE(view.path(), path);
            QCOMPARE(QSize(view.picture().width(), view.picture().height()), size);
            QCOMPARE(view.pageSize(), page);
            const QImage shown =
                view.widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            QCOMPARE(shown.size(), page);
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x)
                    QCOMPARE(shown.pixel(x, y), 0xff000000u | PatternColour(x, y));
            for (QPoint white : {QPoint(size.width(), 0), QPoint(0, size.height()),
                                 QPoint(page.width() - 1, page.height() - 1)})
                QVERIFY(!shown.rect().contains(white) || shown.pixel(white) == 0xffffffffu);
        }
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
