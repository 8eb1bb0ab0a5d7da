// The list editing commands, the value prompt, the list's keys in the main
// window and undo/redo, with a dialog seam answering from a script.

#include "framelist/RowEditCommand.h"
#include "framelist/widgets/CValueInputDialog.h"
#include "list_view_tools.h"
#include "ui/CMainFrame.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>

using Answers = QList<int>; // value prompts in order, -1 for Cancel; clear all: 1 Yes, 0 No

namespace {

enum Command { InsertHere, AddAtEnd, Delete, Blank, Range, GoTo, ClearAll, InsertRows };

// A value dialog that records its refusals instead of showing a box.
class RecordingValueDialog : public CValueInputDialog {
public:
    QStringList refusals;

protected:
    void showRefusal(const QString& message) override { refusals << message; }
};

} // namespace

class TestEditing : public QObject {
    Q_OBJECT

private slots:
    void parseValue_data();
    void parseValue();
    void valueDialog();
    void valueDialogShowsRefusalBox();

    void commands_data();
    void commands();
    void blanksBeyondRow65535();
    void scrolling();

    void keysInMainWindow_data();
    void keysInMainWindow();
    void undoRedoMenuItems();
    void undoAllRedoAllAfterRandomCommands();
};

void TestEditing::parseValue_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected"); // -1: refused
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("upper bound") << "1000" << 1000;
    QTest::newRow("past upper bound") << "1001" << -1;
    QTest::newRow("blanks around") << "  7 " << 7;
    QTest::newRow("leading zeros") << "0042" << 42;
    QTest::newRow("many leading zeros") << "0000000000000000000042" << 42;
    QTest::newRow("negative") << "-1" << -1;
    QTest::newRow("plus sign") << "+5" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("blank only") << "   " << -1;
    QTest::newRow("trailing junk") << "12x" << -1;
    QTest::newRow("inner blank") << "1 2" << -1;
    QTest::newRow("exponent") << "1e3" << -1;
    QTest::newRow("fraction") << "3.0" << -1;
    QTest::newRow("wide digits") << QStringLiteral("１２") << -1;
    QTest::newRow("wraps 2^32") << "4294967297" << -1;
    QTest::newRow("very long") << "100000000000000000000000001" << -1;
}

void TestEditing::parseValue() {
    QFETCH(QString, text);
    QFETCH(int, expected);
    QString message;
    const std::optional<quint32> value = CValueInputDialog::ParseValue(text, &message);
    QCOMPARE(value.has_value(), expected >= 0);
    if (value)
        QCOMPARE(*value, quint32(expected));
    else // every refusal names the bounds
        QVERIFY2(message.contains(QLatin1String("0")) && message.contains(QLatin1String("1000")),
                 qPrintable(message));
}

// Layout, a refusal that keeps the dialog open with nothing stored, Enter and Escape.
void TestEditing::valueDialog() {
    for (const bool enter : {true, false}) {
        RecordingValueDialog dialog;
        QCOMPARE(dialog.value, quint32(1));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Vistrom 値の設定"));
        QCOMPARE(dialog.okButton()->text(), QStringLiteral("OK"));
        QCOMPARE(dialog.cancelButton()->text(), QStringLiteral("CANCEL"));
        QVERIFY(dialog.okButton()->isDefault());
        dialog.prompt = QStringLiteral("何番目の場所へ移動するかを指定してください。");
        dialog.value = 5;
        dialog.show();
        dialog.loadFields();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.activateWindow();
        QCOMPARE(dialog.promptEdit()->text(), dialog.prompt);
        QVERIFY(dialog.promptEdit()->isReadOnly());
        QVERIFY(!dialog.promptEdit()->isEnabled());
        QCOMPARE(dialog.valueEdit()->text(), QStringLiteral("5"));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog.valueEdit()));

        dialog.valueEdit()->setText(QStringLiteral("1001"));
        dialog.okButton()->setFocus();
        QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
        QCOMPARE(dialog.refusals.size(), 1);
        QVERIFY(dialog.refusals.first().contains(QLatin1String("1000")));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), 0);
        QCOMPARE(dialog.value, quint32(5));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog.valueEdit()));

        dialog.valueEdit()->setText(QStringLiteral("1000"));
        QTest::keyClick(dialog.valueEdit(), enter ? Qt::Key_Return : Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), enter ? int(QDialog::Accepted) : int(QDialog::Rejected));
        QCOMPARE(dialog.value, enter ? quint32(1000) : quint32(5));
    }
}

