#pragma once

#include <QRectF>
#include <QString>
#include <functional>

class QImage;
class QPainter;

namespace pm {

// The system printer as the print-outs use it: lines of text one below the other in a
// fixed-pitch face, a new page whenever one is full, one document per print-out; or a picture
// that fills a page of its own.
class LinePrinter {
public:
    virtual ~LinePrinter() = default;
    // Moves the first line of the document down by `twips` (1/1440 inch) from the top of the
    // printable area. Only before the first line.
    virtual void setTopOffset(int twips) = 0;
    // Prints one line; false when the printer could not take it (see error()).
    virtual bool printLine(const QString& line) = 0;
    // Prints the picture as large as it fits on one landscape page, keeping its proportions.
    // Only as the whole of a document; false when the printer could not take it (see error()).
    virtual bool printPicture(const QImage& picture) = 0;
    // Prints one landscape page that `draw` paints, in units of 1/96 inch (ReportUnits.h) within
    // the printable area it is given: text and lines reach the printer as such. Only as the whole
    // of a document; false when the printer could not take it (see error()).
    virtual bool printDrawing(const std::function<void(QPainter&, const QRectF&)>& draw) = 0;
    // Ends the document and hands it to the printer; false when that failed (see error()).
    virtual bool endDoc() = 0;
    virtual QString error() const = 0;
};

} // namespace pm
