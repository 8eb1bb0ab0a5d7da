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

// Shown when a comparison of settings fails.
char* toString(const ProjectSettings& s) {
    return qstrdup(QString::asprintf("F %u S %u,%u B %d W %d X %d D %d O %d A %d A1 '%s'", s.fps,
                                     s.width, s.height, int(s.depth), s.noTrailingBlank,
                                     s.scaleImages, s.trimAviSize, s.applyOrientation,
                                     s.audioEnabled, s.audioPath.constData())
                       .toUtf8()
                       .constData());
}

namespace {

const QByteArray kSettingsLines = "!F 8\r\n!S 320,240\r\n!X 0\r\n!B 0\r\n!W 0\r\n!D 0\r\n";

} // namespace

class TestProjectFile : public QObject {
    Q_OBJECT

private slots:
    void readerSettings_data();
    void readerSettings();
    void readerRows_data();
    void readerRows();
    void writerText_data();
    void writerText();
    void longLinesAreOneRow();
    void readRefused_data();
    void readRefused();
    void failedSaves();
    void bytePathsAndLinks();
    void relativePaths_data();
    void relativePaths();
    void clipboardText_data();
    void clipboardText();
    void clipboardSplits_data();
    void clipboardSplits();
};

void TestProjectFile::readerSettings_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<ProjectReadResult>("result");
    QTest::addColumn<ProjectSettings>("settings");
    const auto ok = ProjectReadResult::Ok;
    const auto refused = ProjectReadResult::NoRowLine;
    auto row = [](const char* name, const char* text, ProjectReadResult result, S settings) {
        QTest::newRow(name) << QByteArray(text) << result << settings;
    };
    row("defaults", "!F 8\r\n!S 320,240\r\n!X 0\r\n!B 0\r\n!W 0\r\n!D 0\r\n\r\n", ok, S{});
    row("all set", "!F 25\n!S 640,480\n!X 1\n!B 2\n!W 1\n!D 1\n!O 1\n!A 1\n!A1 /a b/c.wav\n\n", ok,
        S{25, 640, 480, ColourDepth::Bits24, true, true, true, true, "/a b/c.wav", true});
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
    row("settings only", "!F 12\n!S 100,200\n", refused, S{.fps = 12, .width = 100, .height = 200});
    row("empty file", "", refused, S{});
}

void TestProjectFile::readerSettings() {
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

void TestProjectFile::readerRows_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Paths>("rows");
    QTest::newRow("one empty line is one blank row") << kSettingsLines + "\r\n" << Paths{""};
    QTest::newRow("LF only") << QByteArray("!F 8\n/a.bmp\n\n/b c.bmp\n")
                             << Paths{"/a.bmp", "", "/b c.bmp"};
    QTest::newRow("CR LF") << QByteArray("!F 8\r\n/a.bmp\r\n\r\n/b c.bmp\r\n")
                           << Paths{"/a.bmp", "", "/b c.bmp"};
    QTest::newRow("last line without end")
        << QByteArray("!F 8\n/a.bmp\n/b.bmp") << Paths{"/a.bmp", "/b.bmp"};
    QTest::newRow("trailing blank lines are rows")
        << QByteArray("!F 8\n\n\n\n") << Paths{"", "", ""};
    QTest::newRow("! after row 0 is a row")
        << QByteArray("!F 8\n/a\n!F 3\n") << Paths{"/a", "!F 3"};
    QTest::newRow("row 0 beginning with ! is a setting")
        << QByteArray("!F 8\n!weird.bmp\n/b\n") << Paths{"/b"};
    QTest::newRow("blank path is a row") << QByteArray("!F 8\n \n") << Paths{" "};
    // A CR or LF in the last two bytes of a line as read is cut.
    QTest::newRow("lone CR, and CR next-to-last at the end")
        << QByteArray("!F 8\n/a\r\n/b\r\r\n/c\rd") << Paths{"/a", "/b", "/c"};
    QTest::newRow("bytes and inner CR pass through")
        << QByteArray("!F 8\n/\xe7\x94\xbb/\xff\x80.bmp\na\rb.bmp\n")
        << Paths{"/\xe7\x94\xbb/\xff\x80.bmp", "a\rb.bmp"};
}

