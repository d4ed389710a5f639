#include "records/Printing.h"

#include "platform/Alerts.h"
#include "platform/LinePrinter.h"
#include "platform/PrintDialog.h"
#include "records/PrintLines.h"
#include "records/TableText.h"
#include "records/ViewReport.h"

namespace pm {

namespace {
// About 8.8 mm between the top of the printable area and the real-time print-out.
constexpr int kViewTopOffsetTwips = 500;

void reportFailure(Alerts& alerts, const QString& why) {
    alerts.warn(QStringLiteral("Printing Error!"), QStringLiteral("Print Error.\r\n") + why);
}

// The dialog; false after a cancel or a reported failure.
bool printerChosen(PrintDialog& dialog, Alerts& alerts) {
    const DialogOutcome outcome = dialog.showPrinter();
    if (outcome.result == DialogResult::Failed)
        reportFailure(alerts, outcome.description);
    return outcome.result == DialogResult::Chosen;
}
} // namespace

void printClick(int realview, int reccount, const ReadingTexts& panel, const QDateTime& taken,
                const RecordTable& table, PrintDialog& dialog, LinePrinter& printer,
                Alerts& alerts) {
    if (!printerChosen(dialog, alerts))
        return;
    // The texts as they are now that the dialog has closed.
    QStringList lines;
    if (realview == -1) {
        printer.setTopOffset(kViewTopOffsetTwips);
        lines = viewPrintLines(panel) << QStringLiteral("        ") + readingTakenText(taken);
    } else {
        lines = tablePrintLines(table, blocksToWrite(reccount, table));
    }
    bool printed = true;
    for (const QString& line : lines) {
        if (!printer.printLine(line)) {
            printed = false; // the printer refuses every later line just the same
            break;
        }
    }
    if (!printer.endDoc() || !printed)
        reportFailure(alerts, printer.error());
}

void printPictureClick(const std::function<QImage()>& draw, PrintDialog& dialog,
                       LinePrinter& printer, Alerts& alerts) {
    if (!printerChosen(dialog, alerts))
        return;
    const bool printed = printer.printPicture(draw());
    if (!printer.endDoc() || !printed)
        reportFailure(alerts, printer.error());
}

void printDrawingClick(const std::function<void(QPainter&, const QRectF&)>& draw,
                       PrintDialog& dialog, LinePrinter& printer, Alerts& alerts) {
    if (!printerChosen(dialog, alerts))
        return;
    const bool printed = printer.printDrawing(draw);
    if (!printer.endDoc() || !printed)
        reportFailure(alerts, printer.error());
}

} // namespace pm
