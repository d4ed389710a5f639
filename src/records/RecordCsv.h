#pragma once

#include <QStringList>

namespace pm {

class RecordTable;

// The records as comma-separated values for scripts and spreadsheets: a heading line, then one
// line per block with the record number and every reading as a plain number (no digit grouping,
// no degree sign). A block whose record never arrived has its number and empty fields.
QStringList recordCsvLines(const RecordTable& table, int blocks);

} // namespace pm
