#pragma once

#include "app/phasor/PhasorDiagram.h"
#include "protocol/Reading.h"

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>
#include <QStringList>
#include <array>

namespace pm {

class WiringTab;
struct SaveServices;

// What "Save" offers on the Wiring tab; the positions share the dialog's remembered type with the
// other saves.
inline const QString kWiringFilter = QStringLiteral("pdf (*.pdf)|*.pdf|png (*.png)|*.png|");

// Everything the one-page as-found report shows.
struct WiringReportContent {
    QDateTime when;  // the report was made
    QDateTime taken; // the live reading came; invalid for a record or without a reading
    QString site;
    QString meterNumber;
    QString note;
    QString source;       // "Live readings", "Record 3"
    QStringList settings; // what the check rests on: the system, line B, the load range
    Panel texts;          // the 17 readings as the panel shows them
    std::array<QString, 2> activePower;   // P1, P2 with their signs, which the panel leaves off
    std::array<QString, 2> reactivePower; // Q1, Q2 likewise
    PhasorOverlay overlay;
    QString verdict;
    QString loadAngle; // "Load angle 25.8° lagging (PF 0.900)" when the verdict leaves it out
    QString k;         // "K = 3.583", or why there is none, when the verdict leaves it out
    QStringList details;
};

WiringReportContent wiringReportContent(const WiringTab& tab);

// "EM-2291-0457 2026-12-08 0909": the meter number and the minute of the reading (else of the
// report), with what a file name cannot hold replaced.
QString wiringReportName(const WiringReportContent& content);

// An A4 landscape page at 150 dpi.
QImage wiringReportImage(const WiringReportContent& content);
// An A4 landscape PDF of one page, text as text and the diagram as lines; empty with a reason
// when it could not be made.
QByteArray wiringReportPdf(const WiringReportContent& content, QString* why);

// "Save" on the Wiring tab: the report as PDF or PNG, where the user says.
void saveWiringReport(const WiringReportContent& content, SaveServices& services);

} // namespace pm
