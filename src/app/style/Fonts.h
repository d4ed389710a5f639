#pragma once

#include <QFont>

namespace pm {

// The face of the labels, tabs, status bar and record table, requested by its design name "宋体";
// a serif with distinct "l" and "1" stands in for it, and a Song-style serif where that lacks a
// character. The newer tabs and the dialogs keep the desktop's own face.
QFont songFont(qreal points, bool bold);

} // namespace pm
