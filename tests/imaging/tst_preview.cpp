// The preview pane: an image at natural size in the corner of a white page
// that grows for large images; no path or an unreadable file: a white page.

#include "BmpFixtures.h"

#include "imaging/PluginLoader.h"
#include "ui/PreviewPane.h"

#include <QtTest>

using namespace fixtures;

class TestPreview : public QObject {
    Q_OBJECT

private slots:
    // Each after another image was shown, which it replaces: name, and the
    // size of the image written there ("0 0": none).
    void shows() {
        SetPluginSearchDirsForTesting(std::vector<std::string>{VISTROM_BIN_DIR});
        QTemporaryDir dir;
        for (const char* row : {"wide.bmp 1500 3", "a.png 9 7", "missing.png 0 0", " 0 0"}) {
            const QList<QByteArray> f = QByteArray(row).split(' ');
            const int w = f[1].toInt(), h = f[2].toInt();
            const QByteArray path = f[0].isEmpty() ? f[0] : QFile::encodeName(dir.filePath(f[0]));
            QImage meant(std::max(w, 1280), 1280, QImage::Format_RGB32);
            meant.fill(Qt::white);
            QPainter(&meant).drawImage(0, 0, Picture(w, h, Pattern(w, h), QImage::Format_RGB32));
            QVERIFY(!w || Save(QFile::decodeName(path),
                               QtFile(w, h, Pattern(w, h), f[0].right(3).constData())));
            PreviewPane view;
            view.showImage(QFile::encodeName(dir.filePath("wide.bmp")));
            view.showImage(path);
            QCOMPARE(view.path(), path);
            QCOMPARE(view.pageSize(), meant.size());
            QCOMPARE(view.widget()->grab().toImage().convertToFormat(QImage::Format_RGB32), meant);
        }
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
