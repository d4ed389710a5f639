#include "records/RecordTable.h"

#include <algorithm>
#include <utility>

namespace pm {

namespace {
// Where each reading of a record goes, relative to the block's first row.
std::pair<int, int> cellOf(Field f) {
    switch (f) {
    case Field::U1:
        return {1, 1};
    case Field::U2:
        return {2, 1};
    case Field::I1:
        return {1, 2};
    case Field::I2:
        return {2, 2};
    case Field::P1:
        return {1, 3};
    case Field::P2:
        return {2, 3};
    case Field::Q1:
        return {1, 4};
    case Field::Q2:
        return {2, 4};
    case Field::S1:
        return {1, 5};
    case Field::S2:
        return {2, 5};
    case Field::PF1:
        return {1, 6};
    case Field::PF2:
        return {2, 6};
    case Field::PhaseU1U2:
        return {3, 1};
    case Field::PhaseI1I2:
        return {4, 1};
    case Field::PhaseU1I1:
        return {3, 3};
    case Field::PhaseU2I2:
        return {4, 3};
    case Field::Freq:
        return {3, 5};
    }
    return {5, 6};
}
} // namespace

RecordTable::RecordTable() {
    gridinit();
}

void RecordTable::gridinit() {
    setRows(kRowsPerBlock);
    blocks_[0].reset();
    writeHeadings(1);
    // One report for the whole block, after every cell of it has its final text.
    if (observer_)
        observer_->cellsChanged(0, rows_ - 1);
}

void RecordTable::setRows(int rows) {
    if (rows < 0 || rows == rows_)
        return;
    const int old = rows_;
    if (observer_)
        observer_->rowsAboutToChange(old, rows);
    // A cut drops the rows with their texts: rows that come back later are new, empty rows.
    const size_t keptBlocks = size_t((std::min(old, rows) + kRowsPerBlock - 1) / kRowsPerBlock);
    blocks_.resize(keptBlocks);
    blocks_.resize(size_t((rows + kRowsPerBlock - 1) / kRowsPerBlock));
    if (rows < old && rows % kRowsPerBlock != 0 && blocks_.back())
        for (int r = rows % kRowsPerBlock; r < kRowsPerBlock; ++r)
            for (int c = 0; c < kCols; ++c)
                (*blocks_.back())[size_t(r * kCols + c)].clear();
    rows_ = rows;
    if (observer_)
        observer_->rowsChanged(old, rows);
}

QString RecordTable::text(int row, int col) const {
    if (!inside(row, col))
        return {};
    const auto& block = blocks_[size_t(row / kRowsPerBlock)];
    return block ? (*block)[size_t(row % kRowsPerBlock * kCols + col)] : QString();
}

void RecordTable::setText(int row, int col, const QString& text) {
    if (!inside(row, col))
        return;
    write(row, col, text);
    if (observer_)
        observer_->cellsChanged(row, row);
}

void RecordTable::write(int row, int col, const QString& text) {
    if (!inside(row, col))
        return;
    auto& block = blocks_[size_t(row / kRowsPerBlock)];
    if (!block)
        block = std::make_unique<BlockCells>();
    (*block)[size_t(row % kRowsPerBlock * kCols + col)] = text;
}

void RecordTable::writeHeadings(int k) {
    const int r0 = kRowsPerBlock * (k - 1);
    write(r0, 0, QStringLiteral("NO.") + QString::number(k));
    const char* const headings[] = {"U/V", "I/A", "P/KW", "Q/Kvar", "S/KVA", "PF"};
    for (int c = 1; c < kCols; ++c)
        write(r0, c, QString::fromLatin1(headings[c - 1]));
    write(r0 + 1, 0, QStringLiteral("1CH:"));
    write(r0 + 2, 0, QStringLiteral("2CH:"));
    write(r0 + 3, 0, QStringLiteral("U1U2:"));
    write(r0 + 4, 0, QStringLiteral("I1I2:"));
    write(r0 + 3, 2, QStringLiteral("U1I1:"));
    write(r0 + 4, 2, QStringLiteral("U2I2:"));
    write(r0 + 3, 4, QStringLiteral("F/Hz:"));
}

ReadingTexts& RecordTable::beginRecord(int k) {
    // Only the rows of block k are touched: the cost of a record does not grow with its index.
    setRows(kRowsPerBlock * k);
    return openBlock(k);
}

ReadingTexts& RecordTable::refillRecord(int k) {
    setRows(std::max(rows_, kRowsPerBlock * k));
    return openBlock(k);
}

void RecordTable::clearRecord(int k) {
    if (k < 1 || k > blocks())
        return;
    blocks_[size_t(k - 1)].reset();
    writeHeadings(k);
    const int r0 = kRowsPerBlock * (k - 1);
    if (observer_)
        observer_->cellsChanged(r0, r0 + kRowsPerBlock - 1);
}

ReadingTexts& RecordTable::openBlock(int k) {
    writeHeadings(k);
    block_.r0 = kRowsPerBlock * (k - 1);
    if (observer_)
        observer_->cellsChanged(block_.r0, block_.r0 + kRowsPerBlock - 1);
    // The readings follow through setText, each reported as it is written.
    return block_;
}

bool RecordTable::holdsReading(int k) const {
    if (k < 1 || k > blocks())
        return false;
    for (int f = 0; f < kFieldCount; ++f)
        if (!fieldText(k, Field(f)).isEmpty())
            return true;
    return false;
}

QString RecordTable::fieldText(int k, Field f) const {
    const auto [dr, c] = cellOf(f);
    return text(kRowsPerBlock * (k - 1) + dr, c);
}

QString RecordTable::Block::text(Field f) const {
    const auto [dr, c] = cellOf(f);
    return table_.text(r0 + dr, c);
}

void RecordTable::Block::setText(Field f, const QString& text) {
    const auto [dr, c] = cellOf(f);
    table_.setText(r0 + dr, c, text);
}

} // namespace pm
