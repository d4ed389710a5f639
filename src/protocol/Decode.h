#pragma once

#include <QByteArray>

namespace pm {

class ReadingTexts;
class Panel;

// Decodes a 22-byte measurement block into `dest` and derives S, PF, P and Q of each channel from
// the texts then shown. A field whose bytes are missing or out of range (high byte 0x80 or more),
// or whose range code is unknown, keeps its text; the other fields are decoded as usual.
void decodeReading(const QByteArray& block, ReadingTexts& dest);

// Whether a whole block holds what a reading can: voltage range codes 1 to 3, current range codes
// 2 to 4, every 16-bit value below 0x8000 and every angle below 360.0 degrees. A block that fails
// this was garbled on the line, or is stored damaged in the meter.
bool readingPossible(const QByteArray& block);

// The reply to CmdLive, shown on the live panel.
void livein(const QByteArray& inbuf, Panel& panel);

} // namespace pm
