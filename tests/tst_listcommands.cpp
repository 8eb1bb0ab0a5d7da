// The clipboard, drop, import and image commands of the list view, driven as a
// user drives them: through the real clipboard, real drop events carrying local
// file URLs, real files and mouse clicks. Questions and file dialogs are
// answered by a fake UserDialogs.

#include "app/UserDialogs.h"
#include "framelist/CVistromDoc.h"
#include "framelist/FrameList.h"
#include "framelist/RowClipboardText.h"
#include "framelist/widgets/CVistromView.h"
#include "imaging/ImageDrawing.h"
#include "imaging/PluginLoader.h"
#include "ui/CMainFrame.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>
#include <QUrl>

#include <deque>

using Lines = QList<QByteArray>;
using Rows = QList<int>;

namespace {

class FakeDialogs : public UserDialogs {
public:
    struct Question {
        QString prompt;
        quint32 initial;
    };
    QStringList messages;
    QList<bool> foreground;
    QList<Question> questions;
    std::deque<std::optional<quint32>> values;
    QList<FileRequest> fileRequests;
    std::deque<std::optional<QByteArray>> files;

    void showMessage(const QString& text, bool front) override {
        messages << text;
        foreground << front;
    }
    bool askYesNo(const QString&) override { return false; }
    void showPlainMessage(const QString& text, const QString&) override { messages << text; }
    std::optional<QByteArray> askFileName(const FileRequest& request) override {
        fileRequests << request;
        if (files.empty())
            return std::nullopt;
        auto answer = files.front();
        files.pop_front();
        return answer;
    }
    std::optional<quint32> askValue(const QString& prompt, quint32 initial) override {
        questions << Question{prompt, initial};
        if (values.empty())
            return std::nullopt;
        auto answer = values.front();
        values.pop_front();
        return answer;
    }
    bool runFrameRateDialog(ProjectSettings&) override { return false; }
    bool runAudioDialog(ProjectSettings&) override { return false; }
    std::optional<CompressionChoice> askCompression() override { return std::nullopt; }
};

// The paths p0, p1, ... with the given rows blank.
Lines Numbered(int count, const Rows& blank = {}) {
    Lines paths;
    for (int i = 0; i < count; ++i)
        paths << (blank.contains(i) ? QByteArray() : "/img/p" + QByteArray::number(i) + ".bmp");
    return paths;
}

QByteArray ClipboardBytes() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    return mime ? mime->data(QStringLiteral("text/plain")) : QByteArray();
}

// A clipboard text as a text editor leaves it: plain text, nothing of ours.
void PutEditorText(const QByteArray& text) {
    QGuiApplication::clipboard()->setText(QString::fromUtf8(text));
}

} // namespace

class TestListCommands : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void copyRows_data();
    void copyRows();
    void cutClosingUp_data();
    void cutClosingUp();
    void cutLeavingBlanksThenOverwriteRestores();
    void pasteInserting_data();
    void pasteInserting();
    void pasteOverwriting_data();
    void pasteOverwriting();
    void pasteEditorText_data();
    void pasteEditorText();
    void copyPasteRoundTrip_data();
    void copyPasteRoundTrip();
    void bytesThatAreNotUtf8Survive();

    void dropFiles_data();
    void dropFiles();
    void dropCancelled_data();
    void dropCancelled();
    void dropNonLocalUrl();
    void dropLongName();
    void dragDropHelp();

    void importFileList_data();
    void importFileList();
    void importMissingFile_data();
    void importMissingFile();
    void importCancelled();

    void showImage_data();
    void showImage();
    void mouseClicks();
    void changeImage();
    void changeImageFilter_data();
    void changeImageFilter();

    void undoAllRedoAll();
    void keysInTheMainWindow();

private:
    void makeView(const Lines& paths);
    void focus(int row);
    void select(const Rows& rows) { SelectRows(view->selectionModel(), rows); }
    Rows selected() const { return view->selectedRows(); }
    Lines paths() const { return view->frameList()->paths(); }
    void drop(const QList<QUrl>& urls);

    CVistromDoc* doc = nullptr;
    FakeDialogs* dialogs = nullptr;
    CVistromView* view = nullptr;
};

void TestListCommands::init() {
    doc = new CVistromDoc;
    dialogs = new FakeDialogs;
    QGuiApplication::clipboard()->clear();
}

void TestListCommands::cleanup() {
    delete view;
    view = nullptr;
    delete dialogs;
    delete doc;
}

