#include "Printers.h"
#include "TestVectors.h"
#include "app/trend/TrendPlot.h"
#include "app/trend/TrendTab.h"
#include "app/window/Form1.h"
#include "fakes/PortList.h"
#include "fakes/SimProcess.h"
#include "fakes/WaitUntil.h"
#include "link/Commands.h"
#include "platform/QtSerialPort.h"
#include "protocol/Download.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryFile>
#include <QToolButton>
#include <gtest/gtest.h>
#include <signal.h>

namespace {

void click(QWidget* w, QPoint at) {
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, w->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(w, &event);
    }
}

// With PHASEMETER_SCREENSHOTS set (a folder), the window is saved there at each stage.
void screenshot(QWidget& w, const QString& name) {
    const QString dir = qEnvironmentVariable("PHASEMETER_SCREENSHOTS");
    if (!dir.isEmpty())
        w.grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

} // namespace

TEST(WindowOnSimulator, LinksShowsLiveValuesAndDownloadsTheStoredRecords) {
    // Records a reading can hold: one with an angle of 360.0 degrees would be asked for again and
    // named as stored damaged in a message box.
    const QStringList names = {"worked_example", "load_thresholds", "worked_example"};
    QTemporaryFile records;
    ASSERT_TRUE(records.open());
    for (const QString& name : names)
        records.write(readingVector(name).block.toHex(' ') + '\n');
    records.close();
    // Both channels live, so that the phasor diagram has all four arrows.
    const ReadingVector& live = readingVector("opposed_and_rounded_angle");
    SimProcess sim({"--live", QString::fromLatin1(live.block.toHex(' ')), "--record-file",
                    records.fileName()});
    ASSERT_TRUE(sim.ok()) << sim.log().toStdString();
    const PortList com1({sim.device()}); // as scripts/run-simulated.sh maps it

    pm::QtSerialPort port;
    pm::Form1 form(port);
    form.startTimers();
    form.show();
    const pm::FormState& state = form.core().form;
    auto* label2 = form.findChild<QLabel*>("Label2");
    auto* u0 = form.findChild<QLabel*>("u(0)");
    auto* tabs = form.findChild<QTabBar*>("TabStrip1");
    auto* grid = form.findChild<QTableView*>("grid");
    auto* read = form.findChild<QToolButton*>("Command1");
    auto* progress = form.findChild<QWidget*>("DownloadProgress");
    ASSERT_TRUE(label2 && u0 && tabs && grid && read && progress);

    // Linked on the first discovery tick, handed over to polling on the second.
    ASSERT_TRUE(waitUntil([&] { return !state.Findcom.enabled(); }, 5000))
        << label2->text().toStdString();
    EXPECT_EQ(label2->text(), "Connected");
    EXPECT_EQ(form.findChild<QLabel*>("Label1")->text(), "COM1 Open");
    EXPECT_EQ(form.findChild<QLabel*>("Label1")->toolTip(), sim.device());
    ASSERT_TRUE(waitUntil([&] { return u0->text() == "220.00"; }, 4000))
        << u0->text().toStdString();
    EXPECT_EQ(form.findChild<QLabel*>("s(1)")->text(), live.texts[int(pm::Field::S2)]);
    screenshot(form, QStringLiteral("simulator-realtime"));

    click(tabs, tabs->tabRect(1).center());
    ASSERT_EQ(state.realview, pm::kFalse);
    EXPECT_TRUE(grid->isVisible());
    read->click();
    EXPECT_TRUE(progress->isVisible());
    EXPECT_FALSE(read->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return state.download.counted; }, 3000)) << "no count reply";
    EXPECT_EQ(state.reccount, 3);
    const QAbstractItemModel* m = grid->model();
    // The last reply comes after the last request has gone out.
    ASSERT_TRUE(waitUntil(
        [&] {
            return !pm::downloadRunning(state) && m->rowCount() == 18 &&
                   !m->data(m->index(13, 1)).toString().isEmpty();
        },
        5000))
        << m->rowCount();
    EXPECT_TRUE(read->isEnabled());
    EXPECT_FALSE(progress->isVisible());
    screenshot(form, QStringLiteral("simulator-recall"));

    // Each block holds its record's texts, at the places of the live panel's labels.
    const std::pair<int, int> cellOf[] = {{1, 1}, {2, 1}, {1, 2}, {2, 2}, {1, 3}, {2, 3},
                                          {1, 4}, {2, 4}, {1, 5}, {2, 5}, {1, 6}, {2, 6},
                                          {3, 1}, {4, 1}, {3, 3}, {4, 3}, {3, 5}};
    for (int k = 1; k <= 3; ++k) {
        const ReadingVector& v = readingVector(names[k - 1]);
        const int r0 = 6 * (k - 1);
        EXPECT_EQ(m->data(m->index(r0, 0)).toString(), QStringLiteral("NO.%1").arg(k));
        for (int f = 0; f < pm::kFieldCount; ++f) {
            const auto [dr, c] = cellOf[f];
            EXPECT_EQ(m->data(m->index(r0 + dr, c)).toString(), v.texts[f])
                << "record " << k << " field " << f;
        }
    }

    // Polling is back: the keep-alive of the recall view keeps the link.
    ASSERT_TRUE(waitUntil([&] { return state.lastcmd == pm::CmdLink; }, 3000));
    EXPECT_EQ(label2->text(), "Connected");

    // The phasor tab polls live readings again and draws them.
    click(tabs, tabs->tabRect(2).center());
    auto* phasor = form.findChild<QWidget*>("Phasor");
    ASSERT_TRUE(phasor && phasor->isVisible());
    EXPECT_FALSE(grid->isVisible());
    ASSERT_TRUE(waitUntil([&] { return state.lastcmd == pm::CmdLive; }, 3000));
    screenshot(form, QStringLiteral("simulator-phasor"));
}

