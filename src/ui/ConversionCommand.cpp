#include "ui/ConversionCommand.h"

#include "dialogs/UserDialogs.h"
#include "project/Project.h"
#include "project/ProjectFile.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QProgressDialog>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
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

// Whether the name ends in a container's extension (case aside).
bool HasMovieExtension(const QByteArray& path) {
    const QByteArray lower = path.toLower();
    return std::ranges::any_of(MovieContainers(), [&lower](MovieContainer container) {
        return lower.endsWith(QByteArray(".") + ContainerExtension(container));
    });
}

// One filter per container, AVI's first.
QString MovieFilters() {
    QString filter = ConversionCommand::tr("AVI-type file (*.avi)|  |");
    for (MovieContainer container : MovieContainers())
        if (container != MovieContainer::Avi)
            filter += QStringLiteral("%1 (*.%2)|*.%2|")
                          .arg(QLatin1String(ContainerDescription(container)),
                               QLatin1String(ContainerExtension(container)));
    return filter + QLatin1Char('|');
}

MovieContainer ContainerOf(const QByteArray& path) {
    return ContainerForPath(path.toStdString());
}

} // namespace

std::optional<QByteArray> AskMovieFileName(UserDialogs& dialogs, const QByteArray& startFolder) {
    UserDialogs::FileRequest request;
    request.save = true;
    request.title = ConversionCommand::tr("AVIファイルの保存先");
    request.startFolder = startFolder;
    request.initialName = QStringLiteral("*.avi");
    request.filter = MovieFilters();
    request.overwritePrompt = true;
    int filter = 0;
    request.chosenFilter = &filter;
    const std::optional<QByteArray> chosen = dialogs.askFileName(request);
    if (!chosen || chosen->isEmpty())
        return std::nullopt;
    if (HasMovieExtension(*chosen))
        return chosen;
    // The chosen filter's extension. The dialog asked about the name as typed;
    // the completed name is a different file, and replacing it needs the
    // user's say as well.
    const std::vector<MovieContainer>& containers = MovieContainers();
    const MovieContainer container = filter > 0 && size_t(filter) < containers.size()
                                         ? containers[size_t(filter)]
                                         : MovieContainer::Avi;
    const QByteArray path = *chosen + '.' + ContainerExtension(container);
    const QString shown = QFile::decodeName(path);
    if (QFileInfo::exists(shown) &&
        dialogs.askYesNo(
            ConversionCommand::tr("%1 は既に存在します。\n上書きしますか?").arg(shown)) !=
            UserDialogs::Answer::Yes)
        return std::nullopt;
    return path;
}

QString UnreadableImagesSummary(const QList<UnreadableImage>& images) {
    constexpr qsizetype shown = 5;
    QString text =
        ConversionCommand::tr("%1 行の画像を読み込めなかったため、白いフレームにしました。")
            .arg(images.size());
    for (qsizetype i = 0; i < std::min(images.size(), shown); ++i) {
        const UnreadableImage& image = images[i];
        text +=
            QLatin1Char('\n') +
            ConversionCommand::tr("%1 行目: %2").arg(image.row).arg(QFile::decodeName(image.path));
        if (!image.reason.isEmpty())
            text += QStringLiteral(" (%1)").arg(image.reason);
    }
    if (images.size() > shown)
        text += QLatin1Char('\n') + ConversionCommand::tr("ほか %1 行").arg(images.size() - shown);
    return text;
}

