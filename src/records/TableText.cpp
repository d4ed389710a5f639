#include "records/TableText.h"

#include "records/RecordTable.h"

#include <algorithm>

namespace pm {

QString tableRowLine(const RecordTable& t, int row, std::initializer_list<const char*> separators) {
    QString line = t.text(row, 0);
    int col = 1;
    for (const char* sep : separators) {
        line += QLatin1String(sep);
        line += t.text(row, col++);
    }
    return line;
}

int blocksToWrite(int reccount, const RecordTable& table) {
    return std::min(std::max(reccount, 1), table.blocks());
}

namespace {
template <typename Line> QStringList blockLines(int blocks, Line line) {
    QStringList lines;
    lines.reserve(blocks * 6);
    for (int b = 0; b < blocks; ++b) {
        const int r0 = RecordTable::kRowsPerBlock * b;
        lines << line(r0, {"  ", "  ", "     ", "   ", "  ", "     "});
        lines << line(r0 + 1, {"  ", "  ", "  ", "  ", "  ", "  "});
        lines << line(r0 + 2, {"  ", "  ", "  ", "  ", "  ", "  "});
        // The angle rows stop after the frequency: their last column is always empty.
        lines << line(r0 + 3, {"  ", "    ", "  ", "    ", "  "});
        lines << line(r0 + 4, {"  ", "    ", "  ", "    ", "  "});
        lines << QStringLiteral(" ");
    }
    return lines;
}
} // namespace

QStringList tableTextLines(const RecordTable& t, int blocks) {
    return blockLines(blocks, [&t](int row, std::initializer_list<const char*> separators) {
        return tableRowLine(t, row, separators);
    });
}

TableCells tableCells(const RecordTable& t) {
    TableCells cells(std::size_t(std::max(t.rows(), 0)));
    for (int r = 0; r < t.rows(); ++r)
        for (int c = 0; c < t.cols(); ++c)
            cells[std::size_t(r)] << t.text(r, c);
    return cells;
}

QStringList tableTextLines(const TableCells& cells, int blocks) {
    blocks = std::min(blocks, int(cells.size()) / RecordTable::kRowsPerBlock);
    return blockLines(blocks, [&cells](int row, std::initializer_list<const char*> separators) {
        const QStringList& texts = cells[std::size_t(row)];
        QString line = texts.value(0);
        int col = 1;
        for (const char* sep : separators) {
            line += QLatin1String(sep);
            line += texts.value(col++);
        }
        return line;
    });
}

} // namespace pm
