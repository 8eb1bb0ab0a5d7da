// The intermediate frame file: lines written and read, the reader's acceptance
// rule, the file's safe creation.

#include "movie/Conversion.h"
#include "movie/IntermediateFrameFile.h"

#include "movie_writer_tools.h"

#include <QtTest>

#include <memory>

#include <sys/stat.h>

using namespace moviecheck;

// Reads frame lines back up to the first refused one, which keeps the last.
static QByteArray ReadBack(std::FILE* file) {
    FrameLineReader reader(file);
    QByteArray text, last;
    while (reader.readLine())
        text += last = FormatFrameLine(reader.position(), reader.path());
    if (!last.isEmpty() && FormatFrameLine(reader.position(), reader.path()) != last)
        text += "reader lost the last accepted line\n";
    return text;
}

class TestFrameFile : public QObject {
    Q_OBJECT

private slots:
    void frameLines_data() {
        QTest::addColumn<QByteArray>("rows");    // '|' between rows
        QTest::addColumn<QByteArray>("options"); // t: trim, n: no trailing blank
        QTest::addColumn<QByteArray>("expected");
        auto row = [](const QByteArray& rows, const char* options, const QByteArray& expected) {
            QTest::addRow("%s (%s)", rows.left(40).constData(), options)
                << rows << QByteArray(options) << expected;
        };
        row("/a|||/b|/c||", "t", "0,/a\n3,/b\n4,/c\n7,*\n");
        row("/a|||/b|/c||", "n", "0,/a\n2,/a\n3,/b\n4,/c\n6,/c\n");
        row("||/a||/b", "", "2,/a\n3,/a\n4,/b\n5,*\n");
        row("", "", "1,*\n");
        row("||||", "n", "");
        // A long path whole, commas and blanks in it too; more images than a
        // 16-bit count, the blank frame after.
        const QByteArray longPath = "/" + QByteArray(5000, 'p') + ",q r.png";
        row(longPath, "tn", "0," + longPath + "\n");
        QByteArrayList many;
        QByteArray lines;
        for (int i = 0; i < 70000; ++i)
            lines += FormatFrameLine(i, many.emplace_back("/f/" + QByteArray::number(i)));
        row(many.join('|'), "", lines + "70000,*\n");
    }
    // Written to the file on disk, and read back: the same lines.
    void frameLines() {
        QFETCH(QByteArray, rows);
        QFETCH(QByteArray, options);
        QFETCH(QByteArray, expected);
        QTemporaryDir dir;
        IntermediateFrameFile file;
        QVERIFY(file.create(QFile::encodeName(dir.path())));
        QCOMPARE(file.writeLines(rows.isEmpty() ? QByteArrayList() : rows.split('|'),
                                 options.contains('t'), options.contains('n')),
                 long(expected.count('\n')));
        QVERIFY(file.rewindForReading());
        QCOMPARE(ReadAll(QString::fromLocal8Bit(file.path())), expected);
        QCOMPARE(ReadBack(file.file()), expected);
    }
    // "%ld" skips white space and takes a sign; the path then stays empty. At a
    // line refused the reader stops, keeping the line read before.
    void acceptanceRule() {
        const std::tuple<QByteArray, long, const char*> rows[] = {
            // -99: refused
            {"5,a\n", 5, "a"},    {"5,a\r\n", 5, "a"},     {"12,/x.bmp", 12, "/x.bmp"},
            {"5,a\r\r", 5, "a"},  {"5,a\r\r\n", 5, "a\r"}, {"5,\n", -99, ""},
            {"5, \t\n", -99, ""}, {"x,a\n", -99, ""},      {"5 a\n", -99, ""},
            {"5 ,a\n", -99, ""},  {"\n", -99, ""},         {"-,a\n", -99, ""},
            {"7,*\r\n", 7, "*"},  {"5, a b\n", 5, " a b"}, {"3,a,b,c\n", 3, "a,b,c"},
            {" 5,a\n", 5, ""},    {"-5,a\n", -5, ""}};
        for (const auto& [line, position, path] : rows) {
            FrameLine parsed;
            QCOMPARE(ParseFrameLine(line, parsed) ? std::pair(parsed.position, parsed.path)
                                                  : std::pair(-99L, QByteArray()),
                     std::pair(position, QByteArray(path)));
        }
        QByteArray text = "0,/a b.png\r\n5,\n9,/z\n";
        std::FILE* file = fmemopen(text.data(), size_t(text.size()), "r");
        QCOMPARE(ReadBack(file), QByteArray("0,/a b.png\n"));
        std::fclose(file);
    }
    // Created exclusively, 0600, under a number drawn anew while the name is
    // taken: a planted file and a planted symbolic link are never opened or
    // followed; a missing folder is a failure.
    void creation() {
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path());
        QVERIFY(Save(dir.filePath("fsq_0001.tmp"), "planted"));
        QVERIFY(QFile::link(dir.filePath("target"), dir.filePath("fsq_00ff.tmp")));
        QList<unsigned> numbers{1, 0x80ff, 0x8003};
        auto file = std::make_unique<IntermediateFrameFile>();
        QVERIFY(file->create(folder, [&] { return numbers.takeFirst(); }) && numbers.isEmpty());
        const QByteArray path = file->path();
        QCOMPARE(path, folder + "/fsq_0003.tmp");
        struct stat info {};
        QCOMPARE(::lstat(path.constData(), &info), 0);
        QVERIFY(S_ISREG(info.st_mode) && (info.st_mode & 0777) == 0600);
        file.reset();
        QVERIFY(!QFile::exists(QFile::decodeName(path))); // removed after use
        QCOMPARE(ReadAll(dir.filePath("fsq_0001.tmp")), QByteArray("planted"));
        QVERIFY(!QFile::exists(dir.filePath("target")));
        IntermediateFrameFile failed;
        QVERIFY(!failed.create("/nonexistent-vistrom-dir/sub") && !failed.file());
        QCOMPARE(failed.writeLines({"/a"}, false, false), -1L);
    }
    void uncarriableRows() {
        QCOMPARE(FirstUncarriableRow({"/a", "", " lead.png", "a b"}), -1L);
        QCOMPARE(FirstUncarriableRow({"/a", "", "/b\nc"}), 2L);
        QCOMPARE(FirstUncarriableRow({"/b\r"}), 0L);
        QCOMPARE(FirstUncarriableRow({"/a", "   "}), 1L);
    }
};

QTEST_GUILESS_MAIN(TestFrameFile)
#include "tst_framefile.moc"
