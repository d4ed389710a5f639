#include "common/SignalWatcher.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pm {

namespace {

// The handler may only do async-signal-safe work: it writes the signal number into a socket that
// the event loop watches.
int wakeFds[2] = {-1, -1};

void onSignalRaised(int signal) {
    const int saved = errno;
    const char code = char(signal);
    [[maybe_unused]] const ssize_t n = ::write(wakeFds[1], &code, 1);
    errno = saved;
}

void install(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signal, &action, nullptr);
}

} // namespace

SignalWatcher::SignalWatcher(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
    if (wakeFds[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, wakeFds) != 0)
        return;
    ::fcntl(wakeFds[1], F_SETFL, O_NONBLOCK);
    ::fcntl(wakeFds[0], F_SETFL, O_NONBLOCK);
    notifier_ = new QSocketNotifier(wakeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { drain(); });
    install(SIGINT, onSignalRaised);
    install(SIGTERM, onSignalRaised);
}

SignalWatcher::~SignalWatcher() {
    if (!notifier_)
        return;
    install(SIGINT, SIG_DFL);
    install(SIGTERM, SIG_DFL);
    delete notifier_;
    ::close(wakeFds[0]);
    ::close(wakeFds[1]);
    wakeFds[0] = wakeFds[1] = -1;
}

void SignalWatcher::drain() {
    char code = 0;
    while (::read(wakeFds[0], &code, 1) == 1)
        if (onSignal_)
            onSignal_(code);
}

} // namespace pm
