#pragma once

namespace pm {

class Panel;
class RecordSink;
class SerialPort;
struct FormState;

// What a receive event did with its bytes, so a client can react (print a reading, say).
enum class ReplyKind { Ignored, Handshake, Live, Count, Record };

// The receive event: takes the waiting bytes into inbuf and gives them the meaning of lastcmd.
// `table` may be null (no record table): record replies are then only a sign of life.
ReplyKind oncomm(FormState& form, SerialPort& port, Panel& panel, RecordSink* table);

} // namespace pm
