#include "fakes/Pty.h"
#include "fakes/WaitUntil.h"
#include "platform/QtSerialPort.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

namespace {

// COM1 has no device, COM2 is the pseudo-terminal, COM3 names a device that does not exist.
class QtSerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        savedPorts = qgetenv("PHASEMETER_PORTS");
        hadPorts = qEnvironmentVariableIsSet("PHASEMETER_PORTS");
        setPorts(QStringLiteral(":") + pty.slavePath() + QStringLiteral(":/dev/phasemeter-none"));
        port.setCommPort(2);
    }
    void TearDown() override {
        if (hadPorts)
            qputenv("PHASEMETER_PORTS", savedPorts);
        else
            qunsetenv("PHASEMETER_PORTS");
    }
    static void setPorts(const QString& list) { qputenv("PHASEMETER_PORTS", list.toLocal8Bit()); }
    QSerialPort* serial() { return port.findChild<QSerialPort*>(); }
    qint64 waiting() { return serial()->bytesAvailable(); }

    Pty pty;
    pm::QtSerialPort port;
    QByteArray savedPorts;
    bool hadPorts = false;
};

TEST_F(QtSerialPortTest, OpensAtInstrumentSettingsAndSendsFramesWhole) {
    ASSERT_EQ(port.open(), pm::kOpenOk);
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.deviceName(2), pty.slavePath());

    termios line{};
    ASSERT_EQ(::tcgetattr(pty.slaveFd(), &line), 0);
    EXPECT_EQ(::cfgetospeed(&line), speed_t(B9600));
    EXPECT_EQ(line.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_FALSE(line.c_cflag & (PARENB | CSTOPB | CRTSCTS));
    EXPECT_FALSE(line.c_iflag & (IXON | IXOFF));

    // The order comsend uses; CR, LF and XOFF bytes must pass untouched.
    const QByteArray frames[] = {QByteArray::fromHex("aac832"), QByteArray::fromHex("aa0a0d"),
                                 QByteArray::fromHex("aa1311")};
    for (const QByteArray& frame : frames) {
        port.setThreshold(22);
        port.output(frame);
        port.discardInput();
        port.discardOutput();
        EXPECT_EQ(pty.read(3).toHex(), frame.toHex());
    }
    EXPECT_TRUE(pty.readAvailable().isEmpty());
}

TEST_F(QtSerialPortTest, RaisesTheReceiveEventOnceTheThresholdIsReached) {
    ASSERT_EQ(port.open(), pm::kOpenOk);
    int events = 0;
    QByteArray got;
    port.setEventHandler([&] {
        ++events;
        EXPECT_EQ(port.commEvent(), pm::kEvReceive);
        got = port.input();
        port.discardInput();
        port.discardOutput();
    });
    port.setThreshold(3);
    ASSERT_TRUE(pty.write(QByteArray::fromHex("aa")));
    ASSERT_TRUE(waitUntil([&] { return waiting() == 1; }));
    EXPECT_EQ(events, 0);
    ASSERT_TRUE(pty.write(QByteArray::fromHex("55aa")));
    ASSERT_TRUE(waitUntil([&] { return events > 0; }));
    EXPECT_EQ(events, 1);
    EXPECT_EQ(got.toHex(), "aa55aa");

    // A 22-byte block in uneven pieces is one event with every byte, CR/LF/XON included.
    const QByteArray block = QByteArray::fromHex("0a0d1113000102030405060708090a0b0c0d0e0f1011");
    port.setThreshold(22);
    ASSERT_TRUE(pty.write(block.left(5)));
    ASSERT_TRUE(waitUntil([&] { return waiting() == 5; }));
    ASSERT_TRUE(pty.write(block.mid(5, 10)));
    ASSERT_TRUE(waitUntil([&] { return waiting() == 15; }));
    EXPECT_EQ(events, 1);
    ASSERT_TRUE(pty.write(block.mid(15)));
    ASSERT_TRUE(waitUntil([&] { return events == 2; }));
    EXPECT_EQ(got.toHex(), block.toHex());
}

TEST_F(QtSerialPortTest, NeverRaisesTheEventInsideItsOwnHandler) {
    ASSERT_EQ(port.open(), pm::kOpenOk);
    int depth = 0, deepest = 0;
    QList<QByteArray> replies;
    port.setEventHandler([&] {
        deepest = std::max(deepest, ++depth);
        replies << port.input();
        port.discardInput();
        if (replies.size() == 1) {
            // Another reply comes in while the handler waits in a nested event loop.
            EXPECT_TRUE(pty.write(QByteArray::fromHex("aa55aa")));
            EXPECT_TRUE(waitUntil([&] { return waiting() == 3; }));
        }
        --depth;
    });
    port.setThreshold(3);
    ASSERT_TRUE(pty.write(QByteArray::fromHex("010203")));
    ASSERT_TRUE(waitUntil([&] { return replies.size() == 2; }));
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(replies[0].toHex(), "010203");
    EXPECT_EQ(replies[1].toHex(), "aa55aa");
}

