#include "platform/PortMap.h"

#include <gtest/gtest.h>

namespace {

QStringList ordered(const QStringList& devices) {
    return pm::orderSerialDevices(devices);
}

TEST(PortMap, PutsUsbAdaptersFirstInNaturalOrder) {
    EXPECT_EQ(ordered({"/dev/ttyS1", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyUSB2",
                       "/dev/ttyAMA0", "/dev/ttyUSB0"}),
              QStringList({"/dev/ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0",
                           "/dev/ttyAMA0", "/dev/ttyS0", "/dev/ttyS1"}));
    EXPECT_EQ(ordered({"ttyS10", "ttyS9", "ttyS", "ttyS01"}),
              QStringList({"ttyS", "ttyS01", "ttyS9", "ttyS10"}));
    // The same devices in any order give the same port numbers.
    const QStringList scan = {"/dev/ttyUSB1", "/dev/ttyS4", "/dev/ttyACM3", "/dev/ttyUSB0"};
    QStringList reversed(scan.crbegin(), scan.crend());
    EXPECT_EQ(ordered(scan), ordered(reversed));
    EXPECT_TRUE(ordered({}).isEmpty());
}

TEST(PortMap, EnvironmentListNamesTheDevicesOfCom1Onwards) {
    const QByteArray saved = qgetenv("PHASEMETER_PORTS");
    const bool wasSet = qEnvironmentVariableIsSet("PHASEMETER_PORTS");

    qputenv("PHASEMETER_PORTS", "/dev/pts/7::/dev/ttyUSB3");
    EXPECT_EQ(pm::portDevice(1), "/dev/pts/7");
    EXPECT_EQ(pm::portDevice(2), ""); // an empty entry is a port that does not exist
    EXPECT_EQ(pm::portDevice(3), "/dev/ttyUSB3");
    EXPECT_EQ(pm::portDevice(4), "");
    EXPECT_EQ(pm::portDevice(0), "");
    EXPECT_EQ(pm::portDevice(17), "");

    qputenv("PHASEMETER_PORTS", "");
    for (int port = 1; port <= pm::kPortCount; ++port)
        EXPECT_EQ(pm::portDevice(port), "") << "COM" << port;

    QStringList sixteen;
    for (int n = 1; n <= 17; ++n)
        sixteen << QStringLiteral("/dev/x%1").arg(n);
    qputenv("PHASEMETER_PORTS", sixteen.join(QLatin1Char(':')).toLocal8Bit());
    EXPECT_EQ(pm::portDevice(16), "/dev/x16");
    EXPECT_EQ(pm::portDevice(17), "");

    if (wasSet)
        qputenv("PHASEMETER_PORTS", saved);
    else
        qunsetenv("PHASEMETER_PORTS");
}

} // namespace
