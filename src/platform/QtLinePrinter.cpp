#include "platform/QtLinePrinter.h"

#include <QDir>
#include <QFontDatabase>
#include <QFontMetricsF>

namespace pm {

QtLinePrinter::QtLinePrinter() : printer_(QPrinter::HighResolution) {
    // The print-outs line their columns up with blanks: they need a face of one width.
    font_ = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font_.setStyleHint(QFont::TypeWriter);
    font_.setFixedPitch(true);
    font_.setPointSizeF(10);
}

void QtLinePrinter::setTopOffset(int twips) {
    if (!painter_.isActive())
        topOffsetTwips_ = twips;
}

bool QtLinePrinter::startDocument() {
    error_.clear();
    if (!painter_.begin(&printer_)) {
        const QString file = printer_.outputFileName();
        error_ =
            file.isEmpty()
                ? QStringLiteral("The printer %1 could not be started.").arg(printer_.printerName())
                : QStringLiteral("%1 could not be written.").arg(QDir::toNativeSeparators(file));
        return false;
    }
    painter_.setFont(QFont(font_, &printer_));
    painter_.setPen(Qt::black);
    y_ = topOffsetTwips_ * qreal(printer_.logicalDpiY()) / 1440.0;
    linesOnPage_ = 0;
    return true;
}

bool QtLinePrinter::printLine(const QString& line) {
    if (!painter_.isActive() && !startDocument())
        return false;
    const QFontMetricsF metrics(painter_.font(), &printer_);
    // A painter on a printer does not continue by itself: a full page is ended here.
    if (linesOnPage_ > 0 && y_ + metrics.height() > printer_.height()) {
        if (!printer_.newPage()) {
            error_ = QStringLiteral("The printer could not start a new page.");
            return false;
        }
        y_ = 0;
        linesOnPage_ = 0;
    }
    painter_.drawText(QPointF(0, y_ + metrics.ascent()), line);
    y_ += metrics.lineSpacing();
    ++linesOnPage_;
    return true;
}

bool QtLinePrinter::endDoc() {
    topOffsetTwips_ = 0;
    if (!painter_.isActive())
        return error_.isEmpty();
    if (!painter_.end()) {
        error_ = QStringLiteral("The document could not be finished.");
        return false;
    }
    return true;
}

} // namespace pm