// The real refusal is a modal box on top of the dialog; the dialog stays open.
void TestEditing::valueDialogShowsRefusalBox() {
    QString boxText;
    bool openAfterBox = false;
    int step = 0;
    QTimer driver;
    driver.setInterval(20);
    connect(&driver, &QTimer::timeout, this, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* dialog = qobject_cast<CValueInputDialog*>(modal);
        if (step == 1 && qobject_cast<QMessageBox*>(modal)) {
            boxText = static_cast<QMessageBox*>(modal)->text();
            step = 2;
            static_cast<QMessageBox*>(modal)->accept();
        } else if ((step == 0 || step == 2) && dialog) {
            openAfterBox = step == 2 && dialog->isVisible();
            dialog->valueEdit()->setText(step == 0 ? QStringLiteral("2000") : QStringLiteral("12"));
            step = step == 0 ? 1 : 3;
            // Clicked from a fresh event: the box's event loop nests inside.
            QTimer::singleShot(0, dialog->okButton(), &QPushButton::click);
        }
    });
    driver.start();
    const std::optional<quint32> value = CValueInputDialog::Ask(nullptr, QStringLiteral("?"), 3);
    driver.stop();
    QCOMPARE(step, 3);
    QVERIFY(boxText.contains(QLatin1String("1000")));
    QVERIFY(openAfterBox);
    QCOMPARE(value, std::optional<quint32>(12));
}

// Each command on a list with marks: the list and marks after it, the
// questions asked, modified, and one undo step exactly when the rows changed.
static void AddCommand(const char* name, Command command, const QByteArray& before,
                       const Answers& answers, const QByteArray& after, bool modified) {
    QTest::newRow(name) << int(command) << before << answers << after << modified;
}

