// The main window: menus, command ids and keys, the splitter, the caption, and
// the project state (untitled, modified, projectPath, title) after each File
// command, including cancelled and failed saves, the document path and
// closing. The dialogs are answered by a script.

#include "app/CAboutDialog.h"
#include "app/CVistromApp.h"
#include "app/UserDialogs.h"
#include "framelist/CVistromDoc.h"
#include "framelist/ProjectFile.h"
#include "framelist/widgets/CVistromView.h"
#include "framelist/widgets/FrameListPrinting.h"
#include "ui/CMainFrame.h"
#include "ui/CPreView.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUndoStack>
#include <QUrl>

#include <deque>

namespace {

const QString SaveQuestion = QStringLiteral("未保存のデータを保存しますか?");
const QString CannotOpen = QStringLiteral("ファイルが開けませんでした");
const QString ReadError = QStringLiteral("読み込み中にエラー発生");

class ScriptedDialogs : public UserDialogs {
public:
    std::deque<bool> yesNo;                          // answers, in order
    std::deque<std::optional<QByteArray>> fileNames; // answers, in order
    QStringList messages;
    QStringList questions;
    QList<FileRequest> requests;
    int unexpected = 0;

    void showMessage(const QString& text, bool) override { messages << text; }
    bool askYesNo(const QString& text) override {
        questions << text;
        if (yesNo.empty()) {
            ++unexpected;
            return false;
        }
        const bool answer = yesNo.front();
        yesNo.pop_front();
        return answer;
    }
    void showPlainMessage(const QString&, const QString&) override { ++unexpected; }
    std::optional<QByteArray> askFileName(const FileRequest& request) override {
        requests << request;
        if (fileNames.empty()) {
            ++unexpected;
            return std::nullopt;
        }
        std::optional<QByteArray> answer;
        answer.swap(fileNames.front());
        fileNames.pop_front();
        return answer;
    }
    QStringList prompts;
    std::optional<quint32> askValue(const QString& prompt, quint32) override {
        prompts << prompt;
        return std::nullopt;
    }
    bool runFrameRateDialog(ProjectSettings&) override { return false; }
    bool runAudioDialog(ProjectSettings&) override { return false; }
    std::optional<CompressionChoice> askCompression() override { return std::nullopt; }
};

struct Window {
    ScriptedDialogs dialogs;
    CVistromDoc document;
    CMainFrame frame{&document, &dialogs};
    CVistromView* view = frame.view();
    explicit Window(bool newProject = true) {
        if (newProject)
            view->OnInitialUpdate();
    }
    ~Window() {
        view->modified = 0; // no question while the window goes away
    }
    QStringList labels() const {
        QStringList out;
        for (int r = 0; r < view->frameList()->size(); ++r)
            out << view->frameList()->index(r, 0).data().toString();
        return out;
    }
    // Makes the project modified, as an edit would.
    void edit(const QByteArray& path = "/edited.bmp") {
        view->frameList()->setPaths({0}, {path});
        view->modified |= 1;
    }
    void trigger(int id) {
        QAction* action = frame.commandAction(id);
        QVERIFY2(action, qPrintable(QString::number(id)));
        action->trigger();
    }
};

QByteArray Bytes(const QString& path) {
    return QFile::encodeName(path);
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

const QByteArray kProject = "!F 1\r\n!S 640,480\r\n!X 1\r\n!B 2\r\n!W 0\r\n!D 0\r\n/a.bmp\r\n\r\n";

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void menuBarTitles();
    void menuItems_data();
    void menuItems();
    void keysWithoutMenuItems_data();
    void keysWithoutMenuItems();
    void keyReachesCommand();
    void windowLayout();
    void newProjectRows();
    void rowIcons();

    void newDiscardsOnNo();
    void newAbandonedWhenSaveCancelled();
    void newSavesOnYes();
    void openLoadsFile();
    void openCancelled();
    void openRefusedFileKeepsProject_data();
    void openRefusedFileKeepsProject();
    void openAbandonedWhenSaveFails();
    void saveUntitledRunsSaveAs();
    void saveTitled();
    void failedSaveKeepsModified();
    void saveAsMovesProject();
    void failedSaveAsKeepsProject();
    void documentPathLoads();
    void documentPathAsksWhenModified();
    void documentPathMissingFile();
    void dropOnWindowOpensProject();
    void closeAsks();
    void closeCancelledWhenSaveCancelled();
    void undoClearedByNewAndOpen();

    void startUp_data();
    void startUp();
    void profileNames();
    void aboutBox();
    void printedPages();
    void printPreviewShowsPages();
};

void TestMainWindow::menuBarTitles() {
    Window w;
    QStringList titles;
    for (QAction* a : w.frame.menuBar()->actions())
        titles << a->text();
    QCOMPARE(titles, (QStringList{"ﾌｧｲﾙ(&F)", "編集(&E)", "設定(&S)", "変換(&C)", "ヘルプ(&H)"}));
}

void TestMainWindow::menuItems_data() {
    QTest::addColumn<int>("menu");
    QTest::addColumn<QStringList>("items"); // text, "-" for a separator
    QTest::addColumn<QList<int>>("ids");    // 0 for a separator
    QTest::addColumn<QStringList>("keys");  // PortableText of every key, "|" between
    QTest::newRow("file") << 0
                          << QStringList{"新規作成(&N)\tCtrl+N",
                                         "開く(&O)...\tCtrl+O",
                                         "上書き保存(&S)\tCtrl+S",
                                         "名前を付けて保存(&A)...",
                                         "-",
                                         "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"}
                          << QList<int>{57600, 57601, 57603, 57604, 0, 57665}
                          << QStringList{"Ctrl+N", "Ctrl+O", "Ctrl+S", "", "", ""};
    QTest::newRow("edit") << 1
                          << QStringList{"元に戻す(&U)\tCtrl+Z",
                                         "やり直し(&R)\tCtrl+Shift+Z",
                                         "-",
                                         "切り取り(詰め)(&X)\tCtrl+X",
                                         "コピー(&C)\tCtrl+C",
                                         "貼り付け(挿入)(&V)\tCtrl+V",
                                         "選択部分を削除(&D)\tDel/Ctrl+D",
                                         "-",
                                         "最後に空欄を追加(&A)\tCtrl+A",
                                         "現在位置に空欄を挿入(&I)\tCtrl+I",
                                         "全部消去",
                                         "選択部分を空欄に(&S)\tSpace",
                                         "N行目へ移動(&G)\tCtrl+G",
                                         "連続範囲選択追加",
                                         "切り取り(空白)(&Y)\tCtrl+Y",
                                         "貼り付け(上書き)(&W)\tCtrl+W",
                                         "ドラッグ&&ドロップ",
                                         "-",
                                         "ファイルリスト取り込み...",
                                         "-",
                                         "画像表示(&P)\tEnter",
                                         "画像変更...(&E)\tShift+Enter"}
                          << QList<int>{57643, 57644, 0,     32782, 32781, 32784, 32775, 0,
                                        32771, 32772, 32773, 32774, 32776, 32777, 32785, 32783,
                                        32786, 0,     32792, 0,     32789, 32793}
                          << QStringList{"Ctrl+Z|Alt+Backspace",
                                         "Ctrl+Shift+Z",
                                         "",
                                         "Ctrl+X",
                                         "Ctrl+C",
                                         "Ctrl+V",
                                         "Ctrl+D",
                                         "",
                                         "Ctrl+A",
                                         "Ctrl+I",
                                         "",
                                         "Space",
                                         "",
                                         "",
                                         "Ctrl+Y",
                                         "Ctrl+W",
                                         "",
                                         "",
                                         "",
                                         "",
                                         "Return|Enter",
                                         "Shift+Return|Shift+Enter"};
    QTest::newRow("settings") << 2
                              << QStringList{"FPS && Size...(&F)\tCtrl+F", "Audio ... (S)\tCtrl+E"}
                              << QList<int>{32778, 32791} << QStringList{"Ctrl+F", "Ctrl+E"};
    QTest::newRow("convert") << 3 << QStringList{"Vistrom...(&B)\tCtrl+B"} << QList<int>{32780}
                             << QStringList{"Ctrl+B"};
    QTest::newRow("help") << 4 << QStringList{"バージョン情報(Vistrom) (&A)..."}
                          << QList<int>{57664} << QStringList{""};
}

void TestMainWindow::menuItems() {
    QFETCH(int, menu);
    QFETCH(QStringList, items);
    QFETCH(QList<int>, ids);
    QFETCH(QStringList, keys);
    Window w;
    QMenu* m = w.frame.menuBar()->actions().at(menu)->menu();
    QVERIFY(m);
    const QList<QAction*> actions = m->actions();
    QCOMPARE(actions.size(), items.size());
    for (qsizetype i = 0; i < actions.size(); ++i) {
        QAction* a = actions[i];
        if (items[i] == QLatin1String("-")) {
            QVERIFY(a->isSeparator());
            continue;
        }
        QCOMPARE(a->text(), items[i]);
        QCOMPARE(a->data().toInt(), ids[i]);
        QCOMPARE(a->objectName(), QStringLiteral("cmd%1").arg(ids[i]));
        QCOMPARE(w.frame.commandAction(ids[i]), a);
        QStringList shortcuts;
        for (const QKeySequence& k : a->shortcuts())
            shortcuts << k.toString(QKeySequence::PortableText);
        QCOMPARE(shortcuts.join(QLatin1Char('|')), keys[i]);
        // Items whose command is not built yet are shown disabled.
        if (CMainFrame::IsPending(ids[i]))
            QVERIFY(!a->isEnabled());
    }
}

void TestMainWindow::keysWithoutMenuItems_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("keys");
    QTest::newRow("print") << 57607 << "Ctrl+P";
    QTest::newRow("print preview") << 57609 << "";
    QTest::newRow("next pane") << 57680 << "F6";
    QTest::newRow("previous pane") << 57681 << "Shift+F6";
    QTest::newRow("cut key") << 57635 << "Shift+Del";
    QTest::newRow("copy key") << 57634 << "Ctrl+Ins";
    QTest::newRow("paste key") << 57637 << "Shift+Ins";
}

