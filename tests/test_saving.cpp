#include "Files.h"
#include "Printers.h"
#include "RecordFixtures.h"
#include "fakes/FakeDialogs.h"
#include "fakes/FakeOutputs.h"
#include "platform/DiskFileStore.h"
#include "protocol/Reading.h"
#include "records/Saving.h"
#include "records/TableText.h"
#include "records/TextFile.h"
#include "records/ViewReport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {
FakeSaveDialog::Answer chosen(int type = 0, const QString& name = {}) {
    return FakeSaveDialog::chosen(type, name);
}
FakeSaveDialog::Answer cancelled() {
    return FakeSaveDialog::cancelled();
}
FakeSaveDialog::Answer failed(const QString& why) {
    return FakeSaveDialog::failed(why);
}

struct Saving : ::testing::Test {
    QTemporaryDir tmp;
    FakeSaveDialog dialog;
    pm::DiskFileStore files;
    FakeSnapshot snapshot;
    FakeWorkbook workbook;
    FakeAlerts alerts;
    pm::Panel panel;
    pm::RecordTable table;
    pm::SaveServices services{
        dialog, files, snapshot, workbook, alerts, tmp.filePath("Zandrel"), [] {
            return QDateTime(QDate(2026, 7, 12), QTime(9, 9, 41));
        }};

    // The view's report: the five lines of the panel, then the time of its reading.
    QByteArray viewReport(const QDateTime& taken = {}) const {
        return pm::textFileBytes(pm::viewReportLines(panel) << pm::readingTakenText(taken));
    }
    QString inFolder(const QString& name) const { return QDir(services.folder).filePath(name); }
    void saveView() { pm::saveClick(-1, 0, panel, {}, table, services); }
    void saveTable(int reccount) { pm::saveClick(0, reccount, panel, {}, table, services); }
    QStringList folderEntries() const {
        return QDir(services.folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }
};
} // namespace

TEST_F(Saving, FirstViewSaveOffersThePictureAndWritesTheWindowAsItWas) {
    ASSERT_FALSE(QFileInfo::exists(services.folder));
    dialog.whileOpen = [&] { EXPECT_EQ(snapshot.taken, 1) << "taken before the dialog opens"; };
    dialog.answers << chosen();
    saveView();

    ASSERT_EQ(dialog.requests.size(), 1);
    const pm::SaveRequest& r = dialog.requests[0];
    EXPECT_EQ(r.filter, "jpg (*.jpg)|*.jpg|txt (*.txt)|*.txt|");
    EXPECT_EQ(r.fileName, "Zandrel2026-07-12 0909 Realtime");
    EXPECT_EQ(r.defaultExt, ".jpg");
    EXPECT_EQ(r.initDir, services.folder);
    EXPECT_TRUE(QFileInfo(services.folder).isDir()) << "the default folder is created";
    EXPECT_EQ(readFile(inFolder("Zandrel2026-07-12 0909 Realtime.jpg")), "JPEG picture 1");
    EXPECT_TRUE(alerts.shown.isEmpty());
}

TEST_F(Saving, SaveDispatchesByView) {
    pm::saveClick(-1, 0, panel, {}, table, services);
    pm::saveClick(0, 0, panel, {}, table, services);
    pm::saveClick(1, 0, panel, {}, table, services);
    ASSERT_EQ(dialog.requests.size(), 3);
    EXPECT_EQ(dialog.requests[0].filter, pm::kViewFilter);
    EXPECT_EQ(dialog.requests[1].filter, "txt (*.txt)|*.txt|excel (*.xls)|*.xls|");
    EXPECT_EQ(dialog.requests[1].defaultExt, ".txt");
    EXPECT_EQ(dialog.requests[2].filter, pm::kTableFilter);
    EXPECT_EQ(snapshot.taken, 1) << "no picture is taken for the table";
}

