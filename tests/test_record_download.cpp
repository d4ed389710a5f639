#include "TestVectors.h"
#include "WindowFixture.h"
#include "protocol/Download.h"

#include <QProgressBar>
#include <algorithm>
#include <vector>

namespace {
const QByteArray kCountCmd = QByteArray::fromHex("AA E0 2E");

// The window linked on the recall view, with helpers that play the instrument's side.
struct Download : WindowFixture {
    QByteArray block = readingVector("worked_example").block;

    void SetUp() override {
        WindowFixture::SetUp();
        linkOnRecallView();
        port.writes.clear();
    }
    void read() { button(1)->click(); }
    // One Readdat tick: the request it sent, and the reply when one is given.
    QByteArray tickAndAnswer(bool answer = true) {
        const auto before = port.writes.size();
        state.Readdat.tick();
        const QByteArray frame = port.writes.size() > before ? port.lastWrite() : QByteArray();
        if (answer)
            port.receive(block);
        return frame;
    }
    // A whole download, tick by tick; the records in `unanswered` never get a reply.
    void download(int count, const std::vector<int>& unanswered = {}) {
        read();
        port.receive(QByteArray(1, char(count & 0xFF)) + QByteArray(1, char(count >> 8)));
        for (int ticks = 0; pm::downloadRunning(state) && ticks <= 3 * (count + 1); ++ticks) {
            const QByteArray frame = tickAndAnswer(false);
            const int k = frame.isEmpty() ? 0 : quint8(frame[1]) | quint8(frame[2]) << 8;
            if (k > 0 && std::find(unanswered.begin(), unanswered.end(), k) == unanswered.end())
                port.receive(block);
        }
        ASSERT_FALSE(pm::downloadRunning(state));
    }
    int recordRequests() const {
        return int(std::count_if(port.writes.begin(), port.writes.end(),
                                 [](const QByteArray& w) { return w != kCountCmd; }));
    }
    QString note() const { return child<QLabel>("DownloadNote")->text(); }
    QProgressBar* progress() const { return child<QProgressBar>("DownloadProgress"); }
    bool pollingAndButtonsBack() const {
        return state.comunication.enabled() && button(1)->isEnabled() && button(2)->isEnabled();
    }
};
} // namespace

TEST_F(Download, ReadDoesNothingOnTheRealtimeViewOrWhileUnlinked) {
    clickTab(0);
    read();
    EXPECT_TRUE(port.writes.isEmpty());
    EXPECT_TRUE(pollingAndButtonsBack());

    clickTab(1);
    for (int k = 0; k < 5; ++k)
        state.COMtimout.tick();
    ASSERT_EQ(caption("Label2"), "Unconnect");
    read();
    EXPECT_TRUE(port.writes.isEmpty());
    EXPECT_TRUE(pollingAndButtonsBack());
}

TEST_F(Download, CountOfZeroEndsAtOnceAndLeavesTheTable) {
    read();
    EXPECT_EQ(port.lastWrite(), kCountCmd);
    EXPECT_FALSE(state.comunication.enabled());
    EXPECT_FALSE(button(1)->isEnabled());
    EXPECT_FALSE(button(2)->isEnabled());
    EXPECT_TRUE(button(3)->isEnabled()) << "Clear is never disabled";
    EXPECT_TRUE(progress()->isVisible()) << "shown while the count is awaited";

    port.receiveHex("00 00");
    EXPECT_TRUE(pollingAndButtonsBack());
    EXPECT_FALSE(state.Readdat.enabled());
    EXPECT_FALSE(progress()->isVisible());
    EXPECT_EQ(port.writes.size(), 1);
    EXPECT_EQ(rows(), 6);
    EXPECT_EQ(cell(0, 0), "NO.1");
    EXPECT_EQ(cell(1, 1), "");
}