void TestProjectFile::readerRows() {
    QFETCH(QByteArray, text);
    ProjectData data;
    QCOMPARE(ParseProjectText(text, data), ProjectReadResult::Ok);
    QTEST(data.rows, "rows");
}

void TestProjectFile::writerText_data() {
    QTest::addColumn<ProjectSettings>("settings");
    QTest::addColumn<Paths>("rows");
    QTest::addColumn<QByteArray>("text");
    Paths two(10);
    two[0] = "/img/first.bmp";
    two[2] = "/img/second one.bmp";
    QTest::newRow("two images") << S{} << two
                                << kSettingsLines +
                                       "/img/first.bmp\r\n\r\n/img/second one.bmp\r\n" +
                                       QByteArray("\r\n").repeated(7);
    QTest::newRow("audio lines") << S{.audioEnabled = true, .audioPath = "/snd/a b.wav"}
                                 << Paths{"x"}
                                 << kSettingsLines + "!A 1\r\n!A1 /snd/a b.wav\r\nx\r\n";
    QTest::newRow("audio path without enable")
        << S{.audioPath = "/s.wav"} << Paths{"x"} << kSettingsLines + "!A1 /s.wav\r\nx\r\n";
    QTest::newRow("signed 32-bit numbers")
        << S{.fps = 4294967291u, .width = 0x80000000u, .height = 1, .depth = ColourDepth(-3)}
        << Paths{""}
        << QByteArray("!F -5\r\n!S -2147483648,1\r\n!X 0\r\n!B -3\r\n!W 0\r\n!D 0\r\n\r\n");
    QTest::newRow("empty list has one row line") << S{} << Paths{} << kSettingsLines + "\r\n";
    QTest::newRow("every setting")
        << S{40, 1280, 20, ColourDepth::Bits24, true, true, true, true, " /s/ファイル.wav ", true}
        << Paths{"", " ", "\xff.png"}
        << QByteArray("!F 40\r\n!S 1280,20\r\n!X 1\r\n!B 2\r\n!W 1\r\n!D 1\r\n!O 1\r\n!A 1\r\n"
                      "!A1  /s/ファイル.wav \r\n\r\n \r\n\xff.png\r\n");
}

