// The intermediate frame file: the walk over the rows, the lines written, the
// reader's acceptance rule, and the safe creation of the file.

#include "movie/Conversion.h"
#include "movie/IntermediateFrameFile.h"

#include "movie_writer_tools.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace moviecheck;

namespace {

const QList<QByteArray> kExample{"C:\\p\\a.bmp", "", "", "C:\\p\\b.jpg", "C:\\p\\c.png", "", ""};

// Reads a file back as (position, path) lines; after the first refused line
// the reader still holds the last accepted one.
QByteArray ReadBack(std::FILE* file) {
    FrameLineReader reader(file);
    QByteArray text, lastPath;
    long lastPosition = 0;
    bool any = false;
    for (; reader.readLine(); any = true) {
        lastPosition = reader.position();
        lastPath = reader.path();
        text += FormatFrameLine(lastPosition, lastPath);
    }
    if (any && (reader.position() != lastPosition || reader.path() != lastPath))
        text += "reader lost the last accepted line\n";
    return text;
}

} // namespace

class TestFrameFile : public QObject {
    Q_OBJECT

private slots:
    void frameLines_data();
    void frameLines();
    void manyImageRowsConvertWhole();
    void acceptanceRule_data();
    void acceptanceRule();
    void creation();
    void uncarriableRows_data();
    void uncarriableRows();
};

void TestFrameFile::frameLines_data() {
    QTest::addColumn<QList<QByteArray>>("rows");
    QTest::addColumn<bool>("trim");
    QTest::addColumn<bool>("noBlank");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("example, defaults")
        << kExample << false << false
        << QByteArray("0,C:\\p\\a.bmp\n2,C:\\p\\a.bmp\n3,C:\\p\\b.jpg\n4,C:\\p\\c.png\n"
                      "6,C:\\p\\c.png\n7,*\n");
    QTest::newRow("example, trim")
        << kExample << true << false
        << QByteArray("0,C:\\p\\a.bmp\n3,C:\\p\\b.jpg\n4,C:\\p\\c.png\n7,*\n");
    QTest::newRow("example, trim, no blank")
        << kExample << true << true
        << QByteArray("0,C:\\p\\a.bmp\n3,C:\\p\\b.jpg\n4,C:\\p\\c.png\n");
    QTest::newRow("example, no blank")
        << kExample << false << true
        << QByteArray("0,C:\\p\\a.bmp\n2,C:\\p\\a.bmp\n3,C:\\p\\b.jpg\n4,C:\\p\\c.png\n"
                      "6,C:\\p\\c.png\n");
    const QList<QByteArray> leadingBlanks{"", "", "/i/a.png", "", "/i/b.png"};
    QTest::newRow("first image above 0") << leadingBlanks << false << false
                                         << QByteArray("2,/i/a.png\n3,/i/a.png\n4,/i/b.png\n5,*\n");
    QTest::newRow("first image above 0, trim")
        << leadingBlanks << true << false << QByteArray("2,/i/a.png\n4,/i/b.png\n5,*\n");
    QTest::newRow("only one image, last row")
        << QList<QByteArray>{"", "/a"} << false << false << QByteArray("1,/a\n2,*\n");
    QTest::newRow("single blank between") << QList<QByteArray>{"/a", "", "/b", ""} << false << false
                                          << QByteArray("0,/a\n1,/a\n2,/b\n3,/b\n4,*\n");
    QTest::newRow("adjacent images")
        << QList<QByteArray>{"/a", "/b", "/c"} << false << true << QByteArray("0,/a\n1,/b\n2,/c\n");
    QTest::newRow("empty list") << QList<QByteArray>{} << false << false << QByteArray("1,*\n");
    QTest::newRow("only blanks") << QList<QByteArray>(5) << false << false << QByteArray("5,*\n");
    QTest::newRow("only blanks, no blank") << QList<QByteArray>(5) << false << true << QByteArray();
    QTest::newRow("spaces and commas")
        << QList<QByteArray>{"C:\\my pics\\a,b.bmp", "/x, y/ z.png"} << false << false
        << QByteArray("0,C:\\my pics\\a,b.bmp\n1,/x, y/ z.png\n2,*\n");
    // Paths of any length reach the writer whole.
    const QByteArray longPath = "/" + QByteArray(5000, 'p') + ",q r.png";
    QTest::newRow("5000-byte path")
        << QList<QByteArray>{longPath} << true << true << "0," + longPath + "\n";
}

