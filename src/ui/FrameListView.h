#pragma once

// The list pane: shows a project's FrameList (row number and time, icon,
// path) with the project's marks as its selection, and turns the list's keys,
// mouse clicks, dropped files and the Edit menu's list commands into questions
// through the dialog seam and then Project calls. The commands live in
// FrameListCommands.cpp; construction and the input events here.
//
// The label column is as wide as the longest label of the list needs; the
// path column fills the rest. Home and End (with Shift: extending the
// selection) move along the rows. Shift with the right button, the menu key
// or Shift+F10 opens the context menu the window gives; the plain right click
// shows the row's image.
//
// With thumbnails on (the default) rows are tall enough for a thumbnail
// beside each filled row's path (ThumbnailCache, made off this thread).

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QTableView>
#include <QUrl>

class Project;
class QMenu;
class ThumbnailCache;
class UserDialogs;

class FrameListView : public QTableView {
    Q_OBJECT

public:
    // project and dialogs are not owned and must outlive the view.
    FrameListView(Project* project, UserDialogs* dialogs, QWidget* parent = nullptr);

    Project* project() const { return project_; }
    // The menu of the list's commands; not owned.
    void setContextMenu(QMenu* menu) { contextMenu_ = menu; }
    QMenu* contextMenu() const { return contextMenu_; }

    // Places dropped files on the rows, after asking where (offering row
    // under; -1 offers the last row), exactly as a drop on the list does;
    // false when the user cancelled.
    bool placeDroppedFiles(const QList<QUrl>& urls, int under = -1);
    // Whether the file a row's path names is missing (the row then shows the
    // style's warning icon); looked up once, until recheckFiles().
    bool isMissing(const QByteArray& path) const;
    // Forgets what was found about the files and repaints; done whenever the
    // window is activated and when another project is loaded.
    void recheckFiles();

    void setThumbnailsShown(bool shown);
    bool thumbnailsShown() const { return thumbnailsShown_; }
    ThumbnailCache* thumbnails() const { return thumbnails_; }

public slots:
    // Blank rows, delete, clear, go to, range.
    void addBlanksAtEnd();
    void insertBlanksHere();
    void clearAll();
    void deleteSelection();
    void blankSelection();
    void goToRow();
    void addRangeToSelection();
    void selectAll() override;

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
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Lets the user pick the row's image through a file dialog.
    void changeRowImage(int row);
    // Opens the context menu at the focus row, as from the keyboard.
    void popUpContextMenu();
    // The largest row number a prompt takes: the last row (0 for an empty list).
    quint32 lastRowNumber() const;
    // Widens or narrows the label column to the longest label of the list,
    // when that label's shape (its digits and the frame rate) changed.
    void fitLabelColumn();
    void setUpThumbnails();
    // Repaints the rows on screen whose thumbnails were made since the last call.
    void paintArrivedThumbnails();

    Project* project_;
    UserDialogs* dialogs_;
    QMenu* contextMenu_ = nullptr;
    QString labelShape_; // the longest label with its digits made alike
    mutable QHash<QByteArray, bool> missingFiles_;
    ThumbnailCache* thumbnails_ = nullptr;
    QSet<QByteArray> arrived_; // thumbnails made, not yet painted
    bool thumbnailsShown_ = true;
    int plainRowHeight_ = 18;
};