TEST_F(Saving, TheChosenTypeCarriesOverToEitherSave) {
    dialog.answers << chosen(2); // view as text
    saveView();
    dialog.answers << chosen(); // the table comes up with the workbook type
    saveTable(0);
    EXPECT_EQ(dialog.requests[1].defaultExt, ".xls");
    EXPECT_TRUE(QFileInfo::exists(inFolder("Zandrel2026-07-12 0909 Records.xls")));

    dialog.answers << chosen(); // and the view with the text type, still with a picture taken
    saveView();
    EXPECT_EQ(dialog.requests[2].defaultExt, ".txt");
    EXPECT_EQ(snapshot.taken, 2);
    EXPECT_EQ(readFile(inFolder("Zandrel2026-07-12 0909 Realtime.txt")), viewReport());

    dialog.answers << chosen(1); // table as text
    saveTable(0);
    dialog.answers << chosen();
    saveView();
    EXPECT_EQ(dialog.requests[4].defaultExt, ".jpg");
    EXPECT_EQ(readFile(inFolder("Zandrel2026-07-12 0909 Realtime.jpg")), "JPEG picture 3");
    EXPECT_TRUE(alerts.shown.isEmpty());
}

TEST_F(Saving, TheReportKeepsItsFiveLinesAndGivesTheTimeOfItsReadingAfterThem) {
    panel.setText(pm::Field::U1, "228.40");
    const QDateTime taken(QDate(2026, 7, 12), QTime(9, 7, 23));
    dialog.answers << chosen(2, "taken.txt");
    pm::saveClick(-1, 0, panel, taken, table, services);
    const QByteArray file = readFile(inFolder("taken.txt"));
    const QByteArray five = pm::textFileBytes(pm::viewReportLines(panel));
    EXPECT_TRUE(file.startsWith(five)) << "readers of the five lines find them unchanged";
    EXPECT_EQ(file.mid(five.size()), "Reading taken 2026-07-12 09:07:23\r\n");
    EXPECT_EQ(viewReport(), five + "No reading taken\r\n");

    // A reading that comes while the dialog is open is written with its own time.
    QDateTime last = taken;
    dialog.whileOpen = [&] {
        panel.setText(pm::Field::U1, "229.10");
        last = last.addSecs(1);
    };
    dialog.answers << chosen(2, "later.txt");
    pm::saveClick(-1, 0, panel, last, table, services);
    EXPECT_EQ(readFile(inFolder("later.txt")), viewReport(taken.addSecs(1)));
}

TEST_F(Saving, TheTypeNotTheNameDecidesTheContent) {
    dialog.answers << chosen(2, "report.jpg");
    saveView();
    EXPECT_EQ(readFile(inFolder("report.jpg")), viewReport());

    dialog.answers << chosen(1, "table.xls");
    saveTable(0);
    EXPECT_EQ(readFile(inFolder("table.xls")), pm::textFileBytes(pm::tableTextLines(table, 1)));
    EXPECT_EQ(workbook.begun, 0);
}

TEST_F(Saving, TheReportShowsThePanelAsItIsWhenTheDialogCloses) {
    dialog.whileOpen = [&] { panel.setText(pm::Field::U1, "221.50"); };
    dialog.answers << chosen(2, "live.txt");
    saveView();
    const QByteArray file = readFile(inFolder("live.txt"));
    EXPECT_TRUE(file.contains("  1CH:    221.50    0.0000")) << file.toStdString();
}

TEST_F(Saving, TableTextFileOfThreeRecordsAndAfterClear) {
    downloadRecords(table, 3);
    dialog.answers << chosen(1, "three");
    saveTable(3);
    const QByteArray three = readFile(inFolder("three.txt"));
    EXPECT_EQ(three, pm::textFileBytes(pm::tableTextLines(table, 3)));
    EXPECT_EQ(three.count("\r\n"), 18);
    EXPECT_TRUE(three.contains("U1U2:  120.0\xB0    U1I1:  180.0\xB0    F/Hz:  49.98\r\n"));

    table.gridinit(); // "Clear" leaves reccount at 3
    dialog.answers << chosen(1, "cleared.txt");
    saveTable(3);
    EXPECT_EQ(readFile(inFolder("cleared.txt")),
              "NO.1  U/V  I/A     P/KW   Q/Kvar  S/KVA     PF\r\n"
              "1CH:            \r\n2CH:            \r\n"
              "U1U2:      U1I1:      F/Hz:  \r\nI1I2:      U2I2:        \r\n \r\n");
}