void TestFrameFile::frameLines() {
    QFETCH(QList<QByteArray>, rows);
    QFETCH(bool, trim);
    QFETCH(bool, noBlank);
    QFETCH(QByteArray, expected);
    QByteArray text;
    const long count =
        ForEachFrameLine(rows, trim, noBlank, [&](long position, const QByteArray& p) {
            text += FormatFrameLine(position, p);
            return true;
        });
    QCOMPARE(text, expected);
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

void TestFrameFile::manyImageRowsConvertWhole() {
    // More image rows than a 16-bit count: nothing is cut, the blank frame follows.
    const int count = 70000;
    QList<QByteArray> rows;
    for (int i = 0; i < count; ++i)
        rows.append("/f/" + QByteArray::number(i) + ".bmp");
    long lastPosition = -1;
    QByteArray lastPath;
    const long lines =
        ForEachFrameLine(rows, false, false, [&](long position, const QByteArray& p) {
            if (position != lastPosition + 1)
                return false;
            lastPosition = position;
            lastPath = p;
            return true;
        });
    QCOMPARE(lines, long(count + 1));
    QCOMPARE(lastPosition, long(count));
    QCOMPARE(lastPath, QByteArray("*"));
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
    QCOMPARE(parsed.position, accepted ? position : -99L);
    if (accepted)
        QCOMPARE(parsed.path, path);

    // The reader stops at the first line refused, holding the line before.
    QTemporaryDir dir;
    const QString name = dir.filePath("lines.txt");
    QFile out(name);
    const QByteArray own = line.endsWith('\n') ? line : line + "\n";
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write("0,/a b.png\r\n" + own + "9,/z\n") > 0);
    out.close();
    std::FILE* file = std::fopen(QFile::encodeName(name).constData(), "r");
    QVERIFY(file);
    const QByteArray text = ReadBack(file);
    std::fclose(file);
    QVERIFY(text.startsWith("0,/a b.png\n"));
    QCOMPARE(text.endsWith("9,/z\n"), accepted);
}

// Created exclusively, 0600, under a number drawn anew while the name is
// taken: a planted file and a planted symbolic link are never opened or
// followed; a missing folder, or $TMPDIR naming one, is a failure.
void TestFrameFile::creation() {
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    QVERIFY(Save(dir.filePath("fsq_0001.tmp"), "planted"));
    QVERIFY(QFile::link(dir.filePath("target"), dir.filePath("fsq_00ff.tmp")));
    QByteArray path;
    {
        QList<unsigned> numbers{1, 0x80ff, 0x8003};
        IntermediateFrameFile file;
        QVERIFY(file.create(folder, [&] { return numbers.takeFirst(); }));
        QVERIFY(numbers.isEmpty());
        path = file.path();
        QCOMPARE(path, folder + "/fsq_0003.tmp");
        struct stat info {};
        QCOMPARE(::lstat(path.constData(), &info), 0);
        QVERIFY(S_ISREG(info.st_mode) && (info.st_mode & 0777) == 0600);
        QCOMPARE(file.writeLines({"/a"}, false, false), 2L);
        QVERIFY(file.rewindForReading());
    }
    QVERIFY(!QFile::exists(QFile::decodeName(path))); // removed after use
    QCOMPARE(ReadAll(dir.filePath("fsq_0001.tmp")), QByteArray("planted"));
    QVERIFY(!QFile::exists(dir.filePath("target")));
    QCOMPARE(IntermediateFrameFile::fileName(0x7fff), QByteArray("fsq_7fff.tmp"));

    IntermediateFrameFile file;
    QVERIFY(!file.create("/nonexistent-vistrom-dir/sub"));
    QVERIFY(file.file() == nullptr);
    QCOMPARE(file.writeLines({"/a"}, false, false), -1L);
    const QByteArray saved = qgetenv("TMPDIR");
    qputenv("TMPDIR", "/nonexistent-vistrom-dir");
    const bool created = file.create();
    qputenv("TMPDIR", saved);
    QVERIFY(!created);
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