void TestEditing::commands_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<bool>("modified");

    AddCommand("insert 3 at focus row 5 of 10", InsertHere, "a b c d e [f*] g h i [j]", {3},
               "a b c d e - - - [f*] g h i [j]", true);
    AddCommand("insert inside a selected block: the blanks unselected", InsertHere, "a [b] [c*] d",
               {2}, "a [b] - - [c*] d", true);
    AddCommand("insert at focus row 0", InsertHere, "a* b c", {1}, "- a* b c", true);
    AddCommand("insert without focus appends", InsertHere, "a [b] c", {2}, "a [b] c - -", true);
    AddCommand("insert 0", InsertHere, "a b* c", {0}, "a b* c", true);
    AddCommand("insert cancelled", InsertHere, "a b* [c]", {-1}, "a b* [c]", false);
    // InsertBlankRows(position, count): any position off the list appends.
    AddCommand("rows at 1", InsertRows, "a b c", {1, 2}, "a - - b c", true);
    AddCommand("rows past the end", InsertRows, "a b c", {100, 1}, "a b c -", true);
    AddCommand("rows at 65535", InsertRows, "a b c", {65535, 1}, "a b c -", true);
    AddCommand("rows at -5", InsertRows, "a b c", {-5, 2}, "a b c - -", true);
    AddCommand("rows count -4", InsertRows, "a b c", {1, -4}, "a b c", true);
    AddCommand("add 0", AddAtEnd, "a [b*] c", {0}, "a [b*] c", true);
    AddCommand("add 3", AddAtEnd, "a [b*] c d", {3}, "a [b*] c d - - -", true);
    AddCommand("add to an empty list", AddAtEnd, "", {2}, "- -", true);
    AddCommand("add 1000", AddAtEnd, "a [b*] c", {1000},
               "a [b*] c" + QByteArray(" -").repeated(1000), true);
    AddCommand("add cancelled", AddAtEnd, "a [b*] c d", {-1}, "a [b*] c d", false);
    // The focus of a removed row passes to the row moving into its place, or
    // to the new last row; that row ends up selected.
    AddCommand("delete rows 0, 1, 4 of 6, focus on 4", Delete, "[a] [b] c d [e*] f", {}, "c d [f*]",
               true);
    AddCommand("delete rows 0, 1, 4 of 6, focus on 3", Delete, "[a] [b] c d* [e] f", {}, "c [d*] f",
               true);
    AddCommand("delete a block, focus inside", Delete, "a b [c] [d*] e f", {}, "a b [e*] f", true);
    AddCommand("delete the last rows", Delete, "a b c [d] [e*]", {}, "a b [c*]", true);
    AddCommand("delete nothing selected", Delete, "a b c* d", {}, "a b [c*] d", true);
    AddCommand("delete nothing, no focus", Delete, "a b c", {}, "a b c", true);
    AddCommand("delete everything", Delete, "[a] [b*] [c]", {}, "", true);
    AddCommand("blank two of four", Blank, "a [b] c [d*]", {}, "a [-] c [-*]", true);
    AddCommand("blank one already blank", Blank, "[a] [-*] c", {}, "[-] [-*] c", true);
    AddCommand("blank all already blank", Blank, "a [-] [-*]", {}, "a [-] [-*]", true);
    AddCommand("blank a path of one space", Blank, "[_*] b", {}, "[-*] b", true);
    AddCommand("blank nothing selected", Blank, "a* b", {}, "a* b", true);
    // The range selects F up to T - 1 within the list, added to the marks.
    const QByteArray ten("a b* c d e f g h i j");
    AddCommand("range 3 to 6", Range, ten, {3, 6}, "a b* c [d] [e] [f] g h i j", false);
    AddCommand("range 6 to 3", Range, ten, {6, 3}, ten, false);
    AddCommand("range past the end", Range, ten, {8, 20}, "a b* c d e f g h [i] [j]", false);
    AddCommand("range beside a selection", Range, "[a] b* c d e f g [h] i j", {2, 4},
               "[a] b* [c] [d] e f g [h] i j", false);
    AddCommand("range over a selection adds", Range, "a b* c [d] [e] f g h i j", {4, 6},
               "a b* c [d] [e] [f] g h i j", false);
    AddCommand("range wholly past the end", Range, ten, {12, 20}, ten, false);
    AddCommand("range, first cancelled", Range, "a [b*] c", {-1}, "a [b*] c", false);
    AddCommand("range, second cancelled", Range, "a [b*] c", {2, -1}, "a [b*] c", false);
    const QByteArray marked("a [b] [c] d* e f g h i j");
    AddCommand("go to row 0", GoTo, marked, {0}, "a* [b] [c] d e f g h i j", false);
    AddCommand("go to the last row", GoTo, marked, {9}, "a [b] [c] d e f g h i j*", false);
    AddCommand("go to the row count", GoTo, marked, {10}, marked, false);
    AddCommand("go to on an empty list", GoTo, "", {0}, "", false);
    AddCommand("go to cancelled", GoTo, marked, {-1}, marked, false);
    AddCommand("clear all, No", ClearAll, "a [b] c* d e", {0}, "a [b] c* d e", false);
    AddCommand("clear all, Yes", ClearAll, "a [b] c* d e", {1}, "", true);
    AddCommand("clear all, Yes on an empty list", ClearAll, "", {1}, "", true);
}