TEST_F(Saving, WorkbookGoesUnderTheChosenName) {
    downloadRecords(table, 2);
    dialog.answers << chosen(2, "records.xls");
    saveTable(2);
    const QByteArray file = readFile(inFolder("records.xls"));
    EXPECT_EQ(workbook.cells.size(), 12 * 7);
    EXPECT_TRUE(file.startsWith("1,1=NO.1\n2,1=1CH:\n")) << file.left(40).toStdString();
    EXPECT_TRUE(alerts.shown.isEmpty());
}

TEST_F(Saving, TheLargestDownloadIsSavedWholeAsTextAndWorkbook) {
    downloadRecords(table, 10000);
    dialog.answers << chosen(1, "all.txt") << chosen(2, "all.xls");
    saveTable(10000);
    const QByteArray text = readFile(inFolder("all.txt"));
    EXPECT_EQ(text.count("\r\n"), 60000);
    EXPECT_EQ(text.count("NO."), 10000);
    EXPECT_TRUE(text.contains("\r\n \r\nNO.10000  U/V"));
    saveTable(10000);
    ASSERT_EQ(workbook.cells.size(), 60000 * 7);
    EXPECT_EQ(workbook.cells.back().row, 60000);
    EXPECT_TRUE(alerts.shown.isEmpty());
}

TEST_F(Saving, CancelWritesNothingAndSaysNothing) {
    QDir().mkpath(services.folder);
    ASSERT_TRUE(writeFile(inFolder("Zandrel2026-07-12 0909 Realtime.jpg"), "old picture"));
    dialog.answers << cancelled();
    saveView();
    dialog.answers << cancelled();
    saveTable(0);
    EXPECT_EQ(folderEntries(), QStringList{"Zandrel2026-07-12 0909 Realtime.jpg"});
    EXPECT_EQ(readFile(inFolder("Zandrel2026-07-12 0909 Realtime.jpg")), "old picture");
    EXPECT_TRUE(alerts.shown.isEmpty());
    EXPECT_EQ(workbook.begun, 0);

    dialog.answers << chosen(); // and the next save works as usual
    saveView();
    EXPECT_EQ(readFile(inFolder("Zandrel2026-07-12 0909 Realtime.jpg")), "JPEG picture 2");
}

TEST_F(Saving, AnExistingFileChosenIsReplaced) {
    QDir().mkpath(services.folder);
    ASSERT_TRUE(writeFile(inFolder("old.txt"), QByteArray(5000, 'x')));
    dialog.answers << chosen(2, "old.txt");
    saveView();
    EXPECT_EQ(readFile(inFolder("old.txt")), viewReport());
    EXPECT_TRUE(alerts.shown.isEmpty());
}

