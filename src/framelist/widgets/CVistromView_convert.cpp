// Conversion to AVI (command 32780, Ctrl+B). The conversion itself runs on a
// worker thread so that the window keeps painting and the progress dialog can
// cancel it; every question and message of the conversion is carried over to
// this thread and asked through the dialog seam, in the order it happens.

#include "framelist/widgets/CVistromView.h"

#include "app/UserDialogs.h"
#include "movie/Conversion.h"
#include "movie/IntermediateFrameFile.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>

namespace {

// The wait cursor from the moment a name was chosen until the closing message
// was answered, whichever way the command ends.
class WaitCursorGuard {
public:
    WaitCursorGuard() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursorGuard() { QApplication::restoreOverrideCursor(); }
    WaitCursorGuard(const WaitCursorGuard&) = delete;
    WaitCursorGuard& operator=(const WaitCursorGuard&) = delete;
};

// Shows what the conversion has to tell, in order, through the dialog seam.
void ShowConversionMessages(UserDialogs* dialogs, const QList<ConversionMessage>& messages) {
    for (const ConversionMessage& message : messages) {
        if (message.kind == ConversionMessage::Kind::Writer)
            dialogs->showPlainMessage(message.text, message.caption);
        else
            dialogs->showMessage(message.text);
    }
}

bool EndsInAvi(const QByteArray& path) {
    if (path.size() < 4)
        return false;
    const QByteArray end = path.right(4).toLower();
    return end == ".avi";
}

// One conversion at a time: the progress dialog is window-modal, and this
// guards against a second Ctrl+B reaching the view through another window.
bool conversionRunning = false;

} // namespace

int CVistromView::AskAviFileName(QByteArray& outputPath) {
    UserDialogs::FileRequest request;
    request.save = true;
    request.initialName = QStringLiteral("*.avi");
    request.filter = QStringLiteral("AVI-type file (*.avi)|  ||");
    request.overwritePrompt = true;
    const std::optional<QByteArray> chosen = dialogs()->askFileName(request);
    if (!chosen || chosen->isEmpty())
        return 1;
    QByteArray path = *chosen;
    if (!EndsInAvi(path)) {
        path += ".avi";
        // The dialog asked about the name as typed; the completed name is a
        // different file, and replacing it needs the user's say as well.
        const QString shown = QFile::decodeName(path);
        if (QFileInfo::exists(shown) &&
            !dialogs()->askYesNo(
                QStringLiteral("%1 は既に存在します。\n上書きしますか?").arg(shown)))
            return 1;
    }
    outputPath = path;
    return 0;
}

void CVistromView::OnConvertToAvi() {
    if (conversionRunning)
        return;

    // Settings that cannot make a movie are refused before the user picks a name.
    const QList<QByteArray> rows = frameList()->paths();
    if (const std::optional<QString> problem = ConversionInputProblem(settings, rows)) {
        dialogs()->showMessage(*problem);
        return;
    }

    QByteArray outputPath;
    if (AskAviFileName(outputPath) != 0)
        return;

    conversionRunning = true;
    const std::unique_ptr<bool, void (*)(bool*)> running(&conversionRunning,
                                                         [](bool* flag) { *flag = false; });
    WaitCursorGuard waitCursor;

    ConversionRequest request;
    request.outputPath = outputPath;
    request.settings = settings;
    request.rows = rows;
    // A new choice at every conversion: the dialog starts from uncompressed frames.
    request.compression = dialogs()->askCompression();

    std::atomic<long> written{0};
    std::atomic<long> total{-1};
    std::atomic<bool> cancelled{false};

    QProgressDialog progress(QStringLiteral("AVIファイルを作成しています..."),
                             QStringLiteral("キャンセル"), 0, 0, window());
    progress.setObjectName(QStringLiteral("conversionProgress"));
    progress.setWindowTitle(QStringLiteral("Vistrom"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumDuration(0);
    QObject::connect(&progress, &QProgressDialog::canceled, &progress,
                     [&cancelled] { cancelled = true; });
    progress.show();

    QTimer poll;
    poll.setInterval(100);
    auto showProgress = [&] {
        if (progress.wasCanceled())
            cancelled = true;
        const long frames = total;
        if (frames < 0)
            return;
        if (progress.maximum() != int(qMin<long>(frames, INT_MAX)))
            progress.setMaximum(int(qMin<long>(frames, INT_MAX)));
        progress.setValue(int(qMin<long>(written, INT_MAX)));
        progress.setLabelText(QStringLiteral("AVIファイルを作成しています... %1 / %2 フレーム")
                                  .arg(long(written))
                                  .arg(frames));
    };
    QObject::connect(&poll, &QTimer::timeout, &progress, showProgress);
    poll.start();

    ConversionOutcome outcome;
    QEventLoop loop;
    QThread* worker = QThread::create([&] {
        outcome = RunConversion(request, [&](long done, long all) {
            written = done;
            total = all;
            return !cancelled;
        });
    });
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    worker->wait();
    delete worker;

    poll.stop();
    progress.hide();
    ShowConversionMessages(dialogs(), outcome.messages);
}
