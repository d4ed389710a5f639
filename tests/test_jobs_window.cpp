#include "Files.h"
#include "app/jobs/JobForm.h"
#include "app/jobs/JobGroup.h"
#include "app/jobs/JobsWindow.h"
#include "app/wiring/WiringPage.h"
#include "app/wiring/WiringTab.h"
#include "fakes/SimProcess.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pm;

namespace {

Panel reversedReading() {
    Panel p;
    for (const auto& [f, text] :
         std::initializer_list<std::pair<Field, const char*>>{{Field::U1, "100.00"},
                                                              {Field::U2, "100.00"},
                                                              {Field::I1, "5.000"},
                                                              {Field::I2, "5.000"},
                                                              {Field::P1, "0.2795"},
                                                              {Field::P2, "0.4990"},
                                                              {Field::PhaseU1U2, "300.0°"},
                                                              {Field::PhaseU1I1, "235.8°"},
                                                              {Field::PhaseU2I2, "355.8°"},
                                                              {Field::PhaseI1I2, "60.0°"}})
        p.setText(f, text);
    return p;
}

} // namespace

// The Wiring tab's Job group saves the live reading to the job open, and the Jobs window finds
// the job, shows the check and writes the report and the export.
TEST(JobsWindow, SavesTheLiveReadingAndShowsItInTheJobsWindow) {
    QTemporaryDir dir;
    WiringTab tab;
    tab.jobs.setLocation(*parseJobsLocation(dir.filePath("jobs.sqlite"), nullptr));
    WiringSettings settings;
    settings.commonTerminal = 2;
    tab.setSettings(settings);
    JobGroup group(tab.jobs, tab);
    QDateTime now(QDate(2026, 3, 2), QTime(10, 0), Qt::UTC);
    tab.clock = [&now] { return now; };
    auto* asFound = group.findChild<QPushButton*>("JobSaveAsFound");
    ASSERT_TRUE(asFound);
    EXPECT_FALSE(asFound->isEnabled()); // no job, no reading

    Job job;
    job.site = "Substation Nord";
    job.meter = "MTR-0042";
    job.ct = {200, 5};
    job.vt = {10000, 100};
    QString error;
    ASSERT_TRUE(tab.jobs.newJob(job, &error)) << error.toStdString();
    EXPECT_FALSE(asFound->isEnabled()); // still no reading
    tab.liveReading(reversedReading());
    group.refresh();
    ASSERT_TRUE(asFound->isEnabled());
    EXPECT_TRUE(group.findChild<QLabel*>("JobPrimary")->text().startsWith("Primary P 878.0 kW"));
    // The link lost: the reading shown is too old to be the installation as found.
    now = now.addMSecs(JobGroup::kFreshMsecs + 1);
    asFound->click();
    EXPECT_TRUE(tab.jobs.job()->checks.empty());
    EXPECT_TRUE(group.findChild<QLabel*>("JobSaveProblem")->text().contains("Not saved"));
    const QByteArray block = QByteArray::fromHex("10271027000000000101AA00BB00CC00DD0000008813");
    tab.liveReading(reversedReading(), block);
    asFound->click();
    ASSERT_EQ(tab.jobs.job()->checks.size(), 1u)
        << group.findChild<QLabel*>("JobSaveProblem")->text().toStdString();
    EXPECT_EQ(tab.jobs.job()->checks[0].kind, CheckKind::AsFound);
    EXPECT_EQ(tab.jobs.job()->checks[0].time, now); // when the reading came
    EXPECT_EQ(tab.jobs.job()->checks[0].block, block) << "the meter's own bytes are kept";
    EXPECT_TRUE(
        group.findChild<QLabel*>("JobCurrent")->toolTip().contains("1 as found, 0 as left"));

    // Found again by part of its meter number, from a fresh start.
    tab.jobs.close();
    group.find("0042");
    group.pick("1: Substation Nord, MTR-0042");
    ASSERT_TRUE(tab.jobs.job());
    EXPECT_EQ(tab.jobs.job()->checks.size(), 1u);
    const auto found = tab.jobs.find("nord", 20, &error);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->size(), 1u);

    JobsWindow window(tab.jobs);
    window.findChild<QLineEdit*>("JobsSite")->setText("nord");
    auto* list = window.findChild<QTableWidget*>("JobsList");
    ASSERT_EQ(list->rowCount(), 1);
    window.findChild<QLineEdit*>("JobsMeter")->setText("nothing like it");
    EXPECT_EQ(list->rowCount(), 0);
    window.findChild<QLineEdit*>("JobsMeter")->clear();
    window.openRow(0);
    EXPECT_TRUE(window.findChild<QLabel*>("JobsAsFound")->text().contains("K = 3.583"));
    EXPECT_EQ(window.findChild<QLabel*>("JobsAsLeft")->text(), "No check saved.");

    // A check saved on the tab shows in the open window at once.
    group.findChild<QPushButton*>("JobSaveAsLeft")->click();
    EXPECT_TRUE(window.findChild<QLabel*>("JobsAsLeft")->text().contains("K = 3.583"));

    ASSERT_TRUE(window.writeReport(dir.filePath("job.pdf"), &error)) << error.toStdString();
    EXPECT_TRUE(readFile(dir.filePath("job.pdf")).startsWith("%PDF"));
    ASSERT_TRUE(window.writeExport(dir.filePath("jobs.csv"), &error)) << error.toStdString();
    EXPECT_TRUE(readFile(dir.filePath("jobs.csv")).contains("1,Substation Nord,MTR-0042,200/5"));
    EXPECT_FALSE(window.writeExport(dir.filePath("no/such/folder/jobs.csv"), &error));
    EXPECT_TRUE(error.contains("Cannot write")) << error.toStdString();
}

