#include "cli/Cli.h"
#include "cli/MeterLink.h"
#include "common/SignalWatcher.h"
#include "platform/PortMap.h"

#include <QCoreApplication>

namespace pm::cli {

int runScan(const QStringList& arguments) {
    QCommandLineParser parser;
    if (const auto done = parseArguments(
            parser, QStringLiteral("scan"), QStringLiteral("scan"),
            QStringLiteral("Looks for the meter as the window does: COM1 to COM16 in turn, one "
                           "port every 500 ms,\n"
                           "each asked for the link handshake. Prints the port it answered on "
                           "and its device,\n"
                           "for example \"COM3 /dev/ttyUSB0\". Fails after a full round without "
                           "an answer.\n"
                           "The ports are the system's serial devices, or those listed in "
                           "PHASEMETER_PORTS\n"
                           "(separated by ':')."),
            arguments))
        return *done;
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("scan"), QStringLiteral("unexpected argument \"%1\".")
                                                      .arg(parser.positionalArguments().first()));

    MeterLink link(kPortCount);
    link.onLinked = [&link] {
        const bool written = printOut(link.linkedPort() + QLatin1Char('\n'));
        link.stop();
        if (!written)
            printError(QStringLiteral("Cannot write to standard output."));
        QCoreApplication::exit(written ? kExitOk : kExitFailure);
    };
    link.onFailure = [](const QString& message) {
        printError(message);
        QCoreApplication::exit(kExitFailure);
    };
    SignalWatcher interrupt([&link](int) {
        link.stop();
        printError(QStringLiteral("Interrupted before the meter was found."));
        QCoreApplication::exit(kExitFailure);
    });
    link.start();
    return QCoreApplication::exec();
}

} // namespace pm::cli
