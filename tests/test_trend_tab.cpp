#include "Files.h"
#include "Printers.h"
#include "WorkbookReader.h"
#include "app/trend/TrendReadout.h"
#include "app/trend/TrendSaving.h"
#include "app/trend/TrendTab.h"
#include "fakes/DiskFaults.h"
#include "fakes/FakeDialogs.h"
#include "fakes/FakeOutputs.h"
#include "fakes/GatedStore.h"
#include "fakes/WaitUntil.h"
#include "platform/DiskFileStore.h"
#include "platform/XlsxWorkbookWriter.h"
#include "records/Saving.h"
#include "trend/TrendCsv.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using pm::Field;
using pm::TrendSide;
using pm::TrendUnit;

namespace {

struct TrendTabTest : ::testing::Test {
    QTemporaryDir tmp;
    FakeSaveDialog dialog;
    FakeOpenDialog opener;
    pm::DiskFileStore files;
    FakeSnapshot snapshot;
    FakeWorkbook workbook;
    FakeAlerts alerts;
    pm::SaveServices services{dialog, files, snapshot, workbook, alerts, tmp.path(), [] {
                                  return QDateTime(QDate(2026, 7, 12), QTime(8, 0));
                              }};
    pm::TrendTab tab{services, opener, alerts};
    const QDateTime start{QDate(2026, 7, 12), QTime(8, 0, 0)};
    qint64 elapsed = 0; // ms since start
    pm::Panel panel;

    void SetUp() override {
        tab.clock = [this] { return start.addMSecs(elapsed); };
    }
    // A reading with U1 showing `volts`, `secs` seconds after the one before.
    void reading(const QString& volts, double secs = 1) {
        elapsed += qint64(secs * 1000);
        panel.setText(Field::U1, volts);
        tab.liveReading(panel);
    }
    QString path(const QString& name) const { return tmp.filePath(name); }
    QStringList linesOf(const QString& name) const {
        return QString::fromUtf8(readFile(path(name))).split('\n', Qt::SkipEmptyParts);
    }
};

} // namespace

TEST(TrendSelection, ShowsAtMostTwoUnitsOneAxisEach) {
    pm::TrendSelection s;
    EXPECT_EQ(s.unitOn(TrendSide::Left), TrendUnit::Volt);
    EXPECT_EQ(s.unitOn(TrendSide::Right), TrendUnit::Ampere);

    // A third unit takes the axis of the unit ticked longest ago, whose quantities go.
    s.setChecked(Field::P1, true);
    EXPECT_EQ(s.unitOn(TrendSide::Left), TrendUnit::Kilowatt);
    EXPECT_EQ(s.unitOn(TrendSide::Right), TrendUnit::Ampere);
    EXPECT_EQ(s.checked(), (std::vector<Field>{Field::I1, Field::I2, Field::P1}));

    // A unit leaves its axis with its last quantity; the next one takes that axis.
    s.setChecked(Field::I1, false);
    EXPECT_EQ(s.unitOn(TrendSide::Right), TrendUnit::Ampere);
    s.setChecked(Field::I2, false);
    EXPECT_FALSE(s.unitOn(TrendSide::Right));
    s.setChecked(Field::PhaseU1I1, true);
    s.setChecked(Field::PhaseU2I2, true);
    EXPECT_EQ(s.unitOn(TrendSide::Right), TrendUnit::Degree);
    s.setChecked(Field::Freq, true);
    EXPECT_EQ(s.unitOn(TrendSide::Left), TrendUnit::Hertz);
    EXPECT_EQ(s.checked(), (std::vector<Field>{Field::PhaseU1I1, Field::PhaseU2I2, Field::Freq}));
}

