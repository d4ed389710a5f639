#pragma once

#include "app/phasor/PhasorDiagram.h"
#include "protocol/Reading.h"

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>
#include <QStringList>

class QPainter;

namespace pm {

class WiringTab;
struct SaveServices;

// What "Save" offers on the Wiring tab; the positions share the dialog's remembered type with the
// other saves.
inline const QString kWiringFilter = QStringLiteral("pdf (*.pdf)|*.pdf|png (*.png)|*.png|");

// Everything the one-page as-found report shows.
struct WiringReportContent {
    QDateTime when;
    QString site;
    QString meterNumber;
    QString note;
    QString source; // "Live readings", "Record 3"
    QString system;
    Panel texts; // the 17 readings as the panel shows them
    PhasorOverlay overlay;
    QString verdict;
    QString k; // "K = 3.583", or why there is none
    QStringList details;
};

WiringReportContent wiringReportContent(const WiringTab& tab);

// The report on a landscape page of `page` (in the painter's units, at `dpi`).
void paintWiringReport(QPainter& p, const QRectF& page, double dpi,
                       const WiringReportContent& content);
// An A4 landscape page at 150 dpi.
QImage wiringReportImage(const WiringReportContent& content);
// An A4 landscape PDF of one page; empty with a reason when it could not be made.
QByteArray wiringReportPdf(const WiringReportContent& content, QString* why);

// "Save" on the Wiring tab: the report as PDF or PNG, where the user says.
void saveWiringReport(const WiringReportContent& content, SaveServices& services);

} // namespace pm
