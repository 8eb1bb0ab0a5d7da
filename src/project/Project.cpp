#include "project/Project.h"

#include "project/BytePathFile.h"
#include "project/ProjectFile.h"
#include "project/RowClipboardText.h"
#include "project/UndoSteps.h"

#include <QFile>
#include <QItemSelectionModel>
#include <QMap>
#include <QUndoStack>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <numeric>

namespace {

// Rows start, start + 1, ..., count of them.
QList<int> RowsFrom(int start, qsizetype count) {
    QList<int> rows(count);
    std::iota(rows.begin(), rows.end(), start);
    return rows;
}

// Adds the row holding the focus mark, if any, to the selection.
void SelectFocusedRow(FrameList* list) {
    QItemSelectionModel* marks = list->marks();
    if (marks && marks->currentIndex().isValid())
        marks->select(marks->currentIndex(),
                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void ClearSelection(FrameList* list) {
    if (list->marks())
        list->marks()->clearSelection();
}

} // namespace

QString ProjectMessage(ProjectResult result, const FileFailure& failure) {
    const QString path = QFile::decodeName(failure.path);
    switch (result) {
    case ProjectResult::CannotOpen:
    case ProjectResult::CannotWrite: {
        QString text = QCoreApplication::translate("Project", "ファイルが開けませんでした");
        if (!path.isEmpty())
            text += QLatin1Char('\n') + path;
        if (failure.systemError != 0)
            text += QLatin1Char('\n') + QString::fromLocal8Bit(std::strerror(failure.systemError));
        return text;
    }
    case ProjectResult::NotText:
        return QCoreApplication::translate(
                   "Project", "%1\nはテキストファイルではないため、プロジェクトとして開けません。")
            .arg(path);
    case ProjectResult::FileTooLarge:
        return QCoreApplication::translate(
                   "Project",
                   "%1\nは大きすぎるため開けません。プロジェクトファイルは %2 MiB までです。")
            .arg(path)
            .arg(kMaxProjectFileBytes >> 20);
    case ProjectResult::LineTooLong:
        return QCoreApplication::translate(
                   "Project", "%1\nの %2 行目が長すぎるため開けません。1行は %3 バイトまでです。")
            .arg(path)
            .arg(failure.line)
            .arg(kMaxProjectLineBytes);
    case ProjectResult::TooManyRows:
        return QCoreApplication::translate(
                   "Project", "%1\nは行が多すぎるため開けません。プロジェクトは %2 行までです。")
            .arg(path)
            .arg(kMaxProjectRows);
    case ProjectResult::NoRowLine:
        return QCoreApplication::translate("Project", "読み込み中にエラー発生");
    case ProjectResult::CannotOpenList:
        return QCoreApplication::translate("Project", "ファイルを開けませんでした");
    case ProjectResult::DropNameRefused:
        return QCoreApplication::translate("Project", "Drag&Dropでエラーが生じました");
    case ProjectResult::Done:
    case ProjectResult::NotRowData:
        break;
    }
    return {};
}

Project::Project(QObject* parent)
    : QObject(parent), list_(new FrameList(this)), marks_(new QItemSelectionModel(list_, this)),
      undoStack_(new QUndoStack(this)) {
    list_->setMarks(marks_);
    connect(undoStack_, &QUndoStack::cleanChanged, this,
            [this](bool clean) { emit modifiedChanged(!clean); });
    connect(list_, &QAbstractItemModel::rowsRemoved, this, [this] { followPreview(true); });
    connect(list_, &QAbstractItemModel::rowsInserted, this, [this] { followPreview(false); });
    connect(list_, &QAbstractItemModel::modelReset, this, [this] { followPreview(false); });
    connect(list_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                // A new frame rate relabels the rows; the pictures stay.
                // The row whose picture is shown was given a file, maybe the
                // same one again: it is drawn anew.
                if (bottomRight.column() != FrameList::LabelColumn &&
                    topLeft.row() <= previewRowNumber_) {
                    const int source = pictureRowAt(previewRowNumber_);
                    followPreview(false, source >= topLeft.row() && source <= bottomRight.row());
                }
            });
    replace({}, QList<QByteArray>(10));
}

Project::~Project() = default;

bool Project::isModified() const {
    return !undoStack_->isClean();
}

QString Project::title() const {
    return untitled_ ? tr("Untitled") : QFile::decodeName(path_);
}

QList<int> Project::selectedRows() const {
    return SelectedRows(marks_);
}

int Project::focusedRow() const {
    const QModelIndex current = marks_->currentIndex();
    return current.isValid() ? current.row() : -1;
}

QList<QByteArray> Project::selectedPaths() const {
    QList<QByteArray> paths;
    for (int r : selectedRows())
        paths.append(list_->path(r));
    return paths;
}

void Project::replace(const ProjectSettings& settings, const QList<QByteArray>& rows) {
    clearPreview(); // another project's picture has no place here
    settings_ = settings;
    list_->setFps(settings_.fps);
    list_->resetRows(rows);
    undoStack_->clear();
    emit titleChanged(title());
    emit rowsReplaced();
    emit settingsChanged();
}

void Project::newProject() {
    untitled_ = true;
    replace({}, QList<QByteArray>(10));
}

QByteArray Project::folder() const {
    return untitled_ ? QByteArray() : ProjectFolder(path_);
}

QByteArray Project::resolvedPath(const QByteArray& path) const {
    return ResolveProjectPath(path, folder());
}

ProjectResult Project::load(const QByteArray& path) {
    ProjectData data;
    lastFailure_ = {};
    lastFailure_.path = path;
    // A file refused as a whole leaves rows and settings as they were.
    switch (ReadProjectData(path, data, &lastFailure_)) {
    case ProjectReadResult::CannotOpen:
        return ProjectResult::CannotOpen;
    case ProjectReadResult::NoRowLine:
        return ProjectResult::NoRowLine;
    case ProjectReadResult::NotText:
        return ProjectResult::NotText;
    case ProjectReadResult::FileTooLarge:
        return ProjectResult::FileTooLarge;
    case ProjectReadResult::LineTooLong:
        return ProjectResult::LineTooLong;
    case ProjectReadResult::TooManyRows:
        return ProjectResult::TooManyRows;
    case ProjectReadResult::Ok:
        break;
    }
    path_ = path;
    untitled_ = false;
    replace(data.settings, data.rows);
    return ProjectResult::Done;
}

ProjectResult Project::save() {
    // An untitled project has no file of its own (the path may be an old one).
    lastFailure_ = {};
    if (untitled_)
        return ProjectResult::CannotWrite;
    lastFailure_.path = path_;
    if (!WriteProjectData(path_, settings_, list_->paths(), &lastFailure_.systemError))
        return ProjectResult::CannotWrite;
    undoStack_->setClean();
    return ProjectResult::Done;
}

ProjectResult Project::saveAs(const QByteArray& path) {
    // Only a save that went through moves the project to the new name.
    lastFailure_ = {};
    lastFailure_.path = path;
    if (!WriteProjectData(path, settings_, list_->paths(), &lastFailure_.systemError))
        return ProjectResult::CannotWrite;
    path_ = path;
    untitled_ = false;
    undoStack_->setClean();
    emit titleChanged(title());
    return ProjectResult::Done;
}

void Project::finishEdit(QUndoCommand* step) {
    if (step)
        undoStack_->push(step);
    else
        undoStack_->resetClean();
}

void Project::insertBlanks(int position, int count) {
    const int size = list_->size();
    const int at = (position < 0 || position > size) ? size : position;
    if (count <= 0) {
        finishEdit(nullptr);
        return;
    }
    const QString text = at < size ? tr("空欄の挿入") : tr("空欄の追加");
    finishEdit(RowEditStep::insertRows(list_, RowsFrom(at, count), QList<QByteArray>(count), text));
}

void Project::deleteSelection() {
    QList<int> rows = selectedRows();
    if (rows.isEmpty()) {
        SelectFocusedRow(list_);
        finishEdit(nullptr);
        return;
    }
    RowEditStep* step = RowEditStep::removeRows(list_, std::move(rows), tr("選択部分の削除"));
    step->setAfterRedo(SelectFocusedRow);
    finishEdit(step);
}

void Project::blankSelection() {
    const QList<int> rows = selectedRows();
    finishEdit(RowEditStep::changePaths(list_, rows, QList<QByteArray>(rows.size()),
                                        tr("選択部分を空欄に")));
}

void Project::clear() {
    const int size = list_->size();
    finishEdit(size > 0 ? RowEditStep::removeRows(list_, RowsFrom(0, size), tr("全部消去"))
                        : nullptr);
}

bool Project::goToRow(quint32 row) {
    if (row >= quint32(list_->size()))
        return false;
    const QModelIndex current = marks_->currentIndex();
    marks_->setCurrentIndex(list_->index(int(row), current.isValid() ? current.column() : 0),
                            QItemSelectionModel::NoUpdate);
    return true;
}

// The whole selection is set anew in one pass: adding a range that cuts
// thousands of selected ranges through the selection model itself takes time
// quadratic in the ranges (seconds with every other row of a long list).
void Project::addRangeToSelection(quint32 from, quint32 to) {
    const qint64 first = from;
    const qint64 last = std::min<qint64>(to, list_->size()) - 1;
    if (first > last)
        return;
    const QList<int> selected = selectedRows();
    const QList<int> range = RowsFrom(int(first), last - first + 1);
    QList<int> rows;
    rows.reserve(selected.size() + range.size());
    std::set_union(selected.begin(), selected.end(), range.begin(), range.end(),
                   std::back_inserter(rows));
    SelectRows(marks_, rows);
}

void Project::selectAll() {
    if (list_->size() > 0)
        marks_->select(QItemSelection(list_->index(0, 0),
                                      list_->index(list_->size() - 1, FrameList::ColumnCount - 1)),
                       QItemSelectionModel::ClearAndSelect);
}

QByteArray Project::copySelection() const {
    return RowClipboardText(selectedPaths());
}

QByteArray Project::cutClosingUp() {
    const QByteArray text = copySelection();
    QList<int> rows = selectedRows();
    RowEditStep* step = nullptr;
    if (!rows.isEmpty()) {
        // The rows below close up and nothing stays selected.
        step = RowEditStep::removeRows(list_, std::move(rows), tr("切り取り(詰め)"));
        step->setAfterRedo(ClearSelection);
    }
    finishEdit(step);
    return text;
}

QByteArray Project::cutLeavingBlanks() {
    const QByteArray text = copySelection();
    // The rows stay where they are, blank and still selected.
    const QList<int> rows = selectedRows();
    finishEdit(RowEditStep::changePaths(list_, rows, QList<QByteArray>(rows.size()),
                                        tr("切り取り(空白)")));
    return text;
}

ProjectResult Project::pasteInserting(const QByteArray& clipboardText) {
    std::optional<QList<QByteArray>> lines = SplitRowClipboardText(clipboardText);
    if (!lines)
        return ProjectResult::NotRowData;
    // The lines go in at the focused row (or the top); that row and those
    // below it move down with their marks, and the new rows are unmarked.
    const qsizetype count = lines->size();
    finishEdit(count == 0
                   ? nullptr
                   : RowEditStep::insertRows(list_, RowsFrom(std::max(focusedRow(), 0), count),
                                             std::move(*lines), tr("貼り付け(挿入)")));
    return ProjectResult::Done;
}

ProjectResult Project::pasteOverwriting(const QByteArray& clipboardText) {
    const std::optional<QList<QByteArray>> lines = SplitRowClipboardText(clipboardText);
    if (!lines)
        return ProjectResult::NotRowData;
    // Lines for rows past the last row are dropped: the list never grows.
    const int start = std::max(focusedRow(), 0);
    const int count = int(std::min<qsizetype>(lines->size(), std::max(list_->size() - start, 0)));
    finishEdit(RowEditStep::changePaths(list_, RowsFrom(start, count), lines->first(count),
                                        tr("貼り付け(上書き)")));
    return ProjectResult::Done;
}

ProjectResult Project::placeDroppedPaths(const QList<QByteArray>& names, quint32 start,
                                         quint32 interval, int* pastTheEnd) {
    // Row -> name; with interval 0 every name aims at the same row and the
    // last one stays. Rows are never inserted.
    QMap<int, QByteArray> placed;
    ProjectResult result = ProjectResult::Done;
    int missed = 0;
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (names[i].isEmpty()) { // names already placed stay
            result = ProjectResult::DropNameRefused;
            break;
        }
        const qint64 row = qint64(start) + qint64(interval) * qint64(i);
        if (row < list_->size())
            placed.insert(int(row), names[i]);
        else
            ++missed;
    }
    if (pastTheEnd)
        *pastTheEnd = missed;
    finishEdit(RowEditStep::changePaths(list_, placed.keys(), placed.values(), tr("ドロップ")));
    return result;
}

