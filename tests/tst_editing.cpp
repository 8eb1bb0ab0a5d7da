// The list editing commands, the value prompt, the list's own keys and
// undo/redo, driven through the view with a dialog seam that answers from a
// script.

#include "app/UserDialogs.h"
#include "framelist/CVistromDoc.h"
#include "framelist/FrameList.h"
#include "framelist/RowEditCommand.h"
#include "framelist/widgets/CValueInputDialog.h"
#include "framelist/widgets/CVistromView.h"
#include "ui/CMainFrame.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUndoStack>

#include <optional>

using Rows = QList<int>;
using Paths = QList<QByteArray>;

namespace {

// Answers the questions of the commands from queues and records what was asked.
class ScriptedDialogs : public UserDialogs {
public:
    QList<std::optional<quint32>> values; // answers to askValue, in order
    QList<bool> yesNo;                    // answers to askYesNo, in order
    QStringList valuePrompts;
    QList<quint32> valueInitials;
    QStringList questions;
    int fileRequests = 0;
    int unexpected = 0; // questions asked with no answer left

    void showMessage(const QString&, bool) override { ++unexpected; }
    bool askYesNo(const QString& text) override {
        questions << text;
        if (yesNo.isEmpty()) {
            ++unexpected;
            return false;
        }
        return yesNo.takeFirst();
    }
    void showPlainMessage(const QString&, const QString&) override { ++unexpected; }
    std::optional<QByteArray> askFileName(const FileRequest&) override {
        ++fileRequests;
        return std::nullopt;
    }
    std::optional<quint32> askValue(const QString& prompt, quint32 initial) override {
        valuePrompts << prompt;
        valueInitials << initial;
        if (values.isEmpty()) {
            ++unexpected;
            return std::nullopt;
        }
        return values.takeFirst();
    }
    bool runFrameRateDialog(ProjectSettings&) override { return false; }
    bool runAudioDialog(ProjectSettings&) override { return false; }
    std::optional<CompressionChoice> askCompression() override { return std::nullopt; }
};

// A view over rows "p0", "p1", ... (or the given paths) with the given marks.
struct Fixture {
    ScriptedDialogs dialogs;
    CVistromDoc document;
    CVistromView view{&document, &dialogs};

    explicit Fixture(int rows, const Rows& selected = {}, int focus = -1) {
        Paths paths;
        for (int i = 0; i < rows; ++i)
            paths << "p" + QByteArray::number(i);
        setRows(paths, selected, focus);
    }
    void setRows(const Paths& paths, const Rows& selected = {}, int focus = -1) {
        view.frameList()->resetRows(paths);
        view.RenumberRows();
        if (focus >= 0)
            view.selectionModel()->setCurrentIndex(view.model()->index(focus, 0),
                                                   QItemSelectionModel::NoUpdate);
        SelectRows(view.selectionModel(), selected);
    }
    Paths paths() const { return view.frameList()->paths(); }
    Rows selected() const { return view.selectedRows(); }
    int focus() const { return view.focusedRow(); }
    QUndoStack* undo() const { return view.undoStack(); }
};

Paths Named(std::initializer_list<const char*> names) {
    Paths out;
    for (const char* n : names)
        out << QByteArray(n);
    return out;
}

// Every label reads the row's own number at the list's frame rate.
void VerifyLabels(const CVistromView& view) {
    const FrameList* list = view.frameList();
    for (int r = 0; r < list->size(); ++r)
        QCOMPARE(list->data(list->index(r, FrameList::LabelColumn)).toString(),
                 FrameList::TimeLabel(r, view.settings.fps));
}

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
    // The value prompt.
    void parseValue_data();
    void parseValue();
    void valueDialogLayout();
    void valueDialogRefusesAndStaysOpen_data();
    void valueDialogRefusesAndStaysOpen();
    void valueDialogShowsRefusalBox();
    void valueDialogEnterAndEscape();

    // The commands.
    void insertBlanksHere_data();
    void insertBlanksHere();
    void insertBlankRows_data();
    void insertBlankRows();
    void blanksBeyondRow65535();
    void addBlanksAtEnd_data();
    void addBlanksAtEnd();
    void deleteSelection_data();
    void deleteSelection();
    void blankSelection_data();
    void blankSelection();
    void addRangeToSelection_data();
    void addRangeToSelection();
    void goToRow_data();
    void goToRow();
    void goToRowScrollsFullyIntoView();
    void clearAll_data();
    void clearAll();

    // Keys, undo and redo.
    void listKeys_data();
    void listKeys();
    void undoRedoEnablement();
    void undoRestoresMarksOfRemovedRows();
    void undoAllRedoAllAfterRandomEdits();
    void batchEditsKeepManyMarks_data();
    void batchEditsKeepManyMarks();
    void scatteredDeleteKeepsScrollPosition();
    void keysInMainWindow_data();
    void keysInMainWindow();
    void undoRedoMenuItems();
};

// --- value prompt ---------------------------------------------------------

void TestEditing::parseValue_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected"); // -1: refused

    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("upper bound") << "1000" << 1000;
    QTest::newRow("past upper bound") << "1001" << -1;
    QTest::newRow("blanks around") << "  7 " << 7;
    QTest::newRow("leading zeros") << "0042" << 42;
    QTest::newRow("negative") << "-1" << -1;
    QTest::newRow("plus sign") << "+5" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("blank only") << "   " << -1;
    QTest::newRow("letters") << "abc" << -1;
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
    if (expected < 0) {
        QVERIFY(!value);
        // Every refusal names the bounds.
        QVERIFY2(message.contains(QLatin1String("0")) && message.contains(QLatin1String("1000")),
                 qPrintable(message));
    } else {
        QVERIFY(value);
        QCOMPARE(*value, quint32(expected));
    }
}

