#include "app/Form1.h"
#include "app/TrendTab.h"
#include "platform/QtSerialPort.h"

#include <QApplication>
#include <QCommandLineParser>
#include <csignal>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("phasemeter"));
#ifdef SIGXFSZ
    // A log that reaches the file-size limit fails its write instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
#endif

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("DOUBLE PHASE DIGITAL PHASE METER"));
    parser.addHelpOption();
    const QCommandLineOption log(
        QStringLiteral("log"),
        QStringLiteral("Record every live reading into FILE (CSV) from the start, as "
                       "\"Record...\" on the Trend tab does."),
        QStringLiteral("FILE"));
    parser.addOption(log);
    parser.process(app);

    pm::QtSerialPort port;
    pm::Form1 form(port);
    form.startTimers();
    form.show();
    // A log that cannot be opened is said in a message; the window runs on without it.
    if (parser.isSet(log))
        form.trend().startRecording(parser.value(log));
    // "Close" closes the one window; the port is released as the program ends.
    return QApplication::exec();
}
