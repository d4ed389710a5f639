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

} // namespace pm
