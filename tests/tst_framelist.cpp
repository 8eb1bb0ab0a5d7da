// The frame list model: time labels, row icons, insertion and removal (single
// and batch) with the selected and focus marks moving with their rows.

#include "framelist/FrameList.h"

#include <QItemSelectionModel>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <numeric>
#include <random>

using Rows = QList<QByteArray>;
using Ints = QList<int>;

namespace {

Rows Paths(const char* letters) { // "abc" -> {"a", "b", "c"}
    Rows out;
    for (const char* p = letters; *p; ++p)
        out.append(QByteArray(1, *p));
    return out;
}

struct Marked {
    FrameList list;
    QItemSelectionModel marks{&list};
    Marked() { list.setMarks(&marks); }
    void mark(const Ints& selected, int current) {
        marks.setCurrentIndex(list.index(current, 0), QItemSelectionModel::NoUpdate);
        SelectRows(&marks, selected);
    }
    int current() const { return marks.currentIndex().isValid() ? marks.currentIndex().row() : -1; }
    Ints selected() const { return SelectedRows(&marks); }
};

} // namespace

class TestFrameList : public QObject {
    Q_OBJECT

private slots:
    void timeLabel_data();
    void timeLabel();
    void displayedData();
    void icons();
    void insertPositions();
    void singleOpsMoveMarks();
    void batchMovesMarks_data();
    void batchMovesMarks();
    void setAndResetPaths();
    void randomBatchesAgainstReference();
};

void TestFrameList::timeLabel_data() {
    QTest::addColumn<long>("row");
    QTest::addColumn<quint32>("fps");
    QTest::addColumn<QString>("label");
    auto add = [](long row, quint32 fps, const char* label) {
        QTest::addRow("%ld at %u", row, fps) << row << fps << QString::fromLatin1(label);
    };
    add(0, 8, "0 ( 0.00)");
    add(1, 8, "1 ( 0.13)"); // 0.125 goes away from zero
    add(9, 8, "9 ( 1.13)");
    add(99999, 8, "99999 (12499.88)");
    add(1, 1, "1 ( 1.00)");
    add(100, 1, "100 (100.00)"); // the field widens past 5 characters
    add(3, 40, "3 ( 0.08)");
    add(5, 40, "5 ( 0.13)");
    add(39, 40, "39 ( 0.98)");
    add(2, 3, "2 ( 0.67)");
    add(0, 0, "0 (-1.00)");
    add(2, 0, "2 (-1.00)");
    add(7, 4294967291u, "7 ( 0.00)"); // fps -5 from a file, taken unsigned
    add(100000, 4294967291u, "100000 ( 0.00)");
}

void TestFrameList::timeLabel() {
    QFETCH(long, row);
    QFETCH(quint32, fps);
    QTEST(FrameList::TimeLabel(row, fps), "label");
}

void TestFrameList::displayedData() {
    FrameList list;
    list.resetRows(Rows(10));
    list.setPaths({0}, {"/画像/a b.bmp"});
    QCOMPARE(list.index(9, 0).data().toString(), QStringLiteral("9 ( 1.13)"));
    list.setFps(1);
    QCOMPARE(list.index(9, 0).data().toString(), QStringLiteral("9 ( 9.00)"));
    list.setFps(0);
    QCOMPARE(list.index(3, 0).data().toString(), QStringLiteral("3 (-1.00)"));
    QCOMPARE(list.index(0, 1).data().toString(), QStringLiteral("/画像/a b.bmp"));
    QCOMPARE(list.index(0, 1).data(FrameList::PathBytesRole).toByteArray(),
             QByteArray("/画像/a b.bmp"));
    QCOMPARE(list.headerData(0, Qt::Horizontal).toString(), QStringLiteral("順(時刻)"));
    QCOMPARE(list.headerData(1, Qt::Horizontal).toString(), QStringLiteral("BMPファイル"));
    QVERIFY(!(list.flags(list.index(0, 1)) & Qt::ItemIsEditable));
    QVERIFY(list.flags(list.index(0, 1)) & Qt::ItemIsSelectable);
}

