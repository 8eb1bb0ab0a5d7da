// The project file reader and writer: every reader rule, the writer's exact
// text, round trips, long lines, CR LF on disk and saves that fail.

#include "framelist/ProjectFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

Q_DECLARE_METATYPE(ProjectReadResult)

namespace {

const QByteArray kSettingsLines = "!F 8\r\n!S 320,240\r\n!X 0\r\n!B 0\r\n!W 0\r\n!D 0\r\n";

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<cannot open>");
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class TestProjectFile : public QObject {
    Q_OBJECT

private slots:
    void trimLineEnd_data();
    void trimLineEnd();
    void readerSettings_data();
    void readerSettings();
    void readerRows_data();
    void readerRows();
    void writerText_data();
    void writerText();
    void roundTrip_data();
    void roundTrip();
    void longLinesAreOneRow();
    void diskUsesCrLf();
    void readMissingFile();
    void readDirectory();
    void failedSaveKeepsOldFile();
    void saveIntoMissingFolderFails();
};

void TestProjectFile::trimLineEnd_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("LF") << QByteArray("abc\n") << QByteArray("abc");
    QTest::newRow("CR LF") << QByteArray("abc\r\n") << QByteArray("abc");
    QTest::newRow("lone CR") << QByteArray("abc\r") << QByteArray("abc");
    QTest::newRow("no end") << QByteArray("abc") << QByteArray("abc");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("LF only") << QByteArray("\n") << QByteArray();
    QTest::newRow("CR inside stays") << QByteArray("a\rbc\n") << QByteArray("a\rbc");
    // The next-to-last byte is looked at whatever the last one is.
    QTest::newRow("CR next-to-last") << QByteArray("ab\rc") << QByteArray("ab");
    QTest::newRow("blanks stay") << QByteArray("  \n") << QByteArray("  ");
}

void TestProjectFile::trimLineEnd() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, expected);
    TrimLineEnd(line);
    QCOMPARE(line, expected);
}

