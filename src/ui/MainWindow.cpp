#include "ui/MainWindow.h"

#include "dialogs/AboutDialog.h"
#include "dialogs/AppIcon.h"
#include "dialogs/UserDialogs.h"
#include "movie/Conversion.h"
#include "movie/FrameDrawing.h"
#include "movie/Playback.h"
#include "project/BytePathFile.h"
#include "project/Project.h"
#include "project/ProjectFile.h"
#include "ui/ConversionCommand.h"
#include "ui/FrameListPrinting.h"
#include "ui/FrameListView.h"
#include "ui/MediaPlayerSound.h"
#include "ui/PreviewPane.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QSplitter>
#include <QUndoStack>
#include <QUrl>

#include <cstdio>

namespace {

const char ProjectFilter[] = QT_TRANSLATE_NOOP("MainWindow", "Vistrom-type file (*.fsq)| *.fsq ||");

QString FirstLocalFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls())
        return {};
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return {};
}

// Whether a dropped file is an image rather than a project: its name has an
// image format's extension, or its first bytes are an image format's
// signature (BMP, JPEG, PNG, GIF, TIFF, WebP, HEIF and AVIF).
bool IsImageFile(const QByteArray& path) {
    static const QByteArrayList extensions{"bmp", "dib", "jpg",  "jpeg", "jpe",  "jfif", "png",
                                           "gif", "tif", "tiff", "webp", "heic", "heif", "avif"};
    const qsizetype dot = path.lastIndexOf('.');
    if (dot > path.lastIndexOf('/') && extensions.contains(path.mid(dot + 1).toLower()))
        return true;
    QByteArray head(16, '\0');
    std::FILE* file = std::fopen(path.constData(), "rb");
    if (!file)
        return false;
    head.truncate(qsizetype(std::fread(head.data(), 1, size_t(head.size()), file)));
    std::fclose(file);
    return head.startsWith("BM") || head.startsWith("\xff\xd8\xff") ||
           head.startsWith("\x89PNG\r\n\x1a\n") || head.startsWith("GIF8") ||
           head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4)) ||
           (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP") || head.mid(4, 4) == "ftyp";
}

} // namespace

MainWindow::MainWindow(Project* project, UserDialogs* dialogs, QWidget* parent)
    : QMainWindow(parent), project_(project), dialogs_(dialogs),
      splitter_(new QSplitter(Qt::Horizontal, this)),
      list_(new FrameListView(project, dialogs, splitter_)), preview_(new PreviewPane(splitter_)),
      conversion_(new ConversionCommand(project, dialogs, this)), playback_(new Playback(this)),
      sound_(new MediaPlayerSound(this)) {
    setWindowIcon(VistromAppIcon());
    splitter_->setObjectName(QStringLiteral("splitter"));
    splitter_->addWidget(list_);
    splitter_->addWidget(preview_);
    splitter_->setCollapsible(0, false);
    splitter_->setCollapsible(1, true);
    // A wider window widens the list; the preview opens only when the user
    // drags the bar.
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 0);
    setCentralWidget(splitter_);
    bindHandlers();
    buildMenus();
    setAcceptDrops(true);

    const auto showTitle = [this](const QString& title) {
        setWindowTitle(title + QStringLiteral("- Vistrom"));
    };
    showTitle(project_->title());
    connect(project_, &Project::titleChanged, this, showTitle);
    connect(project_, &Project::showImage, preview_, &PreviewPane::showImage);
    connect(project_, &Project::showImage, this, [this](const QByteArray& path) {
        if (!path.isEmpty())
            openPreview();
    });
    const auto takeDecodeOptions = [this] {
        preview_->setDecodeOptions(ImageDecodeOptions(project_->settings()));
    };
    takeDecodeOptions();
    connect(project_, &Project::settingsChanged, this, takeDecodeOptions);
    // Playback shows each position in the preview, and the list's focus
    // follows the row playing; it ends with another project.
    playback_->setSound(sound_);
    connect(playback_, &Playback::frameShown, this,
            [this](long, int row, const PixelBuffer& frame) {
                openPreview();
                preview_->showMovieFrame(frame);
                if (project_->goToRow(quint32(row)))
                    list_->scrollTo(list_->model()->index(row, 0));
            });
    connect(project_, &Project::rowsReplaced, playback_, &Playback::stop);
    // Edits while playing are played as they are now, once per turn of the
    // event loop however many signals an edit gives.
    const auto followEdits = [this] {
        if (playback_->isActive() && !followPending_) {
            followPending_ = true;
            QMetaObject::invokeMethod(this, &MainWindow::playEdits, Qt::QueuedConnection);
        }
    };
    const FrameList* rows = project_->frameList();
    connect(rows, &QAbstractItemModel::rowsInserted, this, followEdits);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, followEdits);
    connect(rows, &QAbstractItemModel::dataChanged, this, followEdits);
    connect(project_, &Project::settingsChanged, this, followEdits);
    // While a movie is written the panes and menus stay still, as behind a
    // modal dialog, but a request to close the window still reaches it.
    connect(conversion_, &ConversionCommand::started, this, [this] { setBusy(true); });
    connect(conversion_, &ConversionCommand::finished, this, [this] {
        setBusy(false);
        if (closeAfterConversion_) {
            closeAfterConversion_ = false;
            close();
        }
    });

    // The list pane starts 400 wide, the preview collapsed to nothing.
    resize(400 + splitter_->handleWidth(), 480);
    splitter_->setSizes({400, 0});
    list_->setFocus();
}

