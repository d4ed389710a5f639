#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace pm {

// A new spreadsheet workbook with one sheet, built cell by cell. Every cell written is centred
// horizontally and vertically; an empty text makes a blank (but still centred) cell.
class WorkbookWriter {
public:
    virtual ~WorkbookWriter() = default;
    // Starts a new, empty workbook, dropping any unfinished one; false with a reason on failure.
    virtual bool begin(QString* why) = 0;
    // The same for cells that will come row by row, from the top, each row from the left: the
    // writer may then keep only the row being written in memory, not the whole sheet.
    virtual bool beginInRowOrder(QString* why) { return begin(why); }
    // Row and column count from 1, as a spreadsheet does; the text is stored as text.
    virtual bool setCell(int row, int col, const QString& text, QString* why) = 0;
    // A number, shown with `decimals` digits after the point.
    virtual bool setNumber(int row, int col, double value, int decimals, QString* why) = 0;
    // A date and time (as the clock showed it, without its zone), shown "yyyy-mm-dd hh:mm:ss".
    virtual bool setDateTime(int row, int col, const QDateTime& time, QString* why) = 0;
    // The width of a column, in characters of the default font.
    virtual void setColumnWidth(int col, double characters) = 0;
    // The rows above `row` stay in view while the rest scrolls.
    virtual void freezeRowsAbove(int row) = 0;
    // The finished workbook file. On failure `why` is the reason alone ("File too large"): the
    // caller names the file the workbook was meant for.
    virtual bool finish(QByteArray* file, QString* why) = 0;
    // Drops an unfinished workbook and whatever it had written to temporary files.
    virtual void discard() = 0;
};

} // namespace pm