void TestProjectFile::readerSettings_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<ProjectReadResult>("result");
    QTest::addColumn<quint32>("fps");
    QTest::addColumn<quint32>("width");
    QTest::addColumn<quint32>("height");
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("noTrailing");
    QTest::addColumn<int>("trim");
    QTest::addColumn<int>("audio");
    QTest::addColumn<QByteArray>("audioPath");

    const auto ok = ProjectReadResult::Ok;
    auto row = [](const char* name) { return &QTest::newRow(name); };
    *row("defaults") << kSettingsLines + "\r\n"
                     << ok << 8u << 320u << 240u << 0 << 0 << 0 << 0 << 0 << QByteArray();
    *row("all set") << QByteArray(
                           "!F 25\n!S 640,480\n!X 1\n!B 2\n!W 1\n!D 1\n!A 1\n!A1 /a b/c.wav\n\n")
                    << ok << 25u << 640u << 480u << 1 << 2 << 1 << 1 << 1
                    << QByteArray("/a b/c.wav");
    *row("!F12 skips the 3rd character") << QByteArray("!F12\nrow\n") << ok << 2u << 320u << 240u
                                         << 0 << 0 << 0 << 0 << 0 << QByteArray();
    *row("!F alone gives 8") << QByteArray("!F 30\n!F\nrow\n") << ok << 8u << 320u << 240u << 0 << 0
                             << 0 << 0 << 0 << QByteArray();
    *row("!F not a number") << QByteArray("!F x\nrow\n") << ok << 8u << 320u << 240u << 0 << 0 << 0
                            << 0 << 0 << QByteArray();
    *row("!F leading blanks, sign, trailing text")
        << QByteArray("!F   +12fps\nrow\n") << ok << 12u << 320u << 240u << 0 << 0 << 0 << 0 << 0
        << QByteArray();
    *row("!F -5 wraps") << QByteArray("!F -5\nrow\n") << ok << 4294967291u << 320u << 240u << 0 << 0
                        << 0 << 0 << 0 << QByteArray();
    *row("!F 0 kept") << QByteArray("!F 0\nrow\n") << ok << 0u << 320u << 240u << 0 << 0 << 0 << 0
                      << 0 << QByteArray();
    *row("no range check") << QByteArray("!F 1000\n!S 5,99999\n!B 7\nrow\n") << ok << 1000u << 5u
                           << 99999u << 0 << 7 << 0 << 0 << 0 << QByteArray();
    *row("!S without comma") << QByteArray("!S 640,480\n!S 640 480\nrow\n") << ok << 8u << 320u
                             << 240u << 0 << 0 << 0 << 0 << 0 << QByteArray();
    *row("!S with comma") << QByteArray("!S 640,480\nrow\n") << ok << 8u << 640u << 480u << 0 << 0
                          << 0 << 0 << 0 << QByteArray();
    *row("!S blank after comma") << QByteArray("!S 640, 480\nrow\n") << ok << 8u << 640u << 480u
                                 << 0 << 0 << 0 << 0 << 0 << QByteArray();
    *row("!S blank before comma") << QByteArray("!S 640 ,480\nrow\n") << ok << 8u << 320u << 240u
                                  << 0 << 0 << 0 << 0 << 0 << QByteArray();
    *row("!S one number") << QByteArray("!S 640,\nrow\n") << ok << 8u << 320u << 240u << 0 << 0 << 0
                          << 0 << 0 << QByteArray();
    *row("!X !B !W !D not numbers") << QByteArray("!X 1\n!X\n!B z\n!W\n!D -\nrow\n") << ok << 8u
                                    << 320u << 240u << 0 << 0 << 0 << 0 << 0 << QByteArray();
    *row("!A 1") << QByteArray("!A 1\nrow\n") << ok << 8u << 320u << 240u << 0 << 0 << 0 << 0 << 1
                 << QByteArray();
    *row("!A2 x passed over") << QByteArray("!A 1\n!A2 x\nrow\n") << ok << 8u << 320u << 240u << 0
                              << 0 << 0 << 0 << 1 << QByteArray();
    *row("!A1 keeps blanks") << QByteArray("!A1  two  blanks \nrow\n") << ok << 8u << 320u << 240u
                             << 0 << 0 << 0 << 0 << 0 << QByteArray(" two  blanks ");
    *row("!A1x passed over") << QByteArray("!A1 /keep.wav\n!A1x/other.wav\nrow\n") << ok << 8u
                             << 320u << 240u << 0 << 0 << 0 << 0 << 0 << QByteArray("/keep.wav");
    *row("!A alone passed over") << QByteArray("!A 1\n!A\nrow\n") << ok << 8u << 320u << 240u << 0
                                 << 0 << 0 << 0 << 1 << QByteArray();
    *row("lower-case key passed over") << QByteArray("!f 10\n!s 1,2\nrow\n") << ok << 8u << 320u
                                       << 240u << 0 << 0 << 0 << 0 << 0 << QByteArray();
    *row("unknown keys and lone !") << QByteArray("!\n!Q 3\n!F 9\nrow\n") << ok << 9u << 320u
                                    << 240u << 0 << 0 << 0 << 0 << 0 << QByteArray();
    *row("last key counts, any order") << QByteArray("!D 1\n!F 3\n!F 4\nrow\n") << ok << 4u << 320u
                                       << 240u << 0 << 0 << 0 << 1 << 0 << QByteArray();
    *row("settings only") << QByteArray("!F 12\n!S 100,200\n") << ProjectReadResult::NoRowLine
                          << 12u << 100u << 200u << 0 << 0 << 0 << 0 << 0 << QByteArray();
    *row("empty file") << QByteArray() << ProjectReadResult::NoRowLine << 8u << 320u << 240u << 0
                       << 0 << 0 << 0 << 0 << QByteArray();
    *row("no settings lines") << QByteArray("/img/a.bmp\n") << ok << 8u << 320u << 240u << 0 << 0
                              << 0 << 0 << 0 << QByteArray();
}

void TestProjectFile::readerSettings() {
    QFETCH(QByteArray, text);
    QFETCH(ProjectReadResult, result);
    ProjectData data;
    data.settings.fps = 77; // the reader starts from the defaults
    data.rows = {"stale"};
    QCOMPARE(ParseProjectText(text, data), result);
    QTEST(data.settings.fps, "fps");
    QTEST(data.settings.width, "width");
    QTEST(data.settings.height, "height");
    QTEST(int(data.settings.scaleImages), "scale");
    QTEST(int(data.settings.depthIndex), "depth");
    QTEST(int(data.settings.noTrailingBlank), "noTrailing");
    QTEST(int(data.settings.trimAviSize), "trim");
    QTEST(int(data.settings.audioEnabled), "audio");
    QTEST(data.settings.audioPath, "audioPath");
    if (result != ProjectReadResult::Ok)
        QVERIFY(data.rows.isEmpty());
}

