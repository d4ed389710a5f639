#include "link/TimerDriver.h"

namespace pm {

TimerDriver::TimerDriver(Timer& timer, QObject* parent) : QObject(parent), timer_(timer) {
    qtimer_.setInterval(timer.interval());
    connect(&qtimer_, &QTimer::timeout, this, [this] { timer_.tick(); });
    timer_.onEnabledChanged = [this](bool on) { setRunning(on); };
    setRunning(timer.enabled());
}

TimerDriver::~TimerDriver() {
    timer_.onEnabledChanged = nullptr;
}

void TimerDriver::setRunning(bool on) {
    // Switching a running timer on again must not restart its interval.
    if (on && !qtimer_.isActive())
        qtimer_.start(timer_.interval());
    else if (!on)
        qtimer_.stop();
}

} // namespace pm
