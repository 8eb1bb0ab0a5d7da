// The main window and its list pane, as a user drives them: the command
// table's rules, keys, the questions the commands ask, mouse clicks, dropped
// files, the File commands, closing, start-up, the panes and printing. What
// the commands do to the project is tst_project's; here, how they are reached.

#include "imaging/FormatFixtures.h"
#include "project_tools.h"
#include "scripted_dialogs.h"

#include "app/Application.h"
#include "dialogs/AboutDialog.h"
#include "imaging/PluginLoader.h"
#include "project/UndoSteps.h"
#include "ui/ConversionCommand.h"
#include "ui/FrameListPrinting.h"
#include "ui/FrameListView.h"
#include "ui/MainWindow.h"
#include "ui/PreviewPane.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTimer>
#include <QUndoStack>
#include <QUrl>

#include <cerrno>
#include <cstring>

namespace {

const QByteArray H("Vistrom data\r\n");
const QString SaveQuestion = QStringLiteral("question: 未保存のデータを保存しますか?");

struct Window {
    ScriptedDialogs dialogs;
    Project project;
    MainWindow window{&project, &dialogs};
    FrameListView* list = window.listView();
    QByteArrayList images;

    Window() {
        QObject::connect(&project, &Project::showImage,
                         [this](const QByteArray& path) { images << path; });
    }
    void trigger(Command id) { window.commandAction(id)->trigger(); }
    bool show() {
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }
};

// Drops local files on target at a point (its centre when not given) as a
// file manager does with Shift held (copy or move offered, move proposed);
// the program must only ever copy. The action taken: none when the drop was
// ignored.
Qt::DropAction Drop(QWidget* target, const QList<QUrl>& urls, std::optional<QPoint> point = {}) {
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint at = point.value_or(target->rect().center());
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, offered, &mime, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted() || enter.dropAction() != Qt::CopyAction)
        return Qt::MoveAction;
    QDropEvent drop(QPointF(at), offered, &mime, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

// Queues answers: a number for a value prompt, "-" to cancel it,
// "yes"/"no"/"dismiss", "file:<path>" or "file-" for a file dialog.
void Script(ScriptedDialogs& d, const QStringList& answers) {
    for (const QString& a : answers) {
        if (a == "yes" || a == "no" || a == "dismiss")
            d.yesNo << ScriptedDialogs::answer(a);
        else if (a.startsWith("file"))
            d.files << (a == "file-" ? std::nullopt : std::optional(QFile::encodeName(a.mid(5))));
        else
            d.values << (a == "-" ? std::nullopt : std::optional(a.toUInt()));
    }
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void commandTable();
    void keys_data();
    void keys();
    void questions_data();
    void questions();
    void mouse();
    void drops_data();
    void drops();
    void windowDrops_data();
    void windowDrops();
    void changeImageFilter_data();
    void changeImageFilter();
    void fileCommands_data();
    void fileCommands();
    void closing();
    void startUp_data();
    void startUp();
    void panes();
    void missingFiles();
    void columns();
    void settingsCommands();
    void scrolling();
    void aboutAndPrinting();
};

// Every command is reached from a menu or a key and has its handler (the
// three keys taken to do nothing aside); no key is bound twice; the list's
// own keys are bound to the list only; the menus hold the table's items.
// Undo and redo follow the history.
void TestMainWindow::commandTable() {
    Window w;
    const QList<QKeySequence> listKeys{Qt::Key_Space,
                                       Qt::Key_Delete,
                                       Qt::Key_Return,
                                       Qt::Key_Enter,
                                       Qt::SHIFT | Qt::Key_Return,
                                       Qt::SHIFT | Qt::Key_Enter};
    QSet<QKeySequence> bound;
    QHash<int, QList<int>> menus;
    for (const CommandEntry& e : CommandTable()) {
        menus[int(e.menu)] << int(e.id);
        if (e.id == Command::Separator)
            continue;
        const QList<QKeySequence> keys = CommandKeys(e);
        QVERIFY(e.menu != Menu::None || !keys.isEmpty());
        const bool taken =
            QList{Command::CutKey, Command::CopyKey, Command::PasteKey}.contains(e.id);
        QVERIFY2(w.window.handles(e.id) != taken, e.text);
        for (const QKeySequence& key : keys) {
            QVERIFY2(!bound.contains(key), qPrintable(key.toString()));
            bound.insert(key);
            QCOMPARE(listKeys.contains(key), e.scope == KeyScope::List);
        }
        QAction* a = w.window.commandAction(e.id);
        QCOMPARE(a->shortcuts(), keys);
        QCOMPARE(a->isEnabled(), e.id != Command::Undo && e.id != Command::Redo);
    }
    const QList<QAction*> bar = w.window.menuBar()->actions();
    QCOMPARE(bar.size(), qsizetype(MenuTable().size()));
    for (int m = 0; m < bar.size(); ++m) {
        QList<int> ids;
        for (QAction* a : bar[m]->menu()->actions())
            ids << (a->isSeparator() ? 0 : a->data().toInt());
        QCOMPARE(ids, menus[int(MenuTable()[m].menu)]);
    }
    // The list's context menu holds the Edit menu's own actions.
    QList<int> context;
    for (QAction* a : w.list->contextMenu()->actions()) {
        context << (a->isSeparator() ? 0 : a->data().toInt());
        QVERIFY(a->isSeparator() || menus[int(Menu::Edit)].contains(a->data().toInt()));
    }
    QCOMPARE(context.size(), qsizetype(ListContextMenu().size()));
    for (qsizetype i = 0; i < context.size(); ++i)
        QCOMPARE(context[i], int(ListContextMenu()[i]));
    // Undo and redo are available exactly when there is a step.
    QAction* undo = w.window.commandAction(Command::Undo);
    QAction* redo = w.window.commandAction(Command::Redo);
    w.project.insertBlanks(0, 3);
    undo->trigger();
    QVERIFY(!undo->isEnabled() && redo->isEnabled());
    redo->trigger();
    QVERIFY(undo->isEnabled() && !redo->isEnabled());
    QCOMPARE(w.project.frameList()->size(), 13);
}

// In the real window each key runs its command exactly once while the list
// has the focus: the list's own keys come before the window's shortcuts, the
// table's own Ctrl+A, Ctrl+C and in-place editing never win, and no key is an
// ambiguous shortcut. The list is "a [b] [c*] d", "/p" is on the clipboard.
void TestMainWindow::keys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<int>("steps"); // undo steps afterwards
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QByteArray>("shown");  // the image shown; null: none
    QTest::addColumn<QByteArray>("copied"); // the clipboard afterwards; null: unchanged
    const QByteArray all("a [b] [c*] d"), bc = H + "b\r\nc\r\n", none;
    const QStringList quiet, value{"value"}, file{"file"};
    const auto ctrl = Qt::ControlModifier;
    auto key = [](const char* name, Qt::Key k, int modifiers, const QByteArray& after, int steps,
                  const QStringList& log, const QByteArray& shown = {},
                  const QByteArray& copied = {}) {
        QTest::newRow(name) << int(k) << modifiers << after << steps << log << shown << copied;
    };
    key("Space", Qt::Key_Space, 0, "a [-] [-*] d", 1, quiet);
    key("Delete", Qt::Key_Delete, 0, "a [d*]", 1, quiet);
    key("Ctrl+D", Qt::Key_D, ctrl, "a [d*]", 1, quiet);
    key("Return", Qt::Key_Return, 0, all, 0, quiet, "b");
    key("keypad Enter", Qt::Key_Enter, Qt::KeypadModifier, all, 0, quiet, "b");
    key("Shift+Return", Qt::Key_Return, Qt::ShiftModifier, all, 0, file);
    key("Ctrl+A appends", Qt::Key_A, ctrl, "a [b] [c*] d -", 1, value);
    key("Ctrl+I inserts", Qt::Key_I, ctrl, "a [b] - [c*] d", 1, value);
    key("Ctrl+Z undoes", Qt::Key_Z, ctrl, all, 0, quiet);
    key("Ctrl+Shift+Z redoes", Qt::Key_Z, ctrl | Qt::ShiftModifier, "a [b] [c*] d [/pasted]", 1,
        quiet);
    key("Ctrl+C copies", Qt::Key_C, ctrl, all, 0, quiet, none, bc);
    key("Ctrl+V pastes inserting", Qt::Key_V, ctrl, "a [b] /p [c*] d", 1, quiet);
    key("Ctrl+X cuts closing up", Qt::Key_X, ctrl, "a d*", 1, quiet, none, bc);
    key("Ctrl+Y cuts leaving blanks", Qt::Key_Y, ctrl, "a [-] [-*] d", 1, quiet, none, bc);
    key("Ctrl+W pastes overwriting", Qt::Key_W, ctrl, "a [b] [/p*] d", 1, quiet);
    key("Ctrl+Shift+A selects all", Qt::Key_A, ctrl | Qt::ShiftModifier, "[a] [b] [c*] [d]", 0,
        quiet);
    // Home and End move along the rows, not the columns; with Shift they
    // select from the focus row on.
    key("End goes to the last row", Qt::Key_End, 0, "a b c [d*]", 0, quiet);
    key("Shift+End extends to the last row", Qt::Key_End, Qt::ShiftModifier, "a b [c] [d*]", 0,
        quiet);
    key("Shift+Home extends to the first row", Qt::Key_Home, Qt::ShiftModifier, "[a*] [b] [c] d", 0,
        quiet);
}

void TestMainWindow::keys() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QByteArray, copied);
    QTest::failOnWarning(QRegularExpression(QStringLiteral("[Aa]mbiguous")));
    const QByteArray onClipboard = H + "/p\r\n";
    QGuiApplication::clipboard()->setText(QString::fromUtf8(onClipboard));
    Window w;
    SetState(w.project, "a [b] [c*] d");
    if (key == Qt::Key_Z) { // a row to undo, or undone to redo
        w.project.undoStack()->push(
            RowEditStep::insertRows(w.project.frameList(), {4}, {"/pasted"}, "paste"));
        if (modifiers & Qt::ShiftModifier)
            w.project.undo();
    }
    QSignalSpy activated(w.list, &QAbstractItemView::activated);
    w.dialogs.values << 1;
    QVERIFY(w.show());
    w.window.activateWindow();
    w.list->setFocus();
    QTRY_VERIFY(w.list->hasFocus());
    QTest::keyClick(w.list, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    QTEST(StateOf(w.project), "after");
    QTEST(w.project.undoStack()->index(), "steps");
    QStringList kinds;
    for (const QString& line : w.dialogs.log)
        kinds << line.section(':', 0, 0);
    QTEST(kinds, "log");
    QFETCH(QByteArray, shown);
    QCOMPARE(w.images, shown.isNull() ? QByteArrayList() : QByteArrayList{shown});
    QCOMPARE(QGuiApplication::clipboard()->mimeData()->data("text/plain"),
             copied.isNull() ? onClipboard : copied);
    // Never editing in place.
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.list));
    QVERIFY(w.list->findChildren<QLineEdit*>().isEmpty());
    QCOMPARE(activated.count(), 0);
}

