#include "common/SignalWatcher.h"
#include "sim/PtyEndpoint.h"
#include "sim/SimOptions.h"
#include "sim/Simulator.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>

// The meter on a pseudo-terminal, for running and testing the program without the instrument.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // A log redirected to a file that reaches the file-size limit fails its writes; it does not
    // kill the meter.
    std::signal(SIGXFSZ, SIG_IGN);
    const pm::sim::SimOptions options = pm::sim::parseSimOptions(app.arguments().mid(1));
    switch (options.outcome) {
    case pm::sim::SimOptions::Help:
        std::fputs(qPrintable(options.message), stdout);
        return 0;
    case pm::sim::SimOptions::UsageError:
        std::fprintf(stderr, "phasemeter-sim: %s\n", qPrintable(options.message));
        return 2;
    case pm::sim::SimOptions::IoError:
        std::fprintf(stderr, "phasemeter-sim: %s\n", qPrintable(options.message));
        return 1;
    case pm::sim::SimOptions::Run:
        break;
    }

    pm::SignalWatcher stopOnSignal([](int) { QCoreApplication::quit(); });
    pm::sim::PtyEndpoint pty;
    QString error;
    if (!pty.open(error) ||
        (!options.config.link.isEmpty() && !pty.makeLink(options.config.link, error))) {
        std::fprintf(stderr, "phasemeter-sim: %s\n", qPrintable(error));
        return 1;
    }
    pm::sim::Simulator simulator(options.config, pty);
    // Whoever started the simulator waits for this line before opening the device.
    std::printf("%s\n", qPrintable(pty.devicePath()));
    std::fflush(stdout);
    return app.exec();
}