void TestMainWindow::keysWithoutMenuItems() {
    QFETCH(int, id);
    QFETCH(QString, keys);
    Window w;
    QAction* a = w.frame.commandAction(id);
    QVERIFY(a);
    QCOMPARE(a->data().toInt(), id);
    QStringList shortcuts;
    for (const QKeySequence& k : a->shortcuts())
        shortcuts << k.toString(QKeySequence::PortableText);
    QCOMPARE(shortcuts.join(QLatin1Char('|')), keys);
    for (QAction* menu : w.frame.menuBar()->actions())
        QVERIFY(!menu->menu()->actions().contains(a));
}

void TestMainWindow::keyReachesCommand() {
    // Ctrl+S on an untitled project asks for a name through Save As.
    Window w;
    w.frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.frame));
    w.view->setFocus();
    QTest::keyClick(w.view, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(w.dialogs.requests.size(), 1);
    QVERIFY(w.dialogs.requests[0].save);
    // The window's keys win over the table's own Ctrl+A (select all).
    QTest::keyClick(w.view, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(w.dialogs.prompts.size(), 1);
    QVERIFY(w.view->selectedRows().isEmpty());
    // Space is the list's: it blanks the selection instead of toggling it.
    w.view->frameList()->setPaths({3}, {"/x.bmp"});
    w.view->selectRow(3);
    QTest::keyClick(w.view, Qt::Key_Space);
    QVERIFY(w.view->frameList()->isBlank(3));
    QCOMPARE(w.view->selectedRows(), QList<int>{3});
    // F6 moves the focus to the other pane and back.
    w.frame.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.frame));
    w.view->setFocus();
    w.trigger(57680);
    QVERIFY(w.frame.preview()->hasFocus());
    w.trigger(57681);
    QVERIFY(w.view->hasFocus());
}

