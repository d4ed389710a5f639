#include "fakes/WaitUntil.h"
#include "link/TimerDriver.h"

#include <gtest/gtest.h>

namespace {

TEST(TimerDriver, RunsTheQTimerWhileTheTimerIsEnabled) {
    pm::Timer on(1000, true);
    pm::TimerDriver onDriver(on);
    EXPECT_TRUE(onDriver.qtimer().isActive());
    EXPECT_EQ(onDriver.qtimer().interval(), 1000);

    pm::Timer findcom(10, false);
    int ticks = 0;
    findcom.onTick = [&] { ++ticks; };
    pm::TimerDriver driver(findcom);
    EXPECT_FALSE(driver.qtimer().isActive());

    findcom.setEnabled(true);
    EXPECT_TRUE(driver.qtimer().isActive());
    ASSERT_TRUE(waitUntil([&] { return ticks >= 2; }));

    // A handler that switches its own timer off stops the QTimer.
    findcom.onTick = [&] {
        ++ticks;
        findcom.setEnabled(false);
    };
    const int before = ticks;
    ASSERT_TRUE(waitUntil([&] { return ticks > before; }));
    EXPECT_FALSE(driver.qtimer().isActive());
    EXPECT_EQ(ticks, before + 1);
}

TEST(TimerDriver, EnablingARunningTimerDoesNotRestartIt) {
    pm::Timer timer(1000, true);
    pm::TimerDriver driver(timer);
    ASSERT_TRUE(waitUntil([&] { return driver.qtimer().remainingTime() < 950; }));
    timer.setEnabled(true);
    ASSERT_TRUE(timer.onEnabledChanged);
    timer.onEnabledChanged(true); // even when told twice
    EXPECT_LT(driver.qtimer().remainingTime(), 950);
    EXPECT_TRUE(driver.qtimer().isActive());

    timer.setEnabled(false);
    EXPECT_FALSE(driver.qtimer().isActive());
    timer.setEnabled(true);
    EXPECT_TRUE(driver.qtimer().isActive());

    // Restarted, it waits a whole interval again.
    ASSERT_TRUE(waitUntil([&] { return driver.qtimer().remainingTime() < 950; }));
    timer.restart();
    EXPECT_GE(driver.qtimer().remainingTime(), 950);
}

TEST(TimerDriver, ReleasesTheTimerWhenDestroyed) {
    pm::Timer timer(100, false);
    {
        pm::TimerDriver driver(timer);
        EXPECT_TRUE(timer.onEnabledChanged);
    }
    EXPECT_FALSE(timer.onEnabledChanged);
    timer.setEnabled(true); // must not reach the destroyed driver
    EXPECT_TRUE(timer.enabled());
}

} // namespace
