#include "ui/ConversionCommand.h"

#include "dialogs/UserDialogs.h"
#include "project/Project.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QProgressDialog>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>

// The worker writes the counts and asks for one progress update at a time;
// this thread reads them when the update comes. Nothing waits for the other.
struct ConversionCommand::Shared {
    std::atomic<long> written{0};
    std::atomic<long> total{-1};
    std::atomic<bool> cancelled{false};
    std::atomic<bool> updatePending{false};
};

namespace {

bool EndsInAvi(const QByteArray& path) {
    return path.size() >= 4 && path.right(4).toLower() == ".avi";
}

} // namespace

std::optional<QByteArray> AskMovieFileName(UserDialogs& dialogs) {
    UserDialogs::FileRequest request;
    request.save = true;
    request.initialName = QStringLiteral("*.avi");
    request.filter = QStringLiteral("AVI-type file (*.avi)|  ||");
    request.overwritePrompt = true;
    const std::optional<QByteArray> chosen = dialogs.askFileName(request);
    if (!chosen || chosen->isEmpty())
        return std::nullopt;
    if (EndsInAvi(*chosen))
        return chosen;
    // The dialog asked about the name as typed; the completed name is a
    // different file, and replacing it needs the user's say as well.
    const QByteArray path = *chosen + ".avi";
    const QString shown = QFile::decodeName(path);
    if (QFileInfo::exists(shown) &&
        !dialogs.askYesNo(
            ConversionCommand::tr("%1 は既に存在します。\n上書きしますか?").arg(shown)))
        return std::nullopt;
    return path;
}

ConversionCommand::ConversionCommand(Project* project, UserDialogs* dialogs, QWidget* window)
    : QObject(window), project_(project), dialogs_(dialogs), window_(window) {
    connect(&watcher_, &QFutureWatcher<ConversionOutcome>::finished, this,
            &ConversionCommand::finish);
}

ConversionCommand::~ConversionCommand() {
    if (!running_)
        return;
    shared_->cancelled = true;
    watcher_.waitForFinished();
}

void ConversionCommand::start() {
    if (running_)
        return;
    // Settings that cannot make a movie are refused before the user picks a name.
    ConversionRequest request;
    request.settings = project_->settings();
    request.rows = project_->frameList()->paths();
    if (const std::optional<QString> problem =
            ConversionInputProblem(request.settings, request.rows)) {
        dialogs_->showMessage(*problem);
        return;
    }
    const std::optional<QByteArray> output = AskMovieFileName(*dialogs_);
    if (!output)
        return;
    request.outputPath = *output;
    running_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // A new choice at every conversion: the dialog starts from uncompressed frames.
    request.compression = dialogs_->askCompression();

    progress_ =
        new QProgressDialog(tr("AVIファイルを作成しています..."), tr("キャンセル"), 0, 0, window_);
    progress_->setObjectName(QStringLiteral("conversionProgress"));
    progress_->setWindowTitle(QStringLiteral("Vistrom"));
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    // The bar is updated directly: QProgressDialog::setValue would process
    // events inside the update.
    bar_ = new QProgressBar(progress_);
    bar_->setRange(0, 0);
    progress_->setBar(bar_);
    shared_ = std::make_shared<Shared>();
    connect(progress_, &QProgressDialog::canceled, this,
            [shared = shared_] { shared->cancelled = true; });
    progress_->show();

    watcher_.setFuture(QtConcurrent::run([request, shared = shared_, receiver = this] {
        return RunConversion(request, [&](long written, long total) {
            shared->written = written;
            shared->total = total;
            if (!shared->updatePending.exchange(true))
                QMetaObject::invokeMethod(receiver, &ConversionCommand::showProgress,
                                          Qt::QueuedConnection);
            return !shared->cancelled;
        });
    }));
}

void ConversionCommand::showProgress() {
    // Cleared before the counts are read: a count written after this asks again.
    shared_->updatePending = false;
    const long frames = shared_->total;
    const long written = shared_->written;
    if (progress_ && frames >= 0) {
        bar_->setMaximum(int(qMin<long>(frames, INT_MAX)));
        bar_->setValue(int(qMin<long>(written, INT_MAX)));
        progress_->setLabelText(
            tr("AVIファイルを作成しています... %1 / %2 フレーム").arg(written).arg(frames));
    }
}

void ConversionCommand::finish() {
    delete progress_;
    progress_ = nullptr;
    bar_ = nullptr;
    for (const ConversionMessage& message : watcher_.result().messages) {
        if (message.kind == ConversionMessage::Kind::Writer)
            dialogs_->showPlainMessage(message.text, message.caption);
        else
            dialogs_->showMessage(message.text);
    }
    QApplication::restoreOverrideCursor();
    running_ = false;
    emit finished();
}