void TestEditing::valueDialogLayout() {
    CValueInputDialog dialog;
    QCOMPARE(dialog.value, quint32(1));
    QVERIFY(dialog.prompt.isEmpty());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Vistrom 値の設定"));
    QCOMPARE(dialog.okButton()->text(), QStringLiteral("OK"));
    QCOMPARE(dialog.cancelButton()->text(), QStringLiteral("CANCEL"));
    QVERIFY(dialog.okButton()->isDefault());

    dialog.prompt = QStringLiteral("何番目の場所へ移動するかを指定してください。");
    dialog.value = 0;
    dialog.show();
    dialog.loadFields();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.activateWindow();
    QCOMPARE(dialog.promptEdit()->text(), dialog.prompt);
    QVERIFY(dialog.promptEdit()->isReadOnly());
    QVERIFY(!dialog.promptEdit()->isEnabled());
    QCOMPARE(dialog.valueEdit()->text(), QStringLiteral("0"));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog.valueEdit()));
}

void TestEditing::valueDialogRefusesAndStaysOpen_data() {
    QTest::addColumn<QString>("bad");
    QTest::newRow("1001") << "1001";
    QTest::newRow("negative") << "-3";
    QTest::newRow("text") << "many";
    QTest::newRow("empty") << "";
}

void TestEditing::valueDialogRefusesAndStaysOpen() {
    QFETCH(QString, bad);
    RecordingValueDialog dialog;
    dialog.value = 5;
    dialog.show();
    dialog.loadFields();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.activateWindow();

    dialog.valueEdit()->setText(bad);
    dialog.okButton()->setFocus();
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    QCOMPARE(dialog.refusals.size(), 1);
    QVERIFY(dialog.refusals.first().contains(QLatin1String("1000")));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), 0);
    QCOMPARE(dialog.value, quint32(5)); // nothing stored from refused text
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog.valueEdit()));

    dialog.valueEdit()->setText(QStringLiteral("1000"));
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    QCOMPARE(dialog.refusals.size(), 1);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.value, quint32(1000));
}

// The real refusal is a modal message box on top of the dialog; answering it
// leaves the dialog open with the number focused.
void TestEditing::valueDialogShowsRefusalBox() {
    QString boxText;
    bool dialogOpenAfterBox = false;
    int step = 0;
    QTimer driver;
    driver.setInterval(20);
    connect(&driver, &QTimer::timeout, this, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* dialog = qobject_cast<CValueInputDialog*>(modal);
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (step == 0 && dialog) {
            dialog->valueEdit()->setText(QStringLiteral("2000"));
            step = 1;
            // Clicked from a fresh event: the box's event loop nests inside.
            QTimer::singleShot(0, dialog->okButton(), &QPushButton::click);
        } else if (step == 1 && box) {
            boxText = box->text();
            step = 2;
            box->accept();
        } else if (step == 2 && dialog) {
            dialogOpenAfterBox = dialog->isVisible();
            dialog->valueEdit()->setText(QStringLiteral("12"));
            step = 3;
            QTimer::singleShot(0, dialog->okButton(), &QPushButton::click);
        }
    });
    driver.start();
    const std::optional<quint32> value = CValueInputDialog::Ask(nullptr, QStringLiteral("?"), 3);
    driver.stop();
    QCOMPARE(step, 3);
    QVERIFY(boxText.contains(QLatin1String("1000")));
    QVERIFY(dialogOpenAfterBox);
    QVERIFY(value);
    QCOMPARE(*value, quint32(12));
}

void TestEditing::valueDialogEnterAndEscape() {
    for (const bool enter : {true, false}) {
        RecordingValueDialog dialog;
        dialog.value = 0;
        dialog.show();
        dialog.loadFields();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.valueEdit()->setText(QStringLiteral("77"));
        QTest::keyClick(dialog.valueEdit(), enter ? Qt::Key_Return : Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), enter ? int(QDialog::Accepted) : int(QDialog::Rejected));
        QCOMPARE(dialog.value, enter ? quint32(77) : quint32(0));
    }
}

// --- commands -------------------------------------------------------------

void TestEditing::insertBlanksHere_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<Rows>("selected");
    QTest::addColumn<int>("focus");
    QTest::addColumn<int>("count"); // -1: Cancel
    QTest::addColumn<Paths>("expected");
    QTest::addColumn<Rows>("expectedSelected");
    QTest::addColumn<int>("expectedFocus");

    QTest::newRow("3 at focus row 5 of 10")
        << 10 << Rows{5, 9} << 5 << 3
        << Named({"p0", "p1", "p2", "p3", "p4", "", "", "", "p5", "p6", "p7", "p8", "p9"})
        << Rows{8, 12} << 8;
    QTest::newRow("inside a selected block the blanks stay unselected")
        << 4 << Rows{1, 2} << 2 << 2 << Named({"p0", "p1", "", "", "p2", "p3"}) << Rows{1, 4} << 4;
    QTest::newRow("at focus row 0")
        << 3 << Rows{} << 0 << 1 << Named({"", "p0", "p1", "p2"}) << Rows{} << 1;
    QTest::newRow("no focus appends")
        << 3 << Rows{1} << -1 << 2 << Named({"p0", "p1", "p2", "", ""}) << Rows{1} << -1;
    QTest::newRow("empty list") << 0 << Rows{} << -1 << 2 << Named({"", ""}) << Rows{} << -1;
    QTest::newRow("zero") << 3 << Rows{} << 1 << 0 << Named({"p0", "p1", "p2"}) << Rows{} << 1;
    QTest::newRow("cancel") << 3 << Rows{2} << 1 << -1 << Named({"p0", "p1", "p2"}) << Rows{2} << 1;
}

