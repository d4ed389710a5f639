#pragma once

#include <functional>

class QTableView;

namespace pm {

class RecordTable;

// The record table's right-click menu: "Check wiring" opens the record under the pointer in the
// Wiring tab. It is offered only on a block that holds a record.
void addCheckWiringMenu(QTableView& grid, const RecordTable& table,
                        std::function<void(int record)> open);

} // namespace pm
