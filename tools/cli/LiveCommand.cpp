#include "cli/Cli.h"
#include "cli/MeterLink.h"
#include "cli/ReadingFormat.h"
#include "common/SignalWatcher.h"
#include "platform/PortMap.h"
#include "telemetry/MqttPublisher.h"
#include "telemetry/Telemetry.h"
#include "trend/TrendCsv.h"
#include "trend/TrendRecorder.h"

#include <QCoreApplication>

namespace pm::cli {

namespace {

struct LiveOptions {
    QString device;      // empty: look for the meter
    long long count = 0; // 0: until interrupted
    bool csv = false;
    QString output; // empty: standard output
};

const QString kTelemetryDescription = QStringLiteral(
    "\n\n"
    "--mqtt publishes every reading to PREFIX/ID/state (JSON, QoS 1) and the meter's state to\n"
    "PREFIX/ID/status (\"online\", \"no meter\", \"offline\"); readings wait while the broker\n"
    "is away (a day's at most) and follow in order. --metrics serves them to Prometheus.\n"
    "Like --output, both go on through a silent meter and resume when it answers.\n"
    "The broker's password comes from --mqtt-password-file or PHASEMETER_MQTT_PASSWORD.");

const QString kDescription = QStringLiteral(
    "Links to the meter, asks for its live readings once a second and prints each one:\n"
    "as the five-line report of the real-time view (a blank line between readings), or as\n"
    "CSV (a header, then a row per reading: the time in ISO 8601 and every value of the\n"
    "panel). Runs until --count readings have come or Ctrl-C; fails when the meter does not\n"
    "answer or stops answering for 5 seconds, unless it logs or publishes.\n"
    "\n"
    "With --output, each CSV row is appended to FILE and synced to the disk, so a killed\n"
    "process or a power cut loses no row written. A new or empty file gets the header; a file\n"
    "that starts with it gets none, and a last row cut short by a power cut is removed first;\n"
    "any other file, and a file another program is recording into, is refused and left as it\n"
    "was. A meter that stops answering is reported and looked for again on its port, and the\n"
    "rows go on when it answers: only Ctrl-C, --count or a failed write end the run. For\n"
    "unattended logging:\n"
    "  phasemeter-cli live --format csv --output readings.csv");

} // namespace

int runLive(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption port = portOption();
    const QCommandLineOption countOption(
        QStringLiteral("count"), QStringLiteral("Stop after <N> readings."), QStringLiteral("N"));
    const QCommandLineOption formatOption(QStringLiteral("format"),
                                          QStringLiteral("report (the default) or csv."),
                                          QStringLiteral("report|csv"), QStringLiteral("report"));
    const QCommandLineOption outputOption(
        QStringLiteral("output"),
        QStringLiteral("Append the CSV rows to <FILE> instead of printing them."),
        QStringLiteral("FILE"));
    parser.addOptions({port, countOption, formatOption, outputOption});
    const TelemetryOptions telemetryOptions;
    telemetryOptions.addTo(parser);
    if (const auto done = parseArguments(parser, QStringLiteral("live"),
                                         QStringLiteral("live [--port DEV] [--count N] "
                                                        "[--format report|csv] [--output FILE]\n"
                                                        "       [--mqtt URL [--mqtt-id ID] "
                                                        "[--mqtt-user U --mqtt-password-file F]\n"
                                                        "        [--mqtt-cafile CA] "
                                                        "[--ha-discovery]] [--metrics ADDR:PORT]"),
                                         kDescription + kTelemetryDescription, arguments))
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
    o.output = parser.value(outputOption);
    if (parser.isSet(outputOption) && o.output.isEmpty())
        return usage(QStringLiteral("--output needs a file name."));
    if (!o.output.isEmpty() && !o.csv)
        return usage(QStringLiteral("--output logs CSV rows: add --format csv."));
    QString telemetryError;
    const auto telemetrySettings = telemetryOptions.settings(parser, o.device, &telemetryError);
    if (!telemetrySettings)
        return usage(telemetryError);

    // A broker that cannot be reached or refuses the login at the start ends the tool; one that
    // goes away later is waited for, and the readings are kept meanwhile.
    Telemetry telemetry(*telemetrySettings);
    telemetry.onNews = [](const QString& message) { printError(message); };
    telemetry.onProblem = [&telemetry](const QString& message) {
        printError(message);
        if (!telemetry.mqtt()->everConnected())
            QCoreApplication::exit(kExitFailure);
    };
    // Two meters in one topic would be worse than none: the user chooses another ID.
    telemetry.onIdTaken = [](const QString& message) {
        printError(message);
        QCoreApplication::exit(kExitUsage);
    };
    if (o.device.isEmpty())
        telemetry.holdMqttForPort();
    {
        QString error;
        if (!telemetry.start(&error, true)) {
            printError(error);
            return kExitFailure;
        }
    }

    // The tool keeps no history; the recorder only writes the log.
    TrendRecorder recorder(1);
    if (!o.output.isEmpty()) {
        QString error;
        QString notice;
        if (!recorder.startRecording(o.output, &error, &notice)) {
            printError(error);
            return kExitFailure;
        }
        if (!notice.isEmpty())
            printError(notice);
    }

    // A named device is the only port: the search then tries it alone.
    if (!o.device.isEmpty())
        setPortDevices({o.device});
    MeterLink link(o.device.isEmpty() ? kPortCount : 1);
    long long readings = 0;
    auto finish = [&link, &telemetry](int code) {
        link.stop();
        telemetry.finish([code](const QString& problem) {
            if (!problem.isEmpty())
                printError(problem);
            QCoreApplication::exit(code);
        });
    };
    link.onReply = [&](ReplyKind kind) {
        if (kind != ReplyKind::Live)
            return;
        const Panel& panel = link.core().panel;
        // One time for the reading wherever it goes, so the log and the broker agree.
        const QDateTime now = QDateTime::currentDateTime();
        telemetry.liveReading(now, panel);
        QString text;
        if (!o.output.isEmpty()) {
            QString error;
            if (!recorder.onLiveReading(now, panel, &error)) {
                printError(error);
                finish(kExitFailure);
                return;
            }
        } else if (o.csv)
            text = (readings == 0 ? trendCsvHeader() : QString()) + trendCsvRow(now, panel);
        else
            text = (readings == 0 ? QString() : QStringLiteral("\n")) + reportText(panel);
        if (!text.isEmpty() && !printOut(text)) {
            printError(QStringLiteral("Cannot write the readings to standard output."));
            finish(kExitFailure);
            return;
        }
        if (++readings == o.count)
            finish(kExitOk);
    };
    link.onFailure = [&finish, &telemetry](const QString& message) {
        telemetry.meterAnswering(false);
        printError(message);
        finish(kExitFailure);
    };
    // Unattended logging and telemetry outlast a meter switched off or a loose cable: the gap
    // shows in the file as missing times, on the broker as "no meter" and in the metrics as
    // phasemeter_meter_up 0.
    bool lost = false;
    const QString goesOn = o.output.isEmpty() ? QStringLiteral("the readings go on")
                                              : QStringLiteral("recording goes on");
    link.onLinked = [&lost, &link, &telemetry, goesOn] {
        telemetry.portFound(link.linkedDevice());
        if (lost)
            printError(QStringLiteral("The meter answers again on %1; %2.")
                           .arg(link.linkedPort(), goesOn));
        lost = false;
    };
    if (!o.output.isEmpty() || telemetrySettings->any()) {
        link.keepLookingAfterLoss();
        link.onLinkLost = [&lost, &telemetry, goesOn](const QString& message) {
            lost = true;
            telemetry.meterAnswering(false);
            printError(message +
                       QStringLiteral(" Looking for it again; %1 when it answers.").arg(goesOn));
        };
    }
    SignalWatcher interrupt([&finish](int) { finish(kExitOk); });
    link.start();
    int code = QCoreApplication::exec();
    // Every reading accepted reaches the disk before the tool ends; a header that got no reading
    // goes again if this run made the file.
    QString error;
    if (!recorder.stopRecording(&error)) {
        printError(error);
        code = kExitFailure;
    }
    return code;
}

} // namespace pm::cli