MainWindow::~MainWindow() = default;

void MainWindow::bindHandlers() {
    FrameListView* l = list_;
    Project* p = project_;
    handlers_ = {
        {Command::NewProject, [this] { newProject(); }},
        {Command::OpenProject, [this] { openProject(); }},
        {Command::SaveProject, [this] { saveProject(); }},
        {Command::SaveProjectAs, [this] { saveProjectAs(); }},
        {Command::Exit, [this] { close(); }},
        {Command::Undo, [p] { p->undo(); }},
        {Command::Redo, [p] { p->redo(); }},
        {Command::CutRowsClosingUp, [l] { l->cutRowsClosingUp(); }},
        {Command::CopyRows, [l] { l->copyRows(); }},
        {Command::PasteRowsInserting, [l] { l->pasteRowsInserting(); }},
        {Command::DeleteSelection, [l] { l->deleteSelection(); }},
        {Command::AddBlanksAtEnd, [l] { l->addBlanksAtEnd(); }},
        {Command::InsertBlanksHere, [l] { l->insertBlanksHere(); }},
        {Command::ClearAll, [l] { l->clearAll(); }},
        {Command::BlankSelection, [l] { l->blankSelection(); }},
        {Command::GoToRow, [l] { l->goToRow(); }},
        {Command::AddRangeToSelection, [l] { l->addRangeToSelection(); }},
        {Command::SelectAll, [l] { l->selectAll(); }},
        {Command::CutRowsLeavingBlanks, [l] { l->cutRowsLeavingBlanks(); }},
        {Command::PasteRowsOverwriting, [l] { l->pasteRowsOverwriting(); }},
        {Command::ExplainDragAndDrop, [l] { l->explainDragAndDrop(); }},
        {Command::ImportFileList, [l] { l->importFileList(); }},
        {Command::ShowImage, [l] { l->showImage(); }},
        {Command::ChangeImage, [l] { l->changeImage(); }},
        {Command::FrameRateAndSize, [this] { frameRateAndSize(); }},
        {Command::AudioSettings, [this] { audioSettings(); }},
        {Command::ConvertToMovie, [this] { conversion_->start(); }},
        {Command::About, [this] { about(); }},
        {Command::Print, [this] { print(); }},
        {Command::NextPane, [this] { switchPane(); }},
        {Command::PreviousPane, [this] { switchPane(); }},
        {Command::ShowThumbnails,
         [this] { list_->setThumbnailsShown(actions_[Command::ShowThumbnails]->isChecked()); }},
        {Command::PlayPause, [this] { playOrPause(); }},
        {Command::StopPlayback, [this] { playback_->stop(); }},
        {Command::LoopPlayback,
         [this] { playback_->setLoop(actions_[Command::LoopPlayback]->isChecked()); }},
    };
}

