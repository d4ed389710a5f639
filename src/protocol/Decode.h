#pragma once

#include <QByteArray>

namespace pm {

class ReadingTexts;
class Panel;

// Decodes a 22-byte measurement block into `dest` and derives S, PF, P and Q of each channel from
// the texts then shown. A field whose bytes are missing or out of range (high byte 0x80 or more),
// or whose range code is unknown, keeps its text; the other fields are decoded as usual.
void decodeReading(const QByteArray& block, ReadingTexts& dest);

// The reply to CmdLive, shown on the live panel.
void livein(const QByteArray& inbuf, Panel& panel);

} // namespace pm
