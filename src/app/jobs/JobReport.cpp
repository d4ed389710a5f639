#include "app/jobs/JobReport.h"

#include "analysis/WiringVerdict.h"
#include "app/phasor/PhasorDiagram.h"
#include "jobs/BackBilling.h"
#include "jobs/JobJson.h"
#include "jobs/PrimaryValues.h"
#include "records/ViewReport.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace pm {

namespace {

constexpr double kDpi = 300;
const QPageLayout kPage(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 12, 15, 12),
                        QPageLayout::Millimeter);

double paragraph(QPainter& p, double x, double y, double width, const QString& text) {
    const QRectF area(x, y, width, 1e6);
    const QRectF used = p.boundingRect(area, Qt::TextWordWrap, text);
    p.drawText(area, Qt::TextWordWrap, text);
    return used.bottom();
}

QFont pointFont(double points, bool bold = false, bool fixed = false) {
    QFont f = fixed ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QFont();
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// One column: a check, or a note that there is none.
double paintCheck(QPainter& p, const QRectF& column, double mm, const Job& job, CheckKind kind) {
    double y = column.top();
    const double x = column.left(), w = column.width();
    p.setFont(pointFont(12, true));
    const QString title =
        kind == CheckKind::AsFound ? QStringLiteral("As found") : QStringLiteral("As left");
    y = paragraph(p, x, y, w, title) + 1.5 * mm;
    const JobCheck* c = job.last(kind);
    p.setFont(pointFont(8.5));
    if (!c)
        return paragraph(p, x, y, w, QStringLiteral("No check saved."));
    const Panel panel = checkPanel(*c);
    const WiringResult result = checkWiring(WiringReading::fromTexts(panel), c->settings);
    y = paragraph(p, x, y, w,
                  QStringLiteral("%1\n%2").arg(jobTimeText(c->time), systemName(c->settings))) +
        2 * mm;
    p.setFont(pointFont(6.2, false, true));
    y = paragraph(p, x, y, w, viewReportLines(panel).join(QLatin1Char('\n'))) + 2 * mm;

    // The diagram as the window draws it, on the page itself: vectors, lettering in points.
    const QSizeF drawn(w, w * 0.75);
    p.save();
    p.translate(x, y);
    p.setClipRect(QRectF(QPointF(), drawn));
    PhasorDiagram::paint(p, drawn, panel, {arrowNames(result), idealDirections(result)});
    p.restore();
    y += drawn.height() + 2 * mm;

    p.setFont(pointFont(9.5, true));
    y = paragraph(p, x, y, w, c->verdict.verdict) + 1 * mm;
    p.setFont(pointFont(8.5));
    y = paragraph(p, x, y, w, checkKText(c->verdict)) + 2 * mm;
    const PrimaryValues v = primaryValues(panel, job.ct, job.vt);
    const QString W = QStringLiteral("W"), var = QStringLiteral("var"), VA = QStringLiteral("VA");
    return paragraph(p, x, y, w,
                     QStringLiteral("Primary side (× %1 × %2):\n"
                                    "P1 %3   P2 %4   total P %5\n"
                                    "Q1 %6   Q2 %7   total Q %8\n"
                                    "S1 %9   S2 %10")
                         .arg(job.ct.text(), job.vt.text(), powerText(v.p[0], W),
                              powerText(v.p[1], W), powerText(v.totalP, W), powerText(v.q[0], var),
                              powerText(v.q[1], var), powerText(v.totalQ, var),
                              powerText(v.s[0], VA))
                         .arg(powerText(v.s[1], VA)));
}

} // namespace

void paintJobReport(QPainter& p, const QRectF& page, double dpi, const Job& job) {
    p.fillRect(page, Qt::white);
    p.setPen(Qt::black);
    const double mm = dpi / 25.4;
    const double x = page.left(), w = page.width();
    double y = page.top();

    p.setFont(pointFont(16, true));
    y = paragraph(p, x, y, w, QStringLiteral("Field job %1: %2").arg(job.id).arg(job.site)) +
        2 * mm;
    p.setFont(pointFont(9));
    QString head =
        QStringLiteral("Meter number: %1\nCT %2, VT %3, register multiplier %4 (%5)\n"
                       "Opened: %6%7")
            .arg(job.meter, job.ct.text(), job.vt.text(), plainNumber(job.multiplier),
                 job.primaryRegister ? QStringLiteral("primary energy")
                                     : QStringLiteral("secondary energy"),
                 jobTimeText(job.created),
                 job.engineer.isEmpty() ? QString() : QStringLiteral(" by ") + job.engineer);
    if (!job.note.isEmpty())
        head += QStringLiteral("\nNote: ") + job.note;
    y = paragraph(p, x, y, w, head) + 4 * mm;

    const double gap = 6 * mm, column = (w - gap) / 2;
    const double bottom =
        std::max(paintCheck(p, QRectF(x, y, column, page.height()), mm, job, CheckKind::AsFound),
                 paintCheck(p, QRectF(x + column + gap, y, column, page.height()), mm, job,
                            CheckKind::AsLeft));
    y = bottom + 5 * mm;

    p.setFont(pointFont(12, true));
    y = paragraph(p, x, y, w, QStringLiteral("Energy to back-bill")) + 1.5 * mm;
    p.setFont(pointFont(9));
    const BackBilling bill = jobBackBilling(job);
    QStringList lines;
    const auto reg = [](const std::optional<RegisterReading>& r) {
        return r ? QStringLiteral("%1 on %2").arg(plainNumber(r->value), jobTimeText(r->time))
                 : QStringLiteral("not entered");
    };
    lines
        << QStringLiteral("Register R1 (start): %1; R2 (fix): %2").arg(reg(job.from), reg(job.to));
    if (!bill.ok)
        lines << bill.problem;
    lines << bill.lines;
    y = paragraph(p, x, y, w, lines.join(QLatin1Char('\n'))) + 12 * mm;

    // The line the engineer signs, at the foot of the page if there is room.
    y = std::max(y, page.bottom() - 14 * mm);
    p.setPen(QPen(Qt::black, 0.25 * mm));
    const double third = w / 3;
    for (int i = 0; i < 3; ++i)
        p.drawLine(QPointF(x + i * third, y), QPointF(x + (i + 1) * third - 6 * mm, y));
    p.setFont(pointFont(8.5));
    const QString captions[] = {QStringLiteral("Engineer"), QStringLiteral("Date"),
                                QStringLiteral("Signature")};
    for (int i = 0; i < 3; ++i)
        paragraph(p, x + i * third, y + 1 * mm, third, captions[i]);
}

QByteArray jobReportPdf(const Job& job, QString* why) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(int(kDpi));
        pdf.setPageLayout(kPage);
        pdf.setTitle(QStringLiteral("Field job %1").arg(job.id));
        QPainter p;
        if (!p.begin(&pdf)) {
            *why = QStringLiteral("The PDF could not be started.");
            return {};
        }
        paintJobReport(p, QRectF(QPointF(), kPage.paintRectPixels(int(kDpi)).size()), kDpi, job);
        p.end();
    }
    return bytes;
}

bool writeJobReport(const Job& job, const QString& path, QString& error) {
    const QByteArray bytes = jobReportPdf(job, &error);
    if (bytes.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace pm
