#pragma once

#include "link/FormState.h"
#include "protocol/Dispatch.h"
#include "protocol/Reading.h"

#include <functional>

namespace pm {

class RecordSink;
class SerialPort;

// The logic shared by the window and the command-line tool: the form-level state, the live panel,
// and the handlers of the receive event, the link timers and the record download, wired to one
// serial port. The owner drives the timers (QTimers through TimerDriver, or tick() in tests).
class MeterCore {
public:
    explicit MeterCore(SerialPort& port, RecordSink* table = nullptr);
    MeterCore(const MeterCore&) = delete;
    MeterCore& operator=(const MeterCore&) = delete;

    // The link part of start-up: realview -1, linked 0, portno 1, discovery on.
    void start();
    // "Read" on the recall view.
    void read();
    // A tab of the views was clicked: -1 real-time, 0 recall.
    void showView(int realview);

    FormState form;
    Panel panel;
    SerialPort& port() { return port_; }

    // Called after every handler that may have changed what the window shows.
    std::function<void()> changed;
    // Called after each receive event with what it carried.
    std::function<void(ReplyKind)> replied;
    // Called once when a download has ended, before `changed`; form.download says how it ended.
    std::function<void()> downloadEnded;

private:
    void afterHandler();
    void onReceive();

    SerialPort& port_;
    RecordSink* table_;
    bool downloading_ = false;
};

} // namespace pm
