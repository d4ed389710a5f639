#pragma once

#include "link/TimerDriver.h"
#include "platform/QtSerialPort.h"
#include "protocol/MeterCore.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace pm::cli {

// The window's link without the window: the shared core on the real serial port, driven by the
// same timers on QTimers. It adds only what a command needs to end: it gives up after a full
// round of the search without an answer, and it tells when the link is up and when it is lost.
class MeterLink : public QObject {
public:
    // `portsPerRound`: how many ports the search tries before it gives up (16, or 1 when the
    // meter's device was named). `table`: where downloaded records go, if anywhere.
    explicit MeterLink(int portsPerRound, RecordSink* table = nullptr, QObject* parent = nullptr);
    ~MeterLink() override;

    // Starts the search, as the window does at start-up.
    void start();
    // Once linked, a lost link is told through onLinkLost and the search goes on, round after
    // round, as the window's does, instead of ending in onFailure. For unattended logging.
    void keepLookingAfterLoss() { keepLooking_ = true; }
    // Stops every timer and closes the port; nothing is reported after this.
    void stop();

    MeterCore& core() { return core_; }
    // "COM3 /dev/ttyUSB0": the port the meter answered on.
    QString linkedPort() const;
    // "/dev/ttyUSB0": the device of that port.
    QString linkedDevice() const { return port_.deviceName(port_.commPort()); }
    // "Lost the link to the meter on ...": what to say when the meter has stopped answering.
    QString lostMessage() const;

    std::function<void()> onLinked;                 // the search has handed over to polling
    std::function<void(ReplyKind)> onReply;         // after each receive event
    std::function<void(const QString&)> onFailure;  // no answer in a round, or the link lost
    std::function<void(const QString&)> onLinkLost; // with keepLookingAfterLoss()

private:
    void searchTick(const std::function<void()>& search);
    void afterHandler();
    QString roundReport() const;

    QtSerialPort port_;
    MeterCore core_;
    std::vector<std::unique_ptr<TimerDriver>> drivers_;
    int portsPerRound_;
    int tried_ = 0;
    bool lastPortWaited_ = false; // the last port of the round has had its second tick
    QStringList outcomes_;        // per port tried: what came of it
    bool wasLinked_ = false;
    bool everLinked_ = false;
    bool keepLooking_ = false;
    bool stopped_ = false;
};

} // namespace pm::cli
