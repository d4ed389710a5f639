#include "Files.h"
#include "WorkbookReader.h"
#include "app/trend/TrendSaving.h"
#include "app/trend/TrendTab.h"
#include "app/window/ExportDialog.h"
#include "fakes/FakeDialogs.h"
#include "fakes/FakeOutputs.h"
#include "fakes/WaitUntil.h"
#include "platform/DiskFileStore.h"
#include "platform/Export.h"
#include "platform/XlsxWorkbookWriter.h"
#include "records/Saving.h"
#include "records/Toexcel.h"
#include "trend/TrendCsv.h"

#include <QDir>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

using pm::Field;

namespace {

// The Trend tab saving through the window's exporter: a thread of its own and a progress bar.
struct TrendExport : ::testing::Test {
    QTemporaryDir tmp;
    QTemporaryDir scratch; // the system's temporary folder while the test runs
    QByteArray oldTmpdir = qgetenv("TMPDIR");
    QWidget window;
    pm::ExportDialog exports{window};
    FakeSaveDialog dialog;
    FakeOpenDialog opener;
    pm::DiskFileStore files;
    FakeSnapshot snapshot;
    pm::XlsxWorkbookWriter workbook;
    FakeAlerts alerts;
    pm::SaveServices services{dialog, files, snapshot, workbook, alerts, tmp.path()};
    pm::TrendTab tab{services, opener, alerts};
    const QDateTime start{QDate(2026, 7, 12), QTime(8, 0, 0)};
    qint64 elapsed = 0;
    pm::Panel panel;

    void SetUp() override {
        qputenv("TMPDIR", scratch.path().toLocal8Bit());
        ASSERT_EQ(QDir::tempPath(), QDir(scratch.path()).canonicalPath());
        services.exporter = &exports;
        tab.clock = [this] { return start.addMSecs(elapsed); };
        tab.follow(pm::TrendViewport::Span::All);
    }
    void TearDown() override {
        if (oldTmpdir.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", oldTmpdir);
    }
    void readings(int n) {
        for (int k = 0; k < n; ++k) {
            elapsed += 1000;
            panel.setText(
                Field::U1,
                QStringLiteral("%1.%2").arg(220 + k % 20).arg(k % 100, 2, 10, QLatin1Char('0')));
            tab.liveReading(panel);
        }
    }
    QStringList filesIn(const QString& folder) const {
        return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
};

} // namespace

// Cancel, before the export has written anything: no file, no temporary file, and the file of
// that name that was there stays as it was.
TEST_F(TrendExport, ACancelledExportLeavesNoFileAndTheOldOneAsItWas) {
    readings(3000);
    ASSERT_TRUE(writeFile(tmp.filePath("week.xlsx"), "old"));
    dialog.answers << FakeSaveDialog::chosen(4, "week.xlsx");
    tab.saveClicked(QImage());
    ASSERT_TRUE(exports.busy());
    QProgressDialog* bar = exports.progressDialog();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->maximum(), 1000);
    QPushButton* cancel = bar->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), "Cancel");
    cancel->click();
    ASSERT_TRUE(waitUntil([&] { return !exports.busy(); }, 60'000));

    EXPECT_EQ(readFile(tmp.filePath("week.xlsx")), "old");
    EXPECT_EQ(filesIn(tmp.path()), QStringList{"week.xlsx"});
    EXPECT_TRUE(filesIn(scratch.path()).isEmpty()) << "the workbook's temporary files are gone";
    EXPECT_TRUE(alerts.shown.isEmpty()) << "a cancel is no failure";

    // The next export runs as if nothing had happened.
    dialog.answers << FakeSaveDialog::chosen(4, "week.xlsx");
    tab.saveClicked(QImage());
    ASSERT_TRUE(waitUntil([&] { return !exports.busy(); }, 60'000));
    const SheetContents sheet = readFirstSheet(tmp.filePath("week.xlsx"));
    ASSERT_TRUE(sheet.ok) << sheet.error.toStdString();
    EXPECT_EQ(sheet.dimension, "A1:S3001");
}

// While a workbook is written the window's thread is free: readings come in, are recorded and
// plotted; the file holds the readings as they were when Save was pressed.
TEST_F(TrendExport, ReadingsAreRecordedWhileAnExportRunsAndTheFileHoldsThoseOfTheClick) {
    readings(2000);
    const QString log = tmp.filePath("log.csv");
    ASSERT_TRUE(tab.startRecording(log));
    const QByteArray expected = pm::trendCsvText(tab.shown(), 0, tab.shown().size());

    dialog.answers << FakeSaveDialog::chosen(3, "shown.csv");
    tab.saveClicked(QImage());
    ASSERT_TRUE(exports.busy());
    readings(5); // the export has not been handed back yet: these come in while it runs
    ASSERT_TRUE(waitUntil([&] { return !exports.busy(); }, 60'000));
    readings(1);

    EXPECT_TRUE(readFile(tmp.filePath("shown.csv")) == expected);
    EXPECT_EQ(tab.shown().size(), 2006u);
    QString why;
    ASSERT_TRUE(tab.recorder().stopRecording(&why)) << why.toStdString();
    EXPECT_EQ(readFile(log).count('\n'), 1 + 6) << "the header and every reading since";
    EXPECT_TRUE(alerts.shown.isEmpty());
}

// The record table's workbook stops at a cancel, dropping what it had built.
TEST(TableExport, ACancelledWorkbookIsDroppedUnfinished) {
    pm::TableCells cells(60, QStringList(7, QStringLiteral("230.00")));
    FakeWorkbook workbook;
    pm::ExportProgress progress;
    progress.cancel();
    QByteArray file;
    QString why;
    EXPECT_FALSE(pm::tableWorkbook(cells, "t.xls", workbook, &file, &why, &progress));
    EXPECT_EQ(workbook.discarded, 1);
    EXPECT_TRUE(file.isEmpty());

    pm::ExportProgress running;
    int last = 0;
    running.moved = [&](int permille) { last = permille; };
    ASSERT_TRUE(pm::tableWorkbook(cells, "t.xls", workbook, &file, &why, &running));
    EXPECT_EQ(workbook.cells.size(), 60 * 7);
    EXPECT_GT(last, 800);
}
