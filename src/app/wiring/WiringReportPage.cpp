#include "app/wiring/WiringReportPage.h"

#include "app/wiring/WiringReport.h"

#include <QLocale>
#include <QPainter>

namespace pm {

namespace {

// Sizes in report units (1/96 inch): 12 is the 9 points of the window's small text.
constexpr double kTitleSize = 22;
constexpr double kHeadingSize = 13;
constexpr double kTextSize = 12;
constexpr double kSmallSize = 11;
constexpr double kGap = 14;
constexpr double kSignatureHeight = 44;

QFont unitFont(double size, bool bold = false) {
    QFont f;
    f.setPixelSize(qRound(size));
    f.setBold(bold);
    return f;
}

QString timeText(const QDateTime& t) {
    return QLocale::c().toString(t, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// Text wrapped across `column` from `y`, never past its bottom; gives the y below it.
double paragraph(QPainter& p, const QRectF& column, double y, const QString& text,
                 const QFont& font) {
    if (text.isEmpty() || y >= column.bottom())
        return y;
    p.setFont(font);
    const QRectF area(column.left(), y, column.width(), column.bottom() - y);
    const QRectF used = p.boundingRect(area, Qt::TextWordWrap, text);
    p.drawText(area, Qt::TextWordWrap, text);
    return std::min(used.bottom(), column.bottom());
}

double heading(QPainter& p, const QRectF& column, double y, const QString& text) {
    return paragraph(p, column, y + 4, text, unitFont(kHeadingSize, true)) + 2;
}

// Label and value pairs, the values lined up.
double fieldRows(QPainter& p, const QRectF& column, double y,
                 const QList<QPair<QString, QString>>& rows) {
    const double labelWidth = 112;
    const QRectF values(column.left() + labelWidth, column.top(), column.width() - labelWidth,
                        column.height());
    for (const auto& [label, value] : rows) {
        paragraph(p, column, y, label, unitFont(kTextSize, true));
        y = paragraph(p, values, y, value.isEmpty() ? QStringLiteral("\u2014") : value,
                      unitFont(kTextSize)) +
            2;
    }
    return y;
}

// One row of cells, each centred in its column.
double tableRow(QPainter& p, const QRectF& column, double y, const QStringList& cells,
                const QFont& font) {
    p.setFont(font);
    const double height = QFontMetricsF(font).height() + 4;
    const double first = 44;
    const double width = (column.width() - first) / double(cells.size() - 1);
    for (qsizetype k = 0; k < cells.size(); ++k) {
        const QRectF cell =
            k == 0 ? QRectF(column.left(), y, first, height)
                   : QRectF(column.left() + first + double(k - 1) * width, y, width, height);
        p.drawText(cell, (k == 0 ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter, cells[k]);
    }
    return y + height;
}

double readingsTable(QPainter& p, const QRectF& column, double y, const WiringReportContent& c) {
    const Panel& t = c.texts;
    y = tableRow(p, column, y,
                 {QString(), QStringLiteral("U/V"), QStringLiteral("I/A"), QStringLiteral("P/kW"),
                  QStringLiteral("Q/kvar"), QStringLiteral("S/kVA"), QStringLiteral("PF")},
                 unitFont(kTextSize, true));
    p.setPen(QPen(Qt::gray, 0.75));
    p.drawLine(QPointF(column.left(), y), QPointF(column.right(), y));
    p.setPen(Qt::black);
    for (int ch = 0; ch < 2; ++ch)
        y = tableRow(p, column, y,
                     {QStringLiteral("%1CH").arg(ch + 1), t.text(voltageField(ch)),
                      t.text(currentField(ch)), c.activePower[size_t(ch)],
                      c.reactivePower[size_t(ch)], t.text(apparentField(ch)),
                      t.text(powerFactorField(ch))},
                     unitFont(kTextSize));
    const QString angles =
        QStringLiteral("U1U2 %1    U1I1 %2    U2I2 %3    I1I2 %4    F %5 Hz")
            .arg(t.text(Field::PhaseU1U2), t.text(Field::PhaseU1I1), t.text(Field::PhaseU2I2),
                 t.text(Field::PhaseI1I2), t.text(Field::Freq));
    y = paragraph(p, column, y + 4, angles, unitFont(kTextSize));
    return paragraph(p, column, y + 2,
                     QStringLiteral("P and Q with their signs, which the meter's panel leaves off: "
                                    "negative P is power flowing back, negative Q capacitive."),
                     unitFont(kSmallSize));
}

void signatureLine(QPainter& p, const QRectF& area) {
    p.setFont(unitFont(kTextSize));
    p.setPen(Qt::black);
    const double base = area.bottom() - 6;
    const struct {
        QString label;
        double share;
    } parts[] = {{QStringLiteral("Engineer (name)"), 0.4},
                 {QStringLiteral("Signature"), 0.35},
                 {QStringLiteral("Date"), 0.25}};
    const QFontMetricsF fm(p.font());
    double x = area.left();
    for (const auto& part : parts) {
        const double width = area.width() * part.share;
        p.drawText(QPointF(x, base), part.label);
        const double start = x + fm.horizontalAdvance(part.label) + 8;
        p.drawLine(QPointF(start, base + 2), QPointF(x + width - 24, base + 2));
        x += width;
    }
}

} // namespace

void paintWiringReport(QPainter& p, const QRectF& page, const WiringReportContent& c) {
    p.save();
    p.fillRect(page, Qt::white);
    p.setPen(Qt::black);

    double y = paragraph(p, page, page.top(), QStringLiteral("Wiring check, as found"),
                         unitFont(kTitleSize, true)) +
               4;
    p.drawLine(QPointF(page.left(), y), QPointF(page.right(), y));
    y += 8;

    const double bottom = page.bottom() - kSignatureHeight - kGap;
    const double leftWidth = page.width() * 0.4;
    const QRectF left(page.left(), y, leftWidth, bottom - y);
    const QRectF right(left.right() + kGap, y, page.right() - left.right() - kGap, bottom - y);

    double ly = fieldRows(
        p, left, y,
        {{QStringLiteral("Site"), c.site},
         {QStringLiteral("Meter number"), c.meterNumber},
         {QStringLiteral("Note"), c.note},
         {QStringLiteral("Reading"), c.source},
         {QStringLiteral("Reading taken"),
          c.taken.isValid() ? timeText(c.taken)
                            : QStringLiteral("not known (the meter keeps no time with a record, "
                                             "or no reading came)")},
         {QStringLiteral("Report made"), timeText(c.when)}});
    ly = heading(p, left, ly + 4, QStringLiteral("Readings"));
    ly = readingsTable(p, left, ly, c);
    ly = heading(p, left, ly + 4, QStringLiteral("The check rests on"));
    ly = paragraph(p, left, ly, c.settings.join(QLatin1Char('\n')), unitFont(kTextSize));
    ly = heading(p, left, ly + 4, QStringLiteral("Verdict"));
    ly = paragraph(p, left, ly,
                   c.verdict.isEmpty() ? QStringLiteral("No reading was checked.") : c.verdict,
                   unitFont(kHeadingSize, true)) +
         2;
    ly = paragraph(p, left, ly, c.loadAngle, unitFont(kTextSize, true));
    ly = paragraph(p, left, ly, c.k, unitFont(kTextSize, true)) + 4;
    paragraph(p, left, ly, c.details.join(QLatin1Char('\n')), unitFont(kSmallSize));

    // The diagram as large as the column allows, labels at the window's size, its key below.
    const QSizeF diagram = right.size();
    p.save();
    p.translate(right.topLeft());
    p.setClipRect(QRectF(QPointF(), diagram));
    PhasorDiagram::paint(p, diagram, c.texts, c.overlay, KeyPlace::Below);
    p.restore();
    p.setPen(QPen(Qt::gray, 0.75));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(right.topLeft(), diagram));

    signatureLine(
        p, QRectF(page.left(), page.bottom() - kSignatureHeight, page.width(), kSignatureHeight));
    p.restore();
}

} // namespace pm
