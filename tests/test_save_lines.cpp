#include "Printers.h"
#include "RecordFixtures.h"
#include "protocol/Reading.h"
#include "records/PrintLines.h"
#include "records/RecordCsv.h"
#include "records/RecordTable.h"
#include "records/TableText.h"
#include "records/TextFile.h"
#include "records/ViewReport.h"

#include <gtest/gtest.h>

namespace {
const QString kDeg = QStringLiteral("\u00B0");

QList<int> lengths(const QStringList& lines) {
    QList<int> out;
    for (const QString& l : lines)
        out << int(l.size());
    return out;
}
} // namespace

TEST(SaveLines, ViewReportOfTheInitialPanelByteForByte) {
    const pm::Panel panel;
    const QByteArray expected = "           U/V     I/A     P/KW   Q/Kvar   S/KVA    PF   \r\n"
                                "  1CH:    0.00    0.0000  0.0000  0.0000   0.0000  1.000\r\n"
                                "  2CH:    0.00    0.0000  0.0000  0.0000   0.0000  1.000\r\n"
                                "  U1U2:  360.0\xB0    U1I1:  360.0\xB0    F:  0.00\r\n"
                                "  I1I2:  360.0\xB0    U2I2:  360.0\xB0\r\n";
    EXPECT_EQ(pm::textFileBytes(pm::viewReportLines(panel)), expected);
    EXPECT_EQ(lengths(pm::viewReportLines(panel)), (QList<int>{57, 56, 56, 44, 32}));
}

TEST(SaveLines, CodePageAndLineEnds) {
    EXPECT_EQ(pm::textFileBytes({}), QByteArray());
    EXPECT_EQ(pm::textFileBytes({QString(), QStringLiteral(" ")}), QByteArray("\r\n \r\n"));
    // The degree sign is one byte; what the code page lacks is replaced, never dropped.
    EXPECT_EQ(pm::textFileBytes({QStringLiteral("60.0\u00B0 \u20AC \u4E2D \U0001F600")}),
              QByteArray("60.0\xB0 \x80 ? ?\r\n"));
}

TEST(SaveLines, TableTextOfTheInitialTable) {
    const pm::RecordTable table;
    const int n = pm::blocksToWrite(0, table);
    EXPECT_EQ(n, 1);
    const QStringList lines = pm::tableTextLines(table, n);
    EXPECT_EQ(lines, (QStringList{"NO.1  U/V  I/A     P/KW   Q/Kvar  S/KVA     PF",
                                  "1CH:" + QString(12, u' '), "2CH:" + QString(12, u' '),
                                  "U1U2:      U1I1:      F/Hz:  ",
                                  "I1I2:      U2I2:" + QString(8, u' '), " "}));
    EXPECT_EQ(lengths(lines), (QList<int>{46, 16, 16, 29, 24, 1}));
}

TEST(SaveLines, TableTextOfThreeRecords) {
    pm::RecordTable table;
    downloadRecords(table, 3);
    const QStringList lines = pm::tableTextLines(table, pm::blocksToWrite(3, table));
    ASSERT_EQ(lines.size(), 18);
    EXPECT_EQ(lines.mid(0, 6),
              (QStringList{"NO.1  U/V  I/A     P/KW   Q/Kvar  S/KVA     PF",
                           "1CH:  220.00  1.2345  0.1358  0.2352  0.2716  0.500",
                           "2CH:  0.00  0.0000  0.0000  0.0000  0.0000  1.000",
                           "U1U2:  0.0" + kDeg + "    U1I1:  60.0" + kDeg + "    F/Hz:  50.00",
                           "I1I2:  0.0" + kDeg + "    U2I2:  0.0" + kDeg + "      ", " "}));
    EXPECT_EQ(lines.mid(6, 6),
              (QStringList{"NO.2  U/V  I/A     P/KW   Q/Kvar  S/KVA     PF",
                           "1CH:  220.00  5.000  1.1000  0.0000  1.1000  -1.000",
                           "2CH:  100.0  10.00  0.5450  0.8390  1.0000  -0.545",
                           "U1U2:  120.0" + kDeg + "    U1I1:  180.0" + kDeg + "    F/Hz:  49.98",
                           "I1I2:  360.0" + kDeg + "    U2I2:  122.5" + kDeg + "      ", " "}));
    EXPECT_TRUE(lines[12].startsWith("NO.3  U/V"));
    EXPECT_EQ(lines[17], " ");
}