void TestEditing::insertBlanksHere() {
    QFETCH(int, rows);
    QFETCH(Rows, selected);
    QFETCH(int, focus);
    QFETCH(int, count);
    QFETCH(Paths, expected);
    QFETCH(Rows, expectedSelected);
    QFETCH(int, expectedFocus);

    Fixture f(rows, selected, focus);
    f.dialogs.values << (count < 0 ? std::nullopt : std::optional<quint32>(count));
    f.view.OnInsertBlanksHere();

    QCOMPARE(f.dialogs.valuePrompts,
             QStringList{QStringLiteral("その場所に何個項目を追加するかを指定してください。")});
    QCOMPARE(f.dialogs.valueInitials, QList<quint32>{1});
    QCOMPARE(f.paths(), expected);
    QCOMPARE(f.selected(), expectedSelected);
    QCOMPARE(f.focus(), expectedFocus);
    QCOMPARE(f.view.modified, count < 0 ? 0 : 1);
    QCOMPARE(f.undo()->count(), count > 0 ? 1 : 0);
    VerifyLabels(f.view);
    for (int r = 0; r < f.view.frameList()->size(); ++r)
        QCOMPARE(f.view.frameList()->icon(r),
                 expected[r].isEmpty() ? FrameList::BlankIcon : FrameList::FilledIcon);

    if (count > 0) {
        f.view.modified = 0;
        f.view.OnUndo();
        QCOMPARE(f.view.frameList()->size(), rows);
        QCOMPARE(f.view.modified, 1);
        VerifyLabels(f.view);
    }
}

void TestEditing::insertBlankRows_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("count");
    QTest::addColumn<Paths>("expected");

    QTest::newRow("at 1") << 1 << 2 << Named({"p0", "", "", "p1", "p2"});
    QTest::newRow("at the row count") << 3 << 1 << Named({"p0", "p1", "p2", ""});
    QTest::newRow("past the end appends") << 100 << 1 << Named({"p0", "p1", "p2", ""});
    QTest::newRow("65535 appends") << 65535 << 1 << Named({"p0", "p1", "p2", ""});
    QTest::newRow("negative appends") << -5 << 2 << Named({"p0", "p1", "p2", "", ""});
    QTest::newRow("count 0") << 1 << 0 << Named({"p0", "p1", "p2"});
    QTest::newRow("negative count") << 1 << -4 << Named({"p0", "p1", "p2"});
}

void TestEditing::insertBlankRows() {
    QFETCH(int, position);
    QFETCH(int, count);
    QFETCH(Paths, expected);

    Fixture f(3);
    f.view.InsertBlankRows(position, count);
    QCOMPARE(f.paths(), expected);
    QCOMPARE(f.view.modified, 1);
    QCOMPARE(f.undo()->count(), count > 0 ? 1 : 0);
    VerifyLabels(f.view);
}

// A list may be longer than 65535 rows: appending goes to the real end, and a
// focus on row 65535 inserts there.
void TestEditing::blanksBeyondRow65535() {
    Fixture f(70000, {}, 65535);
    f.dialogs.values << std::optional<quint32>(2) << std::optional<quint32>(1);
    f.view.OnAddBlanksAtEnd();
    QCOMPARE(f.view.frameList()->size(), 70002);
    QVERIFY(f.view.frameList()->isBlank(70000));
    QVERIFY(f.view.frameList()->isBlank(70001));
    QCOMPARE(f.view.frameList()->path(65535), QByteArray("p65535"));
    f.view.OnInsertBlanksHere();
    QCOMPARE(f.view.frameList()->size(), 70003);
    QVERIFY(f.view.frameList()->isBlank(65535));
    QCOMPARE(f.view.frameList()->path(65536), QByteArray("p65535"));
    QCOMPARE(f.focus(), 65536);
}

void TestEditing::addBlanksAtEnd_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("count"); // -1: Cancel
    QTest::addColumn<int>("expectedRows");

    QTest::newRow("zero adds nothing") << 10 << 0 << 10;
    QTest::newRow("three") << 10 << 3 << 13;
    QTest::newRow("to an empty list") << 0 << 2 << 2;
    QTest::newRow("a thousand") << 5 << 1000 << 1005;
    QTest::newRow("cancel") << 4 << -1 << 4;
}

void TestEditing::addBlanksAtEnd() {
    QFETCH(int, rows);
    QFETCH(int, count);
    QFETCH(int, expectedRows);

    Fixture f(rows, {1}, 1);
    const Paths before = f.paths();
    f.dialogs.values << (count < 0 ? std::nullopt : std::optional<quint32>(count));
    f.view.OnAddBlanksAtEnd();

    QCOMPARE(f.dialogs.valuePrompts,
             QStringList{QStringLiteral("最後に、何個項目を追加するかを指定してください。")});
    QCOMPARE(f.dialogs.valueInitials, QList<quint32>{1});
    QCOMPARE(f.view.frameList()->size(), expectedRows);
    QCOMPARE(f.paths().mid(0, rows), before);
    for (int r = rows; r < expectedRows; ++r)
        QVERIFY(f.view.frameList()->isBlank(r));
    QCOMPARE(f.view.modified, count < 0 ? 0 : 1);
    QCOMPARE(f.undo()->count(), count > 0 ? 1 : 0);
    if (rows > 1) {
        QCOMPARE(f.selected(), Rows{1});
        QCOMPARE(f.focus(), 1);
    }
    VerifyLabels(f.view);
}

