#pragma once

#include <QStringList>

namespace pm {

class ReadingTexts;
class RecordTable;

// The real-time print-out: seven lines, the panel's texts as shown, indented by 8 blanks between a
// leading and a trailing line of blanks.
QStringList viewPrintLines(const ReadingTexts& panel);

// The record print-out: seven lines per block, every column of its first five rows.
QStringList tablePrintLines(const RecordTable& table, int blocks);

} // namespace pm
