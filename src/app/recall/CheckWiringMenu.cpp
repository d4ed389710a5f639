#include "app/recall/CheckWiringMenu.h"

#include "records/RecordTable.h"

#include <QMenu>
#include <QTableView>

namespace pm {

void addCheckWiringMenu(QTableView& grid, const RecordTable& table,
                        std::function<void(int record)> open) {
    grid.setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(&grid, &QWidget::customContextMenuRequested, &grid,
                     [&grid, &table, open = std::move(open)](const QPoint& at) {
                         const int row = grid.rowAt(at.y());
                         if (row < 0)
                             return;
                         const int record = row / RecordTable::kRowsPerBlock + 1;
                         auto* menu = new QMenu(&grid);
                         menu->setObjectName(QStringLiteral("RecallMenu"));
                         menu->setAttribute(Qt::WA_DeleteOnClose);
                         QAction* check = menu->addAction(QStringLiteral("Check wiring"));
                         check->setEnabled(table.holdsReading(record));
                         QObject::connect(check, &QAction::triggered, &grid,
                                          [open, record] { open(record); });
                         // Not exec(): timers and replies go on while the menu is open.
                         menu->popup(grid.viewport()->mapToGlobal(at));
                     });
}

} // namespace pm