void TestListCommands::makeView(const Lines& rows) {
    delete view;
    view = new CVistromView(doc, dialogs);
    view->resize(500, 400);
    view->frameList()->resetRows(rows);
    view->RenumberRows();
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
}

void TestListCommands::focus(int row) {
    QItemSelectionModel* marks = view->selectionModel();
    if (row < 0)
        marks->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    else
        marks->setCurrentIndex(view->frameList()->index(row, 0), QItemSelectionModel::NoUpdate);
}

// ---- copy and cut --------------------------------------------------------

void TestListCommands::copyRows_data() {
    QTest::addColumn<Rows>("selection");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("nothing selected") << Rows{} << QByteArray("Vistrom data\r\n");
    QTest::newRow("rows 2 and blank 5")
        << Rows{2, 5} << QByteArray("Vistrom data\r\n/img/p2.bmp\r\n\r\n");
    QTest::newRow("row 0 and the last")
        << Rows{0, 7} << QByteArray("Vistrom data\r\n/img/p0.bmp\r\n/img/p7.bmp\r\n");
}

void TestListCommands::copyRows() {
    QFETCH(Rows, selection);
    QFETCH(QByteArray, text);
    makeView(Numbered(8, {5}));
    select(selection);
    focus(3);
    view->OnCopyRows();
    QCOMPARE(ClipboardBytes(), text);
    QCOMPARE(paths(), Numbered(8, {5}));
    QCOMPARE(selected(), selection);
    QCOMPARE(view->modified, 0);
    QCOMPARE(view->undoStack()->count(), 0);
}

void TestListCommands::cutClosingUp_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<Rows>("selection");
    QTest::addColumn<Rows>("keptRows");
    QTest::newRow("rows 1 and 3 of 5") << 5 << Rows{1, 3} << Rows{0, 2, 4};
    QTest::newRow("rows 0, 1, 4 of 6") << 6 << Rows{0, 1, 4} << Rows{2, 3, 5};
    QTest::newRow("the only two rows") << 2 << Rows{0, 1} << Rows{};
    QTest::newRow("nothing selected") << 4 << Rows{} << Rows{0, 1, 2, 3};
}

void TestListCommands::cutClosingUp() {
    QFETCH(int, count);
    QFETCH(Rows, selection);
    QFETCH(Rows, keptRows);
    const Lines before = Numbered(count);
    makeView(before);
    select(selection);
    view->OnCutRowsClosingUp();

    Lines cut, kept;
    for (int r : selection)
        cut << before[r];
    for (int r : keptRows)
        kept << before[r];
    QCOMPARE(paths(), kept);
    QCOMPARE(ClipboardBytes(), RowClipboardText(cut));
    QCOMPARE(selected(), Rows{});
    QCOMPARE(view->modified, 1);
    QCOMPARE(view->undoStack()->count(), selection.isEmpty() ? 0 : 1);
    if (selection.isEmpty())
        return;

    // Undo brings the rows back selected; redo cuts them again.
    view->undoStack()->undo();
    QCOMPARE(paths(), before);
    QCOMPARE(selected(), selection);
    view->undoStack()->redo();
    QCOMPARE(paths(), kept);
    QCOMPARE(selected(), Rows{});
}

void TestListCommands::cutLeavingBlanksThenOverwriteRestores() {
    const Lines before = Numbered(8, {3});
    makeView(before);
    select({2, 3, 4});
    focus(2);
    view->OnCutRowsLeavingBlanks();
    QCOMPARE(ClipboardBytes(), QByteArray("Vistrom data\r\n/img/p2.bmp\r\n\r\n/img/p4.bmp\r\n"));
    QCOMPARE(paths(), Numbered(8, {2, 3, 4}));
    QCOMPARE(view->frameList()->icon(2), FrameList::BlankIcon);
    QCOMPARE(selected(), (Rows{2, 3, 4}));
    QCOMPARE(view->modified, 1);
    QCOMPARE(view->undoStack()->count(), 1);

    // Pasting the same text over the first of them restores the rows.
    view->OnPasteRowsOverwriting();
    QCOMPARE(paths(), before);
    QCOMPARE(view->frameList()->icon(2), FrameList::FilledIcon);
    QCOMPARE(view->undoStack()->count(), 2);

    view->undoStack()->undo();
    QCOMPARE(paths(), Numbered(8, {2, 3, 4}));
    view->undoStack()->undo();
    QCOMPARE(paths(), before);
    QCOMPARE(selected(), (Rows{2, 3, 4}));
}

// ---- pastes --------------------------------------------------------------

