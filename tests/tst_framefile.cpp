// The intermediate frame file: the walk over the rows, the lines written, the
// reader's acceptance rule, and the safe creation of the file.

#include "movie/Conversion.h"
#include "movie/IntermediateFrameFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

QList<QByteArray> WorkedExampleRows() {
    return {"C:\\p\\a.bmp", "", "", "C:\\p\\b.jpg", "C:\\p\\c.png", "", ""};
}

QByteArray LinesText(const QList<QByteArray>& rows, bool trim, bool noBlank,
                     long* count = nullptr) {
    QByteArray text;
    const long n =
        ForEachFrameLine(rows, trim, noBlank, [&](long position, const QByteArray& path) {
            text += FormatFrameLine(position, path);
            return true;
        });
    if (count)
        *count = n;
    return text;
}

QByteArray Lines(std::initializer_list<const char*> lines) {
    QByteArray text;
    for (const char* line : lines)
        text += QByteArray(line) + '\n';
    return text;
}

// Reads a file back through the writer's callbacks, as (position, path) lines.
QByteArray ReadBack(std::FILE* file) {
    FrameLineReader reader(file, 0);
    QByteArray text;
    for (long i = 0; reader.ReadNextFrameLine(i); ++i)
        text += FormatFrameLine(reader.GetFramePosition(i), reader.currentPath());
    return text;
}

} // namespace

class TestFrameFile : public QObject {
    Q_OBJECT

private slots:
    void frameLines_data();
    void frameLines();
    void findNextImageRow();
    void manyImageRowsConvertWhole();
    void longPathsWhole();
    void acceptanceRule_data();
    void acceptanceRule();
    void writeAndReadBack();
    void readerStopsAtFirstBadLine();
    void exclusiveCreation();
    void collisionDrawsAnotherNumber();
    void missingDirectoryFails();
    void fileRemovedAfterUse();
    void uncarriableRows_data();
    void uncarriableRows();
};

void TestFrameFile::frameLines_data() {
    QTest::addColumn<QList<QByteArray>>("rows");
    QTest::addColumn<bool>("trim");
    QTest::addColumn<bool>("noBlank");
    QTest::addColumn<QByteArray>("expected");

    const QList<QByteArray> example = WorkedExampleRows();
    QTest::newRow("example, defaults")
        << example << false << false
        << Lines({"0,C:\\p\\a.bmp", "2,C:\\p\\a.bmp", "3,C:\\p\\b.jpg", "4,C:\\p\\c.png",
                  "6,C:\\p\\c.png", "7,*"});
    QTest::newRow("example, trim")
        << example << true << false
        << Lines({"0,C:\\p\\a.bmp", "3,C:\\p\\b.jpg", "4,C:\\p\\c.png", "7,*"});
    QTest::newRow("example, trim, no blank")
        << example << true << true << Lines({"0,C:\\p\\a.bmp", "3,C:\\p\\b.jpg", "4,C:\\p\\c.png"});
    QTest::newRow("example, no blank")
        << example << false << true
        << Lines({"0,C:\\p\\a.bmp", "2,C:\\p\\a.bmp", "3,C:\\p\\b.jpg", "4,C:\\p\\c.png",
                  "6,C:\\p\\c.png"});

    const QList<QByteArray> leadingBlanks{"", "", "/i/a.png", "", "/i/b.png"};
    QTest::newRow("first image above 0")
        << leadingBlanks << false << false
        << Lines({"2,/i/a.png", "3,/i/a.png", "4,/i/b.png", "5,*"});
    QTest::newRow("first image above 0, trim")
        << leadingBlanks << true << false << Lines({"2,/i/a.png", "4,/i/b.png", "5,*"});
    QTest::newRow("last row an image") << QList<QByteArray>{"/a", "", "/b"} << false << false
                                       << Lines({"0,/a", "1,/a", "2,/b", "3,*"});
    QTest::newRow("only one image, last row")
        << QList<QByteArray>{"", "/a"} << false << false << Lines({"1,/a", "2,*"});
    QTest::newRow("single blank between") << QList<QByteArray>{"/a", "", "/b", ""} << false << false
                                          << Lines({"0,/a", "1,/a", "2,/b", "3,/b", "4,*"});
    QTest::newRow("adjacent images")
        << QList<QByteArray>{"/a", "/b", "/c"} << false << true << Lines({"0,/a", "1,/b", "2,/c"});
    QTest::newRow("empty list") << QList<QByteArray>{} << false << false << Lines({"1,*"});
    QTest::newRow("empty list, no blank") << QList<QByteArray>{} << false << true << QByteArray();
    QTest::newRow("only blanks") << QList<QByteArray>(5) << false << false << Lines({"5,*"});
    QTest::newRow("only blanks, no blank") << QList<QByteArray>(5) << false << true << QByteArray();
    QTest::newRow("spaces and commas")
        << QList<QByteArray>{"C:\\my pics\\a,b.bmp", "/x, y/ z.png"} << false << false
        << Lines({"0,C:\\my pics\\a,b.bmp", "1,/x, y/ z.png", "2,*"});
}

