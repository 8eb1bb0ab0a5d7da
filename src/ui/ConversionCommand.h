#pragma once

// The window's conversion to a movie (Ctrl+B). start() asks everything first
// (the file name, then the compressor), then runs the conversion on a worker
// thread and returns; the window stays live beside a progress dialog whose
// Cancel stops the conversion after the current frame. The dialog is not
// modal, so that a request to close the window still reaches the window (it
// asks whether to stop); the window keeps its own panes still meanwhile
// (started() and finished()). When the worker is done, what the conversion
// has to tell is shown through the dialog seam (TellConversionOutcome), and
// finished() is emitted. One conversion at a time; the wait cursor shows from
// the chosen name until the last message was answered.

#include "movie/Conversion.h"

#include <QFutureWatcher>
#include <QObject>

#include <memory>
#include <optional>

class Project;
class QProgressBar;
class QProgressDialog;
class QWidget;
class UserDialogs;

// The movie's file name: asked with a save dialog that opens in startFolder
// (empty: the folder last used), one filter per container, AVI's first and
// chosen at first. A name that ends in a container's extension (case aside)
// is kept; any other is completed with the chosen filter's extension (".avi"
// for AVI's). A completed name that exists is replaced only after a Yes.
// std::nullopt when the user cancelled.
std::optional<QByteArray> AskMovieFileName(UserDialogs& dialogs,
                                           const QByteArray& startFolder = {});

// What the window tells after a conversion, in order: the writer's own boxes
// and the conversion's messages as they happened, one summary of the images
// that could not be read, then how it ended: the closing message when the
// movie was written, that it was cancelled after N of M frames, or that it
// failed, with the reasons the outcome carries.
void TellConversionOutcome(UserDialogs& dialogs, const ConversionRequest& request,
                           const ConversionOutcome& outcome);
// The summary of unreadable images: how many rows, the first few of them.
QString UnreadableImagesSummary(const QList<UnreadableImage>& images);

class ConversionCommand : public QObject {
    Q_OBJECT

public:
    // project and dialogs are not owned; window owns the progress dialog.
    ConversionCommand(Project* project, UserDialogs* dialogs, QWidget* window);
    // Stops a running conversion and waits for it.
    ~ConversionCommand() override;

    bool isRunning() const { return running_; }
    // The container of the movie being written (or written last).
    MovieContainer container() const;

public slots:
    void start();
    // Stops a running conversion after the current frame, as Cancel does.
    void cancel();

signals:
    void started();
    void finished();

private:
    struct Shared; // between this thread and the worker

    void showProgress();
    void finish();

    Project* project_;
    UserDialogs* dialogs_;
    QWidget* window_;
    bool running_ = false;
    ConversionRequest request_; // the movie's name and compressor, for what is told at the end
    std::shared_ptr<Shared> shared_;
    QProgressDialog* progress_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QFutureWatcher<ConversionOutcome> watcher_;
};
