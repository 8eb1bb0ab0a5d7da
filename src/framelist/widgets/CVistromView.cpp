// The list view's own part: construction, the new project, labels and icons,
// the project file commands and printing. The other commands live in the
// CVistromView_*.cpp files of their areas.

#include "framelist/widgets/CVistromView.h"

#include "app/UserDialogs.h"
#include "framelist/CVistromDoc.h"
#include "framelist/ProjectFile.h"
#include "framelist/widgets/FrameListPrinting.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QPainterPath>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QUndoStack>

namespace {

const QString SaveQuestion = QStringLiteral("未保存のデータを保存しますか?");
const QString CannotOpenMessage = QStringLiteral("ファイルが開けませんでした");
const QString ReadErrorMessage = QStringLiteral("読み込み中にエラー発生");
const QString ProjectFilter = QStringLiteral("Vistrom-type file (*.fsq)| *.fsq ||");

QIcon EmptyRowIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    return QIcon(pixmap);
}

// A black arrow pointing down: the row goes on showing the image above it.
QIcon BlankRowIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRect(QRectF(6, 1, 4, 8));
    QPainterPath head;
    head.moveTo(2, 8);
    head.lineTo(14, 8);
    head.lineTo(8, 15);
    head.closeSubpath();
    painter.drawPath(head);
    return QIcon(pixmap);
}

// Shows each row's icon (FrameList::IconRole) in the label column, always
// 16 x 16 so that the labels line up whatever the icon.
class RowIconDelegate : public QStyledItemDelegate {
public:
    RowIconDelegate(const QIcon (&icons)[3], QObject* parent)
        : QStyledItemDelegate(parent), icons_(icons) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        // A path too long for its column keeps its file name in sight.
        if (index.column() != FrameList::LabelColumn) {
            option->textElideMode = Qt::ElideLeft;
            return;
        }
        option->textElideMode = Qt::ElideRight;
        const int icon = index.data(FrameList::IconRole).toInt();
        option->icon = icons_[(icon >= 0 && icon < 3) ? icon : 0];
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->decorationSize = QSize(16, 16);
    }

private:
    const QIcon (&icons_)[3];
};

QIcon RowIcons[3];

} // namespace

