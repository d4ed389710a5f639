#include "platform/PortMap.h"

#include <QSerialPortInfo>
#include <algorithm>
#include <tuple>

namespace pm {

namespace {

QStringList& chosenDevices() {
    static QStringList devices;
    return devices;
}

// Adapter rank, stem, trailing number ("/dev/ttyUSB10": 0, "ttyUSB", 10), then the whole name so
// that the order is total.
auto sortKey(const QString& device) {
    const QString name = device.mid(device.lastIndexOf(QLatin1Char('/')) + 1);
    qsizetype digits = name.size();
    while (digits > 0 && name.at(digits - 1).isDigit())
        --digits;
    const int rank = name.startsWith(QLatin1String("ttyUSB"))   ? 0
                     : name.startsWith(QLatin1String("ttyACM")) ? 1
                                                                : 2;
    const qulonglong number = digits < name.size() ? name.mid(digits).toULongLong() : 0;
    return std::make_tuple(rank, name.left(digits), digits < name.size(), number, device);
}

#ifndef Q_OS_WIN
QStringList systemDevices() {
    QStringList devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        devices << info.systemLocation();
    return orderSerialDevices(devices);
}
#endif

} // namespace

QStringList orderSerialDevices(QStringList devices) {
    std::sort(devices.begin(), devices.end(),
              [](const QString& a, const QString& b) { return sortKey(a) < sortKey(b); });
    return devices;
}

void setPortDevices(const QStringList& devices) {
    chosenDevices() = devices;
}

QString portDevice(int port) {
    if (port < 1 || port > kPortCount)
        return {};
    if (!chosenDevices().isEmpty())
        return chosenDevices().value(port - 1);
#ifdef Q_OS_WIN
    return QStringLiteral("COM") + QString::number(port);
#else
    const char* listVar = "PHASEMETER_PORTS";
    const QStringList devices = qEnvironmentVariableIsSet(listVar)
                                    ? qEnvironmentVariable(listVar).split(QLatin1Char(':'))
                                    : systemDevices();
    return devices.value(port - 1);
#endif
}

} // namespace pm
