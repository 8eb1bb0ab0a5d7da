// Times the list editing commands on a long list through a project shown in
// the real list pane, painting included: at 100,000 rows, delete a selection of
// every other row, paste 10,000 rows, and undo each. Each should take well
// under a second.
//
//   QT_QPA_PLATFORM=offscreen ./edit_bench [rows]

#include "dialogs/UserDialogs.h"
#include "project/FrameList.h"
#include "project/Project.h"
#include "project/UndoSteps.h"
#include "ui/FrameListView.h"

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
    Answer askYesNo(const QString&) override { return Answer::Yes; }
    QList<quint32> next; // answered first, then value
    std::optional<quint32> askValue(const QString&, quint32, quint32) override {
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
    Project project;
    FrameListView view(&project, &dialogs);
    view.resize(500, 700);
    view.show();
    QApplication::processEvents();
    FrameList* list = project.frameList();
    QItemSelectionModel* marks = project.marks();

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
        list->renumberRows();
    });

    QList<int> everyOther;
    for (int r = 0; r < rows; r += 2)
        everyOther << r;
    timed("select every other row", [&] { SelectRows(marks, everyOther); });
    timed("focus row 5,001",
          [&] { marks->setCurrentIndex(list->index(5001, 0), QItemSelectionModel::NoUpdate); });
    timed("read the selection (selectedRows)", [&] { (void)project.selectedRows(); });
    timed("delete the selection (every other row)", [&] { view.deleteSelection(); });
    timed("undo the delete (rows come back selected)", [&] { project.undo(); });
    timed("redo the delete", [&] { project.redo(); });
    timed("undo the delete again", [&] { project.undo(); });

    QList<int> pasteRows;
    QList<QByteArray> pastePaths;
    const int at = rows / 2;
    for (int k = 0; k < 10000; ++k) {
        pasteRows << at + k;
        pastePaths << "/home/user/pasted/p_" + QByteArray::number(k) + ".png";
    }
    timed("paste 10,000 rows in the middle", [&] {
        project.undoStack()->push(
            RowEditStep::insertRows(list, pasteRows, pastePaths, QStringLiteral("paste")));
    });
    timed("undo the paste", [&] { project.undo(); });
    timed("redo the paste", [&] { project.redo(); });
    timed("undo the paste again", [&] { project.undo(); });

    // The same through the clipboard commands: copy 10,000 rows, paste them
    // at the focus, undo.
    QList<int> copied;
    for (int r = 0; r < 10000; ++r)
        copied << rows / 3 + r;
    timed("select 10,000 rows and copy them (Ctrl+C)", [&] {
        SelectRows(marks, copied);
        view.copyRows();
    });
    timed("paste them at the focus (Ctrl+V)", [&] {
        marks->setCurrentIndex(list->index(rows / 2, 0), QItemSelectionModel::NoUpdate);
        view.pasteRowsInserting();
    });
    std::printf("  (rows after the paste: %d)\n", list->size());
    timed("undo the clipboard paste", [&] { project.undo(); });

    // Scattered: 10,000 rows pasted one every tenth row (overwrite-like spread).
    QList<int> scattered;
    for (int k = 0; k < 10000; ++k)
        scattered << k * 11;
    timed("insert 10,000 scattered rows", [&] {
        project.undoStack()->push(
            RowEditStep::insertRows(list, scattered, pastePaths, QStringLiteral("drop")));
    });
    timed("undo the scattered insert", [&] { project.undo(); });

    timed("select every other row again", [&] { SelectRows(marks, everyOther); });
    timed("blank the selection (Space)", [&] { view.blankSelection(); });
    timed("undo the blanking", [&] { project.undo(); });

    dialogs.value = 1000;
    timed("insert 1,000 blanks at the focus (Ctrl+I)", [&] { view.insertBlanksHere(); });
    timed("undo the insert", [&] { project.undo(); });
    timed("append 1,000 blanks (Ctrl+A)", [&] { view.addBlanksAtEnd(); });
    timed("undo the append", [&] { project.undo(); });

    // Removing a block that cuts many selected ranges is where the selection
    // model turns quadratic; the model lifts the selection around it.
    QList<int> block;
    for (int r = rows / 4; r < rows / 4 + 20000; ++r)
        block << r;
    timed("select every other row once more", [&] { SelectRows(marks, everyOther); });
    timed("remove 20,000 rows cutting 10,000 selected ranges", [&] {
        project.undoStack()->push(RowEditStep::removeRows(list, block, QStringLiteral("cut")));
    });
    timed("undo that removal (the rows come back selected)", [&] { project.undo(); });
    timed("select every other row once more", [&] { SelectRows(marks, everyOther); });

    timed("select range 0 to 1000", [&] {
        dialogs.next = {0, 1000};
        view.addRangeToSelection();
    });
    timed("select every other row once more", [&] { SelectRows(marks, everyOther); });
    timed("clear all (every other row selected)", [&] { view.clearAll(); });
    timed("undo clear all (every row comes back selected)", [&] { project.undo(); });

    std::printf("slowest step: %.1f ms\n", worst);
    return worst < 1000.0 ? 0 : 1;
}
