#include "Files.h"
#include "WindowFixture.h"
#include "app/style/QuantityColors.h"
#include "app/trend/TrendPlot.h"
#include "app/trend/TrendStatsTable.h"
#include "app/trend/TrendTab.h"
#include "fakes/AnswerDialog.h"
#include "fakes/FakeSerialPort.h"
#include "fakes/SimProcess.h"
#include "fakes/WaitUntil.h"
#include "trend/TrendCsv.h"

#include <QCategoryAxis>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
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
    // A mouse event on the plot, at a share of its plot area's width and half its height.
    void mouse(QEvent::Type type, double share, Qt::MouseButtons buttons = Qt::NoButton) {
        const QRectF area = plot()->chart()->plotArea();
        const QPoint at =
            plot()->mapFromScene(QPointF(area.left() + share * area.width(), area.center().y()));
        QMouseEvent event(type, at, plot()->viewport()->mapToGlobal(at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(plot()->viewport(), &event);
    }
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
    const std::vector<pm::TrendSegment> u1 = plot()->linesOf(pm::Field::U1);
    ASSERT_EQ(u1.size(), 2u);
    EXPECT_EQ(u1[0].size(), 2u);
    EXPECT_EQ(u1[1].size(), 1u);
    int shownInLegend = 0;
    QCoreApplication::processEvents(); // the legend catches up
    for (QLegendMarker* m : plot()->chart()->legend()->markers())
        shownInLegend += m->isVisible() && m->label() == "U1 (left)";
    EXPECT_EQ(shownInLegend, 1);
    EXPECT_EQ(plot()->valueAxis(pm::TrendSide::Left)->titleText(), "U (V)");
    EXPECT_EQ(plot()->valueAxis(pm::TrendSide::Right)->titleText(), "I (A)");

    // U1 is drawn where its axes put it, and not across the gap.
    QCoreApplication::processEvents();
    const QImage shown = plot()->viewport()->grab().toImage();
    const QValueAxis* volts = plot()->valueAxis(pm::TrendSide::Left);
    const QRectF area = plot()->chart()->plotArea();
    const double lineY =
        area.bottom() - (220 - volts->min()) / (volts->max() - volts->min()) * area.height();
    auto u1Near = [&](qint64 msecs) {
        const QCategoryAxis* time = plot()->timeAxis();
        const double share = (double(msecs) - time->min()) / (time->max() - time->min());
        const QPoint at = plot()->mapFromScene(area.left() + share * area.width(), lineY);
        for (int dy = -2; dy <= 2; ++dy) {
            const QColor c = shown.pixelColor(at + QPoint(0, dy));
            if (c.hsvSaturation() > 60 &&
                std::abs(c.hsvHue() - quantityColor(pm::Field::U1).hsvHue()) < 15)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(u1Near(start.addMSecs(1500).toMSecsSinceEpoch()));
    EXPECT_FALSE(u1Near(start.addMSecs(4500).toMSecsSinceEpoch()));
    const auto stats = child<pm::TrendStatsTable>(QStringLiteral("TrendStats"))->cells();
    ASSERT_EQ(stats.size(), 5u) << "a heading and U1, U2, I1, I2";
    EXPECT_EQ(stats[0], QStringList({"", "Min", "at", "Max", "at", "Mean"}));
    EXPECT_EQ(stats[1].mid(0, 2), QStringList({"U1", "220.00 V"}));

    // A third unit: the voltages make way, the axis shows kilowatts.
    child<QCheckBox>(QStringLiteral("checkP1"))->click();
    EXPECT_FALSE(child<QCheckBox>(QStringLiteral("checkU1"))->isChecked());
    EXPECT_TRUE(plot()->linesOf(pm::Field::U1).empty());
    EXPECT_EQ(plot()->valueAxis(pm::TrendSide::Left)->titleText(), "P (kW)");
}

TEST_F(TrendWindow, ADragStopsFollowingAndLiveFollowsAgain) {
    link();
    clickTab(3);
    for (int k = 0; k < 20; ++k)
        liveReply();
    auto* follow = child<QCheckBox>(QStringLiteral("FollowLatest"));
    EXPECT_TRUE(follow->isChecked());
    mouse(QEvent::MouseButtonPress, 0.5, Qt::LeftButton);
    mouse(QEvent::MouseMove, 0.3, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, 0.3);
    EXPECT_FALSE(form.trend().viewport().following());
    EXPECT_FALSE(follow->isChecked()) << "the tab shows that it stopped";
    child<QPushButton>(QStringLiteral("Live"))->click();
    EXPECT_TRUE(follow->isChecked());
    follow->click();
    EXPECT_FALSE(form.trend().viewport().following());
}

TEST_F(TrendWindow, HoveringReadsOutTheNearestReadingAndAGapIsShadedAndNamed) {
    link();
    clickTab(3);
    liveReply();
    liveReply();
    liveReply(9);                      // the link was lost meanwhile
    QCoreApplication::processEvents(); // the plot lays out
    mouse(QEvent::MouseMove, 0.999);
    const QStringList lines = plot()->readoutLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines[0], "2026-07-12 08:00:11");
    EXPECT_TRUE(lines.contains("U1  220.00 V")) << lines.join('|').toStdString();
    EXPECT_EQ(plot()->gapLabels(), QStringList{"No readings 08:00:02 to 08:00:11"});

    // A click pins a cursor; the mouse going away leaves the pinned read-out.
    mouse(QEvent::MouseButtonPress, 0.999, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, 0.999);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(plot(), &leave);
    EXPECT_EQ(plot()->readoutLines().value(0), "2026-07-12 08:00:11");
}

TEST_F(TrendWindow, GrowingTheWindowGrowsEveryPageAndScalesThePanel) {
    showAtDesignedSize();
    const QSize page = this->page()->size();
    ASSERT_EQ(child(QStringLiteral("Frame1"))->size(), page);
    form.resize(form.size() + QSize(200, 100));
    QCoreApplication::processEvents();
    EXPECT_EQ(this->page()->size(), page + QSize(200, 100));
    EXPECT_EQ(child(QStringLiteral("Phasor"))->size(), page + QSize(200, 100));
    EXPECT_EQ(grid()->size(), page + QSize(200, 100)) << "the record table shows more rows";
    // The panel keeps its layout, larger: its type grows with the room.
    EXPECT_EQ(child(QStringLiteral("Frame1"))->size(), page + QSize(200, 100));
    EXPECT_GT(child<QLabel>(QStringLiteral("u(0)"))->font().pointSizeF(), 16);
    EXPECT_EQ(child(QStringLiteral("StatusBar1"))->geometry().bottom(),
              form.height() - form.menuBar()->height() - 1);
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
    QCoreApplication::processEvents(); // the statistics below the plot take their room
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
    // Mostly flat colour: kilobytes, not megabytes.
    EXPECT_LT(QFileInfo(tmp.filePath("plot.png")).size(), 100'000);
    // The title line above the plot, dark on white.
    bool title = false;
    for (int x = 0; x < saved.width() && !title; ++x)
        title = saved.pixelColor(x, 12).value() < 100;
    EXPECT_TRUE(title);
    EXPECT_FALSE(watchdog.fired);
}

// At 150 % on a 1024 x 768 screen the window fits the screen and every control can be scrolled
// into it (through a page's own scrolling column where it has one). The scale is the process's own:
// the test runs itself again with it.
TEST(WindowOnASmallScreen, FitsAt150PercentAndEveryControlCanBeReached) {
    if (qEnvironmentVariableIsEmpty("PHASEMETER_SMALL_SCREEN")) {
        QTemporaryDir tmp;
        const QString config = tmp.filePath("screen.json");
        writeFile(config, R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1024,
            "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        QProcess self;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PHASEMETER_SMALL_SCREEN", "1");
        env.insert("QT_SCALE_FACTOR", "1.5");
        env.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + config);
        self.setProcessEnvironment(env);
        self.start(QCoreApplication::applicationFilePath(),
                   {"--gtest_filter=WindowOnASmallScreen.*"});
        ASSERT_TRUE(self.waitForFinished(60000));
        const QByteArray out = self.readAllStandardOutput() + self.readAllStandardError();
        EXPECT_EQ(self.exitCode(), 0) << out.toStdString();
        EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.toStdString();
        return;
    }
    FakeSerialPort port;
    pm::Form1 form(port);
    form.show();
    QCoreApplication::processEvents();
    const QRect screen = form.screen()->availableGeometry();
    ASSERT_NEAR(screen.width(), 1024 / 1.5, 1) << "1024 x 768 at 150 %";
    ASSERT_NEAR(screen.height(), 768 / 1.5, 1);
    EXPECT_TRUE(screen.contains(form.frameGeometry())) << "never larger than the screen";
    auto* scroll = form.findChild<QScrollArea*>(QStringLiteral("Scroll"));
    ASSERT_TRUE(scroll);
    auto* tabs = form.findChild<QTabBar*>(QStringLiteral("TabStrip1"));
    for (int tab = 0; tab < tabs->count(); ++tab) {
        const QRect caption = tabs->tabRect(tab).translated(tabs->pos());
        scroll->ensureVisible(caption.center().x(), caption.center().y(), caption.width() / 2,
                              caption.height() / 2);
        EXPECT_TRUE(form.rect().contains(
            QRect(tabs->mapTo(&form, tabs->tabRect(tab).topLeft()), caption.size())))
            << "tab " << tab;
        tabs->setCurrentIndex(tab);
        QCoreApplication::processEvents();
        for (QWidget* w : form.findChildren<QWidget*>()) {
            const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w);
            if (!control || !w->isVisibleTo(&form))
                continue;
            // A column of the page that scrolls on its own first, then the window.
            for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
                if (auto* inner = qobject_cast<QScrollArea*>(p); inner && inner != scroll)
                    inner->ensureWidgetVisible(w, 0, 0);
            scroll->ensureWidgetVisible(w, 0, 0);
            const QRect inWindow(w->mapTo(&form, QPoint(0, 0)), w->size());
            EXPECT_TRUE(form.rect().contains(inWindow))
                << tab << " " << w->objectName().toStdString() << " at " << inWindow.x() << ","
                << inWindow.y();
        }
    }
}

TEST_F(TrendWindow, APictureForThePrinterTakesThePagesShape) {
    link();
    clickTab(3);
    liveReply();
    liveReply();
    QCoreApplication::processEvents();
    const QSize before = plot()->chart()->size().toSize();
    // A landscape page, taller for its width than the plot on the screen.
    const QImage page = plot()->render(QSize(1400, 990), QStringLiteral("title"));
    auto inkIn = [&page](int top, int bottom) {
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < page.width(); ++x)
                if (page.pixelColor(x, y).value() < 128)
                    return true;
        return false;
    };
    EXPECT_TRUE(inkIn(page.height() - 50, page.height())) << "the time axis at the page's foot";
    EXPECT_EQ(plot()->chart()->size().toSize(), before) << "the plot on the screen is as it was";
}