TEST_F(QtSerialPortTest, DiscardInputDropsWaitingBytes) {
    ASSERT_EQ(port.open(), pm::kOpenOk);
    int events = 0;
    port.setEventHandler([&] { ++events; });
    port.setThreshold(22);
    ASSERT_TRUE(pty.write(QByteArray::fromHex("0102030405")));
    ASSERT_TRUE(waitUntil([&] { return waiting() == 5; }));
    port.discardInput();
    EXPECT_TRUE(port.input().isEmpty());

    // Only bytes that come after the discard count towards the next reply.
    port.setThreshold(3);
    ASSERT_TRUE(pty.write(QByteArray::fromHex("aa55aa")));
    ASSERT_TRUE(waitUntil([&] { return events == 1; }));
    EXPECT_EQ(port.input().toHex(), "aa55aa");
}

TEST_F(QtSerialPortTest, MapsOpenFailuresToTheLinkErrorNumbers) {
    for (int missing : {1, 3, 4, 17}) {
        port.setCommPort(missing);
        EXPECT_EQ(port.open(), pm::kErrNoSuchPort) << "COM" << missing;
        EXPECT_FALSE(port.isOpen());
        EXPECT_FALSE(port.lastError().isEmpty());
    }

    port.setCommPort(2);
    ASSERT_EQ(port.open(), pm::kOpenOk);
    EXPECT_EQ(port.open(), pm::kErrPortInUse); // already open
    EXPECT_TRUE(port.isOpen());

    // Another program holding the device: QSerialPort's lock file reports a permission error,
    // though the device itself may be read and written.
    pm::QtSerialPort other;
    other.setCommPort(2);
    EXPECT_EQ(other.open(), pm::kErrPortInUse);
    EXPECT_FALSE(other.isOpen());
    EXPECT_TRUE(other.lastError().contains(QStringLiteral("in use")))
        << qPrintable(other.lastError());
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(other.open(), pm::kOpenOk);
}

TEST(QtSerialPortErrors, TellsABusyPortFromAForbiddenOne) {
    using E = QSerialPort::SerialPortError;
    EXPECT_EQ(pm::openErrorNumber(E::NoError, true), pm::kOpenOk);
    EXPECT_EQ(pm::openErrorNumber(E::DeviceNotFoundError, false), pm::kErrNoSuchPort);
    EXPECT_EQ(pm::openErrorNumber(E::PermissionError, true), pm::kErrPortInUse);
    EXPECT_EQ(pm::openErrorNumber(E::PermissionError, false), pm::kErrOpenFailed);
    EXPECT_EQ(pm::openErrorNumber(E::UnsupportedOperationError, true), pm::kErrOpenFailed);
}

TEST_F(QtSerialPortTest, PermissionDeniedNamesTheDialoutGroup) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root: file permissions are not enforced";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString device = dir.filePath(QStringLiteral("ttyLocked"));
    QFile file(device);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(file.setPermissions({}));
    setPorts(device);
    port.setCommPort(1);
    EXPECT_EQ(port.open(), pm::kErrOpenFailed);
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(port.lastError().contains(QStringLiteral("dialout")))
        << qPrintable(port.lastError());
}

TEST_F(QtSerialPortTest, ClosesOnceWhenTheDeviceVanishes) {
    ASSERT_EQ(port.open(), pm::kOpenOk);
    int failures = 0;
    QObject::connect(serial(), &QSerialPort::errorOccurred, [&](QSerialPort::SerialPortError e) {
        if (e == QSerialPort::ReadError || e == QSerialPort::ResourceError)
            ++failures;
    });
    int events = 0;
    port.setEventHandler([&] { ++events; });
    port.setThreshold(3);

    pty.closeMaster();
    ASSERT_TRUE(waitUntil([&] { return !port.isOpen(); }));
    // Left open, the port would report a read error hundreds of thousands of times a second.
    waitUntil([] { return false; }, 50);
    EXPECT_GE(failures, 1);
    EXPECT_LE(failures, 3);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(events, 0);

    port.output(QByteArray::fromHex("aaf82a")); // a closed port sends nothing and does not fail
    port.discardInput();
    port.discardOutput();
    EXPECT_TRUE(port.input().isEmpty());
}

} // namespace
