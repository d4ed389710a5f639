#pragma once

#include "link/Timer.h"

#include <QObject>
#include <QTimer>

namespace pm {

// Runs a logic timer on a QTimer: ticks at its interval while it is enabled. Takes over the
// timer's onEnabledChanged for as long as the driver lives.
class TimerDriver : public QObject {
public:
    explicit TimerDriver(Timer& timer, QObject* parent = nullptr);
    ~TimerDriver() override;

    const QTimer& qtimer() const { return qtimer_; }

private:
    void setRunning(bool on);

    Timer& timer_;
    QTimer qtimer_;
};

} // namespace pm
