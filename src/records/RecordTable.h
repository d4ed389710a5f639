#pragma once

#include "protocol/Reading.h"
#include "protocol/RecordSink.h"

#include <QString>
#include <vector>

namespace pm {

// Told about every change, so a view can follow the table without walking it.
class TableObserver {
public:
    virtual ~TableObserver() = default;
    virtual void rowsAboutToChange(int oldRows, int newRows) = 0;
    virtual void rowsChanged(int oldRows, int newRows) = 0;
    virtual void cellsChanged(int firstRow, int lastRow) = 0;
};

// The record table: 7 columns of cell texts, one block of 6 rows per record. Its texts are the
// only store of downloaded records.
class RecordTable : public RecordSink {
public:
    static constexpr int kCols = 7;
    static constexpr int kRowsPerBlock = 6;

    RecordTable();

    // The initial state: one block holding the headings of record 1 and no values.
    void gridinit();

    int rows() const { return rows_; }
    int cols() const { return kCols; }
    // Whole blocks held (the row count is always a multiple of 6).
    int blocks() const { return rows_ / kRowsPerBlock; }
    void setRows(int rows);

    // Cells outside the table read as "" and are not written. Every write is reported to the
    // observer once it has been made.
    QString text(int row, int col) const;
    void setText(int row, int col, const QString& text);

    ReadingTexts& beginRecord(int k) override;
    ReadingTexts& refillRecord(int k) override;
    void clearRecord(int k) override;
    // Whether block k shows any value of a reading (not only its headings).
    bool holdsReading(int k) const;
    // The text of one reading of record k (block k), "" when the table does not hold it.
    QString fieldText(int k, Field f) const;

    void setObserver(TableObserver* observer) { observer_ = observer; }

private:
    class Block : public ReadingTexts {
    public:
        explicit Block(RecordTable& table) : table_(table) {}
        int r0 = 0;
        QString text(Field f) const override;
        void setText(Field f, const QString& text) override;

    private:
        RecordTable& table_;
    };

    // A write that tells nobody: for callers that report a whole range afterwards.
    void write(int row, int col, const QString& text);
    void writeHeadings(int k);
    ReadingTexts& openBlock(int k);
    bool inside(int row, int col) const {
        return row >= 0 && row < rows_ && col >= 0 && col < kCols;
    }

    using BlockCells = std::array<QString, kRowsPerBlock * kCols>;

    int rows_ = 0;
    // A block's cells exist once one of them is written: growing the table past blocks whose
    // records never came costs a null pointer each.
    std::vector<std::unique_ptr<BlockCells>> blocks_;
    Block block_{*this};
    TableObserver* observer_ = nullptr;
};

} // namespace pm
