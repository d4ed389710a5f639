#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

// What a test needs to see of an xlsx workbook: the cells of its first sheet with their texts and
// whether each is centred both ways. Read with the unzip tool.
struct SheetCell {
    int row = 0; // from 1
    int col = 0; // from 1
    QString text;
    bool centred = false;
    bool number = false;  // stored as a number (dates are numbers too), not as text
    QString numberFormat; // the format code of its style, "yyyy-mm-dd hh:mm:ss", "0.00"
};

struct SheetContents {
    bool ok = false;
    QString error;
    QString dimension; // the sheet's used range, "A1:G12"
    QList<SheetCell> cells;
    QString frozenCell;             // the top left cell of the part that scrolls, "A2"
    QMap<int, double> columnWidths; // by column from 1
    QString text(int row, int col) const;
    const SheetCell* cell(int row, int col) const;
};

// One member of a zip file, or empty when it is not there.
QByteArray unzipMember(const QString& zipPath, const QString& member);
SheetContents readFirstSheet(const QString& xlsxPath);
