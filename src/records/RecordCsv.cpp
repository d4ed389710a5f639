#include "records/RecordCsv.h"

#include "protocol/Reading.h"
#include "records/RecordTable.h"

namespace pm {

namespace {
struct Column {
    const char* heading;
    Field field;
};

const Column kColumns[] = {
    {"U1/V", Field::U1},
    {"I1/A", Field::I1},
    {"P1/kW", Field::P1},
    {"Q1/kvar", Field::Q1},
    {"S1/kVA", Field::S1},
    {"PF1", Field::PF1},
    {"U2/V", Field::U2},
    {"I2/A", Field::I2},
    {"P2/kW", Field::P2},
    {"Q2/kvar", Field::Q2},
    {"S2/kVA", Field::S2},
    {"PF2", Field::PF2},
    {"U1U2/deg", Field::PhaseU1U2},
    {"I1I2/deg", Field::PhaseI1I2},
    {"U1I1/deg", Field::PhaseU1I1},
    {"U2I2/deg", Field::PhaseU2I2},
    {"F/Hz", Field::Freq},
};

// The number a reading text shows, without the grouping commas and the degree sign that make it
// readable on screen but not to a program.
QString plainNumber(QString text) {
    text.remove(u',');
    text.remove(u'\u00B0');
    return text;
}
} // namespace

QStringList recordCsvLines(const RecordTable& table, int blocks) {
    QStringList lines;
    lines.reserve(blocks + 1);
    QString heading = QStringLiteral("record");
    for (const Column& col : kColumns)
        heading += u',' + QLatin1String(col.heading);
    lines << heading;
    for (int k = 1; k <= blocks; ++k) {
        QString line = QString::number(k);
        for (const Column& col : kColumns)
            line += u',' + plainNumber(table.fieldText(k, col.field));
        lines << line;
    }
    return lines;
}

} // namespace pm
