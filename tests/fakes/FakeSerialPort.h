#pragma once

#include "platform/SerialPort.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// A scripted serial port: records every operation, lets a test make ports fail to open and
// inject replies, and raises the receive event like the real layer (once the threshold is met).
class FakeSerialPort : public pm::SerialPort {
public:
    // Operations as they happened, e.g. "open 3", "threshold 22", "write AA C8 32", "discard in".
    QStringList log;
    QList<QByteArray> writes;
    QMap<int, int> openErrors; // port -> error number returned by open()
    int threshold = 0;
    int event = pm::kEvReceive;

    void setCommPort(int port) override { port_ = port; }
    int commPort() const override { return port_; }
    bool isOpen() const override { return open_; }
    int open() override {
        log << QStringLiteral("open %1").arg(port_);
        const int err = openErrors.value(port_, pm::kOpenOk);
        open_ = err == pm::kOpenOk;
        return err;
    }
    void close() override {
        log << QStringLiteral("close %1").arg(port_);
        open_ = false;
    }
    void setThreshold(int bytes) override {
        threshold = bytes;
        log << QStringLiteral("threshold %1").arg(bytes);
    }
    void output(const QByteArray& bytes) override {
        writes << bytes;
        log << QStringLiteral("write ") + QString::fromLatin1(bytes.toHex(' ').toUpper());
    }
    void discardInput() override {
        rx_.clear();
        log << QStringLiteral("discard in");
    }
    void discardOutput() override { log << QStringLiteral("discard out"); }
    QByteArray input() override {
        QByteArray all = rx_;
        rx_.clear();
        return all;
    }
    qint64 bytesWaiting() const override { return rx_.size(); }
    int commEvent() const override { return event; }
    QString deviceName(int port) const override { return QStringLiteral("/dev/fake%1").arg(port); }
    QString lastError() const override { return {}; }

    // Bytes arrive from the instrument; the receive event fires once the threshold is reached.
    void receive(const QByteArray& bytes) {
        rx_ += bytes;
        if (rx_.size() >= threshold)
            raiseEvent();
    }
    void receiveHex(const char* hex) { receive(QByteArray::fromHex(hex)); }
    // Bytes that are waiting but have not (yet) reached the threshold.
    void queueWithoutEvent(const QByteArray& bytes) { rx_ += bytes; }
    // Raises an event of another kind (transmit, line error...).
    void raiseOther(int kind) {
        event = kind;
        raiseEvent();
        event = pm::kEvReceive;
    }
    QByteArray lastWrite() const { return writes.isEmpty() ? QByteArray() : writes.last(); }

private:
    int port_ = 1;
    bool open_ = false;
    QByteArray rx_;
};