// A line of any length is one row; an empty line is a blank row.
ProjectResult Project::importFileList(const QByteArray& path) {
    const std::optional<QByteArray> text = ReadWholeFile(path);
    if (!text)
        return ProjectResult::CannotOpenList;
    QList<QByteArray> lines = SplitTextLines(*text);
    for (QByteArray& line : lines)
        TrimLineEnd(line);
    const qsizetype count = lines.size();
    finishEdit(count == 0
                   ? nullptr
                   : RowEditStep::insertRows(list_, RowsFrom(std::max(focusedRow(), 0), count),
                                             std::move(lines), tr("ファイルリスト取り込み")));
    return ProjectResult::Done;
}

void Project::changePath(int row, const QByteArray& path) {
    if (row < 0 || row >= list_->size())
        return;
    // The same file picked again may have changed on disk: the row is shown
    // anew, with nothing to undo.
    if (!path.isEmpty() && path == list_->path(row))
        list_->setPaths({row}, {path});
    finishEdit(RowEditStep::changePaths(list_, {row}, {path}, tr("画像変更")));
}

void Project::applySettings(const ProjectSettings& settings) {
    settings_ = settings;
    // The time labels follow the frame rate.
    list_->setFps(settings_.fps);
    list_->renumberRows();
    emit settingsChanged();
}

