// The clipboard text for rows: the bytes written and the rules for reading a
// text back into lines, including texts that came from other programs.

#include "framelist/RowClipboardText.h"

#include <QRandomGenerator>
#include <QTest>

using Lines = QList<QByteArray>;

class TestRowClipboard : public QObject {
    Q_OBJECT

private slots:
    void writesBytes_data();
    void writesBytes();
    void splits_data();
    void splits();
    void randomRunsRoundTrip();
};

// The bytes written, and the same rows read back from them.
void TestRowClipboard::writesBytes_data() {
    QTest::addColumn<Lines>("paths");
    QTest::addColumn<QByteArray>("text");
    const QByteArray h("Vistrom data\r\n"), longPath = "/" + QByteArray(10 * 1024, 'p');
    QTest::newRow("no selection: header alone") << Lines{} << h;
    QTest::newRow("one blank") << Lines{""} << h + "\r\n";
    QTest::newRow("path blank path") << Lines{"a.bmp", "", "c.bmp"} << h + "a.bmp\r\n\r\nc.bmp\r\n";
    QTest::newRow("blank last rows") << Lines{"/a.bmp", "", ""} << h + "/a.bmp\r\n\r\n\r\n";
    QTest::newRow("one byte paths") << Lines{"a", "b"} << h + "a\r\nb\r\n";
    QTest::newRow("bytes as held, spaces kept")
        << Lines{QByteArray("/\xff\xfe/\xe7\x94\xbb.bmp"), " x "}
        << h + "/\xff\xfe/\xe7\x94\xbb.bmp\r\n x \r\n";
    QTest::newRow("10 KiB paths whole")
        << Lines{longPath, "", longPath + "2"} << h + longPath + "\r\n\r\n" + longPath + "2\r\n";
}

void TestRowClipboard::writesBytes() {
    QFETCH(Lines, paths);
    QFETCH(QByteArray, text);
    QCOMPARE(RowClipboardText(paths), text);
    const std::optional<Lines> back = SplitRowClipboardText(text);
    QVERIFY(back);
    QCOMPARE(*back, paths);
}

void TestRowClipboard::splits_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<Lines>("lines");
    const QByteArray h("Vistrom data\r\n");
    QTest::newRow("blank first") << h + "\r\nb.bmp\r\n" << true << Lines{"", "b.bmp"};
    QTest::newRow("lone CR") << h + "a.bmp\rb.bmp\r" << true << Lines{"a.bmp", "b.bmp"};
    QTest::newRow("lone LF") << h + "a.bmp\nb.bmp\n" << true << Lines{"a.bmp", "b.bmp"};
    QTest::newRow("LF LF is one line end") << h + "a.bmp\n\nb.bmp\n"
                                           << true << Lines{"a.bmp", "b.bmp"};
    QTest::newRow("LF LF LF leaves one empty line") << h + "a.bmp\n\n\nb.bmp\n"
                                                    << true << Lines{"a.bmp", "", "b.bmp"};
    QTest::newRow("LF only, no final line end")
        << h + "a.bmp\nb.bmp" << true << Lines{"a.bmp", "b.bmp"};
    QTest::newRow("last line of 1 byte without end not taken")
        << h + "a.bmp\r\nb" << true << Lines{"a.bmp"};
    QTest::newRow("last line of 2 bytes without end taken")
        << h + "a.bmp\r\nbc" << true << Lines{"a.bmp", "bc"};
    QTest::newRow("one byte line with its end") << h + "b\r\n" << true << Lines{"b"};
    QTest::newRow("one byte line with lone LF") << h + "b\n" << true << Lines{"b"};
    QTest::newRow("header and one byte") << h + "x" << true << Lines{};
    QTest::newRow("text ends at NUL")
        << h + QByteArray("a.bmp\r\n\0b.bmp\r\n", 15) << true << Lines{"a.bmp"};
    QTest::newRow("LF header refused") << QByteArray("Vistrom data\na.bmp\r\n") << false << Lines{};
    QTest::newRow("lower case refused")
        << QByteArray("vistrom data\r\na.bmp\r\n") << false << Lines{};
    QTest::newRow("short text refused") << QByteArray("Vistrom data\r") << false << Lines{};
    QTest::newRow("empty text refused") << QByteArray() << false << Lines{};
    QTest::newRow("plain editor text refused") << QByteArray("a.bmp\nb.bmp\n") << false << Lines{};
}

void TestRowClipboard::splits() {
    QFETCH(QByteArray, text);
    QFETCH(bool, accepted);
    QFETCH(Lines, lines);
    const std::optional<Lines> split = SplitRowClipboardText(text);
    QCOMPARE(split.has_value(), accepted);
    if (accepted)
        QCOMPARE(*split, lines);
}

// Any run of rows whose paths hold no CR or LF comes back unchanged.
void TestRowClipboard::randomRunsRoundTrip() {
    QRandomGenerator random(6);
    for (int run = 0; run < 200; ++run) {
        Lines paths(random.bounded(12));
        for (QByteArray& p : paths)
            for (int k = random.bounded(3) ? 1 + random.bounded(40) : 0; k > 0; --k) {
                const char c = char(1 + random.bounded(255));
                p.append(c == '\r' || c == '\n' ? 'x' : c);
            }
        const std::optional<Lines> back = SplitRowClipboardText(RowClipboardText(paths));
        QVERIFY(back);
        QCOMPARE(*back, paths);
    }
}

QTEST_APPLESS_MAIN(TestRowClipboard)
#include "tst_rowclipboard.moc"
