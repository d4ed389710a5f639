#include "Files.h"
#include "Printers.h"
#include "RecordFixtures.h"
#include "WorkbookReader.h"
#include "fakes/FakeOutputs.h"
#include "platform/DiskFileStore.h"
#include "platform/XlsxWorkbookWriter.h"
#include "records/Toexcel.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Toexcel, EveryCellColumnByColumnOneRowAndColumnOn) {
    pm::RecordTable table;
    downloadRecords(table, 2);
    FakeWorkbook workbook;
    pm::DiskFileStore files;
    QTemporaryDir tmp;
    QString why;
    ASSERT_TRUE(pm::toexcel(table, tmp.filePath("t.xls"), workbook, files, &why))
        << why.toStdString();
    ASSERT_EQ(workbook.cells.size(), 12 * 7);
    int k = 0;
    for (int c = 0; c < 7; ++c)
        for (int r = 0; r < 12; ++r, ++k) {
            EXPECT_EQ(workbook.cells[k].row, r + 1);
            EXPECT_EQ(workbook.cells[k].col, c + 1);
            EXPECT_EQ(workbook.cells[k].text, table.text(r, c));
        }
}

TEST(Toexcel, AFailingCellWritesNothing) {
    pm::RecordTable table;
    FakeWorkbook workbook;
    pm::DiskFileStore files;
    QTemporaryDir tmp;
    const QString path = tmp.filePath("t.xls");
    QString why;
    workbook.failAtCell = 3;
    EXPECT_FALSE(pm::toexcel(table, path, workbook, files, &why));
    EXPECT_EQ(why, "cell refused");
    EXPECT_FALSE(QFile::exists(path));
}

TEST(XlsxWorkbook, TheLargestDownloadIsExportedWhole) {
    pm::RecordTable table;
    downloadRecords(table, 10000); // the last record a meter can be asked for
    pm::XlsxWorkbookWriter writer;
    pm::DiskFileStore files;
    QTemporaryDir tmp;
    const QString path = tmp.filePath("all.xls");
    QString why;
    ASSERT_TRUE(pm::toexcel(table, path, writer, files, &why)) << why.toStdString();
    const SheetContents sheet = readFirstSheet(path);
    ASSERT_TRUE(sheet.ok) << sheet.error.toStdString();
    EXPECT_EQ(sheet.dimension, "A1:G60000");
    EXPECT_EQ(sheet.cells.size(), 60000 * 7);
    EXPECT_EQ(sheet.text(59995, 1), "NO.10000");
    EXPECT_EQ(sheet.text(59996, 2), table.text(59995, 1));
}

TEST(XlsxWorkbook, InitialTableReadBack) {
    pm::RecordTable table;
    pm::XlsxWorkbookWriter writer;
    pm::DiskFileStore files;
    QTemporaryDir tmp;
    const QString path = tmp.filePath("Zandrel2026-07-12.xls");
    QString why;
    ASSERT_TRUE(pm::toexcel(table, path, writer, files, &why)) << why.toStdString();

    EXPECT_TRUE(readFile(path).startsWith("PK\x03\x04")) << "an Office Open XML package";
    const SheetContents sheet = readFirstSheet(path);
    ASSERT_TRUE(sheet.ok) << sheet.error.toStdString();
    EXPECT_EQ(sheet.dimension, "A1:G6");
    ASSERT_EQ(sheet.cells.size(), 6 * 7) << "empty cells are written too";
    const QStringList row1{"NO.1", "U/V", "I/A", "P/KW", "Q/Kvar", "S/KVA", "PF"};
    for (int c = 1; c <= 7; ++c)
        EXPECT_EQ(sheet.text(1, c), row1[c - 1]);
    EXPECT_EQ(sheet.text(2, 1), "1CH:");
    EXPECT_EQ(sheet.text(3, 1), "2CH:");
    EXPECT_EQ(sheet.text(4, 1), "U1U2:");
    EXPECT_EQ(sheet.text(4, 3), "U1I1:");
    EXPECT_EQ(sheet.text(4, 5), "F/Hz:");
    EXPECT_EQ(sheet.text(5, 1), "I1I2:");
    EXPECT_EQ(sheet.text(5, 3), "U2I2:");
    EXPECT_EQ(sheet.text(2, 2), "");
    EXPECT_EQ(sheet.text(6, 7), "");
    for (const SheetCell& c : sheet.cells)
        EXPECT_TRUE(c.centred) << "row " << c.row << " column " << c.col;
}

TEST(XlsxWorkbook, DownloadedRecordsAsTextsAndAReplacedFile) {
    pm::RecordTable table;
    downloadRecords(table, 3);
    pm::XlsxWorkbookWriter writer;
    pm::DiskFileStore files;
    QTemporaryDir tmp;
    const QString path = tmp.filePath("records.xls");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'x'));
    old.close();

    QString why;
    ASSERT_TRUE(pm::toexcel(table, path, writer, files, &why)) << why.toStdString();
    const SheetContents sheet = readFirstSheet(path);
    ASSERT_TRUE(sheet.ok) << sheet.error.toStdString();
    EXPECT_EQ(sheet.dimension, "A1:G18");
    EXPECT_EQ(sheet.cells.size(), 18 * 7);
    for (int r = 0; r < 18; ++r)
        for (int c = 0; c < 7; ++c)
            EXPECT_EQ(sheet.text(r + 1, c + 1), table.text(r, c)) << r << "," << c;
    EXPECT_EQ(sheet.text(7, 1), "NO.2");
    EXPECT_EQ(sheet.text(10, 4), "180.0\u00B0") << "the degree sign survives";
    EXPECT_EQ(sheet.text(6, 1), "");
    EXPECT_EQ(sheet.text(12, 1), "");

    // The writer is reusable, and each workbook starts empty.
    pm::RecordTable small;
    ASSERT_TRUE(pm::toexcel(small, path, writer, files, &why)) << why.toStdString();
    EXPECT_EQ(readFirstSheet(path).dimension, "A1:G6");
}

TEST(XlsxWorkbook, LibraryErrorsAreReported) {
    pm::XlsxWorkbookWriter writer;
    QString why;
    QByteArray file;
    EXPECT_FALSE(writer.setCell(1, 1, "x", &why)) << "nothing begun";
    EXPECT_FALSE(writer.finish(&file, &why));
    ASSERT_TRUE(writer.begin(&why));
    EXPECT_FALSE(writer.setCell(0, 1, "x", &why));
    EXPECT_FALSE(writer.setCell(1, 20000, "x", &why)) << "beyond the sheet's columns";
    EXPECT_TRUE(why.startsWith("The workbook could not be written")) << why.toStdString();
    EXPECT_FALSE(writer.setCell(1, 1, QString(40000, u'x'), &why)) << "longer than a cell holds";
    EXPECT_TRUE(writer.setCell(1, 1, "ok", &why));
    EXPECT_TRUE(writer.finish(&file, &why));
    EXPECT_TRUE(file.startsWith("PK"));
}
