#pragma once

#include <QByteArray>
#include <QString>

namespace pm {

// A new spreadsheet workbook with one sheet, built cell by cell. Every cell written is centred
// horizontally and vertically; an empty text makes a blank (but still centred) cell.
class WorkbookWriter {
public:
    virtual ~WorkbookWriter() = default;
    // Starts a new, empty workbook, dropping any unfinished one; false with a reason on failure.
    virtual bool begin(QString* why) = 0;
    // Row and column count from 1, as a spreadsheet does; the text is stored as text.
    virtual bool setCell(int row, int col, const QString& text, QString* why) = 0;
    // The finished workbook file. On failure `why` is the reason alone ("File too large"): the
    // caller names the file the workbook was meant for.
    virtual bool finish(QByteArray* file, QString* why) = 0;
};

} // namespace pm
