#include "framelist/widgets/CVistromView.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMouseEvent>

void CVistromView::OnDragDropHelp() {}
void CVistromView::OnImportFileList() {}
void CVistromView::OnShowImage() {}
void CVistromView::OnChangeImage() {}
void CVistromView::ShowRowImage(int) {}
void CVistromView::ClearPreview() {}
void CVistromView::ChangeRowImage(int) {}

void CVistromView::mousePressEvent(QMouseEvent* event) { QTableView::mousePressEvent(event); }
void CVistromView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
}
void CVistromView::dragEnterEvent(QDragEnterEvent* event) { QTableView::dragEnterEvent(event); }
void CVistromView::dragMoveEvent(QDragMoveEvent* event) { QTableView::dragMoveEvent(event); }
void CVistromView::dropEvent(QDropEvent* event) { QTableView::dropEvent(event); }