void TestListCommands::pasteInserting_data() {
    QTest::addColumn<int>("focusRow");
    QTest::addColumn<Rows>("selection");
    QTest::addColumn<int>("start");
    QTest::newRow("focus on row 3") << 3 << Rows{3, 6} << 3;
    QTest::newRow("no focus: at the top") << -1 << Rows{1} << 0;
    QTest::newRow("focus on the last row") << 9 << Rows{} << 9;
    // The new rows split a selected run instead of joining it.
    QTest::newRow("inside a selected run") << 3 << Rows{2, 3, 4} << 3;
}

void TestListCommands::pasteInserting() {
    QFETCH(int, focusRow);
    QFETCH(Rows, selection);
    QFETCH(int, start);
    const Lines before = Numbered(10);
    makeView(before);
    const Lines pasted{"/new/a.bmp", "", "/new/c.bmp"};
    QGuiApplication::clipboard()->setText(
        QStringLiteral("Vistrom data\r\n/new/a.bmp\r\n\r\n/new/c.bmp\r\n"));
    select(selection);
    focus(focusRow);
    view->OnPasteRowsInserting();

    Lines expected = before;
    for (int k = 0; k < pasted.size(); ++k)
        expected.insert(start + k, pasted[k]);
    QCOMPARE(paths(), expected);
    // The focused row moved down with its marks; the new rows are unmarked.
    QCOMPARE(view->focusedRow(), focusRow < 0 ? -1 : focusRow + 3);
    Rows moved;
    for (int r : selection)
        moved << (r >= start ? r + 3 : r);
    QCOMPARE(selected(), moved);
    QCOMPARE(view->frameList()->icon(start + 1), FrameList::BlankIcon);
    QCOMPARE(view->modified, 1);

    view->undoStack()->undo();
    QCOMPARE(paths(), before);
    view->undoStack()->redo();
    QCOMPARE(paths(), expected);
}

void TestListCommands::pasteOverwriting_data() {
    QTest::addColumn<int>("focusRow");
    QTest::addColumn<Rows>("changedRows");
    QTest::newRow("second-to-last: two rows, three lines dropped") << 8 << Rows{8, 9};
    QTest::newRow("no focus: from the top") << -1 << Rows{0, 1, 2, 3, 4};
    QTest::newRow("row 2") << 2 << Rows{2, 3, 4, 5, 6};
}

void TestListCommands::pasteOverwriting() {
    QFETCH(int, focusRow);
    QFETCH(Rows, changedRows);
    const Lines before = Numbered(10);
    makeView(before);
    const Lines pasted{"/n/0.bmp", "", "/n/2.bmp", "/n/3.bmp", "/n/4.bmp"};
    QGuiApplication::clipboard()->setText(QString::fromUtf8(RowClipboardText(pasted)));
    select({1});
    focus(focusRow);
    view->OnPasteRowsOverwriting();

    Lines expected = before;
    for (int k = 0; k < changedRows.size(); ++k)
        expected[changedRows[k]] = pasted[k];
    QCOMPARE(paths(), expected);
    QCOMPARE(view->frameList()->size(), 10);
    QCOMPARE(selected(), Rows{1});
    QCOMPARE(view->focusedRow(), focusRow);
    QCOMPARE(view->modified, 1);
    view->undoStack()->undo();
    QCOMPARE(paths(), before);
}

void TestListCommands::pasteEditorText_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("modified");
    QTest::addColumn<Lines>("inserted");
    QTest::newRow("LF only, no final line end") << QByteArray("Vistrom data\r\n/x/a.bmp\n/x/b.bmp")
                                                << true << Lines{"/x/a.bmp", "/x/b.bmp"};
    QTest::newRow("LF LF is one line end") << QByteArray("Vistrom data\r\n/x/a.bmp\n\n/x/b.bmp\n")
                                           << true << Lines{"/x/a.bmp", "/x/b.bmp"};
    QTest::newRow("header only: modified, nothing inserted")
        << QByteArray("Vistrom data\r\n") << true << Lines{};
    QTest::newRow("header with LF alone: refused")
        << QByteArray("Vistrom data\n/x/a.bmp\n") << false << Lines{};
    QTest::newRow("any other text: refused") << QByteArray("hello\r\n") << false << Lines{};
}

