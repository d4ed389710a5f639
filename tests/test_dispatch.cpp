#include "Printers.h"
#include "TestVectors.h"
#include "fakes/FakeSerialPort.h"
#include "link/Commands.h"
#include "protocol/MeterCore.h"
#include "records/RecordTable.h"

#include <gtest/gtest.h>

namespace {
struct Dispatch : ::testing::Test {
    FakeSerialPort port;
    pm::RecordTable table;
    pm::MeterCore core{port, &table};
    pm::ReplyKind last = pm::ReplyKind::Ignored;

    void SetUp() override {
        core.replied = [this](pm::ReplyKind k) { last = k; };
        port.open();
    }
    void reply(int lastcmd, const char* hex, int waitcount = 3) {
        core.form.lastcmd = lastcmd;
        core.form.waitcount = waitcount;
        port.threshold = 0;
        port.receiveHex(hex);
    }
};
} // namespace

TEST_F(Dispatch, HandshakeAcceptedOnlyWhenUnlinkedAfterALinkCheck) {
    reply(pm::CmdLink, "AA 55 AA");
    EXPECT_EQ(core.form.ui.label2, "Connected");
    EXPECT_EQ(core.form.linked, pm::kTrue);
    EXPECT_EQ(core.form.waitcount, 0);
    EXPECT_EQ(last, pm::ReplyKind::Handshake);

    core.form.linked = pm::kFalse;
    core.form.ui.label2 = "Unconnect";
    reply(pm::CmdLink, "AA 55 AA 00");
    EXPECT_EQ(core.form.linked, pm::kTrue) << "bytes after the handshake are ignored";
}

TEST_F(Dispatch, WrongOrShortHandshakeChangesOnlyWaitcount) {
    for (const char* bad : {"AA 55 AB", "55 AA AA", "AA 55"}) {
        reply(pm::CmdLink, bad);
        EXPECT_EQ(core.form.linked, pm::kFalse) << bad;
        EXPECT_EQ(core.form.ui.label2, "Unconnect") << bad;
        EXPECT_EQ(core.form.waitcount, 0) << bad;
    }
}

TEST_F(Dispatch, LinkedKeepAliveIsOnlyASignOfLife) {
    core.form.linked = pm::kTrue;
    core.form.ui.label2 = "something else";
    reply(pm::CmdLink, "AA 55 AA");
    EXPECT_EQ(core.form.ui.label2, "something else");
    EXPECT_EQ(core.form.waitcount, 0);
    EXPECT_EQ(last, pm::ReplyKind::Ignored);
}

TEST_F(Dispatch, OtherEventsChangeNothing) {
    core.form.waitcount = 3;
    port.queueWithoutEvent(QByteArray::fromHex("AA 55 AA"));
    core.form.lastcmd = pm::CmdLink;
    port.raiseOther(pm::kEvError);
    EXPECT_EQ(core.form.waitcount, 3);
    EXPECT_EQ(core.form.linked, pm::kFalse);
    EXPECT_TRUE(core.form.inbuf.isEmpty());
}

TEST_F(Dispatch, LiveReplyIsDecodedEvenWhenNotLinked) {
    const auto& v = readingVector("worked_example");
    core.form.lastcmd = pm::CmdLive;
    port.receive(v.block);
    EXPECT_EQ(last, pm::ReplyKind::Live);
    EXPECT_EQ(core.panel.text(pm::Field::S1), "0.2716");
    EXPECT_EQ(core.form.inbuf, v.block);
}

TEST_F(Dispatch, RecordReplyOutsideADownloadIsFiledNowhere) {
    // A late answer to a download's last request, say: no request is waiting for it.
    core.form.lastcmd = 7;
    core.form.waitcount = 3;
    port.receive(readingVector("worked_example").block);
    EXPECT_EQ(last, pm::ReplyKind::Ignored);
    EXPECT_EQ(core.form.waitcount, 0) << "still a sign of life";
    EXPECT_EQ(table.rows(), 6);
    EXPECT_EQ(table.text(1, 1), "");
}

TEST_F(Dispatch, TakesEveryWaitingByteAndEmptiesBothBuffers) {
    core.form.lastcmd = pm::CmdLive;
    port.threshold = 22;
    port.log.clear();
    port.receive(readingVector("worked_example").block + QByteArray::fromHex("01 02"));
    EXPECT_EQ(core.form.inbuf.size(), 24);
    EXPECT_EQ(port.log, QStringList({"discard in", "discard out"}));
}
