#include "framelist/widgets/CVistromView.h"

void CVistromView::OnCopyRows() {}
void CVistromView::OnCutRowsClosingUp() {}
void CVistromView::OnCutRowsLeavingBlanks() {}
void CVistromView::OnPasteRowsInserting() {}
void CVistromView::OnPasteRowsOverwriting() {}
