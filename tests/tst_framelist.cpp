// The frame list model: time labels, row icons, insertion and removal (single
// and batch) with the selected and focus marks moving with their rows.

#include "framelist/FrameList.h"

#include <QItemSelectionModel>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <numeric>
#include <random>

namespace {

QList<QByteArray> Paths(std::initializer_list<const char*> paths) {
    QList<QByteArray> out;
    for (const char* p : paths)
        out.append(QByteArray(p));
    return out;
}

struct Marked {
    FrameList list;
    QItemSelectionModel marks{&list};
    Marked() { list.setMarks(&marks); }
    void mark(const QList<int>& selected, int current) {
        marks.setCurrentIndex(list.index(current, 0), QItemSelectionModel::NoUpdate);
        SelectRows(&marks, selected);
    }
    int current() const { return marks.currentIndex().isValid() ? marks.currentIndex().row() : -1; }
    QList<int> selected() const { return SelectedRows(&marks); }
};

} // namespace

class TestFrameList : public QObject {
    Q_OBJECT

private slots:
    void timeLabel_data();
    void timeLabel();
    void labelsFollowFps();
    void displayAndHeaders();
    void icons();
    void insertPositions();
    void appendBeyond65535();
    void singleOpsMoveMarks();
    void insertRowsAtMovesMarks_data();
    void insertRowsAtMovesMarks();
    void removeRowsAtMovesMarks_data();
    void removeRowsAtMovesMarks();
    void setPathsRefreshesIcons();
    void resetRowsClearsMarks();
    void emptyList();
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
    add(2, 8, "2 ( 0.25)");
    add(9, 8, "9 ( 1.13)");
    add(80, 8, "80 (10.00)");
    add(99999, 8, "99999 (12499.88)");
    add(0, 1, "0 ( 0.00)");
    add(1, 1, "1 ( 1.00)");
    add(100, 1, "100 (100.00)"); // the field widens past 5 characters
    add(1, 40, "1 ( 0.03)");
    add(3, 40, "3 ( 0.08)");
    add(5, 40, "5 ( 0.13)");
    add(39, 40, "39 ( 0.98)");
    add(40, 40, "40 ( 1.00)");
    add(1, 3, "1 ( 0.33)");
    add(2, 3, "2 ( 0.67)");
    add(0, 0, "0 (-1.00)");
    add(2, 0, "2 (-1.00)");
    add(7, 4294967291u, "7 ( 0.00)"); // fps -5 from a file, taken unsigned
    add(100000, 4294967291u, "100000 ( 0.00)");
}

void TestFrameList::timeLabel() {
    QFETCH(long, row);
    QFETCH(quint32, fps);
    QFETCH(QString, label);
    QCOMPARE(FrameList::TimeLabel(row, fps), label);
}

void TestFrameList::labelsFollowFps() {
    FrameList list;
    list.resetRows(QList<QByteArray>(10));
    QCOMPARE(list.index(9, 0).data().toString(), QStringLiteral("9 ( 1.13)"));
    list.setFps(1);
    QCOMPARE(list.index(9, 0).data().toString(), QStringLiteral("9 ( 9.00)"));
    list.setFps(0);
    QCOMPARE(list.index(3, 0).data().toString(), QStringLiteral("3 (-1.00)"));
}

void TestFrameList::displayAndHeaders() {
    FrameList list;
    const QByteArray path = "/画像/a b.bmp";
    list.insertRow(0, path);
    QCOMPARE(list.index(0, 1).data().toString(), QStringLiteral("/画像/a b.bmp"));
    QCOMPARE(list.index(0, 1).data(FrameList::PathBytesRole).toByteArray(), path);
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
    QCOMPARE(list.insertRow(5, "a"), 0); // past the end appends
    QCOMPARE(list.insertRow(0, "b"), 0);
    QCOMPARE(list.insertRow(1, "c"), 1);
    QCOMPARE(list.insertRow(3, "d"), 3);
    QCOMPARE(list.insertRow(FrameList::AppendPosition, "e"), 4);
    QCOMPARE(list.paths(), Paths({"b", "c", "a", "d", "e"}));
    list.removeRow(1);
    list.removeRow(99); // ignored
    QCOMPARE(list.paths(), Paths({"b", "a", "d", "e"}));
    list.removeAllRows();
    QCOMPARE(list.size(), 0);
}

