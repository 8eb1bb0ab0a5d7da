// The list pane: construction, the row icons, and the input events (keys,
// mouse clicks, dropped files). The commands are in FrameListCommands.cpp.

#include "ui/FrameListView.h"

#include "dialogs/UserDialogs.h"
#include "imaging/ThumbnailCache.h"
#include "movie/FrameDrawing.h"
#include "project/Project.h"
#include "project/ProjectFile.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QUrl>

#include <functional>
#include <unistd.h>

namespace {

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

// Where a filled row's thumbnail and path go in the path column. The path
// keeps room for a file name: beside a full-size thumbnail when the column is
// wide enough, else on a line of its own above a thumbnail shrunk to fit the
// rest of the row.
struct ThumbnailCell {
    QRect picture, text;
};

ThumbnailCell LayOutThumbnailCell(const QRect& cell, const QFontMetrics& metrics) {
    constexpr int Gap = 8;
    if (cell.width() >= ThumbnailCache::MaxWidth + Gap + metrics.averageCharWidth() * 16)
        return {QRect(cell.left() + 2, cell.top(), ThumbnailCache::MaxWidth, cell.height()),
                cell.adjusted(ThumbnailCache::MaxWidth + Gap, 0, 0, 0)};
    const int line = metrics.height() + 2;
    return {cell.adjusted(2, line, -2, -2), QRect(cell.topLeft(), QSize(cell.width(), line))};
}

// Shows each row's icon (FrameList::IconRole) in the label column, always
// 16 x 16 so that the labels line up whatever the icon; a filled row whose
// file is missing shows the warning icon instead. With thumbnails on, a
// filled row's path goes with its thumbnail (asked for as the row is
// painted, so only rows on screen ask).
class RowIconDelegate : public QStyledItemDelegate {
public:
    RowIconDelegate(const QIcon (&icons)[3], const QIcon& missing,
                    std::function<bool(const QByteArray&)> isMissing,
                    std::function<ThumbnailCache*()> thumbnails, QObject* parent)
        : QStyledItemDelegate(parent), icons_(icons), missing_(missing),
          isMissing_(std::move(isMissing)), thumbnails_(std::move(thumbnails)) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        ThumbnailCache* cache = thumbnails_();
        const QByteArray path = index.data(FrameList::PathBytesRole).toByteArray();
        if (!cache || index.column() == FrameList::LabelColumn || path.isEmpty()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem whole = option;
        initStyleOption(&whole, index);
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &whole, painter, widget);
        const ThumbnailCell cell = LayOutThumbnailCell(option.rect, option.fontMetrics);
        if (const QImage thumbnail = cache->thumbnail(path); !thumbnail.isNull()) {
            const QRect& box = cell.picture;
            const QSize size = thumbnail.width() > box.width() || thumbnail.height() > box.height()
                                   ? thumbnail.size().scaled(box.size(), Qt::KeepAspectRatio)
                                   : thumbnail.size();
            painter->drawImage(
                QRect(QPoint(box.left(), box.center().y() - size.height() / 2), size), thumbnail);
        }
        QStyleOptionViewItem text = option;
        text.rect = cell.text;
        QStyledItemDelegate::paint(painter, text, index);
    }

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
        if (icon == FrameList::FilledIcon &&
            isMissing_(index.data(FrameList::PathBytesRole).toByteArray()))
            option->icon = missing_;
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->decorationSize = QSize(16, 16);
    }

private:
    const QIcon (&icons_)[3];
    const QIcon& missing_;
    std::function<bool(const QByteArray&)> isMissing_;
    std::function<ThumbnailCache*()> thumbnails_;
};

QIcon RowIcons[3];
QIcon MissingFileIcon;

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

bool CarriesUrls(const QMimeData* mime) {
    return mime && mime->hasUrls();
}

// Only the names are taken: the drop is always a copy, so that a file manager
// that proposed a move never deletes the files it dragged.
void AcceptAsCopy(QDropEvent* event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void AcceptFiles(QDragMoveEvent* event) {
    if (CarriesUrls(event->mimeData()))
        AcceptAsCopy(event);
    else
        event->ignore();
}

} // namespace

