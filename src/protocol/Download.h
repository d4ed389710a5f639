#pragma once

#include <QByteArray>

namespace pm {

class RecordSink;
class SerialPort;
struct FormState;

// "Read" on the recall view while linked: polling off, the buttons off, ask for the count.
void readClick(FormState& form, SerialPort& port);
// The count reply: starts the paced requests, or ends at once when there is nothing stored.
void countin(FormState& form, const QByteArray& inbuf);
// Readdat: one record request per tick, whether or not earlier replies have come.
void readdatTick(FormState& form, SerialPort& port);
// A record reply, written into block k of the table.
void recordin(int k, const QByteArray& inbuf, RecordSink& table);

// A download runs from "Read" until its last request has gone out.
bool downloadRunning(const FormState& form);

// The last record a download asks for. Codes above 10000 name commands (11000 is the link check,
// 12000 the count), so a larger count is read up to record 10000 only.
int lastRecordToRequest(const FormState& form);

// How far a running download is: requests sent of those it will send; `total` is 0 while the
// count is awaited.
struct DownloadProgress {
    bool running = false;
    int sent = 0;
    int total = 0;
};
DownloadProgress downloadProgress(const FormState& form);

} // namespace pm
