#include "Files.h"
#include "WindowFixture.h"
#include "app/trend/TrendPlot.h"
#include "app/trend/TrendTab.h"
#include "fakes/AnswerDialog.h"
#include "fakes/SimProcess.h"
#include "fakes/WaitUntil.h"
#include "trend/TrendCsv.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QValueAxis>

namespace {

struct TrendWindow : WindowFixture {
    QTemporaryDir tmp;
    const QDateTime start{QDate(2026, 7, 12), QTime(8, 0, 0)};
    qint64 elapsed = 0;

    void SetUp() override {
        WindowFixture::SetUp();
        form.trend().clock = [this] { return start.addMSecs(elapsed); };
    }
    QWidget* page() const { return child(QStringLiteral("Trend")); }
    pm::TrendPlot* plot() const { return child<pm::TrendPlot>(QStringLiteral("TrendPlot")); }
    QPushButton* record() const { return child<QPushButton>(QStringLiteral("Record")); }
    // A poll and the meter's answer, `secs` seconds after the one before.
    void liveReply(double secs = 1) {
        elapsed += qint64(secs * 1000);
        pollAndAnswer();
    }
    int linesIn(const QString& path) const { return int(readFile(path).count('\n')); }
};

} // namespace

TEST_F(TrendWindow, IsTheFourthTabAndPollsLiveLikeTheRealtimeView) {
    EXPECT_FALSE(page()->isVisible());
    link();
    clickTab(1);
    state.comunication.setEnabled(false);
    state.ui.readEnabled = state.ui.saveEnabled = false;
    clickTab(3);
    EXPECT_EQ(state.realview, pm::kTrue);
    EXPECT_TRUE(state.comunication.enabled());
    EXPECT_TRUE(button(1)->isEnabled());
    EXPECT_TRUE(button(2)->isEnabled());
    EXPECT_TRUE(page()->isVisible());
    EXPECT_FALSE(child(QStringLiteral("Frame1"))->isVisible());
    EXPECT_FALSE(child(QStringLiteral("Phasor"))->isVisible());
    EXPECT_FALSE(grid()->isVisible());
    EXPECT_EQ(page()->geometry(), child(QStringLiteral("Frame1"))->geometry());
    liveReply();
}

TEST_F(TrendWindow, EveryLiveReplyOnAnyLiveTabIsPlottedAndAGapBreaksTheLine) {
    link();
    liveReply(); // on the real-time panel
    clickTab(2);
    liveReply(); // on the phasor diagram
    clickTab(3);
    liveReply(5); // the link was lost meanwhile
    const pm::TrendSeries& series = form.trend().shown();
    ASSERT_EQ(series.size(), 3u);
    EXPECT_FLOAT_EQ(series.valueAt(2, pm::Field::U1), 220.0f);
    EXPECT_EQ(series.msecsAt(2), start.addSecs(7).toMSecsSinceEpoch());
    EXPECT_EQ(child<QLabel>(QStringLiteral("TrendHeld"))->text(),
              "Readings since 2026-07-12 08:00:01");

    // U1 in two runs, one entry in the legend.
    form.trend().follow(pm::TrendViewport::Span::All);
    const std::vector<QLineSeries*>& u1 = plot()->seriesOf(pm::Field::U1);
    ASSERT_EQ(u1.size(), 2u);
    EXPECT_EQ(u1[0]->count(), 2);
    EXPECT_EQ(u1[1]->count(), 1);
    int shownInLegend = 0;
    QCoreApplication::processEvents(); // the legend catches up
    for (QLegendMarker* m : plot()->chart()->legend()->markers())
        shownInLegend += m->isVisible() && m->label() == "U1";
    EXPECT_EQ(shownInLegend, 1);
    EXPECT_EQ(plot()->valueAxis(pm::TrendSide::Left)->titleText(), "U (V)");
    EXPECT_EQ(plot()->valueAxis(pm::TrendSide::Right)->titleText(), "I (A)");

    // A third unit: the voltages make way, the axis shows kilowatts.
    child<QCheckBox>(QStringLiteral("checkP1"))->click();
    EXPECT_FALSE(child<QCheckBox>(QStringLiteral("checkU1"))->isChecked());
    EXPECT_TRUE(plot()->seriesOf(pm::Field::U1).empty());
    EXPECT_EQ(plot()->valueAxis(pm::TrendSide::Left)->titleText(), "P (kW)");
}

TEST_F(TrendWindow, RecordingFromTheStartAppendsEveryReplyUntilRecordIsPressed) {
    const QString log = tmp.filePath("log.csv");
    ASSERT_TRUE(form.trend().startRecording(log)); // phasemeter --log
    link();
    liveReply();
    liveReply();
    ASSERT_TRUE(waitUntil([&] { return linesIn(log) == 3; })) << "on the disk, from its thread";
    EXPECT_TRUE(
        readFile(log).endsWith(pm::trendCsvRow(start.addSecs(2), form.core().panel).toUtf8()));

    clickTab(3);
    EXPECT_TRUE(record()->isChecked());
    ModalWatchdog watchdog(3000);
    record()->click();
    EXPECT_FALSE(watchdog.fired) << "stopping asks nothing";
    EXPECT_FALSE(record()->isChecked());
    liveReply();
    EXPECT_EQ(linesIn(log), 3);
}

TEST_F(TrendWindow, SaveOnTheTrendTabOffersThePlotAndTheReadings) {
    form.saveAndPrint().setSaveFolder(tmp.path());
    link();
    liveReply();
    clickTab(3);
    ModalWatchdog watchdog;
    answerNextDialog<QFileDialog>([](QFileDialog& d) {
        EXPECT_EQ(d.nameFilters(),
                  (QStringList{"png (*.png)", "jpg (*.jpg)", "csv (*.csv)", "excel (*.xlsx)"}));
        d.selectNameFilter(QStringLiteral("png (*.png)"));
        d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText("plot");
        static_cast<QDialog&>(d).accept();
    });
    button(2)->click();
    const QImage saved = QImage::fromData(readFile(tmp.filePath("plot.png")), "PNG");
    EXPECT_EQ(saved.size(), plot()->size() * 2);
    EXPECT_FALSE(watchdog.fired);
}

#ifdef PHASEMETER_WINDOW_PROGRAM
TEST(TrendWindowProgram, LogFromTheCommandLineKeepsEveryRowWhenKilled) {
    SimProcess sim;
    ASSERT_TRUE(sim.ok());
    QTemporaryDir tmp;
    const QString path = tmp.filePath("log.csv");
    QProcess window;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PHASEMETER_PORTS", sim.device());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    window.setProcessEnvironment(env);
    window.start(QStringLiteral(PHASEMETER_WINDOW_PROGRAM), {"--log", path});
    auto rows = [&path] { return readFile(path).count('\n') - 1; };
    ASSERT_TRUE(waitUntil([&] { return rows() >= 3; }, 20000))
        << window.readAllStandardError().toStdString();
    window.kill();
    ASSERT_TRUE(window.waitForFinished(5000));
    const QByteArray log = readFile(path);
    EXPECT_TRUE(log.endsWith('\n')) << "no row cut short";
    const pm::TrendCsvLoad load = pm::loadTrendCsv(path);
    ASSERT_TRUE(load.ok) << load.error.toStdString();
    EXPECT_EQ(qsizetype(load.series.size()), log.count('\n') - 1);
    EXPECT_NEAR(load.series.at(0).value(pm::Field::U1), 230, 3);
}
#endif