void TestMainWindow::windowLayout() {
    Window w;
    w.frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.frame));
    QSplitter* splitter = w.frame.splitter();
    QCOMPARE(splitter->widget(0), w.view);
    QCOMPARE(splitter->widget(1), static_cast<QWidget*>(w.frame.preview()));
    QCOMPARE(splitter->sizes(), (QList<int>{400, 0}));
    QCOMPARE(w.view->columnWidth(0), 100);
    QCOMPARE(w.view->columnWidth(1), 300);
    QCOMPARE(w.view->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("順(時刻)"));
    QCOMPARE(w.view->model()->headerData(1, Qt::Horizontal).toString(),
             QStringLiteral("BMPファイル"));
    QCOMPARE(w.view->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(w.view->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(w.view->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!w.view->isSortingEnabled());
    QCOMPARE(w.frame.windowTitle(), QStringLiteral("Untitled- Vistrom"));
    // A click on a column header changes neither order nor selection.
    w.view->frameList()->setPaths({0, 1}, {"/b", "/a"});
    QTest::mouseClick(w.view->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(150, 5));
    QCOMPARE(w.view->frameList()->path(0), QByteArray("/b"));
    QVERIFY(w.view->selectedRows().isEmpty());
}

void TestMainWindow::newProjectRows() {
    Window w;
    QCOMPARE(w.labels(),
             (QStringList{"0 ( 0.00)", "1 ( 0.13)", "2 ( 0.25)", "3 ( 0.38)", "4 ( 0.50)",
                          "5 ( 0.63)", "6 ( 0.75)", "7 ( 0.88)", "8 ( 1.00)", "9 ( 1.13)"}));
    for (int r = 0; r < 10; ++r) {
        QVERIFY(w.view->frameList()->isBlank(r));
        QCOMPARE(w.view->frameList()->icon(r), FrameList::BlankIcon);
    }
    QCOMPARE(w.view->untitled, 1);
    QCOMPARE(w.view->modified, 0);
    QCOMPARE(w.view->title, QStringLiteral("Untitled"));
    QCOMPARE(w.view->settings, ProjectSettings{});
}

void TestMainWindow::rowIcons() {
    // The blank icon is a black arrow; the filled icon is not.
    Window w;
    w.view->frameList()->setPaths({1}, {"/a.bmp"});
    w.frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.frame));
    const QImage image = w.view->viewport()->grab().toImage();
    auto blackPixels = [&](int row) {
        const QRect cell = w.view->visualRect(w.view->model()->index(row, 0));
        int n = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x < cell.left() + 22; ++x)
                if (qGray(image.pixel(x, y)) < 40)
                    ++n;
        return n;
    };
    QVERIFY(blackPixels(0) > 20);
    QVERIFY(blackPixels(0) != blackPixels(1));
    QCOMPARE(blackPixels(0), blackPixels(2));
}

