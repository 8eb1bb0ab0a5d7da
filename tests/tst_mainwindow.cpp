// The main window: menus, command ids and keys, the splitter, the caption, and
// the project state (untitled, modified, projectPath, title) after each File
// command, including cancelled and failed saves, the document path and
// closing. The dialogs are answered by a script.

#include "app/CAboutDialog.h"
#include "app/CVistromApp.h"
#include "app/QtUserDialogs.h"
#include "app/UserDialogs.h"
#include "framelist/CVistromDoc.h"
#include "framelist/ProjectFile.h"
#include "framelist/widgets/CVistromView.h"
#include "framelist/widgets/FrameListPrinting.h"
#include "ui/CMainFrame.h"
#include "ui/CPreView.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
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
#include <QTreeView>
#include <QUndoStack>
#include <QUrl>

// Rows name only the fields that differ from the defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

const QString SaveQuestion = QStringLiteral("未保存のデータを保存しますか?");
const QString CannotOpen = QStringLiteral("ファイルが開けませんでした");
const QString ReadError = QStringLiteral("読み込み中にエラー発生");
enum Command { New = 57600, Open = 57601, Save = 57603, SaveAs = 57604, DocPath = -1 };

class ScriptedDialogs : public CancellingDialogs {
public:
    QList<bool> yesNo;                          // answers, in order
    QList<std::optional<QByteArray>> fileNames; // answers, in order
    QStringList messages, questions, prompts;
    QList<FileRequest> requests;
    int unexpected = 0;

    void showMessage(const QString& text, bool) override { messages << text; }
    bool askYesNo(const QString& text) override {
        questions << text;
        return yesNo.isEmpty() ? (++unexpected, false) : yesNo.takeFirst();
    }
    void showPlainMessage(const QString&, const QString&) override { ++unexpected; }
    std::optional<QByteArray> askFileName(const FileRequest& request) override {
        requests << request;
        return fileNames.isEmpty() ? (++unexpected, std::nullopt) : fileNames.takeFirst();
    }
    std::optional<quint32> askValue(const QString& prompt, quint32) override {
        prompts << prompt;
        return std::nullopt;
    }
    void forget() { messages.clear(), questions.clear(), requests.clear(); }
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
    ~Window() { view->modified = 0; } // no question while the window goes away
    QStringList labels() const {
        QStringList out;
        for (int r = 0; r < view->frameList()->size(); ++r)
            out << view->frameList()->index(r, 0).data().toString();
        return out;
    }
    // Makes the project modified, with an undo step, as an edit would.
    void edit() {
        view->frameList()->setPaths({0}, {"/edited.bmp"});
        view->modified |= 1;
        view->undoStack()->push(new QUndoCommand(QStringLiteral("edit")));
    }
    void trigger(int id) {
        QAction* action = frame.commandAction(id);
        QVERIFY2(action, qPrintable(QString::number(id)));
        action->trigger();
    }
    void show() {
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
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

QString Keys(const QAction* a) {
    QStringList keys;
    for (const QKeySequence& k : a->shortcuts())
        keys << k.toString(QKeySequence::PortableText);
    return keys.join(QLatin1Char('|'));
}

const QByteArray kProject = "!F 1\r\n!S 640,480\r\n!X 1\r\n!B 2\r\n!W 0\r\n!D 0\r\n/a.bmp\r\n\r\n";

// What a File command leaves behind. Paths are named: "" (none), "current"
// (the project open before), "other" (a project to open) or "new" (a name
// that did not exist yet).
struct Outcome {
    int untitled = 1;
    int modified = 1;
    const char* path = "";
    const char* row0 = "/edited.bmp";
    QString message;
};

} // namespace

Q_DECLARE_METATYPE(Outcome)

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void menuBar();
    void commandTable_data();
    void commandTable();
    void keyReachesCommand();
    void newWindow();
    void fileCommands_data();
    void fileCommands();
    void dropOnWindowOpensProject();
    void closing();
    void startUp_data();
    void startUp();
    void identity();
    void fileDialogFilters_data();
    void fileDialogFilters();
    void printedPages();
    void printPreviewShowsPages();
};

void TestMainWindow::menuBar() {
    Window w;
    QStringList titles;
    QList<int> sizes;
    for (QAction* a : w.frame.menuBar()->actions())
        titles << a->text(), sizes << int(a->menu()->actions().size());
    QCOMPARE(titles, (QStringList{"ﾌｧｲﾙ(&F)", "編集(&E)", "設定(&S)", "変換(&C)", "ヘルプ(&H)"}));
    QCOMPARE(sizes, (QList<int>{6, 22, 2, 1, 1}));
}

