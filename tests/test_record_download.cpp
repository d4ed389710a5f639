#include "RecordFixtures.h"
#include "TestVectors.h"
#include "WindowFixture.h"
#include "protocol/Download.h"

#include <QProgressBar>
#include <algorithm>
#include <functional>
#include <map>
#include <vector>

namespace {
const QByteArray kCountCmd = QByteArray::fromHex("AA E0 2E");

// The window linked on the recall view, with helpers that play the instrument's side. Time is
// the test's: each Readdat tick comes when its interval has passed.
struct Download : WindowFixture {
    QByteArray block = readingVector("worked_example").block;
    qint64 clock = 0;

    qint64 armedAt = 0; // when Readdat last started its interval

    void SetUp() override {
        WindowFixture::SetUp();
        state.now = [this] { return clock; };
        state.Readdat.onEnabledChanged = [this](bool on) {
            if (on)
                armedAt = clock;
        };
        linkOnRecallView();
        port.writes.clear();
    }
    void read() { button(1)->click(); }
    // The next Readdat tick, when its interval has passed.
    void tick() {
        clock = std::max(clock, armedAt + state.Readdat.interval());
        armedAt = clock;
        state.Readdat.tick();
    }
    // The record a request asks for, 0 for none or another command.
    static int recordOf(const QByteArray& frame) {
        const int k = frame.size() == 3 ? quint8(frame[1]) | quint8(frame[2]) << 8 : 0;
        return k <= pm::kMaxRecordCode ? k : 0;
    }
    // One Readdat tick: the request it sent, and the reply when one is given.
    QByteArray tickAndAnswer(bool answer = true) {
        const auto before = port.writes.size();
        tick();
        const QByteArray frame = port.writes.size() > before ? port.lastWrite() : QByteArray();
        if (answer)
            port.receive(block);
        return frame;
    }
    // Ticks until a request goes out (or the download ends): the record it asks for.
    int nextRequest() {
        const auto before = port.writes.size();
        for (int ticks = 0; ticks < 50 && pm::downloadRunning(state); ++ticks) {
            tick();
            if (port.writes.size() > before)
                return recordOf(port.lastWrite());
        }
        return 0;
    }
    // The meter's own record k: the shared vectors in turn, so a shifted block shows.
    static QByteArray recordBlock(int k) {
        return readingVectors()[size_t(k - 1) % readingVectors().size()].block;
    }
    void answer(int k) { port.receive(recordBlock(k)); }
    // Block k of the window's table holds exactly the meter's record k.
    void expectRecord(int k) {
        pm::RecordTable expected;
        downloadRecords(expected, k);
        for (int r = 6 * (k - 1); r < 6 * k; ++r)
            for (int c = 0; c < 7; ++c)
                EXPECT_EQ(cell(r, c), expected.text(r, c))
                    << "record " << k << " " << r << "," << c;
    }
    void expectHeadingsOnly(int k) {
        pm::RecordTable expected;
        expected.setRows(6 * k);
        expected.clearRecord(k);
        for (int r = 6 * (k - 1); r < 6 * k; ++r)
            for (int c = 0; c < 7; ++c)
                EXPECT_EQ(cell(r, c), expected.text(r, c))
                    << "record " << k << " " << r << "," << c;
    }
    // A meter on a line as slow as its cable: each request is answered `latency`(k, attempt) ms
    // after it (negative: never), one reply after another. Runs "Read" to the end of the download.
    void runMeter(int count, const std::function<int(int k, int attempt)>& latency) {
        read();
        port.receive(QByteArray(1, char(count & 0xFF)) + QByteArray(1, char(count >> 8)));
        std::multimap<qint64, int> due;
        std::map<int, int> attempts;
        qint64 lineFree = 0;
        for (int steps = 0; pm::downloadRunning(state) && steps < 100000; ++steps) {
            if (!due.empty() && due.begin()->first <= armedAt + state.Readdat.interval()) {
                clock = std::max(clock, due.begin()->first);
                answer(due.begin()->second);
                due.erase(due.begin());
                continue;
            }
            const auto before = port.writes.size();
            tick();
            const int k = port.writes.size() > before ? recordOf(port.lastWrite()) : 0;
            const int ms = k > 0 ? latency(k, ++attempts[k]) : -1;
            if (ms >= 0) {
                lineFree = std::max(clock + ms, lineFree + kReplyOnTheWire);
                due.emplace(lineFree, k);
            }
        }
        ASSERT_FALSE(pm::downloadRunning(state));
    }
    static constexpr int kReplyOnTheWire = 26; // the request in and the 22-byte reply out
    // A whole download, tick by tick; the records in `unanswered` never get a reply.
    void download(int count, const std::vector<int>& unanswered = {}) {
        read();
        port.receive(QByteArray(1, char(count & 0xFF)) + QByteArray(1, char(count >> 8)));
        for (int ticks = 0; pm::downloadRunning(state) && ticks <= 10 * (count + 1); ++ticks) {
            const int k = recordOf(tickAndAnswer(false));
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
    pm::recordin(2, block, form.table());
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
    EXPECT_EQ(nextRequest(), 1);
    answer(1);
    EXPECT_EQ(nextRequest(), 2);
    tick();
    EXPECT_EQ(port.writes.size(), 3) << "after a time-out the line stays quiet a reply's wait";
    EXPECT_EQ(nextRequest(), 3);
    EXPECT_EQ(clock, 400);
    answer(3);
    // The pass is over once record 3's reply has had a quiet wait after it; then record 2 alone.
    EXPECT_EQ(nextRequest(), 2);
    EXPECT_EQ(progress()->text(), "Asking again: 1 of 1");
    answer(2);
    EXPECT_EQ(nextRequest(), 0);
    EXPECT_TRUE(pollingAndButtonsBack());
    EXPECT_EQ(rows(), 18) << "record 3 stays after record 2 is filled in";
    for (int k = 1; k <= 3; ++k)
        expectRecord(k);
    EXPECT_TRUE(alerts.shown.isEmpty());
}

TEST_F(Download, LateReplyIsDiscardedAndItsRecordAskedAgain) {
    read();
    port.receiveHex("04 00");
    EXPECT_EQ(nextRequest(), 1);
    answer(1);
    EXPECT_EQ(nextRequest(), 2);
    tick(); // record 2's time is up
    clock += 60;
    answer(2); // and now its reply comes
    EXPECT_EQ(nextRequest(), 3);
    EXPECT_EQ(clock, 460) << "a reply's wait of quiet after the late reply";
    answer(3);
    EXPECT_EQ(nextRequest(), 4);
    answer(4);
    EXPECT_EQ(nextRequest(), 2);
    answer(2);
    EXPECT_EQ(nextRequest(), 0);
    for (int k = 1; k <= 4; ++k)
        expectRecord(k);
    EXPECT_TRUE(alerts.shown.isEmpty());
}

TEST_F(Download, ASecondReplyToOneRequestShowsTheFirstWasNotItsOwn) {
    read();
    port.receiveHex("03 00");
    EXPECT_EQ(nextRequest(), 1);
    EXPECT_EQ(nextRequest(), 2);
    answer(1); // record 1's answer, late: taken for record 2 ...
    clock += 23;
    answer(2); // ... until record 2's own follows it
    EXPECT_EQ(nextRequest(), 3);
    EXPECT_EQ(cell(7, 1), "") << "neither reply is filed under record 2";
    answer(3);
    EXPECT_EQ(nextRequest(), 1);
    answer(1);
    EXPECT_EQ(nextRequest(), 2);
    answer(2);
    EXPECT_EQ(nextRequest(), 0);
    for (int k = 1; k <= 3; ++k)
        expectRecord(k);
}

TEST_F(Download, MoreThanOneReplyInOneEventIsNotFiled) {
    read();
    port.receiveHex("01 00");
    EXPECT_EQ(nextRequest(), 1);
    port.receive(recordBlock(2) + recordBlock(1));
    EXPECT_EQ(nextRequest(), 1) << "asked again";
    answer(1);
    EXPECT_EQ(nextRequest(), 0);
    expectRecord(1);
}

TEST_F(Download, BytesAfterTheCountAreNoSecondCount) {
    read();
    port.receiveHex("02 00");
    port.receiveHex("05 00");
    EXPECT_EQ(state.reccount, 2);
    EXPECT_EQ(nextRequest(), 1);
    answer(1);
    EXPECT_EQ(nextRequest(), 2);
    answer(2);
    EXPECT_EQ(nextRequest(), 0);
    EXPECT_EQ(recordRequests(), 2);
}

TEST_F(Download, ShortReplyIsClearedAtItsTimeOutAndIsNoLateReply) {
    read();
    port.receiveHex("02 00");
    EXPECT_EQ(nextRequest(), 1);
    port.queueWithoutEvent(recordBlock(1).left(10));
    tick();
    EXPECT_EQ(port.bytesWaiting(), 0);
    EXPECT_EQ(nextRequest(), 2);
    answer(2);
    EXPECT_EQ(nextRequest(), 1);
    answer(1);
    EXPECT_EQ(nextRequest(), 0);
    expectRecord(1);
    expectRecord(2);
    EXPECT_EQ(state.download.lateReplies, 0);
}

TEST_F(Download, OneReplyLateBy150Or400MsLandsInItsOwnBlockUnderEitherPacing) {
    for (const auto pacing : {pm::Pacing::Fixed, pm::Pacing::Reply})
        for (const int late : {150, 400}) {
            SCOPED_TRACE(testing::Message()
                         << "late " << late << " reply pacing " << (pacing == pm::Pacing::Reply));
            state.download.pacing = pacing;
            form.table().gridinit();
            alerts.shown.clear();
            runMeter(8, [late](int k, int attempt) {
                return k == 3 && attempt == 1 ? late : kReplyOnTheWire;
            });
            EXPECT_TRUE(alerts.shown.isEmpty());
            EXPECT_EQ(rows(), 48);
            for (int k = 1; k <= 8; ++k)
                expectRecord(k);
            EXPECT_GT(state.download.pass, 0) << "record 3 was asked again";
        }
}

TEST_F(Download, FixedPacingNamesWhatALateMeterSentAndAdvisesReplyPacing) {
    runMeter(5, [](int, int) { return 176; });
    EXPECT_EQ(rows(), 6) << "not one reply was filed";
    EXPECT_EQ(cell(1, 1), "");
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].second,
              "Read Error.\r\nRecords 1 to 5 did not arrive.\r\nThe meter answers later than "
              "100 ms; try phasemeter --pacing reply.");
}

TEST_F(Download, ReplyPacingLearnsASlowMetersTimeUpToOneSecond) {
    state.download.pacing = pm::Pacing::Reply;
    runMeter(6, [](int, int) { return 300; });
    EXPECT_TRUE(alerts.shown.isEmpty());
    for (int k = 1; k <= 6; ++k)
        expectRecord(k);
    EXPECT_EQ(state.download.replyWaitMs, 600) << "grown from 100 ms to twice the reply time";

    runMeter(12, [](int, int) { return 900; });
    EXPECT_EQ(state.download.replyWaitMs, 1000) << "never longer";
    EXPECT_TRUE(alerts.shown.isEmpty());
    for (int k = 1; k <= 12; ++k)
        expectRecord(k);
}

TEST_F(Download, ReplyPacingWaitsFromTheCountsReplyTime) {
    state.download.pacing = pm::Pacing::Reply;
    read();
    clock += 300;
    port.receiveHex("01 00");
    EXPECT_EQ(state.download.replyWaitMs, 600);
    EXPECT_EQ(nextRequest(), 1);
    EXPECT_EQ(state.Readdat.interval(), 600);
}

TEST_F(Download, SecondReadNeverShowsTheFirstReadsRecordsAsItsOwn) {
    runMeter(3, [](int, int) { return kReplyOnTheWire; });
    expectRecord(1);
    port.writes.clear();
    runMeter(3, [](int k, int) { return k == 1 ? -1 : kReplyOnTheWire; });
    EXPECT_EQ(port.writes.count(QByteArray::fromHex("AA 01 00")), 3) << "asked on every pass";
    expectHeadingsOnly(1);
    expectRecord(2);
    expectRecord(3);
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].second, "Read Error.\r\nRecord 1 did not arrive.");
}