void TestMainWindow::newDiscardsOnNo() {
    Window w;
    w.view->projectPath = "/old/path.fsq";
    w.view->settings.fps = 20;
    w.edit();
    w.dialogs.yesNo = {false};
    w.trigger(57600);
    QCOMPARE(w.dialogs.questions, QStringList{SaveQuestion});
    QCOMPARE(w.view->untitled, 1);
    QCOMPARE(w.view->modified, 0);
    QCOMPARE(w.view->projectPath, QByteArray("/old/path.fsq")); // kept, plays no part
    QCOMPARE(w.view->settings, ProjectSettings{});
    QCOMPARE(w.view->frameList()->paths(), QList<QByteArray>(10));
    QCOMPARE(w.frame.windowTitle(), QStringLiteral("Untitled- Vistrom"));
    QCOMPARE(w.dialogs.unexpected, 0);
}

void TestMainWindow::newAbandonedWhenSaveCancelled() {
    Window w;
    w.edit();
    w.dialogs.yesNo = {true};
    w.dialogs.fileNames = {std::nullopt}; // Save As cancelled
    w.trigger(57600);
    QCOMPARE(w.view->modified, 1);
    QCOMPARE(w.view->frameList()->path(0), QByteArray("/edited.bmp"));
    QCOMPARE(w.dialogs.unexpected, 0);
}

void TestMainWindow::newSavesOnYes() {
    QTemporaryDir dir;
    Window w;
    w.edit();
    const QString path = dir.filePath("saved.fsq");
    w.dialogs.yesNo = {true};
    w.dialogs.fileNames = {Bytes(path)};
    w.trigger(57600);
    QVERIFY(ReadAll(path).contains("/edited.bmp\r\n"));
    QCOMPARE(w.view->untitled, 1);
    QCOMPARE(w.view->modified, 0);
    QCOMPARE(w.view->frameList()->paths(), QList<QByteArray>(10));
}

void TestMainWindow::openLoadsFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("my project.fsq");
    WriteAll(path, kProject);
    Window w;
    w.dialogs.fileNames = {Bytes(path)};
    w.trigger(57601);
    QVERIFY(w.dialogs.questions.isEmpty()); // nothing to save
    QCOMPARE(w.dialogs.requests.size(), 1);
    const UserDialogs::FileRequest& request = w.dialogs.requests[0];
    QVERIFY(!request.save);
    QCOMPARE(request.initialName, QStringLiteral("*.fsq"));
    QCOMPARE(request.filter, QStringLiteral("Vistrom-type file (*.fsq)| *.fsq ||"));
    QVERIFY(request.defaultExtension.isEmpty());
    QCOMPARE(w.view->untitled, 0);
    QCOMPARE(w.view->modified, 0);
    QCOMPARE(w.view->projectPath, Bytes(path));
    QCOMPARE(w.view->title, path);
    QCOMPARE(w.frame.windowTitle(), path + QStringLiteral("- Vistrom"));
    QCOMPARE(w.view->settings.fps, 1u);
    QCOMPARE(w.view->settings.width, 640u);
    QCOMPARE(w.view->frameList()->paths(), (QList<QByteArray>{"/a.bmp", ""}));
    QCOMPARE(w.labels(), (QStringList{"0 ( 0.00)", "1 ( 1.00)"}));
    QCOMPARE(w.view->frameList()->icon(0), FrameList::FilledIcon);
    QCOMPARE(w.view->frameList()->icon(1), FrameList::BlankIcon);
}

