#include "Printers.h"
#include "TestVectors.h"
#include "app/recall/RecordTableModel.h"
#include "protocol/Download.h"
#include "records/RecordTable.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {
// The model over a table, with a log of what a view is told.
struct TableModel : ::testing::Test {
    pm::RecordTable table;
    pm::RecordTableModel model{table};
    QStringList told;
    QByteArray block = readingVector("worked_example").block;

    void SetUp() override {
        QObject::connect(&model, &QAbstractItemModel::rowsInserted, &model,
                         [this](const QModelIndex&, int first, int last) {
                             told << QStringLiteral("insert %1-%2").arg(first).arg(last);
                         });
        QObject::connect(&model, &QAbstractItemModel::rowsRemoved, &model,
                         [this](const QModelIndex&, int first, int last) {
                             told << QStringLiteral("remove %1-%2").arg(first).arg(last);
                         });
    }
    QString at(int row, int col) const { return model.data(model.index(row, col)).toString(); }
};
} // namespace

TEST_F(TableModel, GrowsAndShrinksByWholeBlocks) {
    EXPECT_EQ(model.rowCount(), 6);
    EXPECT_EQ(model.columnCount(), 7);
    pm::recordin(1, block, table);
    EXPECT_TRUE(told.isEmpty()) << "record 1 fits the initial block";
    pm::recordin(2, block, table);
    pm::recordin(5, block, table);
    EXPECT_EQ(told, QStringList({"insert 6-11", "insert 12-29"}));
    EXPECT_EQ(model.rowCount(), 30);
    told.clear();
    pm::recordin(1, block, table);
    EXPECT_EQ(told, QStringList({"remove 6-29"}));
    told.clear();
    pm::recordin(3, block, table);
    table.gridinit();
    EXPECT_EQ(told, QStringList({"insert 6-17", "remove 6-17"}));
    EXPECT_EQ(at(0, 0), "NO.1");
    EXPECT_EQ(at(1, 1), "") << "Clear empties block 1 as well";
}

TEST_F(TableModel, ReportsEveryCellAfterItsTextIsWritten) {
    // A view reads the cell when it is told; it must find the new text, not the old one.
    QMap<QPair<int, int>, QString> seen;
    QObject::connect(&model, &QAbstractItemModel::dataChanged, &model,
                     [&](const QModelIndex& tl, const QModelIndex& br) {
                         for (int r = tl.row(); r <= br.row(); ++r)
                             for (int c = tl.column(); c <= br.column(); ++c)
                                 seen[{r, c}] = at(r, c);
                     });
    pm::recordin(2, block, table);
    EXPECT_EQ(seen.value({6, 0}), "NO.2");
    EXPECT_EQ(seen.value({7, 1}), "220.00");
    EXPECT_EQ(seen.value({7, 6}), "0.500");
    EXPECT_EQ(seen.value({9, 5}), "50.00");
    EXPECT_EQ(seen.value({8, 3}), "0.0000");

    pm::recordin(1, block, table);
    seen.clear();
    table.gridinit();
    EXPECT_EQ(seen.value({1, 1}, "untold"), "");
    EXPECT_EQ(seen.value({0, 0}), "NO.1");
}

TEST_F(TableModel, LargestRecordIndexNeedsNo16BitRows) {
    pm::recordin(32767, block, table);
    EXPECT_EQ(model.rowCount(), 196602);
    EXPECT_EQ(at(196596, 0), "NO.32767");
    EXPECT_EQ(at(196597, 1), "220.00");
    EXPECT_EQ(told, QStringList({"insert 6-196601"}));
}