void TellConversionOutcome(UserDialogs& dialogs, const ConversionRequest& request,
                           const ConversionOutcome& outcome) {
    const MovieContainer container = ContainerOf(request.outputPath);
    // A cancelled compression dialog is the user's cancel as well.
    const bool cancelled = outcome.cancelled || !request.compression;
    const bool failed =
        outcome.status == ConversionStatus::Finished && !cancelled && outcome.writerResult != 0;
    QString closing;
    QStringList reasons;
    for (const ConversionMessage& message : outcome.messages) {
        switch (message.kind) {
        case ConversionMessage::Kind::Writer:
            dialogs.showPlainMessage(message.text, message.caption);
            break;
        case ConversionMessage::Kind::Program:
            // The reasons of a failure go into the one box that says it failed.
            if (failed)
                reasons << message.text;
            else
                dialogs.showMessage(message.text);
            break;
        case ConversionMessage::Kind::Closing:
            closing = message.text;
            break;
        }
    }
    if (!outcome.unreadableImages.isEmpty())
        dialogs.showMessage(UnreadableImagesSummary(outcome.unreadableImages));
    if (outcome.status != ConversionStatus::Finished)
        return; // refused, or the intermediate file failed: its message said so
    if (cancelled) {
        dialogs.showMessage(
            ForContainer(container,
                         ConversionCommand::tr("AVI変換をキャンセルしました。\n"
                                               "%1 フレーム中 %2 フレームを書き込んだところで"
                                               "中止しました。"),
                         ConversionCommand::tr("%1変換をキャンセルしました。\n"
                                               "%2 フレーム中 %3 フレームを書き込んだところで"
                                               "中止しました。"))
                .arg(outcome.lines)
                .arg(outcome.framesWritten));
    } else if (failed) {
        reasons.prepend(ForContainer(container,
                                     ConversionCommand::tr("AVI変換に失敗しました。\n%1"),
                                     ConversionCommand::tr("%1変換に失敗しました。\n%2"))
                            .arg(QFile::decodeName(request.outputPath)));
        dialogs.showMessage(reasons.join(QLatin1Char('\n')));
    } else if (!closing.isEmpty()) {
        dialogs.showMessage(closing);
    }
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
    const std::optional<QByteArray> output = AskMovieFileName(*dialogs_, project_->folder());
    if (!output)
        return;
    request.outputPath = *output;
    if (!project_->isUntitled())
        request.projectPath = project_->path();
    running_ = true;
    emit started();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // A new choice at every conversion: the dialog starts from the
    // container's first entry (for AVI, uncompressed frames).
    const MovieContainer container = ContainerOf(request.outputPath);
    request.compression = dialogs_->askCompression(
        QSize(int(request.settings.width), int(request.settings.height)), container);

    progress_ = new QProgressDialog(ForContainer(container, tr("AVIファイルを作成しています..."),
                                                 tr("%1ファイルを作成しています...")),
                                    tr("キャンセル"), 0, 0, window_);
    progress_->setObjectName(QStringLiteral("conversionProgress"));
    progress_->setWindowTitle(QStringLiteral("Vistrom"));
    progress_->setWindowModality(Qt::NonModal);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    // The bar is updated directly: QProgressDialog::setValue would process
    // events inside the update.
    bar_ = new QProgressBar(progress_);
    bar_->setRange(0, 0);
    progress_->setBar(bar_);
    shared_ = std::make_shared<Shared>();
    connect(progress_, &QProgressDialog::canceled, this, &ConversionCommand::cancel);
    progress_->show();

    request_ = ConversionRequest{};
    request_.outputPath = request.outputPath;
    request_.compression = request.compression;
    // Relative paths are looked up in the project's folder on the worker:
    // thousands of rows cost thousands of file look-ups.
    watcher_.setFuture(QtConcurrent::run([request = std::move(request), folder = project_->folder(),
                                          shared = shared_, receiver = this]() mutable {
        request.rows = ResolveProjectPaths(std::move(request.rows), folder);
        request.settings.audioPath = ResolveProjectPath(request.settings.audioPath, folder);
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

MovieContainer ConversionCommand::container() const {
    return ContainerOf(request_.outputPath);
}

void ConversionCommand::cancel() {
    if (running_ && shared_)
        shared_->cancelled = true;
}

void ConversionCommand::showProgress() {
    // Cleared before the counts are read: a count written after this asks again.
    shared_->updatePending = false;
    const long frames = shared_->total;
    const long written = shared_->written;
    if (progress_ && frames >= 0) {
        bar_->setMaximum(int(qMin<long>(frames, INT_MAX)));
        bar_->setValue(int(qMin<long>(written, INT_MAX)));
        progress_->setLabelText(ForContainer(ContainerOf(request_.outputPath),
                                             tr("AVIファイルを作成しています... %1 / %2 フレーム"),
                                             tr("%1ファイルを作成しています... %2 / %3 フレーム"))
                                    .arg(written)
                                    .arg(frames));
    }
}

void ConversionCommand::finish() {
    delete progress_;
    progress_ = nullptr;
    bar_ = nullptr;
    TellConversionOutcome(*dialogs_, request_, watcher_.result());
    QApplication::restoreOverrideCursor();
    running_ = false;
    emit finished();
}
