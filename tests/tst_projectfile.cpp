// The project file reader and writer (every reader rule, the writer's exact
// text, round trips through the disk, long lines, saves that fail) and the
// clipboard text that carries rows.

#include "project_tools.h"

#include "project/ProjectFile.h"
#include "project/RowClipboardText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

// Paths name only the fields that differ from the defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

Q_DECLARE_METATYPE(ProjectReadResult)

using S = ProjectSettings;

namespace {

const QByteArray kSettingsLines = "!F 8\r\n!S 320,240\r\n!X 0\r\n!B 0\r\n!W 0\r\n!D 0\r\n";

} // namespace

class TestProjectFile : public QObject {
    Q_OBJECT

private slots:
    void readerSettings_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<ProjectReadResult>("result");
        QTest::addColumn<ProjectSettings>("settings");
        const auto ok = ProjectReadResult::Ok;
        const auto refused = ProjectReadResult::NoRowLine;
        auto row = [](const char* name, const char* text, ProjectReadResult result, S settings) {
            QTest::newRow(name) << QByteArray(text) << result << settings;
        };
        row("defaults", "!F 8\r\n!S 320,240\r\n!X 0\r\n!B 0\r\n!W 0\r\n!D 0\r\n\r\n", ok, S{});
        row("all set", "!F 25\n!S 640,480\n!X 1\n!B 2\n!W 1\n!D 1\n!O 1\n!A 1\n!A1 /a b/c.wav\n\n",
            ok, S{25, 640, 480, ColourDepth::Bits24, true, true, true, true, "/a b/c.wav", true});
        row("!F12 skips the 3rd character", "!F12\nrow\n", ok, S{.fps = 2});
        row("!F alone gives 8", "!F 30\n!F\nrow\n", ok, S{});
        row("!F leading blanks, sign, trailing text", "!F   +12fps\nrow\n", ok, S{.fps = 12});
        row("!F -5 wraps", "!F -5\nrow\n", ok, S{.fps = 4294967291u});
        row("!F 0 kept", "!F 0\nrow\n", ok, S{.fps = 0});
        row("no range check", "!F 1000\n!S 5,99999\n!B 7\nrow\n", ok,
            S{.fps = 1000, .width = 5, .height = 99999, .depth = ColourDepth(7)});
        row("!S without comma", "!S 640,480\n!S 640 480\nrow\n", ok, S{});
        row("!S blank after comma", "!S 640, 480\nrow\n", ok, S{.width = 640, .height = 480});
        row("!S blank before comma", "!S 640 ,480\nrow\n", ok, S{});
        row("!X !B !W !D !O not numbers", "!X 1\n!X\n!B z\n!W\n!D -\n!O 1\n!Oz\nrow\n", ok, S{});
        row("!A2 x passed over", "!A 1\n!A2 x\nrow\n", ok, S{.audioEnabled = true});
        row("!A1 keeps blanks", "!A1  two  blanks \nrow\n", ok, S{.audioPath = " two  blanks "});
        row("!A1x passed over", "!A1 /keep.wav\n!A1x/other.wav\nrow\n", ok,
            S{.audioPath = "/keep.wav"});
        row("lower-case key passed over", "!f 10\n!s 1,2\nrow\n", ok, S{});
        row("unknown keys and lone !", "!\n!Q 3\n!F 9\nrow\n", ok, S{.fps = 9});
        row("last key counts, any order", "!D 1\n!F 3\n!F 4\nrow\n", ok,
            S{.fps = 4, .trimAviSize = true});
        row("no settings lines", "/img/a.bmp\n", ok, S{});
        row("settings only", "!F 12\n!S 100,200\n", refused,
            S{.fps = 12, .width = 100, .height = 200});
        row("empty file", "", refused, S{});
    }
    void readerSettings() {
        QFETCH(QByteArray, text);
        QFETCH(ProjectReadResult, result);
        ProjectData data;
        data.settings.fps = 77; // the reader starts from the defaults
        data.rows = {"stale"};
        QCOMPARE(ParseProjectText(text, data), result);
        QTEST(data.settings, "settings");
        if (result != ProjectReadResult::Ok)
            QVERIFY(data.rows.isEmpty());
    }
    void readerRows_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<Paths>("rows");
        auto row = [](const char* name, const QByteArray& text, const Paths& rows) {
            QTest::newRow(name) << text << rows;
        };
        row("one empty line is one blank row", kSettingsLines + "\r\n", {""});
        row("LF only", "!F 8\n/a.bmp\n\n/b c.bmp\n", {"/a.bmp", "", "/b c.bmp"});
        row("CR LF", "!F 8\r\n/a.bmp\r\n\r\n/b c.bmp\r\n", {"/a.bmp", "", "/b c.bmp"});
        row("last line without end", "!F 8\n/a.bmp\n/b.bmp", {"/a.bmp", "/b.bmp"});
        row("trailing blank lines are rows", "!F 8\n\n\n\n", {"", "", ""});
        row("! after row 0 is a row", "!F 8\n/a\n!F 3\n", {"/a", "!F 3"});
        row("row 0 beginning with ! is a setting", "!F 8\n!weird.bmp\n/b\n", {"/b"});
        row("blank path is a row", "!F 8\n \n", {" "});
        // A CR or LF in the last two bytes of a line as read is cut.
        row("lone CR, and CR next-to-last at the end", "!F 8\n/a\r\n/b\r\r\n/c\rd",
            {"/a", "/b", "/c"});
        row("bytes and inner CR pass through", "!F 8\n/\xe7\x94\xbb/\xff\x80.bmp\na\rb.bmp\n",
            {"/\xe7\x94\xbb/\xff\x80.bmp", "a\rb.bmp"});
    }
    void readerRows() {
        QFETCH(QByteArray, text);
        ProjectData data;
        QCOMPARE(ParseProjectText(text, data), ProjectReadResult::Ok);
        QTEST(data.rows, "rows");
    }
    void writerText_data() {
        QTest::addColumn<ProjectSettings>("settings");
        QTest::addColumn<Paths>("rows");
        QTest::addColumn<QByteArray>("text");
        Paths two(10);
        two[0] = "/img/first.bmp";
        two[2] = "/img/second one.bmp";
        QTest::newRow("two images")
            << S{} << two
            << kSettingsLines + "/img/first.bmp\r\n\r\n/img/second one.bmp\r\n" +
                   QByteArray("\r\n").repeated(7);
        QTest::newRow("audio lines")
            << S{.audioEnabled = true, .audioPath = "/snd/a b.wav"} << Paths{"x"}
            << kSettingsLines + "!A 1\r\n!A1 /snd/a b.wav\r\nx\r\n";
        QTest::newRow("audio path without enable")
            << S{.audioPath = "/s.wav"} << Paths{"x"} << kSettingsLines + "!A1 /s.wav\r\nx\r\n";
        QTest::newRow("signed 32-bit numbers")
            << S{.fps = 4294967291u, .width = 0x80000000u, .height = 1, .depth = ColourDepth(-3)}
            << Paths{""}
            << QByteArray("!F -5\r\n!S -2147483648,1\r\n!X 0\r\n!B -3\r\n!W 0\r\n!D 0\r\n\r\n");
        QTest::newRow("empty list has one row line") << S{} << Paths{} << kSettingsLines + "\r\n";
        QTest::newRow("every setting")
            << S{40,   1280, 20,   ColourDepth::Bits24, true,
                 true, true, true, " /s/ファイル.wav ", true}
            << Paths{"", " ", "\xff.png"}
            << QByteArray("!F 40\r\n!S 1280,20\r\n!X 1\r\n!B 2\r\n!W 1\r\n!D 1\r\n!O 1\r\n!A 1\r\n"
                          "!A1  /s/ファイル.wav \r\n\r\n \r\n\xff.png\r\n");
    }
    // The text, also on disk (CR LF), and the same project read back from it.
    void writerText() {
        QFETCH(ProjectSettings, settings);
        QFETCH(Paths, rows);
        QFETCH(QByteArray, text);
        QCOMPARE(ProjectFileText(settings, rows), text);
        QTemporaryDir dir;
        const QString path = dir.filePath("round trip ✓.fsq");
        QVERIFY(WriteProjectData(QFile::encodeName(path), settings, rows));
        QCOMPARE(ReadFile(path), text);
        ProjectData data;
        QCOMPARE(ReadProjectData(QFile::encodeName(path), data), ProjectReadResult::Ok);
        QCOMPARE(data.settings, settings);
        QCOMPARE(data.rows, rows.isEmpty() ? Paths{""} : rows); // an empty list: one blank row
    }
    void longLinesAreOneRow() {
        // Paths of any length up to the bound stay one row each, in both
        // directions, also where the file is read in pieces: the 65,536-byte line
        // and a CR LF cut in two by the first piece's end.
        Paths rows;
        rows.append("/" + QByteArray(65535 - 6 - 1, 'c'));
        for (int length : {899, 900, 901, 1799, 65536})
            rows.append("/" + QByteArray(length - 1, 'a' + length % 26));
        ProjectSettings longAudio;
        longAudio.audioPath = "/" + QByteArray(3000, 'w');
        QByteArray text = ProjectFileText(longAudio, rows);
        const qsizetype firstRow = text.indexOf("\r\n/c") + 2;
        text.remove(0, firstRow - 6).replace(0, 6, "!F 8\r\n"); // the first row's CR at byte 65,535
        QCOMPARE(text.mid(65535, 2), QByteArray("\r\n"));
        QTemporaryDir dir;
        for (const bool file : {false, true}) {
            ProjectData data;
            const ProjectReadResult r =
                file ? ReadProjectData(WriteFile(dir.filePath("long.fsq"), text), data)
                     : ParseProjectText(text, data);
            QCOMPARE(r, ProjectReadResult::Ok);
            QCOMPARE(data.rows, rows);
        }
        ProjectData data;
        QCOMPARE(ParseProjectText(ProjectFileText(longAudio, {}), data), ProjectReadResult::Ok);
        QCOMPARE(data.settings.audioPath, longAudio.audioPath);
    }
    // Files refused as a whole, with the line or the system's reason; a file that
    // is not text is no project, while a zero byte past the first 64 KiB only
    // ends its line, as it always did. "<n>x<c>": n bytes c.
    void readRefused_data() {
        QTest::addColumn<QByteArrayList>("parts"); // the file's bytes; "missing", "folder", "huge"
        QTest::addColumn<ProjectReadResult>("result");
        QTest::addColumn<qint64>("line");
        QTest::addColumn<int>("error");
        using R = ProjectReadResult;
        auto row = [](const char* name, const QByteArrayList& parts, R r, qint64 line = 0,
                      int error = 0) { QTest::newRow(name) << parts << r << line << error; };
        const QByteArray png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
        row("missing", {"missing"}, R::CannotOpen, 0, ENOENT);
        row("folder", {"folder"}, R::CannotOpen, 0, EISDIR);
        row("an image", {png}, R::NotText);
        row("zero byte at 65,535", {"!F 8\n", "65530xa", QByteArray(1, '\0')}, R::NotText);
        row("zero byte past 64 KiB", {"!F 8\n", "65531xa", QByteArray("\0b\n/c\n", 6)}, R::Ok);
        row("line of 65,536 bytes", {"!F 8\n/a\n", "65536xa", "\r\n/c"}, R::Ok);
        row("line of 65,537 bytes", {"!F 8\n/a\n", "65537xa", "\n/c"}, R::LineTooLong, 3);
        row("last line of 65,537 bytes", {"!F 8\n", "65537xa"}, R::LineTooLong, 2);
        row("more than 4 Mi rows", {"!F 8\n", "4194305x\n"}, R::TooManyRows, 4194306);
        row("larger than 256 MiB", {"huge"}, R::FileTooLarge);
    }
    void readRefused() {
        QFETCH(QByteArrayList, parts);
        QFETCH(ProjectReadResult, result);
        QTemporaryDir dir;
        QByteArray path = QFile::encodeName(dir.filePath("p.fsq"));
        QByteArray bytes;
        for (const QByteArray& part : parts) {
            const qsizetype x = part.indexOf('x');
            bytes += x > 0 && part.left(x).toLongLong() > 0
                         ? part.mid(x + 1).repeated(part.left(x).toLongLong())
                         : part;
        }
        if (parts[0] == "folder")
            path = QFile::encodeName(dir.path());
        else if (parts[0] == "huge") // sparse: takes no room
            QVERIFY(!WriteFile(dir.filePath("p.fsq"), "!F 8\n/a\n").isEmpty() &&
                    QFile::resize(dir.filePath("p.fsq"), kMaxProjectFileBytes + 1));
        else if (parts[0] != "missing")
            QVERIFY(!WriteFile(dir.filePath("p.fsq"), bytes).isEmpty());
        ProjectData data;
        data.rows = {"stale"};
        FileFailure failure;
        QCOMPARE(ReadProjectData(path, data, &failure), result);
        QTEST(failure.line, "line");
        QTEST(failure.systemError, "error");
        QCOMPARE(data.rows.isEmpty(), result != ProjectReadResult::Ok);
        if (result == ProjectReadResult::Ok)
            QCOMPARE(data.rows.last(), QByteArray("/c"));
    }
    void failedSaves() {
        QTemporaryDir dir;
        const QList<std::pair<QByteArray, int>> refused{
            {QFile::encodeName(dir.filePath("missing/a.fsq")), ENOENT},
            {QFile::encodeName(dir.path()), EISDIR},
            {QByteArray(), ENOENT}};
        for (const auto& [path, error] : refused) {
            int reason = 0;
            QVERIFY(!WriteProjectData(path, {}, {""}, &reason));
            QCOMPARE(reason, error);
        }
        // A write that fails half-way (here: the file size limit, which also holds
        // for root) leaves the previous file as it was and no stray file.
        const QString path = dir.filePath("old.fsq");
        QVERIFY(WriteProjectData(QFile::encodeName(path), {}, {"/old.bmp"}));
        const QByteArray old = ReadFile(path);
        struct rlimit saved {};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
        auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = saved;
        small.rlim_cur = 4096;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        int reason = 0;
        const bool written =
            WriteProjectData(QFile::encodeName(path), {}, {QByteArray(100000, 'x')}, &reason);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!written);
        QCOMPARE(reason, EFBIG);
        QCOMPARE(ReadFile(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.fsq"});
    }
    void bytePathsAndLinks() {
        // A name that is not UTF-8 is written and read under exactly its bytes.
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path());
        const QByteArray latin1 = folder + "/caf\xe9.fsq";
        QVERIFY(WriteProjectData(latin1, {}, {"/a.bmp", ""}));
        QCOMPARE(::access(latin1.constData(), R_OK), 0);
        ProjectData data;
        QCOMPARE(ReadProjectData(latin1, data), ProjectReadResult::Ok);
        QCOMPARE(data.rows, (QList<QByteArray>{"/a.bmp", ""}));
        // Saving keeps the file's permissions and replaces the file a link names.
        QCOMPARE(::chmod(latin1.constData(), 0640), 0);
        const QByteArray link = folder + "/link.fsq";
        QCOMPARE(::symlink(latin1.constData(), link.constData()), 0);
        QVERIFY(WriteProjectData(link, {}, {"/b.bmp"}));
        struct stat st {};
        QCOMPARE(::lstat(link.constData(), &st), 0);
        QVERIFY(S_ISLNK(st.st_mode));
        QCOMPARE(::stat(latin1.constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0640);
        QCOMPARE(ReadProjectData(latin1, data), ProjectReadResult::Ok);
        QCOMPARE(data.rows, QList<QByteArray>{"/b.bmp"});
        // A file whose mode lets nobody write is write-protected, for root too.
        QVERIFY(!IsWriteProtected(link) && !IsWriteProtected(folder + "/none.fsq"));
        QCOMPARE(::chmod(latin1.constData(), 0444), 0);
        QVERIFY(IsWriteProtected(link) && IsWriteProtected(latin1));
    }
    // A relative path is taken from the project's folder when the file is there,
    // else as written (from the current folder); others are left as they are.
    void relativePaths() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        WriteFile(dir.filePath("in.bmp"), "BM");
        const QByteArray folder = QFile::encodeName(dir.path()), in = folder + "/p.fsq";
        const std::tuple<QByteArray, QByteArray, QByteArray> cases[] = {
            {"in.bmp", in, folder + "/in.bmp"}, {"sub/../in.bmp", in, folder + "/sub/../in.bmp"},
            {"out.bmp", in, "out.bmp"}, // not there: as written
            {"/in.bmp", in, "/in.bmp"},         {"", in, ""},
            {"in.bmp", "p.fsq", "in.bmp"}, // a project without a folder
            {"in.bmp", "/p.fsq", "in.bmp"}};
        for (const auto& [path, project, resolved] : cases) {
            QCOMPARE(ResolveProjectPath(path, ProjectFolder(project)), resolved);
            QCOMPARE(ResolveProjectPaths({path, "/x"}, ProjectFolder(project)),
                     (Paths{resolved, "/x"}));
        }
    }
    // Rows as clipboard text and back. "written": the text RowClipboardText
    // makes of the rows.
    void clipboardText_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<Paths>("rows");
        QTest::addColumn<bool>("written");
        const QByteArray h("Vistrom data\r\n"), longPath = "/" + QByteArray(10 * 1024, 'p');
        auto row = [](const char* name, const QByteArray& text, const std::optional<Paths>& rows,
                      bool written = false) {
            QTest::newRow(name) << text << rows.has_value() << rows.value_or(Paths()) << written;
        };
        row("no selection: header alone", h, Paths{}, true);
        row("one blank", h + "\r\n", Paths{""}, true);
        row("path blank path", h + "a.bmp\r\n\r\nc.bmp\r\n", Paths{"a.bmp", "", "c.bmp"}, true);
        row("blank last rows", h + "/a.bmp\r\n\r\n\r\n", Paths{"/a.bmp", "", ""}, true);
        row("one byte paths", h + "a\r\nb\r\n", Paths{"a", "b"}, true);
        row("bytes as held, spaces kept", h + "/\xff\xfe/\xe7\x94\xbb.bmp\r\n x \r\n",
            Paths{"/\xff\xfe/\xe7\x94\xbb.bmp", " x "}, true);
        row("10 KiB paths whole", h + longPath + "\r\n\r\n" + longPath + "2\r\n",
            Paths{longPath, "", longPath + "2"}, true);
        row("blank first", h + "\r\nb.bmp\r\n", Paths{"", "b.bmp"}, true);
        row("lone CR", h + "a.bmp\rb.bmp\r", Paths{"a.bmp", "b.bmp"});
        row("lone LF", h + "a.bmp\nb.bmp\n", Paths{"a.bmp", "b.bmp"});
        row("LF LF is one line end", h + "a.bmp\n\nb.bmp\n", Paths{"a.bmp", "b.bmp"});
        row("LF LF LF leaves one empty line", h + "a.bmp\n\n\nb.bmp\n",
            Paths{"a.bmp", "", "b.bmp"});
        row("LF only, no final line end", h + "a.bmp\nb.bmp", Paths{"a.bmp", "b.bmp"});
        row("last line of 1 byte without end not taken", h + "a.bmp\r\nb", Paths{"a.bmp"});
        row("last line of 2 bytes without end taken", h + "a.bmp\r\nbc", Paths{"a.bmp", "bc"});
        row("one byte line with lone LF", h + "b\n", Paths{"b"});
        row("header and one byte", h + "x", Paths{});
        row("text ends at NUL", h + QByteArray("a.bmp\r\n\0b.bmp\r\n", 15), Paths{"a.bmp"});
        row("LF header refused", "Vistrom data\na.bmp\r\n", std::nullopt);
        row("lower case refused", "vistrom data\r\na.bmp\r\n", std::nullopt);
        row("short text refused", "Vistrom data\r", std::nullopt);
        row("empty text refused", "", std::nullopt);
        row("plain editor text refused", "a.bmp\nb.bmp\n", std::nullopt);
    }
    void clipboardText() {
        QFETCH(QByteArray, text);
        QFETCH(Paths, rows);
        const std::optional<Paths> split = SplitRowClipboardText(text);
        QTEST(split.has_value(), "accepted");
        QCOMPARE(split.value_or(Paths()), rows);
        QFETCH(bool, written);
        if (written)
            QCOMPARE(RowClipboardText(rows), text);
    }
};

QTEST_GUILESS_MAIN(TestProjectFile)
#include "tst_projectfile.moc"