// As root a read-only folder does not stop a write, so the failures are made in ways that hold
// for every user: a target that is a folder, a folder that does not exist, and a name so long
// that no temporary file can be made beside the existing file.
TEST_F(Saving, AFailedSaveIsReportedAndKeepsTheOldFile) {
    QDir().mkpath(inFolder("taken.txt/inner"));
    dialog.answers << chosen(2, "taken.txt");
    saveView();
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].first, "Saving Error!");
    EXPECT_TRUE(alerts.shown[0].second.startsWith("Save Error.\r\n"))
        << alerts.shown[0].second.toStdString();
    EXPECT_GT(alerts.shown[0].second.size(), 14) << "the reason follows";
    EXPECT_TRUE(QFileInfo(inFolder("taken.txt/inner")).isDir());

    dialog.answers << chosen(1, tmp.filePath("missing/dir/x.txt"));
    saveTable(0);
    EXPECT_EQ(alerts.shown.size(), 2);
    EXPECT_FALSE(QFileInfo::exists(tmp.filePath("missing")));

    const QString longName = QString(250, u'n') + ".txt"; // 254 characters: the longest name left
    ASSERT_TRUE(writeFile(inFolder(longName), "the old report"));
    dialog.answers << chosen(2, longName);
    saveView();
    EXPECT_EQ(alerts.shown.size(), 3);
    EXPECT_EQ(readFile(inFolder(longName)), "the old report");

    workbook.failAtCell = 20;
    dialog.answers << chosen(2, longName);
    saveTable(0);
    EXPECT_EQ(alerts.shown.size(), 4);
    EXPECT_TRUE(alerts.shown[3].second.endsWith("cell refused"));
    EXPECT_EQ(readFile(inFolder(longName)), "the old report");

    if (geteuid() != 0) { // where permissions hold, a read-only folder too
        QFile::setPermissions(services.folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        dialog.answers << chosen(2, longName);
        saveView();
        EXPECT_EQ(alerts.shown.size(), 5);
        QFile::setPermissions(services.folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ExeOwner);
        EXPECT_EQ(readFile(inFolder(longName)), "the old report");
    }
    const QStringList left = folderEntries();
    for (const QString& name : left)
        EXPECT_FALSE(name.contains(".txt.")) << "no temporary file is left: " << name.toStdString();
}

TEST_F(Saving, DialogAndPictureFailuresAreReported) {
    dialog.answers << failed("dialog broke");
    saveView();
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].second, "Save Error.\r\ndialog broke");

    snapshot.fail = true;
    dialog.answers << chosen();
    saveView();
    ASSERT_EQ(alerts.shown.size(), 2);
    EXPECT_EQ(alerts.shown[1].second, "Save Error.\r\nno picture");
    EXPECT_TRUE(folderEntries().isEmpty());
}

TEST_F(Saving, DefaultFolderThatCannotBeMadeIsReportedAndTheDialogStillOpens) {
    ASSERT_TRUE(writeFile(tmp.filePath("plain"), "a file, not a folder"));
    services.folder = tmp.filePath("plain/Zandrel");
    dialog.answers << chosen(2, tmp.filePath("elsewhere.txt"));
    saveView();
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].first, "Saving Error!");
    EXPECT_TRUE(alerts.shown[0].second.contains("Zandrel")) << alerts.shown[0].second.toStdString();
    ASSERT_EQ(dialog.requests.size(), 1);
    EXPECT_TRUE(dialog.requests[0].initDir.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(tmp.filePath("elsewhere.txt")));

    // A file that has the folder's name is left alone and not reported.
    services.folder = tmp.filePath("plain");
    dialog.answers << cancelled();
    saveView();
    EXPECT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(readFile(tmp.filePath("plain")), "a file, not a folder");
}

TEST(SavingNames, DefaultNameIsAValidFileNameOnEverySystem) {
    const QDateTime morning(QDate(2026, 12, 7), QTime(9, 9, 59));
    EXPECT_EQ(pm::defaultFileName(morning), "Zandrel2026-12-07 0909");
    EXPECT_EQ(pm::defaultFileName(morning, "Records"), "Zandrel2026-12-07 0909 Records");
    EXPECT_EQ(pm::defaultFileName(QDateTime(QDate(1999, 1, 31), QTime(23, 0)), "Realtime"),
              "Zandrel1999-01-31 2300 Realtime");
    EXPECT_FALSE(pm::defaultSaveFolder().isEmpty());
#ifndef Q_OS_WIN
    EXPECT_EQ(pm::defaultSaveFolder(), QDir::home().filePath("Zandrel"));
#endif
}