// What each list command asks (a value prompt with its first value and its
// largest: a count up to 1000, a row number up to the last row, the end of a
// range up to the row count; a Yes/No question; a file, titled by its
// purpose and opening in the project's folder), and what it then does;
// Cancel does nothing.
void TestMainWindow::questions_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QByteArray>("after");
    // "value <first>/<largest>", "question", "file <title>", "message"
    QTest::addColumn<QStringList>("asked");
    auto row = [](const char* name, Command id, const char* before, const QStringList& answers,
                  const char* after, const QStringList& asked) {
        QTest::newRow(name) << int(id) << QByteArray(before) << answers << QByteArray(after)
                            << asked;
    };
    using C = Command;
    row("append", C::AddBlanksAtEnd, "a b* c", {"2"}, "a b* c - -", {"value 1/1000"});
    row("append cancelled", C::AddBlanksAtEnd, "a b* c", {"-"}, "a b* c", {"value 1/1000"});
    row("insert at the focus", C::InsertBlanksHere, "a b* c", {"2"}, "a - - b* c",
        {"value 1/1000"});
    row("insert without focus", C::InsertBlanksHere, "a [b] c", {"1"}, "a [b] c -",
        {"value 1/1000"});
    row("go to", C::GoToRow, "a [b] c*", {"0"}, "a* [b] c", {"value 0/2"});
    row("go to on an empty list", C::GoToRow, "", {"0"}, "", {"value 0/0"});
    row("range", C::AddRangeToSelection, "a b* c", {"0", "2"}, "[a] [b*] c",
        {"value 0/2", "value 0/3"});
    row("range, second cancelled", C::AddRangeToSelection, "a b* c", {"0", "-"}, "a b* c",
        {"value 0/2", "value 0/3"});
    row("select all", C::SelectAll, "a [b] c*", {}, "[a] [b] [c*]", {});
    row("clear, Yes", C::ClearAll, "a [b] c*", {"yes"}, "", {"question"});
    row("clear, No", C::ClearAll, "a [b] c*", {"no"}, "a [b] c*", {"question"});
    row("clear, dismissed", C::ClearAll, "a [b] c*", {"dismiss"}, "a [b] c*", {"question"});
    row("drag and drop", C::ExplainDragAndDrop, "a", {}, "a", {"message"});
    row("import, no such file", C::ImportFileList, "a", {"file:/none/l.txt"}, "a",
        {"file 取り込むファイルリストの選択", "message"});
    row("change the first selected", C::ChangeImage, "a [b] [c]", {"file:/n"}, "a [/n] [c]",
        {"file 画像ファイルの選択"});
    row("change nothing selected", C::ChangeImage, "a b* c", {}, "a b* c", {});
}