void TestFrameList::appendBeyond65535() {
    FrameList list;
    list.resetRows(QList<QByteArray>(70000));
    QCOMPARE(list.insertRow(FrameList::AppendPosition, "/last.bmp"), 70000);
    QCOMPARE(list.path(70000), QByteArray("/last.bmp"));
    QVERIFY(list.path(65535).isEmpty());
    QCOMPARE(list.insertRow(65534, "/mid.bmp"), 65534);
}

void TestFrameList::singleOpsMoveMarks() {
    Marked m;
    m.list.resetRows(Paths({"0", "1", "2", "3", "4", "5"}));
    m.mark({2, 5}, 5);
    m.list.insertRow(0);
    QCOMPARE(m.selected(), (QList<int>{3, 6}));
    QCOMPARE(m.current(), 6);
    m.list.insertRow(FrameList::AppendPosition); // below every mark
    QCOMPARE(m.selected(), (QList<int>{3, 6}));
    m.list.removeRow(1);
    QCOMPARE(m.selected(), (QList<int>{2, 5}));
    QCOMPARE(m.current(), 5);
    QCOMPARE(m.list.path(5), QByteArray("5"));
    // A new row carries no mark.
    m.list.insertRow(3);
    QVERIFY(!m.marks.isRowSelected(3, {}));
    QCOMPARE(m.selected(), (QList<int>{2, 6}));
}

void TestFrameList::insertRowsAtMovesMarks_data() {
    QTest::addColumn<QList<int>>("finalRows");
    QTest::addColumn<QList<QByteArray>>("expected");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("current");
    // Start: rows "a".."e", "b" and "d" selected, focus on "d".
    QTest::newRow("contiguous at top")
        << QList<int>{0, 1} << Paths({"", "", "a", "b", "c", "d", "e"}) << QList<int>{3, 5} << 5;
    QTest::newRow("contiguous at end")
        << QList<int>{5, 6} << Paths({"a", "b", "c", "d", "e", "", ""}) << QList<int>{1, 3} << 3;
    QTest::newRow("scattered") << QList<int>{1, 3, 6}
                               << Paths({"a", "", "b", "", "c", "d", "", "e"}) << QList<int>{2, 5}
                               << 5;
    QTest::newRow("scattered past end")
        << QList<int>{0, 9, 10} << Paths({"", "a", "b", "c", "d", "e", "", ""}) << QList<int>{2, 4}
        << 4;
}

void TestFrameList::insertRowsAtMovesMarks() {
    QFETCH(QList<int>, finalRows);
    QFETCH(QList<QByteArray>, expected);
    Marked m;
    m.list.resetRows(Paths({"a", "b", "c", "d", "e"}));
    m.mark({1, 3}, 3);
    m.list.insertRowsAt(finalRows, QList<QByteArray>(finalRows.size()));
    QCOMPARE(m.list.paths(), expected);
    QTEST(m.selected(), "selected");
    QTEST(m.current(), "current");
    for (int r : finalRows)
        if (r < m.list.size())
            QCOMPARE(m.list.icon(r), FrameList::EmptyIcon);
}

void TestFrameList::removeRowsAtMovesMarks_data() {
    QTest::addColumn<QList<int>>("remove");
    QTest::addColumn<QList<QByteArray>>("expected");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("current");
    // Start: rows "a".."f", "b", "e" and "f" selected, focus on "e".
    QTest::newRow("contiguous above")
        << QList<int>{0, 1} << Paths({"c", "d", "e", "f"}) << QList<int>{2, 3} << 2;
    QTest::newRow("scattered") << QList<int>{0, 2, 3} << Paths({"b", "e", "f"})
                               << QList<int>{0, 1, 2} << 1;
    QTest::newRow("focus row removed")
        << QList<int>{1, 4} << Paths({"a", "c", "d", "f"}) << QList<int>{3} << 3;
    QTest::newRow("focus and last removed")
        << QList<int>{0, 4, 5} << Paths({"b", "c", "d"}) << QList<int>{0} << 2;
}

void TestFrameList::removeRowsAtMovesMarks() {
    QFETCH(QList<int>, remove);
    QFETCH(QList<QByteArray>, expected);
    Marked m;
    m.list.resetRows(Paths({"a", "b", "c", "d", "e", "f"}));
    m.mark({1, 4, 5}, 4);
    const QList<QByteArray> removed = m.list.removeRowsAt(remove);
    QCOMPARE(removed.size(), remove.size());
    QCOMPARE(m.list.paths(), expected);
    QTEST(m.selected(), "selected");
    QTEST(m.current(), "current");
}

