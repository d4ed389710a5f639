#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace pm {

// Error numbers of a failed open, as the link logic expects them.
inline constexpr int kOpenOk = 0;
inline constexpr int kErrNoSuchPort = 8002;
inline constexpr int kErrPortInUse = 8005;
inline constexpr int kErrOpenFailed = 8010; // anything else: permission denied, bad settings...

// Kinds of serial event; only a receive event carries a reply.
inline constexpr int kEvReceive = 2;
inline constexpr int kEvError = 1001;

// The serial port as the link logic uses it: one port at a time, selected by number 1 to 16,
// 9600 8N1, bytes only. The receive handler is called on the UI thread, between other handlers,
// once at least `threshold` bytes wait in the receive buffer.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    virtual void setCommPort(int port) = 0;
    virtual int commPort() const = 0;
    virtual bool isOpen() const = 0;
    // Opens the selected port; returns kOpenOk or one of the error numbers above.
    virtual int open() = 0;
    virtual void close() = 0;

    virtual void setThreshold(int bytes) = 0;
    // Queues bytes for sending, unchanged.
    virtual void output(const QByteArray& bytes) = 0;
    // Discards every received byte still waiting.
    virtual void discardInput() = 0;
    // Discards unsent output, but never the frame just written.
    virtual void discardOutput() = 0;
    // Every waiting received byte, removed from the buffer.
    virtual QByteArray input() = 0;
    // How many received bytes wait, fewer than the threshold included (InBufferCount).
    virtual qint64 bytesWaiting() const = 0;
    // The kind of the event being reported (kEvReceive for a reply).
    virtual int commEvent() const = 0;

    // The device behind a port number ("" when the number names no device), and why the last
    // open failed, in words a user can act on; both for status tooltips and messages.
    virtual QString deviceName(int port) const = 0;
    virtual QString lastError() const = 0;

    void setEventHandler(std::function<void()> handler) { onComm_ = std::move(handler); }

protected:
    void raiseEvent() {
        if (onComm_)
            onComm_();
    }

private:
    std::function<void()> onComm_;
};

} // namespace pm
