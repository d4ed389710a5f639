#include "protocol/Download.h"

#include "link/Commands.h"
#include "link/Comsend.h"
#include "protocol/Decode.h"
#include "protocol/RecordSink.h"

#include <QStringList>
#include <algorithm>

namespace pm {

namespace {
constexpr int kNamedItems = 20;

void endDownload(FormState& form) {
    form.recindex = 0;
    form.awaitingCount = false;
    form.Readdat.setEnabled(false);
    form.comunication.setEnabled(true);
    form.ui.readEnabled = true;
    form.ui.saveEnabled = true;
}

// Records of this download whose block holds no reading. Without a table nothing is kept, so
// nothing can be missing either.
QList<int> missingRecords(const FormState& form, const RecordSink* table) {
    QList<int> missing;
    if (!table)
        return missing;
    for (int k = 1; k <= lastRecordToRequest(form); ++k)
        if (!table->holdsReading(k))
            missing << k;
    return missing;
}

// The record the pass asks for next; 0 once it has asked for all of its records.
int nextToAsk(const FormState& form) {
    const DownloadState& d = form.download;
    if (d.pass == 0)
        return form.recindex <= lastRecordToRequest(form) ? form.recindex : 0;
    return d.againSent < d.again.size() ? d.again[d.againSent] : 0;
}

void askNext(FormState& form, SerialPort& port, const RecordSink* table) {
    DownloadState& d = form.download;
    int k = nextToAsk(form);
    if (k == 0) {
        // The pass is over and the reply to its last request has had its time.
        d.missing = missingRecords(form, table);
        if (d.missing.isEmpty() || d.pass >= kExtraPasses) {
            endDownload(form);
            return;
        }
        ++d.pass;
        d.again = d.missing;
        d.againSent = 0;
        // The records after a refilled block arrived already: they must stay.
        d.refilling = true;
        k = d.again.front();
    }
    comsend(form, port, k);
    d.asked = k;
    if (d.pass == 0)
        ++form.recindex;
    else
        ++d.againSent;
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
}

void countin(FormState& form, const QByteArray& inbuf) {
    // A short reply, or a count that does not fit 16 bits, leaves the previous count in force.
    if (inbuf.size() >= 2 && quint8(inbuf[1]) < 0x80)
        form.reccount = quint8(inbuf[1]) * 256 + quint8(inbuf[0]);
    form.awaitingCount = false;
    form.download.counted = true;
    if (form.reccount < 1) {
        endDownload(form);
        return;
    }
    form.recindex = 1;
    form.Readdat.setEnabled(true);
}

void readdatTick(FormState& form, SerialPort& port, const RecordSink* table) {
    askNext(form, port, table);
}

void recordin(int k, const QByteArray& inbuf, RecordSink& table, bool refill) {
    if (k < 1)
        return;
    decodeReading(inbuf, refill ? table.refillRecord(k) : table.beginRecord(k));
}

void replyPacingStep(FormState& form, SerialPort& port, const RecordSink* table) {
    const DownloadState& d = form.download;
    if (d.pacing != Pacing::Reply || !form.Readdat.enabled())
        return;
    // Only the whole answer to the request just sent moves on; anything else waits for the tick.
    const bool current = form.lastcmd == CmdCount || form.lastcmd == d.asked;
    if (!current || form.inbuf.size() < replyLength(form.lastcmd))
        return;
    askNext(form, port, table);
    // The fallback tick comes a whole interval after the request just sent.
    form.Readdat.restart();
}

void downloadLinkLost(FormState& form, const RecordSink* table) {
    if (!downloadRunning(form))
        return;
    form.download.linkLost = true;
    form.download.missing = form.download.counted ? missingRecords(form, table) : QList<int>();
    endDownload(form);
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

std::optional<Pacing> pacingFromName(const QString& name) {
    if (name == QLatin1String("fixed"))
        return Pacing::Fixed;
    if (name == QLatin1String("reply"))
        return Pacing::Reply;
    return std::nullopt;
}

} // namespace pm
