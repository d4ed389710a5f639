#pragma once

#include <QDateTime>
#include <QStringList>

namespace pm {

class ReadingTexts;

// The five-line text report of the real-time view, each line without its line end. The value
// texts are taken as shown: columns line up only as far as the texts have equal lengths.
QStringList viewReportLines(const ReadingTexts& panel);

// "Reading taken 2026-12-08 09:07:23", or "No reading taken" when there is none. The saved report
// gives it on a sixth line, after the five readers rely on.
QString readingTakenText(const QDateTime& taken);

} // namespace pm