void TestFrameList::icons() {
    FrameList list;
    for (const char* p : {"/a.bmp", "", " "})
        list.insertRow(FrameList::AppendPosition, p);
    // A new row shows the empty icon until it is refreshed.
    for (int r = 0; r < 3; ++r)
        QCOMPARE(list.icon(r), FrameList::EmptyIcon);
    list.RefreshRowIcon(1);
    QCOMPARE(list.icon(0), FrameList::EmptyIcon);
    QCOMPARE(list.icon(1), FrameList::BlankIcon);
    list.RenumberRows();
    QCOMPARE(list.icon(0), FrameList::FilledIcon);
    QCOMPARE(list.icon(2), FrameList::FilledIcon); // a blank character is a path
    QCOMPARE(list.index(0, 0).data(FrameList::IconRole).toInt(), int(FrameList::FilledIcon));
    // Setting a path in place leaves the icon until the refresh.
    list.setPath(0, "");
    QCOMPARE(list.icon(0), FrameList::FilledIcon);
    list.RefreshRowIcon(0);
    QCOMPARE(list.icon(0), FrameList::BlankIcon);
    list.RefreshRowIcon(-1); // out of range: nothing happens
    list.RefreshRowIcon(3);
}

void TestFrameList::insertPositions() {
    FrameList list;
    list.RenumberRows(); // an empty list takes every operation
    list.RefreshRowIcon(0);
    list.removeRowsAt({});
    list.insertRowsAt({}, {});
    QCOMPARE(list.insertRow(5, "a"), 0); // past the end appends
    QCOMPARE(list.insertRow(0, "b"), 0);
    QCOMPARE(list.insertRow(1, "c"), 1);
    QCOMPARE(list.insertRow(3, "d"), 3);
    QCOMPARE(list.insertRow(FrameList::AppendPosition, "e"), 4);
    QCOMPARE(list.paths(), Paths("bcade"));
    list.removeRow(1);
    list.removeRow(99); // ignored
    QCOMPARE(list.paths(), Paths("bade"));
    // "Append" appends also beyond 65,535 rows.
    list.resetRows(Rows(70000));
    QCOMPARE(list.insertRow(FrameList::AppendPosition, "/last.bmp"), 70000);
    QCOMPARE(list.path(70000), QByteArray("/last.bmp"));
    QVERIFY(list.path(65535).isEmpty());
    QCOMPARE(list.insertRow(65534, "/mid.bmp"), 65534);
}

void TestFrameList::singleOpsMoveMarks() {
    Marked m;
    m.list.resetRows(Paths("012345"));
    m.mark({2, 5}, 5);
    m.list.insertRow(0);
    QCOMPARE(m.selected(), (Ints{3, 6}));
    QCOMPARE(m.current(), 6);
    m.list.insertRow(FrameList::AppendPosition); // below every mark
    m.list.removeRow(1);
    QCOMPARE(m.selected(), (Ints{2, 5}));
    QCOMPARE(m.current(), 5);
    QCOMPARE(m.list.path(5), QByteArray("5"));
    m.list.insertRow(3); // a new row carries no mark
    QCOMPARE(m.selected(), (Ints{2, 6}));
}

void TestFrameList::batchMovesMarks_data() {
    // Start: rows "a".."f", "b", "e" and "f" selected, focus on "e". The
    // random test below covers the ordinary cases; these are the edges.
    QTest::addColumn<bool>("insert");
    QTest::addColumn<Ints>("rows");
    QTest::addColumn<Rows>("expected");
    QTest::addColumn<Ints>("selected");
    QTest::addColumn<int>("current");
    QTest::newRow("insert scattered past end")
        << true << Ints{0, 9, 10} << Rows{"", "a", "b", "c", "d", "e", "f", "", ""} << Ints{2, 5, 6}
        << 5;
    QTest::newRow("remove focus row") << false << Ints{1, 4} << Paths("acdf") << Ints{3} << 3;
    QTest::newRow("remove focus and last row")
        << false << Ints{0, 4, 5} << Paths("bcd") << Ints{0} << 2;
}