void TestMainWindow::openCancelled() {
    Window w;
    w.edit();
    w.dialogs.yesNo = {false};
    w.dialogs.fileNames = {std::nullopt};
    w.trigger(57601);
    QCOMPARE(w.dialogs.questions, QStringList{SaveQuestion});
    QCOMPARE(w.view->untitled, 1);
    QCOMPARE(w.view->modified, 1);
    QCOMPARE(w.view->frameList()->path(0), QByteArray("/edited.bmp"));
}

void TestMainWindow::openRefusedFileKeepsProject_data() {
    QTest::addColumn<QByteArray>("content"); // "<none>" for a missing file
    QTest::addColumn<QString>("message");
    QTest::newRow("settings only") << QByteArray("!F 30\r\n!S 100,100\r\n") << ReadError;
    QTest::newRow("empty file") << QByteArray() << ReadError;
    QTest::newRow("missing file") << QByteArray("<none>") << CannotOpen;
}

void TestMainWindow::openRefusedFileKeepsProject() {
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString current = dir.filePath("current.fsq");
    WriteAll(current, kProject);
    const QString refused = dir.filePath("refused.fsq");
    if (content != "<none>")
        WriteAll(refused, content);
    Window w;
    w.dialogs.fileNames = {Bytes(current), Bytes(refused)};
    w.trigger(57601);
    w.edit("/changed.bmp");
    w.dialogs.yesNo = {false};
    w.trigger(57601);
    QCOMPARE(w.dialogs.messages, QStringList{message});
    // The project stays on its own file, unchanged, still modified.
    QCOMPARE(w.view->projectPath, Bytes(current));
    QCOMPARE(w.view->untitled, 0);
    QCOMPARE(w.view->modified, 1);
    QCOMPARE(w.view->settings.fps, 1u);
    QCOMPARE(w.view->frameList()->paths(), (QList<QByteArray>{"/changed.bmp", ""}));
    QCOMPARE(w.frame.windowTitle(), current + QStringLiteral("- Vistrom"));
}

void TestMainWindow::openAbandonedWhenSaveFails() {
    QTemporaryDir dir;
    Window w;
    w.edit();
    w.dialogs.yesNo = {true};
    w.dialogs.fileNames = {Bytes(dir.filePath("missing folder/a.fsq"))};
    w.trigger(57601);
    QCOMPARE(w.dialogs.messages, QStringList{CannotOpen});
    QCOMPARE(w.dialogs.requests.size(), 1); // no open dialog after the failed save
    QCOMPARE(w.view->untitled, 1);
    QCOMPARE(w.view->modified, 1);
    QCOMPARE(w.dialogs.unexpected, 0);
}

void TestMainWindow::saveUntitledRunsSaveAs() {
    Window w;
    w.edit();
    w.dialogs.fileNames = {std::nullopt, std::nullopt};
    w.trigger(57603);
    QCOMPARE(w.dialogs.requests.size(), 1);
    const UserDialogs::FileRequest& request = w.dialogs.requests[0];
    QVERIFY(request.save);
    QCOMPARE(request.initialName, QStringLiteral("untitled"));
    QCOMPARE(request.filter, QStringLiteral("Vistrom-type file (*.fsq)| *.fsq ||"));
    QCOMPARE(request.defaultExtension, QStringLiteral("fsq"));
    QVERIFY(request.overwritePrompt);
    QCOMPARE(w.view->untitled, 1);
    QCOMPARE(w.view->modified, 1);
    // Still untitled: the next Save asks for a name again.
    w.trigger(57603);
    QCOMPARE(w.dialogs.requests.size(), 2);
}