void TestProjectFile::readerRows_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<QByteArray>>("rows");
    QTest::newRow("one empty line is one blank row") << kSettingsLines + "\r\n"
                                                     << QList<QByteArray>{""};
    QTest::newRow("LF only") << QByteArray("!F 8\n/a.bmp\n\n/b c.bmp\n")
                             << QList<QByteArray>{"/a.bmp", "", "/b c.bmp"};
    QTest::newRow("CR LF") << QByteArray("!F 8\r\n/a.bmp\r\n\r\n/b c.bmp\r\n")
                           << QList<QByteArray>{"/a.bmp", "", "/b c.bmp"};
    QTest::newRow("last line without end")
        << QByteArray("!F 8\n/a.bmp\n/b.bmp") << QList<QByteArray>{"/a.bmp", "/b.bmp"};
    QTest::newRow("trailing blank lines are blank rows")
        << QByteArray("!F 8\n\n\n\n") << QList<QByteArray>{"", "", ""};
    QTest::newRow("! after row 0 is a row")
        << QByteArray("!F 8\n/a\n!F 3\n") << QList<QByteArray>{"/a", "!F 3"};
    QTest::newRow("row 0 beginning with ! is a setting")
        << QByteArray("!F 8\n!weird.bmp\n/b\n") << QList<QByteArray>{"/b"};
    QTest::newRow("blank path is a filled row")
        << QByteArray("!F 8\n \n") << QList<QByteArray>{" "};
    QTest::newRow("bytes pass through")
        << QByteArray("!F 8\n/\xe7\x94\xbb\xe5\x83\x8f/\xff\x80.bmp\n")
        << QList<QByteArray>{"/\xe7\x94\xbb\xe5\x83\x8f/\xff\x80.bmp"};
    QTest::newRow("inner CR kept")
        << QByteArray("!F 8\na\rb.bmp\n") << QList<QByteArray>{"a\rb.bmp"};
}

void TestProjectFile::readerRows() {
    QFETCH(QByteArray, text);
    QFETCH(QList<QByteArray>, rows);
    ProjectData data;
    QCOMPARE(ParseProjectText(text, data), ProjectReadResult::Ok);
    QCOMPARE(data.rows, rows);
}

void TestProjectFile::writerText_data() {
    QTest::addColumn<ProjectSettings>("settings");
    QTest::addColumn<QList<QByteArray>>("rows");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("new project")
        << ProjectSettings{} << QList<QByteArray>(10)
        << kSettingsLines + QByteArray(10 * 2, '\0').replace(QByteArray(2, '\0'), "\r\n");
    QList<QByteArray> two(10);
    two[0] = "/img/first.bmp";
    two[2] = "/img/second one.bmp";
    QTest::newRow("two images") << ProjectSettings{} << two
                                << kSettingsLines +
                                       "/img/first.bmp\r\n\r\n/img/second one.bmp\r\n" +
                                       QByteArray("\r\n").repeated(7);
    ProjectSettings audio;
    audio.audioEnabled = 1;
    audio.audioPath = "/snd/a b.wav";
    QTest::newRow("audio lines") << audio << QList<QByteArray>{"x"}
                                 << kSettingsLines + "!A 1\r\n!A1 /snd/a b.wav\r\nx\r\n";
    ProjectSettings pathOnly;
    pathOnly.audioPath = "/s.wav";
    QTest::newRow("audio path without enable")
        << pathOnly << QList<QByteArray>{"x"} << kSettingsLines + "!A1 /s.wav\r\nx\r\n";
    ProjectSettings odd;
    odd.fps = 4294967291u; // from a file holding -5
    odd.width = 0x80000000u;
    odd.height = 1;
    odd.depthIndex = -3;
    QTest::newRow("signed 32-bit numbers")
        << odd << QList<QByteArray>{""}
        << QByteArray("!F -5\r\n!S -2147483648,1\r\n!X 0\r\n!B -3\r\n!W 0\r\n!D 0\r\n\r\n");
    QTest::newRow("empty list has one row line")
        << ProjectSettings{} << QList<QByteArray>{} << kSettingsLines + "\r\n";
}

void TestProjectFile::writerText() {
    QFETCH(ProjectSettings, settings);
    QFETCH(QList<QByteArray>, rows);
    QFETCH(QByteArray, text);
    QCOMPARE(ProjectFileText(settings, rows), text);
}