void TestListCommands::pasteEditorText() {
    QFETCH(QByteArray, text);
    QFETCH(bool, modified);
    QFETCH(Lines, inserted);
    const Lines before = Numbered(4);
    makeView(before);
    PutEditorText(text);
    focus(1);
    view->OnPasteRowsInserting();
    Lines expected = before;
    for (int k = 0; k < inserted.size(); ++k)
        expected.insert(1 + k, inserted[k]);
    QCOMPARE(paths(), expected);
    QCOMPARE(view->modified, modified ? 1 : 0);
    QCOMPARE(view->undoStack()->count(), inserted.isEmpty() ? 0 : 1);

    // The overwriting paste reads the same text the same way.
    makeView(before);
    focus(1);
    view->OnPasteRowsOverwriting();
    expected = before;
    for (int k = 0; k < inserted.size(); ++k)
        expected[1 + k] = inserted[k];
    QCOMPARE(paths(), expected);
    QCOMPARE(view->modified, modified ? 1 : 0);
}

void TestListCommands::copyPasteRoundTrip_data() {
    QTest::addColumn<Rows>("blank");
    QTest::addColumn<Rows>("run");
    QTest::newRow("blank last rows") << Rows{4, 5} << Rows{2, 3, 4, 5};
    QTest::newRow("blank first row") << Rows{0} << Rows{0, 1};
    QTest::newRow("only blanks") << Rows{1, 2} << Rows{1, 2};
    QTest::newRow("scattered") << Rows{3} << Rows{0, 3, 5};
}

void TestListCommands::copyPasteRoundTrip() {
    QFETCH(Rows, blank);
    QFETCH(Rows, run);
    const Lines before = Numbered(6, blank);
    makeView(before);
    select(run);
    view->OnCopyRows();
    select({});
    focus(0);
    view->OnPasteRowsInserting();
    Lines expected;
    for (int r : run)
        expected << before[r];
    QCOMPARE(paths().mid(0, run.size()), expected);
    QCOMPARE(paths().mid(run.size()), before);
}

void TestListCommands::bytesThatAreNotUtf8Survive() {
    // Paths are bytes: a name in another encoding comes back byte for byte.
    const QByteArray odd("/img/\xff\xfe\x80.bmp");
    const QByteArray longPath = "/" + QByteArray(10 * 1024, 'q') + ".bmp";
    makeView({odd, longPath, "/img/ok.bmp"});
    select({0, 1});
    view->OnCopyRows();
    focus(2);
    view->OnPasteRowsOverwriting();
    QCOMPARE(paths(), (Lines{odd, longPath, odd}));
}

// ---- drops ---------------------------------------------------------------

