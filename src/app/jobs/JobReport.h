#pragma once

#include "jobs/Job.h"

#include <QByteArray>
#include <QRectF>
#include <QString>

class QPainter;

namespace pm {

// The job's one-page report: the as-found and as-left checks side by side (readings, diagram,
// verdict, K, primary values), the energy to back-bill with its formula and assumption, and the
// line the engineer signs. Text, lines and the diagrams are drawn as vectors.
void paintJobReport(QPainter& p, const QRectF& page, double dpi, const Job& job);
// An A4 portrait PDF; empty with a reason when it could not be made.
QByteArray jobReportPdf(const Job& job, QString* why);
// The PDF written whole to `path` or not at all.
bool writeJobReport(const Job& job, const QString& path, QString& error);

} // namespace pm
