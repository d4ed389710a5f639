#pragma once

#include <QString>

namespace pm {

class FileStore;
class RecordTable;
class WorkbookWriter;

// Rows a workbook export takes: row numbers are 16-bit, as in the instrument's record indices
// (5461 blocks of 6 rows).
inline constexpr int kMaxExportRows = 32767;

// Copies the whole table into the first sheet of a new workbook, table cell (r, c) to sheet cell
// (r + 1, c + 1), every cell centred and stored as text, and saves it under `path` whatever its
// extension. False with a reason when the workbook could not be built or saved; nothing is
// written then.
bool toexcel(const RecordTable& table, const QString& path, WorkbookWriter& workbook,
             FileStore& files, QString* why);

} // namespace pm