void TestListCommands::drop(const QList<QUrl>& urls) {
    // As a file manager drags with Shift held: copy or move offered, move proposed.
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    QWidget* target = view->viewport();
    const QPoint at = target->rect().center();
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, offered, mime, Qt::LeftButton, Qt::ShiftModifier);
    QCOMPARE(enter.proposedAction(), Qt::MoveAction);
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDragMoveEvent move(at, offered, mime, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(target, &move);
    QVERIFY(move.isAccepted());
    QDropEvent dropEvent(QPointF(at), offered, mime, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(target, &dropEvent);
    // Never a move: the file manager must not delete what was dropped.
    if (dropEvent.isAccepted())
        QCOMPARE(dropEvent.dropAction(), Qt::CopyAction);
    QCOMPARE(move.dropAction(), Qt::CopyAction);
    delete mime;
}

static QList<QUrl> LocalFiles(int count) {
    QList<QUrl> urls;
    for (int i = 0; i < count; ++i)
        urls << QUrl::fromLocalFile(QStringLiteral("/drop/f%1.bmp").arg(i));
    return urls;
}

void TestListCommands::dropFiles_data() {
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<int>("files");
    QTest::addColumn<quint32>("start");
    QTest::addColumn<quint32>("interval");
    QTest::addColumn<Rows>("filled"); // row of file i, or -1 when not placed
    QTest::newRow("start 2 interval 3") << 10 << 3 << 2u << 3u << Rows{2, 5, 8};
    QTest::newRow("start 2 interval 5: third past the end")
        << 10 << 3 << 2u << 5u << Rows{2, 7, -1};
    QTest::newRow("interval 0: the last name stays") << 10 << 3 << 4u << 0u << Rows{-1, -1, 4};
    QTest::newRow("one file asks once") << 10 << 1 << 9u << 0u << Rows{9};
    QTest::newRow("one file past the end") << 10 << 1 << 10u << 0u << Rows{-1};
    QTest::newRow("empty list") << 0 << 2 << 0u << 1u << Rows{-1, -1};
}

void TestListCommands::dropFiles() {
    QFETCH(int, rowCount);
    QFETCH(int, files);
    QFETCH(quint32, start);
    QFETCH(quint32, interval);
    QFETCH(Rows, filled);
    const Lines before(rowCount);
    makeView(before);
    dialogs->values = {start, interval};
    const QList<QUrl> urls = LocalFiles(files);
    drop(urls);

    QCOMPARE(dialogs->questions.size(), files > 1 ? 2 : 1);
    QCOMPARE(dialogs->questions[0].prompt, QStringLiteral("どの番号にドロップしますか?"));
    QCOMPARE(dialogs->questions[0].initial, 0u);
    if (files > 1) {
        QCOMPARE(dialogs->questions[1].prompt, QStringLiteral("何番間隔でドロップしますか?"));
        QCOMPARE(dialogs->questions[1].initial, 1u);
    }
    Lines expected = before;
    for (int i = 0; i < files; ++i)
        if (filled[i] >= 0)
            expected[filled[i]] = QFile::encodeName(urls[i].toLocalFile());
    QCOMPARE(paths(), expected);
    QCOMPARE(view->frameList()->size(), rowCount);
    QCOMPARE(view->modified, 1);
    QVERIFY(dialogs->messages.isEmpty());
    for (int r = 0; r < rowCount; ++r)
        QCOMPARE(view->frameList()->icon(r),
                 expected[r].isEmpty() ? FrameList::BlankIcon : FrameList::FilledIcon);

    const bool anyPlaced = filled.count(-1) < filled.size();
    QCOMPARE(view->undoStack()->count(), anyPlaced ? 1 : 0);
    if (anyPlaced) {
        view->undoStack()->undo();
        QCOMPARE(paths(), before);
        view->undoStack()->redo();
        QCOMPARE(paths(), expected);
    }
}

void TestListCommands::dropCancelled_data() {
    QTest::addColumn<int>("files");
    QTest::addColumn<int>("answers"); // questions answered before Cancel
    QTest::newRow("start cancelled") << 2 << 0;
    QTest::newRow("interval cancelled") << 2 << 1;
    QTest::newRow("one file, start cancelled") << 1 << 0;
}

void TestListCommands::dropCancelled() {
    QFETCH(int, files);
    QFETCH(int, answers);
    makeView(Lines(5));
    for (int i = 0; i < answers; ++i)
        dialogs->values.push_back(1u);
    dialogs->values.push_back(std::nullopt);
    drop(LocalFiles(files));
    QCOMPARE(paths(), Lines(5));
    QCOMPARE(view->modified, 0);
    QCOMPARE(view->undoStack()->count(), 0);
}

void TestListCommands::dropNonLocalUrl() {
    // The second item is not a file of this machine: the first stays placed.
    makeView(Lines(6));
    dialogs->values = {1u, 2u};
    drop({QUrl::fromLocalFile(QStringLiteral("/drop/a.bmp")),
          QUrl(QStringLiteral("https://example.org/b.bmp")),
          QUrl::fromLocalFile(QStringLiteral("/drop/c.bmp"))});
    QCOMPARE(dialogs->messages, QStringList{QStringLiteral("Drag&Dropでエラーが生じました")});
    QCOMPARE(dialogs->foreground, QList<bool>{true});
    QCOMPARE(paths(), (Lines{"", "/drop/a.bmp", "", "", "", ""}));
    QCOMPARE(view->modified, 1);
    QCOMPARE(view->frameList()->icon(1), FrameList::FilledIcon);
}

void TestListCommands::dropLongName() {
    // A name of any length is placed whole.
    makeView(Lines(3));
    const QString name = QStringLiteral("/drop/") + QString(2000, QLatin1Char('n')) + ".bmp";
    dialogs->values = {1u};
    drop({QUrl::fromLocalFile(name)});
    QCOMPARE(paths()[1], QFile::encodeName(name));
    QVERIFY(dialogs->messages.isEmpty());
}

void TestListCommands::dragDropHelp() {
    makeView(Lines(1));
    view->OnDragDropHelp();
    QCOMPARE(dialogs->messages,
             QStringList{QStringLiteral("一つまたは複数のファイルのアイコンを\nリストのエリアに直接"
                                        "ドロップしてください．\nメニューからはできません．")});
    QCOMPARE(dialogs->foreground, QList<bool>{false});
}

// ---- file-list import ----------------------------------------------------

void TestListCommands::importFileList_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("focusRow");
    QTest::addColumn<Lines>("lines");
    QTest::newRow("three lines at focus row 4")
        << QByteArray("/a.bmp\n/b.bmp\n/c.bmp\n") << 4 << Lines{"/a.bmp", "/b.bmp", "/c.bmp"};
    QTest::newRow("no focus: at the top")
        << QByteArray("/a.bmp\n/b.bmp\n") << -1 << Lines{"/a.bmp", "/b.bmp"};
    QTest::newRow("CR LF lines") << QByteArray("/a.bmp\r\n/b.bmp\r\n") << 0
                                 << Lines{"/a.bmp", "/b.bmp"};
    QTest::newRow("empty lines are blank rows")
        << QByteArray("/a.bmp\n\n\r\n/d.bmp\n") << 2 << Lines{"/a.bmp", "", "", "/d.bmp"};
    QTest::newRow("last line without line end")
        << QByteArray("/a.bmp\n/b.bmp") << 1 << Lines{"/a.bmp", "/b.bmp"};
    QTest::newRow("a long line is one row") << QByteArray(5000, 'L') + "\n/b.bmp\n"
                                            << 0 << Lines{QByteArray(5000, 'L'), "/b.bmp"};
    QTest::newRow("empty file") << QByteArray() << 3 << Lines{};
}

