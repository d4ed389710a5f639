#include "Printers.h"
#include "fakes/FakeSerialPort.h"
#include "link/Commands.h"
#include "link/Comsend.h"
#include "link/FormState.h"

#include <gtest/gtest.h>

namespace {
struct Sent {
    QString frame;
    int threshold;
};

Sent send(int code) {
    FakeSerialPort port;
    pm::FormState form;
    port.open();
    pm::comsend(form, port, code);
    EXPECT_EQ(form.lastcmd, code);
    return {QString::fromLatin1(port.lastWrite().toHex(' ').toUpper()), port.threshold};
}
} // namespace

TEST(Comsend, FramesAndReplyThresholds) {
    const struct {
        int code;
        const char* frame;
        int threshold;
    } cases[] = {
        {pm::CmdLive, "AA C8 32", 22}, {pm::CmdCount, "AA E0 2E", 2}, {pm::CmdLink, "AA F8 2A", 3},
        {300, "AA 2C 01", 22},         {1, "AA 01 00", 22},           {256, "AA 00 01", 22},
        {255, "AA FF 00", 22},         {10000, "AA 10 27", 22},       {10001, "AA 11 27", 3},
        {32767, "AA FF 7F", 3},
    };
    for (const auto& c : cases) {
        const Sent sent = send(c.code);
        EXPECT_EQ(sent.frame, c.frame) << c.code;
        EXPECT_EQ(sent.threshold, c.threshold) << c.code;
    }
}

TEST(Comsend, ThresholdAndLastcmdBeforeTheWriteThenBothBuffersEmptied) {
    FakeSerialPort port;
    pm::FormState form;
    port.open();
    port.log.clear();
    pm::comsend(form, port, pm::CmdLive);
    EXPECT_EQ(port.log,
              QStringList({"threshold 22", "write AA C8 32", "discard in", "discard out"}));
}

TEST(Comsend, PortClosedIsANoOp) {
    FakeSerialPort port;
    pm::FormState form;
    form.lastcmd = pm::CmdLink;
    pm::comsend(form, port, pm::CmdLive);
    EXPECT_TRUE(port.writes.isEmpty());
    EXPECT_TRUE(port.log.isEmpty());
    EXPECT_EQ(form.lastcmd, pm::CmdLink);
}

TEST(Comsend, BytesWaitingBeforeTheCommandDoNotCount) {
    FakeSerialPort port;
    pm::FormState form;
    port.open();
    port.queueWithoutEvent(QByteArray(21, 'x'));
    pm::comsend(form, port, pm::CmdLive);
    EXPECT_TRUE(port.input().isEmpty());
}