TEST_F(Download, ThreeRecordsArePacedOnePerTickAndFillThreeBlocks) {
    read();
    port.receiveHex("03 00");
    EXPECT_EQ(state.reccount, 3);
    EXPECT_TRUE(state.Readdat.enabled());
    EXPECT_EQ(state.Readdat.interval(), 100);
    EXPECT_EQ(port.writes.size(), 1) << "the first request waits for the first tick";
    EXPECT_EQ(progress()->value(), 0);
    EXPECT_EQ(progress()->maximum(), 3);

    EXPECT_EQ(tickAndAnswer(), QByteArray::fromHex("AA 01 00"));
    EXPECT_EQ(progress()->text(), "1 / 3");
    EXPECT_EQ(port.threshold, 22);
    EXPECT_EQ(tickAndAnswer(false), QByteArray::fromHex("AA 02 00"));
    EXPECT_FALSE(state.comunication.enabled());
    EXPECT_FALSE(button(1)->isEnabled());
    port.receive(block);
    EXPECT_EQ(tickAndAnswer(), QByteArray::fromHex("AA 03 00"));
    EXPECT_FALSE(button(1)->isEnabled()) << "the last reply has its tick to come";
    EXPECT_TRUE(tickAndAnswer(false).isEmpty());
    EXPECT_TRUE(pollingAndButtonsBack()) << "the fourth tick ends the download";
    EXPECT_FALSE(state.Readdat.enabled());
    EXPECT_EQ(state.recindex, 0);
    EXPECT_FALSE(progress()->isVisible());

    EXPECT_EQ(rows(), 18);
    EXPECT_EQ(cell(0, 0), "NO.1");
    EXPECT_EQ(cell(6, 0), "NO.2");
    EXPECT_EQ(cell(12, 0), "NO.3");
    EXPECT_EQ(cell(13, 1), "220.00");
    EXPECT_EQ(state.reccount, 3);
    EXPECT_EQ(port.writes.size(), 4);
}

TEST_F(Download, WorkedExampleAsRecordTwo) {
    state.lastcmd = 2;
    port.threshold = 22;
    port.receive(block);
    EXPECT_EQ(rows(), 12);
    EXPECT_EQ(cell(6, 0), "NO.2");
    const char* row7[] = {"220.00", "1.2345", "0.1358", "0.2352", "0.2716", "0.500"};
    const char* row8[] = {"0.00", "0.0000", "0.0000", "0.0000", "0.0000", "1.000"};
    for (int c = 1; c <= 6; ++c) {
        EXPECT_EQ(cell(7, c), row7[c - 1]) << c;
        EXPECT_EQ(cell(8, c), row8[c - 1]) << c;
    }
    EXPECT_EQ(cell(9, 1), "0.0°");
    EXPECT_EQ(cell(9, 3), "60.0°");
    EXPECT_EQ(cell(9, 5), "50.00");
    EXPECT_EQ(cell(10, 1), "0.0°");
    EXPECT_EQ(cell(10, 3), "0.0°");
    for (int c : {6})
        EXPECT_EQ(cell(9, c), "");
    for (int c : {4, 5, 6})
        EXPECT_EQ(cell(10, c), "");
    for (int c = 0; c < 7; ++c) {
        EXPECT_EQ(cell(11, c), "") << "the separator row";
        EXPECT_EQ(cell(1, c), c == 0 ? "1CH:" : "") << "block 1 keeps only its headings";
    }
    const QAbstractItemModel* m = grid()->model();
    EXPECT_EQ(m->data(m->index(7, 1), Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    EXPECT_FALSE(m->flags(m->index(7, 1)) & Qt::ItemIsEditable);
}

TEST_F(Download, ShorterDownloadCutsTheTableBackToItsLastBlock) {
    download(20);
    EXPECT_EQ(rows(), 120);
    EXPECT_EQ(cell(114, 0), "NO.20");
    download(2);
    EXPECT_EQ(rows(), 12) << "record 1 cut the table to 6 rows, record 2 grew it to 12";
    EXPECT_EQ(cell(6, 0), "NO.2");
    EXPECT_EQ(state.reccount, 2);
}

TEST_F(Download, LostReplyIsAskedAgainAndFilledIn) {
    read();
    port.receiveHex("03 00");
    tickAndAnswer();
    tickAndAnswer(false);
    tickAndAnswer();
    // The tick after the paced pass asks again for record 2 alone.
    EXPECT_EQ(tickAndAnswer(false), QByteArray::fromHex("AA 02 00"));
    EXPECT_EQ(progress()->text(), "Asking again: 1 of 1");
    port.receive(block);
    EXPECT_EQ(rows(), 18) << "record 3 stays after record 2 is filled in";
    EXPECT_EQ(cell(7, 1), "220.00");
    EXPECT_EQ(cell(13, 1), "220.00");
    EXPECT_TRUE(tickAndAnswer(false).isEmpty());
    EXPECT_TRUE(pollingAndButtonsBack());
    EXPECT_TRUE(alerts.shown.isEmpty());
}

TEST_F(Download, RecordsLostOnEveryPassAreNamed) {
    download(6, {2, 4, 5, 6});
    EXPECT_EQ(recordRequests(), 6 + 4 + 4) << "two more passes, then no more";
    EXPECT_TRUE(pollingAndButtonsBack());
    EXPECT_EQ(rows(), 18) << "the table ends with the last block that arrived";
    EXPECT_EQ(cell(12, 0), "NO.3");
    for (int r = 6; r < 12; ++r)
        for (int c = 0; c < 7; ++c)
            EXPECT_EQ(cell(r, c), "") << r << "," << c;
    const QString named = "Records 2 and 4 to 6 did not arrive.";
    EXPECT_EQ(note(), named);
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].first, "Reading Error!");
    EXPECT_EQ(alerts.shown[0].second, "Read Error.\r\n" + named);

    read();
    EXPECT_FALSE(child("DownloadNote")->isVisible()) << "a new download, a new account";
}

