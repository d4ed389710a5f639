#include "RecordFixtures.h"
#include "TestVectors.h"
#include "WindowFixture.h"
#include "link/Comsend.h"
#include "protocol/Decode.h"
#include "protocol/Download.h"

#include <QProgressBar>
#include <QRandomGenerator>
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
    // The meter's own record k: the worked example with k in its frequency (50.00 Hz + k / 100),
    // so a record filed under another number shows.
    static QByteArray recordBlock(int k) {
        QByteArray b = readingVector("worked_example").block;
        const int raw = 5000 + k;
        b[20] = char(raw & 0xFF);
        b[21] = char(raw >> 8);
        return b;
    }
    void answer(int k) { port.receive(recordBlock(k)); }
    // Block k of the window's table holds exactly the meter's record k.
    void expectRecord(int k) {
        pm::RecordTable expected;
        pm::recordin(k, recordBlock(k), expected);
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
        std::multimap<qint64, std::pair<int, int>> due; // when -> record, attempt
        std::map<int, int> attempts;
        qint64 lineFree = 0;
        for (int steps = 0; pm::downloadRunning(state) && steps < 100000; ++steps) {
            if (!due.empty() && due.begin()->first <= armedAt + state.Readdat.interval()) {
                clock = std::max(clock, due.begin()->first);
                const auto [k, attempt] = due.begin()->second;
                port.receive(stored ? stored(k, attempt) : recordBlock(k));
                due.erase(due.begin());
                continue;
            }
            const auto before = port.writes.size();
            tick();
            const int k = port.writes.size() > before ? recordOf(port.lastWrite()) : 0;
            const int attempt = k > 0 ? ++attempts[k] : 0;
            const int ms = k > 0 ? latency(k, attempt) : -1;
            if (ms >= 0) {
                lineFree = std::max(clock + ms, lineFree + kReplyOnTheWire);
                due.emplace(lineFree, std::pair(k, attempt));
            }
        }
        ASSERT_FALSE(pm::downloadRunning(state));
    }
    static constexpr int kReplyOnTheWire = 26; // the request in and the 22-byte reply out
    // What runMeter's meter sends for record k at its nth asking; its own record when unset.
    std::function<QByteArray(int k, int attempt)> stored;
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