void TestMainWindow::saveTitled() {
    QTemporaryDir dir;
    const QString path = dir.filePath("p.fsq");
    WriteAll(path, kProject);
    Window w;
    w.dialogs.fileNames = {Bytes(path)};
    w.trigger(57601);
    w.edit("/new.bmp");
    w.trigger(57603);
    QCOMPARE(w.dialogs.requests.size(), 1); // no dialog for a titled save
    QCOMPARE(w.view->modified, 0);
    QCOMPARE(w.view->untitled, 0);
    QCOMPARE(ReadAll(path),
             QByteArray("!F 1\r\n!S 640,480\r\n!X 1\r\n!B 2\r\n!W 0\r\n!D 0\r\n/new.bmp\r\n\r\n"));
}

void TestMainWindow::failedSaveKeepsModified() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    const QString path = dir.filePath("sub/p.fsq");
    Window w;
    w.dialogs.fileNames = {Bytes(path)};
    w.trigger(57604);
    QCOMPARE(w.view->untitled, 0);
    QVERIFY(QDir(dir.filePath("sub")).removeRecursively());
    w.edit();
    w.trigger(57603);
    QCOMPARE(w.dialogs.messages, QStringList{CannotOpen});
    QCOMPARE(w.view->modified, 1);
    QCOMPARE(w.view->projectPath, Bytes(path));
}

void TestMainWindow::saveAsMovesProject() {
    QTemporaryDir dir;
    const QString path = dir.filePath("new name.fsq");
    Window w;
    w.edit();
    w.dialogs.fileNames = {Bytes(path)};
    w.trigger(57604);
    QCOMPARE(w.view->untitled, 0);
    QCOMPARE(w.view->modified, 0);
    QCOMPARE(w.view->projectPath, Bytes(path));
    QCOMPARE(w.frame.windowTitle(), path + QStringLiteral("- Vistrom"));
    // The rows and settings stay as they were.
    QCOMPARE(w.view->frameList()->path(0), QByteArray("/edited.bmp"));
    QCOMPARE(w.view->frameList()->size(), 10);
    QVERIFY(ReadAll(path).startsWith("!F 8\r\n!S 320,240\r\n"));
}

void TestMainWindow::failedSaveAsKeepsProject() {
    QTemporaryDir dir;
    const QString first = dir.filePath("first.fsq");
    const QByteArray firstBytes = kProject;
    WriteAll(first, firstBytes);
    Window w;
    w.dialogs.fileNames = {Bytes(first), Bytes(dir.filePath("no such folder/second.fsq"))};
    w.trigger(57601);
    w.edit();
    w.trigger(57604);
    QCOMPARE(w.dialogs.messages, QStringList{CannotOpen});
    QCOMPARE(w.view->projectPath, Bytes(first));
    QCOMPARE(w.view->untitled, 0);
    QCOMPARE(w.view->modified, 1);
    QCOMPARE(w.view->title, first);
    QCOMPARE(w.frame.windowTitle(), first + QStringLiteral("- Vistrom"));
    QCOMPARE(ReadAll(first), firstBytes);

    // Untitled project: stays untitled.
    Window u;
    u.edit();
    u.dialogs.fileNames = {Bytes(dir.filePath("no such folder/x.fsq"))};
    u.trigger(57604);
    QCOMPARE(u.view->untitled, 1);
    QCOMPARE(u.view->modified, 1);
    QCOMPARE(u.frame.windowTitle(), QStringLiteral("Untitled- Vistrom"));
}

void TestMainWindow::documentPathLoads() {
    QTemporaryDir dir;
    const QString path = dir.filePath("doc.fsq");
    WriteAll(path, kProject);
    Window w;
    QVERIFY(w.document.OnOpenDocument(Bytes(path)));
    QVERIFY(w.dialogs.questions.isEmpty());
    QCOMPARE(w.view->untitled, 0);
    QCOMPARE(w.view->modified, 0);
    QCOMPARE(w.view->projectPath, Bytes(path));
    QCOMPARE(w.frame.windowTitle(), path + QStringLiteral("- Vistrom"));
    QCOMPARE(w.view->frameList()->paths(), (QList<QByteArray>{"/a.bmp", ""}));
    QVERIFY(w.frame.preview()->path().isEmpty()); // the preview ignores hint 1
}