void TestListCommands::importFileList() {
    QFETCH(QByteArray, content);
    QFETCH(int, focusRow);
    QFETCH(Lines, lines);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A name that is not valid UTF-8 and a folder that is not the current one.
    const QByteArray path = QFile::encodeName(dir.path()) + "/list \xe7\x94\xbb.txt";
    {
        QFile file(QFile::decodeName(path));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    const Lines before = Numbered(8);
    makeView(before);
    focus(focusRow);
    dialogs->files = {path};
    view->OnImportFileList();

    QCOMPARE(dialogs->fileRequests.size(), 1);
    QCOMPARE(dialogs->fileRequests[0].save, false);
    QCOMPARE(dialogs->fileRequests[0].initialName, QStringLiteral("*.txt"));
    QCOMPARE(dialogs->fileRequests[0].filter,
             QStringLiteral("Text File (*.txt)|*.txt|All Files (*.*)|*.*||"));
    QCOMPARE(dialogs->fileRequests[0].defaultExtension, QString());
    const int at = std::max(focusRow, 0);
    Lines expected = before;
    for (int i = 0; i < lines.size(); ++i)
        expected.insert(at + i, lines[i]);
    QCOMPARE(paths(), expected);
    if (focusRow >= 0)
        QCOMPARE(view->focusedRow(), focusRow + int(lines.size()));
    QCOMPARE(view->modified, 1);
    QVERIFY(dialogs->messages.isEmpty());
    QCOMPARE(view->undoStack()->count(), lines.isEmpty() ? 0 : 1);
    if (!lines.isEmpty()) {
        view->undoStack()->undo();
        QCOMPARE(paths(), before);
    }
}

void TestListCommands::importMissingFile_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("no such file") << QByteArray("/nonexistent/folder/list.txt");
    QTest::newRow("a folder") << QFile::encodeName(QDir::tempPath());
}

void TestListCommands::importMissingFile() {
    QFETCH(QByteArray, path);
    makeView(Numbered(3));
    dialogs->files = {path};
    view->OnImportFileList();
    QCOMPARE(dialogs->messages, QStringList{QStringLiteral("ファイルを開けませんでした")});
    QCOMPARE(paths(), Numbered(3));
    QCOMPARE(view->modified, 0);
}

void TestListCommands::importCancelled() {
    makeView(Numbered(3));
    view->OnImportFileList();
    QCOMPARE(dialogs->fileRequests.size(), 1);
    QCOMPARE(paths(), Numbered(3));
    QCOMPARE(view->modified, 0);
    QVERIFY(dialogs->messages.isEmpty());
}

// ---- showing and changing an image ---------------------------------------

void TestListCommands::showImage_data() {
    QTest::addColumn<Rows>("selection");
    QTest::addColumn<QByteArray>("shown"); // empty: nothing sent
    // Rows: 0 blank, 1 p1, 2 blank, 3 blank, 4 p4.
    QTest::newRow("filled row") << Rows{4} << QByteArray("/img/p4.bmp");
    QTest::newRow("blank row: nearest filled above") << Rows{3} << QByteArray("/img/p1.bmp");
    QTest::newRow("first selected row counts") << Rows{2, 4} << QByteArray("/img/p1.bmp");
    QTest::newRow("blank row 0: nothing") << Rows{0} << QByteArray();
    QTest::newRow("no selection: nothing") << Rows{} << QByteArray();
}

