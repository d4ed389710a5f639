#pragma once

#include <functional>

namespace pm {

// A window timer as the logic sees it: Enabled, an interval and a tick handler. The application
// drives it with a QTimer (TimerDriver); tests call tick() by hand.
class Timer {
public:
    Timer(int intervalMs, bool enabled) : interval_(intervalMs), enabled_(enabled) {}

    int interval() const { return interval_; }
    bool enabled() const { return enabled_; }
    void setEnabled(bool on) {
        if (on == enabled_)
            return;
        enabled_ = on;
        if (onEnabledChanged)
            onEnabledChanged(on);
    }

    // A new interval counts from now when the timer runs, else from when it is turned on.
    void setInterval(int ms) {
        if (ms == interval_)
            return;
        interval_ = ms;
        restart();
    }

    // A running timer starts its interval again from now: its next tick is a whole interval away.
    void restart() {
        if (!enabled_ || !onEnabledChanged)
            return;
        onEnabledChanged(false);
        onEnabledChanged(true);
    }

    // Runs the handler if the timer is on, as a real tick would.
    void tick() {
        if (enabled_ && onTick)
            onTick();
    }

    std::function<void()> onTick;
    std::function<void(bool)> onEnabledChanged;

private:
    int interval_;
    bool enabled_;
};

} // namespace pm