void TestMainWindow::questions() {
    QFETCH(int, command);
    QFETCH(QByteArray, before);
    QFETCH(QStringList, answers);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    Window w;
    QCOMPARE(w.project.saveAs(QFile::encodeName(dir.filePath("q.fsq"))), ProjectResult::Done);
    SetState(w.project, before);
    Script(w.dialogs, answers);
    w.trigger(Command(command));
    QCOMPARE(StateOf(w.project), after);
    QStringList asked;
    for (const QString& line : w.dialogs.log)
        asked << line.section(':', 0, 0);
    for (qsizetype i = 0, v = 0, f = 0; i < asked.size(); ++i) {
        if (asked[i] == "value") {
            asked[i] += QStringLiteral(" %1/%2")
                            .arg(w.dialogs.valueInitials[v])
                            .arg(w.dialogs.valueMaxima[v]);
            ++v;
        } else if (asked[i] == "file") {
            asked[i] += " " + w.dialogs.fileRequests[f++].title;
        }
    }
    QTEST(asked, "asked");
    QCOMPARE(w.dialogs.unexpected, 0);
    QCOMPARE(w.project.isModified(), ParseState(before).paths != ParseState(after).paths);
    for (const UserDialogs::FileRequest& request : w.dialogs.fileRequests)
        QCOMPARE(request.startFolder, QFile::encodeName(dir.path()));
}

// A right click shows the image of the row under the pointer (a blank row the
// one above), before selecting; a left click clears the preview and selects;
// a double click changes the row's image. Below the last row nothing happens.
// Shift with the right button, the menu key or Shift+F10 opens the context menu.
void TestMainWindow::mouse() {
    Window w;
    SetState(w.project, "a b c - e");
    QVERIFY(w.show());
    QWidget* area = w.list->viewport();
    const auto centre = [&](int row) {
        return w.list->visualRect(w.project.frameList()->index(row, 1)).center();
    };
    QTest::mouseClick(area, Qt::RightButton, {}, centre(3));
    QTest::mouseClick(area, Qt::LeftButton, {}, centre(1));
    QCOMPARE(w.images, (QByteArrayList{"c", ""}));
    QCOMPARE(w.project.selectedRows(), Rows{1});
    w.dialogs.files << "/chosen/new.bmp";
    QTest::mouseDClick(area, Qt::LeftButton, {}, centre(2));
    QCOMPARE(w.project.frameList()->path(2), QByteArray("/chosen/new.bmp"));
    const QPoint below(10, w.list->visualRect(w.project.frameList()->index(4, 0)).bottom() + 40);
    w.images.clear();
    QTest::mouseClick(area, Qt::RightButton, {}, below);
    QTest::mouseDClick(area, Qt::LeftButton, {}, below);
    w.images.removeAll(QByteArray()); // the left button's clearing
    QVERIFY(w.images.isEmpty());
    QCOMPARE(w.dialogs.fileRequests.size(), 1);

    // The context menu: the right button with Shift (which shows no image) or
    // the keyboard opens it; the plain right button does not.
    QMenu* menu = w.list->contextMenu();
    auto context = [&](QContextMenuEvent::Reason reason, Qt::KeyboardModifiers modifiers) {
        QContextMenuEvent event(reason, centre(1), area->mapToGlobal(centre(1)), modifiers);
        QApplication::sendEvent(area, &event);
        const bool shown = menu->isVisible();
        menu->hide();
        return shown;
    };
    QTest::mousePress(area, Qt::RightButton, Qt::ShiftModifier, centre(0));
    QTest::mouseRelease(area, Qt::RightButton, Qt::ShiftModifier, centre(0));
    QVERIFY(w.images.isEmpty());
    QVERIFY(!context(QContextMenuEvent::Mouse, {}));
    QVERIFY(context(QContextMenuEvent::Mouse, Qt::ShiftModifier));
    QVERIFY(context(QContextMenuEvent::Keyboard, {}));
    QTest::keyClick(w.list, Qt::Key_F10, Qt::ShiftModifier);
    QVERIFY(menu->isVisible());
}

