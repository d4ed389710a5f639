#pragma once

#include <QStringList>
#include <initializer_list>
#include <vector>

namespace pm {

class RecordTable;

// Record blocks that a save or a print-out of the table covers: the count the instrument reported
// last (at least one block), but never more than the table holds, so that after "Clear" or an
// incomplete download no empty blocks are written.
int blocksToWrite(int reccount, const RecordTable& table);

// Cell texts of `row` from column 0, each followed directly by its separator; as many columns as
// there are separators plus one.
QString tableRowLine(const RecordTable& table, int row,
                     std::initializer_list<const char*> separators);

// The table as a text file: six lines per block (its first five rows, then " "), each cell
// followed directly by its separator. Lines without their line ends.
QStringList tableTextLines(const RecordTable& table, int blocks);

// The texts of the table's cells, a list per row: a copy an export works from on its own thread
// while the table goes on changing.
using TableCells = std::vector<QStringList>;
TableCells tableCells(const RecordTable& table);
QStringList tableTextLines(const TableCells& cells, int blocks);

} // namespace pm