TEST(TrendViewport, FollowsTheLatestUntilZoomedOrPanned) {
    using Span = pm::TrendViewport::Span;
    pm::TrendViewport v;
    v.follow(Span::Last10Minutes);
    // The latest stays a fiftieth of the span inside the right edge.
    EXPECT_EQ(v.range(0, 3'600'000).to, 3'612'000);
    EXPECT_EQ(v.range(0, 3'600'000).from, 3'012'000);

    // The wheel keeps the time under the mouse where it is; the span then stays put.
    v.zoom(0.5, 3'312'000, 0, 3'600'000);
    EXPECT_FALSE(v.following());
    EXPECT_FALSE(v.span());
    EXPECT_EQ(v.range(0, 7'200'000).from, 3'162'000);
    EXPECT_EQ(v.range(0, 7'200'000).to, 3'462'000);
    v.pan(-150'000, 0, 7'200'000);
    EXPECT_EQ(v.range(0, 7'200'000).from, 3'012'000);
    EXPECT_EQ(v.range(0, 7'200'000).length(), 300'000) << "a drag keeps the span's length";

    // "Follow latest" keeps the length the user zoomed to.
    v.setFollowing(true, 0, 7'200'000);
    EXPECT_EQ(v.range(0, 7'200'000).to, 7'206'000);
    EXPECT_EQ(v.range(0, 7'200'000).length(), 300'000);

    v.follow(Span::All);
    EXPECT_EQ(v.range(1'000, 7'200'000).from, 1'000);
    EXPECT_EQ(v.range(1'000, 7'200'000).to, 7'200'000 + 7'199'000 / 50);
}

TEST(TrendViewport, ZoomStopsAtTenSecondsAndDragsStopAtTheEnds) {
    pm::TrendViewport v;
    v.follow(pm::TrendViewport::Span::LastMinute);
    for (int n = 0; n < 20; ++n)
        v.zoom(0.5, 100'000, 0, 120'000);
    EXPECT_EQ(v.range(0, 120'000).length(), pm::TrendViewport::kMinLength);

    v.pan(-1'000'000, 0, 120'000);
    EXPECT_EQ(v.range(0, 120'000).from, 0) << "not before the first reading";
    v.pan(+1'000'000, 0, 120'000);
    EXPECT_EQ(v.range(0, 120'000).to, 120'000 + 10'000 / 50) << "nor past the end";
    EXPECT_EQ(v.range(0, 120'000).length(), pm::TrendViewport::kMinLength);
}

TEST(TrendAxes, TimeTicksFallOnRoundInstantsWhateverTheSpan) {
    const QDateTime day(QDate(2026, 7, 12), QTime(0, 0));
    auto ticks = [&](qint64 from, qint64 to, int most = 7) {
        QStringList labels;
        for (const pm::TimeTick& t : pm::trendTimeTicks(from, to, most))
            labels << t.label;
        return labels;
    };
    const qint64 at = day.addSecs(19 * 3600 + 10 * 60 + 13).toMSecsSinceEpoch() + 400;
    EXPECT_EQ(ticks(at, at + 60'000), (QStringList{"19:10:20", "19:10:30", "19:10:40", "19:10:50",
                                                   "19:11:00", "19:11:10"}));
    EXPECT_EQ(ticks(at, at + 3'600'000),
              (QStringList{"19:20", "19:30", "19:40", "19:50", "20:00", "20:10"}));
    // A day: every six hours, midnight named by its date.
    EXPECT_EQ(ticks(at, at + 86'400'000),
              (QStringList{"00:00", "06:00", "12:00", "18:00"}).replaceInStrings("00:00", "07-13"));
    // A week: midnights.
    EXPECT_EQ(ticks(at, at + 7 * 86'400'000LL, 8),
              (QStringList{"07-13", "07-14", "07-15", "07-16", "07-17", "07-18", "07-19"}));
    for (const pm::TimeTick& t : pm::trendTimeTicks(at, at + 600'000, 7))
        EXPECT_EQ(QDateTime::fromMSecsSinceEpoch(t.msecs).time().second(), 0)
            << t.label.toStdString();
}

TEST(TrendAxes, ValueRangesStayWithinWhatTheQuantityCanBe) {
    using pm::TrendUnit;
    // A current of nothing, a voltage near zero: no negative values on the axis.
    EXPECT_EQ(pm::trendLeftScale(0, 0, TrendUnit::Ampere).min, 0);
    EXPECT_EQ(pm::trendLeftScale(0.2, 3.1, TrendUnit::Volt).min, 0);
    EXPECT_EQ(pm::trendLeftScale(49.95, 50.02, TrendUnit::Hertz).max, 50.02);
    EXPECT_LE(pm::trendLeftScale(0.95, 1.0, TrendUnit::PowerFactor).max, 1.0);
    EXPECT_LE(pm::trendLeftScale(355, 359.9, TrendUnit::Degree).max, 360.0);
    // Power may flow back.
    EXPECT_LT(pm::trendLeftScale(-0.3, 1.2, TrendUnit::Kilowatt).min, -0.29);

    // The right axis takes the left one's number of intervals, within its own limits.
    for (int n : {3, 4, 5, 6}) {
        const pm::ValueScale pf = pm::trendRightScale(-1, 1, TrendUnit::PowerFactor, n);
        EXPECT_EQ(pf.intervals(), n);
        EXPECT_GE(pf.min, -1.0);
        EXPECT_LE(pf.max, 1.0);
        const pm::ValueScale a = pm::trendRightScale(0, 0.004, TrendUnit::Ampere, n);
        EXPECT_EQ(a.intervals(), n);
        EXPECT_GE(a.min, 0);
    }
}

TEST_F(TrendTabTest, TheValueAxesHoldStillUntilTheReadingsLeaveThem) {
    tab.follow(pm::TrendViewport::Span::All);
    for (const char* v : {"230.10", "230.40", "230.20"})
        reading(v);
    const pm::ValueScale first = tab.picture(600).axes[0].scale;
    EXPECT_EQ(tab.picture(600).axes[1].scale.intervals(), first.intervals()) << "one grid";
    reading("230.30");
    EXPECT_EQ(tab.picture(600).axes[0].scale.min, first.min);
    EXPECT_EQ(tab.picture(600).axes[0].scale.max, first.max);
    reading("236.00");
    EXPECT_GE(tab.picture(600).axes[0].scale.max, 236.0);

    // Ctrl+wheel zooms both axes alike; "Reset value axes" fits them again.
    const pm::TrendPicture before = tab.picture(600);
    tab.zoomValues(0.5, 0.5);
    const pm::TrendPicture zoomed = tab.picture(600);
    EXPECT_NEAR(zoomed.axes[0].scale.max - zoomed.axes[0].scale.min,
                (before.axes[0].scale.max - before.axes[0].scale.min) / 2, 1e-9);
    EXPECT_NEAR(zoomed.axes[1].scale.max - zoomed.axes[1].scale.min,
                (before.axes[1].scale.max - before.axes[1].scale.min) / 2, 1e-9);
    for (int n = 0; n < 30; ++n)
        tab.zoomValues(1.25, 0.1); // far out: never below zero volts
    EXPECT_GE(tab.picture(600).axes[0].scale.min, 0);
    tab.resetValueAxes();
    EXPECT_EQ(tab.picture(600).axes[0].scale.max, before.axes[0].scale.max);
}
TEST_F(TrendTabTest, EveryLiveReadingLandsInTheSeriesAsShown) {
    EXPECT_EQ(tab.heldText(), "No readings yet");
    reading("230.12");
    reading("1,230.5");
    const pm::TrendSeries& s = tab.shown();
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s.msecsAt(0), start.addSecs(1).toMSecsSinceEpoch());
    EXPECT_FLOAT_EQ(s.valueAt(1, Field::U1), 1230.5f);
    EXPECT_EQ(tab.heldText(), "Readings since 2026-07-12 08:00:01");
}

TEST_F(TrendTabTest, AGapBreaksTheLine) {
    for (const char* v : {"230.00", "231.00", "232.00"})
        reading(v);
    reading("229.00", 2.5); // the link was lost for a moment
    reading("228.00");
    tab.follow(pm::TrendViewport::Span::All);
    const pm::TrendPicture p = tab.picture(600);
    ASSERT_EQ(p.curves.size(), 4u); // U1 U2 I1 I2
    const pm::TrendCurve& u1 = p.curves[0];
    ASSERT_EQ(u1.field, Field::U1);
    ASSERT_EQ(u1.segments.size(), 2u);
    EXPECT_EQ(u1.segments[0].back().y(), 232.0);
    EXPECT_EQ(u1.segments[1].front().y(), 229.0);
    EXPECT_EQ(p.axes[0].unit, TrendUnit::Volt);
    EXPECT_LE(p.axes[0].scale.min, 228.0);
    EXPECT_GE(p.axes[0].scale.max, 232.0);
    ASSERT_EQ(p.gaps.size(), 1u);
    EXPECT_EQ(p.gaps[0].label, "No readings 08:00:03 to 08:00:05");
}

TEST_F(TrendTabTest, WhileFollowingTheClockMovesOnWithNoReadings) {
    reading("230.00");
    reading("230.00");
    tab.follow(pm::TrendViewport::Span::LastMinute);
    const qint64 to = tab.picture(600).range.to;
    int redraws = 0;
    tab.changed = [&] { ++redraws; };
    elapsed += 40'000; // the meter is gone
    tab.clockTick();
    EXPECT_EQ(redraws, 1);
    const pm::TrendPicture p = tab.picture(600);
    EXPECT_EQ(p.range.to, to + 40'000);
    ASSERT_EQ(p.gaps.size(), 1u);
    EXPECT_EQ(p.gaps[0].label, "No readings 08:00:02 to 08:00:42");

    // A drag stops following; "Live" follows again.
    tab.pan(-5'000);
    EXPECT_FALSE(tab.viewport().following());
    tab.clockTick();
    EXPECT_EQ(redraws, 2) << "the drag's own redraw only";
    tab.liveClicked();
    EXPECT_TRUE(tab.viewport().following());
}

TEST_F(TrendTabTest, TheReadOutShowsTheNearestReadingAsThePanelDoes) {
    tab.follow(pm::TrendViewport::Span::All);
    panel.setText(Field::PhaseU1I1, "30.0\u00B0");
    panel.setText(Field::I1, "1.2500");
    reading("1,230.5");
    panel.setText(Field::I1, "1.0000");
    reading("229.75");
    reading("228.00", 5);
    const qint64 second = start.addSecs(2).toMSecsSinceEpoch();
    tab.setChecked(Field::I2, false);
    tab.setChecked(Field::U2, false);

    pm::TrendReadout r = tab.readout(second + 1'400); // nearer the second than the third
    ASSERT_EQ(r.cursors, std::vector<qint64>{second});
    EXPECT_EQ(r.lines, (QStringList{"2026-07-12 08:00:02", "U1  229.75 V", "I1  1.0000 A"}));
    EXPECT_EQ(tab.readout(second - 600).cursors, std::vector<qint64>{second - 1000});

    // Two pins: both read-outs, then the time between them and what changed.
    tab.pin(second - 1'400);
    tab.pin(second + 4'000);
    r = tab.readout(std::nullopt);
    EXPECT_EQ(r.cursors.size(), 2u);
    EXPECT_EQ(r.lines.mid(r.lines.size() - 3),
              (QStringList{"\u0394t 00:00:06", "\u0394U1  -1,002.50 V", "\u0394I1  -0.2500 A"}));
    EXPECT_TRUE(r.lines.contains("U1  1,230.5 V")) << r.lines.join('|').toStdString();

    tab.setChecked(Field::PhaseU1I1, true);
    EXPECT_TRUE(tab.readout(second).lines.contains("U1I1  30.0\u00B0"));
}

TEST_F(TrendTabTest, StatisticsComeFromEveryReadingOfTheSpanAcrossAGap) {
    for (const char* v : {"230.00", "232.00", "231.00"})
        reading(v);
    reading("226.00", 30); // after the link was lost
    reading("231.00");
    tab.follow(pm::TrendViewport::Span::All);
    const std::vector<pm::TrendSpanStats> stats = tab.spanStats();
    ASSERT_EQ(stats.size(), 4u);
    EXPECT_EQ(stats[0].field, Field::U1);
    EXPECT_EQ(stats[0].stats.count, 5u);
    EXPECT_EQ(stats[0].stats.min, 226.0);
    EXPECT_EQ(stats[0].stats.minMsecs, start.addSecs(33).toMSecsSinceEpoch());
    EXPECT_EQ(stats[0].stats.max, 232.0);
    EXPECT_EQ(stats[0].stats.maxMsecs, start.addSecs(2).toMSecsSinceEpoch());
    EXPECT_DOUBLE_EQ(stats[0].stats.mean, 230.0) << "the gap counts for nothing";

    tab.follow(pm::TrendViewport::Span::LastMinute);
    tab.zoom(0.25, start.addSecs(34).toMSecsSinceEpoch()); // the last two readings only
    EXPECT_EQ(tab.spanStats()[0].stats.count, 2u);
    EXPECT_EQ(pm::trendStatsCells(Field::U1, tab.spanStats()[0].stats, 2),
              (QStringList{"U1", "226.00 V", "08:00:33", "231.00 V", "08:00:34", "228.500 V"}));
}

TEST_F(TrendTabTest, RecordingAppendsARowPerReadingAndStopsOnPress) {
    dialog.answers << FakeSaveDialog::chosen(0, "log");
    tab.recordClicked();
    ASSERT_EQ(dialog.requests.size(), 1);
    EXPECT_EQ(dialog.requests[0].filter, "csv (*.csv)|*.csv|");
    ASSERT_TRUE(tab.recorder().isRecording());
    EXPECT_EQ(tab.recordingText(), "Recording to " + path("log.csv"));
    reading("230.10");
    reading("230.20");
    ASSERT_TRUE(waitUntil([this] { return linesOf("log.csv").size() == 3; }));
    EXPECT_TRUE(linesOf("log.csv")[2].contains(",230.20,"));

    tab.recordClicked();
    EXPECT_EQ(dialog.requests.size(), 1) << "stopping asks nothing";
    EXPECT_FALSE(tab.recorder().isRecording());
    reading("230.30");
    EXPECT_EQ(linesOf("log.csv").size(), 3);
    EXPECT_EQ(tab.shown().size(), 3u);
    EXPECT_TRUE(alerts.shown.isEmpty());
}

TEST_F(TrendTabTest, TheTabsDialogsStartWhereTheLastOneWent) {
    QDir(tmp.path()).mkdir("logs");
    reading("230.00");
    opener.answers << QString(); // cancelled
    tab.openClicked();
    ASSERT_EQ(opener.requests.size(), 1);
    EXPECT_EQ(opener.requests[0].initDir, tmp.path());
    dialog.answers << FakeSaveDialog::chosen(0, "logs/day");
    tab.recordClicked();
    tab.recordClicked();
    opener.answers << QString();
    tab.openClicked();
    EXPECT_EQ(opener.requests[1].initDir, path("logs"));
    QImage plot(4, 4, QImage::Format_RGB32);
    dialog.answers << FakeSaveDialog::cancelled();
    tab.saveClicked(plot);
    EXPECT_EQ(dialog.requests.last().initDir, path("logs"));
}

TEST(TrendWorkbook, CellsAreNumbersAndDatesWithAFrozenHeader) {
    QTemporaryDir tmp;
    pm::TrendSeries series;
    pm::Panel panel;
    panel.setText(Field::U1, "1,230.50");
    panel.setText(Field::PF1, "0.866");
    const QDateTime at(QDate(2026, 7, 12), QTime(19, 10, 19));
    series.append(at.toMSecsSinceEpoch(), panel);
    pm::XlsxWorkbookWriter writer;
    QByteArray file;
    QString why;
    ASSERT_TRUE(pm::trendWorkbook(series, 0, 1, writer, &file, &why)) << why.toStdString();
    writeFile(tmp.filePath("t.xlsx"), file);
    const SheetContents sheet = readFirstSheet(tmp.filePath("t.xlsx"));
    ASSERT_TRUE(sheet.ok) << sheet.error.toStdString();
    EXPECT_EQ(sheet.text(1, 1), "time");
    EXPECT_FALSE(sheet.cell(1, 3)->number);
    const SheetCell* time = sheet.cell(2, 1);
    ASSERT_TRUE(time);
    EXPECT_TRUE(time->number);
    EXPECT_EQ(time->numberFormat, "yyyy-mm-dd hh:mm:ss");
    // Days since 1899-12-30, the spreadsheet's count, with the time of day as the fraction.
    const double days =
        double(QDate(1899, 12, 30).daysTo(at.date())) + (19 * 3600 + 10 * 60 + 19) / 86400.0;
    EXPECT_NEAR(time->text.toDouble(), days, 1e-6);
    EXPECT_FALSE(sheet.cell(2, 2)->number) << "the offset stays text";
    const SheetCell* u1 = sheet.cell(2, 3);
    ASSERT_TRUE(u1);
    EXPECT_TRUE(u1->number);
    EXPECT_EQ(u1->text.toDouble(), 1230.5);
    EXPECT_EQ(u1->numberFormat, "0.00");
    EXPECT_EQ(sheet.cell(2, 3 + int(Field::PF1))->text.toDouble(), 0.866);
    EXPECT_EQ(sheet.frozenCell, "A2");
    EXPECT_GE(sheet.columnWidths.value(1), 19);
}

TEST_F(TrendTabTest, AFailingLogStopsRecordingWithAMessage) {
    ASSERT_TRUE(tab.startRecording(path("log.csv")));
    reading("230.10");
    // The writer thread has the row on the disk before the disk is said to be full.
    ASSERT_TRUE(waitUntil([this] { return tab.recorder().rowsBehind() == 0; }));
    const qint64 written = QFileInfo(path("log.csv")).size();
    {
        const FileSizeLimit full(rlim_t(written + 10)); // the disk fills up
        reading("230.20");
        ASSERT_TRUE(waitUntil([this] { return tab.recorder().rowsBehind() == 0; }));
    }
    EXPECT_TRUE(alerts.shown.isEmpty()) << "told with the next reading";
    reading("230.30");
    EXPECT_FALSE(tab.recorder().isRecording());
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].first, "Recording Error!");
    EXPECT_TRUE(alerts.shown[0].second.contains(path("log.csv")))
        << alerts.shown[0].second.toStdString();
    EXPECT_EQ(QFileInfo(path("log.csv")).size(), written) << "the rows before stay whole";
    EXPECT_EQ(tab.shown().size(), 3u) << "the readings go on";

    // A file that is not a log of readings is refused at the start.
    writeFile(path("other.csv"), "a,b,c\n");
    EXPECT_FALSE(tab.startRecording(path("other.csv")));
    EXPECT_EQ(alerts.shown.size(), 2);
    EXPECT_EQ(readFile(path("other.csv")), "a,b,c\n");
}

TEST_F(TrendTabTest, SaysHowFarTheDiskIsBehindAndStopsWhenItStalls) {
    const auto gate = std::make_shared<StoreGate>();
    HandClock disk;
    tab.recorder().log().setStoreWrapper(gatedBy(gate));
    tab.recorder().log().setClock(disk.clock());
    ASSERT_TRUE(tab.startRecording(path("log.csv")));
    gate->close();
    for (int k = 0; k < 5; ++k)
        reading("230.00");
    ASSERT_TRUE(waitUntil([&] { return gate->count() == 1; })); // one on its way, four waiting
    EXPECT_EQ(tab.recordingText(), "Recording to " + path("log.csv"));
    reading("230.00");
    EXPECT_EQ(tab.recordingText(),
              "Recording to " + path("log.csv") + "\nRecording is 6 rows behind");
    disk.advance(pm::TrendLog::kStallMsecs);
    reading("230.00");
    EXPECT_FALSE(tab.recorder().isRecording());
    EXPECT_TRUE(tab.recordingText().isEmpty());
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].first, "Recording Error!");
    EXPECT_TRUE(alerts.shown[0].second.contains("has not taken a row for 30 seconds"))
        << alerts.shown[0].second.toStdString();
    gate->release();
}

TEST_F(TrendTabTest, RecordingIntoALogCutByAPowerCutSaysSoAndOpenShowsItsWholeRows) {
    for (const char* v : {"230.00", "231.00"})
        reading(v);
    writeFile(path("cut.csv"), pm::trendCsvText(tab.shown(), 0, 2) + "2026-07-12T08:00:03");
    opener.answers << path("cut.csv");
    tab.openClicked();
    ASSERT_TRUE(tab.showingFile());
    EXPECT_EQ(tab.shown().size(), 2u);
    EXPECT_TRUE(tab.heldText().endsWith("; its last row was incomplete and is left out"))
        << tab.heldText().toStdString();
    EXPECT_TRUE(alerts.shown.isEmpty());

    ASSERT_TRUE(tab.startRecording(path("cut.csv")));
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].second,
              "The last row of " + path("cut.csv") + " was incomplete and was removed.");
    reading("232.00");
    tab.recordClicked(); // stops, every row on the disk
    const pm::TrendCsvLoad load = pm::loadTrendCsv(path("cut.csv"));
    ASSERT_TRUE(load.ok) << load.error.toStdString();
    EXPECT_EQ(load.series.size(), 3u);
    EXPECT_FALSE(load.lastRowIncomplete);
}

TEST_F(TrendTabTest, OpenShowsARecordingWholeOrNotAtAll) {
    for (const char* v : {"230.00", "231.00", "232.00"})
        reading(v);
    writeFile(path("day.csv"), pm::trendCsvText(tab.shown(), 0, 3));
    reading("233.00");

    opener.answers << path("day.csv");
    tab.openClicked();
    ASSERT_TRUE(tab.showingFile());
    EXPECT_EQ(tab.shown().size(), 3u);
    EXPECT_TRUE(tab.heldText().startsWith("day.csv: 3 readings from 2026-07-12 08:00:01"));

    QByteArray bad = readFile(path("day.csv"));
    bad.replace(",231.00,", ",23l.00,");
    writeFile(path("bad.csv"), bad);
    opener.answers << path("bad.csv");
    tab.openClicked();
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_TRUE(alerts.shown[0].second.contains("line 3")) << alerts.shown[0].second.toStdString();
    EXPECT_TRUE(alerts.shown[0].second.contains("bad.csv"));
    EXPECT_TRUE(tab.heldText().startsWith("day.csv")) << "the plot stays as it was";
    EXPECT_EQ(tab.shown().size(), 3u);

    reading("234.00"); // the session goes on meanwhile
    tab.liveClicked();
    EXPECT_FALSE(tab.showingFile());
    EXPECT_EQ(tab.shown().size(), 5u);
}

TEST_F(TrendTabTest, SaveOffersThePlotAndTheReadingsShown) {
    for (int k = 0; k < 90; ++k)
        reading(QString::number(220 + k) + ".00");
    tab.follow(pm::TrendViewport::Span::LastMinute); // 59 of the 90 readings, and a margin
    QImage plot(40, 30, QImage::Format_RGB32);
    plot.fill(Qt::blue);

    dialog.answers << FakeSaveDialog::chosen(1, "plot");
    tab.saveClicked(plot);
    EXPECT_EQ(dialog.requests[0].filter, pm::kTrendFilter);
    EXPECT_EQ(dialog.requests[0].initDir, tmp.path()) << "the tab's first dialog: the save folder";
    EXPECT_EQ(QImage::fromData(readFile(path("plot.png")), "PNG").pixelColor(5, 5),
              QColor(Qt::blue));

    dialog.answers << FakeSaveDialog::chosen(3, "shown.csv");
    tab.saveClicked(plot);
    EXPECT_TRUE(readFile(path("shown.csv")) == pm::trendCsvText(tab.shown(), 31, 90));

    dialog.answers << FakeSaveDialog::chosen(4, "shown.xlsx");
    tab.saveClicked(plot);
    ASSERT_EQ(workbook.cells.size(), 60 * (pm::kFieldCount + 2));
    EXPECT_EQ(workbook.cells[0].text, "time");
    EXPECT_EQ(workbook.cells[1].text, "UTC offset");
    EXPECT_EQ(workbook.cells.last().row, 60);
    EXPECT_EQ(workbook.cells[pm::kFieldCount + 2].text, "2026-07-12 08:00:32.000");
    EXPECT_EQ(workbook.cells[pm::kFieldCount + 2].kind, FakeWorkbook::Cell::DateTime);
    EXPECT_EQ(workbook.cells[pm::kFieldCount + 4].text, "251.00"); // U1 of the first reading shown
    EXPECT_EQ(workbook.cells[pm::kFieldCount + 4].kind, FakeWorkbook::Cell::Number);
    EXPECT_EQ(workbook.frozenAbove, 2);
    EXPECT_TRUE(QFileInfo::exists(path("shown.xlsx")));
    EXPECT_TRUE(alerts.shown.isEmpty());
}