// Under Recall a recording keeps the live polls going; a poll's reply still on its way when "Read"
// is clicked is shown as a reading, never read as the count (its first bytes would make one).
TEST_F(Download, APollsReplyOnItsWayIsNotTakenForTheCount) {
    clock = 5000;
    state.realview = pm::kTrue;
    pm::comsend(state, port, pm::CmdLive);
    state.realview = pm::kFalse;
    port.writes.clear();
    clock += 10;
    read();
    EXPECT_TRUE(port.writes.empty()) << "no count while the poll is owed";
    clock += 20;
    port.receive(block);
    EXPECT_EQ(state.reccount, 0);
    EXPECT_FALSE(state.awaitingCount && state.lastcmd == pm::CmdCount);
    tick();
    ASSERT_EQ(port.writes.size(), 1);
    EXPECT_EQ(port.lastWrite(), kCountCmd);
    port.receiveHex("03 00");
    EXPECT_EQ(state.reccount, 3);
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
    EXPECT_EQ(port.writes.size(), 3) << "nothing is sent while record 2's reply may come";
    EXPECT_EQ(nextRequest(), 3);
    EXPECT_EQ(clock, 1200) << "a second after record 2 was asked for, the longest a meter takes";
    answer(3);
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

// One request is on the line at a time, so a late reply can only be its own: filed, and the next
// request waits for a reply's time of quiet after it.
TEST_F(Download, LateReplyWithOnlyItsRequestOnTheLineIsFiled) {
    read();
    port.receiveHex("03 00");
    EXPECT_EQ(nextRequest(), 1);
    answer(1);
    EXPECT_EQ(nextRequest(), 2);
    tick(); // record 2's time is up at 300
    clock += 60;
    answer(2);
    EXPECT_EQ(nextRequest(), 3);
    EXPECT_EQ(clock, 385);
    answer(3);
    EXPECT_EQ(nextRequest(), 0);
    EXPECT_EQ(recordRequests(), 3) << "nothing asked again";
    for (int k = 1; k <= 3; ++k)
        expectRecord(k);
    EXPECT_TRUE(alerts.shown.isEmpty());
    EXPECT_EQ(note(), "The meter answers later than 100 ms; phasemeter --pacing reply is faster.");
}

TEST_F(Download, ReplyComingJustInsideTheLongestWaitIsFiledUnderEitherPacing) {
    for (const auto pacing : {pm::Pacing::Fixed, pm::Pacing::Reply}) {
        SCOPED_TRACE(pacing == pm::Pacing::Reply ? "reply pacing" : "fixed pacing");
        state.download.pacing = pacing;
        form.table().gridinit();
        runMeter(4, [](int k, int) { return k == 2 ? 999 : kReplyOnTheWire; });
        EXPECT_EQ(recordRequests() % 4, 0) << "each record asked for once";
        for (int k = 1; k <= 4; ++k)
            expectRecord(k);
        EXPECT_TRUE(alerts.shown.isEmpty());
        port.writes.clear();
    }
}

// A reply the fragment of which was waiting at the time-out is finished late and filed; a
// fragment never finished is cleared a second after its request and the record asked again.
TEST_F(Download, ReplyInPartAtItsTimeOutIsWaitedForAndAFragmentCleared) {
    read();
    port.receiveHex("02 00");
    EXPECT_EQ(nextRequest(), 1);
    port.queueWithoutEvent(recordBlock(1).left(10));
    tick();
    EXPECT_EQ(port.bytesWaiting(), 10) << "the rest may come";
    clock += 5;
    port.receive(recordBlock(1).mid(10));
    EXPECT_EQ(nextRequest(), 2);
    port.queueWithoutEvent(recordBlock(2).left(10));
    EXPECT_EQ(nextRequest(), 2) << "asked again";
    EXPECT_EQ(clock, 1230) << "a second after it was asked for";
    answer(2);
    EXPECT_EQ(nextRequest(), 0);
    expectRecord(1);
    expectRecord(2);
}

TEST_F(Download, FixedPacingTakesAMeterLateOnEveryReplyAtItsOwnPaceAndAdvises) {
    runMeter(10, [](int, int) { return 150; });
    EXPECT_EQ(recordRequests(), 10);
    for (int k = 1; k <= 10; ++k)
        expectRecord(k);
    EXPECT_TRUE(alerts.shown.isEmpty()) << "every record came";
    EXPECT_EQ(note(), "The meter answers later than 100 ms; phasemeter --pacing reply is faster.");
    EXPECT_EQ(clock, 100 + 10 * (150 + 25)) << "each reply then a reply's time of quiet";

    state.download.pacing = pm::Pacing::Reply;
    runMeter(3, [](int, int) { return 150; });
    EXPECT_EQ(note(), "") << "no advice where it was taken";
}

// The reproductions of misfiled records: two late replies whose waits overlap.
TEST_F(Download, TwoOverlappingLateRepliesLandInTheirOwnBlocksUnderEitherPacing) {
    struct Case {
        int count;
        std::map<int, int> late;
    };
    for (const auto pacing : {pm::Pacing::Fixed, pm::Pacing::Reply})
        for (const Case& c : {Case{88, {{81, 663}, {85, 263}}}, Case{20, {{9, 593}, {16, 315}}}}) {
            SCOPED_TRACE(testing::Message() << "pacing " << (pacing == pm::Pacing::Reply)
                                            << " first late " << c.late.begin()->first);
            state.download.pacing = pacing;
            alerts.shown.clear();
            port.writes.clear();
            runMeter(c.count, [&c](int k, int attempt) {
                const auto late = c.late.find(k);
                return late != c.late.end() && attempt == 1 ? late->second : kReplyOnTheWire;
            });
            EXPECT_TRUE(alerts.shown.isEmpty());
            EXPECT_EQ(recordRequests(), c.count);
            EXPECT_EQ(rows(), 6 * c.count);
            for (int k = 1; k <= c.count; ++k)
                expectRecord(k);
        }
}

TEST_F(Download, ReplyPacingOnACleanLineGoesOnTheMomentEachReplyIsIn) {
    state.download.pacing = pm::Pacing::Reply;
    runMeter(50, [](int, int) { return kReplyOnTheWire; });
    EXPECT_EQ(clock, 50 * kReplyOnTheWire) << "not a millisecond of waiting for quiet";
    for (int k = 1; k <= 50; ++k)
        expectRecord(k);
}

TEST_F(Download, TwoRepliesToOneRequestFileNeitherAndTheRecordIsAskedAgain) {
    read();
    port.receiveHex("03 00");
    EXPECT_EQ(nextRequest(), 1);
    answer(1);
    clock += 30;
    answer(2); // a second reply inside record 1's time
    EXPECT_EQ(nextRequest(), 2);
    EXPECT_EQ(cell(1, 1), "") << "record 1 is not filed";
    answer(2);
    EXPECT_EQ(nextRequest(), 3);
    tick(); // record 3's time is up
    clock += 200;
    answer(3);
    clock += 10;
    answer(2); // another reply within the quiet after the late one
    EXPECT_EQ(nextRequest(), 1);
    EXPECT_EQ(clock, 590) << "a reply's time of quiet after the second";
    answer(1);
    EXPECT_EQ(nextRequest(), 3);
    answer(3);
    EXPECT_EQ(nextRequest(), 0);
    for (int k = 1; k <= 3; ++k)
        expectRecord(k);
    EXPECT_TRUE(alerts.shown.isEmpty());
}

TEST_F(Download, ReplyNoReadingCanHaveIsAskedAgainAndTheMetersOwnIsFiledAndNamed) {
    struct Damage {
        const char* what;
        int offset;
        quint8 value;
    };
    const Damage damages[] = {{"voltage range code 0", 8, 0},  {"voltage range code 4", 9, 4},
                              {"current range code 1", 10, 1}, {"current range code 5", 11, 5},
                              {"voltage high byte", 1, 0x80},  {"frequency high byte", 21, 0xC3},
                              {"angle of 360.0", 17, 0x0E}};
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        QByteArray bad = recordBlock(2);
        bad[damage.offset] = char(damage.value);
        if (damage.offset == 17)
            bad[16] = char(0x10); // 0x0E10: 3600 tenths
        ASSERT_FALSE(pm::readingPossible(bad));

        // Garbled once on the line: asked again, and the good reply filed.
        alerts.shown.clear();
        port.writes.clear();
        stored = [&](int k, int attempt) { return k == 2 && attempt == 1 ? bad : recordBlock(k); };
        runMeter(3, [](int, int) { return kReplyOnTheWire; });
        EXPECT_EQ(port.writes.count(QByteArray::fromHex("AA 02 00")), 2);
        expectRecord(2);
        EXPECT_TRUE(alerts.shown.isEmpty());

        // Stored damaged: the same bytes twice are filed as sent, and named.
        stored = [&](int k, int) { return k == 2 ? bad : recordBlock(k); };
        runMeter(3, [](int, int) { return kReplyOnTheWire; });
        pm::RecordTable expected;
        pm::recordin(2, bad, expected);
        EXPECT_EQ(cell(7, 1), expected.text(7, 1));
        EXPECT_EQ(cell(9, 5), expected.text(9, 5));
        ASSERT_EQ(alerts.shown.size(), 1);
        EXPECT_EQ(alerts.shown[0].second,
                  "Read Error.\r\nRecord 2 is stored damaged in the meter.");
    }
    // Different bytes each time: garbled on the line every time, never filed.
    int n = 0;
    stored = [&](int k, int) {
        QByteArray b = recordBlock(k);
        if (k == 2)
            b[8] = char(5 + n++);
        return b;
    };
    alerts.shown.clear();
    runMeter(3, [](int, int) { return kReplyOnTheWire; });
    expectHeadingsOnly(2);
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].second, "Read Error.\r\nRecord 2 did not arrive.");
}