TEST_F(Download, RecordsLostOnEveryPassAreNamed) {
    download(6, {2, 4, 5, 6});
    EXPECT_EQ(recordRequests(), 6 + 4 + 4) << "two more passes, then no more";
    EXPECT_TRUE(pollingAndButtonsBack());
    EXPECT_EQ(rows(), 18) << "the table ends with the last block that arrived";
    EXPECT_EQ(cell(12, 0), "NO.3");
    expectHeadingsOnly(2);
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
    EXPECT_EQ(nextRequest(), 1);
    EXPECT_EQ(clock, 25) << "once the line has been quiet for a reply's time";
    port.receive(block.left(10));
    EXPECT_EQ(port.writes.size(), 2) << "a reply in part is not the whole reply";
    port.receive(block.mid(10));
    EXPECT_EQ(nextRequest(), 2);
    EXPECT_EQ(clock, 50);
    // No reply: the fallback, 100 ms after the request, ends its time; then a quiet wait.
    EXPECT_EQ(nextRequest(), 3);
    EXPECT_EQ(clock, 250);
    port.receive(block);
    EXPECT_EQ(nextRequest(), 2) << "asked again";
    port.receive(block);
    EXPECT_EQ(nextRequest(), 0);
    EXPECT_TRUE(pollingAndButtonsBack());
    EXPECT_EQ(cell(7, 1), "220.00");
}

TEST_F(Download, AfterClearALinkLostWhileTheCountIsAwaitedNamesNoRecords) {
    download(3, {2});
    ASSERT_EQ(alerts.shown.size(), 1);
    button(3)->click();
    read();
    for (int k = 0; k < 5; ++k)
        state.COMtimout.tick();
    ASSERT_EQ(state.linked, pm::kFalse);
    EXPECT_TRUE(state.download.missing.isEmpty());
    EXPECT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(note(), "");
    EXPECT_EQ(rows(), 6);
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
    tickAndAnswer(false);
    EXPECT_EQ(rows(), 18);
    EXPECT_EQ(cell(13, 1), "220.00");
    EXPECT_EQ(cell(0, 0), "NO.1");
    EXPECT_EQ(cell(1, 1), "") << "record 1 arrived before the clear";
    EXPECT_EQ(cell(7, 1), "220.00") << "record 2's reply is filed once the line was quiet after it";

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
    EXPECT_EQ(caption("u(0)"), "0.00") << "the record is not shown as a live reading";
    tickAndAnswer();
    EXPECT_EQ(cell(1, 1), "220.00") << "no poll took the record's reply";
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