FrameListView::FrameListView(Project* project, UserDialogs* dialogs, QWidget* parent)
    : QTableView(parent), project_(project), dialogs_(dialogs) {
    if (RowIcons[FrameList::FilledIcon].isNull()) {
        RowIcons[FrameList::EmptyIcon] = EmptyRowIcon();
        RowIcons[FrameList::FilledIcon] = style()->standardIcon(QStyle::SP_MessageBoxInformation);
        RowIcons[FrameList::BlankIcon] = BlankRowIcon();
        MissingFileIcon = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    }
    // The project's marks are the selection: they move with their rows.
    setModel(project_->frameList());
    QItemSelectionModel* own = selectionModel();
    setSelectionModel(project_->marks());
    delete own;
    setItemDelegate(new RowIconDelegate(
        RowIcons, MissingFileIcon, [this](const QByteArray& path) { return isMissing(path); },
        [this] { return thumbnailsShown_ ? thumbnails_ : nullptr; }, this));
    setIconSize(QSize(16, 16));
    // Whole rows, any number of them; never sorted, never edited in place.
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setAcceptDrops(true);
    setShowGrid(false);
    setWordWrap(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The path column takes the width the labels leave, however narrow the
    // list: nothing to scroll sideways, the path's tail in sight, elided. (A
    // stretched section keeps at least the size it had when it started to.)
    horizontalHeader()->setMinimumSectionSize(fontMetrics().averageCharWidth() * 2);
    horizontalHeader()->setDefaultSectionSize(fontMetrics().averageCharWidth() * 2);
    horizontalHeader()->setStretchLastSection(true);
    // Fixed row heights keep a list of 100,000 rows quick to lay out.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(qMax(18, fontMetrics().height() + 4));
    verticalHeader()->hide();
    setUpThumbnails();
    setColumnWidth(FrameList::LabelColumn, 100);
    fitLabelColumn();
    // Cheap when nothing changed shape: one label is formatted and compared.
    const FrameList* list = project_->frameList();
    connect(list, &QAbstractItemModel::rowsInserted, this, &FrameListView::fitLabelColumn);
    connect(list, &QAbstractItemModel::rowsRemoved, this, &FrameListView::fitLabelColumn);
    connect(list, &QAbstractItemModel::modelReset, this, &FrameListView::fitLabelColumn);
    connect(list, &QAbstractItemModel::dataChanged, this, &FrameListView::fitLabelColumn);
    connect(project_, &Project::rowsReplaced, this, &QAbstractItemView::scrollToTop);
    // Another project, or the same one in another folder, finds its files anew.
    connect(project_, &Project::rowsReplaced, this, &FrameListView::recheckFiles);
    connect(project_, &Project::titleChanged, this, &FrameListView::recheckFiles);
    // The rows an undo or redo changed come into sight, the first of them
    // when they do not all fit.
    connect(project_, &Project::revealRows, this, [this](int first, int last) {
        scrollTo(model()->index(last, 0), QAbstractItemView::EnsureVisible);
        scrollTo(model()->index(first, 0), QAbstractItemView::EnsureVisible);
    });
}

void FrameListView::setUpThumbnails() {
    plainRowHeight_ = verticalHeader()->defaultSectionSize();
    thumbnails_ = new ThumbnailCache(this);
    const auto takeProject = [this] {
        thumbnails_->setResolver([folder = project_->folder()](const QByteArray& path) {
            return ResolveProjectPath(path, folder);
        });
        thumbnails_->setDecodeOptions(ImageDecodeOptions(project_->settings()));
    };
    takeProject();
    connect(project_, &Project::titleChanged, this, takeProject);
    connect(project_, &Project::settingsChanged, this, takeProject);
    // Thumbnails made meanwhile are painted once per turn of the event loop,
    // each in its own rows on screen only.
    connect(thumbnails_, &ThumbnailCache::ready, this, [this](const QByteArray& path) {
        if (arrived_.isEmpty())
            QMetaObject::invokeMethod(this, &FrameListView::paintArrivedThumbnails,
                                      Qt::QueuedConnection);
        arrived_.insert(path);
    });
    // A row given a path shows that file as it is now.
    connect(project_->frameList(), &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                if (bottomRight.column() == FrameList::LabelColumn ||
                    bottomRight.row() - topLeft.row() > 1000)
                    return;
                for (int row = topLeft.row(); row <= bottomRight.row(); ++row)
                    thumbnails_->forget(project_->frameList()->path(row));
            });
    setThumbnailsShown(true);
}

