#include "cli/ReadingFormat.h"

#include "protocol/Reading.h"
#include "records/ViewReport.h"

namespace pm::cli {

namespace {

// Column names of the panel's values, in the order of Field.
const char* const kColumns[kFieldCount] = {
    "U1/V",   "U2/V", "I1/A", "I2/A",     "P1/kW",    "P2/kW",    "Q1/kvar",  "Q2/kvar", "S1/kVA",
    "S2/kVA", "PF1",  "PF2",  "U1U2/deg", "I1I2/deg", "U1I1/deg", "U2I2/deg", "F/Hz",
};

QString plainNumber(QString text) {
    text.remove(QLatin1Char(','));
    text.remove(QChar(0x00B0));
    return text;
}

} // namespace

QString reportText(const ReadingTexts& panel) {
    return viewReportLines(panel).join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString csvHeader() {
    QString line = QStringLiteral("time");
    for (const char* name : kColumns)
        line += QLatin1Char(',') + QLatin1String(name);
    return line + QLatin1Char('\n');
}

QString csvRow(const QDateTime& time, const ReadingTexts& panel) {
    // Local time with its offset from UTC, so that rows stay in order across a clock change.
    QString line = time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
    for (int f = 0; f < kFieldCount; ++f)
        line += QLatin1Char(',') + plainNumber(panel.text(Field(f)));
    return line + QLatin1Char('\n');
}

} // namespace pm::cli
