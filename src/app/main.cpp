#include "app/trend/TrendTab.h"
#include "app/window/AppIcon.h"
#include "app/window/Form1.h"
#include "app/wiring/WiringTab.h"
#include "jobs/JobsLocation.h"
#include "platform/FileSizeSignal.h"
#include "platform/QtSerialPort.h"
#include "protocol/Download.h"
#include "telemetry/Telemetry.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSettings>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    pm::ignoreFileSizeSignal();
    QApplication::setApplicationName(QStringLiteral("phasemeter"));
    // Task bars that go by the desktop entry (Wayland) find its name and icon through this.
    QApplication::setDesktopFileName(QStringLiteral("phasemeter"));
    QApplication::setWindowIcon(pm::appIcon());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("DOUBLE PHASE DIGITAL PHASE METER"));
    parser.addHelpOption();
    const QCommandLineOption log(
        QStringLiteral("log"),
        QStringLiteral("Record every live reading into FILE (CSV) from the start, as "
                       "\"Record...\" on the Trend tab does."),
        QStringLiteral("FILE"));
    const QCommandLineOption pacing(
        QStringLiteral("pacing"),
        QStringLiteral("How \"Read\" asks for the records: fixed, one every 100 ms (the default), "
                       "or reply, the next as soon as a reply is in."),
        QStringLiteral("fixed|reply"), QStringLiteral("fixed"));
    const QCommandLineOption jobs(
        QStringLiteral("jobs"),
        QStringLiteral("Where the field jobs are kept: a file, or postgresql://user@host:port/db "
                       "(default: jobs.sqlite in the user's data folder)."),
        QStringLiteral("URL"));
    const QCommandLineOption jobsPassword(
        QStringLiteral("jobs-password-file"),
        QStringLiteral("The PostgreSQL password, on the first line of FILE (else PGPASSFILE)."),
        QStringLiteral("FILE"));
    parser.addOptions({log, pacing, jobs, jobsPassword});
    const pm::TelemetryOptions telemetryOptions;
    telemetryOptions.addTo(parser);
    parser.process(app);
    const auto recordPacing = pm::pacingFromName(parser.value(pacing));
    if (!recordPacing) {
        std::fprintf(stderr, "phasemeter: --pacing is fixed or reply, not \"%s\".\n",
                     qPrintable(parser.value(pacing)));
        return 2;
    }
    QString telemetryError;
    // The window looks for the meter on every port: the ID has the host name alone by default.
    const auto telemetrySettings = telemetryOptions.settings(parser, {}, &telemetryError);
    if (!telemetrySettings) {
        std::fprintf(stderr, "phasemeter: %s\n", qPrintable(telemetryError));
        return 2;
    }

    QString jobsError;
    auto jobsLocation = pm::parseJobsLocation(parser.value(jobs), &jobsError);
    if (jobsLocation && parser.isSet(jobsPassword))
        pm::readPasswordFile(parser.value(jobsPassword), &jobsLocation->password, &jobsError);
    if (!jobsError.isEmpty()) {
        std::fprintf(stderr, "phasemeter: --jobs: %s\n", qPrintable(jobsError));
        return 2;
    }

    // Outlives the window that feeds it.
    pm::Telemetry telemetry(*telemetrySettings);
    pm::QtSerialPort port;
    pm::Form1 form(port);
    form.core().form.download.pacing = *recordPacing;
    form.wiring().jobs.setLocation(*jobsLocation);
    form.startTimers();
    // The window as it was left: its place, its tab, the wiring check's and the trend's choices.
    // In ~/.config/phasemeter/phasemeter.conf; named here so that no other path of the program's
    // moves with it.
    QSettings settings(QStringLiteral("phasemeter"), QStringLiteral("phasemeter"));
    form.restoreSettings(settings);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form,
                     [&form, &settings] { form.saveSettings(settings); });
    // The broker and the metrics page say how they fare in the status bar and on standard error;
    // the window never waits for them.
    if (telemetrySettings->any()) {
        form.setTelemetry(telemetry);
        auto say = telemetry.onProblem;
        telemetry.onProblem = [say](const QString& text) {
            std::fprintf(stderr, "phasemeter: %s\n", qPrintable(text));
            say(text);
        };
        QString error;
        if (!telemetry.start(&error))
            telemetry.onProblem(error);
    }
    form.show();
    // A log that cannot be opened is said in a message; the window runs on without it.
    if (parser.isSet(log))
        form.trend().startRecording(parser.value(log));
    // "Close" closes the one window; the port is released as the program ends.
    return QApplication::exec();
}