void TestMainWindow::commandTable_data() {
    // Every menu item in order ("-" a separator), and the keys without one
    // (menu -1). Keys are PortableText, "|" between.
    QTest::addColumn<int>("menu");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("keys");
    int menu = 0, position = 0;
    auto item = [&](int m, const char* text, int id, const char* keys) {
        position = m == menu ? position + 1 : 0;
        menu = m;
        QTest::addRow("%d.%d %s", m, position, text)
            << m << position << QString::fromUtf8(text) << id << QString::fromLatin1(keys);
    };
    position = -1;
    item(0, "新規作成(&N)\tCtrl+N", 57600, "Ctrl+N");
    item(0, "開く(&O)...\tCtrl+O", 57601, "Ctrl+O");
    item(0, "上書き保存(&S)\tCtrl+S", 57603, "Ctrl+S");
    item(0, "名前を付けて保存(&A)...", 57604, "");
    item(0, "-", 0, "");
    item(0, "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)", 57665, "");
    item(1, "元に戻す(&U)\tCtrl+Z", 57643, "Ctrl+Z|Alt+Backspace");
    item(1, "やり直し(&R)\tCtrl+Shift+Z", 57644, "Ctrl+Shift+Z");
    item(1, "-", 0, "");
    item(1, "切り取り(詰め)(&X)\tCtrl+X", 32782, "Ctrl+X");
    item(1, "コピー(&C)\tCtrl+C", 32781, "Ctrl+C");
    item(1, "貼り付け(挿入)(&V)\tCtrl+V", 32784, "Ctrl+V");
    item(1, "選択部分を削除(&D)\tDel/Ctrl+D", 32775, "Ctrl+D");
    item(1, "-", 0, "");
    item(1, "最後に空欄を追加(&A)\tCtrl+A", 32771, "Ctrl+A");
    item(1, "現在位置に空欄を挿入(&I)\tCtrl+I", 32772, "Ctrl+I");
    item(1, "全部消去", 32773, "");
    item(1, "選択部分を空欄に(&S)\tSpace", 32774, "Space");
    item(1, "N行目へ移動(&G)\tCtrl+G", 32776, "");
    item(1, "連続範囲選択追加", 32777, "");
    item(1, "切り取り(空白)(&Y)\tCtrl+Y", 32785, "Ctrl+Y");
    item(1, "貼り付け(上書き)(&W)\tCtrl+W", 32783, "Ctrl+W");
    item(1, "ドラッグ&&ドロップ", 32786, "");
    item(1, "-", 0, "");
    item(1, "ファイルリスト取り込み...", 32792, "");
    item(1, "-", 0, "");
    item(1, "画像表示(&P)\tEnter", 32789, "Return|Enter");
    item(1, "画像変更...(&E)\tShift+Enter", 32793, "Shift+Return|Shift+Enter");
    item(2, "FPS && Size...(&F)\tCtrl+F", 32778, "Ctrl+F");
    item(2, "Audio ... (S)\tCtrl+E", 32791, "Ctrl+E");
    item(3, "Vistrom...(&B)\tCtrl+B", 32780, "Ctrl+B");
    item(4, "バージョン情報(Vistrom) (&A)...", 57664, "");
    item(-1, "print", 57607, "Ctrl+P");
    item(-1, "print preview", 57609, "");
    item(-1, "next pane", 57680, "F6");
    item(-1, "previous pane", 57681, "Shift+F6");
    item(-1, "cut key", 57635, "Shift+Del");
    item(-1, "copy key", 57634, "Ctrl+Ins");
    item(-1, "paste key", 57637, "Shift+Ins");
}

