// The project core without a window: every command's effect on rows, marks
// and the undo history, modified as the history's clean state, loading and
// saving, settings steps, the preview's picture, and the frame list model
// under them (time labels, icons, marks moving with their rows).

#include "project_tools.h"

#include "project/UndoSteps.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUndoStack>

#include <cerrno>
#include <cstring>

Q_DECLARE_METATYPE(ProjectResult)

namespace {

const QByteArray H("Vistrom data\r\n");
enum Flag { Unchanged = 0, Modified = 1, Refused = 2 };

// Runs op ("insert 5 3", "paste", ...: a word and its numbers) on p with text:
// the clipboard text, dropped names (comma between) or file list. Answers the
// text a copy or cut gives, and the result.
std::pair<QByteArray, ProjectResult> Run(Project& p, const QByteArray& op, const QByteArray& text,
                                         const QTemporaryDir& dir) {
    const QByteArrayList words = op.split(' ');
    auto n = [&](int i) { return words.value(i).toInt(); };
    const QByteArray& w = words[0];
    if (w == "insert")
        p.insertBlanks(n(1), n(2));
    else if (w == "delete")
        p.deleteSelection();
    else if (w == "blank")
        p.blankSelection();
    else if (w == "clear")
        p.clear();
    else if (w == "goto")
        p.goToRow(n(1));
    else if (w == "range")
        p.addRangeToSelection(n(1), n(2));
    else if (w == "all")
        p.selectAll();
    else if (w == "change")
        p.changePath(n(1), text);
    else if (w == "copy" || w == "cut" || w == "cutblank")
        return {w == "copy"  ? p.copySelection()
                : w == "cut" ? p.cutClosingUp()
                             : p.cutLeavingBlanks(),
                ProjectResult::Done};
    else if (w == "paste" || w == "overwrite")
        return {{}, w == "paste" ? p.pasteInserting(text) : p.pasteOverwriting(text)};
    else if (w == "drop")
        return {{}, p.placeDroppedPaths(text.split(','), n(1), n(2))};
    else if (w == "import")
        return {{},
                p.importFileList(words.size() > 1 ? QFile::encodeName(dir.filePath("none"))
                                                  : WriteFile(dir.filePath("l 画.txt"), text))};
    return {{}, ProjectResult::Done};
}

} // namespace

