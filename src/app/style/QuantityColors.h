#pragma once

#include "protocol/Reading.h"

#include <QColor>
#include <Qt>

namespace pm {

// How each quantity looks wherever it is drawn (the phasor diagram, the trend, their legends), so
// that a user who knows one view reads the other at a glance: channel 1 in warm colours, channel 2
// in cool ones, the angles between the channels and the frequency in colours of their own. A
// voltage and the current of its channel share a colour; the current is dashed.
QColor quantityColor(Field f);
Qt::PenStyle quantityLineStyle(Field f);
// The colour of a channel's voltage and current (0: channel 1, 1: channel 2).
QColor channelColor(int channel);

} // namespace pm
