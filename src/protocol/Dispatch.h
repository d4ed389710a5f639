#pragma once

namespace pm {

class Panel;
class SerialPort;
struct FormState;

// What a receive event did with its bytes, so a client can react (print a reading, say).
enum class ReplyKind { Ignored, Handshake, Live, Count, Record };

// The receive event: takes the waiting bytes into inbuf and gives them the meaning of lastcmd.
// A record reply is only taken by the download (Download.h), which files it later.
ReplyKind oncomm(FormState& form, SerialPort& port, Panel& panel);

} // namespace pm
