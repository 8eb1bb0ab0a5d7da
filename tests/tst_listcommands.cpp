// The clipboard, drop, import and image commands of the list view, driven as a
// user drives them: through the real clipboard, real drop events carrying local
// file URLs, real files and mouse clicks.

#include "imaging/PluginLoader.h"
#include "list_view_tools.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

using Answers = QList<int>; // value prompts in order, -1 for Cancel

namespace {
enum Command { Copy, CutClosingUp, CutLeavingBlanks, PasteInserting, PasteOverwriting };
const QByteArray Header("Vistrom data\r\n");
} // namespace

class TestListCommands : public QObject {
    Q_OBJECT

private slots:
    void init() { QGuiApplication::clipboard()->clear(); }

    void clipboardCommands_data();
    void clipboardCommands();
    void copyPasteRoundTrip_data();
    void copyPasteRoundTrip();

    void dropFiles_data();
    void dropFiles();
    void dropNonLocalUrlAndLongName();
    void dragDropHelp();

    void importFileList_data();
    void importFileList();

    void showImage_data();
    void showImage();
    void mouseClicks();
    void changeImage_data();
    void changeImage();
};

// Each command on a list with marks and a clipboard text (put there as a text
// editor does): the list, marks and clipboard after it, modified, and one undo
// step exactly when the rows changed.
static void AddCommand(const char* name, Command command, const QByteArray& clipboard,
                       const QByteArray& before, const QByteArray& after, const QByteArray& copied,
                       bool modified) {
    QTest::newRow(name) << int(command) << clipboard << before << after << copied << modified;
}

void TestListCommands::clipboardCommands_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("clipboard");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QByteArray>("copied"); // the clipboard afterwards; null: unchanged
    QTest::addColumn<bool>("modified");

    const QByteArray none, xz = Header + "X\r\n\r\nZ\r\n", vz = Header + "V\r\n\r\nX\r\nY\r\nZ\r\n";
    AddCommand("copy nothing selected", Copy, none, "a b c d* e - g h", "a b c d* e - g h", Header,
               false);
    AddCommand("copy rows 2 and blank 5", Copy, none, "a b [c] d* e [-] g h",
               "a b [c] d* e [-] g h", Header + "c\r\n\r\n", false);
    AddCommand("cut rows 0, 1, 4 of 6 closing up", CutClosingUp, none, "[a] [b] c d [e] f", "c d f",
               Header + "a\r\nb\r\ne\r\n", true);
    AddCommand("cut the only rows closing up", CutClosingUp, none, "[a] [b]", "",
               Header + "a\r\nb\r\n", true);
    AddCommand("cut nothing closing up", CutClosingUp, none, "a b c d", "a b c d", Header, true);
    AddCommand("cut leaving blanks", CutLeavingBlanks, none, "a b [c*] [-] [e] f",
               "a b [-*] [-] [-] f", Header + "c\r\n\r\ne\r\n", true);
    AddCommand("cut leaving blanks, all blank already: no undo step", CutLeavingBlanks, none,
               "a [-] [-*] d", "a [-] [-*] d", Header + "\r\n\r\n", true);
    // The focused row moves down with its marks; the new rows are unmarked
    // and split a selected run.
    AddCommand("paste inserting at focus row 3", PasteInserting, xz, "a b c [d*] e f [g] h",
               "a b c X - Z [d*] e f [g] h", none, true);
    AddCommand("paste inserting without focus: at the top", PasteInserting, xz, "a [b] c",
               "X - Z a [b] c", none, true);
    AddCommand("paste inserting inside a selected run", PasteInserting, xz, "a b [c] [d*] [e] f",
               "a b [c] X - Z [d*] [e] f", none, true);
    AddCommand("paste inserting LF-only text, no final line end", PasteInserting, Header + "X\nYY",
               "a b* c", "a X YY b* c", none, true);
    AddCommand("paste inserting the header alone", PasteInserting, Header, "a b* c", "a b* c", none,
               true);
    AddCommand("paste inserting other text: refused", PasteInserting, "hello\r\n", "a b* c",
               "a b* c", none, false);
    AddCommand("paste overwriting past the end: never grows", PasteOverwriting, vz,
               "a [b] c d e f g h i* j", "a [b] c d e f g h V* -", none, true);
    AddCommand("paste overwriting without focus: from the top", PasteOverwriting, vz,
               "a [b] c d e f g", "V [-] X Y Z f g", none, true);
    AddCommand("paste overwriting the same paths: no undo step", PasteOverwriting,
               Header + "b\r\nc\r\n", "a b* c d", "a b* c d", none, true);
    AddCommand("paste overwriting LF-only text", PasteOverwriting, Header + "X\n\nY\n", "a b* c d",
               "a X* Y d", none, true);
    AddCommand("paste overwriting a header with LF: refused", PasteOverwriting, "Vistrom data\nX\n",
               "a b* c", "a b* c", none, false);
}

