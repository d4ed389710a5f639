#include "app/recall/RecordTableModel.h"

namespace pm {

RecordTableModel::RecordTableModel(RecordTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {
    table_.setObserver(this);
}

RecordTableModel::~RecordTableModel() {
    table_.setObserver(nullptr);
}

int RecordTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.rows();
}

int RecordTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.cols();
}

QVariant RecordTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return table_.text(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    default:
        return {};
    }
}

Qt::ItemFlags RecordTableModel::flags(const QModelIndex& index) const {
    // Only the download writes the table; the user reads and selects.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void RecordTableModel::rowsAboutToChange(int oldRows, int newRows) {
    if (newRows > oldRows)
        beginInsertRows({}, oldRows, newRows - 1);
    else
        beginRemoveRows({}, newRows, oldRows - 1);
}

void RecordTableModel::rowsChanged(int oldRows, int newRows) {
    if (newRows > oldRows)
        endInsertRows();
    else
        endRemoveRows();
}

void RecordTableModel::cellsChanged(int firstRow, int lastRow) {
    emit dataChanged(index(firstRow, 0), index(lastRow, table_.cols() - 1), {Qt::DisplayRole});
}

} // namespace pm
