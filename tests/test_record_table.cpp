#include "Printers.h"
#include "TestVectors.h"
#include "protocol/Download.h"
#include "records/RecordTable.h"

#include <gtest/gtest.h>

namespace {
void expectInitial(const pm::RecordTable& t) {
    EXPECT_EQ(t.rows(), 6);
    EXPECT_EQ(t.cols(), 7);
    const QStringList row0{"NO.1", "U/V", "I/A", "P/KW", "Q/Kvar", "S/KVA", "PF"};
    for (int c = 0; c < 7; ++c)
        EXPECT_EQ(t.text(0, c), row0[c]);
    EXPECT_EQ(t.text(1, 0), "1CH:");
    EXPECT_EQ(t.text(2, 0), "2CH:");
    EXPECT_EQ(t.text(3, 0), "U1U2:");
    EXPECT_EQ(t.text(4, 0), "I1I2:");
    EXPECT_EQ(t.text(3, 2), "U1I1:");
    EXPECT_EQ(t.text(4, 2), "U2I2:");
    EXPECT_EQ(t.text(3, 4), "F/Hz:");
    for (int c = 1; c < 7; ++c) {
        EXPECT_EQ(t.text(1, c), "");
        EXPECT_EQ(t.text(2, c), "");
        EXPECT_EQ(t.text(5, c), "");
    }
    for (auto [r, c] :
         {std::pair{3, 1}, {3, 3}, {3, 5}, {3, 6}, {4, 1}, {4, 3}, {4, 4}, {4, 5}, {4, 6}})
        EXPECT_EQ(t.text(r, c), "") << r << "," << c;
}
} // namespace

TEST(RecordTable, InitialStateAndClearFromAnyState) {
    pm::RecordTable table;
    expectInitial(table);
    const QByteArray block = readingVector("worked_example").block;
    for (int k = 1; k <= 20; ++k)
        pm::recordin(k, block, table);
    EXPECT_EQ(table.rows(), 120);
    table.gridinit();
    expectInitial(table); // the values of record 1 are gone too
    table.gridinit();
    expectInitial(table);
}

TEST(RecordTable, RecordTwoWorkedExample) {
    pm::RecordTable table;
    pm::recordin(2, readingVector("worked_example").block, table);
    EXPECT_EQ(table.rows(), 12);
    EXPECT_EQ(table.text(6, 0), "NO.2");
    const QStringList ch1{"220.00", "1.2345", "0.1358", "0.2352", "0.2716", "0.500"};
    const QStringList ch2{"0.00", "0.0000", "0.0000", "0.0000", "0.0000", "1.000"};
    for (int c = 1; c <= 6; ++c) {
        EXPECT_EQ(table.text(7, c), ch1[c - 1]);
        EXPECT_EQ(table.text(8, c), ch2[c - 1]);
    }
    EXPECT_EQ(table.text(9, 1), "0.0\u00B0");
    EXPECT_EQ(table.text(9, 3), "60.0\u00B0");
    EXPECT_EQ(table.text(9, 5), "50.00");
    EXPECT_EQ(table.text(10, 1), "0.0\u00B0");
    EXPECT_EQ(table.text(10, 3), "0.0\u00B0");
    for (auto [r, c] : {std::pair{9, 6}, {10, 4}, {10, 5}, {10, 6}})
        EXPECT_EQ(table.text(r, c), "");
    for (int c = 0; c < 7; ++c)
        EXPECT_EQ(table.text(11, c), "");
}

TEST(RecordTable, BlocksFollowTheLastRecordAndCutRowsComeBackEmpty) {
    pm::RecordTable table;
    const QByteArray block = readingVector("worked_example").block;
    for (int k = 1; k <= 20; ++k)
        pm::recordin(k, block, table);
    pm::recordin(1, block, table); // a new download of 2 cuts the table back...
    pm::recordin(2, block, table);
    EXPECT_EQ(table.rows(), 12);
    pm::recordin(4, block, table); // ...and a missing record 3 leaves its block empty
    EXPECT_EQ(table.rows(), 24);
    for (int r = 12; r < 18; ++r)
        for (int c = 0; c < 7; ++c)
            EXPECT_EQ(table.text(r, c), "") << r;
    EXPECT_EQ(table.text(18, 0), "NO.4");
}

TEST(RecordTable, UnknownVoltageRangeInANewBlockLeavesTheCellEmptyAndNoLoad) {
    pm::RecordTable table;
    QByteArray block = readingVector("worked_example").block;
    block[8] = 0;
    pm::recordin(3, block, table);
    EXPECT_EQ(table.text(13, 1), "");
    EXPECT_EQ(table.text(13, 5), "0.0000");
    EXPECT_EQ(table.text(13, 6), "1.000");
}

TEST(RecordTable, LargestCountFitsWithoutOverflow) {
    pm::RecordTable table;
    pm::recordin(32767, readingVector("worked_example").block, table);
    EXPECT_EQ(table.rows(), 6 * 32767);
    EXPECT_EQ(table.text(6 * 32766, 0), "NO.32767");
    EXPECT_EQ(table.text(6 * 32766 + 1, 1), "220.00");
    EXPECT_EQ(table.text(0, 0), "NO.1") << "block 1 keeps its headings";
}