// A drop asks for the start, offering the row under the drop point (the last
// row below them), and for more than one file the interval; Cancel drops
// nothing. An item that is no local file stops the drop, and names aimed past
// the last row are counted, with messages brought to the front.
void TestMainWindow::drops_data() {
    QTest::addColumn<QStringList>("files"); // "" an item that is no local file
    QTest::addColumn<int>("at");            // the row dropped on; -1 below the rows
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("accepted");
    const QStringList two{"/d/0", "/d/1"}, none;
    auto row = [](const char* name, const QStringList& files, int at, const QStringList& answers,
                  const char* after, const QStringList& messages, bool accepted) {
        QTest::newRow(name) << files << at << answers << QByteArray(after) << messages << accepted;
    };
    row("two files on row 1", two, 1, {"1", "2"}, "- /d/0 - /d/1 -", none, true);
    row("one file below the rows asks only the start", {"/d/0"}, -1, {"4"}, "- - - - /d/0", none,
        true);
    row("start cancelled", two, 3, {"-"}, "- - - - -", none, false);
    row("interval cancelled", two, 0, {"0", "-"}, "- - - - -", none, false);
    row("no local file", {"/d/0", "", "/d/2"}, 0, {"0", "1"}, "/d/0 - - - -",
        {"Drag&Dropでエラーが生じました"}, true);
    row("past the last row", {"/d/0", "/d/1", "/d/2", "/d/3"}, 2, {"2", "2"}, "- - /d/0 - /d/1",
        {"ドロップしたファイルのうち 2 個は、最後の行 (4) より後ろに当たるため置けませんでした。\n"
         "空欄を追加してから、もう一度ドロップしてください。"},
        true);
}

void TestMainWindow::drops() {
    QFETCH(QStringList, files);
    QFETCH(int, at);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, messages);
    Window w;
    QVERIFY(w.show());
    SetState(w.project, "- - - - -");
    Script(w.dialogs, answers);
    QList<QUrl> urls;
    for (const QString& f : files)
        urls << (f.isEmpty() ? QUrl("https://example.org/b.bmp") : QUrl::fromLocalFile(f));
    QFETCH(bool, accepted);
    QWidget* area = w.list->viewport();
    const QPoint point = at >= 0 ? w.list->visualRect(w.list->model()->index(at, 1)).center()
                                 : QPoint(10, area->height() - 5);
    QCOMPARE(Drop(area, urls, point), accepted ? Qt::CopyAction : Qt::IgnoreAction);
    QTEST(StateOf(w.project), "after");
    const qsizetype asked = files.size() > 1 && answers[0] != "-" ? 2 : 1;
    QCOMPARE(
        w.dialogs.logged("value: "),
        QStringList({"どの番号にドロップしますか?", "何番間隔でドロップしますか?"}).mid(0, asked));
    QCOMPARE(w.dialogs.valueInitials, QList<quint32>({at < 0 ? 4u : quint32(at), 1}).mid(0, asked));
    QCOMPARE(w.dialogs.valueMaxima, QList<quint32>({4, 1000}).mid(0, asked));
    QCOMPARE(w.dialogs.logged("message: "), messages);
    QCOMPARE(w.dialogs.foreground, QList<bool>(messages.size(), true));
    QCOMPARE(w.project.isModified(), !answers.contains("-"));
}

// Outside the list, image files (by name or by their first bytes) go to the
// list as a drop on it places them; another file opens as a project, and one
// that is not text is refused with a message naming it. Always a copy.
void TestMainWindow::windowDrops_data() {
    QTest::addColumn<QStringList>("files"); // in the test folder
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QByteArray>("after"); // "<dir>" is the test folder
    QTest::addColumn<QStringList>("log");
    const QString start = "value: どの番号にドロップしますか?",
                  interval = "value: 何番間隔でドロップしますか?";
    QTest::newRow("an image by its name")
        << QStringList{"a.PNG"} << QStringList{"1"} << QByteArray("- <dir>/a.PNG - - -")
        << QStringList{start};
    QTest::newRow("images by their bytes")
        << QStringList{"shot", "b.bmp"} << QStringList{"0", "2"}
        << QByteArray("<dir>/shot - <dir>/b.bmp - -") << QStringList{start, interval};
    QTest::newRow("an image, cancelled") << QStringList{"a.png"} << QStringList{"-"}
                                         << QByteArray("- - - - -") << QStringList{start};
    QTest::newRow("a project") << QStringList{"p.fsq"} << QStringList{} << QByteArray("/p.bmp")
                               << QStringList{};
    QTest::newRow("a file that is not text")
        << QStringList{"data.bin", "a.png"} << QStringList{} << QByteArray("- - - - -")
        << QStringList{"message: <dir>/data.bin\nはテキストファイルではないため、"
                       "プロジェクトとして開けません。"};
}