void TestEditing::commands() {
    QFETCH(int, command);
    QFETCH(QByteArray, before);
    QFETCH(Answers, answers);
    QFETCH(QByteArray, after);
    QFETCH(bool, modified);

    ListFixture f;
    f.view.settings.fps = 12;
    SetState(f.view, before);
    for (int a : answers)
        if (command == ClearAll)
            f.dialogs.yesNo << (a == 1);
        else if (command != InsertRows)
            f.dialogs.values << (a < 0 ? std::nullopt : std::optional<quint32>(a));
    const Handler handlers[] = {
        &V::OnInsertBlanksHere, &V::OnAddBlanksAtEnd,      &V::OnDeleteSelection,
        &V::OnBlankSelection,   &V::OnAddRangeToSelection, &V::OnGoToRow,
        &V::OnClearAll};
    if (command == InsertRows)
        f.view.InsertBlankRows(answers[0], answers[1]);
    else
        (f.view.*handlers[command])();
    const QStringList prompts = QHash<int, QStringList>{
        {InsertHere, {QStringLiteral("その場所に何個項目を追加するかを指定してください。")}},
        {AddAtEnd, {QStringLiteral("最後に、何個項目を追加するかを指定してください。")}},
        {Range,
         {QStringLiteral("選択範囲の指定・何番目から?"),
          QStringLiteral("選択範囲の指定・何番目まで?")}},
        {GoTo, {QStringLiteral("何番目の場所へ移動するかを指定してください。")}}}[command];
    const QList<quint32> initials = QHash<int, QList<quint32>>{
        {InsertHere, {1}}, {AddAtEnd, {1}}, {Range, {0, 0}}, {GoTo, {0}}}[command];
    QCOMPARE(f.dialogs.questions, command == ClearAll
                                      ? QStringList{QStringLiteral("本当に全部消去してよいですか?")}
                                      : QStringList{});
    const qsizetype asked = prompts.isEmpty() ? 0 : answers.size();
    QCOMPARE(f.dialogs.valuePrompts, prompts.mid(0, asked));
    QCOMPARE(f.dialogs.valueInitials, initials.mid(0, asked));
    QCOMPARE(f.dialogs.unexpected, 0);
    QCOMPARE(f.state(), after);
    QCOMPARE(f.view.modified, modified ? 1 : 0);
    QCOMPARE(f.view.settings.fps, quint32(12));
    VerifyRows(f.view);
    const ListState start = ParseState(before), end = ParseState(after);
    QCOMPARE(f.undo()->count(), start.paths != end.paths ? 1 : 0);
    if (start.paths == end.paths)
        return;

    f.view.modified = 0;
    f.view.OnUndo();
    QCOMPARE(f.view.modified, 1);
    QCOMPARE(f.paths(), start.paths);
    VerifyRows(f.view);
    if (command == Delete || command == Blank)
        QCOMPARE(f.selected(), start.selected); // the rows that came back are selected
    if (command == ClearAll)
        QCOMPARE(f.selected().size(), start.paths.size());
    f.view.OnRedo();
    QCOMPARE(f.paths(), end.paths);
    QCOMPARE(f.focus(), end.focus);
}

// A list may be longer than 65535 rows: appending goes to the real end, and a
// focus on row 65535 inserts there.
void TestEditing::blanksBeyondRow65535() {
    ListFixture f(Numbered(70000), {}, 65535);
    f.dialogs.values << 2 << 1;
    f.view.OnAddBlanksAtEnd();
    QCOMPARE(f.view.frameList()->size(), 70002);
    QVERIFY(f.view.frameList()->isBlank(70000) && f.view.frameList()->isBlank(70001));
    f.view.OnInsertBlanksHere();
    QCOMPARE(f.view.frameList()->size(), 70003);
    QVERIFY(f.view.frameList()->isBlank(65535));
    QCOMPARE(f.view.frameList()->path(65536), QByteArray("p65535"));
    QCOMPARE(f.focus(), 65536);
}