TEST_F(Download, SilentMeterEndsTheDownloadWithItsButtonsBack) {
    read();
    port.receiveHex("32 00"); // 50 records: more than the meter's five silent seconds take
    tickAndAnswer();
    tickAndAnswer();
    for (int second = 0; second < 5; ++second) {
        for (int t = 0; t < 10; ++t)
            tickAndAnswer(false);
        state.COMtimout.tick();
    }
    ASSERT_EQ(caption("Label2"), "Unconnect");
    EXPECT_TRUE(button(1)->isEnabled() && button(2)->isEnabled());
    const auto sent = port.writes.size();
    state.Readdat.tick();
    EXPECT_EQ(port.writes.size(), sent) << "no request to a silent meter";
    EXPECT_EQ(rows(), 12) << "the records that came stay";
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].second,
              "Read Error.\r\nThe meter stopped answering.\r\nRecords 3 to 50 did not arrive.");
}

TEST_F(Download, ReplyPacingStepsOnTheReplyAndOnTheFallback) {
    state.download.pacing = pm::Pacing::Reply;
    read();
    port.receiveHex("03 00");
    EXPECT_EQ(port.lastWrite(), QByteArray::fromHex("AA 01 00")) << "asked at once";
    port.receive(block.left(10));
    EXPECT_EQ(port.writes.size(), 2) << "a reply in part is not the whole reply";
    port.receive(block.mid(10));
    EXPECT_EQ(port.lastWrite(), QByteArray::fromHex("AA 02 00"));
    // No reply: the tick, 100 ms after the request, moves on.
    EXPECT_EQ(tickAndAnswer(), QByteArray::fromHex("AA 03 00"));
    EXPECT_EQ(port.lastWrite(), QByteArray::fromHex("AA 02 00")) << "asked again at once";
    port.receive(block);
    EXPECT_TRUE(pollingAndButtonsBack());
    EXPECT_EQ(cell(7, 1), "220.00");
}

TEST_F(Download, LinkLostWhileTheCountIsAwaitedEndsTheWait) {
    read();
    for (int k = 0; k < 5; ++k)
        state.COMtimout.tick();
    ASSERT_EQ(state.linked, pm::kFalse);
    EXPECT_TRUE(button(1)->isEnabled() && button(2)->isEnabled());
    state.Findcom.tick();
    port.receiveHex("AA 55 AA");
    state.Findcom.tick();
    port.writes.clear();
    read();
    EXPECT_EQ(port.lastWrite(), kCountCmd);
}

TEST_F(Download, ReadBeforeTheHandOverKeepsPollingOffUntilItsDownloadEnds) {
    for (int k = 0; k < 5; ++k)
        state.COMtimout.tick();
    state.Findcom.tick();
    port.receiveHex("AA 55 AA");
    read();
    ASSERT_EQ(port.lastWrite(), kCountCmd);
    state.Findcom.tick(); // the hand-over
    EXPECT_FALSE(state.comunication.enabled());
    EXPECT_FALSE(button(1)->isEnabled());
    port.receiveHex("01 00");
    tickAndAnswer();
    tickAndAnswer(false);
    EXPECT_TRUE(pollingAndButtonsBack());
}

