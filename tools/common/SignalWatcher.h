#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace pm {

// Turns SIGINT and SIGTERM into a call on the event loop, so that a tool stopped by Ctrl-C or by
// a service manager still runs its destructors (closes its port, removes its link, flushes its
// output). One watcher per process.
class SignalWatcher : public QObject {
public:
    explicit SignalWatcher(std::function<void(int signal)> onSignal, QObject* parent = nullptr);
    ~SignalWatcher() override;

    bool ok() const { return notifier_ != nullptr; }

private:
    void drain();

    std::function<void(int)> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace pm
