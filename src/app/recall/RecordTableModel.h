#pragma once

#include "records/RecordTable.h"

#include <QAbstractTableModel>

namespace pm {

// The record table as the grid view sees it: the cell texts, centred, read-only. It follows the
// table's changes as they are reported, so a record costs the same at any index.
class RecordTableModel : public QAbstractTableModel, private TableObserver {
public:
    explicit RecordTableModel(RecordTable& table, QObject* parent = nullptr);
    ~RecordTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void rowsAboutToChange(int oldRows, int newRows) override;
    void rowsChanged(int oldRows, int newRows) override;
    void cellsChanged(int firstRow, int lastRow) override;

    RecordTable& table_;
};

} // namespace pm
