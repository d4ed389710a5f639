#include "Files.h"
#include "WindowFixture.h"
#include "app/style/Shortcuts.h"
#include "app/trend/TrendTab.h"
#include "app/window/GuideWindow.h"
#include "app/window/RecordingIndicator.h"
#include "app/window/StatusBar.h"
#include "app/window/WindowPlacement.h"
#include "app/wiring/WiringTab.h"
#include "telemetry/Telemetry.h"
#include "trend/TrendSpan.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

namespace {

const QByteArray kLivePoll = QByteArray::fromHex("AA C8 32");
const QByteArray kKeepAlive = QByteArray::fromHex("AA F8 2A");
const QByteArray kCountCmd = QByteArray::fromHex("AA E0 2E");
const char* const kLiveReply = "F0 55 00 00 39 30 00 00 01 01 02 02 00 00 00 00 58 02 00 00 88 13";

// The window with one clock for its status bar and its trend, moved on by hand.
struct Shell : WindowFixture {
    QTemporaryDir tmp;
    QDateTime now{QDate(2026, 12, 8), QTime(9, 7, 23)};

    Shell() {
        form.clock = [this] { return now; };
        form.trend().clock = [this] { return now; };
    }
    void later(int seconds) { now = now.addSecs(seconds); }
    QLabel* label(const char* name) const { return child<QLabel>(QLatin1String(name)); }
    QAction* action(const QString& text) const {
        for (QAction* a : form.menuBar()->findChildren<QAction*>())
            if (a->text().remove(QLatin1Char('&')) == text)
                return a;
        ADD_FAILURE() << text.toStdString();
        return nullptr;
    }
};

} // namespace

