#pragma once

#include "protocol/Reading.h"

#include <QFrame>
#include <QHash>
#include <QRect>
#include <array>

class QLabel;

namespace pm {

// Frame1: the real-time panel. Headings (Label3) and the value labels u, i, p, q, s, pf, phase and
// freq, each named like its control ("u(0)", "phase(2)", "freq"), showing the panel's texts.
// The panel keeps its layout at any size: its labels and their type grow and shrink together with
// the room it is given.
class RealtimePanel : public QFrame {
public:
    explicit RealtimePanel(QWidget* parent = nullptr);

    // The size the panel was designed at, where the scale is 1.
    static QSize designedSize();
    // How much the labels are scaled at the present size.
    double scale() const { return scale_; }

    // Shows the texts of the live panel.
    void showTexts(const pm::Panel& panel); // pm:: because QFrame::Panel is a frame shape
    QLabel* valueLabel(Field f) const { return values_[size_t(f)]; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Designed {
        QRect geometry;
        qreal points = 0;
        bool heading = false; // sized to its text
    };

    void addHeading(int index, const QString& caption, int left, int top, qreal points);
    void addValue(Field f, const QString& name, int left, int top, int width, int height);

    std::array<QLabel*, kFieldCount> values_{};
    QHash<QLabel*, Designed> designed_;
    double scale_ = 1;
};

} // namespace pm
