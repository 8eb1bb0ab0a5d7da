#pragma once

// The main window: a splitter with the list pane on the left (400 wide) and
// the preview pane on the right (collapsed at first, opened to at least half
// of the window whenever it has something to show), the menus and keys of
// the command table, and the commands that are the window's rather than the
// list's: File, settings, conversion, printing, About, pane switching. Files
// dropped on the window outside the list go to the list when the first one is
// an image, else the first one opens as a project.
// Every action carries its command id (data() and objectName "cmd<id>").

#include "ui/CommandTable.h"

#include <QHash>
#include <QMainWindow>

#include <functional>

class ConversionCommand;
class FrameListView;
class MediaPlayerSound;
class Playback;
class PreviewPane;
class Project;
enum class ProjectResult;
class QPrintDialog;
class QPrinter;
class QSplitter;
class UserDialogs;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // project and dialogs are not owned and must outlive the window.
    MainWindow(Project* project, UserDialogs* dialogs, QWidget* parent = nullptr);
    ~MainWindow() override;

    FrameListView* listView() const { return list_; }
    PreviewPane* preview() const { return preview_; }
    QSplitter* splitter() const { return splitter_; }
    ConversionCommand* conversion() const { return conversion_; }
    Playback* playback() const { return playback_; }
    // The action of a command id, or nullptr; whether the id has a handler.
    QAction* commandAction(Command id) const { return actions_.value(id); }
    bool handles(Command id) const { return handlers_.contains(id); }

    // Opens the project at path, after the question about unsaved changes (a
    // path on the command line, a file dropped on the window).
    void openProjectAt(const QByteArray& path);
    // Asks about unsaved changes before they would be lost. True when the
    // caller may go on: nothing to save, No, or Yes with a save that went
    // through; a dismissed question calls the action off.
    bool maySaveFirst();

    // The print dialog as print() shows it: no page range, and the file a
    // print to file writes: printFileName().
    void preparePrintDialog(QPrintDialog& dialog) const;
    // The project's name with ".pdf" in the project's folder (untitled: in
    // the home folder).
    QString printFileName() const;

public slots:
    void newProject();
    void openProject();
    void saveProject();
    void saveProjectAs();
    void print();
    void frameRateAndSize();
    void audioSettings();
    void about();
    void switchPane(); // F6 and Shift+F6: with two panes, both go to the other one
    // Plays the movie from the focus row (or the first), pauses, resumes.
    void playOrPause();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void bindHandlers();
    void buildMenus();
    // Shows what a failed load or save has to tell.
    void showFailure(ProjectResult result);
    // False when path is write-protected and the user would not replace it.
    bool mayReplace(const QByteArray& path);
    // Gives the preview pane at least half of the window, when it has
    // something to show.
    void openPreview();
    // Keeps the panes and menus still while a conversion runs.
    void setBusy(bool busy);
    // Playback goes on with the rows and settings as they are after an edit.
    void playEdits();
    // The sound file playback plays (empty: none), and how it finds the rows' files.
    QByteArray playbackSound() const;
    std::function<QByteArray(const QByteArray&)> playbackResolver() const;

    Project* project_;
    UserDialogs* dialogs_;
    QSplitter* splitter_;
    FrameListView* list_;
    PreviewPane* preview_;
    ConversionCommand* conversion_;
    Playback* playback_;
    MediaPlayerSound* sound_;
    QHash<Command, std::function<void()>> handlers_;
    QHash<Command, QAction*> actions_;
    bool closeAfterConversion_ = false;
    bool followPending_ = false; // playEdits() is queued
};
