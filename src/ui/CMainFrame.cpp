#include "ui/CMainFrame.h"

#include "app/AppIcon.h"
#include "app/CAboutDialog.h"
#include "framelist/CVistromDoc.h"
#include "framelist/widgets/CVistromView.h"
#include "ui/CPreView.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMenuBar>
#include <QMimeData>
#include <QSet>
#include <QSplitter>
#include <QUndoStack>
#include <QUrl>

namespace {

QString FirstLocalFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls())
        return {};
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return {};
}

} // namespace

CMainFrame::CMainFrame(CVistromDoc* document, UserDialogs* dialogs, QWidget* parent)
    : QMainWindow(parent), document_(document) {
    setWindowIcon(VistromAppIcon());
    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setObjectName(QStringLiteral("splitter"));
    view_ = new CVistromView(document, dialogs, splitter_);
    preview_ = new CPreView(document, splitter_);
    splitter_->addWidget(view_);
    splitter_->addWidget(preview_);
    splitter_->setCollapsible(0, false);
    splitter_->setCollapsible(1, true);
    // A wider window widens the list; the preview opens only when the user
    // drags the bar.
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 0);
    setCentralWidget(splitter_);
    buildMenus();
    connect(view_, &CVistromView::captionChanged, this, &QWidget::setWindowTitle);
    setAcceptDrops(true);

    // The list pane starts 400 wide, the preview collapsed to nothing.
    resize(400 + splitter_->handleWidth(), 480);
    splitter_->setSizes({400, 0});
    view_->setFocus();
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::addCommand(QWidget* owner, const QString& text, int id,
                                const QList<QKeySequence>& keys, std::function<void()> handler) {
    // The text is shown exactly as written, key column included: QMenu takes
    // the part after the tab as the key text, so "Del/Ctrl+D" shows as such.
    auto* action = new QAction(text, this);
    action->setData(id);
    action->setObjectName(QStringLiteral("cmd%1").arg(id));
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    action->setAutoRepeat(false);
    if (handler)
        connect(action, &QAction::triggered, this, [handler] { handler(); });
    owner->addAction(action);
    actions_.insert(id, action);
    return action;
}

