#include "fakes/Pty.h"
#include "fakes/WaitUntil.h"
#include "link/Commands.h"
#include "link/Comsend.h"
#include "platform/PortMap.h"
#include "platform/QtSerialPort.h"

#include <QDeadlineTimer>
#include <QThread>
#include <gtest/gtest.h>
#include <sys/ioctl.h>

namespace {

// Waits, without letting the port read them, until `bytes` bytes wait in the terminal's input
// queue.
bool queued(int fd, int bytes) {
    const QDeadlineTimer deadline(2000);
    int n = 0;
    while (::ioctl(fd, FIONREAD, &n) == 0 && n < bytes && !deadline.hasExpired())
        QThread::yieldCurrentThread();
    return n >= bytes;
}

// A port opened on a pseudo-terminal, keeping the bytes of its last receive event.
class QtSerialPortFastReply : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        pm::setPortDevices({pty.slavePath()});
        port.setCommPort(1);
        ASSERT_EQ(port.open(), pm::kOpenOk);
        port.setEventHandler([this] { got = port.input(); });
    }
    void TearDown() override { pm::setPortDevices({}); }

    Pty pty;
    pm::QtSerialPort port;
    QByteArray got;
};

// A meter (or the simulator) may answer while comsend is still between writing its frame and
// emptying the receive buffer; that reply belongs to the new request and must not be thrown away.
TEST_F(QtSerialPortFastReply, AReplyThatOvertakesTheDiscardAfterTheWriteIsKept) {
    // Bytes of an earlier exchange are waiting when the request goes out: they do not count.
    ASSERT_TRUE(pty.write(QByteArray::fromHex("0102")));
    ASSERT_TRUE(waitUntil([&] { return port.findChild<QSerialPort*>()->bytesAvailable() == 2; }));

    port.setThreshold(3);
    port.output(pm::commandFrame(pm::CmdLink));
    EXPECT_EQ(pty.read(3).toHex(), "aaf82a");
    ASSERT_TRUE(pty.write(QByteArray::fromHex("aa55aa"))); // answered at once
    ASSERT_TRUE(queued(pty.slaveFd(), 3)); // in the driver's buffer before the discard
    port.discardInput();
    port.discardOutput();
    EXPECT_TRUE(waitUntil([&] { return !got.isEmpty(); }));
    EXPECT_EQ(got.toHex(), "aa55aa");
}

// Only the discard right after the write spares what came in meanwhile; the next one empties
// the buffer as usual.
TEST_F(QtSerialPortFastReply, ASecondDiscardAfterOneWriteLeavesNothingWaiting) {
    port.setThreshold(3);
    port.output(pm::commandFrame(pm::CmdLink));
    EXPECT_EQ(pty.read(3).toHex(), "aaf82a");
    ASSERT_TRUE(pty.write(QByteArray::fromHex("0102")));
    ASSERT_TRUE(queued(pty.slaveFd(), 2));
    port.discardInput();
    port.discardInput();
    ASSERT_TRUE(pty.write(QByteArray::fromHex("aa55aa")));
    EXPECT_TRUE(waitUntil([&] { return !got.isEmpty(); }));
    EXPECT_EQ(got.toHex(), "aa55aa");
}

} // namespace