void TestFrameFile::frameLines() {
    QFETCH(QList<QByteArray>, rows);
    QFETCH(bool, trim);
    QFETCH(bool, noBlank);
    QFETCH(QByteArray, expected);
    long count = -2;
    QCOMPARE(LinesText(rows, trim, noBlank, &count), expected);
    QCOMPARE(count, long(expected.count('\n')));

    // Through the file on disk and the reader, the same lines come back.
    QTemporaryDir dir;
    IntermediateFrameFile file;
    QVERIFY(file.create(QFile::encodeName(dir.path())));
    QCOMPARE(file.writeLines(rows, trim, noBlank), count);
    QVERIFY(file.rewindForReading());
    QFile disk(QString::fromLocal8Bit(file.path()));
    QVERIFY(disk.open(QIODevice::ReadOnly));
    QCOMPARE(disk.readAll(), expected);
    QCOMPARE(ReadBack(file.file()), expected);
}

void TestFrameFile::findNextImageRow() {
    const QList<QByteArray> rows = WorkedExampleRows();
    QByteArray path = "stale";
    long counter = 99;
    QCOMPARE(FindNextImageRow(rows, 0, 0, path, counter), 0L);
    QCOMPARE(counter, 0L);
    QCOMPARE(path, QByteArray("C:\\p\\a.bmp"));
    QCOMPARE(FindNextImageRow(rows, 1, 0, path, counter), 3L);
    QCOMPARE(counter, 3L);
    QCOMPARE(FindNextImageRow(rows, 1, 3, path, counter), 4L);
    QVERIFY(FindNextImageRow(rows, 1, 4, path, counter) < 0);
    QCOMPARE(counter, 6L); // the last row
    QVERIFY(path.isEmpty());

    QList<QByteArray> empty;
    path = "stale";
    QVERIFY(FindNextImageRow(empty, 0, 0, path, counter) < 0);
    QCOMPARE(counter, 0L);
    QVERIFY(path.isEmpty());
}

void TestFrameFile::manyImageRowsConvertWhole() {
    // More image rows than a 16-bit count: nothing is cut, the blank frame follows.
    const int count = 70000;
    QList<QByteArray> rows;
    rows.reserve(count);
    for (int i = 0; i < count; ++i)
        rows.append(QByteArray("/f/") + QByteArray::number(i) + ".bmp");
    long lines = 0;
    long lastPosition = -1;
    QByteArray lastPath;
    lines = ForEachFrameLine(rows, false, false, [&](long position, const QByteArray& path) {
        if (position != lastPosition + 1)
            return false;
        lastPosition = position;
        lastPath = path;
        return true;
    });
    QCOMPARE(lines, long(count + 1));
    QCOMPARE(lastPosition, long(count));
    QCOMPARE(lastPath, QByteArray("*"));
}