void TestEditing::deleteSelection_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<Rows>("selected");
    QTest::addColumn<int>("focus");
    QTest::addColumn<Paths>("expected");
    QTest::addColumn<int>("expectedFocus");

    // The focus of a removed row passes to the row that moves into its place,
    // or to the new last row; whichever row holds it ends up selected.
    QTest::newRow("rows 0, 1, 4 of 6, focus on 4")
        << 6 << Rows{0, 1, 4} << 4 << Named({"p2", "p3", "p5"}) << 2;
    QTest::newRow("rows 0, 1, 4 of 6, focus on 3")
        << 6 << Rows{0, 1, 4} << 3 << Named({"p2", "p3", "p5"}) << 1;
    QTest::newRow("contiguous block, focus inside")
        << 6 << Rows{2, 3} << 3 << Named({"p0", "p1", "p4", "p5"}) << 2;
    QTest::newRow("last rows, focus on the last")
        << 5 << Rows{3, 4} << 4 << Named({"p0", "p1", "p2"}) << 2;
    QTest::newRow("nothing selected") << 4 << Rows{} << 2 << Named({"p0", "p1", "p2", "p3"}) << 2;
    QTest::newRow("nothing selected, no focus")
        << 3 << Rows{} << -1 << Named({"p0", "p1", "p2"}) << -1;
    QTest::newRow("everything") << 3 << Rows{0, 1, 2} << 1 << Paths{} << -1;
    QTest::newRow("empty list") << 0 << Rows{} << -1 << Paths{} << -1;
}

void TestEditing::deleteSelection() {
    QFETCH(int, rows);
    QFETCH(Rows, selected);
    QFETCH(int, focus);
    QFETCH(Paths, expected);
    QFETCH(int, expectedFocus);

    Fixture f(rows, selected, focus);
    const Paths before = f.paths();
    f.view.OnDeleteSelection();

    QCOMPARE(f.paths(), expected);
    QCOMPARE(f.focus(), expectedFocus);
    QCOMPARE(f.selected(), expectedFocus >= 0 ? Rows{expectedFocus} : Rows{});
    QCOMPARE(f.view.modified, 1);
    QCOMPARE(f.undo()->count(), selected.isEmpty() ? 0 : 1);
    QCOMPARE(f.dialogs.unexpected, 0);
    VerifyLabels(f.view);

    if (!selected.isEmpty()) {
        f.view.OnUndo();
        QCOMPARE(f.paths(), before);
        QCOMPARE(f.selected(), selected);
        VerifyLabels(f.view);
        f.view.OnRedo();
        QCOMPARE(f.paths(), expected);
        QCOMPARE(f.focus(), expectedFocus);
    }
}

void TestEditing::blankSelection_data() {
    QTest::addColumn<Paths>("paths");
    QTest::addColumn<Rows>("selected");
    QTest::addColumn<Paths>("expected");
    QTest::addColumn<int>("steps");

    QTest::newRow("two of four") << Named({"a", "b", "c", "d"}) << Rows{1, 3}
                                 << Named({"a", "", "c", ""}) << 1;
    QTest::newRow("one already blank")
        << Named({"a", "", "c"}) << Rows{0, 1} << Named({"", "", "c"}) << 1;
    QTest::newRow("all already blank")
        << Named({"a", "", ""}) << Rows{1, 2} << Named({"a", "", ""}) << 0;
    QTest::newRow("a blank path is still filled")
        << Named({" ", "b"}) << Rows{0} << Named({"", "b"}) << 1;
    QTest::newRow("nothing selected") << Named({"a", "b"}) << Rows{} << Named({"a", "b"}) << 0;
}

void TestEditing::blankSelection() {
    QFETCH(Paths, paths);
    QFETCH(Rows, selected);
    QFETCH(Paths, expected);
    QFETCH(int, steps);

    Fixture f(0);
    f.setRows(paths, selected, selected.isEmpty() ? 0 : selected.last());
    const int focus = f.focus();
    f.view.OnBlankSelection();

    QCOMPARE(f.paths(), expected);
    QCOMPARE(f.selected(), selected);
    QCOMPARE(f.focus(), focus);
    QCOMPARE(f.view.modified, 1);
    QCOMPARE(f.undo()->count(), steps);
    for (int r : selected)
        QCOMPARE(f.view.frameList()->icon(r), FrameList::BlankIcon);
    VerifyLabels(f.view);

    if (steps) {
        f.view.OnUndo();
        QCOMPARE(f.paths(), paths);
        QCOMPARE(f.selected(), selected);
        QCOMPARE(f.view.frameList()->icon(selected.first()),
                 paths[selected.first()].isEmpty() ? FrameList::BlankIcon : FrameList::FilledIcon);
    }
}

