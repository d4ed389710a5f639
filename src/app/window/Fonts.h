#pragma once

#include <QFont>

namespace pm {

// The face of the labels, tabs, status bar and record table, requested by its design name "宋体";
// where that face is missing a Song-style serif stands in for it.
QFont songFont(qreal points, bool bold);

} // namespace pm
