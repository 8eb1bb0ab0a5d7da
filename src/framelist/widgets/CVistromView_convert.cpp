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

// Carries the conversion's questions and messages from the worker thread to
// the window's thread, and its progress the other way.
class WindowSink : public ConversionSink {
public:
    WindowSink(QObject* context, UserDialogs* dialogs) : context_(context), dialogs_(dialogs) {}

    void showMessage(const QString& text) override {
        onWindowThread([&] { dialogs_->showMessage(text); });
    }
    void showPlainMessage(const QString& text, const QString& caption) override {
        onWindowThread([&] { dialogs_->showPlainMessage(text, caption); });
    }
    std::optional<CompressionChoice> chooseCompression() override {
        std::optional<CompressionChoice> choice;
        // A new choice at every conversion: the dialog starts from uncompressed frames.
        onWindowThread([&] { choice = dialogs_->askCompression(); });
        return choice;
    }
    bool progress(long written, long total) override {
        written_ = written;
        total_ = total;
        return !cancelled_;
    }
    void finished(const QString& text, int) override {
        onWindowThread([&] {
            if (beforeClosingMessage)
                beforeClosingMessage();
            dialogs_->showMessage(text);
        });
    }

    std::function<void()> beforeClosingMessage;
    std::atomic<long> written_{0};
    std::atomic<long> total_{-1};
    std::atomic<bool> cancelled_{false};

private:
    template <typename F> void onWindowThread(F&& f) {
        if (QThread::currentThread() == context_->thread())
            f();
        else
            QMetaObject::invokeMethod(context_, std::forward<F>(f), Qt::BlockingQueuedConnection);
    }

    QObject* context_;
    UserDialogs* dialogs_;
};

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
    if (const SettingsProblem problem = CheckMovieSettings(settings);
        problem != SettingsProblem::None) {
        dialogs()->showMessage(SettingsProblemMessage(problem, settings));
        return;
    }
    const QList<QByteArray> rows = frameList()->paths();
    if (const long row = FirstUncarriableRow(rows); row >= 0) {
        dialogs()->showMessage(UncarriableRowMessage(row));
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

    WindowSink sink(this, dialogs());

    QProgressDialog progress(QStringLiteral("AVIファイルを作成しています..."),
                             QStringLiteral("キャンセル"), 0, 0, window());
    progress.setObjectName(QStringLiteral("conversionProgress"));
    progress.setWindowTitle(QStringLiteral("Vistrom"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumDuration(0);
    QObject::connect(&progress, &QProgressDialog::canceled, &progress,
                     [&sink] { sink.cancelled_ = true; });
    progress.show();

    QTimer poll;
    poll.setInterval(100);
    auto showProgress = [&] {
        if (progress.wasCanceled())
            sink.cancelled_ = true;
        const long total = sink.total_;
        if (total < 0)
            return;
        if (progress.maximum() != int(qMin<long>(total, INT_MAX)))
            progress.setMaximum(int(qMin<long>(total, INT_MAX)));
        progress.setValue(int(qMin<long>(sink.written_, INT_MAX)));
        progress.setLabelText(QStringLiteral("AVIファイルを作成しています... %1 / %2 フレーム")
                                  .arg(long(sink.written_))
                                  .arg(total));
    };
    QObject::connect(&poll, &QTimer::timeout, &progress, showProgress);
    poll.start();
    sink.beforeClosingMessage = [&] {
        poll.stop();
        progress.hide();
    };

    ConversionOutcome outcome;
    QEventLoop loop;
    QThread* worker = QThread::create([&] { outcome = RunConversion(request, sink); });
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    worker->wait();
    delete worker;

    poll.stop();
    progress.hide();
}
