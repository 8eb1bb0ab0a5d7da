#include "framelist/RowEditCommand.h"

RowEditCommand::RowEditCommand(Kind kind, FrameList* list, QList<int> rows,
                               QList<QByteArray> before, QList<QByteArray> after,
                               const QString& text)
    : QUndoCommand(text), kind_(kind), list_(list), rows_(std::move(rows)),
      before_(std::move(before)), after_(std::move(after)) {}

std::unique_ptr<RowEditCommand> RowEditCommand::Insert(FrameList* list, QList<int> rows,
                                                       QList<QByteArray> paths,
                                                       const QString& text) {
    return std::unique_ptr<RowEditCommand>(
        new RowEditCommand(Kind::Insert, list, std::move(rows), {}, std::move(paths), text));
}

std::unique_ptr<RowEditCommand> RowEditCommand::Remove(FrameList* list, QList<int> rows,
                                                       const QString& text) {
    QList<QByteArray> before;
    before.reserve(rows.size());
    for (int r : rows)
        before.append(list->path(r));
    return std::unique_ptr<RowEditCommand>(
        new RowEditCommand(Kind::Remove, list, std::move(rows), std::move(before), {}, text));
}

std::unique_ptr<RowEditCommand> RowEditCommand::Change(FrameList* list, QList<int> rows,
                                                       QList<QByteArray> newPaths,
                                                       const QString& text) {
    QList<QByteArray> before;
    before.reserve(rows.size());
    for (int r : rows)
        before.append(list->path(r));
    const bool changesNothing = before == newPaths;
    auto command = std::unique_ptr<RowEditCommand>(new RowEditCommand(
        Kind::Change, list, std::move(rows), std::move(before), std::move(newPaths), text));
    // A step that would change nothing (blanking blank rows, pasting the same
    // paths) is dropped by the undo stack instead of being pushed.
    command->setObsolete(changesNothing);
    return command;
}

void RowEditCommand::redo() {
    switch (kind_) {
    case Kind::Insert:
        list_->insertRowsAt(rows_, after_);
        list_->RenumberRows();
        break;
    case Kind::Remove:
        list_->removeRowsAt(rows_);
        list_->RenumberRows();
        break;
    case Kind::Change:
        list_->setPaths(rows_, after_);
        break;
    }
    if (afterRedo_)
        afterRedo_(list_);
}

void RowEditCommand::undo() {
    switch (kind_) {
    case Kind::Insert:
        list_->removeRowsAt(rows_);
        list_->RenumberRows();
        return;
    case Kind::Remove:
        list_->insertRowsAt(rows_, before_);
        list_->RenumberRows();
        break;
    case Kind::Change:
        list_->setPaths(rows_, before_);
        break;
    }
    SelectRows(list_->marks(), rows_);
}
