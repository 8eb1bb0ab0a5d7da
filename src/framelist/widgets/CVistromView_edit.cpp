#include "framelist/widgets/CVistromView.h"

#include <QKeyEvent>

void CVistromView::InsertBlankRows(int, int) {}
void CVistromView::OnAddBlanksAtEnd() {}
void CVistromView::OnInsertBlanksHere() {}
void CVistromView::OnClearAll() {}
void CVistromView::OnDeleteSelection() {}
void CVistromView::OnBlankSelection() {}
void CVistromView::OnGoToRow() {}
void CVistromView::OnAddRangeToSelection() {}
void CVistromView::OnUndo() {}
void CVistromView::OnRedo() {}

void CVistromView::keyPressEvent(QKeyEvent* event) { QTableView::keyPressEvent(event); }
