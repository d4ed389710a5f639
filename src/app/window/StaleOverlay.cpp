#include "app/window/StaleOverlay.h"

#include <QEvent>
#include <QPainter>

namespace pm {

StaleOverlay::StaleOverlay(QWidget* covered) : QWidget(covered) {
    setObjectName(QStringLiteral("StaleOverlay"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(covered->rect());
    covered->installEventFilter(this);
    hide();
}

void StaleOverlay::mark(const QString& caption) {
    caption_ = caption;
    setAccessibleName(caption);
    setVisible(!caption.isEmpty());
    if (!caption.isEmpty()) {
        raise();
        update();
    }
}

bool StaleOverlay::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void StaleOverlay::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // The values stay readable, but nobody takes them for live ones.
    p.fillRect(rect(), QColor(235, 235, 235, 190));
    QFont font = p.font();
    font.setBold(true);
    font.setPointSizeF(std::max(font.pointSizeF(), 10.0) * 1.3);
    p.setFont(font);
    const QFontMetrics fm(font);
    QRect box = fm.boundingRect(caption_).adjusted(-14, -8, 14, 8);
    box.moveCenter(rect().center());
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(QColor(255, 255, 255, 235));
    p.drawRoundedRect(box, 4, 4);
    p.setPen(QColor(40, 40, 40));
    p.drawText(box, Qt::AlignCenter, caption_);
}

} // namespace pm
