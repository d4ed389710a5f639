#pragma once

#include "protocol/Reading.h"

#include <QFrame>
#include <array>

class QLabel;

namespace pm {

// Frame1: the real-time panel. Headings (Label3) and the value labels u, i, p, q, s, pf, phase and
// freq, each named like its control ("u(0)", "phase(2)", "freq"), showing the panel's texts.
class RealtimePanel : public QFrame {
public:
    explicit RealtimePanel(QWidget* parent = nullptr);

    // Shows the texts of the live panel.
    void showTexts(const pm::Panel& panel); // pm:: because QFrame::Panel is a frame shape
    QLabel* valueLabel(Field f) const { return values_[size_t(f)]; }

private:
    void addHeading(int index, const QString& caption, int left, int top, qreal points);
    void addValue(Field f, const QString& name, int left, int top, int width, int height);

    std::array<QLabel*, kFieldCount> values_{};
};

} // namespace pm