// The wiring check on the simulated meter, wired with element 1's current transformer the wrong
// way round.
TEST(WindowOnSimulator, ChecksTheWiringOfAReversedCurrentTransformer) {
    SimProcess sim({"--wiring", "3p3w:ABC:-A:+C", "--load-angle", "25.8"});
    ASSERT_TRUE(sim.ok()) << sim.log().toStdString();
    const PortList com1({sim.device()});

    pm::QtSerialPort port;
    pm::Form1 form(port);
    form.startTimers();
    form.show();
    auto* tabs = form.findChild<QTabBar*>("TabStrip1");
    auto* verdict = form.findChild<QLabel*>("WiringVerdict");
    auto* common = form.findChild<QComboBox*>("WiringCommon");
    auto* site = form.findChild<QLineEdit*>("WiringSite");
    ASSERT_TRUE(tabs && verdict && common && site);
    click(tabs, tabs->tabRect(4).center());
    common->setCurrentIndex(2);
    site->setText(QStringLiteral("Feeder 7, panel 2"));
    ASSERT_TRUE(waitUntil([&] { return verdict->text().startsWith("Element 1"); }, 8000))
        << verdict->text().toStdString();
    EXPECT_EQ(verdict->text(), "Element 1 current reversed (I1 = \u2212Ia). Load angle 25.8\u00B0 "
                               "lagging (PF 0.900). The meter registers 27.9% of the energy: "
                               "K = 3.583.");
    screenshot(form, QStringLiteral("simulator-wiring"));
}

// The Trend tab on the simulated meter: the meter falls silent (its process stopped), the plot
// shades the silence, and the read-out under the mouse shows the reading there. With
// PHASEMETER_SCREENSHOTS set, it runs for a minute and a half and saves the tab.
TEST(WindowOnSimulator, TrendShadesTheMetersSilenceAndReadsOutUnderTheMouse) {
    const bool picture = !qEnvironmentVariableIsEmpty("PHASEMETER_SCREENSHOTS");
    SimProcess sim({"--seed", "7"});
    ASSERT_TRUE(sim.ok()) << sim.log().toStdString();
    const PortList com1({sim.device()});
    pm::QtSerialPort port;
    pm::Form1 form(port);
    form.startTimers();
    form.show();
    auto* tabs = form.findChild<QTabBar*>("TabStrip1");
    click(tabs, tabs->tabRect(3).center());
    const pm::TrendSeries& readings = form.trend().shown();
    const auto before = std::size_t(picture ? 50 : 3);
    ASSERT_TRUE(waitUntil([&] { return readings.size() >= before; }, int(before) * 2000 + 10000));

    // Silent for longer than a gap, not long enough to lose the link.
    const qint64 silentFrom = readings.msecsAt(readings.size() - 1);
    ::kill(pid_t(sim.process().processId()), SIGSTOP);
    const qint64 silence = picture ? 3500 : 3000;
    waitUntil([&] { return QDateTime::currentMSecsSinceEpoch() - silentFrom > silence; },
              int(silence) + 5000);
    ::kill(pid_t(sim.process().processId()), SIGCONT);
    const std::size_t after = readings.size() + (picture ? 30 : 2);
    ASSERT_TRUE(waitUntil([&] { return readings.size() >= after; }, 60000));
    if (!picture)
        form.trend().follow(pm::TrendViewport::Span::All);

    auto* plot = form.findChild<pm::TrendPlot*>("TrendPlot");
    const QStringList gaps = plot->gapLabels();
    ASSERT_EQ(gaps.size(), 1) << gaps.join('|').toStdString();
    EXPECT_TRUE(gaps[0].startsWith("No readings ")) << gaps[0].toStdString();

    // A cursor pinned near the end, the mouse near the start: the read-out stays clear of the gap.
    const QRectF area = plot->chart()->plotArea();
    auto at = [&](double share) {
        return plot->mapFromScene(QPointF(area.left() + share * area.width(), area.center().y()));
    };
    click(plot->viewport(), at(0.85));
    QMouseEvent move(QEvent::MouseMove, at(0.1), plot->viewport()->mapToGlobal(at(0.1)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(plot->viewport(), &move);
    const QStringList lines = plot->readoutLines();
    ASSERT_GE(lines.size(), 5);
    EXPECT_TRUE(lines.contains(QRegularExpression("^U1  2\\d\\d\\.\\d\\d V$")))
        << lines.join('|').toStdString();
    screenshot(form, QStringLiteral("simulator-trend"));
}