void TestEditing::addRangeToSelection_data() {
    QTest::addColumn<Rows>("before");
    QTest::addColumn<int>("from"); // -1: Cancel
    QTest::addColumn<int>("to");   // -1: Cancel
    QTest::addColumn<Rows>("expected");

    QTest::newRow("3 to 6") << Rows{} << 3 << 6 << Rows{3, 4, 5};
    QTest::newRow("6 to 3") << Rows{} << 6 << 3 << Rows{};
    QTest::newRow("3 to 3") << Rows{} << 3 << 3 << Rows{};
    QTest::newRow("past the end") << Rows{} << 8 << 20 << Rows{8, 9};
    QTest::newRow("wholly past the end") << Rows{} << 12 << 20 << Rows{};
    QTest::newRow("0 to 1000") << Rows{} << 0 << 1000 << Rows{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    QTest::newRow("earlier selection stays") << Rows{0, 7} << 2 << 4 << Rows{0, 2, 3, 7};
    QTest::newRow("overlapping") << Rows{3, 4} << 4 << 6 << Rows{3, 4, 5};
    QTest::newRow("cancel first") << Rows{1} << -1 << 5 << Rows{1};
    QTest::newRow("cancel second") << Rows{1} << 2 << -1 << Rows{1};
}

void TestEditing::addRangeToSelection() {
    QFETCH(Rows, before);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(Rows, expected);

    Fixture f(10, before, 1);
    f.dialogs.values << (from < 0 ? std::nullopt : std::optional<quint32>(from));
    if (from >= 0)
        f.dialogs.values << (to < 0 ? std::nullopt : std::optional<quint32>(to));
    f.view.OnAddRangeToSelection();

    QStringList prompts{QStringLiteral("選択範囲の指定・何番目から?")};
    if (from >= 0)
        prompts << QStringLiteral("選択範囲の指定・何番目まで?");
    QCOMPARE(f.dialogs.valuePrompts, prompts);
    QCOMPARE(f.dialogs.valueInitials, QList<quint32>(prompts.size(), 0));
    QCOMPARE(f.selected(), expected);
    QCOMPARE(f.focus(), 1);
    QCOMPARE(f.view.modified, 0);
    QCOMPARE(f.undo()->count(), 0);
}

void TestEditing::goToRow_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("row"); // -1: Cancel
    QTest::addColumn<int>("expectedFocus");

    QTest::newRow("row 0") << 10 << 0 << 0;
    QTest::newRow("last row") << 10 << 9 << 9;
    QTest::newRow("at the row count") << 10 << 10 << 3;
    QTest::newRow("past the end") << 10 << 500 << 3;
    QTest::newRow("empty list") << 0 << 0 << -1;
    QTest::newRow("cancel") << 10 << -1 << 3;
}

void TestEditing::goToRow() {
    QFETCH(int, rows);
    QFETCH(int, row);
    QFETCH(int, expectedFocus);

    Fixture f(rows, rows ? Rows{1, 2} : Rows{}, rows ? 3 : -1);
    f.dialogs.values << (row < 0 ? std::nullopt : std::optional<quint32>(row));
    f.view.OnGoToRow();

    QCOMPARE(f.dialogs.valuePrompts,
             QStringList{QStringLiteral("何番目の場所へ移動するかを指定してください。")});
    QCOMPARE(f.dialogs.valueInitials, QList<quint32>{0});
    QCOMPARE(f.focus(), expectedFocus);
    QCOMPARE(f.selected(), (rows ? Rows{1, 2} : Rows{}));
    QCOMPARE(f.view.modified, 0);
}

void TestEditing::goToRowScrollsFullyIntoView() {
    Fixture f(1000, {}, 0);
    f.view.resize(420, 300);
    f.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.view));
    for (const int row : {700, 5, 999, 0, 400}) {
        f.dialogs.values << std::optional<quint32>(row);
        f.view.OnGoToRow();
        QCOMPARE(f.focus(), row);
        const QRect rect = f.view.visualRect(f.view.model()->index(row, 0));
        QVERIFY2(f.view.viewport()->rect().contains(rect),
                 qPrintable(QStringLiteral("row %1 at y %2..%3, viewport height %4")
                                .arg(row)
                                .arg(rect.top())
                                .arg(rect.bottom())
                                .arg(f.view.viewport()->height())));
    }
}

void TestEditing::clearAll_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("yes");

    QTest::newRow("no") << 5 << false;
    QTest::newRow("yes") << 5 << true;
    QTest::newRow("yes on an empty list") << 0 << true;
    QTest::newRow("no on an empty list") << 0 << false;
}

void TestEditing::clearAll() {
    QFETCH(int, rows);
    QFETCH(bool, yes);

    Fixture f(rows, rows ? Rows{1} : Rows{}, rows ? 2 : -1);
    f.view.settings.fps = 12;
    const Paths before = f.paths();
    f.dialogs.yesNo << yes;
    f.view.OnClearAll();

    QCOMPARE(f.dialogs.questions, QStringList{QStringLiteral("本当に全部消去してよいですか?")});
    QCOMPARE(f.view.frameList()->size(), yes ? 0 : rows);
    QCOMPARE(f.view.modified, yes ? 1 : 0);
    QCOMPARE(f.view.settings.fps, quint32(12));
    QCOMPARE(f.undo()->count(), yes && rows ? 1 : 0);
    if (!yes) {
        QCOMPARE(f.paths(), before);
        QCOMPARE(f.selected(), rows ? Rows{1} : Rows{});
        QCOMPARE(f.focus(), rows ? 2 : -1);
    } else if (rows) {
        f.view.OnUndo();
        QCOMPARE(f.paths(), before);
        Rows all;
        for (int r = 0; r < rows; ++r)
            all << r;
        QCOMPARE(f.selected(), all);
        VerifyLabels(f.view);
    }
}

// --- keys, undo and redo --------------------------------------------------

void TestEditing::listKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<Paths>("expected");
    QTest::addColumn<Rows>("expectedSelected");
    QTest::addColumn<int>("shownHints");
    QTest::addColumn<int>("fileRequests");

    const Paths all = Named({"a", "b", "c", "d"});
    QTest::newRow("Space blanks") << int(Qt::Key_Space) << int(Qt::NoModifier)
                                  << Named({"a", "", "", "d"}) << Rows{1, 2} << 0 << 0;
    QTest::newRow("Delete deletes")
        << int(Qt::Key_Delete) << int(Qt::NoModifier) << Named({"a", "d"}) << Rows{1} << 0 << 0;
    QTest::newRow("Return shows") << int(Qt::Key_Return) << int(Qt::NoModifier) << all << Rows{1, 2}
                                  << 1 << 0;
    QTest::newRow("keypad Enter shows")
        << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << all << Rows{1, 2} << 1 << 0;
    QTest::newRow("Shift+Return changes")
        << int(Qt::Key_Return) << int(Qt::ShiftModifier) << all << Rows{1, 2} << 0 << 1;
    QTest::newRow("Ctrl+Space is not blanking")
        << int(Qt::Key_Space) << int(Qt::ControlModifier) << all << Rows{1, 2} << 0 << 0;
}