TEST(SaveLines, BlocksFollowTheCountButNeverPassTheTable) {
    pm::RecordTable table;
    downloadRecords(table, 3);
    EXPECT_EQ(pm::blocksToWrite(3, table), 3);
    EXPECT_EQ(pm::blocksToWrite(2, table), 2) << "the count, not the table, says how many";
    EXPECT_EQ(pm::blocksToWrite(0, table), 1);
    EXPECT_EQ(pm::blocksToWrite(-5, table), 1);
    EXPECT_EQ(pm::blocksToWrite(20, table), 3) << "a download that ended early";
    table.gridinit(); // "Clear" keeps reccount
    EXPECT_EQ(pm::blocksToWrite(3, table), 1);
    EXPECT_EQ(pm::tableTextLines(table, pm::blocksToWrite(3, table)).size(), 6);
}

TEST(PrintLines, RealTimePrintOutOfTheInitialPanel) {
    const pm::Panel panel;
    const QStringList lines = pm::viewPrintLines(panel);
    const QString indent(8, u' ');
    EXPECT_EQ(lines,
              (QStringList{
                  QString(5, u' '),
                  QString(17, u' ') + "  U/V     I/A     P/KW   Q/Kvar   S/KVA    PF   ",
                  indent + "  1CH:    0.00    0.0000  0.0000  0.0000   0.0000  1.000",
                  indent + "  2CH:    0.00    0.0000  0.0000  0.0000   0.0000  1.000",
                  indent + "  U1U2:  360.0" + kDeg + "    U1I1:  360.0" + kDeg + "    F/Hz:  0.00",
                  indent + "  I1I2:  360.0" + kDeg + "    U2I2:  360.0" + kDeg, QString(5, u' ')}));
    EXPECT_EQ(lengths(lines), (QList<int>{5, 65, 64, 64, 55, 40, 5}));
}

TEST(PrintLines, RecordPrintOut) {
    pm::RecordTable table;
    const QString indent(8, u' ');
    EXPECT_EQ(pm::tablePrintLines(table, pm::blocksToWrite(0, table)),
              (QStringList{"  ", indent + "NO.1  U/V  I/A     P/KW   Q/Kvar  S/KVA     PF",
                           indent + "1CH:" + QString(12, u' '), indent + "2CH:" + QString(12, u' '),
                           indent + "U1U2:      U1I1:      F/Hz:    ",
                           indent + "I1I2:      U2I2:" + QString(10, u' '), "  "}));

    downloadRecords(table, 3);
    const QStringList lines = pm::tablePrintLines(table, pm::blocksToWrite(3, table));
    ASSERT_EQ(lines.size(), 21);
    EXPECT_EQ(lines[2], indent + "1CH:  220.00  1.2345  0.1358  0.2352  0.2716  0.500");
    EXPECT_EQ(lines[4],
              indent + "U1U2:  0.0" + kDeg + "    U1I1:  60.0" + kDeg + "    F/Hz:  50.00  ");
    EXPECT_EQ(lines[8], indent + "NO.2  U/V  I/A     P/KW   Q/Kvar  S/KVA     PF");
    EXPECT_EQ(lines[15], indent + "NO.3  U/V  I/A     P/KW   Q/Kvar  S/KVA     PF");
    EXPECT_EQ(lines[20], "  ");
}

TEST(RecordCsv, OneLinePerRecordWithPlainNumbers) {
    pm::RecordTable table;
    downloadRecords(table, 4);
    const QStringList lines = pm::recordCsvLines(table, 4);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], "record,U1/V,I1/A,P1/kW,Q1/kvar,S1/kVA,PF1,U2/V,I2/A,P2/kW,Q2/kvar,S2/kVA,"
                        "PF2,U1U2/deg,I1I2/deg,U1I1/deg,U2I2/deg,F/Hz");
    EXPECT_EQ(lines[1], "1,220.00,1.2345,0.1358,0.2352,0.2716,0.500,0.00,0.0000,0.0000,0.0000,"
                        "0.0000,1.000,0.0,0.0,60.0,0.0,50.00");
    EXPECT_TRUE(lines[4].startsWith("4,32767,327.67,10736.7600,")) << lines[4].toStdString();

    // A record whose reply never came keeps its place, without values.
    pm::RecordTable gappy;
    pm::recordin(2, readingVectors()[0].block, gappy);
    EXPECT_EQ(pm::recordCsvLines(gappy, 2)[1], "1" + QString(17, u','));
}
