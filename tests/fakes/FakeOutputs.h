#pragma once

#include "platform/Alerts.h"
#include "platform/LinePrinter.h"
#include "platform/WindowSnapshot.h"
#include "platform/WorkbookWriter.h"

#include <QImage>
#include <QList>
#include <QMap>
#include <QPainter>
#include <QPair>
#include <QStringList>

// Messages the user would have seen; questions answered with `answer`.
class FakeAlerts : public pm::Alerts {
public:
    QList<QPair<QString, QString>> shown; // title, text
    QList<QPair<QString, QString>> asked; // title, question
    bool answer = false;
    void warn(const QString& title, const QString& text) override { shown.append({title, text}); }
    bool ask(const QString& title, const QString& question) override {
        asked.append({title, question});
        return answer;
    }
};

// A window picture that is a numbered token, so a test sees which picture was written.
class FakeSnapshot : public pm::WindowSnapshot {
public:
    int taken = 0;
    bool fail = false;
    void take() override { ++taken; }
    bool jpeg(QByteArray* bytes, QString* why) const override {
        if (fail || taken == 0) {
            *why = QStringLiteral("no picture");
            return false;
        }
        *bytes = "JPEG picture " + QByteArray::number(taken);
        return true;
    }
};

// Collects the cells in the order written; the "file" lists them one per line.
class FakeWorkbook : public pm::WorkbookWriter {
public:
    struct Cell {
        int row, col;
        QString text;
        enum Kind { Text, Number, DateTime } kind = Text;
    };
    QList<Cell> cells;
    QMap<int, double> widths;
    int frozenAbove = 0;
    int begun = 0;
    int failAtCell = -1; // index of a cell whose write fails

    int discarded = 0;
    void discard() override {
        ++discarded;
        cells.clear();
    }
    bool begin(QString*) override {
        ++begun;
        cells.clear();
        return true;
    }
    bool setCell(int row, int col, const QString& text, QString* why) override {
        if (cells.size() == failAtCell) {
            *why = QStringLiteral("cell refused");
            return false;
        }
        cells.append({row, col, text, Cell::Text});
        return true;
    }
    bool setNumber(int row, int col, double value, int decimals, QString* why) override {
        if (!setCell(row, col, QString::number(value, 'f', decimals), why))
            return false;
        cells.last().kind = Cell::Number;
        return true;
    }
    bool setDateTime(int row, int col, const QDateTime& time, QString* why) override {
        if (!setCell(row, col, time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")), why))
            return false;
        cells.last().kind = Cell::DateTime;
        return true;
    }
    void setColumnWidth(int col, double characters) override { widths[col] = characters; }
    void freezeRowsAbove(int row) override { frozenAbove = row; }
    bool finish(QByteArray* file, QString*) override {
        file->clear();
        for (const Cell& c : cells)
            *file += QStringLiteral("%1,%2=%3\n").arg(c.row).arg(c.col).arg(c.text).toUtf8();
        return true;
    }
};

// A printer that keeps its lines and pictures; it can refuse to start.
class FakeLinePrinter : public pm::LinePrinter {
public:
    QStringList lines;
    QList<QImage> pictures;
    int topOffset = 0;
    int documents = 0;
    bool refuse = false;

    void setTopOffset(int twips) override { topOffset = twips; }
    bool printLine(const QString& line) override {
        if (refuse)
            return false;
        lines << line;
        return true;
    }
    bool printPicture(const QImage& picture) override {
        if (refuse)
            return false;
        pictures << picture;
        return true;
    }
    // A drawing is kept as the A4 landscape page it makes at 96 dpi.
    bool printDrawing(const std::function<void(QPainter&, const QRectF&)>& draw) override {
        if (refuse)
            return false;
        QImage page(1123, 794, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter p(&page);
        draw(p, QRectF(45, 45, 1033, 704));
        pictures << page;
        return true;
    }
    bool endDoc() override {
        ++documents;
        return !refuse;
    }
    QString error() const override {
        return refuse ? QStringLiteral("printer offline") : QString();
    }
};
