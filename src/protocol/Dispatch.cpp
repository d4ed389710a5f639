#include "protocol/Dispatch.h"

#include "link/Commands.h"
#include "link/FormState.h"
#include "platform/SerialPort.h"
#include "protocol/Decode.h"
#include "protocol/Download.h"

namespace pm {

namespace {
bool isHandshake(const QByteArray& b) {
    return b.size() >= 3 && quint8(b[0]) == 0xAA && quint8(b[1]) == 0x55 && quint8(b[2]) == 0xAA;
}
} // namespace

ReplyKind oncomm(FormState& form, SerialPort& port, Panel& panel) {
    if (port.commEvent() != kEvReceive)
        return ReplyKind::Ignored;
    form.inbuf = port.input();
    port.discardInput();
    port.discardOutput();
    form.waitcount = 0; // any reply is a sign of life
    form.lastReplyAt = form.now();

    if (form.linked == kFalse && form.lastcmd == CmdLink) {
        if (!isHandshake(form.inbuf))
            return ReplyKind::Ignored;
        form.ui.label2 = QStringLiteral("Connected");
        form.linked = kTrue;
        return ReplyKind::Handshake;
    }
    if (form.lastcmd > kMaxRecordCode) {
        if (form.lastcmd == CmdCount) {
            // One count per "Read": more bytes after it belong to nothing that was asked.
            if (!form.awaitingCount) {
                if (downloadRunning(form))
                    strayBytes(form, form.inbuf.size());
                return ReplyKind::Ignored;
            }
            countin(form, form.inbuf);
            return ReplyKind::Count;
        }
        if (form.lastcmd == CmdLive) {
            livein(form.inbuf, panel);
            return ReplyKind::Live;
        }
        return ReplyKind::Ignored; // the keep-alive of the recall view
    }
    // A record reply belongs to a download's request; outside one, nothing asked for it.
    if (downloadRunning(form) && recordReply(form, form.inbuf))
        return ReplyKind::Record;
    return ReplyKind::Ignored;
}

} // namespace pm
