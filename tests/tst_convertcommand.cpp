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

#include <functional>

using namespace moviecheck;

namespace {

class FakeDialogs : public UserDialogs {
public:
    QStringList log; // what was shown or asked, in order
    std::optional<QByteArray> fileName;
    bool yes = false;
    std::optional<CompressionChoice> compression = CompressionChoice{};
    std::function<void()> duringCompression;
    int fileRequests = 0;
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
        ++fileRequests;
        lastRequest = request;
        log << "file name";
        return fileName;
    }
    std::optional<quint32> askValue(const QString&, quint32) override { return std::nullopt; }
    bool runFrameRateDialog(ProjectSettings&) override { return false; }
    bool runAudioDialog(ProjectSettings&) override { return false; }
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
    void fileDialogRequest();
    void completedNameExists();
    void cancelledNameDoesNothing();
    void conversionEndToEnd();
    void compressionCancelled();
    void unwritableOutput();
    void invalidSettingsRefused();
    void intermediateFileError();
    void uncarriablePathRefused();
    void cancelStopsAfterCurrentFrame();
    void compressionDialog();

private:
    void fillRows(int images);

    QTemporaryDir dir_;
    QTemporaryDir temp_;
    QByteArray savedTmp_;
    FakeDialogs* dialogs_ = nullptr;
    CVistromDoc* doc_ = nullptr;
    CVistromView* view_ = nullptr;
    QString image_;
};

void TestConvertCommand::init() {
    QVERIFY(dir_.isValid() && temp_.isValid());
    // The intermediate file goes to a folder of our own, so we see it go.
    savedTmp_ = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temp_.path()));
    image_ = dir_.filePath("red.png");
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(QColor(255, 0, 0));
    QVERIFY(image.save(image_));
    dialogs_ = new FakeDialogs;
    doc_ = new CVistromDoc;
    view_ = new CVistromView(doc_, dialogs_);
    view_->settings.width = 40;
    view_->settings.height = 30;
    view_->settings.depthIndex = 2;
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

void TestConvertCommand::fillRows(int images) {
    QList<QByteArray> rows;
    for (int i = 0; i < images; ++i)
        rows << QFile::encodeName(image_) << QByteArray();
    view_->frameList()->resetRows(rows);
}

void TestConvertCommand::nameCompletion_data() {
    QTest::addColumn<QByteArray>("chosen");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("no extension") << QByteArray("/m/movie") << QByteArray("/m/movie.avi");
    QTest::newRow(".avi") << QByteArray("/m/movie.avi") << QByteArray("/m/movie.avi");
    QTest::newRow(".AVI") << QByteArray("/m/movie.AVI") << QByteArray("/m/movie.AVI");
    QTest::newRow(".Avi") << QByteArray("/m/movie.Avi") << QByteArray("/m/movie.Avi");
    QTest::newRow(".avi.bak") << QByteArray("/m/movie.avi.bak")
                              << QByteArray("/m/movie.avi.bak.avi");
    QTest::newRow("avi without dot") << QByteArray("/m/movieavi") << QByteArray("/m/movieavi.avi");
}

void TestConvertCommand::nameCompletion() {
    QFETCH(QByteArray, chosen);
    QFETCH(QByteArray, stored);
    dialogs_->fileName = chosen;
    QByteArray output = "untouched";
    QCOMPARE(view_->AskAviFileName(output), 0);
    QCOMPARE(output, stored);
}

void TestConvertCommand::fileDialogRequest() {
    dialogs_->fileName = std::nullopt;
    QByteArray output = "untouched";
    QCOMPARE(view_->AskAviFileName(output), 1);
    QCOMPARE(output, QByteArray("untouched"));
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
    dialogs_->yes = false;
    QByteArray output;
    QCOMPARE(view_->AskAviFileName(output), 1);
    QCOMPARE(dialogs_->log.size(), 2);
    QVERIFY(dialogs_->log[1].startsWith("question: "));
    dialogs_->yes = true;
    QCOMPARE(view_->AskAviFileName(output), 0);
    QCOMPARE(output, QFile::encodeName(dir_.filePath("old.avi")));
}

void TestConvertCommand::cancelledNameDoesNothing() {
    fillRows(2);
    dialogs_->fileName = std::nullopt;
    view_->OnConvertToAvi();
    QCOMPARE(dialogs_->log, QStringList{"file name"});
    QVERIFY(!QApplication::overrideCursor());
}