TEST_F(Shell, RecallKeepsTheRecordingFedAndADownloadLeavesAGap) {
    link();
    ASSERT_TRUE(form.trend().startRecording(tmp.filePath("phase.csv")));
    clickTab(1);
    ASSERT_EQ(state.realview, pm::kFalse);
    // Recall is shown, yet the recording is fed once a second.
    for (int s = 0; s < 3; ++s) {
        later(1);
        state.comunication.tick();
        EXPECT_EQ(port.lastWrite(), kLivePoll) << s;
        port.receiveHex(kLiveReply);
    }
    EXPECT_EQ(form.trend().recorder().series().size(), 3u);
    EXPECT_EQ(label("RecordingText")->text(), "phase.csv, 0:00:03, 3 rows");

    // A download holds the line: no poll until it ends.
    form.core().read();
    EXPECT_EQ(port.lastWrite(), kCountCmd);
    EXPECT_FALSE(state.comunication.enabled());
    later(10);
    state.Timer1.tick();
    EXPECT_EQ(port.lastWrite(), kCountCmd);
    port.receiveHex("00 00"); // no records: the download ends
    ASSERT_TRUE(state.comunication.enabled());
    later(1);
    state.comunication.tick();
    EXPECT_EQ(port.lastWrite(), kLivePoll) << "polling is back, still on Recall";
    port.receiveHex(kLiveReply);

    const pm::TrendSeries& series = form.trend().recorder().series();
    ASSERT_EQ(series.size(), 4u);
    const auto gaps = pm::trendGaps(series, series.msecsAt(0), series.msecsAt(3), 10);
    ASSERT_EQ(gaps.size(), 1u) << "the download's pause is a gap";
    EXPECT_EQ(gaps[0].to - gaps[0].from, 11'000);

    // Stopped, the recall view goes back to keeping the link alive only.
    ASSERT_TRUE(form.trend().recorder().stopRecording());
    state.Timer1.tick();
    state.comunication.tick();
    EXPECT_EQ(port.lastWrite(), kKeepAlive);
    EXPECT_FALSE(label("RecordingText")->isVisible());
    EXPECT_EQ(readFile(tmp.filePath("phase.csv")).count('\n'), 5) << "the header and 4 rows";
}

TEST_F(Shell, TheRecordingIndicatorShowsOnEveryTab) {
    link();
    EXPECT_FALSE(label("RecordingMark")->isVisible());
    ASSERT_TRUE(form.trend().startRecording(tmp.filePath("day.csv")));
    for (int tab = 0; tab < tabs()->count(); ++tab) {
        clickTab(tab);
        EXPECT_TRUE(label("RecordingMark")->isVisible()) << tab;
        EXPECT_TRUE(label("RecordingText")->isVisible()) << tab;
        EXPECT_EQ(label("RecordingMark")->palette().color(QPalette::WindowText).red(), 220);
    }
    later(3725);
    state.Timer1.tick();
    EXPECT_EQ(label("RecordingText")->text(), "day.csv, 1:02:05, 0 rows");
    EXPECT_TRUE(label("RecordingText")->toolTip().contains(tmp.filePath("day.csv")));
}

TEST(RecordingIndicator, CountsFromItsOwnStartAndNotesANewFile) {
    pm::RecordingIndicator r;
    const QDateTime t0(QDate(2026, 12, 8), QTime(23, 59, 59));
    r.reading(); // nothing running: nothing counted
    r.follow(true, "/x/a.csv", t0);
    r.reading();
    EXPECT_EQ(r.text(t0.addSecs(1)), "a.csv, 0:00:01, 1 row") << "across midnight";
    r.follow(true, "/x/a.csv", t0.addSecs(5));
    EXPECT_EQ(r.rows(), 1) << "the same recording goes on";
    r.follow(true, "/x/b.csv", t0.addSecs(6));
    EXPECT_EQ(r.text(t0.addSecs(6)), "b.csv, 0:00:00, 0 rows");
    r.follow(false, {}, t0.addSecs(7));
    EXPECT_TRUE(r.text(t0.addSecs(7)).isEmpty());
    r.follow(true, "/x/b.csv", t0.addSecs(8));
    EXPECT_EQ(r.rows(), 0) << "started again";
    EXPECT_EQ(r.text(t0.addSecs(8 + 100 * 3600)), "b.csv, 100:00:00, 0 rows");
}

TEST_F(Shell, PublishingKeepsPollingOnRecall) {
    pm::Telemetry telemetry{pm::TelemetrySettings{}}; // never started: no broker is needed
    form.setTelemetry(telemetry);
    link();
    clickTab(1);
    state.Timer1.tick();
    state.comunication.tick();
    EXPECT_EQ(port.lastWrite(), kLivePoll);
}

TEST_F(Shell, StatusBarSaysTheLinkAndTheLastReadingNotTheTitle) {
    auto* bar = form.statusBar();
    EXPECT_EQ(label("LinkText")->text(), "Looking for the meter");
    EXPECT_EQ(label("LastReading")->text(), "No reading yet");
    state.Findcom.tick();
    EXPECT_EQ(label("LinkText")->text(), "No meter: trying COM1");
    port.receiveHex("AA 55 AA");
    state.Findcom.tick();
    EXPECT_EQ(label("LinkText")->text(), "Meter connected on COM1");
    EXPECT_EQ(label("LinkMark")->palette().color(QPalette::WindowText), QColor(0, 160, 0));
    pollAndAnswer();
    EXPECT_EQ(label("LastReading")->text(), "Last reading " + pm::clockTexts(now).time);
    for (QLabel* l : bar->findChildren<QLabel*>())
        EXPECT_NE(l->text(), "DOUBLE PHASE DIGITAL PHASE METER") << l->objectName().toStdString();

    pm::LinkCaptions c;
    c.label1 = "COM4 Unviable";
    EXPECT_EQ(pm::linkStatus(c, false).text, "No meter: COM4 cannot be opened");
    EXPECT_EQ(pm::linkStatus(c, false).mark, QColor(220, 140, 0));
}

TEST_F(Shell, MenusCarryTheUsualKeys) {
    EXPECT_EQ(action("Save...")->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(action("Print...")->shortcut(), QKeySequence("Ctrl+P"));
    EXPECT_EQ(action("Open recording...")->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(action("Quit")->shortcut(), QKeySequence("Ctrl+Q"));
    EXPECT_EQ(action("Guide")->shortcut(), QKeySequence("F1"));
    EXPECT_NE(action("About phasemeter"), nullptr);
    const char* const tabNames[] = {"Realtime", "Recall", "Phasor", "Trend", "Wiring"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(action(tabNames[i])->shortcut(), QKeySequence(QString("Ctrl+%1").arg(i + 1)));

    // Another part of the program adds its own entry to File: it goes above Quit.
    auto* jobs = new QAction("Jobs...", &form);
    form.addFileAction(jobs);
    const QList<QAction*> file = form.findChild<QMenu*>("FileMenu")->actions();
    EXPECT_LT(file.indexOf(jobs), file.indexOf(action("Quit")));
    EXPECT_TRUE(file.at(file.indexOf(action("Quit")) - 1)->isSeparator());
}

TEST_F(Shell, KeysSwitchTabsAndOpenTheGuide) {
    link();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(tabs()->currentIndex(), 1);
    EXPECT_EQ(state.realview, pm::kFalse);
    EXPECT_TRUE(grid()->isVisible());
    QTest::keyClick(&form, Qt::Key_4, Qt::ControlModifier);
    EXPECT_EQ(tabs()->currentIndex(), 3);
    EXPECT_EQ(state.realview, pm::kTrue);
    state.comunication.tick();
    EXPECT_EQ(port.lastWrite(), kLivePoll);
    EXPECT_TRUE(action("Trend")->isChecked());

    QTest::keyClick(&form, Qt::Key_F1);
    ASSERT_NE(form.guide(), nullptr);
    EXPECT_TRUE(form.guide()->isVisible());
    // The docs' text, not a note to contact someone.
    const QString text = form.guide()->browser()->toPlainText();
    EXPECT_TRUE(text.contains("looks for the meter on COM1 to COM16"))
        << text.left(200).toStdString();
    form.guide()->showChapter(2);
    EXPECT_TRUE(form.guide()->browser()->toPlainText().contains("Record..."));
    // A link between chapters opens the other chapter, as text, not as markdown source.
    form.guide()->showChapter(0);
    form.guide()->browser()->setSource(QUrl("phasor.md")); // as a click on the link does
    const QString phasor = form.guide()->browser()->toPlainText();
    EXPECT_TRUE(phasor.startsWith("The phasor diagram")) << phasor.left(80).toStdString();
    form.guide()->close();

    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(Shell, HelpOpensTheGuideAndAboutKeepsTheOldNote) {
    button(6)->click();
    ASSERT_NE(form.guide(), nullptr);
    EXPECT_TRUE(form.guide()->isVisible());
    form.guide()->close();

    action("About phasemeter")->trigger();
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "Thank you for using our product!");
    EXPECT_EQ(box->text(),
              "DOUBLE PHASE DIGITAL PHASE METER(EN)\nContact us for more information!\n");
    box->button(QMessageBox::Ok)->click();
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(Shell, EveryControlSaysWhatItDoes) {
    for (QWidget* w : form.findChildren<QWidget*>()) {
        if (qobject_cast<QAbstractButton*>(w) && !w->parentWidget()->inherits("QTabBar") &&
            w->isVisibleTo(&form)) {
            EXPECT_FALSE(w->toolTip().isEmpty()) << w->objectName().toStdString();
        }
    }
    for (int i = 0; i < tabs()->count(); ++i)
        EXPECT_FALSE(tabs()->tabToolTip(i).isEmpty()) << i;
    EXPECT_TRUE(button(2)->toolTip().contains("Ctrl+S"));
    EXPECT_FALSE(child("s(0)")->toolTip().isEmpty());
    EXPECT_FALSE(grid()->toolTip().isEmpty());
}

TEST_F(Shell, SettingsComeBackOnTheNextStart) {
    QSettings settings(tmp.filePath("phasemeter.ini"), QSettings::IniFormat);
    clickTab(4);
    pm::WiringSettings w;
    w.system = pm::WiringSystem::FourWire;
    w.firstElement = 2;
    w.loadRange = {-10, 40};
    form.wiring().setSettings(w);
    form.findChild<QLineEdit*>("WiringSite")->setText("Substation 4");
    form.findChild<QLineEdit*>("WiringMeter")->setText("EM-2291-0457");
    form.trend().setChecked(pm::Field::U1, false);
    form.trend().setChecked(pm::Field::U2, false);
    form.trend().setChecked(pm::Field::Freq, true);
    form.trend().follow(pm::TrendViewport::Span::LastHour);
    form.setGeometry(QRect(30, 40, 700, 500));
    form.saveSettings(settings);
    settings.sync();

    FakeSerialPort port2;
    pm::Form1 next(port2);
    next.restoreSettings(settings);
    EXPECT_EQ(next.findChild<QTabBar*>("TabStrip1")->currentIndex(), 4);
    EXPECT_EQ(next.core().form.realview, pm::kTrue);
    EXPECT_EQ(next.wiring().settings().system, pm::WiringSystem::FourWire);
    EXPECT_EQ(next.wiring().settings().firstElement, 2);
    EXPECT_EQ(next.wiring().settings().loadRange.min, -10);
    EXPECT_EQ(next.wiring().settings().loadRange.max, 40);
    EXPECT_EQ(next.wiring().site, "Substation 4");
    EXPECT_EQ(next.wiring().meterNumber, "EM-2291-0457");
    // The page shows what the check uses.
    EXPECT_EQ(next.findChild<QComboBox*>("WiringSystem")->currentIndex(), 2);
    EXPECT_EQ(next.findChild<QSpinBox*>("WiringLoadMin")->value(), -10);
    EXPECT_EQ(next.findChild<QSpinBox*>("WiringLoadMax")->value(), 40);
    EXPECT_EQ(next.findChild<QLineEdit*>("WiringMeter")->text(), "EM-2291-0457");
    EXPECT_EQ(next.trend().selection().checked(),
              (std::vector<pm::Field>{pm::Field::I1, pm::Field::I2, pm::Field::Freq}));
    EXPECT_EQ(next.trend().viewport().span(), pm::TrendViewport::Span::LastHour);
    EXPECT_EQ(next.geometry(), QRect(30, 40, 700, 500));
}

TEST_F(Shell, SettingsOutOfRangeKeepTheStartValues) {
    QSettings settings(tmp.filePath("bad.ini"), QSettings::IniFormat);
    settings.setValue("window/tab", 9);
    settings.setValue("wiring/system", 7);
    settings.setValue("wiring/loadMin", 50);
    settings.setValue("wiring/loadMax", 20);
    settings.setValue("trend/quantities", QStringList{"99", "x"});
    settings.setValue("trend/span", -4);
    form.restoreSettings(settings);
    EXPECT_EQ(tabs()->currentIndex(), 0);
    EXPECT_EQ(form.wiring().settings().system, pm::WiringSystem::ThreeWire);
    EXPECT_LT(form.wiring().settings().loadRange.min, form.wiring().settings().loadRange.max);
    EXPECT_FALSE(form.trend().selection().checked().empty());
    EXPECT_EQ(form.trend().viewport().span(), pm::TrendViewport::Span::LastMinute);
}

TEST(WindowPlacement, AWindowOnAScreenThatIsGoneComesBackOnOne) {
    const QRect primary(0, 0, 1024, 768);
    const QRect right(1024, 0, 1920, 1080);
    // On the second screen, which is still there: kept.
    EXPECT_EQ(pm::placeOnScreen(QRect(1500, 100, 907, 669), {primary, right}),
              QRect(1500, 100, 907, 669));
    // That screen is gone: centred on the primary one.
    EXPECT_EQ(pm::placeOnScreen(QRect(1500, 100, 907, 669), {primary}), QRect(58, 49, 907, 669));
    // Larger than the screen now there: as large as it.
    EXPECT_EQ(pm::placeOnScreen(QRect(1500, 100, 1800, 1000), {primary}), primary);
    // Its title bar just off the top edge: cannot be grabbed, so brought back.
    EXPECT_EQ(pm::placeOnScreen(QRect(10, 10, 400, 300), {primary}).top(), 234);
    EXPECT_EQ(pm::placeOnScreen(QRect(10, 20, 400, 300), {primary}).top(), 20);
    // Only a sliver of the title bar on the screen: brought back too.
    EXPECT_EQ(pm::placeOnScreen(QRect(-360, 10, 400, 300), {primary}).left(), 312);
}