// Go to scrolls the row fully into view. Deleting scattered rows rebuilds
// the list in one batch; neither that nor its undo may throw the list back to
// the top (the bar counts rows).
void TestEditing::scrolling() {
    Rows scattered;
    for (int r = 0; r < 100; r += 3)
        scattered << r;
    ListFixture f(Numbered(2000), scattered, 0);
    f.view.resize(420, 300);
    QVERIFY(f.show());
    for (const int row : {700, 5, 1999, 0, 600}) {
        f.dialogs.values << row;
        f.view.OnGoToRow();
        QCOMPARE(f.focus(), row);
        const QRect rect = f.view.visualRect(f.view.model()->index(row, 0));
        QVERIFY2(f.view.viewport()->rect().contains(rect), qPrintable(QString::number(row)));
    }
    QScrollBar* bar = f.view.verticalScrollBar();
    const int before = bar->value(), moved = int(scattered.size());
    QVERIFY(before > 500);
    QCOMPARE(f.view.verticalScrollMode(), QAbstractItemView::ScrollPerItem);
    f.view.OnDeleteSelection();
    QApplication::processEvents();
    QVERIFY2(bar->value() >= before - moved && bar->value() <= before,
             qPrintable(QString::number(bar->value())));
    f.view.OnUndo();
    QApplication::processEvents();
    QVERIFY2(bar->value() >= before - moved && bar->value() <= before + moved,
             qPrintable(QString::number(bar->value())));
}

// In the real main window each key runs its command exactly once while the
// list has the focus: the list's own keys are claimed before the window's
// shortcuts, the table's own Ctrl+A, Ctrl+C and in-place editing never win,
// and no key is an ambiguous shortcut. The list is "a [b] [c*] d", "/p" is on
// the clipboard.
static void AddKey(const char* name, Qt::Key key, Qt::KeyboardModifiers modifiers,
                   const QByteArray& after, int steps, int asked, int shown, int fileAsked,
                   const QByteArray& copied = {}) {
    QTest::newRow(name) << int(key) << int(modifiers) << after << steps << asked << shown
                        << fileAsked << copied;
}

void TestEditing::keysInMainWindow_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<int>("steps");         // undo steps afterwards
    QTest::addColumn<int>("asked");         // value prompts
    QTest::addColumn<int>("shown");         // images shown
    QTest::addColumn<int>("fileAsked");     // file dialogs
    QTest::addColumn<QByteArray>("copied"); // the clipboard afterwards; empty: unchanged

    const QByteArray all("a [b] [c*] d"), bc("Vistrom data\r\nb\r\nc\r\n");
    const auto none = Qt::NoModifier, ctrl = Qt::ControlModifier;
    AddKey("Space", Qt::Key_Space, none, "a [-] [-*] d", 1, 0, 0, 0);
    AddKey("Ctrl+Space is not blanking", Qt::Key_Space, ctrl, "a [b] c* d", 0, 0, 0, 0);
    AddKey("Delete", Qt::Key_Delete, none, "a [d*]", 1, 0, 0, 0);
    AddKey("Ctrl+D", Qt::Key_D, ctrl, "a [d*]", 1, 0, 0, 0);
    AddKey("Return", Qt::Key_Return, none, all, 0, 0, 1, 0);
    AddKey("keypad Enter", Qt::Key_Enter, Qt::KeypadModifier, all, 0, 0, 1, 0);
    AddKey("Shift+Return", Qt::Key_Return, Qt::ShiftModifier, all, 0, 0, 0, 1);
    AddKey("Ctrl+A appends", Qt::Key_A, ctrl, "a [b] [c*] d -", 1, 1, 0, 0);
    AddKey("Ctrl+I inserts", Qt::Key_I, ctrl, "a [b] - [c*] d", 1, 1, 0, 0);
    AddKey("Ctrl+Z undoes", Qt::Key_Z, ctrl, all, 0, 0, 0, 0);
    AddKey("Alt+Backspace undoes", Qt::Key_Backspace, Qt::AltModifier, all, 0, 0, 0, 0);
    AddKey("Ctrl+Shift+Z redoes", Qt::Key_Z, ctrl | Qt::ShiftModifier, "a [b] [c*] d /pasted", 1, 0,
           0, 0);
    AddKey("Ctrl+C copies", Qt::Key_C, ctrl, all, 0, 0, 0, 0, bc);
    AddKey("Ctrl+V pastes inserting", Qt::Key_V, ctrl, "a [b] /p [c*] d", 1, 0, 0, 0);
    AddKey("Ctrl+X cuts closing up", Qt::Key_X, ctrl, "a d*", 1, 0, 0, 0, bc);
    AddKey("Ctrl+Y cuts leaving blanks", Qt::Key_Y, ctrl, "a [-] [-*] d", 1, 0, 0, 0, bc);
    AddKey("Ctrl+W pastes overwriting", Qt::Key_W, ctrl, "a [b] [/p*] d", 1, 0, 0, 0);
}