void TestConvertCommand::conversionEndToEnd() {
    fillRows(3); // images at 0, 2, 4; hold lines at 1, 3, 5; blank frame at 6
    const QString movie = dir_.filePath("movie");
    dialogs_->fileName = QFile::encodeName(movie);
    view_->OnConvertToAvi();
    QCOMPARE(dialogs_->log, (QStringList{"file name", "compression", kFinished}));
    QVERIFY(dialogs_->cursorDuringCompression);
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(QFile::exists(movie + ".avi"));
    if (HaveTool("ffprobe")) {
        const QJsonObject probe = Probe(movie + ".avi");
        QCOMPARE(StreamOf(probe, "video")["width"].toInt(), 40);
        QCOMPARE(PacketsOf(probe, "video").size(), 7);
    }
    // The conversion neither saves nor marks the project.
    QCOMPARE(view_->modified, 0);
}

void TestConvertCommand::compressionCancelled() {
    fillRows(2);
    dialogs_->fileName = QFile::encodeName(dir_.filePath("cancelled.avi"));
    dialogs_->compression = std::nullopt;
    view_->OnConvertToAvi();
    // The writer says nothing about a cancelled dialog; the closing message still comes.
    QCOMPARE(dialogs_->log, (QStringList{"file name", "compression", kFinished}));
}

void TestConvertCommand::unwritableOutput() {
    fillRows(1);
    dialogs_->fileName = QByteArray("/nonexistent-folder/m.avi");
    view_->OnConvertToAvi();
    QCOMPARE(dialogs_->log, (QStringList{"file name", "plain: CannotOpenAviFile / Error",
                                         "plain: WritingERR / AVI ERR", kFinished}));
}

void TestConvertCommand::invalidSettingsRefused() {
    fillRows(1);
    view_->settings.fps = 0;
    dialogs_->fileName = QFile::encodeName(dir_.filePath("never.avi"));
    view_->OnConvertToAvi();
    QCOMPARE(dialogs_->log.size(), 1);
    QVERIFY(dialogs_->log[0].startsWith("message: "));
    QVERIFY(dialogs_->log[0].contains("0 fps"));
    QCOMPARE(dialogs_->fileRequests, 0);
    QVERIFY(!QFile::exists(dir_.filePath("never.avi")));
}

void TestConvertCommand::uncarriablePathRefused() {
    // A line break inside a path would end the frame list early: refused, not cut.
    view_->frameList()->resetRows({QFile::encodeName(image_), "", "/pics/a\nb.png"});
    dialogs_->fileName = QFile::encodeName(dir_.filePath("never.avi"));
    view_->OnConvertToAvi();
    QCOMPARE(dialogs_->log.size(), 1);
    QVERIFY(dialogs_->log[0].startsWith("message: 2 行目"));
    QCOMPARE(dialogs_->fileRequests, 0);
}

void TestConvertCommand::intermediateFileError() {
    fillRows(1);
    qputenv("TMPDIR", QFile::encodeName(temp_.filePath("missing-folder")));
    const QString movie = dir_.filePath("never.avi");
    dialogs_->fileName = QFile::encodeName(movie);
    view_->OnConvertToAvi();
    QCOMPARE(dialogs_->log,
             (QStringList{"file name", "message: 中間ファイル作成時にエラーが発生しました"}));
    QVERIFY(!QFile::exists(movie));
    QVERIFY(!QApplication::overrideCursor());
}

void TestConvertCommand::cancelStopsAfterCurrentFrame() {
    fillRows(40);
    const QString movie = dir_.filePath("stopped.avi");
    dialogs_->fileName = QFile::encodeName(movie);
    // The user presses Cancel in the progress dialog before the first frame is done.
    dialogs_->duringCompression = [this] {
        auto* progress = view_->window()->findChild<QProgressDialog*>("conversionProgress");
        QVERIFY(progress);
        QVERIFY(progress->isVisible());
        QPushButton* cancel = progress->findChild<QPushButton*>();
        QVERIFY(cancel);
        QCOMPARE(cancel->text(), QStringLiteral("キャンセル"));
        cancel->click();
    };
    view_->OnConvertToAvi();
    QCOMPARE(dialogs_->log, (QStringList{"file name", "compression", kFinished}));
    // The movie is complete and readable, with the frame written before the stop.
    if (HaveTool("ffprobe")) {
        const QJsonObject probe = Probe(movie);
        QCOMPARE(PacketsOf(probe, "video").size(), 1);
        QCOMPARE(StreamOf(probe, "video")["codec_type"].toString(), QStringLiteral("video"));
    }
}

void TestConvertCommand::compressionDialog() {
    std::vector<CodecInfo> codecs{{"", "Full Frames (Uncompressed)", false},
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
    CompressionDialog again(nullptr, codecs);
    QCOMPARE(again.codecList()->currentRow(), 0);
}

QTEST_MAIN(TestConvertCommand)
#include "tst_convertcommand.moc"