void MainWindow::buildMenus() {
    QHash<int, QMenu*> menus;
    for (const MenuEntry& entry : MenuTable())
        menus.insert(int(entry.menu), menuBar()->addMenu(MenuTitle(entry)));
    for (const CommandEntry& entry : CommandTable()) {
        QWidget* owner =
            entry.menu == Menu::None ? static_cast<QWidget*>(this) : menus[int(entry.menu)];
        if (entry.id == Command::Separator) {
            static_cast<QMenu*>(owner)->addSeparator();
            continue;
        }
        // The text is shown exactly as written, key column included: QMenu
        // takes the part after the tab as the key text, so "Del/Ctrl+D" shows
        // as such.
        auto* action = new QAction(CommandText(entry), this);
        action->setData(int(entry.id));
        action->setObjectName(QStringLiteral("cmd%1").arg(int(entry.id)));
        action->setShortcuts(CommandKeys(entry));
        action->setAutoRepeat(false);
        action->setCheckable(entry.check != CommandEntry::NoCheck);
        action->setChecked(entry.check == CommandEntry::Checked);
        if (entry.statusTip)
            action->setStatusTip(QCoreApplication::translate("CommandTable", entry.statusTip));
        if (const std::function<void()> handler = handlers_.value(entry.id))
            connect(action, &QAction::triggered, this, [handler] { handler(); });
        owner->addAction(action);
        // The list's own keys work only there, so they never take a key from
        // another pane or from an open menu.
        action->setShortcutContext(entry.scope == KeyScope::List ? Qt::WidgetWithChildrenShortcut
                                                                 : Qt::WindowShortcut);
        if (entry.scope == KeyScope::List)
            list_->addAction(action);
        actions_.insert(entry.id, action);
    }
    // The list's context menu shows the Edit menu's own actions.
    auto* context = new QMenu(this);
    context->setObjectName(QStringLiteral("listContextMenu"));
    for (const Command id : ListContextMenu()) {
        if (id == Command::Separator)
            context->addSeparator();
        else
            context->addAction(actions_[id]);
    }
    list_->setContextMenu(context);
    // Undo and redo are available exactly when there is a step.
    const QUndoStack* stack = project_->undoStack();
    actions_[Command::Undo]->setEnabled(stack->canUndo());
    connect(stack, &QUndoStack::canUndoChanged, actions_[Command::Undo], &QAction::setEnabled);
    actions_[Command::Redo]->setEnabled(stack->canRedo());
    connect(stack, &QUndoStack::canRedoChanged, actions_[Command::Redo], &QAction::setEnabled);
}

void MainWindow::openPreview() {
    const QList<int> sizes = splitter_->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    if (sizes.value(1) * 2 < total)
        splitter_->setSizes({total - (total + 1) / 2, (total + 1) / 2});
}

void MainWindow::showFailure(ProjectResult result) {
    const QString message = ProjectMessage(result, project_->lastFailure());
    if (!message.isEmpty())
        dialogs_->showMessage(message);
}

void MainWindow::setBusy(bool busy) {
    splitter_->setEnabled(!busy);
    menuBar()->setEnabled(!busy);
}

bool MainWindow::maySaveFirst() {
    if (!project_->isModified())
        return true;
    switch (dialogs_->askYesNo(tr("未保存のデータを保存しますか?"))) {
    case UserDialogs::Answer::No:
        return true;
    case UserDialogs::Answer::Dismissed: // Escape or the close box: the action is called off
        return false;
    case UserDialogs::Answer::Yes:
        break;
    }
    saveProject();
    return !project_->isModified(); // a cancelled or failed save leaves it modified
}

// Saving puts a new file in place of the old one, which works even when the
// old one is write-protected: ask first, as editors do.
bool MainWindow::mayReplace(const QByteArray& path) {
    return !IsWriteProtected(path) ||
           dialogs_->askYesNo(
               tr("%1 は書き込み禁止です。\n上書きしますか?").arg(QFile::decodeName(path))) ==
               UserDialogs::Answer::Yes;
}

// A file that cannot be loaded leaves the project as it was, on its own file,
// so that a later Save cannot put these rows over the file that was asked for.
void MainWindow::openProjectAt(const QByteArray& path) {
    if (maySaveFirst())
        showFailure(project_->load(path));
}

void MainWindow::newProject() {
    if (maySaveFirst())
        project_->newProject();
}

void MainWindow::openProject() {
    if (!maySaveFirst())
        return;
    UserDialogs::FileRequest request;
    request.title = tr("プロジェクトを開く");
    request.startFolder = project_->folder();
    request.initialName = QStringLiteral("*.fsq");
    request.filter = tr(ProjectFilter);
    if (const std::optional<QByteArray> chosen = dialogs_->askFileName(request))
        showFailure(project_->load(*chosen));
}

void MainWindow::saveProject() {
    if (project_->isUntitled())
        saveProjectAs();
    else if (mayReplace(project_->path()))
        showFailure(project_->save());
}

void MainWindow::saveProjectAs() {
    UserDialogs::FileRequest request;
    request.save = true;
    request.title = tr("プロジェクトに名前を付けて保存");
    request.startFolder = project_->folder();
    request.initialName = QStringLiteral("untitled");
    request.filter = tr(ProjectFilter);
    request.defaultExtension = QStringLiteral("fsq");
    request.overwritePrompt = true;
    const std::optional<QByteArray> chosen = dialogs_->askFileName(request);
    if (chosen && mayReplace(*chosen))
        showFailure(project_->saveAs(*chosen));
}

