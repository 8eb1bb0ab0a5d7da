#include "project/UndoSteps.h"

RowEditStep::RowEditStep(Kind kind, FrameList* list, QList<int> rows, QList<QByteArray> before,
                         QList<QByteArray> after, const QString& text)
    : QUndoCommand(text), kind_(kind), list_(list), rows_(std::move(rows)),
      before_(std::move(before)), after_(std::move(after)) {}

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
    if (afterRedo_)
        afterRedo_(list_);
}

void RowEditStep::undo() {
    switch (kind_) {
    case Kind::Insert:
        list_->removeRowsAt(rows_);
        list_->renumberRows();
        return;
    case Kind::Remove:
        list_->insertRowsAt(rows_, before_);
        list_->renumberRows();
        break;
    case Kind::Change:
        list_->setPaths(rows_, before_);
        break;
    }
    SelectRows(list_->marks(), rows_);
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
}
