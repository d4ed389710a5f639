#pragma once

#include "link/FormState.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace pm {

class RecordSink;
class SerialPort;

// Passes that ask again for the records that did not arrive, after the paced pass.
inline constexpr int kExtraPasses = 2;
// One record reply's time on the wire at 9600 baud: the line must be this quiet before a request.
inline constexpr int kQuietMs = 25;
// How long fixed pacing gives each reply: one Readdat tick.
inline constexpr int kFixedReplyMs = 100;
// Reply pacing's fallback never waits longer than this for a reply.
inline constexpr int kLongestReplyWaitMs = 1000;

// "Read" on the recall view while linked: polling off, the buttons off, ask for the count.
void readClick(FormState& form, SerialPort& port);
// The count reply: starts the paced requests, or ends at once when there is nothing stored.
void countin(FormState& form, const QByteArray& inbuf);
// Readdat: ends the time of the request on the line, and once the line has been quiet long
// enough files its reply (when it may be trusted) and sends the next request; after the last
// request of a pass, asks again for what is missing, or ends the download.
void readdatTick(FormState& form, SerialPort& port, RecordSink* table);
// A receive event for a record request while a download runs: taken as that request's reply when
// it is the first within its time, else discarded. Returns whether it was taken.
bool recordReply(FormState& form, const QByteArray& inbuf);
// Bytes that no request of the download is waiting for: discarded, and the line is in doubt.
void strayBytes(FormState& form, qsizetype size);
// A record reply, written into block k of the table; `refill`: the record was asked for again.
void recordin(int k, const QByteArray& inbuf, RecordSink& table, bool refill = false);
// The link was declared lost: a download that runs ends here, with what has arrived.
void downloadLinkLost(FormState& form, RecordSink* table);

// A download runs from "Read" until its last pass is over.
bool downloadRunning(const FormState& form);

// The last record a download asks for. Codes above 10000 name commands (11000 is the link check,
// 12000 the count), so a larger count is read up to record 10000 only.
int lastRecordToRequest(const FormState& form);

// How far a running download is: requests sent of those its pass will send; `total` is 0 while
// the count is awaited. `pass` 0 is the paced pass, 1 and 2 ask again.
struct DownloadProgress {
    bool running = false;
    int sent = 0;
    int total = 0;
    int pass = 0;
};
DownloadProgress downloadProgress(const FormState& form);

// "Records 3, 7 and 12 to 40 did not arrive.": runs of three or more as ranges; a long list
// names its first twenty items and counts the rest.
QString missingRecordsSentence(const QList<int>& missing);

// Fixed pacing ended with records missing after replies had come later than their 100 ms.
bool meterAnswersLate(const DownloadState& download);
// "The meter answers later than 100 ms; try --pacing reply.", naming the option to use.
QString lateMeterAdvice(const QString& option);

// "fixed" or "reply", as the command lines take them.
std::optional<Pacing> pacingFromName(const QString& name);

} // namespace pm
