// The project core without a window: commands on rows, marks and the undo
// history, modified state, files, settings steps, the preview's picture.

#include "project_tools.h"

#include "project/UndoSteps.h"

#include <QtGui>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <functional>
#include <map>

const QByteArray H("Vistrom data\r\n");
enum Flag { U = 0, M = 1, R = 2 }; // unchanged, modified, refused

// Every row's icon follows its path; the labels count at the project's rate.
static void VerifyRows(const Project& p) {
    const FrameList* list = p.frameList();
    QCOMPARE(list->fps(), p.settings().fps);
    for (int r = 0; r < list->size(); ++r)
        QCOMPARE(list->icon(r), list->isBlank(r) ? FrameList::BlankIcon : FrameList::FilledIcon);
}

class TestProject : public QObject {
    Q_OBJECT
    QTemporaryDir dir_; // a folder that is not the current one

private slots:
    // op ("insert 5 3": a word and its numbers) on before gives after. text is
    // what a paste, drop, import or change takes, or what a copy or cut gives.
    void edits_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("op");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<int>("flags");
        auto e = [](const char* before, const char* op, const QByteArray& text,
                    const QByteArray& after, int flags) {
            QTest::addRow("%s on %s", op, before)
                << QByteArray(before) << QByteArray(op) << text << after << flags;
        };
        // Marks move with their rows; new rows carry none, even in a selected block.
        e("a [b] [c*] d e [f] g", "insert 2 2", {}, "a [b] - - [c*] d e [f] g", M);
        // Outside the list appends; no rows still counts as an edit, with no undo step.
        e("a b*", "insert -5 2", {}, "a b* - -", M);
        e("a b*", "insert 1 0", {}, "a b*", M);
        // A removed focus passes to the row moving in (or the last), which is selected.
        e("[a] [b] c d* [e] f", "delete", {}, "c [d*] f", M);
        e("a b c [d] [e*]", "delete", {}, "a b [c*]", M);
        e("a b c* d", "delete", {}, "a b [c*] d", M);
        e("[a] [b*] [c]", "delete", {}, "", M);
        e("a [b] - [_*]", "blank", {}, "a [-] - [-*]", M);
        e("a [b] [c] d* e f", "goto 6", {}, "a [b] [c] d* e f", U);
        // The range adds F up to T - 1 within the list to the marks.
        e("[a] b* c d e f", "range 4 2", {}, "[a] b* c d e f", U);
        e("[a] b* c d e f", "range 4 20", {}, "[a] b* c d [e] [f]", U);
        e("a b c* -", "copy", H, "a b c* -", U);
        e("[a] [b] c d [e] f", "cut", H + "a\r\nb\r\ne\r\n", "c d f", M);
        e("a [c*] [-] [e] f", "cutblank", H + "c\r\n\r\ne\r\n", "a [-*] [-] [-] f", M);
        // Pasted rows go in unmarked at the focus row (or the top), splitting a run.
        const QByteArray xz = H + "X\r\n\r\nZ\r\n", vz = H + "V\r\n\r\nX\r\nY\r\nZ\r\n";
        e("a [b] c", "paste", xz, "X - Z a [b] c", M);
        e("a [c] [d*] [e]", "paste", xz, "a [c] X - Z [d*] [e]", M);
        e("a b* c", "paste", "hello\r\n", "a b* c", R);
        e("a [b] c d e i* j", "overwrite", vz, "a [b] c d e V* -", M);
        e("a [b] c d e f g", "overwrite", vz, "V [-] X Y Z f g", M);
        // Dropped names fill rows start + i x interval, never inserting.
        e("a - - - - - - b - -", "drop 2 5", "/0,/1,/2", "a - /0 - - - - /1 - -", M);
        e("- - - - - -", "drop 4 0", "/0,/1,/2", "- - - - /2 -", M);
        const QByteArray longName = "/drop/" + QByteArray(2000, 'n');
        e("- - - - -", "drop 1 2", longName + ",,/c", "- " + longName + " - - -", M | R);
        // One row per line of a file of any length, before the focus row or at the top.
        e("a b c* d", "import", QByteArray("/a\r\r\n/b\0x\n", 10), "a b /a /b c* d", M);
        e("a b", "import", "/a\r\n\n\r\n" + longName + "\r\n", "/a - - " + longName + " a b", M);
        e("a b* c", "change 3", "x", "a b* c", U);
    }
    void edits() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, op);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, after);
        Project p;
        SetState(p, before);
        const QByteArrayList words = op.split(' ');
        auto n = [&](int i) { return words.value(i).toInt(); };
        QByteArray out;
        ProjectResult r = ProjectResult::Done;
        const std::map<QByteArray, std::function<void()>> ops{
            {"insert", [&] { p.insertBlanks(n(1), n(2)); }},
            {"delete", [&] { p.deleteSelection(); }},
            {"blank", [&] { p.blankSelection(); }},
            {"goto", [&] { p.goToRow(n(1)); }},
            {"range", [&] { p.addRangeToSelection(n(1), n(2)); }},
            {"change", [&] { p.changePath(n(1), text); }},
            {"copy", [&] { out = p.copySelection(); }},
            {"cut", [&] { out = p.cutClosingUp(); }},
            {"cutblank", [&] { out = p.cutLeavingBlanks(); }},
            {"paste", [&] { r = p.pasteInserting(text); }},
            {"overwrite", [&] { r = p.pasteOverwriting(text); }},
            {"drop", [&] { r = p.placeDroppedPaths(text.split(','), n(1), n(2)); }},
            {"import", [&] { r = p.importFileList(WriteFile(dir_.filePath("l 画.txt"), text)); }}};
        ops.at(words[0])();
        QCOMPARE(StateOf(p), after);
        QTEST((p.isModified() ? M : U) | (r != ProjectResult::Done ? R : U), "flags");
        QCOMPARE(out, op == "copy" || op.startsWith("cut") ? text : QByteArray());
        VerifyRows(p);
        // One undo step exactly when the rows changed. Undo brings back the rows
        // and marks before, redo those after, each with the rows it brought back,
        // inserted or changed selected too; either reveals the changed rows, or
        // where rows went the row now in the first one's place (or the last row).
        const ListState start = ParseState(before), end = ParseState(after);
        QCOMPARE(p.undoStack()->count(), int(start.paths != end.paths));
        if (start.paths == end.paths)
            return;
        const auto* step = static_cast<const RowEditStep*>(p.undoStack()->command(0));
        const Rows rows = step->rows();
        const bool inserted = step->kind() == RowEditStep::Kind::Insert,
                   removed = step->kind() == RowEditStep::Kind::Remove;
        auto marks = [&](ListState s, bool changed) { // with the changed rows selected
            for (int r : changed ? rows : Rows())
                s.selected << (s.selected.contains(r) ? Rows() : Rows{r});
            std::sort(s.selected.begin(), s.selected.end());
            return std::pair(s.selected, s.focus);
        };
        QList<QVariantList> shown;
        auto reveal = [&](bool there, qsizetype size) {
            const int at = std::min(rows.first(), int(size) - 1);
            if (size > 0)
                shown << (there ? QVariantList{rows.first(), rows.last()} : QVariantList{at, at});
        };
        QSignalSpy revealed(&p, &Project::revealRows);
        for (int round = 0; round < 2; ++round) {
            p.undo();
            QCOMPARE(p.frameList()->paths(), start.paths);
            QVERIFY(!p.isModified());
            QCOMPARE(std::pair(p.selectedRows(), p.focusedRow()), marks(start, !inserted));
            VerifyRows(p);
            p.redo();
            QCOMPARE(p.frameList()->paths(), end.paths);
            QCOMPARE(std::pair(p.selectedRows(), p.focusedRow()), marks(end, !removed));
            reveal(!inserted, start.paths.size());
            reveal(!removed, end.paths.size());
        }
        QCOMPARE(static_cast<const QList<QVariantList>&>(revealed), shown);
    }
    // Modified is the history's clean state: undoing or redoing back to what was
    // opened or saved clears it. A command that changes nothing marks the project
    // modified without a step, which no undo clears; saving keeps the history.
    void modifiedFollowsCleanState() {
        Project p;
        const std::map<char, std::function<void()>> ops{
            {'i', [&] { p.insertBlanks(0, 1); }},
            {'u', [&] { p.undo(); }},
            {'r', [&] { p.redo(); }},
            {'b', [&] { p.blankSelection(); }}, // nothing selected
            {'a', [&] { p.saveAs(QFile::encodeName(dir_.filePath("a.fsq"))); }},
            {'s', [&] { p.save(); }}};
        QByteArray seen;
        for (const char op : QByteArray("iiuuuraruurburs")) {
            ops.at(op)();
            seen += p.isModified() ? 'M' : '-';
        }
        QCOMPARE(seen, QByteArray("MMM--M-M-M-MMM-"));
    }
    // File operations in turn on an edited untitled project ("none/": in a
    // missing folder; "settings": settings lines only). A load or save that
    // fails changes nothing and tells the file and the system's reason; New and
    // a load start a new history with the file's rows; saving keeps it.
    void files() {
        auto named = [&](const QString& name) {
            return QFile::encodeName(dir_.filePath(name + ".fsq"));
        };
        WriteFile(dir_.filePath("b.fsq"), "!F 1\n/b.bmp\n\n");
        WriteFile(dir_.filePath("settings.fsq"), "!F 30\r\n!S 100,100\r\n");
        Project p;
        p.changePath(0, "/edited.bmp");
        QSignalSpy replaced(&p, &Project::rowsReplaced);
        using P = ProjectResult;
        const std::pair<QString, P> steps[] = {{"save", P::CannotWrite},
                                               {"load none/a", P::CannotOpen},
                                               {"saveAs none/x", P::CannotWrite},
                                               {"saveAs a", P::Done},
                                               {"load settings", P::NoRowLine},
                                               {"save", P::Done},
                                               {"load b", P::Done},
                                               {"new", P::Done}};
        for (const auto& [op, result] : steps) {
            const QString verb = op.section(' ', 0, 0), file = op.section(' ', 1);
            const auto held = std::pair(StateOf(p), p.settings());
            const bool modified = p.isModified();
            const int count = int(p.undoStack()->count());
            const ProjectResult r = verb == "new"    ? (p.newProject(), P::Done)
                                    : verb == "load" ? p.load(named(file))
                                    : verb == "save" ? p.save()
                                                     : p.saveAs(named(file));
            QCOMPARE(r, result);
            const QString told = ProjectMessage(r, p.lastFailure());
            QCOMPARE(told.contains(QFile::decodeName(named(file))),
                     !file.isEmpty() && r != P::Done && r != P::NoRowLine);
            QCOMPARE(told.contains(QString::fromLocal8Bit(std::strerror(ENOENT))),
                     file.startsWith("none"));
            const bool done = r == P::Done, replacing = done && !verb.startsWith("save");
            if (replacing)
                QCOMPARE(StateOf(p), file == "b" ? "/b.bmp -" : "- - - - - - - - - -");
            else
                QCOMPARE(std::pair(StateOf(p), p.settings()), held);
            QCOMPARE(p.isModified(), modified && !done);
            QCOMPARE(p.undoStack()->count(), replacing ? 0 : count);
            VerifyRows(p);
        }
        QCOMPARE(replaced.size(), 2);
    }
    // A settings step changes only the fields its dialog changed, so that undoing
    // it keeps a path the audio dialog stored without a step; the labels follow.
    // OK without a change marks the project modified, without a step.
    void settingsSteps() {
        Project p;
        p.changeSettings({.fps = 25, .audioEnabled = true});
        ProjectSettings browsed = p.settings();
        browsed.audioPath = "/sounds/\xff.wav";
        p.keepUnconfirmedSettings(browsed);
        p.undo();
        QCOMPARE(p.settings(), ProjectSettings{.audioPath = browsed.audioPath});
        QCOMPARE(p.frameList()->timeLabel(5), QStringLiteral("5 ( 0.63)"));
        p.redo();
        QCOMPARE(p.settings(), browsed);
        QCOMPARE(p.frameList()->timeLabel(5), QStringLiteral("5 ( 0.20)"));
        p.undoStack()->setClean();
        p.changeSettings(p.settings());
        QVERIFY(p.isModified() && p.undoStack()->count() == 1);
    }
    // The picture the movie shows at a row: its own, or the nearest filled row's
    // above (past the end: the last row's); none above a blank row 0. A relative
    // path names a file in the project's folder when one is there, else as written.
    void showRowImage() {
        WriteFile(dir_.filePath("e"), "BM");
        Project p;
        SetState(p, "- b - - e");
        QCOMPARE(p.saveAs(QFile::encodeName(dir_.filePath("p.fsq"))), ProjectResult::Done);
        QSignalSpy images(&p, &Project::showImage);
        for (int row : {3, 9, 0, -1})
            QCOMPARE(p.showRowImage(row), row > 0);
        const QList<QVariantList> shown{{QByteArray("b")}, {QFile::encodeName(dir_.filePath("e"))}};
        QCOMPARE(static_cast<const QList<QVariantList>&>(images), shown);
    }
    // Labels wider than 5 characters, at fps 0, at fps -5 from a file, rounded
    // half away from zero; a path shown decoded.
    void labels() {
        QCOMPARE(TimeLabel(99999, 8), QStringLiteral("99999 (12499.88)"));
        QCOMPARE(TimeLabel(2, 0), QStringLiteral("2 (-1.00)"));
        QCOMPARE(TimeLabel(7, 4294967291u), QStringLiteral("7 ( 0.00)"));
        FrameList list;
        list.insertRowsAt({0, 1}, {"", "/画像/a b.bmp"});
        QCOMPARE(list.index(1, 0).data().toString(), QStringLiteral("1 ( 0.13)"));
        QCOMPARE(list.index(1, 1).data().toString(), QStringLiteral("/画像/a b.bmp"));
    }
};

QTEST_GUILESS_MAIN(TestProject)
#include "tst_project.moc"