void FrameListView::paintArrivedThumbnails() {
    const QSet<QByteArray> arrived = std::exchange(arrived_, {});
    const int first = rowAt(0);
    if (first < 0 || !thumbnailsShown_)
        return;
    const FrameList* list = project_->frameList();
    const int last = std::min(rowAt(viewport()->height() - 1), list->size() - 1);
    for (int row = first; row <= (last < 0 ? list->size() - 1 : last); ++row)
        if (arrived.contains(list->path(row)))
            viewport()->update(visualRect(model()->index(row, FrameList::PathColumn)));
}

void FrameListView::setThumbnailsShown(bool shown) {
    thumbnailsShown_ = shown;
    verticalHeader()->setDefaultSectionSize(
        shown ? std::max(plainRowHeight_, ThumbnailCache::Height + 4) : plainRowHeight_);
    viewport()->update();
}

// Asked only for the rows painted, so a long list costs no more than the
// rows on screen; the answers are kept until the window is activated again
// (the user may have fixed the files meanwhile) or the project changes.
bool FrameListView::isMissing(const QByteArray& path) const {
    const auto known = missingFiles_.constFind(path);
    if (known != missingFiles_.constEnd())
        return *known;
    if (missingFiles_.size() >= 65536) // a bound on what scrolling a long list can gather
        missingFiles_.clear();
    const bool missing = ::access(project_->resolvedPath(path).constData(), F_OK) != 0;
    missingFiles_.insert(path, missing);
    return missing;
}

void FrameListView::recheckFiles() {
    missingFiles_.clear();
    viewport()->update();
}

void FrameListView::fitLabelColumn() {
    const FrameList* list = project_->frameList();
    // Labels only grow down the list: the last one has the most digits, both
    // in the row number and in the seconds. Each digit is measured as the
    // widest one, so the width changes only with the number of digits.
    QString shape = TimeLabel(std::max(list->size() - 1, 0), list->fps());
    const QFontMetrics metrics = fontMetrics();
    QChar widest = u'0';
    for (char16_t digit = u'1'; digit <= u'9'; ++digit)
        if (metrics.horizontalAdvance(QChar(digit)) > metrics.horizontalAdvance(widest))
            widest = QChar(digit);
    for (QChar& c : shape)
        if (c.isDigit())
            c = widest;
    if (shape == labelShape_)
        return;
    labelShape_ = shape;
    // What the delegate needs to show that label and its icon uncut.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.text = shape;
    option.features |= QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
    option.icon = RowIcons[FrameList::FilledIcon];
    option.decorationSize = QSize(16, 16);
    const int needed =
        style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, {}, this).width();
    setColumnWidth(FrameList::LabelColumn, std::max(100, needed));
}

void FrameListView::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        labelShape_.clear();
        fitLabelColumn();
    }
}

quint32 FrameListView::lastRowNumber() const {
    return quint32(std::max(project_->frameList()->size() - 1, 0));
}

// Claims the list's own keys before the main window's shortcuts see them, so
// each key runs its command exactly once while the list has the focus.
bool FrameListView::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        recheckFiles();
    if (event->type() == QEvent::ShortcutOverride &&
        ListKeyOf(static_cast<QKeyEvent*>(event)) != ListKey::None) {
        event->accept();
        return true;
    }
    return QTableView::event(event);
}

// The list's keys run their commands before the table's own handling, which
// would toggle the selection on Space and start editing or activate on Enter.
void FrameListView::keyPressEvent(QKeyEvent* event) {
    // Shift+F10 opens the context menu, as the menu key does.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        popUpContextMenu();
        event->accept();
        return;
    }
    switch (ListKeyOf(event)) {
    case ListKey::Blank:
        blankSelection();
        break;
    case ListKey::Delete:
        deleteSelection();
        break;
    case ListKey::Show:
        showImage();
        break;
    case ListKey::Change:
        changeImage();
        break;
    case ListKey::None:
        QTableView::keyPressEvent(event);
        return;
    }
    event->accept();
}