void TestEditing::keysInMainWindow() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QByteArray, after);
    QFETCH(int, steps);
    QFETCH(int, asked);
    QFETCH(int, shown);
    QFETCH(int, fileAsked);
    QFETCH(QByteArray, copied);

    QTest::failOnWarning(QRegularExpression(QStringLiteral("[Aa]mbiguous")));
    const QByteArray onClipboard("Vistrom data\r\n/p\r\n");
    QGuiApplication::clipboard()->setText(QString::fromUtf8(onClipboard));
    ScriptedDialogs dialogs;
    CVistromDoc document;
    CMainFrame window(&document, &dialogs);
    CVistromView* view = window.view();
    SetState(*view, "a [b] [c*] d");
    QUndoStack* stack = view->undoStack();
    stack->clear();
    if (key == Qt::Key_Backspace || key == Qt::Key_Z) {
        // One pasted row to undo, or undone already to redo.
        stack->push(
            RowEditCommand::Insert(view->frameList(), {4}, {"/pasted"}, QStringLiteral("paste"))
                .release());
        if (modifiers & Qt::ShiftModifier)
            stack->undo();
    }
    QByteArrayList images;
    connect(&document, &CVistromDoc::updated, this,
            [&](QObject*, int hint, const QByteArray& path) {
                if (hint == CVistromDoc::HintShowImage)
                    images << path;
            });
    QSignalSpy activated(view, &QAbstractItemView::activated);
    dialogs.values << 1;

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    view->setFocus();
    QTRY_VERIFY(view->hasFocus());
    QTest::keyClick(view, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    QCOMPARE(StateOf(*view), after);
    QCOMPARE(stack->index(), steps);
    QCOMPARE(dialogs.valuePrompts.size(), asked);
    QCOMPARE(images, QByteArrayList(shown, "b"));
    QCOMPARE(dialogs.fileRequests.size(), fileAsked);
    QCOMPARE(ClipboardBytes(), copied.isEmpty() ? onClipboard : copied);
    // Never editing in place.
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(view));
    QVERIFY(view->findChildren<QLineEdit*>().isEmpty());
    QCOMPARE(activated.count(), 0);
}

// The undo and redo items follow the stack; undo and redo set modified; New
// clears the history.
void TestEditing::undoRedoMenuItems() {
    ScriptedDialogs dialogs;
    CVistromDoc document;
    CMainFrame window(&document, &dialogs);
    CVistromView* view = window.view();
    QAction* undo = window.commandAction(ID_EDIT_UNDO);
    QAction* redo = window.commandAction(ID_EDIT_REDO);
    QVERIFY(undo && redo);
    QCOMPARE(undo->text(), QStringLiteral("元に戻す(&U)\tCtrl+Z"));
    QCOMPARE(redo->text(), QStringLiteral("やり直し(&R)\tCtrl+Shift+Z"));
    const auto enabled = [&] { return std::pair(undo->isEnabled(), redo->isEnabled()); };
    QCOMPARE(enabled(), std::pair(false, false));
    view->modified = 0;
    view->OnUndo(); // nothing to undo or redo changes nothing
    view->OnRedo();
    QCOMPARE(view->modified, 0);

    const int rows = view->frameList()->size();
    dialogs.values << 3;
    view->OnAddBlanksAtEnd();
    QCOMPARE(enabled(), std::pair(true, false));
    view->modified = 0;
    undo->trigger();
    QCOMPARE(view->modified, 1);
    QCOMPARE(view->frameList()->size(), rows);
    QCOMPARE(enabled(), std::pair(false, true));
    view->modified = 0;
    redo->trigger();
    QCOMPARE(view->modified, 1);
    QCOMPARE(view->frameList()->size(), rows + 3);
    QCOMPARE(enabled(), std::pair(true, false));

    undo->trigger(); // a new step drops what could have been redone
    dialogs.values << 1;
    view->OnInsertBlanksHere();
    QCOMPARE(enabled(), std::pair(true, false));

    view->modified = 0;
    view->OnNewProject();
    QCOMPARE(enabled(), std::pair(false, false));
    QCOMPARE(dialogs.unexpected, 0);
}