void Project::changeSettings(const ProjectSettings& settings) {
    if (settings == settings_) {
        finishEdit(nullptr);
        return;
    }
    finishEdit(new SettingsStep(
        settings_, settings,
        [this](const ProjectSettings& from, const ProjectSettings& to) {
            ProjectSettings next = settings_;
            ApplyChangedFields(next, from, to);
            applySettings(next);
        },
        tr("設定の変更")));
}

void Project::keepUnconfirmedSettings(const ProjectSettings& settings) {
    applySettings(settings);
}

void Project::undo() {
    const QUndoCommand* step = undoStack_->command(undoStack_->index() - 1);
    undoStack_->undo();
    revealChangedRows(step);
}

void Project::redo() {
    const QUndoCommand* step = undoStack_->command(undoStack_->index());
    undoStack_->redo();
    revealChangedRows(step);
}

void Project::revealChangedRows(const QUndoCommand* step) {
    if (const auto* edit = dynamic_cast<const RowEditStep*>(step))
        if (const auto [first, last] = edit->changedRows(); first >= 0)
            emit revealRows(first, last);
}

int Project::pictureRowAt(int row) const {
    if (row < 0)
        return -1;
    for (row = std::min(row, list_->size() - 1); row >= 0; --row)
        if (!list_->isBlank(row))
            return row;
    return -1;
}

