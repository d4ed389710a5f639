#include "app/wiring/WiringReport.h"

#include "analysis/WiringVerdict.h"
#include "app/wiring/WiringReportPage.h"
#include "app/wiring/WiringTab.h"
#include "platform/ReportUnits.h"
#include "protocol/Fmtval.h"
#include "records/Saving.h"

#include <QBuffer>
#include <QImageWriter>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

namespace pm {

namespace {

constexpr int kImageDpi = 150;
// Enough for a meter number and the time within the 255 bytes a file name may have.
constexpr int kLongestMeterNumber = 100;
const QPageLayout kPage(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(12, 12, 12, 12),
                        QPageLayout::Millimeter);

// The panel's text with the sign it leaves off; a value shown as zero stays unsigned.
QString signedText(const QString& shown, double value) {
    return value < 0 && textValue(shown) != 0 ? QLatin1Char('-') + shown : shown;
}

// What the check rests on, a line each: "Line B on terminal 2".
QStringList settingLines(const WiringSettings& s) {
    QStringList lines = settingsText(s).split(QStringLiteral("; "));
    for (QString& line : lines)
        line[0] = line[0].toUpper();
    return lines;
}

// The fitted load angle, unless the verdict already gives it.
QString loadAngleLine(const WiringResult& r, const QString& verdict) {
    if (verdict.contains(QLatin1String("Load angle")))
        return {};
    const std::optional<double> phi = fittedLoadAngle(r);
    return phi ? loadAngleText(*phi) : QString();
}

// K, or why there is none, unless the verdict already gives it.
QString correctionLine(const WiringResult& r, const QString& verdict) {
    if (verdict.contains(QLatin1String("K = ")))
        return {};
    if (r.threeWire.size() > 1)
        return QStringLiteral("K: one for each connection the verdict names");
    if (!r.threeWire.empty())
        return QStringLiteral("K = ") + correctionText(r.threeWire.front().k);
    if (r.dead && r.dead->live >= 0 && r.settings.system == WiringSystem::ThreeWire)
        return QStringLiteral("K = %1, element %2 only, taken as wired right")
            .arg(correctionText(r.dead->k))
            .arg(r.dead->live + 1);
    if (r.settings.system == WiringSystem::ThreeWire)
        return QStringLiteral("K: no standard connection explains the reading");
    return QStringLiteral("K: only for the three-wire two-element check");
}

// Nothing a file system refuses: no separators, wildcards, quotes or control characters, no dot
// or blank at the ends.
QString fileNamePart(const QString& text) {
    QString name = text.simplified().left(kLongestMeterNumber);
    for (QChar& c : name)
        if (c.unicode() < 0x20 || QStringLiteral("<>:\"/\\|?*").contains(c))
            c = u'_';
    while (name.endsWith(u'.') || name.endsWith(u' '))
        name.chop(1);
    while (name.startsWith(u'.'))
        name.replace(0, 1, u'_');
    return name;
}

} // namespace

WiringReportContent wiringReportContent(const WiringTab& tab) {
    WiringReportContent c;
    c.when = tab.clock();
    c.taken = tab.readingTime();
    c.site = tab.site;
    c.meterNumber = tab.meterNumber;
    c.note = tab.note;
    c.source = tab.sourceText();
    const WiringResult& r = tab.result();
    c.settings = settingLines(tab.settings());
    for (int f = 0; f < kFieldCount; ++f)
        c.texts.setText(Field(f), tab.texts().text(Field(f)));
    for (int ch = 0; ch < 2; ++ch) {
        const ChannelPower& power = r.channels[size_t(ch)];
        c.activePower[size_t(ch)] = signedText(c.texts.text(activeField(ch)), power.p);
        c.reactivePower[size_t(ch)] = signedText(c.texts.text(reactiveField(ch)), power.q);
    }
    c.overlay = tab.overlay();
    c.verdict = tab.verdict();
    if (!c.verdict.isEmpty()) {
        c.loadAngle = loadAngleLine(r, c.verdict);
        c.k = correctionLine(r, c.verdict);
        c.details = tab.details();
    }
    return c;
}

QString wiringReportName(const WiringReportContent& c) {
    QString name = fileNamePart(c.meterNumber);
    if (name.isEmpty())
        name = QStringLiteral("Wiring check");
    const QDateTime at = c.taken.isValid() ? c.taken : c.when;
    return name + QLatin1Char(' ') + QLocale::c().toString(at, QStringLiteral("yyyy-MM-dd HHmm"));
}

QImage wiringReportImage(const WiringReportContent& content) {
    const QRect page = kPage.fullRectPixels(kImageDpi);
    QImage image(page.size(), QImage::Format_RGB32);
    const int dotsPerMeter = qRound(kImageDpi / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paintWiringReport(p, reportUnits(p, kPage.paintRectPixels(kImageDpi)), content);
    return image;
}

QByteArray wiringReportPdf(const WiringReportContent& content, QString* why) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(1200);
        pdf.setPageLayout(kPage);
        pdf.setTitle(QStringLiteral("Wiring check"));
        pdf.setCreator(QStringLiteral("phasemeter"));
        QPainter p;
        if (!p.begin(&pdf)) {
            *why = QStringLiteral("The PDF could not be started.");
            return {};
        }
        const QRect area(QPoint(), kPage.paintRectPixels(pdf.resolution()).size());
        paintWiringReport(p, reportUnits(p, area), content);
        p.end();
    }
    return bytes;
}

void saveWiringReport(const WiringReportContent& content, SaveServices& s) {
    SaveRequest request = saveRequest(s, kWiringFilter);
    request.fileName = wiringReportName(content);
    const QString path = chooseSavePath(s, request);
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