// A fixed random run of every kind of row command, undone to the start and
// redone to the end, passes exactly the lists seen on the way; after each
// undo the rows that came back are the selection.
void TestEditing::undoAllRedoAllAfterRandomCommands() {
    Paths start = Numbered(30);
    for (int i = 3; i < 30; i += 4)
        start[i].clear();
    ListFixture f(start, {});
    QVERIFY(f.show());
    QGuiApplication::clipboard()->clear();
    QRandomGenerator random(20260206);
    QList<Paths> states{start};
    QList<std::optional<Rows>> cameBack; // per step: the rows its undo brings back
    const Handler commands[] = {
        &V::OnInsertBlanksHere,     &V::OnAddBlanksAtEnd,     &V::OnDeleteSelection,
        &V::OnBlankSelection,       &V::OnCopyRows,           &V::OnCutRowsClosingUp,
        &V::OnCutRowsLeavingBlanks, &V::OnPasteRowsInserting, &V::OnPasteRowsOverwriting,
        &V::OnChangeImage};
    for (int n = 0; n < 120; ++n) {
        const int size = f.view.frameList()->size();
        Rows selection;
        for (int r = 0; r < size; ++r)
            if (random.bounded(4) == 0)
                selection << r;
        f.setMarks(selection, int(random.bounded(size + 1)) - 1);
        const int pick = int(random.bounded(11)), before = f.undo()->count(); // 10: a drop
        if ((size > 60 && (pick <= 1 || pick == 7)) || (size < 15 && pick == 5))
            continue; // keep the list between about 15 and 60 rows
        f.dialogs.values << random.bounded(1, 6) << random.bounded(3);
        f.dialogs.files << "/chosen/" + QByteArray::number(n);
        if (pick < 10)
            (f.view.*commands[pick])();
        else
            Drop(f.view, LocalFiles(1 + int(random.bounded(3))));
        f.dialogs.values.clear();
        f.dialogs.files.clear();
        const int added = f.undo()->count() - before;
        QVERIFY(added == 0 || added == 1);
        if (added) {
            states << f.paths();
            const auto* step = static_cast<const RowEditCommand*>(f.undo()->command(before));
            cameBack << (step->kind() == RowEditCommand::Kind::Insert
                             ? std::nullopt
                             : std::optional(step->rows()));
        }
    }
    QVERIFY2(states.size() > 50, "the run must exercise many steps");
    QCOMPARE(f.dialogs.unexpected, 0);
    QVERIFY(f.dialogs.messages.isEmpty());

    for (qsizetype k = states.size() - 1; k > 0; --k) {
        f.view.modified = 0;
        f.view.OnUndo();
        QCOMPARE(f.view.modified, 1);
        QCOMPARE(f.paths(), states[k - 1]);
        if (cameBack[k - 1])
            QCOMPARE(f.selected(), *cameBack[k - 1]);
    }
    QVERIFY(!f.undo()->canUndo());
    for (qsizetype k = 1; k < states.size(); ++k) {
        f.view.OnRedo();
        QCOMPARE(f.paths(), states[k]);
    }
    QVERIFY(!f.undo()->canRedo());
    VerifyRows(f.view);
}

QTEST_MAIN(TestEditing)
#include "tst_editing.moc"
