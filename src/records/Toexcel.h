#pragma once

#include "records/TableText.h"

#include <QByteArray>
#include <QString>

namespace pm {

class ExportProgress;
class FileStore;
class RecordTable;
class WorkbookWriter;

// Copies every row of the table into the first sheet of a new workbook, table cell (r, c) to
// sheet cell (r + 1, c + 1), every cell centred and stored as text, and saves it under `path`
// whatever its extension. A sheet holds 1,048,576 rows; the largest download fills 60,000. False
// with a reason when the workbook could not be built or saved; nothing is written then.
bool toexcel(const RecordTable& table, const QString& path, WorkbookWriter& workbook,
             FileStore& files, QString* why);
// The same workbook from a copy of the table's cells, as the bytes of the file meant for `path`
// (named in a failure). With `progress`, it tells how far it has come and stops when cancelled,
// dropping the workbook unfinished.
bool tableWorkbook(const TableCells& cells, const QString& path, WorkbookWriter& workbook,
                   QByteArray* file, QString* why, ExportProgress* progress = nullptr);

} // namespace pm
