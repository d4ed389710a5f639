#pragma once

#include "platform/LinePrinter.h"

#include <QFont>
#include <QPainter>
#include <QPrinter>
#include <optional>

namespace pm {

// Lines of text on the system printer (or a PDF file), top to bottom in a fixed-pitch face,
// continuing on a new page whenever the page is full.
class QtLinePrinter : public LinePrinter {
public:
    QtLinePrinter();

    // The printer the print dialog configures.
    QPrinter& printer() { return printer_; }

    void setTopOffset(int twips) override;
    bool printLine(const QString& line) override;
    bool printPicture(const QImage& picture) override;
    bool printDrawing(const std::function<void(QPainter&, const QRectF&)>& draw) override;
    bool endDoc() override;
    QString error() const override { return error_; }

private:
    bool startDocument();
    // A document of one landscape page, the user's orientation back at endDoc().
    bool startLandscapePage();

    QPrinter printer_;
    QPainter painter_;
    QFont font_;
    int topOffsetTwips_ = 0;
    qreal y_ = 0; // top of the next line, device units from the printable area's top
    int linesOnPage_ = 0;
    std::optional<QPageLayout::Orientation> restoreOrientation_; // after a landscape picture
    QString error_;
};

} // namespace pm