TEST(MissingRecords, RunsOfThreeOrMoreAreRangesAndLongListsAreCut) {
    EXPECT_EQ(pm::missingRecordsSentence({7}), "Record 7 did not arrive.");
    EXPECT_EQ(pm::missingRecordsSentence({3, 4}), "Records 3 and 4 did not arrive.");
    QList<int> missing{3, 7};
    for (int k = 12; k <= 40; ++k)
        missing << k;
    EXPECT_EQ(pm::missingRecordsSentence(missing), "Records 3, 7 and 12 to 40 did not arrive.");
    QList<int> odd;
    for (int k = 1; k <= 99; k += 2)
        odd << k;
    EXPECT_TRUE(pm::missingRecordsSentence(odd).endsWith("37, 39 and 30 more did not arrive."));
}

TEST_F(Download, ClearDuringADownloadEmptiesOnlyWhatHadArrived) {
    read();
    port.receiveHex("03 00");
    tickAndAnswer();
    tickAndAnswer();
    button(3)->click();
    EXPECT_EQ(rows(), 6);
    EXPECT_EQ(cell(0, 0), "NO.1");
    EXPECT_EQ(cell(1, 1), "");
    EXPECT_TRUE(state.Readdat.enabled()) << "Clear touches only the table";
    EXPECT_EQ(state.reccount, 3);
    tickAndAnswer();
    EXPECT_EQ(rows(), 18);
    EXPECT_EQ(cell(13, 1), "220.00");
    EXPECT_EQ(cell(0, 0), "NO.1");
    EXPECT_EQ(cell(7, 1), "") << "record 2 arrived before the clear";
    EXPECT_EQ(cell(6, 0), "");

    button(3)->click();
    button(3)->click();
    EXPECT_EQ(rows(), 6);
    EXPECT_EQ(cell(3, 4), "F/Hz:");
    EXPECT_EQ(state.reccount, 3) << "Clear keeps the count of the last download";
}

TEST_F(Download, TabClickDuringADownloadKeepsPollingOffUntilItEnds) {
    read();
    clickTab(0);
    EXPECT_EQ(state.realview, pm::kTrue);
    EXPECT_TRUE(child("Frame1")->isVisible());
    EXPECT_FALSE(state.comunication.enabled()) << "while the count is awaited";
    port.receiveHex("02 00");
    tickAndAnswer(false);
    clickTab(1);
    clickTab(1);
    EXPECT_TRUE(grid()->isVisible());
    EXPECT_FALSE(state.comunication.enabled());
    EXPECT_FALSE(button(1)->isEnabled());
    EXPECT_FALSE(button(2)->isEnabled());
    read();
    EXPECT_EQ(port.writes.size(), 2) << "a disabled Read sends nothing";

    state.comunication.tick();
    port.receive(block);
    EXPECT_EQ(cell(1, 1), "220.00") << "no poll took the record's reply";
    EXPECT_EQ(caption("u(0)"), "0.00") << "and the record is not shown as a live reading";
    tickAndAnswer();
    tickAndAnswer(false);
    EXPECT_TRUE(pollingAndButtonsBack());
    EXPECT_EQ(rows(), 12);
}

TEST_F(Download, CountsAboveTheLastRecordCodeStopAtRecord10000) {
    read();
    port.receiveHex("FF 7F");
    EXPECT_EQ(state.reccount, 32767);
    EXPECT_EQ(progress()->maximum(), 10000);
    int ticks = 0;
    while (state.Readdat.enabled() && ticks < 40000) {
        tickAndAnswer();
        ++ticks;
    }
    EXPECT_EQ(ticks, 10001) << "the last reply has its tick";
    EXPECT_EQ(port.lastWrite(), QByteArray::fromHex("AA 10 27"));
    EXPECT_EQ(port.writes.count(kCountCmd), 1) << "record 12000 would have been the count request";
    EXPECT_TRUE(pollingAndButtonsBack());

    // A count that does not fit keeps the previous one.
    read();
    port.receiveHex("00 80");
    EXPECT_EQ(state.reccount, 32767);
}
