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
    void roundTrip_data();
    void roundTrip();
    void longPathsTravelWhole();
    void randomRunsRoundTrip();
};

void TestRowClipboard::writesBytes_data() {
    QTest::addColumn<Lines>("paths");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("no selection: header alone") << Lines{} << QByteArray("Vistrom data\r\n");
    // Rows 2 and 5 of a list where row 5 is blank.
    QTest::newRow("path and blank")
        << Lines{"/img/b.bmp", ""} << QByteArray("Vistrom data\r\n/img/b.bmp\r\n\r\n");
    QTest::newRow("path blank path")
        << Lines{"a.bmp", "", "c.bmp"} << QByteArray("Vistrom data\r\na.bmp\r\n\r\nc.bmp\r\n");
    QTest::newRow("bytes as held") << Lines{QByteArray("/\xff\xfe/\xe7\x94\xbb.bmp")}
                                   << QByteArray("Vistrom data\r\n/\xff\xfe/\xe7\x94\xbb.bmp\r\n");
}

void TestRowClipboard::writesBytes() {
    QFETCH(Lines, paths);
    QFETCH(QByteArray, text);
    const QByteArray written = RowClipboardText(paths);
    QCOMPARE(written, text);
    if (paths.isEmpty())
        QCOMPARE(written.size(), 14);
}

void TestRowClipboard::splits_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<Lines>("lines");
    const QByteArray h("Vistrom data\r\n");
    QTest::newRow("CR LF lines") << h + "a.bmp\r\nb.bmp\r\n" << true << Lines{"a.bmp", "b.bmp"};
    QTest::newRow("blank in the middle") << h + "a.bmp\r\n\r\nb.bmp\r\n"
                                         << true << Lines{"a.bmp", "", "b.bmp"};
    QTest::newRow("blank first") << h + "\r\nb.bmp\r\n" << true << Lines{"", "b.bmp"};
    QTest::newRow("blank rows last") << h + "a.bmp\r\n\r\n\r\n" << true << Lines{"a.bmp", "", ""};
    QTest::newRow("only blank rows") << h + "\r\n\r\n" << true << Lines{"", ""};
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
    QTest::newRow("header only") << h << true << Lines{};
    QTest::newRow("header and one byte") << h + "x" << true << Lines{};
    QTest::newRow("header and one line end") << h + "\r\n" << true << Lines{""};
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

void TestRowClipboard::roundTrip_data() {
    QTest::addColumn<Lines>("paths");
    QTest::newRow("one path") << Lines{"/a/b.bmp"};
    QTest::newRow("one byte paths") << Lines{"a", "b", "c"};
    QTest::newRow("one blank") << Lines{""};
    QTest::newRow("blank last rows") << Lines{"/a.bmp", "", ""};
    QTest::newRow("blank first and last") << Lines{"", "/a.bmp", "x", ""};
    QTest::newRow("spaces and non-UTF-8 bytes")
        << Lines{" lead.bmp", "trail.bmp ", QByteArray("\x80\xff.bmp")};
}

void TestRowClipboard::roundTrip() {
    QFETCH(Lines, paths);
    const std::optional<Lines> back = SplitRowClipboardText(RowClipboardText(paths));
    QVERIFY(back);
    QCOMPARE(*back, paths);
}

void TestRowClipboard::longPathsTravelWhole() {
    // Paths of any length go on the clipboard and come back whole.
    const QByteArray longPath = "/" + QByteArray(10 * 1024, 'p') + ".bmp";
    const QByteArray text = RowClipboardText({longPath, "", longPath + "2"});
    QCOMPARE(text.size(), 14 + (longPath.size() + 2) + 2 + (longPath.size() + 3));
    const std::optional<Lines> back = SplitRowClipboardText(text);
    QVERIFY(back);
    QCOMPARE(*back, (Lines{longPath, "", longPath + "2"}));
}

void TestRowClipboard::randomRunsRoundTrip() {
    // Any run of rows whose paths hold no CR or LF comes back unchanged.
    QRandomGenerator random(6);
    for (int run = 0; run < 200; ++run) {
        Lines paths;
        const int count = int(random.bounded(12));
        for (int i = 0; i < count; ++i) {
            QByteArray p;
            if (random.bounded(3) != 0) {
                const int length = 1 + int(random.bounded(40));
                for (int k = 0; k < length; ++k) {
                    char c;
                    do
                        c = char(1 + random.bounded(255));
                    while (c == '\r' || c == '\n');
                    p.append(c);
                }
            }
            paths.append(p);
        }
        const std::optional<Lines> back = SplitRowClipboardText(RowClipboardText(paths));
        QVERIFY(back);
        QCOMPARE(*back, paths);
    }
}

QTEST_APPLESS_MAIN(TestRowClipboard)
#include "tst_rowclipboard.moc"
