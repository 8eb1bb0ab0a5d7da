// Copy, cut and paste of rows through the system clipboard (Edit menu,
// 32781-32785). Rows travel as RowClipboardText.
//
// How the text meets the clipboard: the bytes go out unchanged as "text/plain"
// (the locale is UTF-8, so text editors read the paths as they are) and, a
// second time, under our own type "application/x-vistrom-rows". A platform
// clipboard may decode and re-encode "text/plain" (X11 does), which would turn
// a path that is not valid UTF-8 into replacement characters; our own type is
// passed as opaque bytes, so such paths survive between two copies of the
// program. A paste prefers our own type and falls back to "text/plain", which
// is what a text editor offers.

#include "framelist/widgets/CVistromView.h"

#include "framelist/RowClipboardText.h"
#include "framelist/RowEditCommand.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QUndoStack>

namespace {

const QString RowsMimeType = QStringLiteral("application/x-vistrom-rows");
const QString TextMimeType = QStringLiteral("text/plain");

// Replaces the clipboard's contents with the text.
void PutTextOnClipboard(const QByteArray& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    auto* mime = new QMimeData;
    mime->setData(TextMimeType, text);
    mime->setData(RowsMimeType, text);
    clipboard->setMimeData(mime); // the clipboard takes the object over
}

// The clipboard's text, or nothing when it holds none.
std::optional<QByteArray> ReadClipboardText() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return std::nullopt;
    const QMimeData* mime = clipboard->mimeData();
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

// The clipboard's lines when it holds row data; nothing otherwise.
std::optional<QList<QByteArray>> ReadClipboardLines() {
    const std::optional<QByteArray> text = ReadClipboardText();
    if (!text)
        return std::nullopt;
    return SplitRowClipboardText(*text);
}

QList<QByteArray> PathsOf(const FrameList* list, const QList<int>& rows) {
    QList<QByteArray> paths;
    paths.reserve(rows.size());
    for (int r : rows)
        paths.append(list->path(r));
    return paths;
}

} // namespace

void CVistromView::OnCopyRows() {
    PutTextOnClipboard(RowClipboardText(PathsOf(frameList(), selectedRows())));
}

void CVistromView::OnCutRowsClosingUp() {
    const QList<int> rows = selectedRows();
    const QByteArray text = RowClipboardText(PathsOf(frameList(), rows));
    if (!rows.isEmpty()) {
        auto command = RowEditCommand::Remove(frameList(), rows, QStringLiteral("切り取り(詰め)"));
        // The rows below close up and nothing stays selected.
        command->setAfterRedo([](FrameList* list) {
            if (list->marks())
                list->marks()->clearSelection();
        });
        undoStack()->push(command.release());
    }
    modified |= 1;
    RenumberRows();
    PutTextOnClipboard(text);
}

void CVistromView::OnCutRowsLeavingBlanks() {
    const QList<int> rows = selectedRows();
    const QByteArray text = RowClipboardText(PathsOf(frameList(), rows));
    if (!rows.isEmpty()) {
        // The rows stay where they are, blank and still selected.
        undoStack()->push(RowEditCommand::Change(frameList(), rows, QList<QByteArray>(rows.size()),
                                                 QStringLiteral("切り取り(空白)"))
                              .release());
    }
    modified |= 1;
    PutTextOnClipboard(text);
}

void CVistromView::OnPasteRowsInserting() {
    const std::optional<QList<QByteArray>> lines = ReadClipboardLines();
    if (!lines)
        return;
    if (!lines->isEmpty()) {
        // The lines go in at the focused row (or the top); that row and those
        // below it move down with their marks, and the new rows are unmarked.
        const int start = std::max(focusedRow(), 0);
        QList<int> rows;
        rows.reserve(lines->size());
        for (int k = 0; k < lines->size(); ++k)
            rows.append(start + k);
        undoStack()->push(RowEditCommand::Insert(frameList(), std::move(rows), *lines,
                                                 QStringLiteral("貼り付け(挿入)"))
                              .release());
    }
    modified |= 1;
    RenumberRows();
}

void CVistromView::OnPasteRowsOverwriting() {
    const std::optional<QList<QByteArray>> lines = ReadClipboardLines();
    if (!lines)
        return;
    // Lines for rows past the last row are dropped: the list never grows.
    const int start = std::max(focusedRow(), 0);
    const int count = std::min<qsizetype>(lines->size(), std::max(frameList()->size() - start, 0));
    if (count > 0) {
        QList<int> rows;
        rows.reserve(count);
        for (int k = 0; k < count; ++k)
            rows.append(start + k);
        undoStack()->push(RowEditCommand::Change(frameList(), std::move(rows), lines->first(count),
                                                 QStringLiteral("貼り付け(上書き)"))
                              .release());
    }
    modified |= 1;
}