void TestMainWindow::documentPathAsksWhenModified() {
    QTemporaryDir dir;
    const QString path = dir.filePath("doc.fsq");
    WriteAll(path, kProject);
    Window w;
    w.edit();
    // Yes, then the Save As is cancelled: the open is abandoned.
    w.dialogs.yesNo = {true};
    w.dialogs.fileNames = {std::nullopt};
    w.document.OnOpenDocument(Bytes(path));
    QCOMPARE(w.dialogs.questions, QStringList{SaveQuestion});
    QCOMPARE(w.view->untitled, 1);
    QCOMPARE(w.view->frameList()->path(0), QByteArray("/edited.bmp"));
    // No: the changes are dropped and the file loads.
    w.dialogs.yesNo = {false};
    w.document.OnOpenDocument(Bytes(path));
    QCOMPARE(w.view->untitled, 0);
    QCOMPARE(w.view->modified, 0);
    QCOMPARE(w.view->frameList()->paths(), (QList<QByteArray>{"/a.bmp", ""}));
    QCOMPARE(w.dialogs.unexpected, 0);
}

void TestMainWindow::documentPathMissingFile() {
    // As at start-up with a name that does not exist: a message, and the new
    // project stays.
    QTemporaryDir dir;
    Window w;
    w.document.OnOpenDocument(Bytes(dir.filePath("gone.fsq")));
    QCOMPARE(w.dialogs.messages, QStringList{CannotOpen});
    QCOMPARE(w.view->untitled, 1);
    QVERIFY(w.view->projectPath.isEmpty());
    QCOMPARE(w.view->frameList()->size(), 10);
    QCOMPARE(w.frame.windowTitle(), QStringLiteral("Untitled- Vistrom"));
}

void TestMainWindow::dropOnWindowOpensProject() {
    QTemporaryDir dir;
    const QString path = dir.filePath("dropped.fsq");
    WriteAll(path, kProject);
    Window w;
    w.edit();
    w.dialogs.yesNo = {false};
    w.frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.frame));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path), QUrl::fromLocalFile(dir.filePath("other.fsq"))});
    const QPointF at(w.frame.width() - 2, w.frame.height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(&w.frame, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(&w.frame, &drop);
    QCOMPARE(w.dialogs.questions, QStringList{SaveQuestion});
    QCOMPARE(w.view->projectPath, Bytes(path));
    QCOMPARE(w.view->frameList()->paths(), (QList<QByteArray>{"/a.bmp", ""}));
}

void TestMainWindow::closeAsks() {
    Window w;
    w.frame.show();
    QVERIFY(w.frame.close()); // unmodified: no question
    QVERIFY(w.dialogs.questions.isEmpty());
    w.frame.show();
    w.edit();
    w.dialogs.yesNo = {false};
    QVERIFY(w.frame.close());
    QCOMPARE(w.dialogs.questions, QStringList{SaveQuestion});
}

void TestMainWindow::closeCancelledWhenSaveCancelled() {
    QTemporaryDir dir;
    Window w;
    w.frame.show();
    w.edit();
    w.dialogs.yesNo = {true, true};
    w.dialogs.fileNames = {std::nullopt, Bytes(dir.filePath("closing.fsq"))};
    QVERIFY(!w.frame.close());
    QVERIFY(w.frame.isVisible());
    QCOMPARE(w.view->modified, 1);
    // Exit asks again; this time the save goes through and the window closes.
    w.trigger(57665);
    QVERIFY(!w.frame.isVisible());
    QVERIFY(ReadAll(dir.filePath("closing.fsq")).contains("/edited.bmp"));
}

void TestMainWindow::undoClearedByNewAndOpen() {
    QTemporaryDir dir;
    const QString path = dir.filePath("u.fsq");
    WriteAll(path, kProject);
    Window w;
    QUndoStack* stack = w.view->undoStack();
    stack->push(new QUndoCommand(QStringLiteral("edit")));
    w.view->modified = 1;
    w.dialogs.yesNo = {false};
    w.trigger(57600);
    QCOMPARE(stack->count(), 0);
    QCOMPARE(w.view->modified, 0);
    stack->push(new QUndoCommand(QStringLiteral("edit")));
    w.dialogs.fileNames = {Bytes(path)};
    w.trigger(57601);
    QCOMPARE(stack->count(), 0);
    QCOMPARE(w.view->modified, 0);
}

void TestMainWindow::startUp_data() {
    QTest::addColumn<QString>("argument"); // "<dir>" stands for the test folder
    QTest::addColumn<bool>("loads");
    QTest::addColumn<QString>("message");
    QTest::newRow("no argument") << QString() << false << QString();
    QTest::newRow("absolute path") << "<dir>/start.fsq" << true << QString();
    QTest::newRow("relative path") << "start.fsq" << true << QString();
    QTest::newRow("relative with dots")
        << "../" + QStringLiteral("%1/start.fsq") << true << QString();
    QTest::newRow("missing file") << "<dir>/missing.fsq" << false << CannotOpen;
    QTest::newRow("settings only") << "<dir>/settings.fsq" << false << ReadError;
}

void TestMainWindow::startUp() {
    QFETCH(QString, argument);
    QFETCH(bool, loads);
    QFETCH(QString, message);
    QTemporaryDir dir;
    WriteAll(dir.filePath("start.fsq"), kProject);
    WriteAll(dir.filePath("settings.fsq"), "!F 3\n");
    argument.replace(QStringLiteral("<dir>"), dir.path());
    argument = argument.arg(QFileInfo(dir.path()).fileName());
    const QString working = QDir::currentPath();
    QDir::setCurrent(dir.path());
    Window w(false);
    CVistromApp::OpenStartProject(w.document, w.frame, QFile::encodeName(argument));
    QDir::setCurrent(working);
    QVERIFY(w.dialogs.questions.isEmpty()); // nothing is modified at start-up
    QCOMPARE(w.dialogs.messages, message.isEmpty() ? QStringList() : QStringList{message});
    if (loads) {
        const QString full = dir.filePath("start.fsq");
        QCOMPARE(w.view->projectPath, Bytes(full));
        QCOMPARE(w.frame.windowTitle(), full + QStringLiteral("- Vistrom"));
        QCOMPARE(w.labels(), (QStringList{"0 ( 0.00)", "1 ( 1.00)"}));
        QCOMPARE(w.view->untitled, 0);
    } else {
        QCOMPARE(w.frame.windowTitle(), QStringLiteral("Untitled- Vistrom"));
        QCOMPARE(w.view->frameList()->size(), 10);
        QCOMPARE(w.labels().last(), QStringLiteral("9 ( 1.13)"));
        QCOMPARE(w.view->settings, ProjectSettings{});
        QCOMPARE(w.view->untitled, 1);
    }
    QCOMPARE(w.view->modified, 0);
}

void TestMainWindow::profileNames() {
    CVistromApp::SetUpApplication();
    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Tessaril"));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Vistrom"));
    QVERIFY(!QApplication::windowIcon().isNull());
}

