// What the main window adds to the project's commands: how they are
// reached, what they ask and what each answer does, drops, the panes.

#include "imaging/BmpFixtures.h"
#include "project_tools.h"
#include "scripted_dialogs.h"

#include "app/Application.h"
#include "dialogs/AboutDialog.h"
#include "imaging/PluginLoader.h"
#include "ui/ConversionCommand.h"
#include "ui/FrameListPrinting.h"
#include "ui/FrameListView.h"
#include "ui/MainWindow.h"
#include "ui/PreviewPane.h"

#include <QSignalSpy>
#include <QtPrintSupport>
#include <QtWidgets>

namespace {

const QByteArray H("Vistrom data\r\n");

// A window on its own project, its dialogs answered by script.
struct Window {
    ScriptedDialogs dialogs;
    Project project;
    MainWindow window{&project, &dialogs};
    FrameListView* list = window.listView();
    QByteArrayList images; // each image the project asked to show

    Window() {
        QObject::connect(&project, &Project::showImage,
                         [this](const QByteArray& path) { images << path; });
    }
    void trigger(Command id) { window.commandAction(id)->trigger(); }
    bool show() {
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }
    // What was asked or shown: "value <first>/<largest>", "question", ...
    QStringList asked() const {
        QStringList kinds;
        for (const QString& line : dialogs.log)
            kinds << line.section(':', 0, 0);
        return kinds;
    }
    QPoint centre(int row) const { return list->visualRect(list->model()->index(row, 1)).center(); }
};

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    // Every command is reached from a menu or a key and has its handler (the
    // three keys taken to do nothing aside); no key is bound twice, the list's
    // own keys to the list only; the list's context menu holds Edit menu
    // actions. Undo and redo are available exactly when there is a step.
    void commandTable() {
        Window w;
        QList<QKeySequence> listKeys;
        for (const char* key : {"Space", "Del", "Return", "Enter", "Shift+Return", "Shift+Enter"})
            listKeys << QKeySequence(key);
        QSet<QKeySequence> bound;
        QHash<QAction*, Menu> placed;
        const QList<QAction*> bar = w.window.menuBar()->actions();
        for (int m = 0; m < bar.size(); ++m)
            for (QAction* a : bar[m]->menu()->actions())
                placed.insert(a, MenuTable()[m].menu);
        for (const CommandEntry& e : CommandTable()) {
            if (e.id == Command::Separator)
                continue;
            QAction* a = w.window.commandAction(e.id);
            const QList<QKeySequence> keys = CommandKeys(e);
            QVERIFY2(e.menu == Menu::None ? !keys.isEmpty() : placed.value(a) == e.menu, e.text);
            const bool taken =
                QList{Command::CutKey, Command::CopyKey, Command::PasteKey}.contains(e.id);
            QVERIFY2(w.window.handles(e.id) != taken, e.text);
            QCOMPARE(a->isEnabled(), e.id != Command::Undo && e.id != Command::Redo);
            for (const QKeySequence& key : keys) {
                QVERIFY2(!bound.contains(key), qPrintable(key.toString()));
                bound.insert(key);
                QCOMPARE(listKeys.contains(key), e.scope == KeyScope::List);
            }
        }
        const QList<QAction*> context = w.list->contextMenu()->actions();
        QCOMPARE(context.size(), qsizetype(ListContextMenu().size()));
        for (QAction* a : context)
            QVERIFY(a->isSeparator() || placed.value(a, Menu::None) == Menu::Edit);
        QAction* undo = w.window.commandAction(Command::Undo);
        QAction* redo = w.window.commandAction(Command::Redo);
        w.project.insertBlanks(0, 3);
        undo->trigger();
        QVERIFY(!undo->isEnabled() && redo->isEnabled());
        redo->trigger();
        QVERIFY(undo->isEnabled() && !redo->isEnabled());
    }

