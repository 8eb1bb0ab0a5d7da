#pragma once

// The undo steps of a project. A row edit inserts rows, removes rows or
// changes paths in place; each kind is the inverse of another (an insertion is
// undone by removing the same indexes), and each applies as one batch on the
// model. A row edit keeps the marks held before it and those its first run
// left: an undo brings back the marks held before, with the rows that came
// back (re-inserted, or given back their old paths) selected as well; a later
// redo brings back the marks the edit left, with the rows it inserted or
// changed selected as well. A settings step sets the fields a dialog changed,
// and only those.

#include "project/FrameList.h"
#include "settings/ProjectSettings.h"

#include <QUndoCommand>

#include <functional>
#include <optional>
#include <utility>

class RowEditStep : public QUndoCommand {
public:
    enum class Kind { Insert, Remove, Change };

    // Inserts paths[k] so that it ends up at rows[k] (ascending final indexes).
    static RowEditStep* insertRows(FrameList* list, QList<int> rows, QList<QByteArray> paths,
                                   const QString& text);
    // Removes the rows at the ascending indexes; their paths are kept for undo.
    static RowEditStep* removeRows(FrameList* list, QList<int> rows, const QString& text);
    // Sets newPaths[k] on rows[k] (ascending); the old paths are kept for undo.
    // nullptr when every row already holds its new path: there is nothing to undo.
    static RowEditStep* changePaths(FrameList* list, QList<int> rows, QList<QByteArray> newPaths,
                                    const QString& text);

    // Runs after the first redo: the step's own marks (for example, select
    // the focused row after a delete). Later redos bring back the marks it left.
    void setAfterRedo(std::function<void(FrameList*)> afterRedo) {
        afterRedo_ = std::move(afterRedo);
    }

    Kind kind() const { return kind_; }
    const QList<int>& rows() const { return rows_; }
    // The first and last row the last redo or undo changed, for a view to
    // scroll to; where removed rows were, the row now in the first one's place
    // (or the last row). -1 when the list is empty.
    std::pair<int, int> changedRows() const { return changed_; }

    void redo() override;
    void undo() override;

private:
    // Selected rows as ranges of first and last, and the focus row (-1: none).
    struct Marks {
        QList<std::pair<int, int>> selected;
        int focus = -1;
    };

    RowEditStep(Kind kind, FrameList* list, QList<int> rows, QList<QByteArray> before,
                QList<QByteArray> after, const QString& text);
    Marks saveMarks() const;
    // Sets marks, with the rows of this step selected as well when rowsThere.
    void restoreMarks(const Marks& marks, bool rowsThere);
    void noteChanged(bool rowsThere);

    Kind kind_;
    FrameList* list_;
    QList<int> rows_;
    QList<QByteArray> before_; // paths before redo (Remove, Change)
    QList<QByteArray> after_;  // paths after redo (Insert, Change)
    std::function<void(FrameList*)> afterRedo_;
    Marks marksBefore_;
    std::optional<Marks> marksAfter_; // set by the first redo
    std::pair<int, int> changed_{-1, -1};
};

class SettingsStep : public QUndoCommand {
public:
    // apply(from, to) sets every field in which from and to differ to its
    // value in to, leaving the others as they are now.
    using Apply = std::function<void(const ProjectSettings& from, const ProjectSettings& to)>;

    SettingsStep(ProjectSettings before, ProjectSettings after, Apply apply, const QString& text)
        : QUndoCommand(text), before_(std::move(before)), after_(std::move(after)),
          apply_(std::move(apply)) {}

    void redo() override { apply_(before_, after_); }
    void undo() override { apply_(after_, before_); }

private:
    ProjectSettings before_;
    ProjectSettings after_;
    Apply apply_;
};

// Sets the fields of settings in which from and to differ to their value in to.
void ApplyChangedFields(ProjectSettings& settings, const ProjectSettings& from,
                        const ProjectSettings& to);
