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

QStringList tableTextLines(const RecordTable& t, int blocks) {
    QStringList lines;
    lines.reserve(blocks * 6);
    for (int b = 0; b < blocks; ++b) {
        const int r0 = RecordTable::kRowsPerBlock * b;
        lines << tableRowLine(t, r0, {"  ", "  ", "     ", "   ", "  ", "     "});
        lines << tableRowLine(t, r0 + 1, {"  ", "  ", "  ", "  ", "  ", "  "});
        lines << tableRowLine(t, r0 + 2, {"  ", "  ", "  ", "  ", "  ", "  "});
        // The angle rows stop after the frequency: their last column is always empty.
        lines << tableRowLine(t, r0 + 3, {"  ", "    ", "  ", "    ", "  "});
        lines << tableRowLine(t, r0 + 4, {"  ", "    ", "  ", "    ", "  "});
        lines << QStringLiteral(" ");
    }
    return lines;
}

} // namespace pm
