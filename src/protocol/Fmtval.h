#pragma once

#include <QString>
#include <QStringView>

namespace pm {

// The one formatter of every displayed or tabulated reading: rounded half away from zero to a fixed
// number of decimals, "," between groups of three integer digits, a digit always before the point.
// The value arrives in single precision and is rounded from its 7-significant-digit decimal form.
QString fmtval(float value, int decimals);

// The number a reading text shows, read from its start: optional "-", integer digits (","
// separators skipped), optional "." and decimals. Anything after it (a degree sign) is ignored;
// a text with no digits reads as 0.
double textValue(QStringView text);

// Rounds to whole units the way fmtval does and reads the result back.
double roundedWhole(double value);

} // namespace pm
