#pragma once

// One undo step of the frame list: rows inserted, rows removed, or paths
// changed in place. Each kind is the inverse of another (an insertion is undone
// by removing the same indexes), and each applies as one batch on the model.
// After an undo the rows that came back (re-inserted, or given back their old
// paths) are selected.

#include "framelist/FrameList.h"

#include <QUndoCommand>

#include <functional>
#include <memory>

class RowEditCommand : public QUndoCommand {
public:
    enum class Kind { Insert, Remove, Change };

    // Inserts paths[k] so that it ends up at rows[k] (ascending final indexes).
    static std::unique_ptr<RowEditCommand> Insert(FrameList* list, QList<int> rows,
                                                  QList<QByteArray> paths, const QString& text);
    // Removes the rows at the ascending indexes; their paths are kept for undo.
    static std::unique_ptr<RowEditCommand> Remove(FrameList* list, QList<int> rows,
                                                  const QString& text);
    // Sets newPaths[k] on rows[k] (ascending); the old paths are kept for undo.
    static std::unique_ptr<RowEditCommand> Change(FrameList* list, QList<int> rows,
                                                  QList<QByteArray> newPaths, const QString& text);

    // Runs after every redo, the first one included: the command's own marks
    // (for example, select the focused row after a delete).
    void setAfterRedo(std::function<void(FrameList*)> afterRedo) {
        afterRedo_ = std::move(afterRedo);
    }

    Kind kind() const { return kind_; }
    const QList<int>& rows() const { return rows_; }

    void redo() override;
    void undo() override;

private:
    RowEditCommand(Kind kind, FrameList* list, QList<int> rows, QList<QByteArray> before,
                   QList<QByteArray> after, const QString& text);

    Kind kind_;
    FrameList* list_;
    QList<int> rows_;
    QList<QByteArray> before_; // paths before redo (Remove, Change)
    QList<QByteArray> after_;  // paths after redo (Insert, Change)
    std::function<void(FrameList*)> afterRedo_;
};
