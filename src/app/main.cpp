#include "app/Form1.h"
#include "platform/FileSizeSignal.h"
#include "platform/QtSerialPort.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    pm::ignoreFileSizeSignal();
    QApplication::setApplicationName(QStringLiteral("phasemeter"));

    pm::QtSerialPort port;
    pm::Form1 form(port);
    form.startTimers();
    form.show();
    // "Close" closes the one window; the port is released as the program ends.
    return QApplication::exec();
}
