#include "app/wiring/WiringReport.h"

#include "analysis/WiringVerdict.h"
#include "app/wiring/WiringTab.h"
#include "records/Saving.h"
#include "records/ViewReport.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QImageWriter>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

namespace pm {

namespace {

constexpr int kDpi = 150;
const QPageLayout kPage(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(12, 12, 12, 12),
                        QPageLayout::Millimeter);

// Draws a block of text across `width` from `y`; gives the y below it.
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

} // namespace

WiringReportContent wiringReportContent(const WiringTab& tab) {
    WiringReportContent c;
    c.when = tab.clock();
    c.site = tab.site;
    c.meterNumber = tab.meterNumber;
    c.note = tab.note;
    c.source = tab.sourceText();
    c.system = settingsText(tab.settings());
    for (int f = 0; f < kFieldCount; ++f)
        c.texts.setText(Field(f), tab.texts().text(Field(f)));
    c.overlay = tab.overlay();
    c.verdict = tab.verdict();
    const WiringResult& r = tab.result();
    if (r.threeWire.size() > 1)
        c.k = QStringLiteral("K: one for each connection the verdict names");
    else if (!r.threeWire.empty())
        c.k = QStringLiteral("K = ") + correctionText(r.threeWire.front().k);
    else if (r.dead && r.dead->live >= 0 && r.settings.system == WiringSystem::ThreeWire)
        c.k = QStringLiteral("K = %1, element %2 only, taken as wired right")
                  .arg(correctionText(r.dead->k))
                  .arg(r.dead->live + 1);
    else if (r.settings.system == WiringSystem::ThreeWire)
        c.k = QStringLiteral("K: no standard connection explains the reading");
    else
        c.k = QStringLiteral("K: only for the three-wire two-element check");
    c.details = tab.details();
    return c;
}

void paintWiringReport(QPainter& p, const QRectF& page, double dpi, const WiringReportContent& c) {
    p.fillRect(page, Qt::white);
    p.setPen(Qt::black);
    const double mm = dpi / 25.4;
    const double left = page.left();
    const double textWidth = page.width() * 0.46;
    double y = page.top();

    p.setFont(pointFont(16, true));
    y = paragraph(p, left, y, textWidth, QStringLiteral("Wiring check, as found")) + 2 * mm;
    p.setFont(pointFont(9));
    const QString fields =
        QStringLiteral("Date and time: %1\nSite: %2\nMeter number: %3\nNote: %4\nReading: %5\n"
                       "System: %6")
            .arg(QLocale::c().toString(c.when, QStringLiteral("yyyy-MM-dd HH:mm:ss")), c.site,
                 c.meterNumber, c.note, c.source, c.system);
    y = paragraph(p, left, y, textWidth, fields) + 4 * mm;

    p.setFont(pointFont(8, false, true));
    y = paragraph(p, left, y, textWidth, viewReportLines(c.texts).join(QLatin1Char('\n'))) + 4 * mm;

    p.setFont(pointFont(11, true));
    y = paragraph(p, left, y, textWidth,
                  c.verdict.isEmpty() ? QStringLiteral("No reading.") : c.verdict) +
        2 * mm;
    y = paragraph(p, left, y, textWidth, c.k) + 3 * mm;
    p.setFont(pointFont(8.5));
    paragraph(p, left, y, textWidth, c.details.join(QLatin1Char('\n')));

    // The diagram keeps the proportions it has in the window; drawn at screen size, then scaled.
    const QRectF area(page.left() + page.width() * 0.5, page.top(), page.width() * 0.5,
                      page.height() * 0.75);
    QImage diagram(QSize(800, 560), QImage::Format_RGB32);
    {
        QPainter d(&diagram);
        PhasorDiagram::paint(d, diagram.size(), c.texts, c.overlay);
    }
    const QSizeF fitted = QSizeF(diagram.size()).scaled(area.size(), Qt::KeepAspectRatio);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRectF(area.topLeft(), fitted), diagram);
}

QImage wiringReportImage(const WiringReportContent& content) {
    const QRect page = kPage.fullRectPixels(kDpi);
    QImage image(page.size(), QImage::Format_RGB32);
    const int dotsPerMeter = qRound(kDpi / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QPainter p(&image);
    paintWiringReport(p, kPage.paintRectPixels(kDpi), kDpi, content);
    return image;
}

QByteArray wiringReportPdf(const WiringReportContent& content, QString* why) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(kDpi);
        pdf.setPageLayout(kPage);
        pdf.setTitle(QStringLiteral("Wiring check"));
        QPainter p;
        if (!p.begin(&pdf)) {
            *why = QStringLiteral("The PDF could not be started.");
            return {};
        }
        paintWiringReport(p, QRectF(QPointF(), kPage.paintRectPixels(kDpi).size()), kDpi, content);
        p.end();
    }
    return bytes;
}

void saveWiringReport(const WiringReportContent& content, SaveServices& s) {
    const QString path = chooseSavePath(s, saveRequest(s, kWiringFilter));
    if (path.isEmpty())
        return;
    QByteArray bytes;
    QString why;
    // The name typed decides; without a known extension, the type chosen in the dialog.
    const bool png =
        path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive) ||
        (!path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive) && s.dialog.filterIndex() >= 2);
    if (png) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        if (!writer.write(wiringReportImage(content)))
            why = QStringLiteral("The picture could not be made: %1").arg(writer.errorString());
    } else {
        bytes = wiringReportPdf(content, &why);
    }
    if (why.isEmpty())
        writeOrReport(s, path, bytes);
    else
        reportSaveFailure(s, why);
}

} // namespace pm