void TestListCommands::clipboardCommands() {
    QFETCH(int, command);
    QFETCH(QByteArray, clipboard);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(QByteArray, copied);
    QFETCH(bool, modified);

    if (!clipboard.isNull())
        QGuiApplication::clipboard()->setText(QString::fromUtf8(clipboard));
    ListFixture f(before);
    const Handler handlers[] = {&V::OnCopyRows, &V::OnCutRowsClosingUp, &V::OnCutRowsLeavingBlanks,
                                &V::OnPasteRowsInserting, &V::OnPasteRowsOverwriting};
    (f.view.*handlers[command])();

    QCOMPARE(f.state(), after);
    QCOMPARE(ClipboardBytes(), copied.isNull() ? clipboard : copied);
    QCOMPARE(f.view.modified, modified ? 1 : 0);
    VerifyRows(f.view);
    const Paths start = ParseState(before).paths, end = ParseState(after).paths;
    QCOMPARE(f.undo()->count(), start != end ? 1 : 0);
    if (start == end)
        return;
    f.undo()->undo();
    QCOMPARE(f.paths(), start);
    f.undo()->redo();
    QCOMPARE(f.paths(), end);
    if (command == CutClosingUp)
        QCOMPARE(f.selected(), Rows{});
}

// The selected rows copied and pasted back at the top come back unchanged,
// through the real clipboard: blank rows anywhere, bytes that are not UTF-8,
// 10 KiB paths.
void TestListCommands::copyPasteRoundTrip_data() {
    QTest::addColumn<QByteArray>("state");
    QTest::newRow("blank last rows") << QByteArray("a b [c] [d] [-] [-]");
    QTest::newRow("blank first row") << QByteArray("[-] [b] c");
    QTest::newRow("only blanks") << QByteArray("a [-] [-] d");
    QTest::newRow("scattered") << QByteArray("[a] b c [-] e [f]");
    QTest::newRow("odd bytes and a long path")
        << "[/\xff\xfe\x80.bmp] [/" + QByteArray(10 * 1024, 'q') + "] ok";
}

void TestListCommands::copyPasteRoundTrip() {
    QFETCH(QByteArray, state);
    ListFixture f(state);
    const ListState start = ParseState(state);
    f.view.OnCopyRows();
    f.setMarks({}, 0);
    f.view.OnPasteRowsInserting();
    Paths copied;
    for (int r : start.selected)
        copied << start.paths[r];
    QCOMPARE(f.paths(), copied + start.paths);
}

// Files fill rows start + interval x i in drop order, never inserting; one
// file asks only for the start.
void TestListCommands::dropFiles_data() {
    QTest::addColumn<int>("files");
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    const QByteArray ten("- - - - - - - - - -");
    QTest::newRow("start 2 interval 3")
        << 3 << Answers{2, 3} << ten << QByteArray("- - /d/0 - - /d/1 - - /d/2 -");
    QTest::newRow("start 2 interval 5: third past the end")
        << 3 << Answers{2, 5} << ten << QByteArray("- - /d/0 - - - - /d/1 - -");
    QTest::newRow("interval 0: the last name stays")
        << 3 << Answers{4, 0} << ten << QByteArray("- - - - /d/2 - - - - -");
    QTest::newRow("filled rows are overwritten")
        << 2 << Answers{0, 1} << QByteArray("a b c") << QByteArray("/d/0 /d/1 c");
    QTest::newRow("one file") << 1 << Answers{9} << ten << QByteArray("- - - - - - - - - /d/0");
    QTest::newRow("one file past the end") << 1 << Answers{10} << ten << ten;
    QTest::newRow("empty list") << 2 << Answers{0, 1} << QByteArray() << QByteArray();
    QTest::newRow("start cancelled") << 2 << Answers{-1} << ten << ten;
    QTest::newRow("interval cancelled") << 2 << Answers{1, -1} << ten << ten;
}