void TestEditing::listKeys() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(Paths, expected);
    QFETCH(Rows, expectedSelected);
    QFETCH(int, shownHints);
    QFETCH(int, fileRequests);

    Fixture f(0);
    f.setRows(Named({"a", "b", "c", "d"}), {1, 2}, 2);
    int hints = 0;
    connect(&f.document, &CVistromDoc::updated, this,
            [&](QObject*, int hint, const QByteArray& payload) {
                if (hint == CVistromDoc::HintShowImage && payload == "b")
                    ++hints;
            });
    QSignalSpy activated(&f.view, &QAbstractItemView::activated);
    f.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.view));
    f.view.activateWindow();
    f.view.setFocus();
    QTRY_VERIFY(f.view.hasFocus());

    QTest::keyClick(&f.view, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    QCOMPARE(f.paths(), expected);
    if (key != Qt::Key_Space || modifiers == Qt::NoModifier)
        QCOMPARE(f.selected(), expectedSelected);
    QCOMPARE(hints, shownHints);
    QCOMPARE(f.dialogs.fileRequests, fileRequests);
    // Never editing in place: no editor took the focus.
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(&f.view));
    QVERIFY(f.view.findChildren<QLineEdit*>().isEmpty());
    QCOMPARE(activated.count(), 0);
}

void TestEditing::undoRedoEnablement() {
    Fixture f(4, {}, 0);
    QSignalSpy canUndo(f.undo(), &QUndoStack::canUndoChanged);
    QSignalSpy canRedo(f.undo(), &QUndoStack::canRedoChanged);
    QVERIFY(!f.undo()->canUndo());
    QVERIFY(!f.undo()->canRedo());

    // Undo and redo with nothing to do change nothing, modified included.
    f.view.OnUndo();
    f.view.OnRedo();
    QCOMPARE(f.view.modified, 0);

    f.dialogs.values << std::optional<quint32>(2);
    f.view.OnAddBlanksAtEnd();
    QVERIFY(f.undo()->canUndo());
    QVERIFY(!f.undo()->canRedo());
    QCOMPARE(canUndo.count(), 1);
    QCOMPARE(canUndo.last().first().toBool(), true);

    f.view.modified = 0;
    f.view.OnUndo();
    QCOMPARE(f.view.modified, 1);
    QCOMPARE(f.view.frameList()->size(), 4);
    QVERIFY(!f.undo()->canUndo());
    QVERIFY(f.undo()->canRedo());
    QCOMPARE(canRedo.last().first().toBool(), true);

    f.view.modified = 0;
    f.view.OnRedo();
    QCOMPARE(f.view.modified, 1);
    QCOMPARE(f.view.frameList()->size(), 6);

    // A new step drops what could have been redone.
    f.view.OnUndo();
    f.dialogs.values << std::optional<quint32>(1);
    f.view.OnInsertBlanksHere();
    QVERIFY(!f.undo()->canRedo());

    // New and Open clear the history.
    f.undo()->clear();
    QVERIFY(!f.undo()->canUndo());
    QVERIFY(!f.undo()->canRedo());
}

// Undoing a deletion of scattered rows brings them back selected, and other
// selected rows lose their mark (the rows that came back are the selection).
void TestEditing::undoRestoresMarksOfRemovedRows() {
    Fixture f(8, {1, 4, 5}, 4);
    f.view.OnDeleteSelection();
    QCOMPARE(f.paths(), (Named({"p0", "p2", "p3", "p6", "p7"})));
    SelectRows(f.view.selectionModel(), {0});
    f.view.OnUndo();
    QCOMPARE(f.paths().size(), 8);
    QCOMPARE(f.selected(), (Rows{1, 4, 5}));
    VerifyLabels(f.view);
}

