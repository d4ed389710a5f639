#include "Files.h"
#include "Printers.h"
#include "app/trend/TrendSaving.h"
#include "app/trend/TrendTab.h"
#include "fakes/DiskFaults.h"
#include "fakes/FakeDialogs.h"
#include "fakes/FakeOutputs.h"
#include "fakes/GatedStore.h"
#include "fakes/WaitUntil.h"
#include "platform/DiskFileStore.h"
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
    pm::SaveServices services{
        dialog, files, snapshot, workbook, alerts, tmp.path(), [] { return QDate(2026, 7, 12); }};
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
    EXPECT_EQ(v.range(0, 3'600'000).from, 3'000'000);

    // The wheel keeps the time under the mouse where it is; the span then stays put.
    v.zoom(0.5, 3'300'000, 0, 3'600'000);
    EXPECT_FALSE(v.following());
    EXPECT_EQ(v.range(0, 7'200'000).from, 3'150'000);
    EXPECT_EQ(v.range(0, 7'200'000).to, 3'450'000);
    v.pan(-150'000, 0, 7'200'000);
    EXPECT_EQ(v.range(0, 7'200'000).from, 3'000'000);

    v.follow(Span::All);
    EXPECT_EQ(v.range(1'000, 7'200'000).from, 1'000);
    EXPECT_EQ(v.range(1'000, 7'200'000).to, 7'200'000);
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
    EXPECT_LT(p.axes[0].min, 228.0);
    EXPECT_GT(p.axes[0].max, 232.0);
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

TEST_F(TrendTabTest, AFailingLogStopsRecordingWithAMessage) {
    ASSERT_TRUE(tab.startRecording(path("log.csv")));
    reading("230.10");
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
    tab.follow(pm::TrendViewport::Span::LastMinute); // 61 of the 90 readings
    QImage plot(40, 30, QImage::Format_RGB32);
    plot.fill(Qt::blue);

    dialog.answers << FakeSaveDialog::chosen(1, "plot");
    tab.saveClicked(plot);
    EXPECT_EQ(dialog.requests[0].filter, pm::kTrendFilter);
    EXPECT_EQ(QImage::fromData(readFile(path("plot.png")), "PNG").pixelColor(5, 5),
              QColor(Qt::blue));

    dialog.answers << FakeSaveDialog::chosen(3, "shown.csv");
    tab.saveClicked(plot);
    EXPECT_TRUE(readFile(path("shown.csv")) == pm::trendCsvText(tab.shown(), 29, 90));

    dialog.answers << FakeSaveDialog::chosen(4, "shown.xlsx");
    tab.saveClicked(plot);
    ASSERT_EQ(workbook.cells.size(), 62 * (pm::kFieldCount + 1));
    EXPECT_EQ(workbook.cells[0].text, "time");
    EXPECT_EQ(workbook.cells.last().row, 62);
    EXPECT_EQ(workbook.cells[pm::kFieldCount + 2].text, "249.00"); // U1 of the first reading shown
    EXPECT_TRUE(QFileInfo::exists(path("shown.xlsx")));
    EXPECT_TRUE(alerts.shown.isEmpty());
}
