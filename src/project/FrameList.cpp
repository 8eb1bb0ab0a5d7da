#include "project/FrameList.h"

#include <QFile>
#include <QItemSelectionModel>

#include <algorithm>
#include <cstdio>
#include <cstring>

FrameList::FrameList(QObject* parent) : QAbstractTableModel(parent) {}

int FrameList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : size();
}

int FrameList::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FrameList::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= size())
        return {};
    const FrameSlot& slot = rows_[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == LabelColumn)
            return timeLabel(index.row());
        return QFile::decodeName(slot.path);
    case IconRole:
        return int(slot.icon);
    case PathBytesRole:
        return slot.path;
    default:
        return {};
    }
}

QVariant FrameList::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    if (section == LabelColumn)
        return tr("順(時刻)");
    if (section == PathColumn)
        return tr("BMPファイル");
    return {};
}

Qt::ItemFlags FrameList::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren |
           Qt::ItemIsDropEnabled;
}

QList<QByteArray> FrameList::paths() const {
    QList<QByteArray> out;
    out.reserve(size());
    for (const FrameSlot& slot : rows_)
        out.append(slot.path);
    return out;
}

void FrameList::setFps(quint32 fps) {
    fps_ = fps;
    if (!rows_.isEmpty())
        emit dataChanged(index(0, LabelColumn), index(size() - 1, LabelColumn), {Qt::DisplayRole});
}

QString TimeLabel(long row, quint32 fps) {
    // The seconds are the reciprocal times the row, in that order. Two decimals,
    // rounded to nearest with exact halves going away from zero (0.125 -> 0.13);
    // printf alone would round such halves to even.
    const double seconds = fps == 0 ? -1.0 : (1.0 / double(fps)) * double(row);
    char exact[400];
    std::snprintf(exact, sizeof exact, "%.60f", seconds < 0 ? -seconds : seconds);
    const char* dot = std::strchr(exact, '.');
    // Integer part and the first two decimals as one whole number of hundredths.
    QByteArray digits(exact, int(dot - exact));
    digits.append(dot + 1, 2);
    const bool roundUp = dot[3] >= '5';
    QByteArray hundredths;
    if (roundUp) {
        // Add one to the decimal digit string.
        int i = digits.size() - 1;
        while (i >= 0 && digits[i] == '9') {
            digits[i] = '0';
            --i;
        }
        if (i < 0)
            digits.prepend('1');
        else
            digits[i] = char(digits[i] + 1);
    }
    hundredths = digits;
    QByteArray text = hundredths.left(hundredths.size() - 2);
    while (text.size() > 1 && text[0] == '0')
        text.remove(0, 1);
    if (text.isEmpty())
        text = "0";
    text += '.';
    text += hundredths.right(2);
    if (seconds < 0)
        text.prepend('-');
    return QString::asprintf("%ld (%5s)", row, text.constData());
}

static bool IsContiguous(const QList<int>& rows) {
    return !rows.isEmpty() && rows.last() - rows.first() == rows.size() - 1;
}

void FrameList::insertRowsAt(const QList<int>& finalRows, const QList<QByteArray>& paths) {
    Q_ASSERT(finalRows.size() == paths.size());
    if (finalRows.isEmpty())
        return;
    const int newSize = size() + int(finalRows.size());
    if (IsContiguous(finalRows) && finalRows.first() <= size()) {
        const int first = finalRows.first();
        beginInsertRows({}, first, first + int(finalRows.size()) - 1);
        QList<FrameSlot> block;
        block.reserve(paths.size());
        for (const QByteArray& p : paths)
            block.append(FrameSlot{p, EmptyIcon});
        rows_.insert(first, block.size(), FrameSlot{});
        std::move(block.begin(), block.end(), rows_.begin() + first);
        endInsertRows();
        return;
    }
    // Merge the old rows and the new ones into the final order.
    SavedMarks marks = saveMarks();
    QList<FrameSlot> merged;
    merged.reserve(newSize);
    QList<int> oldToNew(size(), -1);
    int next = 0; // next old row to place
    qsizetype k = 0;
    for (int i = 0; i < newSize; ++i) {
        if (k < finalRows.size() && finalRows[k] == i) {
            merged.append(FrameSlot{paths[k], EmptyIcon});
            ++k;
        } else if (next < size()) {
            oldToNew[next] = i;
            merged.append(std::move(rows_[next++]));
        } else if (k < finalRows.size()) {
            // A final index past the end: append in order.
            merged.append(FrameSlot{paths[k++], EmptyIcon});
        }
    }
    for (int& r : marks.selected)
        r = oldToNew.value(r, -1);
    marks.current = marks.current >= 0 ? oldToNew.value(marks.current, -1) : -1;
    beginResetModel();
    rows_ = std::move(merged);
    endResetModel();
    restoreMarks(marks);
}

