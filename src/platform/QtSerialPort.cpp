#include "platform/QtSerialPort.h"

#include "platform/PortMap.h"

#include <QScopedValueRollback>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace pm {

namespace {

constexpr qint64 kReadBufferSize = 1024;

bool userMayReadWrite(const QString& device) {
#ifdef Q_OS_UNIX
    return ::access(device.toLocal8Bit().constData(), R_OK | W_OK) == 0;
#else
    // Windows reports a port held by another program as access denied.
    Q_UNUSED(device);
    return true;
#endif
}

QString permissionAdvice() {
#ifdef Q_OS_LINUX
    return QStringLiteral("Permission denied: add your user to the dialout group "
                          "(sudo usermod -aG dialout $USER), then log out and in again.");
#else
    return QStringLiteral("Permission denied: your user may not use this serial device.");
#endif
}

} // namespace

int openErrorNumber(QSerialPort::SerialPortError error, bool deviceAccessible) {
    switch (error) {
    case QSerialPort::NoError:
        return kOpenOk;
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::ResourceError: // a device node with no hardware behind it
        return kErrNoSuchPort;
    case QSerialPort::PermissionError:
        // Busy (a lock file, or the device opened exclusively) and forbidden come as one error.
        return deviceAccessible ? kErrPortInUse : kErrOpenFailed;
    default:
        return kErrOpenFailed;
    }
}

QtSerialPort::QtSerialPort(QObject* parent) : QObject(parent) {
    serial_.setBaudRate(QSerialPort::Baud9600);
    serial_.setDataBits(QSerialPort::Data8);
    serial_.setParity(QSerialPort::NoParity);
    serial_.setStopBits(QSerialPort::OneStop);
    serial_.setFlowControl(QSerialPort::NoFlowControl);
    serial_.setReadBufferSize(kReadBufferSize);
    connect(&serial_, &QSerialPort::readyRead, this, &QtSerialPort::onReadyRead);
    connect(&serial_, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
}

int QtSerialPort::open() {
    if (serial_.isOpen()) {
        lastError_ = QStringLiteral("The port is already open.");
        return kErrPortInUse;
    }
    const QString device = portDevice(port_);
    if (device.isEmpty()) {
        lastError_ = QStringLiteral("No serial device is assigned to COM%1.").arg(port_);
        return kErrNoSuchPort;
    }
    serial_.setPortName(device);
    if (serial_.open(QIODevice::ReadWrite)) {
        lastError_.clear();
        return kOpenOk;
    }
    const int err = openErrorNumber(serial_.error(), userMayReadWrite(device));
    if (err == kErrNoSuchPort)
        lastError_ = QStringLiteral("No such device; is the adapter plugged in?");
    else if (err == kErrPortInUse)
        lastError_ = QStringLiteral("The port is in use by another program.");
    else if (serial_.error() == QSerialPort::PermissionError)
        lastError_ = permissionAdvice();
    else
        lastError_ = QStringLiteral("The port could not be opened: ") + serial_.errorString();
    return err;
}

void QtSerialPort::close() {
    if (serial_.isOpen())
        serial_.close();
}

void QtSerialPort::output(const QByteArray& bytes) {
    if (!serial_.isOpen())
        return;
    // QSerialPort's write only queues until the event loop next runs: hand the frame over now.
    serial_.write(bytes);
    serial_.flush();
}

void QtSerialPort::discardInput() {
    drained_ = true;
    if (serial_.isOpen())
        serial_.clear(QSerialPort::Input);
}

void QtSerialPort::discardOutput() {
    // output() hands every frame to the driver at once, so this layer never holds anything older
    // than the frame just written; clearing the driver's queue would drop that frame while it is
    // still being shifted out at 9600 baud. Flushing pushes out whatever a short write left.
    if (serial_.isOpen())
        serial_.flush();
}

QByteArray QtSerialPort::input() {
    drained_ = true;
    return serial_.isOpen() ? serial_.readAll() : QByteArray();
}

QString QtSerialPort::deviceName(int port) const {
    return portDevice(port);
}

void QtSerialPort::onReadyRead() {
    if (inEvent_)
        return;
    const QScopedValueRollback guard(inEvent_, true);
    // Bytes that come in while the handler runs a nested event loop raise no readyRead of their
    // own: look again once it returns, but never report the same unread bytes twice.
    qint64 reported = 0;
    while (serial_.isOpen() && threshold_ > 0) {
        const qint64 waiting = serial_.bytesAvailable();
        if (waiting < threshold_ || waiting <= reported)
            return;
        drained_ = false;
        raiseEvent();
        reported = drained_ ? 0 : waiting;
    }
}

void QtSerialPort::onError(QSerialPort::SerialPortError error) {
    // A vanished device (adapter pulled, far end of a pty closed) reports a read error on every
    // turn of the event loop until the port is closed. Closed, it sends nothing, the link times
    // out and discovery moves on.
    if ((error == QSerialPort::ReadError || error == QSerialPort::ResourceError) &&
        serial_.isOpen())
        serial_.close();
}

} // namespace pm