void CMainFrame::buildMenus() {
    CVistromView* v = view_;
    auto on = [v](void (CVistromView::*handler)()) { return [v, handler] { (v->*handler)(); }; };
    using K = QKeySequence;

    QMenu* file = menuBar()->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    addCommand(file, QStringLiteral("新規作成(&N)\tCtrl+N"), ID_FILE_NEW, {K(Qt::CTRL | Qt::Key_N)},
               on(&CVistromView::OnNewProject));
    addCommand(file, QStringLiteral("開く(&O)...\tCtrl+O"), ID_FILE_OPEN, {K(Qt::CTRL | Qt::Key_O)},
               on(&CVistromView::OnOpenProject));
    addCommand(file, QStringLiteral("上書き保存(&S)\tCtrl+S"), ID_FILE_SAVE,
               {K(Qt::CTRL | Qt::Key_S)}, on(&CVistromView::OnSaveProject));
    addCommand(file, QStringLiteral("名前を付けて保存(&A)..."), ID_FILE_SAVE_AS, {},
               on(&CVistromView::OnSaveProjectAs));
    file->addSeparator();
    addCommand(file, QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"), ID_APP_EXIT, {}, [this] { close(); });

    QMenu* edit = menuBar()->addMenu(QStringLiteral("編集(&E)"));
    QAction* undo = addCommand(edit, QStringLiteral("元に戻す(&U)\tCtrl+Z"), ID_EDIT_UNDO,
                               {K(Qt::CTRL | Qt::Key_Z), K(Qt::ALT | Qt::Key_Backspace)},
                               on(&CVistromView::OnUndo));
    QAction* redo = addCommand(edit, QStringLiteral("やり直し(&R)\tCtrl+Shift+Z"), ID_EDIT_REDO,
                               {K(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}, on(&CVistromView::OnRedo));
    edit->addSeparator();
    addCommand(edit, QStringLiteral("切り取り(詰め)(&X)\tCtrl+X"), ID_CUT_ROWS_CLOSING_UP,
               {K(Qt::CTRL | Qt::Key_X)}, on(&CVistromView::OnCutRowsClosingUp));
    addCommand(edit, QStringLiteral("コピー(&C)\tCtrl+C"), ID_COPY_ROWS, {K(Qt::CTRL | Qt::Key_C)},
               on(&CVistromView::OnCopyRows));
    addCommand(edit, QStringLiteral("貼り付け(挿入)(&V)\tCtrl+V"), ID_PASTE_ROWS_INSERTING,
               {K(Qt::CTRL | Qt::Key_V)}, on(&CVistromView::OnPasteRowsInserting));
    // Delete itself is a key of the list (CVistromView::keyPressEvent), like
    // Space, Enter and Shift+Enter below; Ctrl+D works from anywhere.
    addCommand(edit, QStringLiteral("選択部分を削除(&D)\tDel/Ctrl+D"), ID_DELETE_SELECTION,
               {K(Qt::CTRL | Qt::Key_D)}, on(&CVistromView::OnDeleteSelection));
    edit->addSeparator();
    addCommand(edit, QStringLiteral("最後に空欄を追加(&A)\tCtrl+A"), ID_ADD_BLANKS_AT_END,
               {K(Qt::CTRL | Qt::Key_A)}, on(&CVistromView::OnAddBlanksAtEnd));
    addCommand(edit, QStringLiteral("現在位置に空欄を挿入(&I)\tCtrl+I"), ID_INSERT_BLANKS_HERE,
               {K(Qt::CTRL | Qt::Key_I)}, on(&CVistromView::OnInsertBlanksHere));
    addCommand(edit, QStringLiteral("全部消去"), ID_CLEAR_ALL, {}, on(&CVistromView::OnClearAll));
    QAction* blank =
        addCommand(edit, QStringLiteral("選択部分を空欄に(&S)\tSpace"), ID_BLANK_SELECTION,
                   {K(Qt::Key_Space)}, on(&CVistromView::OnBlankSelection));
    // The label shows Ctrl+G, but going to a row is reached through the menu only.
    addCommand(edit, QStringLiteral("N行目へ移動(&G)\tCtrl+G"), ID_GO_TO_ROW, {},
               on(&CVistromView::OnGoToRow));
    addCommand(edit, QStringLiteral("連続範囲選択追加"), ID_ADD_RANGE_TO_SELECTION, {},
               on(&CVistromView::OnAddRangeToSelection));
    addCommand(edit, QStringLiteral("切り取り(空白)(&Y)\tCtrl+Y"), ID_CUT_ROWS_LEAVING_BLANKS,
               {K(Qt::CTRL | Qt::Key_Y)}, on(&CVistromView::OnCutRowsLeavingBlanks));
    addCommand(edit, QStringLiteral("貼り付け(上書き)(&W)\tCtrl+W"), ID_PASTE_ROWS_OVERWRITING,
               {K(Qt::CTRL | Qt::Key_W)}, on(&CVistromView::OnPasteRowsOverwriting));
    addCommand(edit, QStringLiteral("ドラッグ&&ドロップ"), ID_DRAG_DROP_HELP, {},
               on(&CVistromView::OnDragDropHelp));
    edit->addSeparator();
    addCommand(edit, QStringLiteral("ファイルリスト取り込み..."), ID_IMPORT_FILE_LIST, {},
               on(&CVistromView::OnImportFileList));
    edit->addSeparator();
    QAction* show =
        addCommand(edit, QStringLiteral("画像表示(&P)\tEnter"), ID_SHOW_IMAGE,
                   {K(Qt::Key_Return), K(Qt::Key_Enter)}, on(&CVistromView::OnShowImage));
    // The prompt this command has always carried (shown where a status bar is).
    show->setStatusTip(QStringLiteral("画像を変更"));
    QAction* change =
        addCommand(edit, QStringLiteral("画像変更...(&E)\tShift+Enter"), ID_CHANGE_IMAGE,
                   {K(Qt::SHIFT | Qt::Key_Return), K(Qt::SHIFT | Qt::Key_Enter)},
                   on(&CVistromView::OnChangeImage));
    // Space, Enter and Shift+Enter are keys of the list only: the list claims
    // them (CVistromView::event, ShortcutOverride) and runs the command from
    // its keyPressEvent. Bound to the list with a widget context, these
    // actions never take the keys from another pane or from an open menu.
    for (QAction* listKey : {blank, show, change}) {
        listKey->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        view_->addAction(listKey);
    }

    QMenu* settingsMenu = menuBar()->addMenu(QStringLiteral("設定(&S)"));
    addCommand(settingsMenu, QStringLiteral("FPS && Size...(&F)\tCtrl+F"), ID_FRAME_RATE_AND_SIZE,
               {K(Qt::CTRL | Qt::Key_F)}, on(&CVistromView::OnFrameRateAndSize));
    addCommand(settingsMenu, QStringLiteral("Audio ... (S)\tCtrl+E"), ID_AUDIO_SETTINGS,
               {K(Qt::CTRL | Qt::Key_E)}, on(&CVistromView::OnAudioSettings));

    QMenu* convert = menuBar()->addMenu(QStringLiteral("変換(&C)"));
    addCommand(convert, QStringLiteral("Vistrom...(&B)\tCtrl+B"), ID_CONVERT_TO_AVI,
               {K(Qt::CTRL | Qt::Key_B)}, on(&CVistromView::OnConvertToAvi));

    QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    addCommand(help, QStringLiteral("バージョン情報(Vistrom) (&A)..."), ID_APP_ABOUT, {},
               [this] { OnAppAbout(); });

    // Keys without a menu item.
    addCommand(this, QStringLiteral("印刷"), ID_FILE_PRINT, {K(Qt::CTRL | Qt::Key_P)},
               on(&CVistromView::OnFilePrint));
    addCommand(this, QStringLiteral("印刷プレビュー"), ID_FILE_PRINT_PREVIEW, {},
               on(&CVistromView::OnFilePrintPreview));
    addCommand(this, QStringLiteral("次のウィンドウ枠"), ID_NEXT_PANE, {K(Qt::Key_F6)},
               [this] { OnNextPane(); });
    addCommand(this, QStringLiteral("前のウィンドウ枠"), ID_PREV_PANE, {K(Qt::SHIFT | Qt::Key_F6)},
               [this] { OnNextPane(); });
    // These keys are taken and do nothing, as they always did.
    addCommand(this, QString(), ID_EDIT_CUT, {K(Qt::SHIFT | Qt::Key_Delete)}, {});
    addCommand(this, QString(), ID_EDIT_COPY, {K(Qt::CTRL | Qt::Key_Insert)}, {});
    addCommand(this, QString(), ID_EDIT_PASTE, {K(Qt::SHIFT | Qt::Key_Insert)}, {});

    // Undo and redo are available exactly when the stack has a step.
    QUndoStack* stack = view_->undoStack();
    undo->setEnabled(stack->canUndo());
    connect(stack, &QUndoStack::canUndoChanged, undo, &QAction::setEnabled);
    redo->setEnabled(stack->canRedo());
    connect(stack, &QUndoStack::canRedoChanged, redo, &QAction::setEnabled);
}

void CMainFrame::OnAppAbout() {
    CAboutDialog about(this);
    about.exec();
}

// F6 and Shift+F6: with two panes, both move the focus to the other one.
void CMainFrame::OnNextPane() {
    if (view_->hasFocus() || view_->isAncestorOf(focusWidget()))
        preview_->setFocus(Qt::OtherFocusReason);
    else
        view_->setFocus(Qt::OtherFocusReason);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (view_->QueryClose())
        event->accept();
    else
        event->ignore();
}

// Drops that reach the window (not taken by the list) open a project.
void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!FirstLocalFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CMainFrame::dragMoveEvent(QDragMoveEvent* event) {
    if (!FirstLocalFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QString path = FirstLocalFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    activateWindow();
    document_->OnOpenDocument(QFile::encodeName(path));
}
