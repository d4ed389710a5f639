#pragma once

#include <QString>

namespace pm {
class ReadingTexts;
}

namespace pm::cli {

// The five-line report of the real-time view, each line ended by a newline.
QString reportText(const ReadingTexts& panel);

} // namespace pm::cli