void TestFrameFile::longPathsWhole() {
    const QByteArray longPath = "/" + QByteArray(5000, 'p') + ",q r.png";
    QTemporaryDir dir;
    IntermediateFrameFile file;
    QVERIFY(file.create(QFile::encodeName(dir.path())));
    QCOMPARE(file.writeLines({longPath}, true, true), 1L);
    QVERIFY(file.rewindForReading());
    FrameLineReader reader(file.file(), 1);
    QCOMPARE(reader.ReadNextFrameLine(0), 1);
    QCOMPARE(reader.currentPath(), longPath);
    QCOMPARE(reader.GetFramePosition(0), 0L);
    QCOMPARE(reader.ReadNextFrameLine(1), 0);
}

void TestFrameFile::acceptanceRule_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<long>("position");
    QTest::addColumn<QByteArray>("path");

    QTest::newRow("plain") << QByteArray("5,a\n") << true << 5L << QByteArray("a");
    QTest::newRow("CR LF") << QByteArray("5,a\r\n") << true << 5L << QByteArray("a");
    QTest::newRow("no line end") << QByteArray("12,/x.bmp") << true << 12L << QByteArray("/x.bmp");
    QTest::newRow("two CRs") << QByteArray("5,a\r\r") << true << 5L << QByteArray("a");
    QTest::newRow("third CR stays") << QByteArray("5,a\r\r\n") << true << 5L << QByteArray("a\r");
    QTest::newRow("nothing after comma") << QByteArray("5,\n") << false << 0L << QByteArray();
    QTest::newRow("white after comma") << QByteArray("5, \t\n") << false << 0L << QByteArray();
    QTest::newRow("no number") << QByteArray("x,a\n") << false << 0L << QByteArray();
    QTest::newRow("no comma") << QByteArray("5 a\n") << false << 0L << QByteArray();
    QTest::newRow("space before comma") << QByteArray("5 ,a\n") << false << 0L << QByteArray();
    QTest::newRow("empty") << QByteArray("\n") << false << 0L << QByteArray();
    QTest::newRow("sign only") << QByteArray("-,a\n") << false << 0L << QByteArray();
    QTest::newRow("blank marker") << QByteArray("7,*\r\n") << true << 7L << QByteArray("*");
    QTest::newRow("leading space before path")
        << QByteArray("5, a b\n") << true << 5L << QByteArray(" a b");
    QTest::newRow("commas pass") << QByteArray("3,a,b,c\n") << true << 3L << QByteArray("a,b,c");
    // "%ld" skips white space and takes a sign; the path then stays empty.
    QTest::newRow("leading blank") << QByteArray(" 5,a\n") << true << 5L << QByteArray();
    QTest::newRow("negative") << QByteArray("-5,a\n") << true << -5L << QByteArray();
    QTest::newRow("zero") << QByteArray("0,a\n") << true << 0L << QByteArray("a");
}

void TestFrameFile::acceptanceRule() {
    QFETCH(QByteArray, line);
    QFETCH(bool, accepted);
    QFETCH(long, position);
    QFETCH(QByteArray, path);
    FrameLine parsed;
    parsed.position = -99;
    parsed.path = "untouched";
    QCOMPARE(ParseFrameLine(line, parsed), accepted);
    if (accepted) {
        QCOMPARE(parsed.position, position);
        QCOMPARE(parsed.path, path);
    } else {
        QCOMPARE(parsed.position, -99L);
    }
}

void TestFrameFile::writeAndReadBack() {
    // A file written elsewhere with CR LF lines reads the same as ours.
    QTemporaryDir dir;
    const QString name = dir.filePath("lines.txt");
    QFile out(name);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write("0,/a b.png\r\n2,/a b.png\r\n3,/c,d.jpg\r\n4,*\r\n");
    out.close();
    std::FILE* file = std::fopen(QFile::encodeName(name).constData(), "r");
    QVERIFY(file);
    QCOMPARE(ReadBack(file), Lines({"0,/a b.png", "2,/a b.png", "3,/c,d.jpg", "4,*"}));
    std::fclose(file);
}

void TestFrameFile::readerStopsAtFirstBadLine() {
    QTemporaryDir dir;
    const QString name = dir.filePath("lines.txt");
    QFile out(name);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write("0,/a\n1,\n2,/b\n");
    out.close();
    std::FILE* file = std::fopen(QFile::encodeName(name).constData(), "r");
    QVERIFY(file);
    FrameLineReader reader(file, 0);
    QCOMPARE(reader.ReadNextFrameLine(0), 1);
    QCOMPARE(reader.ReadNextFrameLine(1), 0);
    // The position stays that of the last accepted line.
    QCOMPARE(reader.GetFramePosition(1), 0L);
    QCOMPARE(reader.currentPath(), QByteArray("/a"));
    std::fclose(file);
}

