#include "app/realtime/RealtimePanel.h"

#include "app/style/Fonts.h"
#include "app/window/Geometry.h"

#include <QLabel>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>

namespace pm {

namespace {
constexpr qreal kPanelPoints = 14.25;
constexpr qreal kU1U2HeadingPoints = 15;
constexpr int kDesignedWidthTwips = 11655;
constexpr int kDesignedHeightTwips = 6735;

QString fieldTip(Field f) {
    static const char* const tips[kFieldCount] = {
        "Voltage of channel 1, V",
        "Voltage of channel 2, V",
        "Current of channel 1, A",
        "Current of channel 2, A",
        "Active power of channel 1, kW",
        "Active power of channel 2, kW",
        "Reactive power of channel 1, kvar",
        "Reactive power of channel 2, kvar",
        "Apparent power of channel 1, kVA",
        "Apparent power of channel 2, kVA",
        "Power factor of channel 1",
        "Power factor of channel 2",
        "Angle from U1 to U2, degrees",
        "Angle from I1 to I2, degrees",
        "Angle from U1 to I1 (channel 1's power angle), degrees",
        "Angle from U2 to I2 (channel 2's power angle), degrees",
        "Frequency, Hz",
    };
    return QString::fromLatin1(tips[int(f)]);
}
} // namespace

QSize RealtimePanel::designedSize() {
    return {px(kDesignedWidthTwips), px(kDesignedHeightTwips)};
}

RealtimePanel::RealtimePanel(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("Frame1"));
    setFrameStyle(QFrame::Box | QFrame::Sunken);

    addHeading(3, QStringLiteral("U/V"), 1800, 480, kPanelPoints);
    addHeading(4, QStringLiteral("I/A"), 3480, 480, kPanelPoints);
    addHeading(5, QStringLiteral("P/KW"), 5160, 480, kPanelPoints);
    addHeading(6, QStringLiteral("Q/Kvar"), 6720, 480, kPanelPoints);
    addHeading(7, QStringLiteral("S/KVA"), 8520, 480, kPanelPoints);
    addHeading(17, QStringLiteral("PF"), 10320, 480, kPanelPoints);
    addHeading(0, QStringLiteral("1CH:"), 600, 1440, kPanelPoints);
    addHeading(1, QStringLiteral("2CH:"), 600, 2520, kPanelPoints);
    addHeading(8, QStringLiteral("U1U2:"), 1320, 4200, kU1U2HeadingPoints);
    addHeading(11, QStringLiteral("I1I2:"), 1320, 5400, kPanelPoints);
    addHeading(14, QStringLiteral("U1I1:"), 4680, 4200, kPanelPoints);
    addHeading(15, QStringLiteral("U2I2:"), 4680, 5400, kPanelPoints);
    addHeading(18, QStringLiteral("F:"), 8040, 4920, kPanelPoints);
    addHeading(19, QStringLiteral("Hz"), 9960, 4920, kPanelPoints);

    const int rowTop[] = {1440, 2520};
    for (int ch = 0; ch < 2; ++ch) {
        const QString n = QString::number(ch);
        const int top = rowTop[ch];
        addValue(voltageField(ch), "u(" + n + ")", 1560, top, 1050, 345);
        addValue(currentField(ch), "i(" + n + ")", 3165, top, ch == 0 ? 1245 : 1230, 345);
        addValue(activeField(ch), "p(" + n + ")", 4905, top, 1245, 345);
        addValue(reactiveField(ch), "q(" + n + ")", 6585, top, 1245, 345);
        addValue(apparentField(ch), "s(" + n + ")", 8325, top, 1245, 345);
        addValue(powerFactorField(ch), "pf(" + n + ")", 10080, top, 1050, 345);
    }
    addValue(Field::PhaseU1U2, QStringLiteral("phase(0)"), 2280, 4200, 1185, 345);
    addValue(Field::PhaseI1I2, QStringLiteral("phase(1)"), 2280, 5400, 1125, 285);
    addValue(Field::PhaseU1I1, QStringLiteral("phase(2)"), 5640, 4200, 1185, 345);
    addValue(Field::PhaseU2I2, QStringLiteral("phase(3)"), 5640, 5400, 1185, 345);
    addValue(Field::Freq, QStringLiteral("freq"), 8640, 4920, 1050, 345);
    resize(designedSize());
}

void RealtimePanel::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    // One scale for both directions keeps the layout; what is left over is shared out evenly
    // on both sides.
    const QSize designed = designedSize();
    scale_ = std::min(double(width()) / designed.width(), double(height()) / designed.height());
    if (scale_ <= 0)
        return;
    const QPoint offset((width() - int(std::lround(designed.width() * scale_))) / 2,
                        (height() - int(std::lround(designed.height() * scale_))) / 2);
    for (auto it = designed_.cbegin(); it != designed_.cend(); ++it) {
        const QRect r = it.value().geometry;
        const auto scaled = [this](int v) { return int(std::lround(v * scale_)); };
        it.key()->setGeometry(QRect(offset + QPoint(scaled(r.left()), scaled(r.top())),
                                    QSize(scaled(r.width()), scaled(r.height()))));
        QFont font = it.key()->font();
        font.setPointSizeF(it.value().points * scale_);
        it.key()->setFont(font);
        // Type does not scale in exact proportion: a heading takes the width its text needs.
        if (it.value().heading)
            it.key()->adjustSize();
    }
}

void RealtimePanel::showTexts(const pm::Panel& panel) {
    for (int f = 0; f < kFieldCount; ++f) {
        const QString text = panel.text(Field(f));
        QLabel* label = values_[size_t(f)];
        if (label->text() != text)
            label->setText(text);
    }
}

void RealtimePanel::addHeading(int index, const QString& caption, int left, int top, qreal points) {
    auto* label = new QLabel(caption, this);
    label->setObjectName(QStringLiteral("Label3(%1)").arg(index));
    label->setFont(songFont(points, true));
    label->move(px(left), px(top));
    label->adjustSize();
    designed_.insert(label, {label->geometry(), points, true});
}

void RealtimePanel::addValue(Field f, const QString& name, int left, int top, int width,
                             int height) {
    auto* label = new QLabel(pm::Panel::initialText(f), this);
    label->setObjectName(name);
    label->setFont(songFont(kPanelPoints, true));
    label->setAlignment(Qt::AlignCenter);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, QColor(0, 255, 0));
    label->setPalette(palette);
    label->setGeometry(twipRect(left, top, width, height));
    label->setToolTip(fieldTip(f));
    values_[size_t(f)] = label;
    designed_.insert(label, {label->geometry(), kPanelPoints});
}

} // namespace pm
