// The list editing commands (Edit menu 32771-32777), undo and redo, and the
// plain keys of the list.
//
// Every command that changes rows or their paths is one undo step: it builds a
// RowEditCommand completely, then pushes it, and the push applies it. A
// command that would change nothing (0 blanks, nothing selected, an empty list
// cleared, a selection that is already blank) still sets modified and relabels
// as the command always does, but pushes no step: an undo that changes nothing
// would only puzzle the user.
//
// The main frame enables its undo and redo items from undoStack()'s
// canUndoChanged / canRedoChanged signals; New and Open clear the stack.

#include "framelist/widgets/CVistromView.h"

#include "app/UserDialogs.h"
#include "framelist/RowEditCommand.h"

#include <QKeyEvent>
#include <QUndoStack>

#include <algorithm>
#include <iterator>
#include <numeric>

namespace {

const QString AppendPrompt = QStringLiteral("最後に、何個項目を追加するかを指定してください。");
const QString InsertPrompt = QStringLiteral("その場所に何個項目を追加するかを指定してください。");
const QString GoToPrompt = QStringLiteral("何番目の場所へ移動するかを指定してください。");
const QString RangeFromPrompt = QStringLiteral("選択範囲の指定・何番目から?");
const QString RangeToPrompt = QStringLiteral("選択範囲の指定・何番目まで?");
const QString ClearAllQuestion = QStringLiteral("本当に全部消去してよいですか?");

// Adds the row holding the focus mark, if any, to the selection.
void SelectFocusedRow(FrameList* list) {
    QItemSelectionModel* marks = list->marks();
    if (!marks)
        return;
    const QModelIndex current = marks->currentIndex();
    if (current.isValid())
        marks->select(current, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// The keys the list handles itself while it has the focus, before any
// shortcut of the main window with the same key: Space, Delete, Enter and
// Shift+Enter, with no other modifier (the keypad's Enter counts as Enter).
enum class ListKey { None, Blank, Delete, Show, Change };

ListKey ListKeyOf(const QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Space:
        return modifiers == Qt::NoModifier ? ListKey::Blank : ListKey::None;
    case Qt::Key_Delete:
        return modifiers == Qt::NoModifier ? ListKey::Delete : ListKey::None;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (modifiers == Qt::NoModifier)
            return ListKey::Show;
        return modifiers == Qt::ShiftModifier ? ListKey::Change : ListKey::None;
    default:
        return ListKey::None;
    }
}

} // namespace

// Inserts count blank rows as one block starting at position; a position past
// the last row (or negative) appends. Marks move with their rows; the new rows
// carry none.
void CVistromView::InsertBlankRows(int position, int count) {
    const int size = frameList_->size();
    const int at = (position < 0 || position > size) ? size : position;
    if (count > 0) {
        QList<int> rows(count);
        for (int k = 0; k < count; ++k)
            rows[k] = at + k;
        const QString text = at < size ? tr("空欄の挿入") : tr("空欄の追加");
        undoStack_->push(
            RowEditCommand::Insert(frameList_, std::move(rows), QList<QByteArray>(count), text)
                .release());
    }
    modified |= 1;
    RenumberRows();
}

void CVistromView::OnAddBlanksAtEnd() {
    const std::optional<quint32> count =
        dialogs_ ? dialogs_->askValue(AppendPrompt, 1) : std::nullopt;
    if (!count)
        return;
    // The end itself, not 65535: a list may be longer than that.
    InsertBlankRows(frameList_->size(), int(*count));
    modified |= 1;
}

void CVistromView::OnInsertBlanksHere() {
    const std::optional<quint32> count =
        dialogs_ ? dialogs_->askValue(InsertPrompt, 1) : std::nullopt;
    if (!count)
        return;
    const int focused = focusedRow();
    const int position = focused >= 0 ? focused : frameList_->size();
    InsertBlankRows(position, int(*count));
    if (position < frameList_->size())
        update(model()->index(position, 0));
    modified |= 1;
    RenumberRows();
}

void CVistromView::OnClearAll() {
    if (!dialogs_ || !dialogs_->askYesNo(ClearAllQuestion))
        return;
    const int size = frameList_->size();
    if (size > 0) {
        QList<int> rows(size);
        for (int r = 0; r < size; ++r)
            rows[r] = r;
        undoStack_->push(
            RowEditCommand::Remove(frameList_, std::move(rows), tr("全部消去")).release());
    }
    modified |= 1;
    RenumberRows();
}

// Removes every selected row; the row that holds the focus afterwards is
// selected (also when nothing was selected and nothing was removed).
void CVistromView::OnDeleteSelection() {
    QList<int> rows = selectedRows();
    if (rows.isEmpty()) {
        SelectFocusedRow(frameList_);
    } else {
        auto command = RowEditCommand::Remove(frameList_, std::move(rows), tr("選択部分の削除"));
        command->setAfterRedo(SelectFocusedRow);
        undoStack_->push(command.release());
    }
    modified |= 1;
    RenumberRows();
}

// Empties the path of every selected row in place; count, numbering and marks
// stay as they were.
void CVistromView::OnBlankSelection() {
    QList<int> rows = selectedRows();
    const bool changes =
        std::any_of(rows.begin(), rows.end(), [this](int r) { return !frameList_->isBlank(r); });
    if (changes) {
        const qsizetype count = rows.size();
        undoStack_->push(RowEditCommand::Change(frameList_, std::move(rows),
                                                QList<QByteArray>(count), tr("選択部分を空欄に"))
                             .release());
    }
    modified |= 1;
}

// Moves the focus mark to row N and scrolls it entirely into view; the
// selection stays. A number past the last row changes nothing.
void CVistromView::OnGoToRow() {
    const std::optional<quint32> row = dialogs_ ? dialogs_->askValue(GoToPrompt, 0) : std::nullopt;
    if (!row || *row >= quint32(frameList_->size()))
        return;
    const QModelIndex current = currentIndex();
    const QModelIndex target = model()->index(int(*row), current.isValid() ? current.column() : 0);
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    scrollTo(target, QAbstractItemView::EnsureVisible);
}

// Adds rows F to T - 1 to the selection; rows past the end are passed over.
// The whole selection is set anew in one pass: adding a range that cuts
// thousands of selected ranges through the selection model itself takes time
// quadratic in the ranges (seconds with every other row of a long list).
void CVistromView::OnAddRangeToSelection() {
    const std::optional<quint32> from =
        dialogs_ ? dialogs_->askValue(RangeFromPrompt, 0) : std::nullopt;
    if (!from)
        return;
    const std::optional<quint32> to = dialogs_->askValue(RangeToPrompt, 0);
    if (!to)
        return;
    const qint64 first = *from;
    const qint64 last = std::min<qint64>(*to, frameList_->size()) - 1;
    if (first > last)
        return;
    const QList<int> selected = selectedRows();
    QList<int> range(last - first + 1);
    std::iota(range.begin(), range.end(), int(first));
    QList<int> rows;
    rows.reserve(selected.size() + range.size());
    std::set_union(selected.begin(), selected.end(), range.begin(), range.end(),
                   std::back_inserter(rows));
    ::SelectRows(selectionModel(), rows);
}

void CVistromView::OnUndo() {
    if (!undoStack_->canUndo())
        return;
    undoStack_->undo();
    modified |= 1;
    RenumberRows();
}

void CVistromView::OnRedo() {
    if (!undoStack_->canRedo())
        return;
    undoStack_->redo();
    modified |= 1;
    RenumberRows();
}

// Claims the list's own keys before the main window's shortcuts see them, so
// each key runs its command exactly once while the list has the focus.
bool CVistromView::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride &&
        ListKeyOf(static_cast<QKeyEvent*>(event)) != ListKey::None) {
        event->accept();
        return true;
    }
    return QTableView::event(event);
}

// The list's keys run their commands before the table's own handling, which
// would toggle the selection on Space and start editing or activate on Enter.
void CVistromView::keyPressEvent(QKeyEvent* event) {
    switch (ListKeyOf(event)) {
    case ListKey::Blank:
        OnBlankSelection();
        break;
    case ListKey::Delete:
        OnDeleteSelection();
        break;
    case ListKey::Show:
        OnShowImage();
        break;
    case ListKey::Change:
        OnChangeImage();
        break;
    case ListKey::None:
        QTableView::keyPressEvent(event);
        return;
    }
    event->accept();
}
