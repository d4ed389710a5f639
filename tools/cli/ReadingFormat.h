#pragma once

#include <QDateTime>
#include <QString>

namespace pm {
class ReadingTexts;
}

namespace pm::cli {

// The five-line report of the real-time view, each line ended by a newline.
QString reportText(const ReadingTexts& panel);

// CSV: a header, then per reading its time and every value of the panel, as shown but without
// the digit-group separators and the degree sign, so that spreadsheets read them as numbers.
QString csvHeader();
QString csvRow(const QDateTime& time, const ReadingTexts& panel);

} // namespace pm::cli
