#include "app/window/WindowPlacement.h"

namespace pm {

namespace {
// How much of the title bar must show on a screen for the user to drag the window from there.
constexpr int kGrabWidth = 100;
constexpr int kGrabHeight = 20; // the title bar, just above the window's client area
} // namespace

QRect placeOnScreen(const QRect& saved, const QList<QRect>& screens) {
    if (screens.isEmpty() || saved.isEmpty())
        return saved;
    const QRect grab(saved.topLeft() - QPoint(0, kGrabHeight),
                     QSize(std::min(saved.width(), kGrabWidth), kGrabHeight));
    for (const QRect& screen : screens) {
        if (!screen.contains(grab))
            continue;
        return QRect(saved.topLeft(), saved.size().boundedTo(screen.size()));
    }
    QRect placed(QPoint(), saved.size().boundedTo(screens.first().size()));
    placed.moveCenter(screens.first().center());
    return placed;
}

} // namespace pm
