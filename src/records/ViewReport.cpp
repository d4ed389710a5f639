#include "records/ViewReport.h"

#include "protocol/Reading.h"

#include <QLocale>

namespace pm {

namespace {
QString channelLine(const ReadingTexts& p, int ch, const QString& label) {
    return label + QStringLiteral("  ") + p.text(voltageField(ch)) + QStringLiteral("    ") +
           p.text(currentField(ch)) + QStringLiteral("  ") + p.text(activeField(ch)) +
           QStringLiteral("  ") + p.text(reactiveField(ch)) + QStringLiteral("   ") +
           p.text(apparentField(ch)) + QStringLiteral("  ") + p.text(powerFactorField(ch));
}
} // namespace

QStringList viewReportLines(const ReadingTexts& p) {
    return {
        QStringLiteral("         ") + QStringLiteral("  U/V   ") + QStringLiteral("  I/A   ") +
            QStringLiteral("  P/KW  ") + QStringLiteral(" Q/Kvar ") + QStringLiteral("  S/KVA ") +
            QStringLiteral("   PF   "),
        channelLine(p, 0, QStringLiteral("  1CH:  ")),
        channelLine(p, 1, QStringLiteral("  2CH:  ")),
        QStringLiteral("  U1U2: ") + QStringLiteral(" ") + p.text(Field::PhaseU1U2) +
            QStringLiteral("  ") + QStringLiteral("  U1I1: ") + QStringLiteral(" ") +
            p.text(Field::PhaseU1I1) + QStringLiteral("  ") + QStringLiteral("  F: ") +
            QStringLiteral(" ") + p.text(Field::Freq),
        QStringLiteral("  I1I2: ") + QStringLiteral(" ") + p.text(Field::PhaseI1I2) +
            QStringLiteral("  ") + QStringLiteral("  U2I2: ") + QStringLiteral(" ") +
            p.text(Field::PhaseU2I2),
    };
}

QString readingTakenText(const QDateTime& taken) {
    if (!taken.isValid())
        return QStringLiteral("No reading taken");
    return QStringLiteral("Reading taken ") +
           QLocale::c().toString(taken, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace pm