class TestProject : public QObject {
    Q_OBJECT

private slots:
    // op on before gives after. text is what a paste, drop, import or change
    // takes, or what a copy or cut gives.
    void edits_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("op");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<int>("flags");
        auto e = [](const char* name, const char* before, const char* op, const QByteArray& text,
                    const QByteArray& after, int flags) {
            QTest::newRow(name) << QByteArray(before) << QByteArray(op) << text << after << flags;
        };
        const int M = Modified, U = Unchanged;
        // Blanks (position, count): a position off the list appends; marks move
        // with their rows and the new rows carry none.
        e("insert 3 at row 5", "a b c d e [f*] g [h]", "insert 5 3", {},
          "a b c d e - - - [f*] g [h]", M);
        e("insert inside a selected block", "a [b] [c*] d", "insert 2 2", {}, "a [b] - - [c*] d",
          M);
        e("insert at row 0", "a* b c", "insert 0 1", {}, "- a* b c", M);
        e("insert past the end", "a b c", "insert 100 1", {}, "a b c -", M);
        e("insert at -5", "a b c", "insert -5 2", {}, "a b c - -", M);
        e("insert 0", "a b* c", "insert 1 0", {}, "a b* c", M);
        e("insert into an empty list", "", "insert 0 2", {}, "- -", M);
        // The focus of a removed row passes to the row moving into its place, or
        // to the new last row; that row ends up selected.
        e("delete 0, 1, 4 of 6, focus on 4", "[a] [b] c d [e*] f", "delete", {}, "c d [f*]", M);
        e("delete 0, 1, 4 of 6, focus on 3", "[a] [b] c d* [e] f", "delete", {}, "c [d*] f", M);
        e("delete a block, focus inside", "a b [c] [d*] e f", "delete", {}, "a b [e*] f", M);
        e("delete the last rows", "a b c [d] [e*]", "delete", {}, "a b [c*]", M);
        e("delete nothing selected", "a b c* d", "delete", {}, "a b [c*] d", M);
        e("delete everything", "[a] [b*] [c]", "delete", {}, "", M);
        e("blank two of four", "a [b] c [d*]", "blank", {}, "a [-] c [-*]", M);
        e("blank all already blank", "a [-] [-*]", "blank", {}, "a [-] [-*]", M);
        e("blank a path of one space", "[_*] b", "blank", {}, "[-*] b", M);
        e("blank nothing selected", "a* b", "blank", {}, "a* b", M);
        e("clear", "a [b] c* d e", "clear", {}, "", M);
        e("clear an empty list", "", "clear", {}, "", M);
        const char* marked = "a [b] [c] d* e f";
        e("go to row 0", marked, "goto 0", {}, "a* [b] [c] d e f", U);
        e("go to the row count", marked, "goto 6", {}, marked, U);
        e("go to on an empty list", "", "goto 0", {}, "", U);
        // The range selects F up to T - 1 within the list, added to the marks.
        const char* six = "[a] b* c d e f";
        e("range 2 to 4", six, "range 2 4", {}, "[a] b* [c] [d] e f", U);
        e("range 4 to 2", six, "range 4 2", {}, six, U);
        e("range past the end", six, "range 4 20", {}, "[a] b* c d [e] [f]", U);
        e("range over a selection", six, "range 0 2", {}, "[a] [b*] c d e f", U);
        e("select all", "a [b] c* d", "all", {}, "[a] [b] [c*] [d]", U);
        e("select all on an empty list", "", "all", {}, "", U);
        e("copy nothing selected", "a b c* -", "copy", H, "a b c* -", U);
        e("copy rows 2 and blank 5", "a b [c] d* e [-]", "copy", H + "c\r\n\r\n",
          "a b [c] d* e [-]", U);
        e("cut 0, 1, 4 closing up", "[a] [b] c d [e] f", "cut", H + "a\r\nb\r\ne\r\n", "c d f", M);
        e("cut the only rows closing up", "[a] [b]", "cut", H + "a\r\nb\r\n", "", M);
        e("cut nothing closing up", "a b c", "cut", H, "a b c", M);
        e("cut leaving blanks", "a [c*] [-] [e] f", "cutblank", H + "c\r\n\r\ne\r\n",
          "a [-*] [-] [-] f", M);
        e("cut leaving blanks, all blank", "a [-] [-*]", "cutblank", H + "\r\n\r\n", "a [-] [-*]",
          M);
        // Pasted rows go in at the focus row (or the top) unmarked, splitting a
        // selected run; the focus row moves down with its marks.
        const QByteArray xz = H + "X\r\n\r\nZ\r\n", vz = H + "V\r\n\r\nX\r\nY\r\nZ\r\n";
        e("paste at focus row 3", "a b c [d*] e [g]", "paste", xz, "a b c X - Z [d*] e [g]", M);
        e("paste without focus", "a [b] c", "paste", xz, "X - Z a [b] c", M);
        e("paste inside a selected run", "a [c] [d*] [e]", "paste", xz, "a [c] X - Z [d*] [e]", M);
        e("paste the header alone", "a b* c", "paste", H, "a b* c", M);
        e("paste other text", "a b* c", "paste", "hello\r\n", "a b* c", Refused);
        e("overwrite never grows", "a [b] c d e i* j", "overwrite", vz, "a [b] c d e V* -", M);
        e("overwrite without focus", "a [b] c d e f g", "overwrite", vz, "V [-] X Y Z f g", M);
        e("overwrite the same paths", "a b* c d", "overwrite", H + "b\r\nc\r\n", "a b* c d", M);
        // Dropped names fill rows start + interval x i in drop order, never inserting.
        const char* blanks = "- - - - - - - - - -";
        e("drop at 2 every 3", blanks, "drop 2 3", "/0,/1,/2", "- - /0 - - /1 - - /2 -", M);
        e("drop every 5: the third past the end", blanks, "drop 2 5", "/0,/1,/2",
          "- - /0 - - - - /1 - -", M);
        e("drop every 0: the last name stays", blanks, "drop 4 0", "/0,/1,/2",
          "- - - - /2 - - - - -", M);
        e("drop over filled rows", "a b c", "drop 0 1", "/0,/1", "/0 /1 c", M);
        e("drop on an empty list", "", "drop 0 1", "/0,/1", "", M);
        const QByteArray longName = "/drop/" + QByteArray(2000, 'n');
        e("drop stopped by an item that is no file", "- - - - -", "drop 1 2", longName + ",,/c",
          "- " + longName + " - - -", M | Refused);
        // One row per line of a file, before the focus row or at the top.
        e("import at focus row 2", "a b c* d", "import", "/a\n/b\n", "a b /a /b c* d", M);
        e("import without focus", "a b", "import", "/a\n/b\n", "/a /b a b", M);
        e("import CR LF and empty lines", "a b*", "import", "/a\r\n\n\r\n/d\r\n", "a /a - - /d b*",
          M);
        e("import CR CR LF and a zero byte", "a*", "import", QByteArray("/a\r\r\n/b\0x\n", 10),
          "/a /b a*", M);
        e("import a long line as one row", "a*", "import", longName + "\n", longName + " a*", M);
        e("import an empty file", "a b*", "import", "", "a b*", M);
        e("import no such file", "a b*", "import none", {}, "a b*", Refused);
        e("change a path", "a b [-] [d]", "change 2", "/c/\xff.png", "a b [/c/\xff.png] [d]", M);
        e("change a path to itself", "a b* c", "change 1", "b", "a b* c", M);
        e("change a row that is not there", "a b* c", "change 3", "x", "a b* c", U);
    }
    void edits() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, op);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, after);
        QFETCH(int, flags);
        QTemporaryDir dir; // a folder that is not the current one
        Project p;
        ProjectSettings twelve;
        twelve.fps = 12;
        p.changeSettings(twelve);
        p.undoStack()->clear();
        SetState(p, before);
        const auto [out, result] = Run(p, op, text, dir);
        QCOMPARE(StateOf(p), after);
        QCOMPARE(p.isModified(), bool(flags & Modified));
        QCOMPARE(result != ProjectResult::Done, bool(flags & Refused));
        QCOMPARE(out, op == "copy" || op.startsWith("cut") ? text : QByteArray());
        QCOMPARE(p.settings().fps, 12u);
        VerifyRows(p);
        // One undo step exactly when the rows changed. Its undo brings back the
        // rows and the marks held before, with the rows that came back selected as
        // well; its redo repeats it and brings back the marks it left, with the
        // rows it inserted or changed selected as well. Either names the rows it
        // changed for the view to show.
        const ListState start = ParseState(before), end = ParseState(after);
        QCOMPARE(p.undoStack()->count(), start.paths != end.paths ? 1 : 0);
        if (start.paths == end.paths)
            return;
        const auto* step = static_cast<const RowEditStep*>(p.undoStack()->command(0));
        const Rows rows = step->rows();
        auto joined = [](Rows marked, const Rows& changed) {
            marked += changed;
            std::sort(marked.begin(), marked.end());
            marked.erase(std::unique(marked.begin(), marked.end()), marked.end());
            return marked;
        };
        QSignalSpy revealed(&p, &Project::revealRows);
        const bool inserted = step->kind() == RowEditStep::Kind::Insert;
        const bool removed = step->kind() == RowEditStep::Kind::Remove;
        // The first and last changed row; where rows went, the row now in the
        // first one's place (or the last row); nothing in an empty list.
        auto span = [&](bool there, qsizetype size) {
            const int at = std::min(rows.first(), int(size) - 1);
            return size == 0 ? QList<QVariantList>()
                   : there   ? QList<QVariantList>{{rows.first(), rows.last()}}
                             : QList<QVariantList>{{at, at}};
        };
        QList<QVariantList> shown;
        for (int round = 0; round < 2; ++round) {
            p.undo();
            QCOMPARE(p.frameList()->paths(), start.paths);
            QVERIFY(!p.isModified());
            QCOMPARE(p.selectedRows(), joined(start.selected, inserted ? Rows() : rows));
            QCOMPARE(p.focusedRow(), start.focus);
            VerifyRows(p);
            p.redo();
            QCOMPARE(p.frameList()->paths(), end.paths);
            QCOMPARE(p.selectedRows(), joined(end.selected, removed ? Rows() : rows));
            QCOMPARE(p.focusedRow(), end.focus);
            shown << span(!inserted, start.paths.size()) << span(!removed, end.paths.size());
        }
        QCOMPARE(static_cast<const QList<QVariantList>&>(revealed), shown);
    }
    // A list may be longer than 65535 rows: appending goes to the real end, and a
    // focus on row 65535 inserts there.
    void blanksBeyondRow65535() {
        Project p;
        p.frameList()->resetRows(Numbered(70000));
        SetMarks(p, {}, 65535);
        p.insertBlanks(p.frameList()->size(), 2);
        QVERIFY(p.frameList()->isBlank(70000) && p.frameList()->isBlank(70001));
        p.insertBlanks(p.focusedRow(), 1);
        QVERIFY(p.frameList()->isBlank(65535));
        QCOMPARE(p.frameList()->path(65536), QByteArray("p65535"));
        QCOMPARE(p.focusedRow(), 65536);
    }
    // Modified is the history's clean state: undoing back to what was opened or
    // saved clears it, and redoing back there too. A command that changes nothing
    // marks the project modified without a step, and no undo clears that.
    void modifiedFollowsCleanState() {
        QTemporaryDir dir;
        Project p;
        QSignalSpy modified(&p, &Project::modifiedChanged);
        p.insertBlanks(0, 1);
        p.insertBlanks(0, 1);
        p.undo();
        p.undo();
        QVERIFY(!p.isModified());
        p.undo(); // nothing left to undo changes nothing
        p.redo();
        QCOMPARE(p.saveAs(QFile::encodeName(dir.filePath("a.fsq"))), ProjectResult::Done);
        QVERIFY(!p.isModified());
        p.redo();
        QVERIFY(p.isModified());
        p.undo();
        QVERIFY(!p.isModified()); // back at the saved state
        p.undo();
        QVERIFY(p.isModified()); // before it
        p.redo();
        QCOMPARE(modified.count(), 8);
        QCOMPARE(modified.last()[0].toBool(), false);
        p.blankSelection(); // nothing selected: no step, yet modified for good
        QCOMPARE(p.undoStack()->count(), 2);
        p.undo();
        p.redo();
        QVERIFY(p.isModified());
        QCOMPARE(p.save(), ProjectResult::Done);
        QVERIFY(!p.isModified() && p.undoStack()->canUndo()); // saving keeps the history
    }
    void files_data() {
        // Start: a new project, or a.fsq opened; either edited once. Then one
        // operation on a file: "b" (another project), "settings" (settings
        // lines only), "missing", "none/x" (in a missing folder), "new".
        QTest::addColumn<bool>("opened");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("file");
        QTest::addColumn<ProjectResult>("result");
        QTest::addColumn<QString>("path"); // afterwards; "" untitled
        QTest::addColumn<QByteArray>("rows");
        QTest::addColumn<QString>("message"); // "<file>": the file's path, "<ENOENT>": its reason
        const QByteArray edited("/edited.bmp -"), fresh = QByteArray("- ").repeated(9) + "-";
        auto row = [](const char* name, bool opened, const char* op, const char* file,
                      ProjectResult r, const char* path, const QByteArray& rows,
                      const QString& message = {}) {
            QTest::newRow(name) << opened << op << file << r << path << rows << message;
        };
        using R = ProjectResult;
        const QString cannot = "ファイルが開けませんでした\n<file>\n<ENOENT>",
                      reading = "読み込み中にエラー発生";
        row("new", true, "new", "", R::Done, "", fresh);
        row("load", false, "load", "b", R::Done, "b", "/b.bmp -");
        row("load settings only", true, "load", "settings", R::NoRowLine, "a", edited, reading);
        row("load a missing file", false, "load", "missing", R::CannotOpen, "",
            "/edited.bmp " + fresh.mid(2), cannot);
        row("load an image", true, "load", "image", R::NotText, "a", edited,
            "<file>\nはテキストファイルではないため、プロジェクトとして開けません。");
        row("load a line too long", true, "load", "long", R::LineTooLong, "a", edited,
            "<file>\nの 2 行目が長すぎるため開けません。1行は 65536 バイトまでです。");
        row("save", true, "save", "", R::Done, "a", edited);
        row("save untitled", false, "save", "", R::CannotWrite, "", "/edited.bmp " + fresh.mid(2),
            "ファイルが開けませんでした");
        row("save as", true, "saveAs", "new", R::Done, "new", edited);
        row("save as fails", true, "saveAs", "none/x", R::CannotWrite, "a", edited, cannot);
    }
    void files() {
        QFETCH(bool, opened);
        QFETCH(QString, operation);
        QFETCH(QString, file);
        QFETCH(ProjectResult, result);
        QFETCH(QString, path);
        QTemporaryDir dir;
        auto named = [&](const QString& name) {
            return QFile::encodeName(dir.filePath(name + ".fsq"));
        };
        const QByteArray a = "!F 1\r\n!S 640,480\r\n!X 0\r\n!B 2\r\n!W 0\r\n!D 0\r\n/a.bmp\r\n\r\n";
        WriteFile(dir.filePath("a.fsq"), a);
        WriteFile(dir.filePath("b.fsq"), "!F 1\n/b.bmp\n\n");
        WriteFile(dir.filePath("settings.fsq"), "!F 30\r\n!S 100,100\r\n");
        WriteFile(dir.filePath("image.fsq"), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
        WriteFile(dir.filePath("long.fsq"), "!F 8\n" + QByteArray(65537, 'a') + "\n");
        Project p;
        if (opened)
            QCOMPARE(p.load(named("a")), ProjectResult::Done);
        p.changePath(0, "/edited.bmp");
        QSignalSpy titles(&p, &Project::titleChanged), replaced(&p, &Project::rowsReplaced);
        const ProjectSettings settings = p.settings();
        const ProjectResult r = operation == "new"    ? (p.newProject(), ProjectResult::Done)
                                : operation == "load" ? p.load(named(file))
                                : operation == "save" ? p.save()
                                                      : p.saveAs(named(file));
        QCOMPARE(r, result);
        QFETCH(QString, message);
        message.replace("<file>", QFile::decodeName(named(file)))
            .replace("<ENOENT>", QString::fromLocal8Bit(std::strerror(ENOENT)));
        QCOMPARE(ProjectMessage(r, p.lastFailure()), message);
        QCOMPARE(p.isUntitled(), path.isEmpty());
        QCOMPARE(p.folder(), path.isEmpty() ? QByteArray() : QFile::encodeName(dir.path()));
        QCOMPARE(p.title(),
                 path.isEmpty() ? QStringLiteral("Untitled") : dir.filePath(path + ".fsq"));
        if (!path.isEmpty())
            QCOMPARE(p.path(), named(path));
        QTEST(StateOf(p), "rows");
        // A load or save that fails changes nothing; New and a load start a new
        // history; saving keeps it, unmodified.
        const bool done = r == ProjectResult::Done,
                   replacing = done && !operation.startsWith("save");
        QCOMPARE(p.isModified(), !done);
        QCOMPARE(titles.size(), int(done && operation != "save"));
        QCOMPARE(replaced.size(), int(replacing));
        QCOMPARE(p.undoStack()->count(), int(!replacing));
        if (!replacing)
            QCOMPARE(p.settings(), settings);
        VerifyRows(p);
        QCOMPARE(ReadFile(dir.filePath("a.fsq")),
                 opened && operation == "save" ? QByteArray(a).replace("/a.bmp", "/edited.bmp")
                                               : a);
    }
    // A settings step changes only the fields its dialog changed, so that undoing
    // it keeps a path the audio dialog stored without a step.
    void settingsSteps() {
        Project p;
        ProjectSettings fast = p.settings();
        fast.fps = 25;
        fast.audioEnabled = true;
        p.changeSettings(fast);
        QCOMPARE(p.frameList()->timeLabel(5), QStringLiteral("5 ( 0.20)"));
        VerifyRows(p);
        ProjectSettings browsed = p.settings();
        browsed.audioPath = "/sounds/\xff.wav";
        p.undoStack()->setClean();
        p.keepUnconfirmedSettings(browsed);
        QVERIFY(!p.isModified());
        p.undo();
        ProjectSettings expected;
        expected.audioPath = browsed.audioPath;
        QCOMPARE(p.settings(), expected);
        QCOMPARE(p.frameList()->timeLabel(5), QStringLiteral("5 ( 0.63)"));
        p.redo();
        QCOMPARE(p.settings(), browsed);
        p.undoStack()->setClean();
        p.changeSettings(p.settings()); // OK without a change: modified, no step
        QVERIFY(p.isModified());
        QCOMPARE(p.undoStack()->count(), 1);
    }
    // The picture the movie shows at a row: its own, or the nearest filled row's
    // above; none above a blank row 0. An empty path clears the preview.
    void showRowImage() {
        Project p;
        SetState(p, "- b - - e");
        QSignalSpy images(&p, &Project::showImage);
        for (int row : {4, 3, 9, 0, -1})
            QCOMPARE(p.showRowImage(row), row != 0 && row != -1);
        p.clearPreview();
        QByteArrayList shown;
        for (const QList<QVariant>& signal : images)
            shown << signal[0].toByteArray();
        QCOMPARE(shown, (QByteArrayList{"e", "b", "e", ""}));
        QVERIFY(!p.isModified());
        // Once the project has a file, a relative path names a file in its folder
        // when one is there, else the current folder's.
        QTemporaryDir dir;
        WriteFile(dir.filePath("e"), "BM");
        QCOMPARE(p.saveAs(QFile::encodeName(dir.filePath("p.fsq"))), ProjectResult::Done);
        images.clear();
        p.showRowImage(4);
        p.showRowImage(1);
        p.newProject();
        SetState(p, "e");
        p.showRowImage(0);
        QCOMPARE(images.size(), 4); // New clears the preview
        QCOMPARE(images[0][0].toByteArray(), QFile::encodeName(dir.filePath("e")));
        QCOMPARE(images[1][0].toByteArray(), QByteArray("b"));
        QCOMPARE(images[2][0].toByteArray(), QByteArray());
        QCOMPARE(images[3][0].toByteArray(), QByteArray("e"));
    }
    // A fixed random run of every kind of row edit, undone to the start and redone
    // to the end, passes exactly the lists seen on the way.
    void undoAllRedoAllAfterRandomEdits() {
        Project p;
        p.frameList()->resetRows(Numbered(30));
        QRandomGenerator random(20260206);
        QTemporaryDir dir;
        QByteArray clip = H + "/c\r\n\r\n";
        // The first three shrink the list, the last three grow it.
        const char* ops[] = {"delete",   "cut",      "cutblank",   "blank", "overwrite",
                             "change R", "drop R K", "insert R K", "paste"};
        QList<Paths> states{p.frameList()->paths()};
        for (int n = 0; n < 120; ++n) {
            const int size = p.frameList()->size(), r = random.bounded(size);
            Rows marked;
            for (int i = 0; i < size; ++i)
                if (random.bounded(4) == 0)
                    marked << i;
            SetMarks(p, marked, int(random.bounded(size + 1)) - 1);
            QByteArray op(ops[random.bounded(size < 15 ? 3 : 0, size > 60 ? 6 : 9)]);
            op.replace('R', QByteArray::number(r)).replace('K', QByteArray::number(r % 3 + 1));
            const QByteArray out =
                Run(p, op, op == "paste" || op == "overwrite" ? clip : "/d,/e", dir).first;
            clip = op.startsWith("cut") ? out : clip;
            if (p.undoStack()->count() == states.size())
                states << p.frameList()->paths();
        }
        QVERIFY(states.size() > 50);
        QList<Paths> walked{p.frameList()->paths()};
        for (qsizetype k = 1; k < states.size(); ++k)
            walked.prepend((p.undo(), p.frameList()->paths()));
        for (qsizetype k = 1; k < states.size(); ++k)
            walked << (p.redo(), p.frameList()->paths());
        QCOMPARE(walked, states + states.mid(1));
        VerifyRows(p);
    }
    // "row fps label;...": 0.125 goes away from zero, the field widens past
    // 5 characters, fps 0 gives -1, fps -5 from a file is taken unsigned.
    void timeLabel() {
        const QStringList rows =
            QStringLiteral("0 8 0 ( 0.00);1 8 1 ( 0.13);9 8 9 ( 1.13);99999 8 99999 (12499.88);"
                           "1 1 1 ( 1.00);100 1 100 (100.00);3 40 3 ( 0.08);5 40 5 ( 0.13);"
                           "39 40 39 ( 0.98);2 3 2 ( 0.67);0 0 0 (-1.00);2 0 2 (-1.00);"
                           "7 4294967291 7 ( 0.00);100000 4294967291 100000 ( 0.00)")
                .split(';');
        for (const QString& row : rows) {
            const QStringList f = row.split(' ');
            QCOMPARE(TimeLabel(f[0].toLong(), f[1].toUInt()),
                     row.mid(f[0].size() + f[1].size() + 2));
        }
    }
    // What the list shows: labels at its frame rate, the path decoded and as
    // bytes, icons (empty until the rows are renumbered; a blank character is a
    // path), rows never edited in place; insertion past the end appends.
    void listModel() {
        FrameList list;
        list.insertRowsAt({0, 1, 2, 3}, {"/画像/a b.bmp", "", " ", "/d"});
        QCOMPARE(list.icon(0), FrameList::EmptyIcon);
        list.renumberRows();
        QCOMPARE((QList<int>{list.icon(0), list.icon(1), list.icon(2)}),
                 (QList<int>{FrameList::FilledIcon, FrameList::BlankIcon, FrameList::FilledIcon}));
        list.setPaths({0, 1}, {"", "/b"}); // in place: the icons follow at once
        QCOMPARE(list.index(0, 0).data(FrameList::IconRole).toInt(), int(FrameList::BlankIcon));
        QCOMPARE(list.icon(1), FrameList::FilledIcon);
        list.setPaths({3}, {"/画像/a b.bmp"});
        QCOMPARE(list.index(3, 1).data().toString(), QStringLiteral("/画像/a b.bmp"));
        QCOMPARE(list.index(3, 1).data(FrameList::PathBytesRole).toByteArray(), list.path(3));
        QCOMPARE(list.index(3, 0).data().toString(), QStringLiteral("3 ( 0.38)"));
        list.setFps(1);
        QCOMPARE(list.index(3, 0).data().toString(), QStringLiteral("3 ( 3.00)"));
        QVERIFY(!(list.flags(list.index(0, 1)) & Qt::ItemIsEditable));
        FrameList empty; // an empty list takes every operation
        empty.renumberRows();
        empty.removeRowsAt({});
        empty.insertRowsAt({}, {});
        list.resetRows(Paths(70000));
        list.insertRowsAt({70000, 70005}, {"/last.bmp", "/after.bmp"});
        QCOMPARE(list.paths().mid(70000), (Paths{"/last.bmp", "/after.bmp"}));
    }
};

QTEST_GUILESS_MAIN(TestProject)
#include "tst_project.moc"
