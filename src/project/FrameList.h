#pragma once

// The frame list: row i is frame i of the movie. Each row holds the path of an
// image file as bytes (empty for a blank slot) and the icon it shows. The
// selected and focus marks live in a QItemSelectionModel attached with
// setMarks(); they move with their rows, also across the batch operations
// below, which reset the model instead of notifying row by row.

#include <QAbstractTableModel>
#include <QByteArray>
#include <QItemSelectionModel>
#include <QList>
#include <QPointer>
#include <QString>

class FrameList : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { LabelColumn = 0, PathColumn = 1, ColumnCount = 2 };
    // Indexes of the row icons: not refreshed since insertion, filled, blank.
    enum RowIcon : quint8 { EmptyIcon = 0, FilledIcon = 1, BlankIcon = 2 };
    enum Role {
        IconRole = Qt::UserRole + 1, // RowIcon of the row, on either column
        PathBytesRole,               // the path bytes (QByteArray) of the row
    };

    explicit FrameList(QObject* parent = nullptr);

    // QAbstractItemModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    int size() const { return int(rows_.size()); }
    const QByteArray& path(int row) const { return rows_[row].path; }
    bool isBlank(int row) const { return rows_[row].path.isEmpty(); }
    RowIcon icon(int row) const { return rows_[row].icon; }
    QList<QByteArray> paths() const;

    // The frame rate the time labels are computed with (unsigned, as stored).
    quint32 fps() const { return fps_; }
    void setFps(quint32 fps);

    QString timeLabel(int row) const;

    // Row operations, one model notification each. Inserts paths[k] so that
    // it ends up at finalRows[k] (ascending, each an index in the list after
    // the insertion). A new row shows the empty icon.
    void insertRowsAt(const QList<int>& finalRows, const QList<QByteArray>& paths);
    // Removes the rows at the given ascending indexes; answers their paths.
    QList<QByteArray> removeRowsAt(const QList<int>& rows);
    // Sets path[k] on rows[k] and refreshes the icons of those rows.
    void setPaths(const QList<int>& rows, const QList<QByteArray>& paths);
    // Replaces every row; icons refreshed, marks cleared.
    void resetRows(const QList<QByteArray>& paths);

    // Refreshes every row's icon (filled, or blank when the path is empty) and label.
    void renumberRows();

    // The selection model whose marks the batch operations carry along.
    void setMarks(QItemSelectionModel* marks) { marks_ = marks; }
    QItemSelectionModel* marks() const { return marks_; }

private:
    struct FrameSlot {
        QByteArray path;
        RowIcon icon = EmptyIcon;
    };

    // Re-applies marks after a reset: oldToNew maps an old row to its new
    // index, or -1 when the row is gone.
    struct SavedMarks {
        QList<int> selected;
        int current = -1;
    };
    SavedMarks saveMarks() const;
    void restoreMarks(const SavedMarks& saved);
    static RowIcon iconFor(const QByteArray& path) {
        return path.isEmpty() ? BlankIcon : FilledIcon;
    }

    QList<FrameSlot> rows_;
    quint32 fps_ = 8;
    QPointer<QItemSelectionModel> marks_;
};

// The time label of a row: "%ld (%5.2lf)" with the seconds rounded half away
// from zero; fps 0 gives -1.00 seconds.
QString TimeLabel(long row, quint32 fps);

// Selects exactly the given rows (ascending) as whole rows, in one update.
void SelectRows(QItemSelectionModel* marks, const QList<int>& rows);
// The selected rows in ascending order.
QList<int> SelectedRows(const QItemSelectionModel* marks);