void TestListCommands::dropFiles() {
    QFETCH(int, files);
    QFETCH(Answers, answers);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    ListFixture f;
    QVERIFY(f.show()); // before the marks: showing sets a focus
    SetState(f.view, before);
    for (int a : answers)
        f.dialogs.values << (a < 0 ? std::nullopt : std::optional<quint32>(a));
    Drop(f.view, LocalFiles(files));

    const QStringList prompts{QStringLiteral("どの番号にドロップしますか?"),
                              QStringLiteral("何番間隔でドロップしますか?")};
    QCOMPARE(f.dialogs.valuePrompts, prompts.mid(0, answers.size()));
    QCOMPARE(f.dialogs.valueInitials, (QList<quint32>{0, 1}.mid(0, answers.size())));
    QCOMPARE(f.dialogs.unexpected, 0);
    QCOMPARE(f.state(), after);
    QCOMPARE(f.view.modified, answers.contains(-1) ? 0 : 1);
    QVERIFY(f.dialogs.messages.isEmpty());
    VerifyRows(f.view);
    QCOMPARE(f.undo()->count(), before != after ? 1 : 0);
    if (before != after) {
        f.undo()->undo();
        QCOMPARE(f.paths(), ParseState(before).paths);
        f.undo()->redo();
        QCOMPARE(f.paths(), ParseState(after).paths);
    }
}

// A name of any length is placed whole; an item that is not a local file
// stops the drop with the error, the files before it staying placed.
void TestListCommands::dropNonLocalUrlAndLongName() {
    ListFixture f;
    QVERIFY(f.show());
    SetState(f.view, "- - - - - -");
    const QString name = QStringLiteral("/drop/") + QString(2000, QLatin1Char('n')) + ".bmp";
    f.dialogs.values << 1 << 2;
    Drop(f.view, {QUrl::fromLocalFile(name), QUrl(QStringLiteral("https://example.org/b.bmp")),
                  QUrl::fromLocalFile(QStringLiteral("/d/c"))});
    QCOMPARE(f.dialogs.messages, QStringList{QStringLiteral("Drag&Dropでエラーが生じました")});
    QCOMPARE(f.dialogs.foreground, QList<bool>{true});
    QCOMPARE(f.state(), "- " + QFile::encodeName(name) + " - - - -");
    QCOMPARE(f.view.modified, 1);
    VerifyRows(f.view);
}

void TestListCommands::dragDropHelp() {
    ListFixture f("-");
    f.view.OnDragDropHelp();
    QCOMPARE(f.dialogs.messages,
             QStringList{QStringLiteral("一つまたは複数のファイルのアイコンを\nリストのエリアに直接"
                                        "ドロップしてください．\nメニューからはできません．")});
    QCOMPARE(f.dialogs.foreground, QList<bool>{false});
}

// One row per line, inserted before the focused row (or at the top); Cancel
// or a file that cannot be opened changes nothing.
static void AddImport(const char* name, const QByteArray& content, const QByteArray& before,
                      const QByteArray& after, const QByteArray& chosen = {}) {
    QTest::newRow(name) << content << before << after << chosen;
}