// A job that cannot be saved says why in the group, and nothing is counted as saved.
TEST(JobsWindow, AStoreThatCannotOpenIsSaidInTheGroup) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeFile(dir.filePath("not-a-folder"), "x"));
    WiringTab tab;
    tab.jobs.setLocation(*parseJobsLocation(dir.filePath("not-a-folder/jobs.sqlite"), nullptr));
    QString error;
    Job job;
    job.site = "S";
    job.meter = "M";
    EXPECT_FALSE(tab.jobs.newJob(job, &error));
    EXPECT_TRUE(error.contains("Cannot open the jobs")) << error.toStdString();
    EXPECT_FALSE(tab.jobs.job());
}

// With PHASEMETER_SCREENSHOTS set (a folder): a job checked on the simulator as found (element 1's
// current transformer reversed) and as left, its registers entered, saved from the Jobs window.
TEST(JobsWindow, ScreenshotOfAJobCheckedOnTheSimulator) {
    const QString shots = qEnvironmentVariable("PHASEMETER_SCREENSHOTS");
    if (shots.isEmpty())
        GTEST_SKIP() << "takes the documentation's screenshot when PHASEMETER_SCREENSHOTS is set";
    QTemporaryDir dir;
    const QString store = dir.filePath("jobs.sqlite");
    const auto cli = [&](QStringList arguments) {
        arguments << "--jobs" << store;
        const CliRun run = runCli(arguments);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return QString::fromUtf8(run.out).trimmed();
    };
    const QString id =
        cli({"job", "new", "--site", "Substation Nord, feeder 4", "--meter", "MTR-0042", "--ct",
             "200/5", "--vt", "10000/100", "--engineer", "A. Volta"});
    for (const char* wiring : {"3p3w:ABC:-A:+C", "3p3w:ABC:+A:+C"}) {
        SimProcess sim({"--wiring", wiring, "--load-angle", "25.8"});
        ASSERT_TRUE(sim.ok());
        cli({"job", "check", id, wiring[9] == '-' ? "--as-found" : "--as-left", "--port",
             sim.device(), "--common", "2"});
    }
    cli({"job", "registers", id, "--from", "12000@2026-01-10", "--to", "12345.5@2026-03-02"});
    JobSession session;
    session.setLocation(*parseJobsLocation(store, nullptr));
    JobsWindow window(session);
    window.openRow(0);
    window.show();
    window.grab().save(QDir(shots).filePath("simulator-jobs.png"));

    // The Wiring tab with the job open and the reading of the fix.
    WiringTab tab;
    tab.jobs.setLocation(*parseJobsLocation(store, nullptr));
    QString error;
    ASSERT_TRUE(tab.jobs.open(id.toLongLong(), &error)) << error.toStdString();
    WiringSettings settings;
    settings.commonTerminal = 2;
    tab.setSettings(settings);
    tab.liveReading(checkPanel(*tab.jobs.job()->last(CheckKind::AsLeft)));
    WiringPage page(tab);
    page.resize(777, 449); // as the window lays it out
    page.refresh();
    page.show();
    page.grab().save(QDir(shots).filePath("simulator-wiring-job.png"));
}

TEST(JobsWindow, TheJobFormSaysWhatIsWrongAndDropsARecordingOfAnotherPeriod) {
    Job base;
    base.id = 3;
    base.from = RegisterReading{10, QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC)};
    base.to = RegisterReading{20, QDateTime(QDate(2026, 2, 1), QTime(0, 0), Qt::UTC)};
    base.recording = RecordingSummary{"log.csv", 1, 2, 0.5};
    JobFormTexts t;
    t.site = " Substation Nord ";
    t.meter = "MTR-1";
    t.ct = "200/5";
    t.vt = "10000/100";
    t.multiplier = "1";
    t.fromValue = "10";
    t.fromTime = base.from->time;
    t.toValue = "20";
    t.toTime = base.to->time;
    QString error;
    const std::optional<Job> same = readJobForm(base, t, &error);
    ASSERT_TRUE(same) << error.toStdString();
    EXPECT_EQ(same->site, "Substation Nord");
    EXPECT_TRUE(same->recording); // the same period keeps it

    t.toValue = "25";
    EXPECT_FALSE(readJobForm(base, t, &error)->recording);
    t.toValue.clear(); // not entered yet
    EXPECT_FALSE(readJobForm(base, t, &error)->to);

    const auto refused = [&](JobFormTexts bad, const char* why) {
        EXPECT_FALSE(readJobForm(base, bad, &error)) << why;
        EXPECT_TRUE(error.contains(QString::fromUtf8(why))) << error.toStdString();
    };
    JobFormTexts bad = t;
    bad.ct = "200/0";
    refused(bad, "CT ratio");
    bad = t;
    bad.multiplier = "0";
    refused(bad, "multiplier");
    bad = t;
    bad.fromValue = "12,000";
    refused(bad, "at the start");
    bad = t;
    bad.meter = " ";
    refused(bad, "meter number");
    bad = t;
    bad.toValue = "20";
    bad.recording = "/no/such/log.csv"; // judged with an as-found check the job lacks
    refused(bad, "as-found check");
}