#ifdef PHASEMETER_WINDOW_PROGRAM
TEST(TrendWindowProgram, LogFromTheCommandLineKeepsEveryRowWhenKilled) {
    SimProcess sim;
    ASSERT_TRUE(sim.ok());
    QTemporaryDir tmp;
    const QString path = tmp.filePath("log.csv");
    QProcess window;
    startWindowOn(window, sim, {"--log", path});
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

// Saving the readings runs beside the window: the meter is polled and answered, and its readings
// plotted, before the file is handed back; the file holds the readings of the click.
TEST_F(TrendWindow, SavingTheReadingsLeavesTheWindowPollingAndShowsABar) {
    form.saveAndPrint().setSaveFolder(tmp.path());
    link();
    for (int k = 0; k < 3; ++k)
        liveReply();
    clickTab(3);
    ModalWatchdog watchdog;
    answerNextDialog<QFileDialog>([](QFileDialog& d) {
        d.selectNameFilter(QStringLiteral("csv (*.csv)"));
        d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText("readings.csv");
        static_cast<QDialog&>(d).accept();
    });
    button(2)->click();
    const QByteArray expected =
        pm::trendCsvText(form.trend().shown(), 0, form.trend().shown().size());
    EXPECT_NE(form.findChild<QProgressDialog*>(QStringLiteral("ExportProgress")), nullptr);
    liveReply(); // the window answers the meter while the file is written
    liveReply();
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(tmp.filePath("readings.csv")); }, 20000));
    EXPECT_TRUE(readFile(tmp.filePath("readings.csv")) == expected);
    EXPECT_EQ(form.trend().shown().size(), 5u);
    EXPECT_FALSE(watchdog.fired);
}