TEST_F(Download, GarbledOrShortCountIsAskedAgainTwiceThenNamed) {
    read();
    port.receiveHex("05 80"); // high bit set
    tick();
    EXPECT_EQ(port.writes.count(kCountCmd), 2) << "asked again once the line is quiet";
    port.receiveHex("07"); // cut short: never a whole count
    tick();
    EXPECT_EQ(port.writes.count(kCountCmd), 2) << "the count has a second to come whole";
    tick();
    EXPECT_EQ(port.writes.count(kCountCmd), 3);
    EXPECT_EQ(port.bytesWaiting(), 0);
    port.receiveHex("FF FF");
    tick();
    EXPECT_FALSE(pm::downloadRunning(state));
    EXPECT_TRUE(pollingAndButtonsBack());
    EXPECT_EQ(recordRequests(), 0);
    EXPECT_EQ(rows(), 6);
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].second, "Read Error.\r\nThe meter's record count could not be read.");

    // A good count on the second asking starts the download.
    read();
    port.receiveHex("00 90");
    tick();
    port.receiveHex("01 00");
    EXPECT_EQ(nextRequest(), 1);
    answer(1);
    EXPECT_EQ(nextRequest(), 0);
    expectRecord(1);
}

TEST(ReadingPossible, AcceptsEveryRealReadingAndTheWholeRanges) {
    QByteArray b = readingVector("worked_example").block;
    EXPECT_TRUE(pm::readingPossible(b));
    for (int code : {1, 2, 3}) {
        b[8] = char(code);
        EXPECT_TRUE(pm::readingPossible(b)) << code;
    }
    for (int code : {2, 3, 4}) {
        b[11] = char(code);
        EXPECT_TRUE(pm::readingPossible(b)) << code;
    }
    b[18] = char(0x0F); // 359.9 degrees
    b[19] = char(0x0E);
    EXPECT_TRUE(pm::readingPossible(b));
    b[6] = char(0xFF); // 32767
    b[7] = char(0x7F);
    EXPECT_TRUE(pm::readingPossible(b));
    EXPECT_FALSE(pm::readingPossible(b.left(21)));
}

// The reliability run's mix: two or three replies late by 30 to 900 ms, anywhere in the download.
// Not one record may land under another's number, under either pacing.
TEST_F(Download, MixedLateRepliesNeverMisfileARecord) {
    QRandomGenerator random(23);
    for (int run = 0; run < 60; ++run) {
        const auto pacing = run % 2 ? pm::Pacing::Reply : pm::Pacing::Fixed;
        state.download.pacing = pacing;
        std::map<int, int> late;
        const int count = 20 + random.bounded(30);
        for (int n = 2 + random.bounded(2); n > 0; --n)
            late[1 + random.bounded(count)] = 30 + random.bounded(871);
        SCOPED_TRACE(testing::Message() << "run " << run << " count " << count);
        alerts.shown.clear();
        runMeter(count, [&late](int k, int attempt) {
            const auto it = late.find(k);
            return it != late.end() && attempt == 1 ? it->second : kReplyOnTheWire;
        });
        EXPECT_TRUE(alerts.shown.isEmpty());
        ASSERT_EQ(rows(), 6 * count);
        for (int k = 1; k <= count; ++k)
            expectRecord(k);
        if (HasFailure())
            return;
    }
}
