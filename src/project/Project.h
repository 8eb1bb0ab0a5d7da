#pragma once

// A project: the frame list with its selected and focus marks, the movie
// settings, the file it lives in and the undo history, with every operation
// the program's commands perform. It knows no widget: a view shows
// frameList() with marks() as its selection model; commands ask the user what
// they need and then call one method here; the views learn of changes through
// the signals.
//
// Modified is the undo history's clean state, and nothing else: every edit of
// the rows or of the settings is one undo step, and undoing back to what was
// opened or saved leaves the project unmodified. A command that finds nothing
// to change pushes no step yet still marks the project modified, as the
// commands always did; no undo leads back to the saved state after it, so the
// project stays modified until it is saved.

#include "project/BytePathFile.h"
#include "project/FrameList.h"
#include "settings/ProjectSettings.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QObject>
#include <QPersistentModelIndex>
#include <QString>

class QItemSelectionModel;
class QUndoCommand;
class QUndoStack;

// What an operation reports: Done, or the failure that stopped it.
enum class ProjectResult {
    Done,
    CannotOpen,      // the project file cannot be read
    NoRowLine,       // the project file ends before its first row line
    NotText,         // the file is not text (an image, say): no project file
    FileTooLarge,    // the project file is past the bound of its size,
    LineTooLong,     // of one line,
    TooManyRows,     // or of its rows
    CannotWrite,     // the project file cannot be written
    CannotOpenList,  // the file list to import cannot be read
    DropNameRefused, // a dropped item is no local file: the names before it were placed
    NotRowData,      // the clipboard text is not row data: nothing changed
};

// The message that tells the user about a result; empty for Done and NotRowData.
// A failure names the file and the system's reason when they are known.
QString ProjectMessage(ProjectResult result, const FileFailure& failure = {});

class Project : public QObject {
    Q_OBJECT

public:
    // A new project: default settings, 10 blank rows, untitled, unmodified.
    explicit Project(QObject* parent = nullptr);
    ~Project() override;

    FrameList* frameList() const { return list_; }
    // The selected rows and the focus row (the current index); they move with
    // their rows, also through undo and redo.
    QItemSelectionModel* marks() const { return marks_; }
    QUndoStack* undoStack() const { return undoStack_; }
    const ProjectSettings& settings() const { return settings_; }
    bool isUntitled() const { return untitled_; }
    bool isModified() const;
    // The project file's path bytes; kept after New, where it plays no part.
    const QByteArray& path() const { return path_; }
    // "Untitled", or the path as shown.
    QString title() const;
    // The folder relative image paths are taken from first: the project
    // file's; empty for an untitled project (the current folder only).
    QByteArray folder() const;
    // The file a row's path (or the sound path) names, found as
    // ResolveProjectPath finds it.
    QByteArray resolvedPath(const QByteArray& path) const;

    QList<int> selectedRows() const;
    int focusedRow() const; // -1 when no row has the focus mark

    // File operations. A load or save that fails leaves the project as it was;
    // lastFailure() then names the file and the reason.
    void newProject();
    ProjectResult load(const QByteArray& path);
    ProjectResult save(); // to path()
    ProjectResult saveAs(const QByteArray& path);
    const FileFailure& lastFailure() const { return lastFailure_; }

    // Blank rows: count of them as one block at position; a position off the
    // list (negative, or past the last row) appends.
    void insertBlanks(int position, int count);
    // Removes the selected rows, then selects the row that holds the focus.
    void deleteSelection();
    // Empties the path of every selected row; count, numbering and marks stay.
    void blankSelection();
    void clear();
    // Puts the focus on row (scrolling is the view's); false when there is no such row.
    bool goToRow(quint32 row);
    // Adds rows from .. to - 1 to the selection; rows past the last are passed over.
    void addRangeToSelection(quint32 from, quint32 to);
    // Selects every row; the focus stays.
    void selectAll();

    // The clipboard text of the selected rows. The cuts take the selected
    // rows out (closing up, or leaving blank rows) and answer their text.
    QByteArray copySelection() const;
    QByteArray cutClosingUp();
    QByteArray cutLeavingBlanks();
    // Rows from a clipboard text, at the focus row or the top: inserted before
    // it, or written over it and the rows below (the list never grows).
    ProjectResult pasteInserting(const QByteArray& clipboardText);
    ProjectResult pasteOverwriting(const QByteArray& clipboardText);
    // Names dropped on the list go to rows start, start + interval, ...; a
    // name aimed past the last row is not placed (pastTheEnd, when given,
    // counts them), and an empty name (an item that is no local file) stops
    // the placing.
    ProjectResult placeDroppedPaths(const QList<QByteArray>& names, quint32 start, quint32 interval,
                                    int* pastTheEnd = nullptr);
    // One row per line of the text file at path, before the focus row (or at the top).
    ProjectResult importFileList(const QByteArray& path);
    // Gives row the file at path; the same file again redraws the row and
    // the preview (it may have changed on disk) without an undo step.
    void changePath(int row, const QByteArray& path);

    // Settings confirmed in a dialog: one undo step when they differ.
    void changeSettings(const ProjectSettings& settings);
    // Settings the audio dialog stored before it was cancelled (its Browse
    // stores at once): kept without an undo step and without marking the
    // project modified.
    void keepUnconfirmedSettings(const ProjectSettings& settings);

    // Undo and redo of a row edit select the rows it changed (see UndoSteps.h)
    // and ask the views to show them (revealRows).
    void undo();
    void redo();

    // Shows the picture the movie shows at row: its own, or that of the
    // nearest filled row above, its path resolved. False, and nothing shown,
    // when there is none. The preview then follows that row: an edit that
    // changes its picture shows it again (a changed image, undo, redo), one
    // that leaves it none or takes the row away clears it, and so do New and
    // a load.
    bool showRowImage(int row);
    void clearPreview();
    // The resolved path of the picture the movie shows at row; empty when
    // there is none.
    QByteArray pictureAt(int row) const;
    // The row whose picture the movie shows at row; -1 when none.
    int pictureRowAt(int row) const;

signals:
    // New, or a load, replaced every row.
    void rowsReplaced();
    void modifiedChanged(bool modified);
    void titleChanged(const QString& title);
    // A picture to show; an empty path clears the preview.
    void showImage(const QByteArray& path);
    // Rows first to last changed by an undo or redo: a view scrolls them into sight.
    void revealRows(int first, int last);
    // The settings changed: confirmed in a dialog, kept after a Browse, undone
    // or redone, or replaced by New or a load.
    void settingsChanged();

private:
    // The end of every editing command: the step is pushed when it changes
    // something; either way the project counts as modified.
    void finishEdit(QUndoCommand* step);
    void applySettings(const ProjectSettings& settings);
    void replace(const ProjectSettings& settings, const QList<QByteArray>& rows);
    QList<QByteArray> selectedPaths() const;
    // Tells the views which rows the undo or redo step just run changed.
    void revealChangedRows(const QUndoCommand* step);
    // After an edit of the rows: shows the followed row's picture when it
    // changed (or redraw), or clears the preview when it has none (or rowGone).
    void followPreview(bool rowGone, bool redraw = false);

    FrameList* list_;
    QItemSelectionModel* marks_;
    QUndoStack* undoStack_;
    ProjectSettings settings_;
    QByteArray path_;
    bool untitled_ = true;
    FileFailure lastFailure_;
    // The row the preview shows (by number when a rebuild of the list lost
    // its index; -1 when none) and the picture shown for it.
    QPersistentModelIndex previewRow_;
    int previewRowNumber_ = -1;
    QByteArray previewPath_;
};
