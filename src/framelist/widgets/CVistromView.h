#pragma once

// The list pane and the centre of the program: it shows the FrameList and owns
// the project (rows, settings, untitled/modified, projectPath, title). Nearly
// every command is a handler here; each reads as: ask through the dialog seam,
// act on the model in one batch, set modified, relabel.
//
// The handlers are spread over several files by area:
//   CVistromView.cpp           construction, new project, labels, project file
//                              commands, printing
//   CVistromView_edit.cpp      blanks, delete, clear, go to, range, undo/redo
//   CVistromView_clipboard.cpp copy, cut, paste
//   CVistromView_images.cpp    drops, file-list import, show and change image
//   CVistromView_settings.cpp  frame rate and size, audio
//   CVistromView_convert.cpp   conversion to AVI

#include "framelist/FrameList.h"
#include "settings/ProjectSettings.h"

#include <QByteArray>
#include <QString>
#include <QTableView>

class CVistromDoc;
class QPrinter;
class QUndoStack;
class UserDialogs;

class CVistromView : public QTableView {
    Q_OBJECT

public:
    CVistromView(CVistromDoc* document, UserDialogs* dialogs, QWidget* parent = nullptr);
    ~CVistromView() override;

    // Project state.
    int untitled = 1;
    int modified = 0;
    QByteArray projectPath;
    QString title;
    ProjectSettings settings;

    FrameList* frameList() const { return frameList_; }
    CVistromDoc* document() const { return document_; }
    UserDialogs* dialogs() const { return dialogs_; }
    QUndoStack* undoStack() const { return undoStack_; }

    // Part of the view's set-up after New, Open and Save As: title, caption and,
    // for an untitled project, default settings and 10 blank rows.
    void OnInitialUpdate();
    void ResetSettings();
    // Relabels every row and refreshes every icon (labels follow settings.fps).
    void RenumberRows();
    void RefreshRowIcon(int row);

    // Project file: 0 on success, 1 on failure (after showing the message).
    int WriteProjectFile();
    int ReadProjectFile();
    // Hint 1 from the document: load the project at path.
    void OnUpdate(QObject* sender, int hint, const QByteArray& payload);
    // Asks about unsaved changes before the program closes; false when the
    // user's Yes led to a cancelled or failed save (closing is then cancelled).
    bool QueryClose();

    // Rows and marks helpers shared by the commands.
    int focusedRow() const; // -1 when no row has the focus mark
    QList<int> selectedRows() const;

public slots:
    // File (57600, 57601, 57603, 57604), printing (57607, 57609).
    void OnNewProject();
    void OnOpenProject();
    void OnSaveProject();
    void OnSaveProjectAs();
    void OnFilePrint();
    void OnFilePrintPreview();

    // Edit: blanks, delete, clear, go to, range (32771-32777), undo and redo.
    void OnAddBlanksAtEnd();
    void OnInsertBlanksHere();
    void OnClearAll();
    void OnDeleteSelection();
    void OnBlankSelection();
    void OnGoToRow();
    void OnAddRangeToSelection();
    void OnUndo();
    void OnRedo();

    // Edit: clipboard rows (32781-32785).
    void OnCopyRows();
    void OnCutRowsClosingUp();
    void OnCutRowsLeavingBlanks();
    void OnPasteRowsInserting();
    void OnPasteRowsOverwriting();

    // Edit: drops, import, show and change image (32786, 32789, 32792, 32793).
    void OnDragDropHelp();
    void OnImportFileList();
    void OnShowImage();
    void OnChangeImage();

    // Settings (32778, 32791) and conversion (32780).
    void OnFrameRateAndSize();
    void OnAudioSettings();
    void OnConvertToAvi();

signals:
    // The caption of the main window changed ("<title>- Vistrom").
    void captionChanged(const QString& caption);

public:
    // Shared by the commands of the edit and image files.
    void InsertBlankRows(int position, int count);
    void ShowRowImage(int row);
    void ClearPreview();
    void ChangeRowImage(int row);
    // Ends in 0 with outputPath set, 1 when cancelled.
    int AskAviFileName(QByteArray& outputPath);

protected:
    bool event(QEvent* event) override; // claims the list's keys (CVistromView_edit.cpp)
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void printRows(QPrinter* printer);

    CVistromDoc* document_;
    UserDialogs* dialogs_;
    FrameList* frameList_;
    QUndoStack* undoStack_;
};
