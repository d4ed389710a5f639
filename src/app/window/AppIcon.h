#pragma once

#include <QIcon>

namespace pm {

// The program's icon, the same picture as the desktop entry's, drawn from its SVG at the sizes
// title bars, task bars and switchers ask for.
QIcon appIcon();

} // namespace pm
