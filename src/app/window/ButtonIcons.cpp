#include "app/window/ButtonIcons.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

namespace pm {

namespace {

// Every image is drawn on a 32 x 32 grid and scaled to the size asked for.
constexpr qreal kGrid = 32;

void drawRead(QPainter& p) {
    // A record travelling down from the instrument into the table.
    p.setPen(QPen(QColor(40, 40, 40), 1.5));
    p.setBrush(QColor(230, 230, 230));
    p.drawRoundedRect(QRectF(4, 21, 24, 8), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 110, 200));
    QPainterPath arrow;
    arrow.moveTo(12, 3);
    arrow.lineTo(20, 3);
    arrow.lineTo(20, 12);
    arrow.lineTo(26, 12);
    arrow.lineTo(16, 22);
    arrow.lineTo(6, 12);
    arrow.lineTo(12, 12);
    arrow.closeSubpath();
    p.drawPath(arrow);
}

void drawSave(QPainter& p) {
    // A diskette.
    p.setPen(QPen(QColor(20, 40, 90), 1.5));
    p.setBrush(QColor(40, 80, 170));
    QPainterPath body;
    body.moveTo(4, 4);
    body.lineTo(24, 4);
    body.lineTo(28, 8);
    body.lineTo(28, 28);
    body.lineTo(4, 28);
    body.closeSubpath();
    p.drawPath(body);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(QRectF(9, 5, 13, 8));
    p.setBrush(QColor(40, 80, 170));
    p.drawRect(QRectF(17, 6, 3, 6));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8, 17, 16, 10));
    p.setPen(QPen(QColor(150, 150, 150), 1));
    p.drawLine(QPointF(10, 20), QPointF(22, 20));
    p.drawLine(QPointF(10, 23), QPointF(22, 23));
}

void drawClear(QPainter& p) {
    // An empty sheet of the table with a red cross over its old contents.
    p.setPen(QPen(QColor(90, 90, 90), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4, 4, 24, 24));
    p.setPen(QPen(QColor(170, 170, 170), 1));
    for (qreal y = 10; y < 28; y += 6)
        p.drawLine(QPointF(4, y), QPointF(28, y));
    p.drawLine(QPointF(12, 4), QPointF(12, 28));
    p.drawLine(QPointF(20, 4), QPointF(20, 28));
    p.setPen(QPen(QColor(210, 30, 30), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9, 9), QPointF(23, 23));
    p.drawLine(QPointF(23, 9), QPointF(9, 23));
}

void drawPrint(QPainter& p) {
    // A printer with a sheet coming out.
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 3, 14, 10));
    p.setBrush(QColor(150, 150, 160));
    p.drawRoundedRect(QRectF(3, 12, 26, 11), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 19, 14, 10));
    p.setPen(QPen(QColor(120, 120, 120), 1));
    p.drawLine(QPointF(11, 23), QPointF(21, 23));
    p.drawLine(QPointF(11, 26), QPointF(21, 26));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 200, 60));
    p.drawEllipse(QPointF(25, 16), 1.5, 1.5);
}

void drawLetterInDisc(QPainter& p, const QColor& disc, const QString& letter) {
    p.setPen(QPen(disc.darker(140), 1.5));
    p.setBrush(disc);
    p.drawEllipse(QRectF(3, 3, 26, 26));
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(20);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, letter);
}

void drawClose(QPainter& p) {
    // A door left open.
    p.setPen(QPen(QColor(70, 50, 30), 1.5));
    p.setBrush(QColor(60, 60, 60));
    p.drawRect(QRectF(8, 3, 17, 26));
    p.setBrush(QColor(170, 110, 50));
    QPainterPath door;
    door.moveTo(8, 3);
    door.lineTo(18, 7);
    door.lineTo(18, 31);
    door.lineTo(8, 29);
    door.closeSubpath();
    p.drawPath(door);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(240, 200, 60));
    p.drawEllipse(QPointF(15.5, 18), 1.5, 1.5);
}

void drawImage(QPainter& p, ButtonImage image) {
    switch (image) {
    case ButtonImage::Read:
        return drawRead(p);
    case ButtonImage::Save:
        return drawSave(p);
    case ButtonImage::Clear:
        return drawClear(p);
    case ButtonImage::Print:
        return drawPrint(p);
    case ButtonImage::Help:
        return drawLetterInDisc(p, QColor(30, 110, 200), QStringLiteral("?"));
    case ButtonImage::Close:
        return drawClose(p);
    }
}

QPixmap render(ButtonImage image, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / kGrid, size / kGrid);
    drawImage(p, image);
    return pixmap;
}

} // namespace

QIcon buttonIcon(ButtonImage image) {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addPixmap(render(image, size));
    return icon;
}

QPixmap meterPicture() {
    const qreal dpr = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(QSize(78, 70) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    // The hand-held meter: a dark case, its display with the two phase-shifted waves it compares,
    // a row of keys and the input jacks.
    p.setPen(QPen(QColor(30, 30, 30), 1.5));
    p.setBrush(QColor(70, 75, 85));
    p.drawRoundedRect(QRectF(12, 2, 54, 66), 8, 8);

    const QRectF screen(18, 8, 42, 26);
    p.setPen(QPen(QColor(20, 20, 20), 1));
    p.setBrush(QColor(20, 30, 20));
    p.drawRect(screen);
    const auto wave = [&](qreal shift, const QColor& colour) {
        QPainterPath path;
        for (int x = 0; x <= 38; ++x) {
            const qreal y =
                screen.center().y() - 9 * std::sin((x / 38.0) * 2 * std::numbers::pi + shift);
            const QPointF point(screen.left() + 2 + x, y);
            if (x == 0)
                path.moveTo(point);
            else
                path.lineTo(point);
        }
        p.setPen(QPen(colour, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    };
    wave(0, QColor(0, 255, 0));
    wave(std::numbers::pi / 3, QColor(255, 220, 0));

    p.setPen(Qt::NoPen);
    for (int k = 0; k < 4; ++k) {
        p.setBrush(k == 0 ? QColor(200, 60, 60) : QColor(190, 190, 190));
        p.drawRoundedRect(QRectF(19 + k * 10.5, 39, 8, 6), 2, 2);
    }
    const QColor jacks[] = {QColor(210, 30, 30), QColor(20, 20, 20), QColor(210, 30, 30),
                            QColor(20, 20, 20)};
    for (int k = 0; k < 4; ++k) {
        p.setPen(QPen(QColor(200, 200, 200), 1));
        p.setBrush(jacks[k]);
        p.drawEllipse(QPointF(23.5 + k * 10.5, 57), 3.5, 3.5);
    }
    return pixmap;
}

} // namespace pm