void TestProjectFile::roundTrip_data() {
    QTest::addColumn<ProjectSettings>("settings");
    QTest::addColumn<QList<QByteArray>>("rows");

    QTest::newRow("new project") << ProjectSettings{} << QList<QByteArray>(10);
    ProjectSettings all;
    all.fps = 40;
    all.width = 1280;
    all.height = 20;
    all.depthIndex = 2;
    all.noTrailingBlank = 1;
    all.scaleImages = 1;
    all.trimAviSize = 1;
    all.audioEnabled = 1;
    all.audioPath = "  /sound dir/ファイル.wav  ";
    QTest::newRow("every setting")
        << all << QList<QByteArray>{"", "/a b/c.bmp", " ", "", "\xff\xfe.png"};
    ProjectSettings fps0;
    fps0.fps = 0;
    QTest::newRow("fps 0") << fps0 << QList<QByteArray>{"/x.bmp"};
    QTest::newRow("empty list comes back as one blank row")
        << ProjectSettings{} << QList<QByteArray>{};
    QTest::newRow("long path") << ProjectSettings{}
                               << QList<QByteArray>{"/" + QByteArray(5000, 'p') + ".bmp", "/b"};
}

void TestProjectFile::roundTrip() {
    QFETCH(ProjectSettings, settings);
    QFETCH(QList<QByteArray>, rows);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray path = QFile::encodeName(dir.filePath("round trip ✓.fsq"));
    QVERIFY(WriteProjectData(path, settings, rows));
    ProjectData data;
    QCOMPARE(ReadProjectData(path, data), ProjectReadResult::Ok);
    QCOMPARE(data.settings, settings);
    QCOMPARE(data.rows, rows.isEmpty() ? QList<QByteArray>{""} : rows);
}

void TestProjectFile::longLinesAreOneRow() {
    // Lines of any length stay one row each, in both directions.
    QList<QByteArray> rows;
    for (int length : {898, 899, 900, 901, 1799, 70000})
        rows.append("/" + QByteArray(length - 1, 'a' + length % 26));
    const QByteArray text = ProjectFileText(ProjectSettings{}, rows);
    QCOMPARE(text.count('\n'), 6 + rows.size());
    ProjectData data;
    QCOMPARE(ParseProjectText(text, data), ProjectReadResult::Ok);
    QCOMPARE(data.rows, rows);
    ProjectSettings longAudio;
    longAudio.audioPath = "/" + QByteArray(3000, 'w');
    QCOMPARE(ParseProjectText(ProjectFileText(longAudio, {"r"}), data), ProjectReadResult::Ok);
    QCOMPARE(data.settings.audioPath, longAudio.audioPath);
}

void TestProjectFile::diskUsesCrLf() {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.fsq");
    QVERIFY(WriteProjectData(QFile::encodeName(path), ProjectSettings{}, {"/a.bmp", ""}));
    QCOMPARE(ReadAll(path), kSettingsLines + "/a.bmp\r\n\r\n");
}

void TestProjectFile::readMissingFile() {
    ProjectData data;
    QCOMPARE(ReadProjectData("/nonexistent-dir/x.fsq", data), ProjectReadResult::CannotOpen);
    QCOMPARE(ReadProjectData("", data), ProjectReadResult::CannotOpen);
}

void TestProjectFile::readDirectory() {
    QTemporaryDir dir;
    ProjectData data;
    QCOMPARE(ReadProjectData(QFile::encodeName(dir.path()), data), ProjectReadResult::CannotOpen);
}

void TestProjectFile::failedSaveKeepsOldFile() {
    // A write that fails half-way (here: the file size limit) must leave the
    // previous file as it was. Works also when the tests run as root.
    QTemporaryDir dir;
    const QString path = dir.filePath("old.fsq");
    const QByteArray old = ProjectFileText(ProjectSettings{}, {"/old.bmp"});
    WriteAll(path, old);

    struct rlimit saved {};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    const bool written =
        WriteProjectData(QFile::encodeName(path), ProjectSettings{}, {QByteArray(100000, 'x')});
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!written);
    QCOMPARE(ReadAll(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.fsq"});
}

void TestProjectFile::saveIntoMissingFolderFails() {
    QTemporaryDir dir;
    QVERIFY(!WriteProjectData(QFile::encodeName(dir.filePath("missing/a.fsq")), {}, {""}));
    QVERIFY(!WriteProjectData(QFile::encodeName(dir.path()), {}, {""}));
    QVERIFY(!WriteProjectData("", {}, {""}));
}

QTEST_GUILESS_MAIN(TestProjectFile)
#include "tst_projectfile.moc"