void TestMainWindow::aboutBox() {
    CAboutDialog about;
    QCOMPARE(about.windowTitle(), QStringLiteral("Vistrom について"));
    QStringList texts;
    bool hasIcon = false;
    for (QLabel* label : about.findChildren<QLabel*>()) {
        texts << label->text();
        hasIcon |= !label->pixmap().isNull();
    }
    QVERIFY(texts.contains(QStringLiteral("Vistrom Version 1.5")));
    QVERIFY(hasIcon);
    auto* buttons = about.findChild<QDialogButtonBox*>();
    QVERIFY(buttons);
    QCOMPARE(buttons->standardButtons(), QDialogButtonBox::Ok);
    QTimer::singleShot(0, buttons->button(QDialogButtonBox::Ok), &QPushButton::click);
    QCOMPARE(about.exec(), int(QDialog::Accepted));
}

void TestMainWindow::printedPages() {
    QTemporaryDir dir;
    FrameList list;
    QList<QByteArray> rows(300);
    rows[7] = "/images/" + QByteArray(600, 'x') + ".bmp"; // wraps, never cut
    list.resetRows(rows);
    auto pdfPages = [&](const QString& file) {
        const QByteArray pdf = ReadAll(file);
        return int(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") +
                   pdf.count("/Type /Page/") + pdf.count("/Type /Page "));
    };
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("many.pdf"));
    const int pages = PrintFrameRows(&printer, list, QStringLiteral("/p/title.fsq"));
    QVERIFY(pages > 1);
    QCOMPARE(pdfPages(dir.filePath("many.pdf")), pages);

    list.resetRows(QList<QByteArray>(10));
    QPrinter one(QPrinter::ScreenResolution);
    one.setOutputFormat(QPrinter::PdfFormat);
    one.setOutputFileName(dir.filePath("one.pdf"));
    QCOMPARE(PrintFrameRows(&one, list, QStringLiteral("Untitled")), 1);
    QCOMPARE(pdfPages(dir.filePath("one.pdf")), 1);
}

void TestMainWindow::printPreviewShowsPages() {
    Window w;
    w.frame.show();
    bool seen = false;
    // Waits for the preview to come up, however slow the machine, then closes it.
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, [&] {
        auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        if (!preview)
            return;
        seen = true;
        poll.stop();
        QTimer::singleShot(100, preview, &QDialog::reject);
    });
    poll.start();
    w.trigger(57609);
    QVERIFY(seen);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
