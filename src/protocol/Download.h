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

// "Read" on the recall view while linked: polling off, the buttons off, ask for the count.
void readClick(FormState& form, SerialPort& port);
// The count reply: starts the paced requests, or ends at once when there is nothing stored.
void countin(FormState& form, const QByteArray& inbuf);
// Readdat: one record request per tick, whether or not earlier replies have come. The tick after
// a pass has asked for its last record asks again for what is missing, or ends the download.
void readdatTick(FormState& form, SerialPort& port, const RecordSink* table);
// A record reply, written into block k of the table; `refill`: the record was asked for again.
void recordin(int k, const QByteArray& inbuf, RecordSink& table, bool refill = false);
// After a count or record reply: under reply pacing, the next request goes out at once when the
// reply is the whole answer to the request just sent.
void replyPacingStep(FormState& form, SerialPort& port, const RecordSink* table);
// The link was declared lost: a download that runs ends here, with what has arrived.
void downloadLinkLost(FormState& form, const RecordSink* table);

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

// "fixed" or "reply", as the command lines take them.
std::optional<Pacing> pacingFromName(const QString& name);

} // namespace pm