void TestFrameFile::exclusiveCreation() {
    QTemporaryDir dir;
    IntermediateFrameFile file;
    QVERIFY(file.create(QFile::encodeName(dir.path()), [] { return 255u; }));
    QCOMPARE(file.path(), QFile::encodeName(dir.path()) + "/fsq_00ff.tmp");
    struct stat info {};
    QCOMPARE(::lstat(file.path().constData(), &info), 0);
    QVERIFY(S_ISREG(info.st_mode));
    QCOMPARE(int(info.st_mode & 0777), 0600);
    QCOMPARE(IntermediateFrameFile::FileName(0x7fff), QByteArray("fsq_7fff.tmp"));
    QCOMPARE(IntermediateFrameFile::FileName(1), QByteArray("fsq_0001.tmp"));
}

void TestFrameFile::collisionDrawsAnotherNumber() {
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    // A planted file and a planted symbolic link are never opened or followed.
    QFile planted(dir.filePath("fsq_0001.tmp"));
    QVERIFY(planted.open(QIODevice::WriteOnly));
    planted.write("planted");
    planted.close();
    QVERIFY(QFile::link(dir.filePath("target"), dir.filePath("fsq_0002.tmp")));

    QList<unsigned> numbers{1, 2, 3};
    IntermediateFrameFile file;
    QVERIFY(file.create(folder, [&] { return numbers.takeFirst(); }));
    QCOMPARE(file.path(), folder + "/fsq_0003.tmp");
    QVERIFY(numbers.isEmpty());
    QCOMPARE(file.writeLines({"/a"}, false, false), 2L);
    QVERIFY(file.rewindForReading());

    QVERIFY(planted.open(QIODevice::ReadOnly));
    QCOMPARE(planted.readAll(), QByteArray("planted"));
    QVERIFY(!QFile::exists(dir.filePath("target")));
}

void TestFrameFile::missingDirectoryFails() {
    IntermediateFrameFile file;
    QVERIFY(!file.create("/nonexistent-vistrom-dir/sub"));
    QVERIFY(file.file() == nullptr);
    QCOMPARE(file.writeLines({"/a"}, false, false), -1L);

    // $TMPDIR naming a missing folder is a failure, not the root folder.
    const QByteArray saved = qgetenv("TMPDIR");
    qputenv("TMPDIR", "/nonexistent-vistrom-dir");
    const bool created = file.create();
    qputenv("TMPDIR", saved);
    QVERIFY(!created);
}

void TestFrameFile::fileRemovedAfterUse() {
    QTemporaryDir dir;
    QByteArray path;
    {
        IntermediateFrameFile file;
        QVERIFY(file.create(QFile::encodeName(dir.path())));
        path = file.path();
        QVERIFY(QFile::exists(QString::fromLocal8Bit(path)));
    }
    QVERIFY(!QFile::exists(QString::fromLocal8Bit(path)));
}

void TestFrameFile::uncarriableRows_data() {
    QTest::addColumn<QList<QByteArray>>("rows");
    QTest::addColumn<long>("row");
    QTest::newRow("fine") << QList<QByteArray>{"/a", "", " lead.png", "a b"} << -1L;
    QTest::newRow("line feed") << QList<QByteArray>{"/a", "", "/b\nc"} << 2L;
    QTest::newRow("carriage return") << QList<QByteArray>{"/b\r"} << 0L;
    QTest::newRow("only spaces") << QList<QByteArray>{"/a", "   "} << 1L;
}

void TestFrameFile::uncarriableRows() {
    QFETCH(QList<QByteArray>, rows);
    QFETCH(long, row);
    QCOMPARE(FirstUncarriableRow(rows), row);
}

QTEST_GUILESS_MAIN(TestFrameFile)
#include "tst_framefile.moc"
