#pragma once

#include <QStringList>

namespace pm {

class ReadingTexts;

// The five-line text report of the real-time view, each line without its line end. The value
// texts are taken as shown: columns line up only as far as the texts have equal lengths.
QStringList viewReportLines(const ReadingTexts& panel);

} // namespace pm