void TestMainWindow::commandTable() {
    QFETCH(int, menu);
    QFETCH(int, position);
    QFETCH(QString, text);
    QFETCH(int, id);
    Window w;
    const QList<QAction*> menus = w.frame.menuBar()->actions();
    QAction* a =
        menu >= 0 ? menus.at(menu)->menu()->actions().value(position) : w.frame.commandAction(id);
    QVERIFY(a);
    if (text == QLatin1String("-")) {
        QVERIFY(a->isSeparator());
        return;
    }
    if (menu >= 0)
        QCOMPARE(a->text(), text);
    else
        for (QAction* m : menus)
            QVERIFY(!m->menu()->actions().contains(a));
    QCOMPARE(a->data().toInt(), id);
    QCOMPARE(a->objectName(), QStringLiteral("cmd%1").arg(id));
    QCOMPARE(w.frame.commandAction(id), a);
    QTEST(Keys(a), "keys");
    // Every command works from the start; undo and redo wait for a step.
    QCOMPARE(a->isEnabled(), id != ID_EDIT_UNDO && id != ID_EDIT_REDO);
}

void TestMainWindow::keyReachesCommand() {
    // Ctrl+S on an untitled project asks for a name through Save As.
    Window w;
    w.show();
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

void TestMainWindow::newWindow() {
    Window w;
    w.show();
    QCOMPARE(w.labels(),
             (QStringList{"0 ( 0.00)", "1 ( 0.13)", "2 ( 0.25)", "3 ( 0.38)", "4 ( 0.50)",
                          "5 ( 0.63)", "6 ( 0.75)", "7 ( 0.88)", "8 ( 1.00)", "9 ( 1.13)"}));
    for (int r = 0; r < 10; ++r)
        QCOMPARE(w.view->frameList()->icon(r), FrameList::BlankIcon);
    QCOMPARE(w.view->untitled, 1);
    QCOMPARE(w.view->modified, 0);
    QCOMPARE(w.view->settings, ProjectSettings{});
    QCOMPARE(w.frame.windowTitle(), QStringLiteral("Untitled- Vistrom"));
    QSplitter* splitter = w.frame.splitter();
    QCOMPARE(splitter->widget(0), w.view);
    QCOMPARE(splitter->widget(1), static_cast<QWidget*>(w.frame.preview()));
    QCOMPARE(splitter->sizes(), (QList<int>{400, 0}));
    QCOMPARE(w.view->columnWidth(0), 100);
    QCOMPARE(w.view->columnWidth(1), 300);
    QCOMPARE(w.view->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(w.view->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(w.view->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!w.view->isSortingEnabled());
    // A click on a column header changes neither order nor selection.
    w.view->frameList()->setPaths({0, 1}, {"/b", "/a"});
    QTest::mouseClick(w.view->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(150, 5));
    QCOMPARE(w.view->frameList()->path(0), QByteArray("/b"));
    QVERIFY(w.view->selectedRows().isEmpty());
    // The blank icon is a black arrow; the filled icon is not.
    const QImage image = w.view->viewport()->grab().toImage();
    auto blackPixels = [&](int row) {
        const QRect cell = w.view->visualRect(w.view->model()->index(row, 0));
        int n = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x < cell.left() + 22; ++x)
                n += qGray(image.pixel(x, y)) < 40;
        return n;
    };
    QVERIFY(blackPixels(2) > 20);
    QVERIFY(blackPixels(2) != blackPixels(1));
    QCOMPARE(blackPixels(2), blackPixels(3));
}

void TestMainWindow::fileCommands_data() {
    // Start: "untitled" (the new project), "titled" (current.fsq opened) or
    // "gone" (current.fsq opened from a folder deleted since). Answers, each
    // used once: "yes" and "no" to the question; file names as named paths,
    // "cancel", "bad" (in a missing folder), "settings" and "empty" (refused
    // files), "missing". The document path takes the last name itself.
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("edit");
    QTest::addColumn<int>("command");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<Outcome>("outcome");
    auto row = [](const char* name, const char* start, bool edit, int command, QStringList answers,
                  Outcome outcome) {
        QTest::newRow(name) << QString::fromLatin1(start) << edit << command << answers << outcome;
    };
    // The path stays after New: it plays no part while untitled.
    row("New, No", "titled", true, New, {"no"}, {1, 0, "current", ""});
    row("New, Yes, cancelled", "untitled", true, New, {"yes", "cancel"}, {});
    row("New, Yes, saved", "untitled", true, New, {"yes", "new"}, {1, 0, "new", ""});
    row("Open", "untitled", false, Open, {"other"}, {0, 0, "other", "/other.bmp"});
    row("Open, No, cancelled", "untitled", true, Open, {"no", "cancel"}, {});
    row("Open settings only", "titled", true, Open, {"no", "settings"},
        {0, 1, "current", "/edited.bmp", ReadError});
    row("Open empty file", "titled", true, Open, {"no", "empty"},
        {0, 1, "current", "/edited.bmp", ReadError});
    row("Open missing file", "titled", true, Open, {"no", "missing"},
        {0, 1, "current", "/edited.bmp", CannotOpen});
    row("Open, Yes, save fails", "untitled", true, Open, {"yes", "bad"},
        {1, 1, "", "/edited.bmp", CannotOpen});
    row("Save untitled, cancelled", "untitled", true, Save, {"cancel"}, {});
    row("Save titled", "titled", true, Save, {}, {0, 0, "current"});
    row("Save fails", "gone", true, Save, {}, {0, 1, "current", "/edited.bmp", CannotOpen});
    row("Save As", "untitled", true, SaveAs, {"new"}, {0, 0, "new"});
    row("Save As fails, titled", "titled", true, SaveAs, {"bad"},
        {0, 1, "current", "/edited.bmp", CannotOpen});
    row("Save As fails, untitled", "untitled", true, SaveAs, {"bad"},
        {1, 1, "", "/edited.bmp", CannotOpen});
    row("document path", "untitled", false, DocPath, {"other"}, {0, 0, "other", "/other.bmp"});
    row("document path, No", "untitled", true, DocPath, {"no", "other"},
        {0, 0, "other", "/other.bmp"});
    row("document path, Yes, cancelled", "untitled", true, DocPath, {"yes", "cancel", "other"}, {});
    row("document path, missing file", "untitled", false, DocPath, {"missing"},
        {1, 0, "", "", CannotOpen});
}

void TestMainWindow::fileCommands() {
    QFETCH(QString, start);
    QFETCH(bool, edit);
    QFETCH(int, command);
    QFETCH(QStringList, answers);
    QFETCH(Outcome, outcome);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    const QString current = dir.filePath(start == "gone" ? "sub/current.fsq" : "current.fsq");
    auto named = [&](const QString& name) -> QString {
        return name == "current" ? current
               : name == "bad"   ? dir.filePath("no such folder/x.fsq")
               : name.isEmpty()  ? QString()
                                 : dir.filePath(name + ".fsq");
    };
    WriteAll(current, kProject);
    WriteAll(named("other"), "!F 1\n!S 640,480\n/other.bmp\n\n");
    WriteAll(named("settings"), "!F 30\r\n!S 100,100\r\n");
    WriteAll(named("empty"), "");
    Window w;
    if (start != "untitled") {
        w.dialogs.fileNames = {Bytes(current)};
        w.trigger(Open);
        QCOMPARE(w.view->untitled, 0);
        w.dialogs.forget();
        if (start == "gone")
            QVERIFY(QDir(dir.filePath("sub")).removeRecursively());
    }
    if (edit)
        w.edit();
    qsizetype questions = 0;
    for (qsizetype i = 0; i < answers.size() - (command == DocPath); ++i) {
        const QString& a = answers[i];
        if (a == "yes" || a == "no")
            w.dialogs.yesNo << (a == "yes"), ++questions;
        else
            w.dialogs.fileNames << (a == "cancel" ? std::nullopt : std::optional(Bytes(named(a))));
    }
    const qsizetype requests = w.dialogs.fileNames.size();
    if (command == DocPath)
        w.document.OnOpenDocument(Bytes(named(answers.last())));
    else
        w.trigger(command);

    QCOMPARE(w.dialogs.messages,
             outcome.message.isEmpty() ? QStringList() : QStringList{outcome.message});
    QCOMPARE(w.dialogs.questions, QStringList(questions, SaveQuestion));
    QCOMPARE(w.dialogs.requests.size(), requests);
    QVERIFY(w.dialogs.yesNo.isEmpty() && w.dialogs.fileNames.isEmpty() && !w.dialogs.unexpected);
    for (const UserDialogs::FileRequest& r : w.dialogs.requests) {
        QCOMPARE(r.filter, QStringLiteral("Vistrom-type file (*.fsq)| *.fsq ||"));
        QCOMPARE(r.initialName, r.save ? QStringLiteral("untitled") : QStringLiteral("*.fsq"));
        QCOMPARE(r.defaultExtension, r.save ? QStringLiteral("fsq") : QString());
        QCOMPARE(r.overwritePrompt, r.save);
        QCOMPARE(r.save, command == Save || command == SaveAs || answers.startsWith("yes"));
    }
    QCOMPARE(w.view->untitled, outcome.untitled);
    QCOMPARE(w.view->modified, outcome.modified);
    QCOMPARE(w.view->projectPath, Bytes(named(QString::fromLatin1(outcome.path))));
    const QString title = outcome.untitled ? QStringLiteral("Untitled") : named(outcome.path);
    QCOMPARE(w.view->title, title);
    QCOMPARE(w.frame.windowTitle(), title + QStringLiteral("- Vistrom"));
    // Both project files hold two rows at 1 fps; the new project ten at 8.
    const bool fromFile = !outcome.untitled && QByteArray(outcome.path) != "new";
    QCOMPARE(w.view->frameList()->size(), fromFile ? 2 : 10);
    QCOMPARE(w.view->frameList()->path(0), QByteArray(outcome.row0));
    QCOMPARE(w.view->settings.fps, fromFile ? 1u : 8u);
    QCOMPARE(w.labels().at(1), FrameList::TimeLabel(1, w.view->settings.fps));
    if (outcome.row0 == QByteArray())
        QCOMPARE(w.view->settings, ProjectSettings{}); // New resets every setting
    if (command == DocPath)
        QVERIFY(w.frame.preview()->path().isEmpty()); // the preview ignores hint 1
    QByteArray currentText = start == "gone" ? QByteArray() : kProject;
    if (start == "titled" && command == Save)
        currentText.replace("/a.bmp", "/edited.bmp");
    QCOMPARE(ReadAll(current), currentText); // failures leave the old file untouched
    if (answers.contains("new"))
        QVERIFY(ReadAll(named("new")).contains("\r\n/edited.bmp\r\n"));
    // The undo steps go with the rows they belong to.
    QCOMPARE(w.view->undoStack()->count(), int(edit && outcome.row0 == QByteArray("/edited.bmp")));
}

void TestMainWindow::dropOnWindowOpensProject() {
    QTemporaryDir dir;
    const QString path = dir.filePath("dropped.fsq");
    WriteAll(path, kProject);
    Window w;
    w.edit();
    w.dialogs.yesNo = {false};
    w.show();
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

void TestMainWindow::closing() {
    QTemporaryDir dir;
    Window w;
    w.frame.show();
    QVERIFY(w.frame.close()); // unmodified: no question
    QVERIFY(w.dialogs.questions.isEmpty());
    w.frame.show();
    w.edit();
    w.dialogs.yesNo = {false};
    QVERIFY(w.frame.close()); // No: closes without saving
    w.frame.show();
    w.dialogs.yesNo = {true, true};
    w.dialogs.fileNames = {std::nullopt, Bytes(dir.filePath("closing.fsq"))};
    QVERIFY(!w.frame.close()); // Yes, then the Save As is cancelled: stays open
    QVERIFY(w.frame.isVisible());
    QCOMPARE(w.view->modified, 1);
    // Exit asks again; this time the save goes through and the window closes.
    w.trigger(57665);
    QVERIFY(!w.frame.isVisible());
    QCOMPARE(w.dialogs.questions, QStringList(3, SaveQuestion));
    QVERIFY(ReadAll(dir.filePath("closing.fsq")).contains("/edited.bmp"));
}

void TestMainWindow::startUp_data() {
    QTest::addColumn<QString>("argument"); // "<dir>" stands for the test folder
    QTest::addColumn<bool>("loads");
    QTest::addColumn<QString>("message");
    QTest::newRow("no argument") << QString() << false << QString();
    QTest::newRow("absolute path") << "<dir>/start.fsq" << true << QString();
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
    if (argument.contains(QLatin1String("%1")))
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
        QCOMPARE(w.view->settings, ProjectSettings{});
        QCOMPARE(w.view->untitled, 1);
    }
    QCOMPARE(w.view->modified, 0);
}

void TestMainWindow::identity() {
    CVistromApp::SetUpApplication();
    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Tessaril"));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Vistrom"));
    QVERIFY(!QApplication::windowIcon().isNull());
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
    QCOMPARE(buttons ? buttons->standardButtons() : QDialogButtonBox::NoButton,
             QDialogButtonBox::Ok);
    QTimer::singleShot(0, buttons->button(QDialogButtonBox::Ok), &QPushButton::click);
    QCOMPARE(about.exec(), int(QDialog::Accepted));
}

