#pragma once

#include "app/phasor/PhasorGeometry.h"

#include <QColor>
#include <QFont>
#include <QLineF>
#include <QString>
#include <QWidget>
#include <array>
#include <optional>

class QPainter;

namespace pm {

class ReadingTexts;

// What a view adds to the diagram: names for the arrows ("I2 = −Ic" instead of "I2") and, drawn
// faintly behind them, where a correct connection would put each phasor (degrees from U1,
// lagging). In the order U1, U2, I1, I2; an empty name or no direction adds nothing.
struct PhasorOverlay {
    std::array<QString, 4> names;
    std::array<std::optional<double>, 4> ideal;
};

// Where the diagram puts each arrow (its line, beside any arrow pointing the same way) and its
// label (clear of the arrows, the other labels and the key); empty for an arrow not drawn.
struct PhasorPlacement {
    PhasorPicture picture;
    PhasorLayout layout;
    std::array<QLineF, 4> arrows;
    std::array<QRectF, 4> labels;
};

// The phasor diagram of the live readings, painted from the panel's texts each time it is shown
// or updated: U1 along +x, the other phasors clockwise by the angles they lag, voltages solid and
// currents dashed, channel 1 and channel 2 in their own colours.
class PhasorDiagram : public QWidget {
public:
    explicit PhasorDiagram(const ReadingTexts& texts, QWidget* parent = nullptr);

    // The colours of the one place every view takes them from.
    static QColor channelColor(int channel);
    static QColor background() { return Qt::white; }

    void setOverlay(const PhasorOverlay& overlay);
    // The diagram of `texts` on any device, filling `area` (in the painter's units, which are
    // pixels on the screen: a report scales the painter).
    static void paint(QPainter& p, QSizeF area, const ReadingTexts& texts,
                      const PhasorOverlay& overlay = {}, KeyPlace key = KeyPlace::Right);
    static PhasorPlacement placement(QSizeF area, const ReadingTexts& texts,
                                     const PhasorOverlay& overlay = {},
                                     KeyPlace key = KeyPlace::Right);
    // The face of the labels and the key, sized in the painter's units.
    static QFont font();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const ReadingTexts& texts_;
    PhasorOverlay overlay_;
};

} // namespace pm