void TestListCommands::showImage() {
    QFETCH(Rows, selection);
    QFETCH(QByteArray, shown);
    makeView(Numbered(5, {0, 2, 3}));
    select(selection);
    QSignalSpy spy(doc, &CVistromDoc::updated);
    view->OnShowImage();
    if (shown.isEmpty()) {
        QCOMPARE(spy.count(), 0);
        return;
    }
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy[0][0].value<QObject*>(), static_cast<QObject*>(view));
    QCOMPARE(spy[0][1].toInt(), 16);
    QCOMPARE(spy[0][2].toByteArray(), shown);
    QCOMPARE(view->modified, 0);
}

void TestListCommands::mouseClicks() {
    makeView(Numbered(5, {3}));
    QSignalSpy spy(doc, &CVistromDoc::updated);
    QWidget* area = view->viewport();
    const auto centre = [&](int row) {
        return view->visualRect(view->frameList()->index(row, 1)).center();
    };

    // A right click shows the image of the row under the pointer (a blank row
    // shows the one above) before the row becomes selected.
    QTest::mouseClick(area, Qt::RightButton, {}, centre(3));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy[0][1].toInt(), 16);
    QCOMPARE(spy[0][2].toByteArray(), QByteArray("/img/p2.bmp"));

    // A left click clears the preview and selects as usual.
    QTest::mouseClick(area, Qt::LeftButton, {}, centre(1));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy[1][1].toInt(), 16);
    QCOMPARE(spy[1][2].toByteArray(), QByteArray());
    QCOMPARE(view->selectedRows(), Rows{1});

    // A double click changes the image of the row under the pointer.
    dialogs->files = {QByteArray("/chosen/new.bmp")};
    QTest::mouseDClick(area, Qt::LeftButton, {}, centre(2));
    QCOMPARE(dialogs->fileRequests.size(), 1);
    QCOMPARE(paths()[2], QByteArray("/chosen/new.bmp"));
    QCOMPARE(view->modified, 1);

    // Below the last row nothing is shown or changed.
    const QPoint below(10, view->visualRect(view->frameList()->index(4, 0)).bottom() + 40);
    spy.clear();
    QTest::mouseClick(area, Qt::RightButton, {}, below);
    QCOMPARE(spy.count(), 0);
    QTest::mouseDClick(area, Qt::LeftButton, {}, below);
    QCOMPARE(dialogs->fileRequests.size(), 1);
}

void TestListCommands::changeImage() {
    makeView(Numbered(4, {2}));
    select({2, 3});
    dialogs->files = {QByteArray("/chosen/\xff.png")};
    view->OnChangeImage();
    QCOMPARE(dialogs->fileRequests.size(), 1);
    QCOMPARE(dialogs->fileRequests[0].initialName, QStringLiteral("*.bmp"));
    QCOMPARE(dialogs->fileRequests[0].save, false);
    QCOMPARE(dialogs->fileRequests[0].defaultExtension, QString());
    QCOMPARE(paths(), (Lines{"/img/p0.bmp", "/img/p1.bmp", "/chosen/\xff.png", "/img/p3.bmp"}));
    QCOMPARE(view->frameList()->icon(2), FrameList::FilledIcon);
    QCOMPARE(view->modified, 1);
    QCOMPARE(view->undoStack()->count(), 1);
    view->undoStack()->undo();
    QCOMPARE(paths(), Numbered(4, {2}));
    QCOMPARE(view->frameList()->icon(2), FrameList::BlankIcon);

    // Cancel, or no selection: nothing changes.
    view->modified = 0;
    view->OnChangeImage(); // no answer queued: Cancel
    QCOMPARE(paths(), Numbered(4, {2}));
    select({});
    view->OnChangeImage();
    QCOMPARE(dialogs->fileRequests.size(), 2);
    QCOMPARE(view->modified, 0);
}

void TestListCommands::changeImageFilter_data() {
    QTest::addColumn<bool>("plugins");
    QTest::addColumn<QString>("filter");
    QTest::newRow("neither plug-in")
        << false << QStringLiteral("Bitmap file (*.bmp)|*.bmp|All Files (*.*) |*.*||");
    QTest::newRow("both plug-ins") << true
                                   << QStringLiteral("Bitmap file (*.bmp)|*.bmp|"
                                                     "Jpeg file (*.jpg)|*.jpg|"
                                                     "PNG file (*.png)|*.png|"
                                                     "All Files (*.*) |*.*||");
}