void TestFrameList::setPathsRefreshesIcons() {
    Marked m;
    m.list.resetRows(Paths({"a", "", "c"}));
    m.mark({0, 2}, 2);
    m.list.setPaths({0, 1, 7}, Paths({"", "/b", "/ignored"}));
    QCOMPARE(m.list.paths(), Paths({"", "/b", "c"}));
    QCOMPARE(m.list.icon(0), FrameList::BlankIcon);
    QCOMPARE(m.list.icon(1), FrameList::FilledIcon);
    QCOMPARE(m.selected(), (QList<int>{0, 2}));
    QCOMPARE(m.current(), 2);
}

void TestFrameList::resetRowsClearsMarks() {
    Marked m;
    m.list.resetRows(Paths({"a", "b"}));
    m.mark({0, 1}, 1);
    m.list.resetRows(Paths({"x", "", "z"}));
    QVERIFY(m.selected().isEmpty());
    QCOMPARE(m.current(), -1);
    QCOMPARE(m.list.icon(0), FrameList::FilledIcon);
    QCOMPARE(m.list.icon(1), FrameList::BlankIcon);
}

void TestFrameList::emptyList() {
    FrameList list;
    list.RenumberRows();
    list.RefreshRowIcon(0);
    list.removeRowsAt({});
    list.insertRowsAt({}, {});
    QCOMPARE(list.size(), 0);
    QCOMPARE(list.insertRow(0, "a"), 0);
}

void TestFrameList::randomBatchesAgainstReference() {
    // Random batch insertions and removals, contiguous and scattered, checked
    // against a plain list that carries each row's marks along.
    struct Row {
        QByteArray path;
        bool selected = false;
    };
    QRandomGenerator random(20261206);
    Marked m;
    QList<Row> reference;
    int current = -1;
    int serial = 0;
    auto pick = [&](int n, int count) { // count sorted distinct values in [0, n)
        QList<int> all(n);
        std::iota(all.begin(), all.end(), 0);
        std::shuffle(all.begin(), all.end(), std::mt19937(random.generate()));
        all.resize(count);
        std::sort(all.begin(), all.end());
        return all;
    };
    for (int step = 0; step < 400; ++step) {
        const int size = int(reference.size());
        if (size > 0 && random.bounded(3) == 0) {
            // New marks.
            const QList<int> selected = pick(size, int(random.bounded(size + 1)));
            current = int(random.bounded(size));
            m.mark(selected, current);
            for (int r = 0; r < size; ++r)
                reference[r].selected = selected.contains(r);
        } else if (size < 40 && (size == 0 || random.bounded(2) == 0)) {
            const int count = 1 + int(random.bounded(5));
            QList<int> finalRows;
            if (random.bounded(2) == 0) {
                const int first = int(random.bounded(size + 1));
                for (int k = 0; k < count; ++k)
                    finalRows << first + k;
            } else {
                finalRows = pick(size + count, count);
            }
            QList<QByteArray> paths;
            for (int k = 0; k < count; ++k)
                paths << "/new" + QByteArray::number(serial++);
            m.list.insertRowsAt(finalRows, paths);
            QList<Row> merged;
            int next = 0;
            qsizetype k = 0;
            int newCurrent = -1;
            for (int i = 0; i < size + count; ++i) {
                if (k < finalRows.size() && finalRows[k] == i) {
                    merged << Row{paths[k++]};
                } else {
                    if (next == current)
                        newCurrent = i;
                    merged << reference[next++];
                }
            }
            reference = merged;
            current = newCurrent;
        } else {
            const int count = 1 + int(random.bounded(qMin(size, 6)));
            QList<int> rows;
            if (random.bounded(2) == 0) {
                const int first = int(random.bounded(size - count + 1));
                for (int j = 0; j < count; ++j)
                    rows << first + j;
            } else {
                rows = pick(size, count);
            }
            m.list.removeRowsAt(rows);
            QList<Row> kept;
            for (int i = 0; i < size; ++i)
                if (!rows.contains(i))
                    kept << reference[i];
            if (current >= 0) {
                const auto before =
                    int(std::lower_bound(rows.begin(), rows.end(), current) - rows.begin());
                if (rows.contains(current))
                    current = kept.isEmpty() ? -1 : qMin(current - before, int(kept.size()) - 1);
                else
                    current -= before;
            }
            reference = kept;
        }
        QList<QByteArray> paths;
        QList<int> selected;
        for (int r = 0; r < reference.size(); ++r) {
            paths << reference[r].path;
            if (reference[r].selected)
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