// A fixed random sequence of commands, then every step undone and redone: each
// state on the way back and forth equals the one recorded going forward.
void TestEditing::undoAllRedoAllAfterRandomEdits() {
    Fixture f(0);
    Paths start;
    for (int i = 0; i < 30; ++i)
        start << (i % 4 == 3 ? QByteArray() : "/img/" + QByteArray::number(i) + ".bmp");
    f.setRows(start, {}, 0);

    QRandomGenerator random(20260206);
    QList<Paths> states{f.paths()};
    QList<Rows> removedRows; // per step: the rows a Remove step took, else empty
    int fresh = 1000;
    auto randomSelection = [&] {
        Rows rows;
        const int size = f.view.frameList()->size();
        for (int r = 0; r < size; ++r)
            if (random.bounded(4) == 0)
                rows << r;
        return rows;
    };
    for (int step = 0; step < 80; ++step) {
        const int size = f.view.frameList()->size();
        const int before = f.undo()->count();
        if (size > 0)
            f.view.selectionModel()->setCurrentIndex(f.view.model()->index(random.bounded(size), 0),
                                                     QItemSelectionModel::NoUpdate);
        SelectRows(f.view.selectionModel(), randomSelection());
        const Rows selected = f.selected();
        switch (random.bounded(size < 5 ? 2 : 7)) {
        case 0:
            f.dialogs.values << std::optional<quint32>(random.bounded(1, 6));
            f.view.OnInsertBlanksHere();
            break;
        case 1:
            f.dialogs.values << std::optional<quint32>(random.bounded(1, 4));
            f.view.OnAddBlanksAtEnd();
            break;
        case 2:
        case 3:
            f.view.OnDeleteSelection();
            break;
        case 4:
            f.view.OnBlankSelection();
            break;
        case 5: {
            // A paste-like insertion of filled rows at scattered places.
            Rows rows;
            Paths paths;
            int final = 0; // index in the list after the insertion
            for (int old = 0; old <= size; ++old) {
                while (random.bounded(6) == 0) {
                    rows << final++;
                    paths << "/new/" + QByteArray::number(fresh++) + ".png";
                }
                ++final; // the old row itself
            }
            if (!rows.isEmpty())
                f.undo()->push(
                    RowEditCommand::Insert(f.view.frameList(), rows, paths, QStringLiteral("paste"))
                        .release());
            break;
        }
        case 6: {
            // A change-image-like step on the selected rows.
            Paths paths;
            for (qsizetype k = 0; k < selected.size(); ++k)
                paths << "/changed/" + QByteArray::number(fresh++) + ".jpg";
            if (!selected.isEmpty())
                f.undo()->push(RowEditCommand::Change(f.view.frameList(), selected, paths,
                                                      QStringLiteral("change"))
                                   .release());
            break;
        }
        }
        if (f.undo()->count() == before)
            continue; // a command that changed nothing left no step
        QCOMPARE(f.undo()->count(), before + 1);
        QVERIFY(f.paths() != states.last());
        states << f.paths();
        const auto* command = static_cast<const RowEditCommand*>(f.undo()->command(before));
        removedRows << (command->kind() == RowEditCommand::Kind::Remove ? command->rows() : Rows{});
    }
    QVERIFY2(states.size() > 40, "the sequence must exercise many steps");
    QCOMPARE(f.dialogs.unexpected, 0);

    for (qsizetype k = states.size() - 1; k > 0; --k) {
        f.view.modified = 0;
        f.view.OnUndo();
        QCOMPARE(f.view.modified, 1);
        QCOMPARE(f.paths(), states[k - 1]);
        if (!removedRows[k - 1].isEmpty())
            QCOMPARE(f.selected(), removedRows[k - 1]);
    }
    QVERIFY(!f.undo()->canUndo());
    QCOMPARE(f.paths(), start);
    for (qsizetype k = 1; k < states.size(); ++k) {
        f.view.OnRedo();
        QCOMPARE(f.paths(), states[k]);
    }
    QVERIFY(!f.undo()->canRedo());
    VerifyLabels(f.view);
    for (int r = 0; r < f.view.frameList()->size(); ++r)
        QCOMPARE(f.view.frameList()->icon(r),
                 f.view.frameList()->isBlank(r) ? FrameList::BlankIcon : FrameList::FilledIcon);
}

// Batch insertions and removals keep the marks of the other rows also when the
// selection is many separate ranges (the removal then takes another road).
void TestEditing::batchEditsKeepManyMarks_data() {
    QTest::addColumn<bool>("insert");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("focus");
    QTest::addColumn<int>("expectedFocus");

    QTest::newRow("remove a block cutting 50 ranges") << false << 100 << 100 << 150 << 100;
    QTest::newRow("remove a block cutting 5 ranges") << false << 101 << 10 << 20 << 20;
    QTest::newRow("remove the tail") << false << 250 << 50 << 299 << 249;
    QTest::newRow("insert a block") << true << 51 << 40 << 60 << 100;
}

void TestEditing::batchEditsKeepManyMarks() {
    QFETCH(bool, insert);
    QFETCH(int, first);
    QFETCH(int, count);
    QFETCH(int, focus);
    QFETCH(int, expectedFocus);

    Rows everyOther;
    for (int r = 0; r < 300; r += 2)
        everyOther << r;
    Fixture f(300, everyOther, focus);
    Rows block;
    for (int k = 0; k < count; ++k)
        block << first + k;
    Paths expectedPaths = f.paths();
    Rows expected;
    if (insert) {
        f.view.frameList()->insertRowsAt(block, Paths(count, "new"));
        for (int k = 0; k < count; ++k)
            expectedPaths.insert(first + k, "new");
        for (int r : everyOther)
            expected << (r >= first ? r + count : r);
    } else {
        f.view.frameList()->removeRowsAt(block);
        expectedPaths.remove(first, count);
        for (int r : everyOther)
            if (r < first || r >= first + count)
                expected << (r >= first + count ? r - count : r);
    }
    QCOMPARE(f.paths(), expectedPaths);
    QCOMPARE(f.selected(), expected);
    QCOMPARE(f.focus(), expectedFocus);
}

// A deletion of scattered rows rebuilds the list in one batch; the list must
// not jump back to the top for it, nor for its undo.
void TestEditing::scatteredDeleteKeepsScrollPosition() {
    Rows scattered;
    for (int r = 0; r < 100; r += 3)
        scattered << r;
    Fixture f(2000, scattered, 600);
    f.view.resize(420, 300);
    f.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.view));
    f.view.scrollTo(f.view.model()->index(600, 0), QAbstractItemView::PositionAtTop);
    QApplication::processEvents();
    const int before = f.view.verticalScrollBar()->value();
    QVERIFY(before > 0);
    // The bar counts rows here; the rows above the top may move by the
    // number deleted.
    QCOMPARE(f.view.verticalScrollMode(), QAbstractItemView::ScrollPerItem);
    f.view.OnDeleteSelection();
    QApplication::processEvents();
    const int after = f.view.verticalScrollBar()->value();
    QVERIFY2(after >= before - int(scattered.size()) && after <= before,
             qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(after)));
    f.view.OnUndo();
    QApplication::processEvents();
    const int undone = f.view.verticalScrollBar()->value();
    QVERIFY2(undone >= before - int(scattered.size()) && undone <= before + int(scattered.size()),
             qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(undone)));
}