void TestListCommands::changeImageFilter() {
    // The JPEG and PNG entries follow the plug-ins the loader finds at the
    // moment the dialog opens: an empty folder, or the build's folder where
    // both plug-ins are built.
    QFETCH(bool, plugins);
    QFETCH(QString, filter);
    QTemporaryDir empty;
    const std::string dir = plugins ? std::string(VISTROM_BIN_DIR) : empty.path().toStdString();
    if (plugins && !QFile::exists(QStringLiteral(VISTROM_BIN_DIR "/ifjpeg.spi")))
        QSKIP("the decoder plug-ins are not built");
    SetPluginSearchDirsForTesting(std::vector<std::string>{dir});
    makeView(Numbered(2));
    select({0});
    view->OnChangeImage();
    SetPluginSearchDirsForTesting(std::nullopt);
    QCOMPARE(dialogs->fileRequests.size(), 1);
    QCOMPARE(dialogs->fileRequests[0].filter, filter);
}

void TestListCommands::undoAllRedoAll() {
    // A random run of these commands, undone to the start and redone to the
    // end, gives back exactly the lists seen on the way.
    makeView(Numbered(12, {3, 7}));
    QRandomGenerator random(1506);
    QList<Lines> seen{paths()};
    int steps = 0;
    for (int n = 0; n < 80; ++n) {
        const int size = view->frameList()->size();
        Rows selection;
        for (int r = 0; r < size; ++r)
            if (random.bounded(4) == 0)
                selection << r;
        select(selection);
        focus(size == 0 ? -1 : int(random.bounded(size + 1)) - 1);
        const int before = view->undoStack()->count();
        switch (random.bounded(8)) {
        case 0:
            view->OnCopyRows();
            break;
        case 1:
            if (size > 30)
                view->OnCutRowsClosingUp();
            break;
        case 2:
            view->OnCutRowsLeavingBlanks();
            break;
        case 3:
            if (size < 60)
                view->OnPasteRowsInserting();
            break;
        case 4:
            view->OnPasteRowsOverwriting();
            break;
        case 5:
            dialogs->values = {quint32(random.bounded(size + 2)), quint32(random.bounded(3))};
            drop(LocalFiles(1 + int(random.bounded(3))));
            break;
        case 6:
            dialogs->files = {"/chosen/" + QByteArray::number(n) + ".bmp"};
            view->OnChangeImage();
            break;
        case 7:
            view->OnCopyRows();
            if (size < 60)
                view->OnPasteRowsInserting();
            break;
        }
        dialogs->values.clear();
        dialogs->files.clear();
        const int added = view->undoStack()->count() - before;
        QVERIFY(added == 0 || added == 1);
        if (added) {
            seen << paths();
            ++steps;
        }
    }
    QVERIFY(steps > 40);
    for (int i = int(seen.size()) - 2; i >= 0; --i) {
        view->undoStack()->undo();
        QCOMPARE(paths(), seen[i]);
    }
    for (int i = 1; i < seen.size(); ++i) {
        view->undoStack()->redo();
        QCOMPARE(paths(), seen[i]);
    }
}

void TestListCommands::keysInTheMainWindow() {
    // The Edit menu's keys reach these commands while the list has the focus;
    // the table's own Ctrl+C (the current cell's text) must not win.
    CMainFrame frame(doc, dialogs);
    frame.show();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    CVistromView* list = frame.view();
    list->frameList()->resetRows({"/a.bmp", "", "/c.bmp", "/d.bmp"});
    list->setFocus();
    SelectRows(list->selectionModel(), {0, 1, 2});
    list->selectionModel()->setCurrentIndex(list->frameList()->index(3, 0),
                                            QItemSelectionModel::NoUpdate);

    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(ClipboardBytes(), QByteArray("Vistrom data\r\n/a.bmp\r\n\r\n/c.bmp\r\n"));
    QTest::keyClick(list, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(list->frameList()->paths(),
             (Lines{"/a.bmp", "", "/c.bmp", "/a.bmp", "", "/c.bmp", "/d.bmp"}));
    QTest::keyClick(list, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(list->frameList()->paths(), (Lines{"/a.bmp", "", "/c.bmp", "/d.bmp"}));
    QCOMPARE(list->selectedRows(), Rows{});
    SelectRows(list->selectionModel(), {0});
    QTest::keyClick(list, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(list->frameList()->paths(), (Lines{"", "", "/c.bmp", "/d.bmp"}));
    QCOMPARE(list->focusedRow(), 3);
    QTest::keyClick(list, Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(list->frameList()->paths(), (Lines{"", "", "/c.bmp", "/a.bmp"}));
    QCOMPARE(list->undoStack()->count(), 4);
}

QTEST_MAIN(TestListCommands)
#include "tst_listcommands.moc"
