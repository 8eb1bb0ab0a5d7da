#pragma once

// The list pane: shows a project's FrameList (row number and time, icon,
// path) with the project's marks as its selection, and turns the list's keys,
// mouse clicks, dropped files and the Edit menu's list commands into questions
// through the dialog seam and then Project calls. The commands live in
// FrameListCommands.cpp; construction and the input events here.

#include <QByteArray>
#include <QHash>
#include <QTableView>
#include <QUrl>

class Project;
class UserDialogs;

class FrameListView : public QTableView {
    Q_OBJECT

public:
    // project and dialogs are not owned and must outlive the view.
    FrameListView(Project* project, UserDialogs* dialogs, QWidget* parent = nullptr);

    Project* project() const { return project_; }

    // Places dropped files on the rows, after asking where, exactly as a drop
    // on the list does; false when the user cancelled.
    bool placeDroppedFiles(const QList<QUrl>& urls);
    // Whether the file a row's path names is missing (the row then shows the
    // style's warning icon); looked up once, until recheckFiles().
    bool isMissing(const QByteArray& path) const;
    // Forgets what was found about the files and repaints; done whenever the
    // window is activated and when another project is loaded.
    void recheckFiles();

public slots:
    // Blank rows, delete, clear, go to, range.
    void addBlanksAtEnd();
    void insertBlanksHere();
    void clearAll();
    void deleteSelection();
    void blankSelection();
    void goToRow();
    void addRangeToSelection();

    // Rows through the system clipboard.
    void copyRows();
    void cutRowsClosingUp();
    void cutRowsLeavingBlanks();
    void pasteRowsInserting();
    void pasteRowsOverwriting();

    // Drops, the file-list import, showing and changing a row's image.
    void explainDragAndDrop();
    void importFileList();
    void showImage();
    void changeImage();

protected:
    bool event(QEvent* event) override; // claims the list's own keys
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Lets the user pick the row's image through a file dialog.
    void changeRowImage(int row);

    Project* project_;
    UserDialogs* dialogs_;
    mutable QHash<QByteArray, bool> missingFiles_;
};