QByteArray Project::pictureAt(int row) const {
    row = pictureRowAt(row);
    return row < 0 ? QByteArray() : resolvedPath(list_->path(row));
}

bool Project::showRowImage(int row) {
    const QByteArray path = pictureAt(row);
    if (path.isEmpty())
        return false;
    row = std::min(row, list_->size() - 1);
    previewRow_ = list_->index(row, 0);
    previewRowNumber_ = row;
    previewPath_ = path;
    emit showImage(path);
    return true;
}

void Project::clearPreview() {
    previewRow_ = QPersistentModelIndex();
    previewRowNumber_ = -1;
    previewPath_.clear();
    emit showImage(QByteArray());
}

void Project::followPreview(bool rowGone, bool redraw) {
    if (previewRowNumber_ < 0)
        return;
    const int row = previewRow_.isValid() ? previewRow_.row() : rowGone ? -1 : previewRowNumber_;
    const QByteArray path = row < list_->size() ? pictureAt(row) : QByteArray();
    if (path.isEmpty()) {
        clearPreview();
        return;
    }
    if (!previewRow_.isValid())
        previewRow_ = list_->index(row, 0);
    previewRowNumber_ = row;
    if (path == previewPath_ && !redraw)
        return;
    previewPath_ = path;
    emit showImage(path);
}
