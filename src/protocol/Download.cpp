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

// The reply taken for the request on the line goes into its block, unless it is in doubt.
void settle(FormState& form, RecordSink* table) {
    DownloadState& d = form.download;
    if (d.asked > 0 && d.answered && d.trusted) {
        if (table)
            recordin(d.asked, d.reply, *table, d.pass > 0);
        if (size_t(d.asked) < d.received.size())
            d.received[size_t(d.asked)] = true;
        d.owing = false; // the line is in step with the requests again
    }
    d.reply.clear();
    d.answered = false;
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
    d.answered = false;
    d.trusted = true;
    // After a time-out the meter may still answer an earlier request, and this reply could be
    // that: it counts only if the line then stays quiet for as long as that would take again,
    // where this request's own reply would show.
    d.probation = d.owing;
    d.quietMs = kQuietMs;
    d.grewWait = false;
    if (d.pass == 0)
        ++form.recindex;
    else
        ++d.againSent;
    form.Readdat.setInterval(d.pacing == Pacing::Reply ? d.replyWaitMs : kFixedReplyMs);
    form.Readdat.restart();
}

void learnReplyTime(DownloadState& d, qint64 replyMs) {
    if (d.pacing != Pacing::Reply)
        return;
    // Twice the slowest whole reply seen: room for a meter that is busy now and then.
    d.replyWaitMs =
        int(std::clamp<qint64>(2 * replyMs, d.replyWaitMs, qint64(kLongestReplyWaitMs)));
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
    comsend(form, port, CmdCount);
    form.download.askedAt = form.now();
}

void countin(FormState& form, const QByteArray& inbuf) {
    DownloadState& d = form.download;
    // A short reply, or a count that does not fit 16 bits, leaves the previous count in force.
    if (inbuf.size() >= 2 && quint8(inbuf[1]) < 0x80)
        form.reccount = quint8(inbuf[1]) * 256 + quint8(inbuf[0]);
    form.awaitingCount = false;
    d.counted = true;
    if (form.reccount < 1) {
        endDownload(form, nullptr);
        return;
    }
    d.quietFrom = form.now();
    d.quietMs = kQuietMs;
    learnReplyTime(d, d.quietFrom - d.askedAt);
    d.received.assign(size_t(lastRecordToRequest(form)) + 1, false);
    form.recindex = 1;
    form.Readdat.setInterval(d.pacing == Pacing::Reply ? kQuietMs : kFixedReplyMs);
    form.Readdat.setEnabled(true);
}

void readdatTick(FormState& form, SerialPort& port, RecordSink* table) {
    DownloadState& d = form.download;
    if (d.asked > 0 && !d.windowOver) {
        d.windowOver = true;
        if (!d.answered) {
            // Lost, or late: a late answer would land in the next request's time.
            if (!std::exchange(d.owing, true))
                d.owedSince = d.askedAt;
            d.quietFrom = form.now();
            d.quietMs = d.replyWaitMs;
        }
    }
    if (const qint64 waiting = port.bytesWaiting(); waiting > 0) {
        port.input();
        strayBytes(form, waiting);
    }
    const qint64 wait = d.quietFrom + d.quietMs - form.now();
    if (wait > 0) {
        form.Readdat.setInterval(int(wait));
        return;
    }
    settle(form, table);
    askNext(form, port, table);
}

bool recordReply(FormState& form, const QByteArray& inbuf) {
    DownloadState& d = form.download;
    if (d.asked == 0 || d.answered || d.windowOver) {
        strayBytes(form, inbuf.size());
        return false;
    }
    d.answered = true;
    d.reply = inbuf;
    d.quietFrom = form.now();
    // More than one reply's bytes in one event: part of them answer something else.
    if (inbuf.size() != replyLength(d.asked))
        d.trusted = false;
    // The request's own reply may still be on its way.
    if (!d.trusted) {
        d.quietMs = d.replyWaitMs;
    } else if (d.probation) {
        // Were this the late answer to the first request that timed out, the meter would take as
        // long again for this request's own: the line must stay quiet until then.
        d.quietMs = int(std::clamp<qint64>(d.askedAt - d.owedSince + kQuietMs, d.replyWaitMs,
                                           2 * kLongestReplyWaitMs));
    } else {
        d.quietMs = kQuietMs;
        learnReplyTime(d, d.quietFrom - d.askedAt);
    }
    if (d.pacing == Pacing::Reply) {
        // The next request goes out once the line has stayed quiet after this reply.
        d.windowOver = true;
        form.Readdat.setInterval(d.quietMs);
        form.Readdat.restart();
    }
    return true;
}

void strayBytes(FormState& form, qsizetype size) {
    DownloadState& d = form.download;
    d.quietFrom = form.now();
    d.quietMs = d.replyWaitMs;
    // A second reply to one request: the first may have been an earlier request's late answer.
    if (d.answered)
        d.trusted = false;
    if (size < replyLength(1))
        return; // a reply cut short, or noise
    ++d.lateReplies;
    if (d.pacing == Pacing::Reply && !std::exchange(d.grewWait, true))
        d.replyWaitMs = std::min(2 * d.replyWaitMs, kLongestReplyWaitMs);
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
    settle(form, table);
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
    if (!form.Readdat.enabled())
        return {form.awaitingCount, 0, 0, 0};
    if (d.pass == 0)
        return {true, form.recindex - 1, lastRecordToRequest(form), 0};
    return {true, d.againSent, int(d.again.size()), d.pass};
}

QString missingRecordsSentence(const QList<int>& missing) {
    QStringList items;
    qsizetype named = 0;
    for (qsizetype i = 0; i < missing.size() && items.size() < kNamedItems;) {
        qsizetype j = i;
        while (j + 1 < missing.size() && missing[j + 1] == missing[j] + 1)
            ++j;
        if (j - i >= 2) {
            items << QStringLiteral("%1 to %2").arg(missing[i]).arg(missing[j]);
        } else {
            j = i; // a pair is two items
            items << QString::number(missing[i]);
        }
        named += j - i + 1;
        i = j + 1;
    }
    if (items.isEmpty())
        return {};
    if (named < missing.size())
        items << QStringLiteral("%1 more").arg(missing.size() - named);
    const QString subject =
        missing.size() == 1 ? QStringLiteral("Record ") : QStringLiteral("Records ");
    const QString last = items.takeLast();
    const QString list =
        items.isEmpty() ? last : items.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
    return subject + list + QStringLiteral(" did not arrive.");
}

bool meterAnswersLate(const DownloadState& download) {
    return download.pacing == Pacing::Fixed && !download.missing.isEmpty() &&
           download.lateReplies > 0;
}

QString lateMeterAdvice(const QString& option) {
    return QStringLiteral("The meter answers later than 100 ms; try %1.").arg(option);
}

std::optional<Pacing> pacingFromName(const QString& name) {
    if (name == QLatin1String("fixed"))
        return Pacing::Fixed;
    if (name == QLatin1String("reply"))
        return Pacing::Reply;
    return std::nullopt;
}

} // namespace pm
