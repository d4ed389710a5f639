#include "records/PrintLines.h"

#include "protocol/Reading.h"
#include "records/RecordTable.h"
#include "records/TableText.h"
#include "records/ViewReport.h"

namespace pm {

namespace {
const QString kIndent = QStringLiteral("        ");

QString joined(const RecordTable& t, int row, std::initializer_list<const char*> separators) {
    return kIndent + tableRowLine(t, row, separators);
}
} // namespace

QStringList viewPrintLines(const ReadingTexts& p) {
    // The report's lines, but the frequency is headed "F/Hz:" on paper, where no "Hz" follows it.
    const QStringList report = viewReportLines(p);
    const QString angles = QStringLiteral("  U1U2: ") + QStringLiteral(" ") +
                           p.text(Field::PhaseU1U2) + QStringLiteral("  ") +
                           QStringLiteral("  U1I1: ") + QStringLiteral(" ") +
                           p.text(Field::PhaseU1I1) + QStringLiteral("  ") +
                           QStringLiteral("  F/Hz: ") + QStringLiteral(" ") + p.text(Field::Freq);
    return {
        QStringLiteral("     "), kIndent + report[0], kIndent + report[1],     kIndent + report[2],
        kIndent + angles,        kIndent + report[4], QStringLiteral("     "),
    };
}

QStringList tablePrintLines(const RecordTable& t, int blocks) {
    QStringList lines;
    lines.reserve(blocks * 7);
    for (int b = 0; b < blocks; ++b) {
        const int r0 = RecordTable::kRowsPerBlock * b;
        lines << QStringLiteral("  ");
        lines << joined(t, r0, {"  ", "  ", "     ", "   ", "  ", "     "});
        lines << joined(t, r0 + 1, {"  ", "  ", "  ", "  ", "  ", "  "});
        lines << joined(t, r0 + 2, {"  ", "  ", "  ", "  ", "  ", "  "});
        lines << joined(t, r0 + 3, {"  ", "    ", "  ", "    ", "  ", "  "});
        lines << joined(t, r0 + 4, {"  ", "    ", "  ", "    ", "  ", "  "});
        lines << QStringLiteral("  ");
    }
    return lines;
}

} // namespace pm
