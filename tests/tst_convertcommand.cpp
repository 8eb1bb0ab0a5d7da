// The Ctrl+B command in the window: the output name, the wait cursor, the
// compression dialog, progress and Cancel, and the messages in their order,
// answered by a fake dialog seam instead of a person.

#include "app/UserDialogs.h"
#include "framelist/CVistromDoc.h"
#include "framelist/widgets/CVistromView.h"
#include "movie/widgets/CompressionDialog.h"

#include "movie_writer_tools.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace moviecheck;

namespace {

class FakeDialogs : public CancellingDialogs {
public:
    QStringList log; // what was shown or asked, in order
    std::optional<QByteArray> fileName;
    bool yes = false;
    std::optional<CompressionChoice> compression = CompressionChoice{};
    std::function<void()> duringCompression;
    UserDialogs::FileRequest lastRequest;
    bool cursorDuringCompression = false;

    void showMessage(const QString& text, bool) override { log << "message: " + text; }
    bool askYesNo(const QString& text) override {
        log << "question: " + text;
        return yes;
    }
    void showPlainMessage(const QString& text, const QString& caption) override {
        log << QStringLiteral("plain: %1 / %2").arg(text, caption);
    }
    std::optional<QByteArray> askFileName(const FileRequest& request) override {
        lastRequest = request;
        log << "file name";
        return fileName;
    }
    std::optional<CompressionChoice> askCompression() override {
        log << "compression";
        cursorDuringCompression = QApplication::overrideCursor() &&
                                  QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        if (duringCompression)
            duringCompression();
        return compression;
    }
};

const QString kFinished = QStringLiteral("message: AVI変換処理が終了しました。");

} // namespace

class TestConvertCommand : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void nameCompletion_data();
    void nameCompletion();
    void completedNameExists();
    void conversion_data();
    void conversion();
    void compressionDialog();

private:
    QTemporaryDir dir_;
    QTemporaryDir temp_;
    QByteArray savedTmp_;
    FakeDialogs* dialogs_ = nullptr;
    CVistromDoc* doc_ = nullptr;
    CVistromView* view_ = nullptr;
};

void TestConvertCommand::init() {
    QVERIFY(dir_.isValid() && temp_.isValid());
    // The intermediate file goes to a folder of our own, so we see it go.
    savedTmp_ = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temp_.path()));
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(QColor(255, 0, 0));
    QVERIFY(image.save(dir_.filePath("red.png")));
    dialogs_ = new FakeDialogs;
    doc_ = new CVistromDoc;
    view_ = new CVistromView(doc_, dialogs_);
    view_->settings.width = 40;
    view_->settings.height = 30;
    view_->settings.depth = ColourDepth::Bits24;
    view_->resize(400, 300);
    view_->show();
}