void TestListCommands::importFileList_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QByteArray>("chosen"); // null: the file written, empty: Cancel
    const QByteArray longLine(5000, 'L');
    AddImport("three lines at focus row 4", "/a\n/b\n/c\n", "a b c d e* f",
              "a b c d /a /b /c e* f");
    AddImport("no focus: at the top", "/a\n/b\n", "a b", "/a /b a b");
    AddImport("CR LF and empty lines", "/a\r\n\n\r\n/d\r\n", "a b*", "a /a - - /d b*");
    AddImport("last line without line end", "/a\n/b", "a*", "/a /b a*");
    AddImport("CR CR LF and a zero byte read as by the project reader",
              QByteArray("/a\r\r\n/b\0x\n", 10), "a*", "/a /b a*");
    AddImport("a long line is one row", longLine + "\n/b\n", "a*", longLine + " /b a*");
    AddImport("empty file", "", "a b*", "a b*");
    AddImport("cancelled", "", "a b*", "a b*", "");
    AddImport("no such file", "", "a b*", "a b*", "/nonexistent/folder/list.txt");
    AddImport("a folder", "", "a b*", "a b*", QFile::encodeName(QDir::tempPath()));
}

void TestListCommands::importFileList() {
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(QByteArray, chosen);
    QTemporaryDir dir; // a folder that is not the current one
    const QByteArray written = QFile::encodeName(dir.path()) + "/list \xe7\x94\xbb.txt";
    QFile file(QFile::decodeName(written));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    file.close();
    ListFixture f(before);
    if (chosen.isNull() || !chosen.isEmpty())
        f.dialogs.files << (chosen.isNull() ? written : chosen);
    f.view.OnImportFileList();

    QCOMPARE(f.dialogs.fileRequests.size(), 1);
    const UserDialogs::FileRequest& request = f.dialogs.fileRequests[0];
    QVERIFY(!request.save);
    QCOMPARE(request.initialName, QStringLiteral("*.txt"));
    QCOMPARE(request.filter, QStringLiteral("Text File (*.txt)|*.txt|All Files (*.*)|*.*||"));
    QCOMPARE(request.defaultExtension, QString());
    QCOMPARE(f.state(), after);
    QCOMPARE(f.view.modified, chosen.isNull() ? 1 : 0);
    QCOMPARE(f.dialogs.messages, chosen.isEmpty()
                                     ? QStringList{}
                                     : QStringList{QStringLiteral("ファイルを開けませんでした")});
    QCOMPARE(f.undo()->count(), before != after ? 1 : 0);
    if (before != after) {
        f.undo()->undo();
        QCOMPARE(f.paths(), ParseState(before).paths);
    }
}

// The list is "- b - - e".
void TestListCommands::showImage_data() {
    QTest::addColumn<Rows>("selection");
    QTest::addColumn<QByteArray>("shown"); // null: nothing sent
    QTest::newRow("filled row") << Rows{4} << QByteArray("e");
    QTest::newRow("blank row: nearest filled above") << Rows{3} << QByteArray("b");
    QTest::newRow("first selected row counts") << Rows{2, 4} << QByteArray("b");
    QTest::newRow("blank row 0: nothing") << Rows{0} << QByteArray();
    QTest::newRow("no selection: nothing") << Rows{} << QByteArray();
}

void TestListCommands::showImage() {
    QFETCH(Rows, selection);
    QFETCH(QByteArray, shown);
    ListFixture f(ParseState("- b - - e").paths, selection);
    QSignalSpy spy(&f.document, &CVistromDoc::updated);
    f.view.OnShowImage();
    QCOMPARE(spy.count(), shown.isNull() ? 0 : 1);
    if (!shown.isNull()) {
        QCOMPARE(spy[0][0].value<QObject*>(), static_cast<QObject*>(&f.view));
        QCOMPARE(spy[0][1].toInt(), 16);
        QCOMPARE(spy[0][2].toByteArray(), shown);
    }
    QCOMPARE(f.view.modified, 0);
}