QString MainWindow::printFileName() const {
    const QByteArray folder = project_->folder();
    const QString name = project_->isUntitled()
                             ? project_->title()
                             : QFileInfo(QFile::decodeName(project_->path())).completeBaseName();
    return (folder.isEmpty() ? QDir::homePath() : QFile::decodeName(folder)) +
           (folder.endsWith('/') ? QString() : QStringLiteral("/")) + name + QStringLiteral(".pdf");
}

void MainWindow::preparePrintDialog(QPrintDialog& dialog) const {
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    // The file a print to file writes: the project's name with ".pdf" beside
    // the project. Given to the dialog's own field, so that the printer it
    // offers first stays the system's default one.
    if (auto* file = dialog.findChild<QLineEdit*>(QStringLiteral("filename")))
        file->setText(printFileName());
}

void MainWindow::print() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(project_->title());
    QPrintDialog dialog(&printer, this);
    preparePrintDialog(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    PrintFrameRows(&printer, *project_->frameList(), project_->title());
    QApplication::restoreOverrideCursor();
}

// OK marks the project modified even without a change; the times of the rows
// follow the frame rate.
void MainWindow::frameRateAndSize() {
    ProjectSettings settings = project_->settings();
    if (dialogs_->runFrameRateDialog(settings))
        project_->changeSettings(settings);
}

// The audio dialog's Browse stores the path at once: it stays after a Cancel,
// without marking the project modified.
void MainWindow::audioSettings() {
    ProjectSettings settings = project_->settings();
    if (dialogs_->runAudioDialog(settings, project_->folder()))
        project_->changeSettings(settings);
    else if (settings != project_->settings())
        project_->keepUnconfirmedSettings(settings);
}

void MainWindow::about() {
    AboutDialog about(this);
    about.exec();
}

void MainWindow::switchPane() {
    if (list_->hasFocus() || list_->isAncestorOf(focusWidget()))
        preview_->setFocus(Qt::OtherFocusReason);
    else
        list_->setFocus(Qt::OtherFocusReason);
}

void MainWindow::playOrPause() {
    if (playback_->isActive()) {
        if (playback_->isPaused())
            playback_->resume();
        else
            playback_->pause();
        return;
    }
    const ProjectSettings& settings = project_->settings();
    const QList<QByteArray> rows = project_->frameList()->paths();
    if (const std::optional<QString> problem = ConversionInputProblem(settings, rows)) {
        dialogs_->showMessage(*problem);
        return;
    }
    // The pane shows the movie now, no longer a row's image.
    project_->clearPreview();
    playback_->start(rows, settings, std::max(project_->focusedRow(), 0), playbackSound(),
                     playbackResolver());
}

// Settings that can no longer make a movie stop playback; the focus stays on
// the last row shown.
void MainWindow::playEdits() {
    followPending_ = false;
    const ProjectSettings& settings = project_->settings();
    const QList<QByteArray> rows = project_->frameList()->paths();
    if (ConversionInputProblem(settings, rows))
        playback_->stop();
    else
        playback_->follow(rows, settings, playbackSound(), playbackResolver());
}

QByteArray MainWindow::playbackSound() const {
    const QByteArray sound = ConversionAudioPath(project_->settings());
    return sound.isEmpty() ? sound : project_->resolvedPath(sound);
}

std::function<QByteArray(const QByteArray&)> MainWindow::playbackResolver() const {
    return [folder = project_->folder()](const QByteArray& path) {
        return ResolveProjectPath(path, folder);
    };
}

// During a conversion the window asks whether to stop it: Yes stops after
// the current frame and closes once the conversion has ended; No (or a
// dismissed question) goes on converting with the window open.
void MainWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (conversion_->isRunning()) {
        if (!closeAfterConversion_ &&
            dialogs_->askYesNo(
                ForContainer(conversion_->container(),
                             tr("AVIファイルを作成しています。\n変換を中止して終了しますか?"),
                             tr("%1ファイルを作成しています。\n変換を中止して終了しますか?"))) ==
                UserDialogs::Answer::Yes) {
            closeAfterConversion_ = true;
            conversion_->cancel();
        }
        return;
    }
    if (maySaveFirst())
        event->accept();
}

// Drops that reach the window (not taken by the list): image files go to the
// list as a drop on it would place them; any other file opens as a project.
// Only the names are taken: always a copy, so that a file manager that
// proposed a move never deletes the file it dragged.
void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (FirstLocalFile(event->mimeData()).isEmpty())
        return;
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QByteArray path = QFile::encodeName(FirstLocalFile(event->mimeData()));
    if (path.isEmpty())
        return;
    activateWindow();
    const bool image = IsImageFile(path);
    if (image && !list_->placeDroppedFiles(event->mimeData()->urls())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (!image)
        openProjectAt(path);
}