void TestConvertCommand::cleanup() {
    delete view_;
    delete doc_;
    delete dialogs_;
    view_ = nullptr;
    qputenv("TMPDIR", savedTmp_);
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(QDir(temp_.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

void TestConvertCommand::nameCompletion_data() {
    QTest::addColumn<QByteArray>("chosen"); // empty: the dialog is cancelled
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("no extension") << QByteArray("/m/movie") << QByteArray("/m/movie.avi");
    QTest::newRow(".avi") << QByteArray("/m/movie.avi") << QByteArray("/m/movie.avi");
    QTest::newRow(".AVI") << QByteArray("/m/movie.AVI") << QByteArray("/m/movie.AVI");
    QTest::newRow(".Avi") << QByteArray("/m/movie.Avi") << QByteArray("/m/movie.Avi");
    QTest::newRow(".avi.bak") << QByteArray("/m/movie.avi.bak")
                              << QByteArray("/m/movie.avi.bak.avi");
    QTest::newRow("avi without dot") << QByteArray("/m/movieavi") << QByteArray("/m/movieavi.avi");
    QTest::newRow("cancelled") << QByteArray() << QByteArray("untouched");
}

void TestConvertCommand::nameCompletion() {
    QFETCH(QByteArray, chosen);
    QFETCH(QByteArray, stored);
    if (!chosen.isEmpty())
        dialogs_->fileName = chosen;
    QByteArray output = "untouched";
    QCOMPARE(view_->AskAviFileName(output), chosen.isEmpty() ? 1 : 0);
    QCOMPARE(output, stored);
    const UserDialogs::FileRequest& r = dialogs_->lastRequest;
    QVERIFY(r.save);
    QCOMPARE(r.initialName, QStringLiteral("*.avi"));
    QCOMPARE(r.filter, QStringLiteral("AVI-type file (*.avi)|  ||"));
    QVERIFY(r.defaultExtension.isEmpty());
    QVERIFY(r.overwritePrompt);
}

void TestConvertCommand::completedNameExists() {
    // The dialog asked about "old"; "old.avi" is another file, and its owner is asked too.
    QFile existing(dir_.filePath("old.avi"));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.close();
    dialogs_->fileName = QFile::encodeName(dir_.filePath("old"));
    QByteArray output;
    QCOMPARE(view_->AskAviFileName(output), 1);
    QCOMPARE(dialogs_->log.size(), 2);
    QVERIFY(dialogs_->log[1].startsWith("question: "));
    dialogs_->yes = true;
    QCOMPARE(view_->AskAviFileName(output), 0);
    QCOMPARE(output, QFile::encodeName(dir_.filePath("old.avi")));
}

void TestConvertCommand::conversion_data() {
    QTest::addColumn<int>("images");    // image rows, each followed by a blank row
    QTest::addColumn<QString>("movie"); // the name chosen; empty: the dialog is cancelled
    QTest::addColumn<QString>("trouble");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<int>("packets"); // stored in the movie; 0: no movie, -1: not checked
    const QStringList done{"file name", "compression", kFinished};
    // Images at 0, 2, 4; hold lines at 1, 3, 5; the blank frame at 6.
    QTest::newRow("converted") << 3 << "movie"
                               << "" << done << 7;
    QTest::newRow("name cancelled") << 2 << ""
                                    << "" << QStringList{"file name"} << -1;
    // The writer says nothing about a cancelled dialog; the closing message still comes.
    QTest::newRow("compression cancelled") << 2 << "c.avi"
                                           << "cancel compression" << done << -1;
    QTest::newRow("cancel in the progress dialog") << 40 << "s.avi"
                                                   << "cancel progress" << done << -1;
    QTest::newRow("unwritable output")
        << 1 << "/nonexistent-folder/m.avi"
        << ""
        << QStringList{"file name", "compression", "plain: CannotOpenAviFile / Error",
                       "plain: WritingERR / AVI ERR", kFinished}
        << 0;
    QTest::newRow("intermediate file error")
        << 1 << "never.avi"
        << "no temporary folder"
        << QStringList{"file name", "compression",
                       "message: 中間ファイル作成時にエラーが発生しました"}
        << 0;
    // Settings or rows that cannot make a movie are refused before the name is asked.
    QTest::newRow("0 fps") << 1 << "never.avi"
                           << "0 fps"
                           << QStringList{"message: フレームレート 0 fps ではAVIファイルを作成で"
                                          "きません。\nFPSの設定を 1 以上にしてください。"}
                           << 0;
    QTest::newRow("line break in a path")
        << 1 << "never.avi"
        << "line break"
        << QStringList{"message: 2 行目のファイル名は改行を含むか空白だけのため、"
                       "AVIファイルを作成できません。"}
        << 0;
}

void TestConvertCommand::conversion() {
    QFETCH(int, images);
    QFETCH(QString, movie);
    QFETCH(QString, trouble);
    QFETCH(QStringList, log);
    QFETCH(int, packets);
    QList<QByteArray> rows;
    for (int i = 0; i < images; ++i)
        rows << QFile::encodeName(dir_.filePath("red.png")) << QByteArray();
    if (trouble == "line break")
        rows << "/pics/a\nb.png";
    view_->frameList()->resetRows(rows);
    const QString path = movie.startsWith('/') ? movie : dir_.filePath(movie);
    if (!movie.isEmpty())
        dialogs_->fileName = QFile::encodeName(path);
    if (trouble == "cancel compression")
        dialogs_->compression = std::nullopt;
    if (trouble == "no temporary folder")
        qputenv("TMPDIR", QFile::encodeName(temp_.filePath("missing-folder")));
    if (trouble == "0 fps")
        view_->settings.fps = 0;
    if (trouble == "cancel progress") // pressed as soon as the progress dialog shows
        QTimer::singleShot(0, view_, [this] {
            auto* progress = view_->window()->findChild<QProgressDialog*>("conversionProgress");
            QVERIFY(progress && progress->isVisible());
            QPushButton* cancel = progress->findChild<QPushButton*>();
            QVERIFY(cancel);
            QCOMPARE(cancel->text(), QStringLiteral("キャンセル"));
            cancel->click();
        });

    view_->OnConvertToAvi();
    QCOMPARE(dialogs_->log, log);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(dialogs_->cursorDuringCompression, log.contains("compression"));
    QCOMPARE(view_->modified, 0); // the conversion neither saves nor marks the project
    const QString written = movie.endsWith(".avi") ? path : path + ".avi";
    if (packets == 0)
        QVERIFY(!QFile::exists(written));
    if (packets > 0 && HaveTool("ffprobe")) {
        const QJsonObject probe = Probe(written);
        QCOMPARE(StreamOf(probe, "video")["width"].toInt(), 40);
        QCOMPARE(PacketsOf(probe, "video").size(), packets);
    }
}

void TestConvertCommand::compressionDialog() {
    const std::vector<CodecInfo> codecs{{"", "Full Frames (Uncompressed)", false},
                                        {"mjpeg", "Motion JPEG", true},
                                        {"ffv1", "FFV1 (lossless)", false}};
    CompressionDialog dialog(nullptr, codecs);
    QListWidget* list = dialog.codecList();
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->currentRow(), 0);
    QVERIFY(list->item(0)->text().startsWith("Full Frames (Uncompressed)"));
    QVERIFY(!dialog.qualitySpin()->isEnabled());
    QVERIFY(dialog.choice().encoder.empty());
    QCOMPARE(dialog.choice().quality, -1);
    list->setCurrentRow(1);
    QVERIFY(dialog.qualitySpin()->isEnabled());
    dialog.qualitySpin()->setValue(40);
    QCOMPARE(dialog.choice().encoder, std::string("mjpeg"));
    QCOMPARE(dialog.choice().quality, 40);
    list->setCurrentRow(2);
    QVERIFY(!dialog.qualitySpin()->isEnabled());
    QCOMPARE(dialog.choice().encoder, std::string("ffv1"));
    QCOMPARE(dialog.choice().quality, -1);
    // A fresh dialog starts from uncompressed frames again.
    QCOMPARE(CompressionDialog(nullptr, codecs).codecList()->currentRow(), 0);
}

QTEST_MAIN(TestConvertCommand)
#include "tst_convertcommand.moc"