// The text, also on disk (CR LF), and the same project read back from it.
void TestProjectFile::writerText() {
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

void TestProjectFile::longLinesAreOneRow() {
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
void TestProjectFile::readRefused_data() {
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

void TestProjectFile::readRefused() {
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

void TestProjectFile::failedSaves() {
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

void TestProjectFile::bytePathsAndLinks() {
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
void TestProjectFile::relativePaths_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("project"); // "<dir>" is a folder holding in.bmp
    QTest::addColumn<QByteArray>("resolved");
    QTest::newRow("in the project's folder")
        << QByteArray("in.bmp") << QByteArray("<dir>/p.fsq") << QByteArray("<dir>/in.bmp");
    QTest::newRow("below it") << QByteArray("sub/../in.bmp") << QByteArray("<dir>/p.fsq")
                              << QByteArray("<dir>/sub/../in.bmp");
    QTest::newRow("not there: as written")
        << QByteArray("out.bmp") << QByteArray("<dir>/p.fsq") << QByteArray("out.bmp");
    QTest::newRow("absolute") << QByteArray("/in.bmp") << QByteArray("<dir>/p.fsq")
                              << QByteArray("/in.bmp");
    QTest::newRow("blank") << QByteArray() << QByteArray("<dir>/p.fsq") << QByteArray();
    QTest::newRow("project without folder")
        << QByteArray("in.bmp") << QByteArray("p.fsq") << QByteArray("in.bmp");
    QTest::newRow("project at the root")
        << QByteArray("in.bmp") << QByteArray("/p.fsq") << QByteArray("in.bmp");
}

void TestProjectFile::relativePaths() {
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, project);
    QFETCH(QByteArray, resolved);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    WriteFile(dir.filePath("in.bmp"), "BM");
    const QByteArray folder = QFile::encodeName(dir.path());
    project.replace("<dir>", folder);
    resolved.replace("<dir>", folder);
    QCOMPARE(ResolveProjectPath(path, ProjectFolder(project)), resolved);
    QCOMPARE(ResolveProjectPaths({path, "/x"}, ProjectFolder(project)), (Paths{resolved, "/x"}));
}

// The bytes written, and the same rows read back from them.
void TestProjectFile::clipboardText_data() {
    QTest::addColumn<Paths>("paths");
    QTest::addColumn<QByteArray>("text");
    const QByteArray h("Vistrom data\r\n"), longPath = "/" + QByteArray(10 * 1024, 'p');
    QTest::newRow("no selection: header alone") << Paths{} << h;
    QTest::newRow("one blank") << Paths{""} << h + "\r\n";
    QTest::newRow("path blank path") << Paths{"a.bmp", "", "c.bmp"} << h + "a.bmp\r\n\r\nc.bmp\r\n";
    QTest::newRow("blank last rows") << Paths{"/a.bmp", "", ""} << h + "/a.bmp\r\n\r\n\r\n";
    QTest::newRow("one byte paths") << Paths{"a", "b"} << h + "a\r\nb\r\n";
    QTest::newRow("bytes as held, spaces kept")
        << Paths{QByteArray("/\xff\xfe/\xe7\x94\xbb.bmp"), " x "}
        << h + "/\xff\xfe/\xe7\x94\xbb.bmp\r\n x \r\n";
    QTest::newRow("10 KiB paths whole")
        << Paths{longPath, "", longPath + "2"} << h + longPath + "\r\n\r\n" + longPath + "2\r\n";
}

void TestProjectFile::clipboardText() {
    QFETCH(Paths, paths);
    QFETCH(QByteArray, text);
    QCOMPARE(RowClipboardText(paths), text);
    const std::optional<Paths> back = SplitRowClipboardText(text);
    QVERIFY(back);
    QCOMPARE(*back, paths);
}

void TestProjectFile::clipboardSplits_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<Paths>("lines");
    const QByteArray h("Vistrom data\r\n");
    QTest::newRow("blank first") << h + "\r\nb.bmp\r\n" << true << Paths{"", "b.bmp"};
    QTest::newRow("lone CR") << h + "a.bmp\rb.bmp\r" << true << Paths{"a.bmp", "b.bmp"};
    QTest::newRow("lone LF") << h + "a.bmp\nb.bmp\n" << true << Paths{"a.bmp", "b.bmp"};
    QTest::newRow("LF LF is one line end") << h + "a.bmp\n\nb.bmp\n"
                                           << true << Paths{"a.bmp", "b.bmp"};
    QTest::newRow("LF LF LF leaves one empty line") << h + "a.bmp\n\n\nb.bmp\n"
                                                    << true << Paths{"a.bmp", "", "b.bmp"};
    QTest::newRow("LF only, no final line end")
        << h + "a.bmp\nb.bmp" << true << Paths{"a.bmp", "b.bmp"};
    QTest::newRow("last line of 1 byte without end not taken")
        << h + "a.bmp\r\nb" << true << Paths{"a.bmp"};
    QTest::newRow("last line of 2 bytes without end taken")
        << h + "a.bmp\r\nbc" << true << Paths{"a.bmp", "bc"};
    QTest::newRow("one byte line with its end") << h + "b\r\n" << true << Paths{"b"};
    QTest::newRow("one byte line with lone LF") << h + "b\n" << true << Paths{"b"};
    QTest::newRow("header and one byte") << h + "x" << true << Paths{};
    QTest::newRow("text ends at NUL")
        << h + QByteArray("a.bmp\r\n\0b.bmp\r\n", 15) << true << Paths{"a.bmp"};
    QTest::newRow("LF header refused") << QByteArray("Vistrom data\na.bmp\r\n") << false << Paths{};
    QTest::newRow("lower case refused")
        << QByteArray("vistrom data\r\na.bmp\r\n") << false << Paths{};
    QTest::newRow("short text refused") << QByteArray("Vistrom data\r") << false << Paths{};
    QTest::newRow("empty text refused") << QByteArray() << false << Paths{};
    QTest::newRow("plain editor text refused") << QByteArray("a.bmp\nb.bmp\n") << false << Paths{};
}

void TestProjectFile::clipboardSplits() {
    QFETCH(QByteArray, text);
    QFETCH(bool, accepted);
    QFETCH(Paths, lines);
    const std::optional<Paths> split = SplitRowClipboardText(text);
    QCOMPARE(split.has_value(), accepted);
    if (accepted)
        QCOMPARE(*split, lines);
}

QTEST_GUILESS_MAIN(TestProjectFile)
#include "tst_projectfile.moc"
