#include "link/Comsend.h"

#include "link/Commands.h"
#include "link/FormState.h"
#include "platform/SerialPort.h"

namespace pm {

int replyLength(int code) {
    if (code <= kMaxRecordCode)
        return 22;
    switch (code) {
    case CmdLink:
        return 3;
    case CmdCount:
        return 2;
    case CmdLive:
        return 22;
    default:
        return 3;
    }
}

QByteArray commandFrame(int code) {
    QByteArray frame(3, '\0');
    frame[0] = char(0xAA);
    frame[1] = char(code & 0xFF);
    frame[2] = char((code >> 8) & 0xFF);
    return frame;
}

void comsend(FormState& form, SerialPort& port, int code) {
    if (!port.isOpen())
        return;
    // Threshold and lastcmd first: the reply may be handled as soon as the frame is out.
    port.setThreshold(replyLength(code));
    form.lastcmd = code;
    form.lastSentAt = form.now();
    port.output(commandFrame(code));
    // Whatever was waiting belongs to an earlier exchange.
    port.discardInput();
    port.discardOutput();
}

} // namespace pm