// In the real main window each key runs its command exactly once while the
// list has the focus: the list's own keys (Space, Delete, Enter, Shift+Enter)
// are claimed by the list before the window's shortcuts for the same keys, and
// no key is an ambiguous shortcut.
void TestEditing::keysInMainWindow_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<Paths>("expected");
    QTest::addColumn<int>("steps");     // undo steps afterwards
    QTest::addColumn<int>("asked");     // value prompts
    QTest::addColumn<int>("shown");     // hint-16 updates
    QTest::addColumn<int>("fileAsked"); // file dialogs

    const Paths all = Named({"a", "b", "c", "d"});
    const int none = int(Qt::NoModifier);
    QTest::newRow("Space") << int(Qt::Key_Space) << none << Named({"a", "", "", "d"}) << 1 << 0 << 0
                           << 0;
    QTest::newRow("Delete") << int(Qt::Key_Delete) << none << Named({"a", "d"}) << 1 << 0 << 0 << 0;
    QTest::newRow("Ctrl+D") << int(Qt::Key_D) << int(Qt::ControlModifier) << Named({"a", "d"}) << 1
                            << 0 << 0 << 0;
    QTest::newRow("Return") << int(Qt::Key_Return) << none << all << 0 << 0 << 1 << 0;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << all << 0 << 0
                                  << 1 << 0;
    QTest::newRow("Shift+Return") << int(Qt::Key_Return) << int(Qt::ShiftModifier) << all << 0 << 0
                                  << 0 << 1;
    QTest::newRow("Ctrl+A appends") << int(Qt::Key_A) << int(Qt::ControlModifier)
                                    << Named({"a", "b", "c", "d", ""}) << 1 << 1 << 0 << 0;
    QTest::newRow("Ctrl+I inserts") << int(Qt::Key_I) << int(Qt::ControlModifier)
                                    << Named({"a", "b", "", "c", "d"}) << 1 << 1 << 0 << 0;
    QTest::newRow("Ctrl+Z undoes")
        << int(Qt::Key_Z) << int(Qt::ControlModifier) << all << 0 << 0 << 0 << 0;
    QTest::newRow("Alt+Backspace undoes")
        << int(Qt::Key_Backspace) << int(Qt::AltModifier) << all << 0 << 0 << 0 << 0;
    QTest::newRow("Ctrl+Shift+Z redoes")
        << int(Qt::Key_Z) << int(Qt::ControlModifier | Qt::ShiftModifier)
        << Named({"a", "b", "c", "d", "/pasted"}) << 1 << 0 << 0 << 0;
}

void TestEditing::keysInMainWindow() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(Paths, expected);
    QFETCH(int, steps);
    QFETCH(int, asked);
    QFETCH(int, shown);
    QFETCH(int, fileAsked);

    QTest::failOnWarning(QRegularExpression(QStringLiteral("[Aa]mbiguous")));
    ScriptedDialogs dialogs;
    CVistromDoc document;
    CMainFrame window(&document, &dialogs);
    CVistromView* view = window.view();
    const Paths all = Named({"a", "b", "c", "d"});
    view->frameList()->resetRows(all);
    view->RenumberRows();
    QUndoStack* stack = view->undoStack();
    const bool undoKey =
        key == Qt::Key_Backspace || (key == Qt::Key_Z && modifiers == int(Qt::ControlModifier));
    const bool redoKey = key == Qt::Key_Z && modifiers != int(Qt::ControlModifier);
    if (undoKey || redoKey) {
        // One pasted row to undo, or undone already to redo.
        stack->push(
            RowEditCommand::Insert(view->frameList(), {4}, {"/pasted"}, QStringLiteral("paste"))
                .release());
        if (redoKey)
            stack->undo();
    }
    view->selectionModel()->setCurrentIndex(view->model()->index(2, 0),
                                            QItemSelectionModel::NoUpdate);
    SelectRows(view->selectionModel(), {1, 2});
    int hints = 0;
    connect(&document, &CVistromDoc::updated, this, [&](QObject*, int hint, const QByteArray&) {
        if (hint == CVistromDoc::HintShowImage)
            ++hints;
    });
    dialogs.values << std::optional<quint32>(1) << std::optional<quint32>(1);

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    view->setFocus();
    QTRY_VERIFY(view->hasFocus());
    QTest::keyClick(view, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    QCOMPARE(view->frameList()->paths(), expected);
    QCOMPARE(stack->index(), steps);
    QCOMPARE(dialogs.valuePrompts.size(), asked);
    QCOMPARE(hints, shown);
    QCOMPARE(dialogs.fileRequests, fileAsked);
    if (key == Qt::Key_A)
        QCOMPARE(view->selectedRows(), (Rows{1, 2})); // not the table's select-all
}

// The undo and redo items follow the stack.
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
    view->undoStack()->clear();
    QVERIFY(!undo->isEnabled());
    QVERIFY(!redo->isEnabled());

    dialogs.values << std::optional<quint32>(3);
    view->OnAddBlanksAtEnd();
    QVERIFY(undo->isEnabled());
    QVERIFY(!redo->isEnabled());
    undo->trigger();
    QVERIFY(!undo->isEnabled());
    QVERIFY(redo->isEnabled());
    view->modified = 0;
    redo->trigger();
    QCOMPARE(view->modified, 1);
    QVERIFY(undo->isEnabled());
    QVERIFY(!redo->isEnabled());
}

QTEST_MAIN(TestEditing)
#include "tst_editing.moc"
