// Times the list editing commands on a long list through the real view and its
// selection model, painting included: at 100,000 rows, delete a selection of
// every other row, paste 10,000 rows, and undo each. Each should take well
// under a second.
//
//   QT_QPA_PLATFORM=offscreen ./edit_bench [rows]

#include "app/UserDialogs.h"
#include "framelist/CVistromDoc.h"
#include "framelist/FrameList.h"
#include "framelist/RowEditCommand.h"
#include "framelist/widgets/CVistromView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QUndoStack>

#include <cstdio>
#include <functional>
#include <optional>

namespace {

class AnsweringDialogs : public CancellingDialogs {
public:
    quint32 value = 1;
    bool askYesNo(const QString&) override { return true; }
    QList<quint32> next; // answered first, then value
    std::optional<quint32> askValue(const QString&, quint32) override {
        return next.isEmpty() ? value : next.takeFirst();
    }
};

double Time(const char* what, const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    QApplication::processEvents(); // the repaint the user waits for
    const double ms = timer.nsecsElapsed() / 1e6;
    std::printf("%-58s %9.1f ms\n", what, ms);
    std::fflush(stdout);
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;

    AnsweringDialogs dialogs;
    CVistromDoc document;
    CVistromView view(&document, &dialogs);
    view.resize(500, 700);
    view.show();
    QApplication::processEvents();
    FrameList* list = view.frameList();
    QItemSelectionModel* marks = view.selectionModel();

    QList<QByteArray> paths;
    paths.reserve(rows);
    for (int i = 0; i < rows; ++i)
        paths << "/home/user/frames/shot_" + QByteArray::number(i).rightJustified(6, '0') + ".bmp";

    double worst = 0;
    auto timed = [&](const char* what, const std::function<void()>& work) {
        worst = std::max(worst, Time(what, work));
    };
    std::printf("rows: %d\n", rows);
    timed("load the rows (reset, renumber)", [&] {
        list->resetRows(paths);
        view.RenumberRows();
    });

    QList<int> everyOther;
    for (int r = 0; r < rows; r += 2)
        everyOther << r;
    timed("select every other row", [&] { SelectRows(marks, everyOther); });
    timed("focus row 5,001",
          [&] { marks->setCurrentIndex(list->index(5001, 0), QItemSelectionModel::NoUpdate); });
    timed("read the selection (selectedRows)", [&] { (void)view.selectedRows(); });
    timed("delete the selection (every other row)", [&] { view.OnDeleteSelection(); });
    timed("undo the delete (rows come back selected)", [&] { view.OnUndo(); });
    timed("redo the delete", [&] { view.OnRedo(); });
    timed("undo the delete again", [&] { view.OnUndo(); });

    QList<int> pasteRows;
    QList<QByteArray> pastePaths;
    const int at = rows / 2;
    for (int k = 0; k < 10000; ++k) {
        pasteRows << at + k;
        pastePaths << "/home/user/pasted/p_" + QByteArray::number(k) + ".png";
    }
    timed("paste 10,000 rows in the middle", [&] {
        view.undoStack()->push(
            RowEditCommand::Insert(list, pasteRows, pastePaths, QStringLiteral("paste")).release());
        view.modified |= 1;
        view.RenumberRows();
    });
    timed("undo the paste", [&] { view.OnUndo(); });
    timed("redo the paste", [&] { view.OnRedo(); });
    timed("undo the paste again", [&] { view.OnUndo(); });

    // The same through the clipboard commands: copy 10,000 rows, paste them
    // at the focus, undo.
    QList<int> copied;
    for (int r = 0; r < 10000; ++r)
        copied << rows / 3 + r;
    timed("select 10,000 rows and copy them (Ctrl+C)", [&] {
        SelectRows(marks, copied);
        view.OnCopyRows();
    });
    timed("paste them at the focus (Ctrl+V)", [&] {
        marks->setCurrentIndex(list->index(rows / 2, 0), QItemSelectionModel::NoUpdate);
        view.OnPasteRowsInserting();
    });
    std::printf("  (rows after the paste: %d)\n", list->size());
    timed("undo the clipboard paste", [&] { view.OnUndo(); });

    // Scattered: 10,000 rows pasted one every tenth row (overwrite-like spread).
    QList<int> scattered;
    for (int k = 0; k < 10000; ++k)
        scattered << k * 11;
    timed("insert 10,000 scattered rows", [&] {
        view.undoStack()->push(
            RowEditCommand::Insert(list, scattered, pastePaths, QStringLiteral("drop")).release());
    });
    timed("undo the scattered insert", [&] { view.OnUndo(); });

    timed("select every other row again", [&] { SelectRows(marks, everyOther); });
    timed("blank the selection (Space)", [&] { view.OnBlankSelection(); });
    timed("undo the blanking", [&] { view.OnUndo(); });

    dialogs.value = 1000;
    timed("insert 1,000 blanks at the focus (Ctrl+I)", [&] { view.OnInsertBlanksHere(); });
    timed("undo the insert", [&] { view.OnUndo(); });
    timed("append 1,000 blanks (Ctrl+A)", [&] { view.OnAddBlanksAtEnd(); });
    timed("undo the append", [&] { view.OnUndo(); });

    // Removing a block that cuts many selected ranges is where the selection
    // model turns quadratic; the model lifts the selection around it.
    QList<int> block;
    for (int r = rows / 4; r < rows / 4 + 20000; ++r)
        block << r;
    timed("select every other row once more", [&] { SelectRows(marks, everyOther); });
    timed("remove 20,000 rows cutting 10,000 selected ranges", [&] {
        view.undoStack()->push(
            RowEditCommand::Remove(list, block, QStringLiteral("cut")).release());
    });
    timed("undo that removal (the rows come back selected)", [&] { view.OnUndo(); });
    timed("select every other row once more", [&] { SelectRows(marks, everyOther); });

    timed("select range 0 to 1000", [&] {
        dialogs.next = {0, 1000};
        view.OnAddRangeToSelection();
    });
    timed("select every other row once more", [&] { SelectRows(marks, everyOther); });
    timed("clear all (every other row selected)", [&] { view.OnClearAll(); });
    timed("undo clear all (every row comes back selected)", [&] { view.OnUndo(); });

    std::printf("slowest step: %.1f ms\n", worst);
    return worst < 1000.0 ? 0 : 1;
}
