#pragma once

#include <QDateTime>
#include <QImage>
#include <QRectF>
#include <functional>

class QPainter;

namespace pm {

class Alerts;
class LinePrinter;
class PrintDialog;
class ReadingTexts;
class RecordTable;

// "Print": after the printer dialog, the real-time view (realview -1) with the time of its
// reading (`taken`, invalid: none, read with the panel once the dialog has closed) or the record
// blocks as lines of text, one document. A cancel is silent; a failing dialog or printer beeps and
// says why.
void printClick(int realview, int reccount, const ReadingTexts& panel, const QDateTime& taken,
                const RecordTable& table, PrintDialog& dialog, LinePrinter& printer,
                Alerts& alerts);

// "Print" on a view that is a picture: after the printer dialog, the picture `draw` makes then,
// on one landscape page. Cancel and failures as above.
void printPictureClick(const std::function<QImage()>& draw, PrintDialog& dialog,
                       LinePrinter& printer, Alerts& alerts);

// "Print" on a view that is a report: after the printer dialog, one landscape page that `draw`
// paints then (in report units within the area it is given). Cancel and failures as above.
void printDrawingClick(const std::function<void(QPainter&, const QRectF&)>& draw,
                       PrintDialog& dialog, LinePrinter& printer, Alerts& alerts);

} // namespace pm
