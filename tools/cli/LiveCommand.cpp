#include "cli/Cli.h"
#include "cli/MeterLink.h"
#include "cli/ReadingFormat.h"
#include "common/SignalWatcher.h"
#include "platform/PortMap.h"

#include <QCoreApplication>

namespace pm::cli {

namespace {

struct LiveOptions {
    QString device;      // empty: look for the meter
    long long count = 0; // 0: until interrupted
    bool csv = false;
};

const QString kDescription = QStringLiteral(
    "Links to the meter, asks for its live readings once a second and prints each one:\n"
    "as the five-line report of the real-time view (a blank line between readings), or as\n"
    "CSV (a header, then a row per reading: the time in ISO 8601 and every value of the\n"
    "panel). Runs until --count readings have come or Ctrl-C; fails when the meter does not\n"
    "answer or stops answering for 5 seconds. To log to a file:\n"
    "  phasemeter-cli live --format csv > readings.csv");

} // namespace

int runLive(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption port = portOption();
    const QCommandLineOption countOption(
        QStringLiteral("count"), QStringLiteral("Stop after <N> readings."), QStringLiteral("N"));
    const QCommandLineOption formatOption(QStringLiteral("format"),
                                          QStringLiteral("report (the default) or csv."),
                                          QStringLiteral("report|csv"), QStringLiteral("report"));
    parser.addOptions({port, countOption, formatOption});
    if (const auto done = parseArguments(parser, QStringLiteral("live"),
                                         QStringLiteral("live [--port DEV] [--count N] "
                                                        "[--format report|csv]"),
                                         kDescription, arguments))
        return *done;

    auto usage = [](const QString& message) { return usageError(QStringLiteral("live"), message); };
    if (!parser.positionalArguments().isEmpty())
        return usage(QStringLiteral("unexpected argument \"%1\".")
                         .arg(parser.positionalArguments().first()));
    LiveOptions o;
    o.device = parser.value(port);
    if (parser.isSet(port) && o.device.isEmpty())
        return usage(QStringLiteral("--port needs a device, e.g. /dev/ttyUSB0."));
    if (parser.isSet(countOption)) {
        bool ok = false;
        o.count = parser.value(countOption).toLongLong(&ok);
        if (!ok || o.count < 1)
            return usage(QStringLiteral("--count takes a whole number of readings, 1 or more, "
                                        "not \"%1\".")
                             .arg(parser.value(countOption)));
    }
    const QString format = parser.value(formatOption);
    if (format != QLatin1String("report") && format != QLatin1String("csv"))
        return usage(QStringLiteral("--format is report or csv, not \"%1\".").arg(format));
    o.csv = format == QLatin1String("csv");

    // A named device is the only port: the search then tries it alone.
    if (!o.device.isEmpty())
        setPortDevices({o.device});
    MeterLink link(o.device.isEmpty() ? kPortCount : 1);
    long long readings = 0;
    auto finish = [&link](int code) {
        link.stop();
        QCoreApplication::exit(code);
    };
    link.onReply = [&](ReplyKind kind) {
        if (kind != ReplyKind::Live)
            return;
        const Panel& panel = link.core().panel;
        QString text;
        if (o.csv)
            text = (readings == 0 ? csvHeader() : QString()) +
                   csvRow(QDateTime::currentDateTime(), panel);
        else
            text = (readings == 0 ? QString() : QStringLiteral("\n")) + reportText(panel);
        if (!printOut(text)) {
            printError(QStringLiteral("Cannot write the readings to standard output."));
            finish(kExitFailure);
            return;
        }
        if (++readings == o.count)
            finish(kExitOk);
    };
    link.onFailure = [&finish](const QString& message) {
        printError(message);
        finish(kExitFailure);
    };
    SignalWatcher interrupt([&finish](int) { finish(kExitOk); });
    link.start();
    return QCoreApplication::exec();
}

} // namespace pm::cli