void TestMainWindow::windowDrops() {
    QFETCH(QStringList, files);
    QFETCH(QByteArray, after);
    QFETCH(QStringList, log);
    QTemporaryDir dir;
    WriteFile(dir.filePath("shot"), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    WriteFile(dir.filePath("p.fsq"), "!F 1\n/p.bmp\n");
    WriteFile(dir.filePath("data.bin"), QByteArray(100, '\0'));
    Window w;
    QVERIFY(w.show());
    SetState(w.project, "- - - - -");
    QFETCH(QStringList, answers);
    Script(w.dialogs, answers);
    QList<QUrl> urls;
    for (const QString& f : files)
        urls << QUrl::fromLocalFile(dir.filePath(f));
    const Qt::DropAction action = Drop(&w.window, urls);
    QCOMPARE(action, answers.contains("-") ? Qt::IgnoreAction : Qt::CopyAction);
    QCOMPARE(StateOf(w.project), after.replace("<dir>", QFile::encodeName(dir.path())));
    QCOMPARE(w.dialogs.log, log.replaceInStrings("<dir>", dir.path()));
    QCOMPARE(w.dialogs.unexpected, 0);
}

// A format's filter entry is offered only while its plug-in loads from the
// folder searched: none, some, every one.
void TestMainWindow::changeImageFilter_data() {
    QTest::addColumn<QStringList>("plugins");
    QTest::addColumn<QString>("filter");
    const QString bmp = "Bitmap file (*.bmp)|*.bmp|", all = "All Files (*.*) |*.*||",
                  jpeg = "Jpeg file (*.jpg *.jpeg)|*.jpg;*.jpeg|", png = "PNG file (*.png)|*.png|",
                  heif = "HEIF/AVIF file (*.heic *.heif *.avif)|*.heic;*.heif;*.avif|";
    QTest::newRow("no plug-in") << QStringList{} << bmp + all;
    QTest::newRow("PNG and HEIF") << QStringList{"ifheif.spi", "ifpng.spi"}
                                  << bmp + png + heif + all;
    QTest::newRow("every plug-in")
        << QStringList{"ifjpeg.spi", "ifpng.spi", "ifwebp.spi",
                       "iftiff.spi", "ifgif.spi", "ifheif.spi"}
        << bmp + jpeg + png + "WebP file (*.webp)|*.webp|TIFF file (*.tif *.tiff)|*.tif;*.tiff|" +
               "GIF file (*.gif)|*.gif|" + heif + all;
}

void TestMainWindow::changeImageFilter() {
    QFETCH(QStringList, plugins);
    QTemporaryDir folder;
    for (const QString& plugin : plugins)
        if (!QFile::link(VISTROM_BIN_DIR "/" + plugin, folder.filePath(plugin)) ||
            !QFile::exists(folder.filePath(plugin)))
            QSKIP("the decoder plug-ins are not built");
    SetPluginSearchDirsForTesting(std::vector<std::string>{folder.path().toStdString()});
    Window w;
    SetState(w.project, "a [b]");
    w.trigger(Command::ChangeImage);
    SetPluginSearchDirsForTesting(std::nullopt);
    QCOMPARE(w.dialogs.fileRequests.size(), 1);
    QTEST(w.dialogs.fileRequests[0].filter, "filter");
}

// The File commands through the window: the question about unsaved changes
// (dismissing it calls the command off), the file dialogs, the question
// before replacing a write-protected file, the messages naming the file and
// the reason, and where the project ends up.
void TestMainWindow::fileCommands_data() {
    // Start: "new" or "opened" (current.fsq), edited once. Answers as Script
    // takes them, file names inside the test folder (".fsq" added to a name
    // without a dot); "gone" removes current.fsq's folder, "protect" makes
    // current.fsq read-only, "protect-other" other.fsq. The document path
    // (command 0) takes "path" itself. The outcome: the project's path ("" untitled)
    // and whether it is still modified. In the log "<dir>" is the test folder.
    QTest::addColumn<bool>("opened");
    QTest::addColumn<int>("command");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("modified");
    QTest::addColumn<QStringList>("log");
    const QString file = "file", read = "message: 読み込み中にエラー発生",
                  cannot = "message: ファイルが開けませんでした\n<dir>/%1\n<ENOENT>",
                  protectedQuestion = "question: <dir>/%1 は書き込み禁止です。\n上書きしますか?";
    const QString current = protectedQuestion.arg("sub/current.fsq");
    auto row = [](const char* name, bool opened, Command command, const QStringList& answers,
                  const char* path, bool modified, const QStringList& log) {
        QTest::newRow(name) << opened << int(command) << answers << QString(path) << modified
                            << log;
    };
    using C = Command;
    row("New, Yes, cancelled", false, C::NewProject, {"yes", "file-"}, "", true,
        {SaveQuestion, file});
    row("New, Yes, saved", false, C::NewProject, {"yes", "file:new"}, "", false,
        {SaveQuestion, file});
    row("New, dismissed", true, C::NewProject, {"dismiss"}, "current", true, {SaveQuestion});
    row("Open, No", true, C::OpenProject, {"no", "file:other"}, "other", false,
        {SaveQuestion, file});
    row("Open, dismissed", true, C::OpenProject, {"dismiss"}, "current", true, {SaveQuestion});
    row("Open settings only", true, C::OpenProject, {"no", "file:settings"}, "current", true,
        {SaveQuestion, file, read});
    row("Open an image", true, C::OpenProject, {"no", "file:image.png"}, "current", true,
        {SaveQuestion, file,
         "message: "
         "<dir>/image.png\nはテキストファイルではないため、プロジェクトとして開けません。"});
    row("Open, Yes, save fails", false, C::OpenProject, {"yes", "file:none/x"}, "", true,
        {SaveQuestion, file, cannot.arg("none/x.fsq")});
    row("Save untitled: Save As", false, C::SaveProject, {"file:new"}, "new", false, {file});
    row("Save fails", true, C::SaveProject, {"gone"}, "current", true,
        {cannot.arg("sub/current.fsq")});
    row("Save write-protected, Yes", true, C::SaveProject, {"protect", "yes"}, "current", false,
        {current});
    row("Save write-protected, No", true, C::SaveProject, {"protect", "no"}, "current", true,
        {current});
    row("New, Yes, write-protected, No", true, C::NewProject, {"protect", "yes", "no"}, "current",
        true, {SaveQuestion, current});
    row("Save As over write-protected, dismissed", false, C::SaveProjectAs,
        {"protect-other", "file:other", "dismiss"}, "", true,
        {file, protectedQuestion.arg("other.fsq")});
    row("document path, Yes, cancelled", false, C::Separator, {"yes", "file-", "other"}, "", true,
        {SaveQuestion, file});
    row("document path, dismissed", true, C::Separator, {"dismiss", "other"}, "current", true,
        {SaveQuestion});
}

void TestMainWindow::fileCommands() {
    QFETCH(bool, opened);
    QFETCH(int, command);
    QFETCH(QStringList, answers);
    QFETCH(QString, path);
    QFETCH(QStringList, log);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    const QString current = dir.filePath("sub/current.fsq");
    WriteFile(current, "!F 1\n/a.bmp\n");
    WriteFile(dir.filePath("other.fsq"), "!F 1\n/other.bmp\n");
    WriteFile(dir.filePath("settings.fsq"), "!F 30\n");
    WriteFile(dir.filePath("image.png"), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    Window w;
    if (opened)
        QCOMPARE(w.project.load(QFile::encodeName(current)), ProjectResult::Done);
    w.project.changePath(0, "/edited.bmp");
    if (answers.removeAll("gone"))
        QVERIFY(QDir(dir.filePath("sub")).removeRecursively());
    if (answers.removeAll("protect"))
        QVERIFY(QFile::setPermissions(current, QFileDevice::ReadOwner));
    if (answers.removeAll("protect-other"))
        QVERIFY(QFile::setPermissions(dir.filePath("other.fsq"), QFileDevice::ReadOwner));
    const QByteArray before = ReadFile(current);
    for (QString& a : answers)
        if (a.startsWith("file:"))
            a = "file:" + dir.filePath(a.mid(5) + (a.mid(5).contains('.') ? "" : ".fsq"));
    const QString last = command == 0 ? answers.takeLast() : QString();
    Script(w.dialogs, answers);
    if (command == 0)
        w.window.openProjectAt(QFile::encodeName(dir.filePath(last + ".fsq")));
    else
        w.trigger(Command(command));

    for (QString& line : log)
        line.replace("<dir>", dir.path())
            .replace("<ENOENT>", QString::fromLocal8Bit(std::strerror(ENOENT)));
    QCOMPARE(w.dialogs.log, log);
    QCOMPARE(w.dialogs.unexpected, 0);
    for (const UserDialogs::FileRequest& r : w.dialogs.fileRequests) {
        QCOMPARE(r.save, command != int(Command::OpenProject) || answers.startsWith("yes"));
        // The project's folder; untitled, the seam's last used folder.
        QCOMPARE(r.startFolder, opened ? QFile::encodeName(dir.filePath("sub")) : QByteArray());
    }
    const QString expected = path == "current" ? current : dir.filePath(path + ".fsq");
    QCOMPARE(w.project.isUntitled(), path.isEmpty());
    QCOMPARE(w.window.windowTitle(), (path.isEmpty() ? QStringLiteral("Untitled") : expected) +
                                         QStringLiteral("- Vistrom"));
    QTEST(w.project.isModified(), "modified");
    if (answers.contains("file:" + dir.filePath("new.fsq")))
        QVERIFY(ReadFile(dir.filePath("new.fsq")).contains("\r\n/edited.bmp\r\n"));
    // A write-protected file is replaced only after a Yes, and stays protected.
    if (log.contains("question: " + current + " は書き込み禁止です。\n上書きしますか?")) {
        QCOMPARE(ReadFile(current).contains("/edited.bmp"), !w.project.isModified());
        QVERIFY(
            !(QFile::permissions(current) & (QFileDevice::WriteOwner | QFileDevice::WriteOther)));
    } else if (path == "current") {
        QCOMPARE(ReadFile(current), before);
    }
}

// Closing asks about unsaved changes; dismissing the question, or a Yes whose
// Save As is cancelled, keeps the window open, and Exit asks again. During a
// conversion closing asks whether to stop it: No (or dismissing) goes on with
// the window open; Yes stops after the current frame, and the window closes
// once the conversion has told how it ended.
void TestMainWindow::closing() {
    using A = UserDialogs::Answer;
    QTemporaryDir dir;
    Window w;
    w.window.show();
    QVERIFY(w.window.close());
    w.window.show();
    w.project.insertBlanks(0, 1);
    w.dialogs.yesNo = {A::No};
    QVERIFY(w.window.close()); // No: closes without saving
    w.window.show();
    w.dialogs.yesNo = {A::Dismissed, A::Yes, A::Yes};
    w.dialogs.files = {std::nullopt, QFile::encodeName(dir.filePath("closing.fsq"))};
    QVERIFY(!w.window.close());
    QVERIFY(!w.window.close());
    QVERIFY(w.window.isVisible() && w.project.isModified());
    w.trigger(Command::Exit);
    QVERIFY(!w.window.isVisible());
    QCOMPARE(w.dialogs.logged("question: ").size(), 4);
    QVERIFY(QFile::exists(dir.filePath("closing.fsq")));

    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    QVERIFY(red.save(dir.filePath("red.bmp")));
    Window c;
    ProjectSettings small = c.project.settings();
    small.width = 40;
    small.height = 30;
    c.project.changeSettings(small);
    c.project.frameList()->resetRows(Paths(3000, QFile::encodeName(dir.filePath("red.bmp"))));
    c.project.undoStack()->clear();
    c.window.show();
    c.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&c.window));
    c.dialogs.files = {QFile::encodeName(dir.filePath("a.avi")),
                       QFile::encodeName(dir.filePath("b.avi"))};
    c.dialogs.yesNo = {A::No, A::Dismissed, A::Yes};
    QSignalSpy finished(c.window.conversion(), &ConversionCommand::finished);
    c.trigger(Command::ConvertToMovie);
    QVERIFY(c.window.conversion()->isRunning());
    QVERIFY(!c.window.close() && !c.window.close());
    // The panes, menus and keys are still meanwhile, as behind a modal dialog.
    QTest::keyClick(&c.window, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(!c.list->isEnabled() && !c.window.menuBar()->isEnabled());
    QVERIFY(finished.wait(60000));
    QVERIFY(c.window.isVisible() && c.list->isEnabled());
    QVERIFY(!c.dialogs.log.contains("frame rate dialog"));
    QCOMPARE(c.dialogs.log.last(), QStringLiteral("message: AVI変換処理が終了しました。"));
    // Long enough that the worker cannot be done before the question.
    c.project.frameList()->resetRows(Paths(50000, QFile::encodeName(dir.filePath("red.bmp"))));
    c.trigger(Command::ConvertToMovie);
    QVERIFY(!c.window.close());
    QVERIFY(c.window.isVisible());
    QVERIFY(finished.wait(60000));
    QVERIFY(!c.window.isVisible());
    QCOMPARE(c.dialogs.logged("question: "),
             QStringList(3, "AVIファイルを作成しています。\n変換を中止して終了しますか?"));
    QVERIFY2(c.dialogs.log.last().startsWith("message: AVI変換をキャンセルしました。"),
             qPrintable(c.dialogs.log.last()));
    QCOMPARE(c.dialogs.unexpected, 0);
}

void TestMainWindow::startUp_data() {
    QTest::addColumn<QString>("argument"); // "<dir>" stands for the test folder
    QTest::addColumn<QString>("message");
    QTest::newRow("no argument") << QString() << QString();
    QTest::newRow("absolute path") << "<dir>/start.fsq" << QString();
    QTest::newRow("relative with dots") << "../<name>/start.fsq" << QString();
    QTest::newRow("missing file") << "<dir>/missing.fsq"
                                  << "ファイルが開けませんでした\n<dir>/missing.fsq\n<ENOENT>";
    QTest::newRow("settings only") << "<dir>/settings.fsq"
                                   << "読み込み中にエラー発生";
    QTest::newRow("an image") << "<dir>/image.png"
                              << "<dir>/image.png\nはテキストファイルではないため、"
                                 "プロジェクトとして開けません。";
}

void TestMainWindow::startUp() {
    QFETCH(QString, argument);
    QFETCH(QString, message);
    QTemporaryDir dir;
    WriteFile(dir.filePath("start.fsq"), "!F 1\n/a.bmp\n\n");
    WriteFile(dir.filePath("settings.fsq"), "!F 3\n");
    WriteFile(dir.filePath("image.png"), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    argument.replace("<dir>", dir.path()).replace("<name>", QFileInfo(dir.path()).fileName());
    message.replace("<dir>", dir.path())
        .replace("<ENOENT>", QString::fromLocal8Bit(std::strerror(ENOENT)));
    const QString working = QDir::currentPath();
    QDir::setCurrent(dir.path());
    Window w;
    OpenStartProject(w.window, QFile::encodeName(argument));
    QDir::setCurrent(working);
    QCOMPARE(w.dialogs.log, message.isEmpty() ? QStringList() : QStringList{"message: " + message});
    const bool loads = argument.endsWith("start.fsq");
    QCOMPARE(w.window.windowTitle(),
             (loads ? dir.filePath("start.fsq") : QStringLiteral("Untitled")) + "- Vistrom");
    QCOMPARE(StateOf(w.project),
             loads ? QByteArray("/a.bmp -") : QByteArray("- - - - - - - - - -"));
    QVERIFY(!w.project.isModified());
}

// A new window: the list 400 wide beside a collapsed preview, the columns,
// labels and icons of a new project; a header click sorts nothing; F6 moves
// between the panes.
void TestMainWindow::panes() {
    Window w;
    QVERIFY(w.show());
    QCOMPARE(w.window.windowTitle(), QStringLiteral("Untitled- Vistrom"));
    QSplitter* splitter = w.window.splitter();
    QCOMPARE(splitter->widget(0), w.list);
    QCOMPARE(splitter->widget(1), static_cast<QWidget*>(w.window.preview()));
    QCOMPARE(splitter->sizes(), (QList<int>{400, 0}));
    QCOMPARE(w.list->model()->index(9, 0).data().toString(), QStringLiteral("9 ( 1.13)"));
    w.project.changePath(0, "/b");
    w.project.changePath(1, "/a");
    QTest::mouseClick(w.list->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(150, 5));
    QCOMPARE(w.project.frameList()->paths().mid(0, 2), (Paths{"/b", "/a"}));
    QVERIFY(w.project.selectedRows().isEmpty());
    // The blank icon is a black arrow; the filled icon is not.
    const QImage image = w.list->viewport()->grab().toImage();
    auto blackPixels = [&](int row) {
        const QRect cell = w.list->visualRect(w.list->model()->index(row, 0));
        int n = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x < cell.left() + 22; ++x)
                n += qGray(image.pixel(x, y)) < 40;
        return n;
    };
    QVERIFY(blackPixels(2) > 20 && blackPixels(2) != blackPixels(1));
    QCOMPARE(blackPixels(2), blackPixels(3));
    w.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    w.list->setFocus();
    w.trigger(Command::NextPane);
    QVERIFY(w.window.preview()->hasFocus());
    w.trigger(Command::PreviousPane);
    QVERIFY(w.list->hasFocus());
}

// A filled row whose file is missing shows the warning icon instead of the
// filled one; a relative path is looked for in the project's folder first.
// What was found is kept until the window is activated again.
void TestMainWindow::missingFiles() {
    QTemporaryDir dir;
    WriteFile(dir.filePath("here.bmp"), "BM");
    const QByteArray here = QFile::encodeName(dir.filePath("here.bmp"));
    WriteFile(dir.filePath("p.fsq"), "!F 1\nhere.bmp\ncoming.bmp\n" + here + "\n\n");
    Window w;
    QCOMPARE(w.project.load(QFile::encodeName(dir.filePath("p.fsq"))), ProjectResult::Done);
    QVERIFY(w.show());
    const auto icon = [&](int row) {
        const QRect cell = w.list->visualRect(w.list->model()->index(row, 0));
        return w.list->viewport()->grab(QRect(cell.topLeft(), QSize(22, cell.height()))).toImage();
    };
    QCOMPARE(icon(0), icon(2));
    QVERIFY(icon(1) != icon(0) && icon(1) != icon(3));
    WriteFile(dir.filePath("coming.bmp"), "BM");
    QVERIFY(icon(1) != icon(0));
    QEvent activated(QEvent::WindowActivate);
    QApplication::sendEvent(&w.window, &activated);
    QCOMPARE(icon(1), icon(0));
}

// The label column fits the list's longest label uncut, also once the list
// grows past a power of ten or the frame rate changes; the path column fills
// the rest, leaving nothing to scroll sideways.
void TestMainWindow::columns() {
    Window w;
    QVERIFY(w.show());
    auto verify = [&](const QString& longest) {
        FrameListView* list = w.list;
        const int last = list->model()->rowCount() - 1;
        QCOMPARE(list->model()->index(last, 0).data().toString(), longest);
        QStyleOptionViewItem option;
        option.initFrom(list);
        option.widget = list;
        for (int row = 9;; row = row * 10 + 9) { // rows 9, 99, 999, ... and the last
            const QModelIndex label = list->model()->index(std::min(row, last), 0);
            QVERIFY2(list->itemDelegate()->sizeHint(option, label).width() <= list->columnWidth(0),
                     qPrintable(label.data().toString()));
            if (row >= last)
                break;
        }
        QTRY_COMPARE(list->columnWidth(0) + list->columnWidth(1), list->viewport()->width());
        QVERIFY(!list->horizontalScrollBar()->isVisible());
    };
    verify("9 ( 1.13)");
    w.project.insertBlanks(10, 991);
    verify("1000 (125.00)");
    ProjectSettings slow = w.project.settings();
    slow.fps = 1;
    w.project.changeSettings(slow);
    verify("1000 (1000.00)");
    w.project.frameList()->resetRows(Paths(100000));
    verify("99999 (99999.00)");
}

// OK in a settings dialog is one undo step (or marks modified without a
// change); Cancel changes nothing, but the audio dialog's Browse stays.
void TestMainWindow::settingsCommands() {
    QTemporaryDir dir;
    Window w;
    QCOMPARE(w.project.saveAs(QFile::encodeName(dir.filePath("s.fsq"))), ProjectResult::Done);
    w.dialogs.frameRateDialog = [](ProjectSettings& s) {
        s.fps = 10;
        return true;
    };
    w.trigger(Command::FrameRateAndSize);
    QCOMPARE(w.project.settings().fps, 10u);
    QCOMPARE(w.list->model()->index(4, 0).data().toString(), QStringLiteral("4 ( 0.40)"));
    w.dialogs.audioDialog = [](ProjectSettings& s) {
        s.audioPath = "/sounds/\xff.wav";
        s.audioEnabled = true;
        return false;
    };
    w.project.undoStack()->setClean();
    w.trigger(Command::AudioSettings);
    QCOMPARE(w.project.settings().audioPath, QByteArray("/sounds/\xff.wav"));
    QVERIFY(!w.project.isModified());
    w.dialogs.frameRateDialog = [](ProjectSettings& s) {
        s.fps = 1;
        return false;
    };
    w.trigger(Command::FrameRateAndSize);
    QCOMPARE(w.project.settings().fps, 10u);
    QCOMPARE(w.project.undoStack()->count(), 1);
    QCOMPARE(w.dialogs.log,
             (QStringList{"frame rate dialog", "audio dialog", "frame rate dialog"}));
    QCOMPARE(w.dialogs.audioFolders, QByteArrayList{QFile::encodeName(dir.path())});

    // The preview turns a photo by its orientation tag while the setting is
    // on, also when the setting comes and goes through the undo history.
    QBuffer jpeg;
    QVERIFY(jpeg.open(QIODevice::WriteOnly) &&
            QImage(32, 16, QImage::Format_RGB32).save(&jpeg, "JPEG"));
    w.project.changePath(0, WriteFile(dir.filePath("portrait.jpg"),
                                      fixtures::WithExif(jpeg.data(), fixtures::ExifTiff(6))));
    w.project.showRowImage(0);
    const PixelBuffer& shown = w.window.preview()->picture();
    QCOMPARE(QSize(shown.width(), shown.height()), QSize(32, 16));
    w.dialogs.frameRateDialog = [](ProjectSettings& s) { return s.applyOrientation = true; };
    w.trigger(Command::FrameRateAndSize);
    QCOMPARE(QSize(shown.width(), shown.height()), QSize(16, 32));
    w.project.undo();
    QCOMPARE(QSize(shown.width(), shown.height()), QSize(32, 16));
}

// Go to reaches every row and scrolls it fully into view. Deleting scattered
// rows rebuilds the list in one batch without throwing the list back to the
// top (the bar counts rows); undo and redo scroll to the rows they change.
void TestMainWindow::scrolling() {
    Window w;
    w.project.frameList()->resetRows(Numbered(2000));
    Rows scattered;
    for (int r = 0; r < 100; r += 3)
        scattered << r;
    SetMarks(w.project, scattered, 0);
    w.window.resize(420, 300);
    QVERIFY(w.show());
    for (const int row : {700, 5, 1999, 0, 600}) {
        w.dialogs.values << row;
        w.trigger(Command::GoToRow);
        const QRect rect = w.list->visualRect(w.list->model()->index(row, 0));
        QVERIFY2(w.list->viewport()->rect().contains(rect), qPrintable(QString::number(row)));
    }
    QCOMPARE(w.dialogs.valueMaxima, QList<quint32>(5, 1999)); // row numbers past 1000
    QScrollBar* bar = w.list->verticalScrollBar();
    const int before = bar->value(), moved = int(scattered.size());
    QVERIFY(before > 500);
    w.trigger(Command::DeleteSelection);
    QApplication::processEvents();
    QVERIFY(bar->value() >= before - moved && bar->value() <= before);
    // Undo brings back the marks held before, redo those the delete left;
    // either shows where the rows changed, from wherever the list was.
    for (const Command id : {Command::Undo, Command::Redo, Command::Undo}) {
        bar->setValue(bar->maximum());
        w.trigger(id);
        QApplication::processEvents();
        const QRect first = w.list->visualRect(w.list->model()->index(0, 0));
        QVERIFY(w.list->viewport()->rect().contains(first));
        QCOMPARE(w.project.selectedRows(), id == Command::Undo ? scattered : Rows{566});
        QCOMPARE(w.project.focusedRow(), id == Command::Undo ? 600 : 566);
    }
}

// The About box returns on OK; printing wraps long paths instead of cutting
// them, and every page counted is in the file; the print dialog offers a file
// beside the project.
void TestMainWindow::aboutAndPrinting() {
    SetUpApplication();
    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Tessaril"));
    AboutDialog about;
    auto* buttons = about.findChild<QDialogButtonBox*>();
    QTimer::singleShot(0, buttons->button(QDialogButtonBox::Ok), &QPushButton::click);
    QCOMPARE(about.exec(), int(QDialog::Accepted));
    QTemporaryDir dir;
    FrameList list;
    Paths rows(300);
    rows[7] = "/images/" + QByteArray(600, 'x') + ".bmp";
    list.resetRows(rows);
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("p.pdf"));
    const int pages = PrintFrameRows(&printer, list, QStringLiteral("/p/title.fsq"));
    const QByteArray pdf = ReadFile(dir.filePath("p.pdf"));
    int inPdf = 0;
    for (const char* end : {"\n", "\r", "/", " "})
        inPdf += int(pdf.count(QByteArray("/Type /Page") + end));
    QVERIFY(pages > 1);
    QCOMPARE(inPdf, pages);
    // A print to file goes beside the project, under its name.
    Window w;
    QCOMPARE(w.window.printFileName(), QDir::home().filePath("Untitled.pdf"));
    QCOMPARE(w.project.saveAs(QFile::encodeName(dir.filePath("clip.v2.fsq"))), ProjectResult::Done);
    QPrintDialog dialog(&printer, &w.window);
    w.window.preparePrintDialog(dialog);
    auto* file = dialog.findChild<QLineEdit*>("filename");
    QVERIFY(file);
    QCOMPARE(file->text(), dir.filePath("clip.v2.pdf"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
