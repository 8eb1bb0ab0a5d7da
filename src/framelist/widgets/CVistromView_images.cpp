// How single image paths get into rows and out to the preview: files dropped
// on the list, the file-list import, showing and changing a row's image, and
// the list's mouse clicks (Edit menu 32786, 32789, 32792, 32793).

#include "framelist/widgets/CVistromView.h"

#include "framelist/BytePathFile.h"

#include "app/UserDialogs.h"
#include "framelist/CVistromDoc.h"
#include "framelist/ProjectFile.h"
#include "framelist/RowEditCommand.h"
#include "imaging/ImageDrawing.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QMap>
#include <QMimeData>
#include <QMouseEvent>
#include <QUndoStack>
#include <QUrl>

namespace {

bool CarriesUrls(const QMimeData* mime) {
    return mime && mime->hasUrls();
}

// Only the names are taken: the drop is always a copy, so that a file manager
// that proposed a move never deletes the files it dragged.
void AcceptAsCopy(QDropEvent* event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

// The first selected row, or -1: the target of show and change.
int FirstSelectedRow(const QList<int>& selected) {
    return selected.isEmpty() ? -1 : selected.first();
}

} // namespace

void CVistromView::dragEnterEvent(QDragEnterEvent* event) {
    if (CarriesUrls(event->mimeData()))
        AcceptAsCopy(event);
    else
        event->ignore();
}

void CVistromView::dragMoveEvent(QDragMoveEvent* event) {
    if (CarriesUrls(event->mimeData()))
        AcceptAsCopy(event);
    else
        event->ignore();
}

// Dropped files fill existing rows start, start + interval, ... in the order
// the drop lists them. Rows are never inserted; a name aimed past the last row
// is not placed.
void CVistromView::dropEvent(QDropEvent* event) {
    const QMimeData* mime = event->mimeData();
    if (!CarriesUrls(mime)) {
        event->ignore();
        return;
    }
    const QList<QUrl> urls = mime->urls();
    activateWindow();

    const std::optional<quint32> start =
        dialogs()->askValue(QStringLiteral("どの番号にドロップしますか?"), 0);
    if (!start) {
        event->ignore();
        return;
    }
    quint32 interval = 0;
    if (urls.size() > 1) {
        const std::optional<quint32> answer =
            dialogs()->askValue(QStringLiteral("何番間隔でドロップしますか?"), 1);
        if (!answer) {
            event->ignore();
            return;
        }
        interval = *answer;
    }

    // Row -> name; with interval 0 every name aims at the same row and the last
    // one stays.
    QMap<int, QByteArray> placed;
    const qint64 rowCount = frameList()->size();
    for (qsizetype i = 0; i < urls.size(); ++i) {
        const QUrl& url = urls[i];
        const QString local = url.isLocalFile() ? url.toLocalFile() : QString();
        if (local.isEmpty()) {
            // Not a file of this machine: names already placed stay.
            dialogs()->showMessage(QStringLiteral("Drag&Dropでエラーが生じました"), true);
            break;
        }
        const qint64 row = qint64(*start) + qint64(interval) * qint64(i);
        if (row < rowCount)
            placed.insert(int(row), QFile::encodeName(local));
    }

    if (!placed.isEmpty())
        undoStack()->push(RowEditCommand::Change(frameList(), placed.keys(), placed.values(),
                                                 QStringLiteral("ドロップ"))
                              .release());
    modified |= 1;
    RenumberRows();
    AcceptAsCopy(event);
}

void CVistromView::OnDragDropHelp() {
    dialogs()->showMessage(QStringLiteral(
        "一つまたは複数のファイルのアイコンを\nリストのエリアに直接ドロップしてください．\n"
        "メニューからはできません．"));
}

// One row per line of a text file, inserted before the focused row (or at the
// top). A line of any length is one row; an empty line is a blank row.
void CVistromView::OnImportFileList() {
    UserDialogs::FileRequest request;
    request.initialName = QStringLiteral("*.txt");
    request.filter = QStringLiteral("Text File (*.txt)|*.txt|All Files (*.*)|*.*||");
    const std::optional<QByteArray> path = dialogs()->askFileName(request);
    if (!path)
        return;
    // Opened by the full path the dialog gave: the current directory is not ours.
    const std::optional<QByteArray> text = ReadWholeFile(*path);
    if (!text) {
        dialogs()->showMessage(QStringLiteral("ファイルを開けませんでした"));
        return;
    }

    QList<QByteArray> lines = SplitTextLines(*text);
    for (QByteArray& line : lines)
        TrimLineEnd(line);

    if (!lines.isEmpty()) {
        const int at = std::max(focusedRow(), 0);
        QList<int> rows;
        rows.reserve(lines.size());
        for (int i = 0; i < lines.size(); ++i)
            rows.append(at + i);
        undoStack()->push(RowEditCommand::Insert(frameList(), std::move(rows), std::move(lines),
                                                 QStringLiteral("ファイルリスト取り込み"))
                              .release());
    }
    modified |= 1;
    RenumberRows();
}

void CVistromView::OnShowImage() {
    ShowRowImage(FirstSelectedRow(selectedRows()));
}

void CVistromView::OnChangeImage() {
    ChangeRowImage(FirstSelectedRow(selectedRows()));
}

// Shows the image the movie shows at this row: the row's own, or that of the
// nearest filled row above a blank one. With none, the preview keeps its image.
void CVistromView::ShowRowImage(int row) {
    if (row < 0)
        return;
    for (row = std::min(row, frameList()->size() - 1); row >= 0; --row) {
        if (!frameList()->isBlank(row)) {
            document()->UpdateAllViews(this, CVistromDoc::HintShowImage, frameList()->path(row));
            return;
        }
    }
}

void CVistromView::ClearPreview() {
    document()->UpdateAllViews(this, CVistromDoc::HintShowImage, QByteArray());
}

void CVistromView::ChangeRowImage(int row) {
    if (row < 0 || row >= frameList()->size())
        return;
    // The JPEG and PNG entries are offered only while their plug-ins load.
    QString filter = QStringLiteral("Bitmap file (*.bmp)|*.bmp|");
    if (IsPluginPresent("ifjpeg.spi"))
        filter += QStringLiteral("Jpeg file (*.jpg)|*.jpg|");
    if (IsPluginPresent("ifpng.spi"))
        filter += QStringLiteral("PNG file (*.png)|*.png|");
    filter += QStringLiteral("All Files (*.*) |*.*||");

    UserDialogs::FileRequest request;
    request.initialName = QStringLiteral("*.bmp");
    request.filter = filter;
    const std::optional<QByteArray> path = dialogs()->askFileName(request);
    if (!path)
        return;
    undoStack()->push(
        RowEditCommand::Change(frameList(), {row}, {*path}, QStringLiteral("画像変更")).release());
    modified |= 1;
}

// The image work comes before the list's own handling, so that a right click
// shows the row under the pointer before it becomes selected.
void CVistromView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (index.isValid())
            ShowRowImage(index.row());
    } else if (event->button() == Qt::LeftButton) {
        ClearPreview();
    }
    QTableView::mousePressEvent(event);
}

void CVistromView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (index.isValid())
            ChangeRowImage(index.row());
    }
    QTableView::mouseDoubleClickEvent(event);
}
