// The list's commands of the Edit menu: each asks what it needs through the
// dialog seam, then makes one Project call.
//
// How rows meet the system clipboard: the bytes go out unchanged as
// "text/plain" (the locale is UTF-8, so text editors read the paths as they
// are) and, a second time, under our own type "application/x-vistrom-rows". A
// platform clipboard may decode and re-encode "text/plain" (X11 does), which
// would turn a path that is not valid UTF-8 into replacement characters; our
// own type is passed as opaque bytes, so such paths survive between two copies
// of the program. A paste prefers our own type and falls back to
// "text/plain", which is what a text editor offers.

#include "ui/FrameListView.h"

#include "dialogs/UserDialogs.h"
#include "imaging/PluginLoader.h"
#include "project/Project.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {

const QString RowsMimeType = QStringLiteral("application/x-vistrom-rows");
const QString TextMimeType = QStringLiteral("text/plain");

// Replaces the clipboard's contents with the text.
void PutOnClipboard(const QByteArray& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    auto* mime = new QMimeData;
    mime->setData(TextMimeType, text);
    mime->setData(RowsMimeType, text);
    clipboard->setMimeData(mime); // the clipboard takes the object over
}

// The clipboard's text, or nothing when it holds none.
std::optional<QByteArray> ClipboardText() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* mime = clipboard ? clipboard->mimeData() : nullptr;
    if (!mime)
        return std::nullopt;
    if (mime->hasFormat(RowsMimeType))
        return mime->data(RowsMimeType);
    if (mime->hasFormat(TextMimeType))
        return mime->data(TextMimeType);
    if (mime->hasText())
        return mime->text().toUtf8();
    return std::nullopt;
}

// The first selected row, or -1: the target of show and change.
int FirstSelectedRow(const Project* project) {
    const QList<int> selected = project->selectedRows();
    return selected.isEmpty() ? -1 : selected.first();
}

} // namespace

void FrameListView::addBlanksAtEnd() {
    const std::optional<quint32> count = dialogs_->askValue(
        tr("最後に、何個項目を追加するかを指定してください。"), 1, UserDialogs::MaxCount);
    if (count)
        project_->insertBlanks(project_->frameList()->size(), int(*count));
}

void FrameListView::insertBlanksHere() {
    const std::optional<quint32> count = dialogs_->askValue(
        tr("その場所に何個項目を追加するかを指定してください。"), 1, UserDialogs::MaxCount);
    if (!count)
        return;
    const int focused = project_->focusedRow();
    project_->insertBlanks(focused >= 0 ? focused : project_->frameList()->size(), int(*count));
}

void FrameListView::clearAll() {
    if (dialogs_->askYesNo(tr("本当に全部消去してよいですか?")) == UserDialogs::Answer::Yes)
        project_->clear();
}

void FrameListView::deleteSelection() {
    project_->deleteSelection();
}

void FrameListView::blankSelection() {
    project_->blankSelection();
}

// Moves the focus mark to row N and scrolls it entirely into view. Row
// numbers go up to the last row, however long the list.
void FrameListView::goToRow() {
    const std::optional<quint32> row =
        dialogs_->askValue(tr("何番目の場所へ移動するかを指定してください。"), 0, lastRowNumber());
    if (row && project_->goToRow(*row))
        scrollTo(currentIndex(), QAbstractItemView::EnsureVisible);
}

// The second number is the row after the range: it may be the row count, so
// that the range can take in the last row.
void FrameListView::addRangeToSelection() {
    const std::optional<quint32> from =
        dialogs_->askValue(tr("選択範囲の指定・何番目から?"), 0, lastRowNumber());
    if (!from)
        return;
    if (const std::optional<quint32> to = dialogs_->askValue(
            tr("選択範囲の指定・何番目まで?"), 0, quint32(project_->frameList()->size())))
        project_->addRangeToSelection(*from, *to);
}

void FrameListView::selectAll() {
    project_->selectAll();
}

void FrameListView::copyRows() {
    PutOnClipboard(project_->copySelection());
}

void FrameListView::cutRowsClosingUp() {
    PutOnClipboard(project_->cutClosingUp());
}

void FrameListView::cutRowsLeavingBlanks() {
    PutOnClipboard(project_->cutLeavingBlanks());
}

void FrameListView::pasteRowsInserting() {
    if (const std::optional<QByteArray> text = ClipboardText())
        project_->pasteInserting(*text);
}

void FrameListView::pasteRowsOverwriting() {
    if (const std::optional<QByteArray> text = ClipboardText())
        project_->pasteOverwriting(*text);
}

void FrameListView::explainDragAndDrop() {
    dialogs_->showMessage(
        tr("一つまたは複数のファイルのアイコンを\nリストのエリアに直接ドロップして"
           "ください．\nメニューからはできません．"));
}

void FrameListView::importFileList() {
    UserDialogs::FileRequest request;
    request.title = tr("取り込むファイルリストの選択");
    request.startFolder = project_->folder();
    request.initialName = QStringLiteral("*.txt");
    request.filter = tr("Text File (*.txt)|*.txt|All Files (*.*)|*.*||");
    // Read by the full path the dialog gave: the current folder is not ours.
    if (const std::optional<QByteArray> path = dialogs_->askFileName(request)) {
        const ProjectResult result = project_->importFileList(*path);
        if (result != ProjectResult::Done)
            dialogs_->showMessage(ProjectMessage(result));
    }
}

void FrameListView::showImage() {
    project_->showRowImage(FirstSelectedRow(project_));
}

void FrameListView::changeImage() {
    changeRowImage(FirstSelectedRow(project_));
}

void FrameListView::changeRowImage(int row) {
    if (row < 0 || row >= project_->frameList()->size())
        return;
    // A format's entry is offered only while its plug-in loads.
    static const struct {
        const char* plugin;
        const char* entry;
    } formats[] = {
        {"ifjpeg.spi", QT_TR_NOOP("Jpeg file (*.jpg *.jpeg)|*.jpg;*.jpeg|")},
        {"ifpng.spi", QT_TR_NOOP("PNG file (*.png)|*.png|")},
        {"ifwebp.spi", QT_TR_NOOP("WebP file (*.webp)|*.webp|")},
        {"iftiff.spi", QT_TR_NOOP("TIFF file (*.tif *.tiff)|*.tif;*.tiff|")},
        {"ifgif.spi", QT_TR_NOOP("GIF file (*.gif)|*.gif|")},
        {"ifheif.spi", QT_TR_NOOP("HEIF/AVIF file (*.heic *.heif *.avif)|*.heic;*.heif;*.avif|")},
    };
    QString filter = tr("Bitmap file (*.bmp)|*.bmp|");
    for (const auto& format : formats)
        if (IsPluginPresent(format.plugin))
            filter += tr(format.entry);
    filter += tr("All Files (*.*) |*.*||");
    UserDialogs::FileRequest request;
    request.title = tr("画像ファイルの選択");
    request.startFolder = project_->folder();
    request.initialName = QStringLiteral("*.bmp");
    request.filter = filter;
    if (const std::optional<QByteArray> path = dialogs_->askFileName(request))
        project_->changePath(row, *path);
}