void TestMainWindow::fileDialogFilters_data() {
    // Qt's own file dialog in a folder of five files: the filter texts shown
    // and the names listed with the filter at "pick".
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("pick");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("listed");
    const QString list = QStringLiteral("Text File (*.txt)|*.txt|All Files (*.*)|*.*||");
    const QStringList listShown{"Text File (*.txt)", "All Files (*.*)"};
    const QStringList every{"IMAGE.BMP", "README", "a.fsq", "frame", "list.txt"};
    QTest::newRow("text files") << list << 0 << listShown << QStringList{"list.txt"};
    // "*.*" lists names without a dot as well, as it always did.
    QTest::newRow("all files") << list << 1 << listShown << every;
    QTest::newRow("image, all files")
        << QStringLiteral("Bitmap file (*.bmp)|*.bmp|All Files (*.*) |*.*||") << 1
        << QStringList{"Bitmap file (*.bmp)", "All Files (*.*)"} << every;
    QTest::newRow("image, bitmaps any case")
        << QStringLiteral("Bitmap file (*.bmp)|*.bmp|All Files (*.*) |*.*||") << 0
        << QStringList{"Bitmap file (*.bmp)", "All Files (*.*)"} << QStringList{"IMAGE.BMP"};
    QTest::newRow("project, blanks around the pattern")
        << QStringLiteral("Vistrom-type file (*.fsq)| *.fsq ||") << 0
        << QStringList{"Vistrom-type file (*.fsq)"} << QStringList{"a.fsq"};
}

