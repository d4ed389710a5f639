#pragma once

#include "link/FormState.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace pm {

class RecordSink;
class SerialPort;

// Passes that ask again for the records that did not arrive, after the paced pass.
inline constexpr int kExtraPasses = 2;
// Count requests of one download: a garbled or short count is asked for again, twice at most.
inline constexpr int kCountAsks = 3;
// One record reply's time on the wire at 9600 baud: after a late reply the line must stay this
// quiet before it is filed, in case another follows it.
inline constexpr int kQuietMs = 25;
// How long fixed pacing gives each reply: one Readdat tick.
inline constexpr int kFixedReplyMs = 100;
// The longest a meter is taken to answer: a request unanswered this long, on a quiet line, is lost.
inline constexpr int kLongestReplyWaitMs = 1000;

// "Read" on the recall view while linked: polling off, the buttons off, ask for the count.
void readClick(FormState& form, SerialPort& port);
// The count reply: starts the paced requests, ends at once when there is nothing stored, or has a
// garbled count asked for again.
void countin(FormState& form, const QByteArray& inbuf);
// Readdat: asks for the count again when it did not come whole; once the request on the line is
// settled (answered, or unanswered for as long as a meter takes), files its reply when it may be
// trusted and sends the next request; after the last request of a pass, asks again for what is
// missing, or ends the download.
void readdatTick(FormState& form, SerialPort& port, RecordSink* table);
// A receive event for a record request while a download runs: taken as that request's reply.
// Returns whether it was taken (one was, and it may yet be filed).
bool recordReply(FormState& form, const QByteArray& inbuf);
// Bytes that no request of the download is waiting for: discarded, and the line must go quiet.
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

// "Records 13 and 14 are stored damaged in the meter.": filed as the meter sent them twice.
QString damagedRecordsSentence(const QList<int>& damaged);
// What went wrong in a download that has ended, a sentence each: the count that could not be
// read, the records that did not arrive, those stored damaged. Empty when nothing did.
QStringList downloadProblems(const DownloadState& download);

// Fixed pacing filed replies that came later than their 100 ms.
bool meterAnswersLate(const DownloadState& download);
// "The meter answers later than 100 ms; --pacing reply is faster.", naming the option to use.
QString lateMeterAdvice(const QString& option);

// "fixed" or "reply", as the command lines take them.
std::optional<Pacing> pacingFromName(const QString& name);

} // namespace pm