    // A key typed into the list, a list command or files dropped: what it
    // asks (files in the project's folder), what each answer does (Cancel:
    // nothing), the image shown, the clipboard ("/p" before). A key runs its
    // command once: list keys before shortcuts, the table's own keys and
    // in-place editing never. Dropped images (by name or bytes) go to the
    // list, another file opens as a project; a non-local item stops a drop.
    void listCommands_data() {
        QTest::addColumn<QString>("key"); // empty: the command
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<QByteArrayList>("shown");
        QTest::addColumn<QByteArray>("copied"); // null: unchanged
        const char* abcd = "a [b] [c*] d";
        auto key = [abcd](const char* k, const char* after, const QStringList& answers = {},
                          const QStringList& asked = {}, const QByteArrayList& shown = {},
                          const QByteArray& copied = {}) {
            QTest::newRow(k) << QString(k) << 0 << QByteArray(abcd) << answers << QByteArray(after)
                             << asked << shown << copied;
        };
        auto cmd = [](const char* name, Command id, const char* before, const QStringList& answers,
                      const char* after, const QStringList& asked) {
            QTest::newRow(name) << QString() << int(id) << QByteArray(before) << answers
                                << QByteArray(after) << asked << QByteArrayList() << QByteArray();
        };
        const QByteArray bc = H + "b\r\nc\r\n";
        key("Space", "a [-] [-*] d");
        key("Del", "a [d*]");
        key("Ctrl+D", "a [d*]");
        key("Return", abcd, {}, {}, {"b"});
        key("Num+Enter", abcd, {}, {}, {"b"});
        key("Shift+Return", abcd, {"file-"}, {"file"});
        key("Ctrl+A", "a [b] [c*] d -", {"1"}, {"value 1/1000"});
        key("Ctrl+Shift+A", "[a] [b] [c*] [d]");
        key("Ctrl+C", abcd, {}, {}, {}, bc);
        key("Ctrl+X", "a d*", {}, {}, {}, bc);
        key("Ctrl+Y", "a [-] [-*] d", {}, {}, {}, bc);
        key("Ctrl+V", "a [b] /p [c*] d");
        key("Ctrl+W", "a [b] [/p*] d");
        key("Ctrl+Z", abcd);
        key("Ctrl+Shift+Z", "a [b] [c*] d [-]");
        key("End", "a b c [d*]");
        key("Shift+Home", "[a*] [b] [c] d");
        using C = Command;
        const QStringList count{"value 1/1000"}, range{"value 0/2", "value 0/3"};
        cmd("append", C::AddBlanksAtEnd, "a b* c", {"2"}, "a b* c - -", count);
        cmd("append cancelled", C::AddBlanksAtEnd, "a b* c", {"-"}, "a b* c", count);
        cmd("insert at the focus", C::InsertBlanksHere, "a b* c", {"2"}, "a - - b* c", count);
        cmd("insert without focus", C::InsertBlanksHere, "a [b] c", {"1"}, "a [b] c -", count);
        cmd("go to", C::GoToRow, "a [b] c*", {"0"}, "a* [b] c", {"value 0/2"});
        cmd("go to on an empty list", C::GoToRow, "", {"0"}, "", {"value 0/0"});
        cmd("range", C::AddRangeToSelection, "a b* c", {"0", "2"}, "[a] [b*] c", range);
        cmd("range, end cancelled", C::AddRangeToSelection, "a b* c", {"0", "-"}, "a b* c", range);
        cmd("clear, Yes", C::ClearAll, "a [b] c*", {"yes"}, "", {"question"});
        cmd("clear, dismissed", C::ClearAll, "a [b] c*", {"dismiss"}, "a [b] c*", {"question"});
        cmd("drag and drop", C::ExplainDragAndDrop, "a", {}, "a", {"message"});
        cmd("import, no such file", C::ImportFileList, "a", {"file:/none/l.txt"}, "a",
            {"file", "message"});
        cmd("change", C::ChangeImage, "a [b] [c]", {"file:/n"}, "a [/n] [c]", {"file"});
        cmd("change nothing selected", C::ChangeImage, "a b* c", {}, "a b* c", {});
        // "drop <at> <names>": files of the test folder ("<d>") dropped on a
        // row, below the rows (-1) or on the window (-2); "-" no local file.
        auto drop = [](const char* name, const char* how, const QStringList& answers,
                       const char* after, const QStringList& asked,
                       const QByteArrayList& shown = {}) {
            QTest::newRow(name) << QString(how) << 0 << QByteArray("-* - - - -") << answers
                                << QByteArray(after) << asked << shown << QByteArray();
        };
        const QString every = count[0];
        drop("two files on row 1", "drop 1 a.bmp b.bmp", {"1", "2"}, "-* <d>a.bmp - <d>b.bmp -",
             {"value 1/4", every});
        drop("one file below the rows", "drop -1 a.bmp", {"4"}, "-* - - - <d>a.bmp", {"value 4/4"});
        drop("start cancelled", "drop 3 a.bmp b.bmp", {"-"}, "-* - - - -", {"value 3/4"});
        drop("interval cancelled", "drop 0 a.bmp b.bmp", {"0", "-"}, "-* - - - -",
             {"value 0/4", every});
        drop("no local file", "drop 0 a.bmp - c.bmp", {"0", "1"}, "<d>a.bmp* - - - -",
             {"value 0/4", every, "message"});
        drop("past the last row", "drop 2 0 1 2 3", {"2", "2"}, "-* - <d>0 - <d>1",
             {"value 2/4", every, "message"});
        drop("an image by its name", "drop -2 a.PNG", {"1"}, "-* <d>a.PNG - - -", {"value 4/4"});
        drop("images by their bytes", "drop -2 shot b.bmp", {"0", "2"}, "<d>shot* - <d>b.bmp - -",
             {"value 4/4", every});
        drop("an image, cancelled", "drop -2 a.png", {"-"}, "-* - - - -", {"value 4/4"});
        drop("a project", "drop -2 p.fsq", {}, "/p.bmp", {}, {""}); // opening clears the preview
        drop("a file that is not text", "drop -2 data.bin a.png", {}, "-* - - - -", {"message"});
    }
    void listCommands() {
        QFETCH(QString, key);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, copied);
        QTest::failOnWarning(QRegularExpression(QStringLiteral("[Aa]mbiguous")));
        const QByteArray onClipboard = H + "/p\r\n";
        QGuiApplication::clipboard()->setText(QString::fromUtf8(onClipboard));
        QTemporaryDir dir;
        WriteFile(dir.filePath("shot"), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
        WriteFile(dir.filePath("p.fsq"), "!F 1\n/p.bmp\n");
        WriteFile(dir.filePath("data.bin"), QByteArray(100, '\0'));
        Window w;
        QCOMPARE(w.project.saveAs(QFile::encodeName(dir.filePath("q.fsq"))), ProjectResult::Done);
        SetState(w.project, before);
        if (key.endsWith('Z')) // a step to undo; with Shift, that step undone
            w.project.insertBlanks(4, 1);
        if (key.endsWith("Shift+Z"))
            w.project.undo();
        QFETCH(QStringList, answers);
        w.dialogs.script(answers);
        QSignalSpy activated(w.list, &QAbstractItemView::activated);
        QFETCH(int, command);
        if (key.isEmpty()) {
            w.trigger(Command(command));
        } else if (key.startsWith("drop")) { // Move proposed: always a copy
            QVERIFY(w.show());
            QList<QUrl> urls;
            for (const QString& f : key.section(' ', 2).split(' '))
                urls << (f == "-" ? QUrl("https://example.org/b.bmp")
                                  : QUrl::fromLocalFile(dir.filePath(f)));
            QMimeData mime;
            mime.setUrls(urls);
            const int at = key.section(' ', 1, 1).toInt();
            QWidget* target = at == -2 ? &w.window : w.list->viewport();
            const QPoint point = at >= 0 ? w.centre(at) : QPoint(10, target->height() - 5);
            const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
            QDragEnterEvent enter(point, offered, &mime, Qt::LeftButton, Qt::ShiftModifier);
            QApplication::sendEvent(target, &enter);
            QVERIFY(enter.isAccepted() && enter.dropAction() == Qt::CopyAction);
            QDropEvent drop(point, offered, &mime, Qt::LeftButton, Qt::ShiftModifier);
            QApplication::sendEvent(target, &drop);
            QCOMPARE(drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction,
                     answers.contains("-") ? Qt::IgnoreAction : Qt::CopyAction);
            if (at > -2) // the list's messages come to the front
                QCOMPARE(w.dialogs.foreground, QList<bool>(w.dialogs.foreground.size(), true));
            if (key.endsWith("2 3")) // two names past the last row, row 4
                QVERIFY(w.dialogs.log.last().contains(" 2 ") &&
                        w.dialogs.log.last().contains("(4)"));
        } else {
            QVERIFY(w.show());
            w.window.activateWindow();
            w.list->setFocus();
            QTRY_VERIFY(w.list->hasFocus());
            const QKeyCombination typed = QKeySequence(key, QKeySequence::PortableText)[0];
            QTest::keyClick(w.list, typed.key(), typed.keyboardModifiers());
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.list));
        }
        QFETCH(QByteArray, after);
        QCOMPARE(StateOf(w.project), after.replace("<d>", QFile::encodeName(dir.path() + '/')));
        QTEST(w.asked(), "asked");
        QCOMPARE(w.dialogs.unexpected, 0);
        QCOMPARE(w.project.isModified(), ParseState(before).paths != ParseState(after).paths &&
                                             w.project.path().endsWith("q.fsq"));
        for (const UserDialogs::FileRequest& request : w.dialogs.fileRequests)
            QCOMPARE(request.startFolder, QFile::encodeName(dir.path()));
        QTEST(w.images, "shown");
        QCOMPARE(QGuiApplication::clipboard()->mimeData()->data("text/plain"),
                 copied.isNull() ? onClipboard : copied);
        QVERIFY(w.list->findChildren<QLineEdit*>().isEmpty());
        QCOMPARE(activated.count(), 0);
    }

    // The File commands, Exit and a command line's path (command 0, the last
    // answer, relative to sub/) on an edited project, untitled or
    // sub/current.fsq: unsaved changes (Yes saves first; dismissing or a
    // failed save calls the command off), a write-protected file, failures,
    // the title. Answers name .fsq files; "gone" removes sub/, "protect"
    // makes current.fsq read-only, "protect-other" other.fsq.
    void fileCommands_data() {
        QTest::addColumn<bool>("opened");
        QTest::addColumn<int>("command");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QString>("path"); // "": untitled
        QTest::addColumn<bool>("modified");
        QTest::addColumn<QStringList>("asked");
        auto row = [](const char* name, bool opened, Command command, const QStringList& answers,
                      const char* path, bool modified, const QStringList& asked) {
            QTest::newRow(name) << opened << int(command) << answers << QString(path) << modified
                                << asked;
        };
        using C = Command;
        const C given = C::Separator;
        const QString q = "question", f = "file", m = "message";
        const char* sub = "sub/current";
        row("New, Yes, saved", false, C::NewProject, {"yes", "file:new"}, "", false, {q, f});
        row("Open, dismissed", true, C::OpenProject, {"dismiss"}, sub, true, {q});
        row("Open, No", true, C::OpenProject, {"no", "file:other"}, "other", false, {q, f});
        row("Open fails", true, C::OpenProject, {"no", "file:settings"}, sub, true, {q, f, m});
        row("Yes, save fails", false, C::OpenProject, {"yes", "file:none/x"}, "", true, {q, f, m});
        row("Save untitled: Save As", false, C::SaveProject, {"file:new"}, "new", false, {f});
        row("Save fails", true, C::SaveProject, {"gone"}, sub, true, {m});
        row("Save write-protected, Yes", true, C::SaveProject, {"protect", "yes"}, sub, false, {q});
        row("Save As over write-protected, dismissed", false, C::SaveProjectAs,
            {"protect-other", "file:other", "dismiss"}, "", true, {f, q});
        row("Exit, dismissed", true, C::Exit, {"dismiss"}, sub, true, {q});
        row("Exit, No", true, C::Exit, {"no"}, sub, true, {q});
        row("path given, No", true, given, {"no", "../other"}, "other", false, {q});
        row("path given, dismissed", true, given, {"dismiss", "../other"}, sub, true, {q});
        row("path missing", true, given, {"no", "missing"}, sub, true, {q, m});
        row("no path given", false, given, {""}, "", true, {});
    }
    void fileCommands() {
        QFETCH(bool, opened);
        QFETCH(int, command);
        QFETCH(QStringList, answers);
        QFETCH(QString, path);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        const QString current = dir.filePath("sub/current.fsq");
        WriteFile(current, "!F 1\n/a.bmp\n");
        WriteFile(dir.filePath("other.fsq"), "!F 1\n/other.bmp\n");
        WriteFile(dir.filePath("settings.fsq"), "!F 30\n");
        Window w;
        w.window.show();
        if (opened)
            QCOMPARE(w.project.load(QFile::encodeName(current)), ProjectResult::Done);
        w.project.changePath(0, "/edited.bmp");
        const QString working = QDir::currentPath();
        QDir::setCurrent(dir.filePath("sub"));
        if (answers.removeAll("gone"))
            QVERIFY(QDir(dir.filePath("sub")).removeRecursively());
        const bool protect = answers.removeAll("protect");
        if (protect)
            QVERIFY(QFile::setPermissions(current, QFileDevice::ReadOwner));
        if (answers.removeAll("protect-other"))
            QVERIFY(QFile::setPermissions(dir.filePath("other.fsq"), QFileDevice::ReadOwner));
        const QByteArray before = ReadAll(current);
        for (QString& a : answers)
            if (a.startsWith("file:"))
                a = "file:" + dir.filePath(a.mid(5) + ".fsq");
        const QString given = command == 0 ? answers.takeLast() : QString();
        w.dialogs.script(answers);
        if (command == 0)
            OpenStartProject(w.window, QFile::encodeName(given.isEmpty() ? given : given + ".fsq"));
        else
            w.trigger(Command(command));
        QDir::setCurrent(working);
        QTEST(w.asked(), "asked");
        QCOMPARE(w.dialogs.unexpected, 0);
        for (const UserDialogs::FileRequest& r : w.dialogs.fileRequests) {
            QCOMPARE(r.save, command != int(Command::OpenProject) || answers.startsWith("yes"));
            // The project's folder; untitled, the seam's last used folder.
            QCOMPARE(r.startFolder, opened ? QFile::encodeName(dir.filePath("sub")) : QByteArray());
        }
        QCOMPARE(w.window.windowTitle(),
                 (path.isEmpty() ? QStringLiteral("Untitled") : dir.filePath(path + ".fsq")) +
                     QStringLiteral("- Vistrom"));
        QTEST(w.project.isModified(), "modified");
        // Closing the window: only after No (or a save that went through).
        QCOMPARE(w.window.isVisible(), command != int(Command::Exit) || !answers.contains("no"));
        if (answers.contains("file:" + dir.filePath("new.fsq")))
            QVERIFY(ReadAll(dir.filePath("new.fsq")).contains("\r\n/edited.bmp\r\n"));
        // A write-protected file is replaced only after a Yes, and stays protected.
        if (protect) {
            QCOMPARE(ReadAll(current).contains("/edited.bmp"), !w.project.isModified());
            QVERIFY(!(QFile::permissions(current) &
                      (QFileDevice::WriteOwner | QFileDevice::WriteOther)));
        } else if (path == "sub/current") {
            QCOMPARE(ReadAll(current), before);
        }
    }

    // One window walked through what it adds beside the commands' questions.
    void walk() {
        // The About box closes on OK.
        AboutDialog about;
        auto* buttons = about.findChild<QDialogButtonBox*>();
        QTimer::singleShot(0, buttons->button(QDialogButtonBox::Ok), &QPushButton::click);
        QCOMPARE(about.exec(), int(QDialog::Accepted));
        // Every page printed is counted; a print to file goes beside the
        // project under its name (untitled: in the home folder).
        QTemporaryDir dir;
        FrameList rows;
        rows.resetRows(Paths(300) << "/images/" + QByteArray(600, 'x') + ".bmp");
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFileName(dir.filePath("p.pdf"));
        const int pages = PrintFrameRows(&printer, rows, QStringLiteral("/p/title.fsq"));
        const QByteArray pdf = ReadAll(dir.filePath("p.pdf"));
        QVERIFY(pages > 1);
        QCOMPARE(pdf.count("/Type /Page\n") + pdf.count("/Type /Page/") + pdf.count("/Type /Page "),
                 pages);
        const QByteArray here = WriteFile(dir.filePath("here.bmp"), "BM");
        WriteFile(dir.filePath("p.v2.fsq"), "!F 1\nhere.bmp\ncoming.bmp\n" + here + "\n\n");
        Window w;
        QCOMPARE(w.window.printFileName(), QDir::home().filePath(w.project.title() + ".pdf"));
        QCOMPARE(w.project.load(QFile::encodeName(dir.filePath("p.v2.fsq"))), ProjectResult::Done);
        QPrintDialog print(&printer, &w.window);
        w.window.preparePrintDialog(print);
        auto* file = print.findChild<QLineEdit*>("filename");
        QVERIFY(file);
        QCOMPARE(file->text(), dir.filePath("p.v2.pdf"));
        // The list 400 wide, the preview collapsed; a header click sorts
        // nothing. Blank, filled and missing rows show three icons (relative
        // paths in the project's folder, rechecked on activation); F6 and
        // Shift+F6 switch panes.
        QVERIFY(w.show());
        QCOMPARE(w.window.splitter()->sizes(), (QList<int>{400, 0}));
        const Paths paths = w.project.frameList()->paths();
        QTest::mouseClick(w.list->horizontalHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(150, 5));
        QCOMPARE(w.project.frameList()->paths(), paths);
        QVERIFY(w.project.selectedRows().isEmpty());
        const auto icon = [&](int row) {
            const QRect cell = w.list->visualRect(w.list->model()->index(row, 0));
            return w.list->viewport()
                ->grab(QRect(cell.topLeft(), QSize(22, cell.height())))
                .toImage();
        };
        const QImage blank = icon(3);
        QVERIFY(blank != icon(0));
        QCOMPARE(icon(0), icon(2));
        QVERIFY(icon(1) != icon(0) && icon(1) != blank);
        WriteFile(dir.filePath("coming.bmp"), "BM");
        QVERIFY(icon(1) != icon(0));
        QEvent activated(QEvent::WindowActivate);
        QApplication::sendEvent(&w.window, &activated);
        QCOMPARE(icon(1), icon(0));
        w.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        w.list->setFocus();
        w.trigger(Command::NextPane);
        QVERIFY(w.window.preview()->hasFocus());
        w.trigger(Command::PreviousPane);
        QVERIFY(w.list->hasFocus());
        // A right click shows the row's image (a blank row's: the one above),
        // a left click clears it and selects, a double click changes it;
        // below the rows, nothing. Shift with the right button, the menu key
        // or Shift+F10 opens the context menu.
        QWidget* area = w.list->viewport();
        w.images.clear(); // the opening's clearing
        QTest::mouseClick(area, Qt::RightButton, {}, w.centre(3));
        QTest::mouseClick(area, Qt::LeftButton, {}, w.centre(1));
        QCOMPARE(w.images, (QByteArrayList{here, ""}));
        QCOMPARE(w.project.selectedRows(), Rows{1});
        w.dialogs.files << "/chosen/new.bmp";
        QTest::mouseDClick(area, Qt::LeftButton, {}, w.centre(2));
        QCOMPARE(w.project.frameList()->path(2), QByteArray("/chosen/new.bmp"));
        const QPoint below(10, w.list->visualRect(w.list->model()->index(3, 0)).bottom() + 40);
        w.images.clear();
        QTest::mouseClick(area, Qt::RightButton, {}, below);
        QTest::mouseDClick(area, Qt::LeftButton, {}, below);
        w.images.removeAll(QByteArray()); // the left button's clearing
        QTest::mousePress(area, Qt::RightButton, Qt::ShiftModifier, w.centre(0));
        QTest::mouseRelease(area, Qt::RightButton, Qt::ShiftModifier, w.centre(0));
        QVERIFY(w.images.isEmpty());
        QCOMPARE(w.dialogs.fileRequests.size(), 1);
        QMenu* menu = w.list->contextMenu();
        auto context = [&](QContextMenuEvent::Reason reason, Qt::KeyboardModifiers modifiers) {
            QContextMenuEvent event(reason, w.centre(1), area->mapToGlobal(w.centre(1)), modifiers);
            QApplication::sendEvent(area, &event);
            const bool shown = menu->isVisible();
            menu->hide();
            return shown;
        };
        QVERIFY(!context(QContextMenuEvent::Mouse, {}));
        QVERIFY(context(QContextMenuEvent::Mouse, Qt::ShiftModifier));
        QVERIFY(context(QContextMenuEvent::Keyboard, {}));
        QTest::keyClick(w.list, Qt::Key_F10, Qt::ShiftModifier);
        QVERIFY(menu->isVisible());
        menu->hide();
        // A settings dialog's OK is one step, Cancel none, but what Browse
        // stored stays, unmodified; audio from the project's folder. The
        // preview turns a photo by its tag while the setting says so.
        const int steps = w.project.undoStack()->count();
        w.dialogs.frameRateDialog = [](ProjectSettings& s) { return s.fps = 10, true; };
        w.trigger(Command::FrameRateAndSize);
        QCOMPARE(w.project.settings().fps, 10u);
        w.dialogs.audioDialog = [](ProjectSettings& s) { return s.audioPath = "/s.wav", false; };
        w.project.undoStack()->setClean();
        w.trigger(Command::AudioSettings);
        QCOMPARE(w.project.settings().audioPath, QByteArray("/s.wav"));
        QVERIFY(!w.project.isModified());
        w.dialogs.frameRateDialog = [](ProjectSettings& s) { return s.fps = 1, false; };
        w.trigger(Command::FrameRateAndSize);
        QCOMPARE(w.project.settings().fps, 10u);
        QCOMPARE(w.project.undoStack()->count(), steps + 1);
        QCOMPARE(w.dialogs.audioFolders, QByteArrayList{QFile::encodeName(dir.path())});
        const QByteArray photo = fixtures::QtFile(32, 16, std::vector<uint32_t>(32 * 16), "jpeg");
        w.project.changePath(
            0, WriteFile(dir.filePath("portrait.jpg"), fixtures::WithExif(photo, 6, false)));
        w.project.showRowImage(0);
        const PixelBuffer& shown = w.window.preview()->picture();
        QCOMPARE(QSize(shown.width(), shown.height()), QSize(32, 16));
        w.dialogs.frameRateDialog = [](ProjectSettings& s) { return s.applyOrientation = true; };
        w.trigger(Command::FrameRateAndSize);
        QCOMPARE(QSize(shown.width(), shown.height()), QSize(16, 32));
        w.project.undo();
        QCOMPARE(QSize(shown.width(), shown.height()), QSize(32, 16));
        // The image dialog offers a format's filter entry only while its
        // plug-in loads from the folder searched: each adds an entry naming it.
        SetMarks(w.project, {1}, 1);
        auto entries = [&](const QStringList& plugins) {
            QTemporaryDir folder;
            for (const QString& plugin : plugins)
                QFile::link(VISTROM_BIN_DIR "/" + plugin, folder.filePath(plugin));
            SetPluginSearchDirsForTesting(std::vector<std::string>{folder.path().toStdString()});
            w.dialogs.files << std::nullopt;
            w.trigger(Command::ChangeImage);
            SetPluginSearchDirsForTesting(std::nullopt);
            return w.dialogs.fileRequests.last().filter.split('|');
        };
        const QStringList plugins = QDir(VISTROM_BIN_DIR).entryList({"if*.spi"});
        const QStringList bare = entries({});
        for (const QString& plugin : plugins) {
            QStringList added = entries({plugin});
            for (const QString& entry : bare)
                added.removeOne(entry);
            QCOMPARE(added.size(), 2); // a description and its patterns
            QVERIFY2(added[0].contains(plugin.mid(2, plugin.size() - 6), Qt::CaseInsensitive),
                     qPrintable(plugin));
        }
        QCOMPARE(entries(plugins).size(), bare.size() + 2 * plugins.size());
        // The label column fits every label as rows or the frame rate change,
        // the path column the rest. Go to shows its row; deleting scattered
        // rows keeps the list where it was; undo and redo show what changed.
        w.window.resize(420, 300);
        FrameListView* list = w.list;
        const auto fits = [&] {
            QStyleOptionViewItem option;
            option.initFrom(list);
            option.widget = list;
            const int last = list->model()->rowCount() - 1;
            for (int row = 9; row / 10 <= last; row = row * 10 + 9) { // 9, 99, ... and the last
                const QModelIndex label = list->model()->index(std::min(row, last), 0);
                QVERIFY2(list->itemDelegate()->sizeHint(option, label).width() <=
                             list->columnWidth(0),
                         qPrintable(label.data().toString()));
            }
            QTRY_COMPARE(list->columnWidth(0) + list->columnWidth(1), list->viewport()->width());
            QVERIFY(!list->horizontalScrollBar()->isVisible());
        };
        fits();
        w.project.insertBlanks(5, 996);
        fits();
        w.dialogs.frameRateDialog = [](ProjectSettings& s) { return s.fps = 1, true; };
        w.trigger(Command::FrameRateAndSize);
        fits();
        Paths numbered; // p0 .. p99999
        for (int i = 0; i < 100000; ++i)
            numbered << "p" + QByteArray::number(i);
        w.project.frameList()->resetRows(numbered);
        fits();
        const auto inView = [&](int row) {
            return list->viewport()->rect().contains(
                list->visualRect(list->model()->index(row, 0)));
        };
        // Past row 65535: blanks go in at the focus row, and at the real end.
        w.dialogs.script({"65535", "1", "2"});
        for (const Command id :
             {Command::GoToRow, Command::InsertBlanksHere, Command::AddBlanksAtEnd})
            w.trigger(id);
        QCOMPARE(w.project.frameList()->paths().mid(65535, 2), (Paths{"", "p65535"}));
        QCOMPARE(w.project.frameList()->paths().mid(100000), (Paths{"p99999", "", ""}));
        Rows scattered;
        for (int r = 0; r < 100; r += 3)
            scattered << r;
        SetMarks(w.project, scattered, 0);
        for (const int row : {700, 5, 99999, 0, 600}) {
            w.dialogs.values << row;
            w.trigger(Command::GoToRow);
            QVERIFY2(inView(row), qPrintable(QString::number(row)));
        }
        QCOMPARE(w.asked().last().section('/', 1), "100002");
        QScrollBar* bar = list->verticalScrollBar();
        const int before = bar->value(), moved = int(scattered.size());
        QVERIFY(before > 500);
        w.trigger(Command::DeleteSelection);
        QApplication::processEvents();
        QVERIFY(bar->value() >= before - moved && bar->value() <= before);
        for (const Command id : {Command::Undo, Command::Redo}) {
            bar->setValue(bar->maximum());
            w.trigger(id);
            QApplication::processEvents();
            QVERIFY(inView(0));
        }
        // Closing during a conversion asks: No (or dismissing) goes on, the
        // panes, menus and keys still; Yes stops it (no movie put in place)
        // and the window closes once the conversion told how it ended.
        QImage red(8, 8, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(dir.filePath("red.bmp")));
        w.project.changeSettings({.width = 40, .height = 30});
        // Long enough that the worker cannot be done before the questions.
        w.project.frameList()->resetRows(Paths(50000, QFile::encodeName(dir.filePath("red.bmp"))));
        w.project.undoStack()->setClean();
        const qsizetype asked = w.dialogs.log.size();
        w.dialogs.script({"file:" + dir.filePath("m.avi"), "no", "dismiss", "yes"});
        QSignalSpy finished(w.window.conversion(), &ConversionCommand::finished);
        w.trigger(Command::ConvertToMovie);
        QVERIFY(w.window.conversion()->isRunning());
        QVERIFY(!w.window.close() && !w.window.close());
        QTest::keyClick(&w.window, Qt::Key_F, Qt::ControlModifier); // no settings dialog
        QVERIFY(!w.list->isEnabled() && !w.window.menuBar()->isEnabled());
        QVERIFY(!w.window.close() && w.window.isVisible());
        QVERIFY(finished.wait(60000));
        QVERIFY(!w.window.isVisible() && w.list->isEnabled());
        QCOMPARE(w.asked().mid(asked),
                 QString("file compression question question question message").split(' '));
        QVERIFY(!QFile::exists(dir.filePath("m.avi")));
        QCOMPARE(w.dialogs.unexpected, 0);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
