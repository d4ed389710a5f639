#include "records/Toexcel.h"

#include "platform/Export.h"
#include "platform/FileStore.h"
#include "platform/WorkbookWriter.h"
#include "records/RecordTable.h"

#include <QDir>

namespace pm {

bool tableWorkbook(const TableCells& cells, const QString& path, WorkbookWriter& workbook,
                   QByteArray* file, QString* why, ExportProgress* progress) {
    if (!workbook.begin(why))
        return false;
    const int rows = int(cells.size());
    const int cols = rows > 0 ? int(cells.front().size()) : 0;
    if (progress)
        progress->setTotal(qint64(rows) * cols);
    // Column by column, each from the top, as the table's columns are its units of meaning.
    for (int c = 0; c < cols; ++c) {
        if (progress && !progress->advance(qint64(c) * rows)) {
            workbook.discard();
            return false;
        }
        for (int r = 0; r < rows; ++r)
            if (!workbook.setCell(r + 1, c + 1, cells[std::size_t(r)].value(c), why))
                return false;
    }
    if (!workbook.finish(file, why)) {
        *why =
            QStringLiteral("%1 could not be written: %2").arg(QDir::toNativeSeparators(path), *why);
        return false;
    }
    return true;
}

bool toexcel(const RecordTable& table, const QString& path, WorkbookWriter& workbook,
             FileStore& files, QString* why) {
    QByteArray file;
    return tableWorkbook(tableCells(table), path, workbook, &file, why) &&
           files.write(path, file, why);
}

} // namespace pm
