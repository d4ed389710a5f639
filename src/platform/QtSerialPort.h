#pragma once

#include "platform/SerialPort.h"

#include <QObject>
#include <QSerialPort>

namespace pm {

// The instrument's port over QSerialPort, on the UI thread: 9600 8N1, no flow control, bytes only.
// COMn is mapped to a device by PortMap.
class QtSerialPort : public QObject, public SerialPort {
    Q_OBJECT

public:
    explicit QtSerialPort(QObject* parent = nullptr);

    void setCommPort(int port) override { port_ = port; }
    int commPort() const override { return port_; }
    bool isOpen() const override { return serial_.isOpen(); }
    int open() override;
    void close() override;

    void setThreshold(int bytes) override { threshold_ = bytes; }
    void output(const QByteArray& bytes) override;
    void discardInput() override;
    void discardOutput() override;
    QByteArray input() override;
    qint64 bytesWaiting() const override { return serial_.isOpen() ? serial_.bytesAvailable() : 0; }
    int commEvent() const override { return kEvReceive; }

    QString deviceName(int port) const override;
    QString lastError() const override { return lastError_; }

private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);

    QSerialPort serial_{this};
    int port_ = 1;
    int threshold_ = 0;
    bool inEvent_ = false;
    bool drained_ = false;
    bool replyMayBeWaiting_ = false; // a frame went out and the receive buffer was emptied first
    QString lastError_;
};

// The error number of a failed open. `deviceAccessible`: the user may read and write the device,
// which tells a busy port from a forbidden one when the system reports both as a permission error.
int openErrorNumber(QSerialPort::SerialPortError error, bool deviceAccessible);

} // namespace pm
