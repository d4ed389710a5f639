#pragma once

#include <QByteArray>
#include <QStringList>
#include <QtGlobal>

// PHASEMETER_PORTS for the length of a test: the devices of COM1, COM2, ... in order.
class PortList {
public:
    explicit PortList(const QStringList& devices)
        : saved_(qgetenv("PHASEMETER_PORTS")),
          wasSet_(qEnvironmentVariableIsSet("PHASEMETER_PORTS")) {
        qputenv("PHASEMETER_PORTS", devices.join(QLatin1Char(':')).toLocal8Bit());
    }
    ~PortList() {
        if (wasSet_)
            qputenv("PHASEMETER_PORTS", saved_);
        else
            qunsetenv("PHASEMETER_PORTS");
    }
    PortList(const PortList&) = delete;
    PortList& operator=(const PortList&) = delete;

private:
    QByteArray saved_;
    bool wasSet_;
};