QList<QByteArray> FrameList::removeRowsAt(const QList<int>& requested) {
    QList<QByteArray> removed;
    // Indexes that name no row are passed over.
    QList<int> rowsToRemove;
    rowsToRemove.reserve(requested.size());
    for (int r : requested)
        if (r >= 0 && r < size())
            rowsToRemove.append(r);
    if (rowsToRemove.isEmpty())
        return removed;
    removed.reserve(rowsToRemove.size());
    for (int r : rowsToRemove)
        removed.append(rows_[r].path);
    if (IsContiguous(rowsToRemove)) {
        const int first = rowsToRemove.first();
        const int last = rowsToRemove.last();
        const int current =
            marks_ && marks_->currentIndex().isValid() ? marks_->currentIndex().row() : -1;
        beginRemoveRows({}, first, last);
        rows_.remove(first, last - first + 1);
        endRemoveRows();
        // The selection model would give a removed focus row's mark to the row
        // above; pass it on as the merging path below does.
        if (marks_ && current >= first && current <= last && !rows_.isEmpty())
            marks_->setCurrentIndex(index(std::min(first, size() - 1), 0),
                                    QItemSelectionModel::NoUpdate);
        return removed;
    }
    SavedMarks marks = saveMarks();
    QList<int> oldToNew(size(), -1);
    QList<FrameSlot> kept;
    kept.reserve(size() - rowsToRemove.size());
    qsizetype k = 0;
    for (int i = 0; i < size(); ++i) {
        if (k < rowsToRemove.size() && rowsToRemove[k] == i) {
            ++k;
            continue;
        }
        oldToNew[i] = int(kept.size());
        kept.append(std::move(rows_[i]));
    }
    for (int& r : marks.selected)
        r = oldToNew.value(r, -1);
    if (marks.current >= 0 && marks.current < oldToNew.size()) {
        // A removed focus row passes the focus to the row that moves into its
        // place, or to the new last row.
        int c = marks.current;
        int mapped = oldToNew[c];
        if (mapped < 0) {
            const auto before = std::lower_bound(rowsToRemove.begin(), rowsToRemove.end(), c) -
                                rowsToRemove.begin();
            mapped = std::min<int>(c - int(before), int(kept.size()) - 1);
        }
        marks.current = mapped;
    } else {
        marks.current = -1;
    }
    beginResetModel();
    rows_ = std::move(kept);
    endResetModel();
    restoreMarks(marks);
    return removed;
}

void FrameList::setPaths(const QList<int>& rowsToSet, const QList<QByteArray>& paths) {
    Q_ASSERT(rowsToSet.size() == paths.size());
    if (rowsToSet.isEmpty())
        return;
    int lo = size(), hi = -1;
    for (qsizetype k = 0; k < rowsToSet.size(); ++k) {
        const int r = rowsToSet[k];
        if (r < 0 || r >= size())
            continue;
        rows_[r].path = paths[k];
        rows_[r].icon = iconFor(paths[k]);
        lo = std::min(lo, r);
        hi = std::max(hi, r);
    }
    if (hi >= 0)
        emit dataChanged(index(lo, 0), index(hi, ColumnCount - 1));
}

void FrameList::resetRows(const QList<QByteArray>& paths) {
    beginResetModel();
    rows_.clear();
    rows_.reserve(paths.size());
    for (const QByteArray& p : paths)
        rows_.append(FrameSlot{p, iconFor(p)});
    endResetModel();
}

QString FrameList::timeLabel(int row) const {
    return TimeLabel(row, fps_);
}

void FrameList::renumberRows() {
    if (rows_.isEmpty())
        return;
    for (FrameSlot& slot : rows_)
        slot.icon = iconFor(slot.path);
    // The labels and icons only: the paths are as they were.
    emit dataChanged(index(0, LabelColumn), index(size() - 1, LabelColumn));
}

FrameList::SavedMarks FrameList::saveMarks() const {
    SavedMarks saved;
    if (!marks_)
        return saved;
    saved.selected = SelectedRows(marks_);
    const QModelIndex current = marks_->currentIndex();
    saved.current = current.isValid() ? current.row() : -1;
    return saved;
}

void FrameList::restoreMarks(const SavedMarks& saved) {
    if (!marks_)
        return;
    QList<int> rows;
    rows.reserve(saved.selected.size());
    for (int r : saved.selected)
        if (r >= 0)
            rows.append(r);
    std::sort(rows.begin(), rows.end());
    if (saved.current >= 0 && saved.current < size())
        marks_->setCurrentIndex(index(saved.current, 0), QItemSelectionModel::NoUpdate);
    SelectRows(marks_, rows);
}

void SelectRows(QItemSelectionModel* marks, const QList<int>& rows) {
    if (!marks)
        return;
    const QAbstractItemModel* model = marks->model();
    const int lastColumn = model->columnCount() - 1;
    QItemSelection selection;
    for (qsizetype i = 0; i < rows.size();) {
        qsizetype j = i;
        while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1)
            ++j;
        selection.append(
            QItemSelectionRange(model->index(rows[i], 0), model->index(rows[j], lastColumn)));
        i = j + 1;
    }
    // Clearing first keeps the change notification linear in the selection size.
    marks->clearSelection();
    if (!selection.isEmpty())
        marks->select(selection, QItemSelectionModel::Select);
}

QList<int> SelectedRows(const QItemSelectionModel* marks) {
    QList<int> rows;
    if (!marks)
        return rows;
    for (const QItemSelectionRange& range : marks->selection())
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.append(r);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}
