#include "project/UndoSteps.h"

#include <QItemSelectionModel>

#include <algorithm>

namespace {

using Ranges = QList<std::pair<int, int>>;

// Sorts the ranges and joins those that overlap or touch.
Ranges Joined(Ranges ranges) {
    std::sort(ranges.begin(), ranges.end());
    Ranges out;
    for (const auto& [first, last] : ranges) {
        if (!out.isEmpty() && first <= out.last().second + 1)
            out.last().second = std::max(out.last().second, last);
        else
            out.append({first, last});
    }
    return out;
}

// Ranges of the ascending rows.
Ranges RangesOf(const QList<int>& rows) {
    Ranges out;
    for (int r : rows) {
        if (!out.isEmpty() && r == out.last().second + 1)
            out.last().second = r;
        else
            out.append({r, r});
    }
    return out;
}

} // namespace

RowEditStep::RowEditStep(Kind kind, FrameList* list, QList<int> rows, QList<QByteArray> before,
                         QList<QByteArray> after, const QString& text)
    : QUndoCommand(text), kind_(kind), list_(list), rows_(std::move(rows)),
      before_(std::move(before)), after_(std::move(after)), marksBefore_(saveMarks()) {}

RowEditStep::Marks RowEditStep::saveMarks() const {
    Marks saved;
    const QItemSelectionModel* marks = list_->marks();
    if (!marks)
        return saved;
    Ranges ranges;
    for (const QItemSelectionRange& range : marks->selection())
        ranges.append({range.top(), range.bottom()});
    saved.selected = Joined(std::move(ranges));
    saved.focus = marks->currentIndex().isValid() ? marks->currentIndex().row() : -1;
    return saved;
}

void RowEditStep::restoreMarks(const Marks& saved, bool rowsThere) {
    QItemSelectionModel* marks = list_->marks();
    if (!marks)
        return;
    const int size = list_->size();
    marks->setCurrentIndex(saved.focus >= 0 && saved.focus < size ? list_->index(saved.focus, 0)
                                                                  : QModelIndex(),
                           QItemSelectionModel::NoUpdate);
    const Ranges ranges = Joined(saved.selected + (rowsThere ? RangesOf(rows_) : Ranges()));
    QItemSelection selection;
    for (const auto& [first, last] : ranges)
        if (first < size)
            selection.append(
                QItemSelectionRange(list_->index(first, 0),
                                    list_->index(std::min(last, size - 1), FrameList::PathColumn)));
    // Clearing first keeps the change notification linear in the selection size.
    marks->clearSelection();
    if (!selection.isEmpty())
        marks->select(selection, QItemSelectionModel::Select);
}

void RowEditStep::noteChanged(bool rowsThere) {
    const int last = list_->size() - 1;
    if (last < 0 || rows_.isEmpty())
        changed_ = {-1, -1};
    else if (rowsThere)
        changed_ = {std::min(rows_.first(), last), std::min(rows_.last(), last)};
    else
        changed_ = {std::min(rows_.first(), last), std::min(rows_.first(), last)};
}

static QList<QByteArray> PathsOf(const FrameList* list, const QList<int>& rows) {
    QList<QByteArray> paths;
    paths.reserve(rows.size());
    for (int r : rows)
        paths.append(list->path(r));
    return paths;
}

RowEditStep* RowEditStep::insertRows(FrameList* list, QList<int> rows, QList<QByteArray> paths,
                                     const QString& text) {
    return new RowEditStep(Kind::Insert, list, std::move(rows), {}, std::move(paths), text);
}

RowEditStep* RowEditStep::removeRows(FrameList* list, QList<int> rows, const QString& text) {
    QList<QByteArray> before = PathsOf(list, rows);
    return new RowEditStep(Kind::Remove, list, std::move(rows), std::move(before), {}, text);
}

RowEditStep* RowEditStep::changePaths(FrameList* list, QList<int> rows, QList<QByteArray> newPaths,
                                      const QString& text) {
    QList<QByteArray> before = PathsOf(list, rows);
    if (before == newPaths)
        return nullptr;
    return new RowEditStep(Kind::Change, list, std::move(rows), std::move(before),
                           std::move(newPaths), text);
}

void RowEditStep::redo() {
    switch (kind_) {
    case Kind::Insert:
        list_->insertRowsAt(rows_, after_);
        list_->renumberRows();
        break;
    case Kind::Remove:
        list_->removeRowsAt(rows_);
        list_->renumberRows();
        break;
    case Kind::Change:
        list_->setPaths(rows_, after_);
        break;
    }
    if (marksAfter_) {
        restoreMarks(*marksAfter_, kind_ != Kind::Remove);
    } else {
        // The first run: the marks as the command leaves them.
        if (afterRedo_)
            afterRedo_(list_);
        marksAfter_ = saveMarks();
    }
    noteChanged(kind_ != Kind::Remove);
}

void RowEditStep::undo() {
    switch (kind_) {
    case Kind::Insert:
        list_->removeRowsAt(rows_);
        list_->renumberRows();
        break;
    case Kind::Remove:
        list_->insertRowsAt(rows_, before_);
        list_->renumberRows();
        break;
    case Kind::Change:
        list_->setPaths(rows_, before_);
        break;
    }
    restoreMarks(marksBefore_, kind_ != Kind::Insert);
    noteChanged(kind_ != Kind::Insert);
}

void ApplyChangedFields(ProjectSettings& settings, const ProjectSettings& from,
                        const ProjectSettings& to) {
    auto take = [&](auto field) {
        if (from.*field != to.*field)
            settings.*field = to.*field;
    };
    take(&ProjectSettings::fps);
    take(&ProjectSettings::width);
    take(&ProjectSettings::height);
    take(&ProjectSettings::depth);
    take(&ProjectSettings::noTrailingBlank);
    take(&ProjectSettings::scaleImages);
    take(&ProjectSettings::trimAviSize);
    take(&ProjectSettings::audioEnabled);
    take(&ProjectSettings::audioPath);
    take(&ProjectSettings::applyOrientation);
}
