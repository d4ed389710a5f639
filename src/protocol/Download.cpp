#include "protocol/Download.h"

#include "link/Commands.h"
#include "link/Comsend.h"
#include "platform/SerialPort.h"
#include "protocol/Decode.h"
#include "protocol/RecordSink.h"

#include <QStringList>
#include <algorithm>
#include <utility>

namespace pm {

namespace {
constexpr int kNamedItems = 20;

// "Record 7", "Records 3, 7 and 12 to 40": runs of three or more as ranges; a long list names its
// first twenty items and counts the rest.
QString recordList(const QList<int>& records) {
    QStringList items;
    qsizetype named = 0;
    for (qsizetype i = 0; i < records.size() && items.size() < kNamedItems;) {
        qsizetype j = i;
        while (j + 1 < records.size() && records[j + 1] == records[j] + 1)
            ++j;
        if (j - i >= 2) {
            items << QStringLiteral("%1 to %2").arg(records[i]).arg(records[j]);
        } else {
            j = i; // a pair is two items
            items << QString::number(records[i]);
        }
        named += j - i + 1;
        i = j + 1;
    }
    if (items.isEmpty())
        return {};
    if (named < records.size())
        items << QStringLiteral("%1 more").arg(records.size() - named);
    const QString subject =
        records.size() == 1 ? QStringLiteral("Record ") : QStringLiteral("Records ");
    const QString last = items.takeLast();
    return subject + (items.isEmpty()
                          ? last
                          : items.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last);
}

// Records this download asked for and did not receive.
QList<int> missingRecords(const FormState& form) {
    const std::vector<bool>& received = form.download.received;
    QList<int> missing;
    for (int k = 1; k <= lastRecordToRequest(form); ++k)
        if (size_t(k) >= received.size() || !received[size_t(k)])
            missing << k;
    return missing;
}

void endDownload(FormState& form, RecordSink* table) {
    DownloadState& d = form.download;
    // Whatever an earlier download left in a missing record's block is not this one's reading.
    if (table)
        for (const int k : std::as_const(d.missing))
            table->clearRecord(k);
    d.asked = 0;
    form.recindex = 0;
    form.awaitingCount = false;
    form.Readdat.setEnabled(false);
    form.comunication.setEnabled(true);
    form.ui.readEnabled = true;
    form.ui.saveEnabled = true;
}

// Runs the next Readdat tick `ms` from now.
void tickIn(FormState& form, qint64 ms) {
    form.Readdat.setInterval(int(std::max<qint64>(ms, 0)));
    form.Readdat.restart();
}

void learnReplyTime(DownloadState& d, qint64 replyMs) {
    if (d.pacing != Pacing::Reply)
        return;
    // Twice the slowest reply seen: room for a meter that is busy now and then.
    d.replyWaitMs =
        int(std::clamp<qint64>(2 * replyMs, d.replyWaitMs, qint64(kLongestReplyWaitMs)));
}

// Bytes that came without a receive event since the last look (part of a reply, or noise): the
// line is not quiet, and a reply already taken had something after it.
bool lineMoved(FormState& form, SerialPort& port) {
    DownloadState& d = form.download;
    const qint64 waiting = port.bytesWaiting();
    if (waiting == d.bytesSeen)
        return false;
    // A reply cut short is still a sign of life: a noisy line is not a meter switched off.
    if (waiting > d.bytesSeen)
        form.waitcount = 0;
    d.bytesSeen = waiting;
    d.quietFrom = form.now();
    if (d.replies > 0)
        d.inDoubt = true;
    return true;
}

qint64 replyWindowMs(const DownloadState& d) {
    return d.pacing == Pacing::Reply ? d.replyWaitMs : kFixedReplyMs;
}

// When the request on the line is settled, so that the next may go out.
qint64 settledAt(const DownloadState& d) {
    if (d.asked == 0)
        return d.quietFrom + d.quietMs;
    if (d.replies == 0) {
        if (!d.windowOver)
            return d.askedAt + replyWindowMs(d);
        // Owed: the meter may answer until the longest it takes, and a reply under way finishes.
        return std::max(d.askedAt + kLongestReplyWaitMs, d.quietFrom + kQuietMs);
    }
    if (!d.windowOver && !d.inDoubt)
        // Its own reply, whole and in time: reply pacing goes on at once; fixed pacing keeps
        // its tick, and a second reply inside it shows the first was not to be trusted.
        return d.pacing == Pacing::Reply ? d.repliedAt : d.askedAt + kFixedReplyMs;
    return d.quietFrom + kQuietMs;
}

// The request on the line is settled: its reply goes into its block when it may be trusted.
void fileReply(FormState& form, RecordSink* table) {
    DownloadState& d = form.download;
    const int k = d.asked;
    if (k < 1 || d.replies != 1 || d.inDoubt)
        return;
    if (!readingPossible(d.reply)) {
        // Garbled on the line, or the meter's own damaged record: only the same bytes twice
        // are the meter's.
        const auto seen = d.impossible.constFind(k);
        if (seen == d.impossible.cend() || *seen != d.reply) {
            d.impossible.insert(k, d.reply);
            return;
        }
        // Kept in order, for the sentence that names them.
        if (const auto at = std::lower_bound(d.damaged.begin(), d.damaged.end(), k);
            at == d.damaged.end() || *at != k)
            d.damaged.insert(at, k);
    }
    if (table)
        recordin(k, d.reply, *table, d.pass > 0);
    if (size_t(k) < d.received.size())
        d.received[size_t(k)] = true;
    if (d.windowOver)
        ++d.lateReplies;
    learnReplyTime(d, d.repliedAt - d.askedAt);
}

// The record the pass asks for next; 0 once it has asked for all of its records.
int nextToAsk(const FormState& form) {
    const DownloadState& d = form.download;
    if (d.pass == 0)
        return form.recindex <= lastRecordToRequest(form) ? form.recindex : 0;
    return d.againSent < d.again.size() ? d.again[d.againSent] : 0;
}

void askNext(FormState& form, SerialPort& port, RecordSink* table) {
    DownloadState& d = form.download;
    int k = nextToAsk(form);
    if (k == 0) {
        d.missing = missingRecords(form);
        if (d.missing.isEmpty() || d.pass >= kExtraPasses) {
            endDownload(form, table);
            return;
        }
        ++d.pass;
        d.again = d.missing;
        d.againSent = 0;
        k = d.again.front();
    }
    comsend(form, port, k);
    d.asked = k;
    d.askedAt = form.now();
    d.windowOver = false;
    d.replies = 0;
    d.inDoubt = false;
    d.reply.clear();
    d.quietFrom = d.askedAt;
    d.bytesSeen = 0;
    if (d.pass == 0)
        ++form.recindex;
    else
        ++d.againSent;
    tickIn(form, replyWindowMs(d));
}

void askCount(FormState& form, SerialPort& port) {
    DownloadState& d = form.download;
    comsend(form, port, CmdCount);
    ++d.countAsks;
    d.askedAt = form.now();
    d.quietFrom = d.askedAt;
    d.bytesSeen = 0;
    d.replies = 0;
    form.Readdat.setEnabled(true);
    tickIn(form, kLongestReplyWaitMs);
}

// A poll's reply still owed when "Read" is clicked (a live block under a running recording, or the
// keep-alive) would be read as the count: the count waits for that reply and 25 ms of quiet, or
// for the longest a meter takes to answer.
bool pollOwed(const FormState& form) {
    return form.lastSentAt >= 0 && form.lastReplyAt < form.lastSentAt &&
           form.now() < form.lastSentAt + kLongestReplyWaitMs;
}

qint64 countDueAt(const FormState& form) {
    if (form.lastReplyAt >= form.lastSentAt)
        return form.lastReplyAt + kQuietMs;
    return form.lastSentAt + kLongestReplyWaitMs;
}

// The count did not come whole in its time, or came garbled: asked for again, or given up.
void countTick(FormState& form, SerialPort& port) {
    DownloadState& d = form.download;
    if (d.countAsks == 0) {
        if (const qint64 wait = countDueAt(form) - form.now(); wait > 0)
            tickIn(form, wait);
        else
            askCount(form, port);
        return;
    }
    lineMoved(form, port);
    const qint64 due = d.replies > 0
                           ? d.quietFrom + kQuietMs
                           : std::max(d.askedAt + kLongestReplyWaitMs, d.quietFrom + kQuietMs);
    if (const qint64 wait = due - form.now(); wait > 0) {
        tickIn(form, wait);
        return;
    }
    port.discardInput();
    if (d.countAsks >= kCountAsks) {
        d.countUnreadable = true;
        endDownload(form, nullptr);
        return;
    }
    askCount(form, port);
}
} // namespace

void readClick(FormState& form, SerialPort& port) {
    // A second count request would restart the paced requests of the running download.
    if (form.realview != kFalse || form.linked != kTrue || downloadRunning(form))
        return;
    form.comunication.setEnabled(false);
    form.ui.readEnabled = false;
    form.ui.saveEnabled = false;
    form.awaitingCount = true;
    const Pacing pacing = form.download.pacing;
    form.download = DownloadState{};
    form.download.pacing = pacing;
    if (pollOwed(form)) {
        form.Readdat.setEnabled(true);
        tickIn(form, countDueAt(form) - form.now());
        return;
    }
    askCount(form, port);
}

void countin(FormState& form, const QByteArray& inbuf) {
    DownloadState& d = form.download;
    d.quietFrom = form.now();
    d.bytesSeen = 0;
    // A count that does not fit 16 bits is no count: asked for again once the line is quiet.
    if (inbuf.size() < 2 || quint8(inbuf[1]) >= 0x80) {
        d.replies = 1;
        tickIn(form, kQuietMs);
        return;
    }
    form.reccount = quint8(inbuf[1]) * 256 + quint8(inbuf[0]);
    form.awaitingCount = false;
    d.counted = true;
    d.replies = 0;
    if (form.reccount < 1) {
        endDownload(form, nullptr);
        return;
    }
    learnReplyTime(d, d.quietFrom - d.askedAt);
    d.received.assign(size_t(lastRecordToRequest(form)) + 1, false);
    form.recindex = 1;
    // Fixed pacing sends the first request on the first tick; reply pacing at once.
    d.quietMs = d.pacing == Pacing::Reply ? 0 : kFixedReplyMs;
    form.Readdat.setEnabled(true);
    tickIn(form, d.quietMs);
}

void readdatTick(FormState& form, SerialPort& port, RecordSink* table) {
    if (form.awaitingCount) {
        countTick(form, port);
        return;
    }
    DownloadState& d = form.download;
    lineMoved(form, port);
    if (d.asked > 0 && d.replies == 0 && !d.windowOver &&
        form.now() >= d.askedAt + replyWindowMs(d))
        d.windowOver = true; // nothing goes out until the meter has answered or cannot any more
    if (const qint64 wait = settledAt(d) - form.now(); wait > 0) {
        tickIn(form, wait);
        return;
    }
    // What waits now is no whole reply: part of one that will never be finished, or noise.
    if (port.bytesWaiting() > 0)
        port.discardInput();
    fileReply(form, table);
    askNext(form, port, table);
}

bool recordReply(FormState& form, const QByteArray& inbuf) {
    DownloadState& d = form.download;
    if (d.asked == 0) {
        strayBytes(form, inbuf.size());
        return false;
    }
    d.quietFrom = form.now();
    d.bytesSeen = 0;
    if (d.replies == 0 && d.quietFrom > d.askedAt + replyWindowMs(d))
        d.windowOver = true; // its tick is due and has not run yet
    // More than one reply's bytes in one event, or a second reply: which was its own is unknown.
    if (++d.replies > 1 || inbuf.size() != replyLength(d.asked))
        d.inDoubt = true;
    if (d.replies == 1) {
        d.reply = inbuf;
        d.repliedAt = d.quietFrom;
    }
    tickIn(form, settledAt(d) - d.quietFrom);
    return d.replies == 1;
}

void strayBytes(FormState& form, qsizetype size) {
    DownloadState& d = form.download;
    d.quietFrom = form.now();
    if (d.asked == 0)
        d.quietMs = std::max(d.quietMs, kQuietMs);
    else if (d.replies > 0)
        d.inDoubt = true;
    if (size > 0 && form.Readdat.enabled() && !form.awaitingCount)
        tickIn(form, settledAt(d) - d.quietFrom);
}

void recordin(int k, const QByteArray& inbuf, RecordSink& table, bool refill) {
    if (k < 1)
        return;
    decodeReading(inbuf, refill ? table.refillRecord(k) : table.beginRecord(k));
}

void downloadLinkLost(FormState& form, RecordSink* table) {
    if (!downloadRunning(form))
        return;
    DownloadState& d = form.download;
    d.linkLost = true;
    // A reply taken seconds ago, with nothing after it, was its request's own.
    fileReply(form, table);
    d.missing = d.counted ? missingRecords(form) : QList<int>();
    endDownload(form, table);
}

bool downloadRunning(const FormState& form) {
    return form.awaitingCount || form.Readdat.enabled();
}

int lastRecordToRequest(const FormState& form) {
    return std::min(form.reccount, kMaxRecordCode);
}

DownloadProgress downloadProgress(const FormState& form) {
    const DownloadState& d = form.download;
    if (form.awaitingCount || !form.Readdat.enabled())
        return {form.awaitingCount, 0, 0, 0};
    if (d.pass == 0)
        return {true, form.recindex - 1, lastRecordToRequest(form), 0};
    return {true, d.againSent, int(d.again.size()), d.pass};
}

QString missingRecordsSentence(const QList<int>& missing) {
    const QString records = recordList(missing);
    return records.isEmpty() ? QString() : records + QStringLiteral(" did not arrive.");
}

QString damagedRecordsSentence(const QList<int>& damaged) {
    const QString records = recordList(damaged);
    if (records.isEmpty())
        return {};
    return records + (damaged.size() == 1 ? QStringLiteral(" is") : QStringLiteral(" are")) +
           QStringLiteral(" stored damaged in the meter.");
}

QStringList downloadProblems(const DownloadState& download) {
    QStringList sentences;
    if (download.countUnreadable)
        sentences << QStringLiteral("The meter's record count could not be read.");
    if (!download.missing.isEmpty())
        sentences << missingRecordsSentence(download.missing);
    if (!download.damaged.isEmpty())
        sentences << damagedRecordsSentence(download.damaged);
    return sentences;
}

bool meterAnswersLate(const DownloadState& download) {
    return download.pacing == Pacing::Fixed && download.lateReplies > 0;
}

QString lateMeterAdvice(const QString& option) {
    return QStringLiteral("The meter answers later than 100 ms; %1 is faster.").arg(option);
}

std::optional<Pacing> pacingFromName(const QString& name) {
    if (name == QLatin1String("fixed"))
        return Pacing::Fixed;
    if (name == QLatin1String("reply"))
        return Pacing::Reply;
    return std::nullopt;
}

} // namespace pm
