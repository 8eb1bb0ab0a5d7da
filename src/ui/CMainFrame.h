#pragma once

// The main window: a splitter with the list view on the left (400 wide) and
// the preview pane on the right (collapsed at first), the menu bar and the
// keys of the command table. Every action carries its command id (data() and
// objectName "cmd<id>"). Files dropped on the window outside the list open
// the first one as a project through the document.

#include <QHash>
#include <QMainWindow>

#include <functional>

class CPreView;
class CVistromDoc;
class CVistromView;
class QSplitter;
class UserDialogs;

// Command ids of the menus and keys.
enum CommandId : int {
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_PREVIEW = 57609,
    ID_EDIT_COPY = 57634,
    ID_EDIT_CUT = 57635,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_UNDO = 57643,
    ID_EDIT_REDO = 57644,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
    ID_ADD_BLANKS_AT_END = 32771,
    ID_INSERT_BLANKS_HERE = 32772,
    ID_CLEAR_ALL = 32773,
    ID_BLANK_SELECTION = 32774,
    ID_DELETE_SELECTION = 32775,
    ID_GO_TO_ROW = 32776,
    ID_ADD_RANGE_TO_SELECTION = 32777,
    ID_FRAME_RATE_AND_SIZE = 32778,
    ID_CONVERT_TO_AVI = 32780,
    ID_COPY_ROWS = 32781,
    ID_CUT_ROWS_CLOSING_UP = 32782,
    ID_PASTE_ROWS_OVERWRITING = 32783,
    ID_PASTE_ROWS_INSERTING = 32784,
    ID_CUT_ROWS_LEAVING_BLANKS = 32785,
    ID_DRAG_DROP_HELP = 32786,
    ID_SHOW_IMAGE = 32789,
    ID_AUDIO_SETTINGS = 32791,
    ID_IMPORT_FILE_LIST = 32792,
    ID_CHANGE_IMAGE = 32793,
};

class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    // document and dialogs are not owned and must outlive the window.
    CMainFrame(CVistromDoc* document, UserDialogs* dialogs, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CVistromView* view() const { return view_; }
    CPreView* preview() const { return preview_; }
    QSplitter* splitter() const { return splitter_; }
    // The action of a command id, or nullptr.
    QAction* commandAction(int id) const { return actions_.value(id); }

public slots:
    void OnAppAbout();
    void OnNextPane();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QAction* addCommand(QWidget* owner, const QString& text, int id,
                        const QList<QKeySequence>& keys, std::function<void()> handler);
    void buildMenus();

    CVistromDoc* document_;
    QSplitter* splitter_;
    CVistromView* view_;
    CPreView* preview_;
    QHash<int, QAction*> actions_;
};