void TestMainWindow::fileDialogFilters() {
    QFETCH(QString, filter);
    QFETCH(int, pick);
    QFETCH(QStringList, listed);
    QTemporaryDir dir;
    for (const char* name : {"README", "frame", "list.txt", "IMAGE.BMP", "a.fsq"})
        WriteAll(dir.filePath(name), "x");
    QStringList shown, seen;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* types = dialog ? dialog->findChild<QComboBox*>("fileTypeCombo") : nullptr;
        auto* files = dialog ? dialog->findChild<QTreeView*>("treeView") : nullptr;
        if (!types || !files) {
            if (dialog)
                dialog->reject();
            return;
        }
        for (int i = 0; i < types->count(); ++i)
            shown << types->itemText(i);
        dialog->setDirectory(dir.path());
        // As a user picks a filter: the list box takes the key.
        types->setFocus();
        for (int i = 0; i < pick; ++i)
            QTest::keyClick(types, Qt::Key_Down);
        auto names = [files] {
            QStringList out;
            for (int r = 0; r < files->model()->rowCount(files->rootIndex()); ++r)
                out << files->model()->index(r, 0, files->rootIndex()).data().toString();
            out.sort();
            return out;
        };
        seen = QTest::qWaitFor([&] { return names() == listed; }, 3000) ? listed : names();
        dialog->reject();
    });
    QtUserDialogs dialogs;
    UserDialogs::FileRequest request;
    request.filter = filter;
    QVERIFY(!dialogs.askFileName(request));
    QTEST(shown, "shown");
    QCOMPARE(seen, listed);
}

