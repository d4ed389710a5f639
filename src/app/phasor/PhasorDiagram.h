#pragma once

#include <QColor>
#include <QWidget>

namespace pm {

class ReadingTexts;

// The phasor diagram of the live readings, painted from the panel's texts each time it is shown
// or updated: U1 along +x, the other phasors clockwise by the angles they lag, voltages solid and
// currents dashed, channel 1 and channel 2 in their own colours.
class PhasorDiagram : public QWidget {
public:
    explicit PhasorDiagram(const ReadingTexts& texts, QWidget* parent = nullptr);

    // The colours of the one place every view takes them from.
    static QColor channelColor(int channel);
    static QColor background() { return Qt::white; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const ReadingTexts& texts_;
};

} // namespace pm
