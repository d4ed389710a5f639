#pragma once

#include <QWidget>

namespace pm {

// Greys the widget it lies over and names, in its middle, since when no reading has come. Clicks
// go through to the widget below; it follows the widget's size.
class StaleOverlay : public QWidget {
public:
    explicit StaleOverlay(QWidget* covered);

    // Shows the marking with `caption`, or takes it away when the caption is empty.
    void mark(const QString& caption);
    QString caption() const { return caption_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
};

} // namespace pm
