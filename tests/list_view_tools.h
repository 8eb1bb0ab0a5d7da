#pragma once

// Shared by the list view tests: a dialog seam answering from queues, a view
// over given rows, and a real drop of URLs on the list.

#include "app/UserDialogs.h"
#include "framelist/CVistromDoc.h"
#include "framelist/FrameList.h"
#include "framelist/widgets/CVistromView.h"

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QTest>
#include <QUndoStack>
#include <QUrl>

#include <optional>

using Rows = QList<int>;
using Paths = QList<QByteArray>;
using V = CVistromView;
using Handler = void (V::*)(); // a command of the list

// Answers value prompts, Yes/No questions and file dialogs from queues and
// records what was asked; a question with no answer left counts as unexpected.
class ScriptedDialogs : public CancellingDialogs {
public:
    QList<std::optional<quint32>> values;
    QList<bool> yesNo;
    QList<std::optional<QByteArray>> files;
    QStringList valuePrompts, questions, messages;
    QList<quint32> valueInitials;
    QList<bool> foreground;
    QList<FileRequest> fileRequests;
    int unexpected = 0;

    void showMessage(const QString& text, bool front) override {
        messages << text;
        foreground << front;
    }
    bool askYesNo(const QString& text) override {
        questions << text;
        unexpected += yesNo.isEmpty();
        return !yesNo.isEmpty() && yesNo.takeFirst();
    }
    void showPlainMessage(const QString& text, const QString&) override { messages << text; }
    std::optional<QByteArray> askFileName(const FileRequest& request) override {
        fileRequests << request;
        return files.isEmpty() ? std::nullopt : files.takeFirst();
    }
    std::optional<quint32> askValue(const QString& prompt, quint32 initial) override {
        valuePrompts << prompt;
        valueInitials << initial;
        unexpected += values.isEmpty();
        return values.isEmpty() ? std::nullopt : values.takeFirst();
    }
};

// A list in one line: a word per row, "-" a blank row, "_" a path of one
// space; "[w]" a selected row, "w*" the focused row: "a [b] [-*] d".
struct ListState {
    Paths paths;
    Rows selected;
    int focus = -1;
};

inline ListState ParseState(const QByteArray& text) {
    ListState state;
    for (QByteArray w : text.split(' ')) {
        if (w.isEmpty())
            continue;
        if (w.startsWith('[') && w.endsWith(']')) {
            state.selected << int(state.paths.size());
            w = w.mid(1, w.size() - 2);
        }
        if (w.endsWith('*')) {
            state.focus = int(state.paths.size());
            w.chop(1);
        }
        state.paths << (w == "-" ? QByteArray() : w == "_" ? QByteArray(" ") : w);
    }
    return state;
}

inline void SetMarks(CVistromView& view, const Rows& selected, int focus) {
    view.selectionModel()->setCurrentIndex(
        focus < 0 ? QModelIndex() : view.model()->index(focus, 0), QItemSelectionModel::NoUpdate);
    SelectRows(view.selectionModel(), selected);
}

inline void SetRows(CVistromView& view, const Paths& rows, const Rows& selected = {},
                    int focus = -1) {
    view.frameList()->resetRows(rows);
    view.RenumberRows();
    SetMarks(view, selected, focus);
}

inline void SetState(CVistromView& view, const QByteArray& text) {
    const ListState state = ParseState(text);
    SetRows(view, state.paths, state.selected, state.focus);
}

inline QByteArray StateOf(const CVistromView& view) {
    QByteArrayList words;
    const Rows selected = view.selectedRows();
    for (int r = 0; r < view.frameList()->size(); ++r) {
        const QByteArray& path = view.frameList()->path(r);
        QByteArray w = path.isEmpty() ? "-" : path == " " ? "_" : path;
        if (r == view.focusedRow())
            w += '*';
        words << (selected.contains(r) ? "[" + w + "]" : w);
    }
    return words.join(' ');
}

// The rows p0 .. p<count - 1>.
inline Paths Numbered(int count) {
    Paths out;
    for (int i = 0; i < count; ++i)
        out << "p" + QByteArray::number(i);
    return out;
}

inline QByteArray ClipboardBytes() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    return mime ? mime->data(QStringLiteral("text/plain")) : QByteArray();
}

struct ListFixture {
    ScriptedDialogs dialogs;
    CVistromDoc document;
    CVistromView view{&document, &dialogs};

    ListFixture() { view.resize(500, 400); }
    explicit ListFixture(const QByteArray& state) : ListFixture() { SetState(view, state); }
    ListFixture(const Paths& rows, const Rows& selected, int focus = -1) : ListFixture() {
        SetRows(view, rows, selected, focus);
    }
    void setMarks(const Rows& selected, int focus) { SetMarks(view, selected, focus); }
    QByteArray state() const { return StateOf(view); }
    bool show() {
        view.show();
        return QTest::qWaitForWindowExposed(&view);
    }
    Paths paths() const { return view.frameList()->paths(); }
    Rows selected() const { return view.selectedRows(); }
    int focus() const { return view.focusedRow(); }
    QUndoStack* undo() const { return view.undoStack(); }
};

// Every label reads its own row number, every icon follows its path.
inline void VerifyRows(const CVistromView& view) {
    const FrameList* list = view.frameList();
    for (int r = 0; r < list->size(); ++r) {
        QCOMPARE(list->data(list->index(r, FrameList::LabelColumn)).toString(),
                 FrameList::TimeLabel(r, view.settings.fps));
        QCOMPARE(list->icon(r), list->isBlank(r) ? FrameList::BlankIcon : FrameList::FilledIcon);
    }
}

inline QList<QUrl> LocalFiles(int count) {
    QList<QUrl> urls;
    for (int i = 0; i < count; ++i)
        urls << QUrl::fromLocalFile(QStringLiteral("/d/%1").arg(i));
    return urls;
}

// Drops the URLs on the list as a file manager does with Shift held (copy or
// move offered, move proposed); the list must only ever copy.
inline void Drop(CVistromView& view, const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    QWidget* target = view.viewport();
    const QPoint at = target->rect().center();
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, offered, &mime, Qt::LeftButton, Qt::ShiftModifier);
    QCOMPARE(enter.proposedAction(), Qt::MoveAction);
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDragMoveEvent move(at, offered, &mime, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(target, &move);
    QVERIFY(move.isAccepted());
    QCOMPARE(move.dropAction(), Qt::CopyAction);
    QDropEvent drop(QPointF(at), offered, &mime, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(target, &drop);
    if (drop.isAccepted())
        QCOMPARE(drop.dropAction(), Qt::CopyAction);
}