void TestFrameList::batchMovesMarks() {
    QFETCH(bool, insert);
    QFETCH(Ints, rows);
    Marked m;
    m.list.resetRows(Paths("abcdef"));
    m.mark({1, 4, 5}, 4);
    if (insert)
        m.list.insertRowsAt(rows, Rows(rows.size()));
    else
        QCOMPARE(m.list.removeRowsAt(rows).size(), rows.size());
    QTEST(m.list.paths(), "expected");
    QTEST(m.selected(), "selected");
    QTEST(m.current(), "current");
    for (int r : rows)
        if (insert && r < m.list.size())
            QCOMPARE(m.list.icon(r), FrameList::EmptyIcon);
}

void TestFrameList::setAndResetPaths() {
    Marked m;
    m.list.resetRows({"a", "", "c"});
    m.mark({0, 2}, 2);
    m.list.setPaths({0, 1, 7}, {"", "/b", "/ignored"});
    QCOMPARE(m.list.paths(), (Rows{"", "/b", "c"}));
    QCOMPARE(m.list.icon(0), FrameList::BlankIcon);
    QCOMPARE(m.list.icon(1), FrameList::FilledIcon);
    QCOMPARE(m.selected(), (Ints{0, 2}));
    QCOMPARE(m.current(), 2);
    // A reset drops the marks and shows the icons at once.
    m.list.resetRows({"x", "", "z"});
    QVERIFY(m.selected().isEmpty());
    QCOMPARE(m.current(), -1);
    QCOMPARE(m.list.icon(0), FrameList::FilledIcon);
    QCOMPARE(m.list.icon(1), FrameList::BlankIcon);
}

void TestFrameList::randomBatchesAgainstReference() {
    // Random batch insertions and removals, contiguous and scattered, checked
    // against a plain list of (path, selected) that carries the marks along.
    QRandomGenerator random(20261206);
    Marked m;
    QList<std::pair<QByteArray, bool>> ref;
    int current = -1;
    int serial = 0;
    auto pick = [&](int n, int count, bool contiguous) { // sorted distinct in [0, n)
        Ints all(n);
        std::iota(all.begin(), all.end(), 0);
        if (contiguous)
            all = all.mid(int(random.bounded(n - count + 1)), count);
        std::shuffle(all.begin(), all.end(), std::mt19937(random.generate()));
        all.resize(count);
        std::sort(all.begin(), all.end());
        return all;
    };
    for (int step = 0; step < 400; ++step) {
        const int size = int(ref.size());
        if (size > 0 && random.bounded(3) == 0) { // new marks
            const Ints selected = pick(size, int(random.bounded(size + 1)), false);
            current = int(random.bounded(size));
            m.mark(selected, current);
            for (int r = 0; r < size; ++r)
                ref[r].second = selected.contains(r);
        } else if (size < 40 && (size == 0 || random.bounded(2) == 0)) {
            const int count = 1 + int(random.bounded(5));
            const Ints at = pick(size + count, count, random.bounded(2) == 0);
            Rows paths;
            for (int k = 0; k < count; ++k)
                paths << "/new" + QByteArray::number(serial++);
            m.list.insertRowsAt(at, paths);
            for (int k = 0; k < count; ++k) {
                ref.insert(at[k], {paths[k], false});
                if (current >= at[k])
                    ++current;
            }
        } else {
            const Ints rows =
                pick(size, 1 + int(random.bounded(qMin(size, 6))), random.bounded(2) == 0);
            m.list.removeRowsAt(rows);
            const auto before =
                int(std::lower_bound(rows.begin(), rows.end(), current) - rows.begin());
            for (qsizetype k = rows.size() - 1; k >= 0; --k)
                ref.removeAt(rows[k]);
            if (rows.contains(current)) // the focus goes to the next row left
                current = ref.isEmpty() ? -1 : qMin(current - before, int(ref.size()) - 1);
            else if (current >= 0)
                current -= before;
        }
        Rows paths;
        Ints selected;
        for (int r = 0; r < ref.size(); ++r) {
            paths << ref[r].first;
            if (ref[r].second)
                selected << r;
        }
        QCOMPARE(m.list.paths(), paths);
        QCOMPARE(m.selected(), selected);
        if (current >= 0) // a list emptied of its focus row may keep none
            QCOMPARE(m.current(), current);
    }
}

QTEST_GUILESS_MAIN(TestFrameList)
#include "tst_framelist.moc"
