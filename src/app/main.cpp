#include "app/Form1.h"
#include "platform/QtSerialPort.h"
#include "protocol/Download.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("phasemeter"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The companion of the double phase digital phase meter."));
    parser.addHelpOption();
    const QCommandLineOption pacing(
        QStringLiteral("pacing"),
        QStringLiteral("How \"Read\" asks for the records: fixed, one every 100 ms (the default), "
                       "or reply, the next as soon as a reply is in."),
        QStringLiteral("fixed|reply"), QStringLiteral("fixed"));
    parser.addOption(pacing);
    parser.process(app);
    const auto recordPacing = pm::pacingFromName(parser.value(pacing));
    if (!recordPacing) {
        std::fprintf(stderr, "phasemeter: --pacing is fixed or reply, not \"%s\".\n",
                     qPrintable(parser.value(pacing)));
        return 2;
    }

    pm::QtSerialPort port;
    pm::Form1 form(port);
    form.core().form.download.pacing = *recordPacing;
    form.startTimers();
    form.show();
    // "Close" closes the one window; the port is released as the program ends.
    return QApplication::exec();
}
