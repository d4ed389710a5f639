#include "platform/QtLinePrinter.h"

#include "platform/ReportUnits.h"

#include <QDir>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>

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

bool QtLinePrinter::startLandscapePage() {
    if (painter_.isActive()) {
        error_ = QStringLiteral("A picture is printed on a document of its own.");
        return false;
    }
    // The user's choice of orientation is for the text print-outs; it comes back at endDoc().
    restoreOrientation_ = printer_.pageLayout().orientation();
    printer_.setPageOrientation(QPageLayout::Landscape);
    return startDocument();
}

bool QtLinePrinter::printDrawing(const std::function<void(QPainter&, const QRectF&)>& draw) {
    if (!startLandscapePage())
        return false;
    painter_.save();
    draw(painter_, reportUnits(painter_, QRectF(0, 0, printer_.width(), printer_.height())));
    painter_.restore();
    return true;
}

bool QtLinePrinter::printPicture(const QImage& picture) {
    if (!startLandscapePage())
        return false;
    const QSize page(printer_.width(), printer_.height());
    const QSize fitted = picture.size().scaled(page, Qt::KeepAspectRatio);
    const QRect target(QPoint((page.width() - fitted.width()) / 2, 0), fitted);
    painter_.setRenderHint(QPainter::SmoothPixmapTransform);
    painter_.drawImage(target, picture);
    return true;
}

bool QtLinePrinter::endDoc() {
    topOffsetTwips_ = 0;
    bool ended = error_.isEmpty();
    if (painter_.isActive() && !painter_.end()) {
        error_ = QStringLiteral("The document could not be finished.");
        ended = false;
    }
    if (restoreOrientation_) {
        printer_.setPageOrientation(*restoreOrientation_);
        restoreOrientation_.reset();
    }
    return ended;
}

} // namespace pm
