#include "cli/ReadingFormat.h"

#include "protocol/Reading.h"
#include "records/ViewReport.h"

namespace pm::cli {

QString reportText(const ReadingTexts& panel) {
    return viewReportLines(panel).join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace pm::cli
