#include "Printers.h"
#include "fakes/FakeSerialPort.h"
#include "link/Commands.h"
#include "protocol/MeterCore.h"

#include <gtest/gtest.h>

namespace {
// An instrument on one port that answers the link check at once.
struct Discovery : ::testing::Test {
    FakeSerialPort port;
    pm::MeterCore core{port};
    int instrumentPort = 0;

    void SetUp() override {
        core.start();
        core.changed = [this] {
            if (port.isOpen() && port.commPort() == instrumentPort && !port.writes.isEmpty() &&
                port.lastWrite() == QByteArray::fromHex("AA F8 2A") &&
                answered < port.writes.size()) {
                answered = port.writes.size();
                port.receiveHex("AA 55 AA");
            }
        };
    }
    qsizetype answered = 0;
};
} // namespace

TEST_F(Discovery, InstrumentOnCom1LinksOnFirstTickAndHandsOverOnSecond) {
    instrumentPort = 1;
    EXPECT_TRUE(core.form.Findcom.enabled());
    core.form.Findcom.tick();
    EXPECT_EQ(core.form.ui.label1, "COM1 Open");
    EXPECT_EQ(core.form.ui.label2, "Connected");
    EXPECT_EQ(core.form.linked, pm::kTrue);
    EXPECT_EQ(core.form.portno, 2);
    core.form.ui.readEnabled = core.form.ui.saveEnabled = false;
    core.form.comunication.setEnabled(false);
    core.form.Findcom.tick();
    EXPECT_FALSE(core.form.Findcom.enabled());
    EXPECT_TRUE(core.form.comunication.enabled());
    EXPECT_TRUE(core.form.ui.readEnabled && core.form.ui.saveEnabled);
    EXPECT_EQ(core.form.portno, 2);
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(core.form.ui.label1, "COM1 Open");
}

TEST_F(Discovery, TriesPortsInOrderAndWrapsAfterCom16) {
    instrumentPort = 16;
    for (int p = 1; p <= 3; ++p) {
        core.form.Findcom.tick();
        EXPECT_EQ(core.form.ui.label1, QStringLiteral("COM%1 Open").arg(p));
    }
    for (int p = 4; p <= 16; ++p)
        core.form.Findcom.tick();
    EXPECT_EQ(core.form.linked, pm::kTrue) << "reached on the sixteenth tick";
    EXPECT_EQ(core.form.portno, 1);
    EXPECT_EQ(port.log.filter("open").size(), 16);
}

TEST_F(Discovery, FailedOpensAreUnviableAndSendNothing) {
    port.openErrors = {{1, pm::kErrNoSuchPort}, {2, pm::kErrPortInUse}, {3, pm::kErrOpenFailed}};
    for (int p = 1; p <= 3; ++p) {
        core.form.Findcom.tick();
        EXPECT_EQ(core.form.ui.label1, QStringLiteral("COM%1 Unviable").arg(p));
    }
    EXPECT_TRUE(port.writes.isEmpty());
    core.form.Findcom.tick();
    EXPECT_EQ(core.form.ui.label1, "COM4 Open");
    EXPECT_EQ(port.writes.size(), 1);
    EXPECT_EQ(port.log.filter("close").size(), 0) << "failed ports are never open to close";
    core.form.Findcom.tick();
    EXPECT_TRUE(port.log.contains("close 4"));
}

TEST_F(Discovery, PollsByViewOnlyWhileLinked) {
    core.form.comunication.tick();
    EXPECT_TRUE(port.writes.isEmpty());
    instrumentPort = 1;
    core.form.Findcom.tick();
    core.form.Findcom.tick();
    core.form.comunication.tick();
    EXPECT_EQ(port.lastWrite(), QByteArray::fromHex("AA C8 32"));
    core.form.realview = pm::kFalse;
    core.form.comunication.tick();
    EXPECT_EQ(port.lastWrite(), QByteArray::fromHex("AA F8 2A"));
}

TEST_F(Discovery, SilenceDeclaresTheLinkLostOnTheFifthTickAndSearchResumesAfterThePort) {
    instrumentPort = 3;
    for (int k = 0; k < 4; ++k)
        core.form.Findcom.tick();
    EXPECT_FALSE(core.form.Findcom.enabled());
    instrumentPort = 0; // the instrument goes silent
    for (int k = 0; k < 4; ++k) {
        core.form.COMtimout.tick();
        EXPECT_EQ(core.form.linked, pm::kTrue) << k;
    }
    core.form.COMtimout.tick();
    EXPECT_EQ(core.form.ui.label2, "Unconnect");
    EXPECT_EQ(core.form.linked, pm::kFalse);
    EXPECT_EQ(core.form.waitcount, 0);
    EXPECT_TRUE(core.form.Findcom.enabled());
    EXPECT_TRUE(core.form.comunication.enabled()) << "the time-out does not stop polling";
    EXPECT_TRUE(port.isOpen()) << "nor close the port";
    core.form.Findcom.tick();
    EXPECT_TRUE(port.log.contains("close 3"));
    EXPECT_EQ(core.form.ui.label1, "COM4 Open");
}

TEST_F(Discovery, EveryReplyResetsTheTimeOut) {
    core.form.linked = pm::kTrue;
    core.form.lastcmd = pm::CmdLink;
    port.open();
    for (int round = 0; round < 3; ++round) {
        for (int k = 0; k < 4; ++k)
            core.form.COMtimout.tick();
        port.threshold = 3;
        port.receiveHex("00 00 00"); // not a handshake, but a sign of life
    }
    EXPECT_EQ(core.form.linked, pm::kTrue);
    EXPECT_EQ(core.form.waitcount, 0);
}