void TestListCommands::mouseClicks() {
    ListFixture f("a b c - e");
    QVERIFY(f.show());
    QSignalSpy spy(&f.document, &CVistromDoc::updated);
    QWidget* area = f.view.viewport();
    const auto centre = [&](int row) {
        return f.view.visualRect(f.view.model()->index(row, 1)).center();
    };

    // A right click shows the image of the row under the pointer (a blank row
    // the one above); a left click clears the preview and selects as usual.
    QTest::mouseClick(area, Qt::RightButton, {}, centre(3));
    QTest::mouseClick(area, Qt::LeftButton, {}, centre(1));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy[0][1].toInt(), 16);
    QCOMPARE(spy[0][2].toByteArray(), QByteArray("c"));
    QCOMPARE(spy[1][1].toInt(), 16);
    QCOMPARE(spy[1][2].toByteArray(), QByteArray());
    QCOMPARE(f.selected(), Rows{1});

    // A double click changes the image of the row under the pointer.
    f.dialogs.files << "/chosen/new.bmp";
    QTest::mouseDClick(area, Qt::LeftButton, {}, centre(2));
    QCOMPARE(f.dialogs.fileRequests.size(), 1);
    QCOMPARE(f.paths()[2], QByteArray("/chosen/new.bmp"));
    QCOMPARE(f.view.modified, 1);

    // Below the last row nothing is shown or changed.
    const QPoint below(10, f.view.visualRect(f.view.model()->index(4, 0)).bottom() + 40);
    spy.clear();
    QTest::mouseClick(area, Qt::RightButton, {}, below);
    QCOMPARE(spy.count(), 0);
    QTest::mouseDClick(area, Qt::LeftButton, {}, below);
    QCOMPARE(f.dialogs.fileRequests.size(), 1);
}

// The file filter's JPEG and PNG entries follow the plug-ins found when the
// dialog opens: none in an empty folder, both in the build's folder.
void TestListCommands::changeImage_data() {
    QTest::addColumn<bool>("plugins");
    QTest::addColumn<QString>("filter");
    QTest::newRow("neither plug-in")
        << false << QStringLiteral("Bitmap file (*.bmp)|*.bmp|All Files (*.*) |*.*||");
    QTest::newRow("both plug-ins")
        << true
        << QStringLiteral("Bitmap file (*.bmp)|*.bmp|Jpeg file (*.jpg)|*.jpg|"
                          "PNG file (*.png)|*.png|All Files (*.*) |*.*||");
}

void TestListCommands::changeImage() {
    QFETCH(bool, plugins);
    QFETCH(QString, filter);
    if (plugins && !QFile::exists(QStringLiteral(VISTROM_BIN_DIR "/ifjpeg.spi")))
        QSKIP("the decoder plug-ins are not built");
    QTemporaryDir empty;
    SetPluginSearchDirsForTesting(std::vector<std::string>{plugins ? std::string(VISTROM_BIN_DIR)
                                                                   : empty.path().toStdString()});
    ListFixture f("a b [-] [d]");
    f.dialogs.files << "/chosen/\xff.png";
    f.view.OnChangeImage();
    SetPluginSearchDirsForTesting(std::nullopt);
    QCOMPARE(f.dialogs.fileRequests.size(), 1);
    const UserDialogs::FileRequest& request = f.dialogs.fileRequests[0];
    QCOMPARE(request.filter, filter);
    QCOMPARE(request.initialName, QStringLiteral("*.bmp"));
    QVERIFY(!request.save);
    QCOMPARE(request.defaultExtension, QString());
    QCOMPARE(f.state(), QByteArray("a b [/chosen/\xff.png] [d]")); // the first selected row
    QCOMPARE(f.view.modified, 1);
    VerifyRows(f.view);
    QCOMPARE(f.undo()->count(), 1);
    f.undo()->undo();
    QCOMPARE(f.state(), QByteArray("a b [-] d"));
    VerifyRows(f.view);

    // Cancel, or no selection: nothing changes.
    f.view.modified = 0;
    f.view.OnChangeImage();
    f.setMarks({}, -1);
    f.view.OnChangeImage();
    QCOMPARE(f.dialogs.fileRequests.size(), 2);
    QCOMPARE(f.paths(), ParseState("a b - d").paths);
    QCOMPARE(f.view.modified, 0);
}

QTEST_MAIN(TestListCommands)
#include "tst_listcommands.moc"
