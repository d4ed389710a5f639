#include "Printers.h"
#include "platform/PortMap.h"

#include <gtest/gtest.h>

namespace {

TEST(PortMap, DevicesNamedByAToolTakePrecedenceUntilCleared) {
    const QByteArray saved = qgetenv("PHASEMETER_PORTS");
    const bool wasSet = qEnvironmentVariableIsSet("PHASEMETER_PORTS");
    qputenv("PHASEMETER_PORTS", "/dev/ttyUSB0:/dev/ttyUSB1");

    pm::setPortDevices({"/dev/pts/9"});
    EXPECT_EQ(pm::portDevice(1), "/dev/pts/9");
    EXPECT_EQ(pm::portDevice(2), ""); // the named device is the only port
    EXPECT_EQ(pm::portDevice(0), "");
    EXPECT_EQ(pm::portDevice(17), "");

    pm::setPortDevices({});
    EXPECT_EQ(pm::portDevice(1), "/dev/ttyUSB0");
    EXPECT_EQ(pm::portDevice(2), "/dev/ttyUSB1");

    if (wasSet)
        qputenv("PHASEMETER_PORTS", saved);
    else
        qunsetenv("PHASEMETER_PORTS");
}

} // namespace
