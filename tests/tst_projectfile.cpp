// The project file: reader rules, the writer's text, reading and saving files;
// the clipboard text that carries rows.

#include "project_tools.h"

#include "project/ProjectFile.h"
#include "project/RowClipboardText.h"

#include <QtTest>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <unistd.h>

// Items each followed by ';': "a;;b;".
static QByteArray Joined(const QByteArrayList& items) {
    return items.isEmpty() ? QByteArray() : items.join(';') + ';';
}

// What the reader made of a text: the settings lines (as the writer writes
// them) that differ from the defaults', then the rows; "refused" for no row line.
static QByteArray ReadText(const QByteArray& text) {
    ProjectData data;
    data.settings.fps = 77; // the reader starts from the defaults
    data.rows = {"stale"};
    const ProjectReadResult r = ParseProjectText(text, data);
    const QByteArrayList defaults = ProjectFileText({}, {}).split('\n');
    QByteArrayList out;
    for (const QByteArray& line : ProjectFileText(data.settings, {}).split('\n'))
        if (!defaults.contains(line))
            out << line.chopped(1);
    const bool ok = r == ProjectReadResult::Ok;
    return Joined(out + (ok ? data.rows : QByteArrayList{data.rows.isEmpty() ? "refused" : "?"}));
}

class TestProjectFile : public QObject {
    Q_OBJECT

private slots:
    void reader_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("read");
        const std::pair<QByteArray, QByteArray> rows[] = {
            // Settings: "!F12" skips the third character; a bare "!F" or a value
            // that is no number gives the default; blanks, a sign and trailing
            // text around a number are taken, and no range is checked.
            {"!F12\nrow\n", "!F 2;row;"},
            {"!F 30\n!F\n!X 1\n!X\n!B z\n!W\n!D -\n!O 1\n!Oz\nrow\n", "row;"},
            {"!F   +12fps\n!S 5, 99999\n!B 7\nrow\n", "!F 12;!S 5,99999;!B 7;row;"},
            {"!S 640,480\n!S 640 480\nrow\n", "row;"},
            // Lines that are no key are passed over; the last key counts.
            {"!D 1\n!A 1\n!A2 x\n!A1 /k.wav\n!A1x/o.wav\n!f 10\n!s 1,2\n!\n!Q 3\n!F 3\n!F 9\nrow\n",
             "!F 9;!D 1;!A 1;!A1 /k.wav;row;"},
            {"", "refused;"},
            // Rows: each line a row (without settings lines too), as bytes, the
            // last without its end too; a line beginning with '!' is a setting
            // only before the first row.
            {"/a.bmp\n\n/\xe7\x94\xbb/\xff\x80.bmp\n/b c.bmp",
             "/a.bmp;;/\xe7\x94\xbb/\xff\x80.bmp;/b c.bmp;"},
            {"!F 8\n!weird.bmp\n/a\n!F 3\n\n\n", "/a;!F 3;;;"},
            // A CR or LF in the last two bytes of a line as read is cut.
            {"!F 8\na\rb\n/a\r\n/b\r\r\n/c\rd", "a\rb;/a;/b;/c;"}};
        for (const auto& [text, read] : rows)
            QTest::newRow(text.left(40).toPercentEncoding(" !/").constData()) << text << read;
    }
    void reader() {
        QFETCH(QByteArray, text);
        QTEST(ReadText(text), "read");
    }
    // The writer's exact text (CR LF; "!A1" without "!A 1" too; numbers as
    // signed 32-bit), also on disk under a UTF-8 name; an empty list has one
    // row line.
    void writer() {
        const QByteArray text = "!F -5\r\n!S -2147483648,20\r\n!X 1\r\n!B -3\r\n!W 1\r\n!D 1\r\n"
                                "!O 1\r\n!A1  /s/ファイル.wav \r\n\r\n \r\n\xff.png\r\n\r\n\r\n";
        QTemporaryDir dir;
        const QString path = dir.filePath("round trip ✓.fsq");
        ProjectData data;
        QCOMPARE(ParseProjectText(text, data), ProjectReadResult::Ok);
        QCOMPARE(ProjectFileText(data.settings, data.rows), text);
        QVERIFY(WriteProjectData(QFile::encodeName(path), data.settings, data.rows));
        QCOMPARE(ReadAll(path), text);
        QCOMPARE(ProjectFileText({}, {}),
                 QByteArray("!F 8\r\n!S 320,240\r\n!X 0\r\n!B 0\r\n!W 0\r\n!D 0\r\n\r\n"));
    }
    // Files read whole: refused (the line, the system's reason) or read (rows,
    // the last "/c"). A zero byte in the first 64 KiB: not text; past it, it
    // ends its line. A 65,536-byte line is a row, also with its CR LF split
    // between the pieces read.
    void readFile_data() {
        QTest::addColumn<QByteArray>("bytes"); // the file's; "folder", "huge"
        QTest::addColumn<ProjectReadResult>("result");
        QTest::addColumn<qint64>("line"); // refused: the line; read: the rows
        QTest::addColumn<int>("error");
        using R = ProjectReadResult;
        auto row = [](const char* name, const QByteArray& bytes, R r, qint64 line = 0,
                      int error = 0) { QTest::newRow(name) << bytes << r << line << error; };
        auto a = [](int n) { return QByteArray(n, 'a'); };
        row("folder", "folder", R::CannotOpen, 0, EISDIR);
        row("zero byte at 65,535", "!F 8\n" + a(65530) + '\0', R::NotText);
        row("zero byte past 64 KiB", "!F 8\n" + a(65531) + QByteArray("\0b\n/c\n", 6), R::Ok, 2);
        row("line of 65,536 bytes", "!F 8\n/a\n" + a(65536) + "\r\n/c", R::Ok, 3);
        row("CR LF across pieces", "!F 8\n" + a(65530) + "\r\n/c", R::Ok, 2);
        row("line of 65,537 bytes", "!F 8\n/a\n" + a(65537) + "\n/c", R::LineTooLong, 3);
        row("last line of 65,537 bytes", "!F 8\n" + a(65537), R::LineTooLong, 2);
        row("more than 4 Mi rows", "!F 8\n" + QByteArray(4194305, '\n'), R::TooManyRows, 4194306);
        row("larger than 256 MiB", "huge", R::FileTooLarge);
    }
    void readFile() {
        QFETCH(QByteArray, bytes);
        QFETCH(ProjectReadResult, result);
        QTemporaryDir dir;
        const QString file = dir.filePath("p.fsq");
        const bool folder = bytes == "folder";
        if (bytes == "huge") // sparse: takes no room
            QVERIFY(QFile::resize(WriteFile(file, "!F 8\n/a\n"), kMaxProjectFileBytes + 1));
        else if (!folder)
            QVERIFY(!WriteFile(file, bytes).isEmpty());
        ProjectData data;
        data.rows = {"stale"};
        FileFailure failure;
        QCOMPARE(ReadProjectData(QFile::encodeName(folder ? dir.path() : file), data, &failure),
                 result);
        const bool ok = result == ProjectReadResult::Ok;
        QTEST(ok ? data.rows.size() : failure.line, "line");
        QTEST(failure.systemError, "error");
        QCOMPARE(data.rows.value(data.rows.size() - 1), ok ? QByteArray("/c") : QByteArray());
    }
    // Saving: a name that is not UTF-8 is written and read under its bytes; a
    // link's target is replaced, not the link; a save that fails half-way (the
    // file size limit, which holds for root too) tells why, leaves the old file
    // as it was and no stray file.
    void saving() {
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path()), latin1 = folder + "/caf\xe9.fsq";
        const QByteArray link = folder + "/link.fsq";
        ProjectData data;
        QVERIFY(WriteProjectData(latin1, {}, {"/a.bmp", ""}));
        QCOMPARE(::symlink(latin1.constData(), link.constData()), 0);
        QVERIFY(WriteProjectData(link, {}, {"/b.bmp"}));
        QCOMPARE(ReadProjectData(latin1, data), ProjectReadResult::Ok);
        QCOMPARE(data.rows, QList<QByteArray>{"/b.bmp"});
        struct rlimit saved {};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
        const struct rlimit small { 4096, saved.rlim_max };
        std::signal(SIGXFSZ, SIG_IGN); // a test program: nothing to give back
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        int reason = 0;
        const bool written = WriteProjectData(link, {}, {QByteArray(100000, 'x')}, &reason);
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(!written);
        QCOMPARE(reason, EFBIG);
        QCOMPARE(ReadProjectData(latin1, data), ProjectReadResult::Ok);
        QCOMPARE(data.rows, QList<QByteArray>{"/b.bmp"});
        namespace fs = std::filesystem;
        QCOMPARE(std::distance(fs::directory_iterator(folder.constData()), {}), 2);
        QCOMPARE(::unlink(latin1.constData()), 0); // a name QTemporaryDir cannot remove
    }
    // Rows as clipboard text and back ("refused": no row data); '=' first: the
    // text RowClipboardText makes of those rows.
    void clipboardText_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("rows");
        const QByteArray h("Vistrom data\r\n"), longPath = "/" + QByteArray(10 * 1024, 'p');
        const std::pair<QByteArray, QByteArray> rows[] = {
            {h, "="},
            {h + "\r\n" + longPath + "\r\n\r\n/\xff\xfe x \r\n\r\n",
             "=;" + longPath + ";;/\xff\xfe x ;;"},
            // Lone CR or LF end lines, LF LF is one line end; a last line without
            // its end is taken from 2 bytes on; the text ends at a zero byte.
            {h + QByteArray("a.bmp\rb.bmp\r\0c.bmp\r\n", 20), "a.bmp;b.bmp;"},
            {h + "a\n\nb\n\n\ncd", "a;b;;cd;"},
            {h + "b\na.bmp\r\nb", "b;a.bmp;"},
            {"Vistrom data\na.bmp\r\n", "refused"},
            {"vistrom data\r\na.bmp\r\n", "refused"},
            {"Vistrom data\r", "refused"}};
        for (const auto& [text, rows] : rows)
            QTest::newRow(text.left(40).toPercentEncoding(" !/").constData()) << text << rows;
    }
    void clipboardText() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, rows);
        const std::optional<Paths> split = SplitRowClipboardText(text);
        const bool written = rows.startsWith('=');
        QCOMPARE(split ? Joined(*split) : "refused", written ? rows.mid(1) : rows);
        if (written)
            QCOMPARE(RowClipboardText(*split), text);
    }
};

QTEST_GUILESS_MAIN(TestProjectFile)
#include "tst_projectfile.moc"