void TestMainWindow::printedPages() {
    QTemporaryDir dir;
    auto print = [&](const QList<QByteArray>& rows, const QString& title) {
        FrameList list;
        list.resetRows(rows);
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("p.pdf"));
        const int pages = PrintFrameRows(&printer, list, title);
        const QByteArray pdf = ReadAll(dir.filePath("p.pdf"));
        int inPdf = 0;
        for (const char* end : {"\n", "\r", "/", " "})
            inPdf += int(pdf.count(QByteArray("/Type /Page") + end));
        return std::pair(pages, inPdf);
    };
    QList<QByteArray> rows(300);
    rows[7] = "/images/" + QByteArray(600, 'x') + ".bmp"; // wraps, never cut
    const auto [pages, inPdf] = print(rows, QStringLiteral("/p/title.fsq"));
    QVERIFY(pages > 1);
    QCOMPARE(inPdf, pages);
    QCOMPARE(print(QList<QByteArray>(10), QStringLiteral("Untitled")), std::pair(1, 1));
}

void TestMainWindow::printPreviewShowsPages() {
    Window w;
    w.frame.show();
    bool seen = false;
    // Waits for the preview to come up, however slow the machine, then closes it.
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        if (auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget())) {
            seen = true;
            poll.stop();
            QTimer::singleShot(100, preview, &QDialog::reject);
        }
    });
    poll.start(20);
    w.trigger(57609);
    QVERIFY(seen);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