CVistromView::CVistromView(CVistromDoc* document, UserDialogs* dialogs, QWidget* parent)
    : QTableView(parent), document_(document), dialogs_(dialogs), frameList_(new FrameList(this)),
      undoStack_(new QUndoStack(this)) {
    if (RowIcons[FrameList::FilledIcon].isNull()) {
        RowIcons[FrameList::EmptyIcon] = EmptyRowIcon();
        RowIcons[FrameList::FilledIcon] = style()->standardIcon(QStyle::SP_MessageBoxInformation);
        RowIcons[FrameList::BlankIcon] = BlankRowIcon();
    }
    setModel(frameList_);
    frameList_->setMarks(selectionModel());
    setItemDelegate(new RowIconDelegate(RowIcons, this));
    setIconSize(QSize(16, 16));
    // Whole rows, any number of them; never sorted, never edited in place.
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    // Files dropped from the desktop (CVistromView_images.cpp).
    setAcceptDrops(true);
    setShowGrid(false);
    setWordWrap(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStretchLastSection(false);
    // Fixed row heights keep a list of 100,000 rows quick to lay out.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(qMax(18, fontMetrics().height() + 4));
    verticalHeader()->hide();
    setColumnWidth(FrameList::LabelColumn, 100);
    setColumnWidth(FrameList::PathColumn, 300);
    connect(document_, &CVistromDoc::updated, this,
            [this](QObject* sender, int hint, const QByteArray& payload) {
                if (sender != this)
                    OnUpdate(sender, hint, payload);
            });
}

CVistromView::~CVistromView() = default;

void CVistromView::OnInitialUpdate() {
    title = untitled ? QStringLiteral("Untitled") : QFile::decodeName(projectPath);
    emit captionChanged(title + QStringLiteral("- Vistrom"));
    if (untitled) {
        ResetSettings();
        frameList_->resetRows(QList<QByteArray>(10));
        RenumberRows();
    }
}

void CVistromView::ResetSettings() {
    settings = {};
}

void CVistromView::RenumberRows() {
    frameList_->setFps(settings.fps);
    frameList_->RenumberRows();
}

void CVistromView::RefreshRowIcon(int row) {
    frameList_->RefreshRowIcon(row);
}

int CVistromView::WriteProjectFile() {
    if (!WriteProjectData(projectPath, settings, frameList_->paths())) {
        dialogs_->showMessage(CannotOpenMessage);
        return 1;
    }
    return 0;
}

int CVistromView::ReadProjectFile() {
    ProjectData data;
    switch (ReadProjectData(projectPath, data)) {
    case ProjectReadResult::CannotOpen:
        dialogs_->showMessage(CannotOpenMessage);
        return 1;
    case ProjectReadResult::NoRowLine:
        // The file is refused as a whole: rows and settings stay as they were.
        dialogs_->showMessage(ReadErrorMessage);
        return 1;
    case ProjectReadResult::Ok:
        break;
    }
    settings = data.settings;
    frameList_->resetRows(data.rows);
    // The loaded list has no edits to undo; the stack is cleared before
    // modified, which the undo stack's own signals may have touched.
    undoStack_->clear();
    untitled = 0;
    modified = 0;
    RenumberRows();
    scrollToTop();
    return 0;
}

// Asks about unsaved changes before they would be lost. Answers true when the
// caller may go on: No, or Yes with a save that went through.
static bool MaySaveFirst(CVistromView* view) {
    if (!view->modified || !view->dialogs()->askYesNo(SaveQuestion))
        return true;
    view->OnSaveProject();
    return view->modified == 0; // a cancelled or failed save leaves it set
}

// Loads the project at path. A file that cannot be loaded leaves the project
// as it was, on its own file, so that a later Save cannot put these rows over
// the file that was asked for.
static void OpenProjectAt(CVistromView* view, const QByteArray& path) {
    const QByteArray previousPath = view->projectPath;
    view->projectPath = path;
    if (view->ReadProjectFile() != 0) {
        view->projectPath = previousPath;
        return;
    }
    view->OnInitialUpdate();
}

void CVistromView::OnUpdate(QObject*, int hint, const QByteArray& payload) {
    if (hint != CVistromDoc::HintLoadProject)
        return;
    if (!MaySaveFirst(this))
        return;
    OpenProjectAt(this, payload);
}

bool CVistromView::QueryClose() {
    return MaySaveFirst(this);
}

int CVistromView::focusedRow() const {
    const QModelIndex current = selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

QList<int> CVistromView::selectedRows() const {
    return SelectedRows(selectionModel());
}

void CVistromView::OnNewProject() {
    if (!MaySaveFirst(this))
        return;
    undoStack_->clear();
    untitled = 1;
    modified = 0;
    OnInitialUpdate();
}

void CVistromView::OnOpenProject() {
    if (!MaySaveFirst(this))
        return;
    UserDialogs::FileRequest request;
    request.save = false;
    request.initialName = QStringLiteral("*.fsq");
    request.filter = ProjectFilter;
    const std::optional<QByteArray> chosen = dialogs_->askFileName(request);
    if (!chosen)
        return;
    OpenProjectAt(this, *chosen);
}

void CVistromView::OnSaveProject() {
    if (untitled) {
        OnSaveProjectAs();
        return;
    }
    if (WriteProjectFile() == 0)
        modified = 0;
}

void CVistromView::OnSaveProjectAs() {
    UserDialogs::FileRequest request;
    request.save = true;
    request.initialName = QStringLiteral("untitled");
    request.filter = ProjectFilter;
    request.defaultExtension = QStringLiteral("fsq");
    request.overwritePrompt = true;
    const std::optional<QByteArray> chosen = dialogs_->askFileName(request);
    if (!chosen)
        return;
    // Only a save that went through moves the project to the new name.
    const QByteArray previousPath = projectPath;
    projectPath = *chosen;
    if (WriteProjectFile() != 0) {
        projectPath = previousPath;
        return;
    }
    untitled = 0;
    modified = 0;
    OnInitialUpdate();
}

void CVistromView::OnFilePrint() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title);
    QPrintDialog dialog(&printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    if (dialog.exec() != QDialog::Accepted)
        return;
    printRows(&printer);
}

void CVistromView::OnFilePrintPreview() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title);
    QPrintPreviewDialog dialog(&printer, this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* target) { printRows(target); });
    dialog.exec();
}

void CVistromView::printRows(QPrinter* printer) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    PrintFrameRows(printer, *frameList_, title);
    QApplication::restoreOverrideCursor();
}
