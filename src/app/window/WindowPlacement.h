#pragma once

#include <QList>
#include <QRect>

namespace pm {

// Where a window saved at `saved` (its client area) goes back on the screens there are now (their
// available areas, the primary first). It stays where it was when its title bar can still be
// grabbed on one of them, no larger than that screen; otherwise (the screen it was on is gone) it
// is centred on the primary screen, no larger than that.
QRect placeOnScreen(const QRect& saved, const QList<QRect>& screens);

} // namespace pm
