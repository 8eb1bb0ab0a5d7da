#include "framelist/widgets/CVistromView.h"

#include "app/UserDialogs.h"
#include "framelist/CVistromDoc.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QUndoStack>

CVistromView::CVistromView(CVistromDoc* document, UserDialogs* dialogs, QWidget* parent)
    : QTableView(parent), document_(document), dialogs_(dialogs),
      frameList_(new FrameList(this)), undoStack_(new QUndoStack(this)) {
    setModel(frameList_);
    frameList_->setMarks(selectionModel());
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    verticalHeader()->hide();
    setColumnWidth(FrameList::LabelColumn, 100);
    setColumnWidth(FrameList::PathColumn, 300);
    connect(document_, &CVistromDoc::updated, this, [this](QObject* sender, int hint,
                                                           const QByteArray& payload) {
        if (sender != this)
            OnUpdate(sender, hint, payload);
    });
}

CVistromView::~CVistromView() = default;

void CVistromView::OnInitialUpdate() {}
void CVistromView::ResetSettings() { ::ResetSettings(settings); }

void CVistromView::RenumberRows() {
    frameList_->setFps(settings.fps);
    frameList_->RenumberRows();
}

void CVistromView::RefreshRowIcon(int row) { frameList_->RefreshRowIcon(row); }

int CVistromView::WriteProjectFile() { return 1; }
int CVistromView::ReadProjectFile() { return 1; }
void CVistromView::OnUpdate(QObject*, int, const QByteArray&) {}
bool CVistromView::QueryClose() { return true; }

int CVistromView::focusedRow() const {
    const QModelIndex current = selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

QList<int> CVistromView::selectedRows() const { return SelectedRows(selectionModel()); }

void CVistromView::OnNewProject() {}
void CVistromView::OnOpenProject() {}
void CVistromView::OnSaveProject() {}
void CVistromView::OnSaveProjectAs() {}
void CVistromView::OnFilePrint() {}
void CVistromView::OnFilePrintPreview() {}
void CVistromView::printRows(QPrinter*) {}
