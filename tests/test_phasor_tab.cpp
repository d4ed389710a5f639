#include "WindowFixture.h"
#include "app/phasor/PhasorDiagram.h"
#include "app/phasor/PhasorGeometry.h"

#include <QCoreApplication>

namespace {

const QByteArray kLivePoll = QByteArray::fromHex("AA C8 32");
const QByteArray kKeepAlive = QByteArray::fromHex("AA F8 2A");

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

struct PhasorTab : WindowFixture {
    QWidget* diagram() const { return child(QStringLiteral("Phasor")); }
    QWidget* frame1() const { return child(QStringLiteral("Frame1")); }

    // Polling, "Read" and "Save" as a tab click leaves them.
    void expectPollingAndButtonsOn() {
        EXPECT_TRUE(state.comunication.enabled());
        EXPECT_TRUE(button(1)->isEnabled());
        EXPECT_TRUE(button(2)->isEnabled());
    }
    void switchEverythingOff() {
        state.comunication.setEnabled(false);
        state.ui.readEnabled = state.ui.saveEnabled = false;
    }
};

} // namespace

TEST_F(PhasorTab, IsTheThirdTabAndTakesThePanelsPlace) {
    ASSERT_EQ(tabs()->count(), 5);
    EXPECT_EQ(tabs()->tabText(0), "Realtime");
    EXPECT_EQ(tabs()->tabText(1), "Recall");
    EXPECT_EQ(tabs()->tabText(2), "Phasor");
    EXPECT_EQ(tabs()->tabText(3), "Trend");
    EXPECT_EQ(tabs()->tabText(4), "Wiring");
    EXPECT_EQ(diagram()->geometry(), frame1()->geometry());
    EXPECT_FALSE(diagram()->isVisible()) << "the window opens on the real-time panel";

    clickTab(2);
    EXPECT_EQ(state.realview, pm::kTrue);
    EXPECT_TRUE(diagram()->isVisible());
    EXPECT_FALSE(frame1()->isVisible());
    EXPECT_FALSE(grid()->isVisible());
}

TEST_F(PhasorTab, PollsAndEnablesAsTheRealtimeView) {
    link();
    clickTab(1);
    switchEverythingOff();
    clickTab(2);
    EXPECT_EQ(state.realview, pm::kTrue);
    expectPollingAndButtonsOn();
    state.comunication.tick();
    EXPECT_EQ(port.lastWrite(), kLivePoll);

    // A click on the tab already shown runs its branch again.
    switchEverythingOff();
    clickTab(2);
    expectPollingAndButtonsOn();
    EXPECT_TRUE(diagram()->isVisible());

    // To the recall view: keep-alive polls and the table.
    clickTab(1);
    EXPECT_EQ(state.realview, pm::kFalse);
    EXPECT_FALSE(diagram()->isVisible());
    EXPECT_FALSE(frame1()->isVisible());
    EXPECT_TRUE(grid()->isVisible());
    state.comunication.tick();
    EXPECT_EQ(port.lastWrite(), kKeepAlive);

    // Back to the diagram, then to the real-time panel.
    clickTab(2);
    switchEverythingOff();
    clickTab(0);
    EXPECT_EQ(state.realview, pm::kTrue);
    expectPollingAndButtonsOn();
    EXPECT_TRUE(frame1()->isVisible());
    EXPECT_FALSE(diagram()->isVisible());
    EXPECT_FALSE(grid()->isVisible());
    state.comunication.tick();
    EXPECT_EQ(port.lastWrite(), kLivePoll);
}

TEST_F(PhasorTab, LeavingItDuringADownloadWaitsForTheDownloadLikeTheOtherTabs) {
    link();
    clickTab(1);
    button(1)->click(); // "Read": polling off while the records come in
    ASSERT_FALSE(state.comunication.enabled());
    clickTab(2);
    EXPECT_EQ(state.realview, pm::kTrue);
    EXPECT_FALSE(state.comunication.enabled()) << "polling would take the record replies";
    EXPECT_TRUE(diagram()->isVisible());
}

TEST_F(PhasorTab, IsRedrawnOnEveryLiveReply) {
    link();
    clickTab(2);
    QCoreApplication::processEvents();
    PaintCounter counter;
    diagram()->installEventFilter(&counter);
    for (int n = 1; n <= 3; ++n) {
        state.comunication.tick();
        ASSERT_EQ(port.lastWrite(), kLivePoll);
        port.receiveHex("F0 55 00 00 39 30 00 00 01 01 02 02 00 00 00 00 58 02 00 00 88 13");
        QCoreApplication::processEvents();
        EXPECT_GE(counter.paints, n);
    }
    // It draws what the panel shows: channel 1's voltage along +x, in channel 1's colour.
    const QImage image = diagram()->grab().toImage();
    const pm::PhasorLayout l = pm::phasorLayout(diagram()->size());
    const QPoint onU1 = (l.centre + QPointF(l.voltageRadius / 2, 0)).toPoint();
    EXPECT_EQ(image.pixelColor(onU1), pm::PhasorDiagram::channelColor(0));
    EXPECT_EQ(caption("u(0)"), "220.00");
}