// Home and End go to the first and last row, as in a list (the table would
// move between the columns); with Shift they extend the selection.
QModelIndex FrameListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const int rows = model()->rowCount();
    if ((action == MoveHome || action == MoveEnd) && rows > 0)
        return model()->index(action == MoveHome ? 0 : rows - 1,
                              currentIndex().isValid() ? currentIndex().column() : 0);
    return QTableView::moveCursor(action, modifiers);
}

// The plain right click belongs to the row's image (mousePressEvent); the
// menu opens with Shift, or from the keyboard (the menu key) at the focus row.
void FrameListView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    if (event->reason() != QContextMenuEvent::Mouse)
        popUpContextMenu();
    else if (contextMenu_ && (event->modifiers() & Qt::ShiftModifier))
        contextMenu_->popup(event->globalPos());
}

void FrameListView::popUpContextMenu() {
    if (!contextMenu_)
        return;
    const QRect row = visualRect(currentIndex());
    contextMenu_->popup(
        viewport()->mapToGlobal(viewport()->rect().intersects(row) ? row.bottomLeft() : QPoint()));
}

// The image work comes before the list's own handling, so that a right click
// shows the row under the pointer before it becomes selected (with Shift it
// opens the context menu instead); a left click clears the preview.
void FrameListView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton && !(event->modifiers() & Qt::ShiftModifier)) {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (index.isValid())
            project_->showRowImage(index.row());
    } else if (event->button() == Qt::LeftButton) {
        project_->clearPreview();
    }
    QTableView::mousePressEvent(event);
}

void FrameListView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (index.isValid())
            changeRowImage(index.row());
    }
    QTableView::mouseDoubleClickEvent(event);
}

void FrameListView::dragEnterEvent(QDragEnterEvent* event) {
    AcceptFiles(event);
}

void FrameListView::dragMoveEvent(QDragMoveEvent* event) {
    AcceptFiles(event);
}

// Dropped files fill existing rows start, start + interval, ... in the order
// the drop lists them; an item that is no local file stops the placing. The
// start offered is the row under the drop point (the last row below them);
// names aimed past the last row are counted and the user told why.
void FrameListView::dropEvent(QDropEvent* event) {
    const QMimeData* mime = event->mimeData();
    if (!CarriesUrls(mime)) {
        event->ignore();
        return;
    }
    activateWindow();
    if (placeDroppedFiles(mime->urls(), rowAt(int(event->position().y()))))
        AcceptAsCopy(event);
    else
        event->ignore();
}

bool FrameListView::placeDroppedFiles(const QList<QUrl>& urls, int under) {
    const std::optional<quint32> start =
        dialogs_->askValue(tr("どの番号にドロップしますか?"),
                           under >= 0 ? quint32(under) : lastRowNumber(), lastRowNumber());
    std::optional<quint32> interval = 0;
    if (start && urls.size() > 1)
        interval = dialogs_->askValue(tr("何番間隔でドロップしますか?"), 1, UserDialogs::MaxCount);
    if (!start || !interval)
        return false;
    QList<QByteArray> names;
    for (const QUrl& url : urls)
        names.append(url.isLocalFile() ? QFile::encodeName(url.toLocalFile()) : QByteArray());
    int pastTheEnd = 0;
    const ProjectResult result = project_->placeDroppedPaths(names, *start, *interval, &pastTheEnd);
    if (result != ProjectResult::Done)
        dialogs_->showMessage(ProjectMessage(result), true);
    const int rows = project_->frameList()->size();
    if (pastTheEnd > 0 && rows == 0)
        dialogs_->showMessage(tr("リストに行がないため、ドロップしたファイル (%n 個) を置けま"
                                 "せんでした。\n空欄を追加してから、もう一度ドロップしてください。",
                                 nullptr, pastTheEnd),
                              true);
    else if (pastTheEnd > 0)
        dialogs_->showMessage(tr("ドロップしたファイルのうち %n 個は、最後の行 (%1) より後ろに当た"
                                 "るため置けませんでした。\n空欄を追加してから、もう一度ドロップ"
                                 "してください。",
                                 nullptr, pastTheEnd)
                                  .arg(rows - 1),
                              true);
    return true;
}
