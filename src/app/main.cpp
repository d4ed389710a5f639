#include "app/AppIcon.h"
#include "app/Form1.h"
#include "platform/FileSizeSignal.h"
#include "platform/QtSerialPort.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    pm::ignoreFileSizeSignal();
    QApplication::setApplicationName(QStringLiteral("phasemeter"));
    // Task bars that go by the desktop entry (Wayland) find its name and icon through this.
    QApplication::setDesktopFileName(QStringLiteral("phasemeter"));
    QApplication::setWindowIcon(pm::appIcon());

    pm::QtSerialPort port;
    pm::Form1 form(port);
    form.startTimers();
    form.show();
    // "Close" closes the one window; the port is released as the program ends.
    return QApplication::exec();
}
