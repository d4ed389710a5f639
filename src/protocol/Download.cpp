#include "protocol/Download.h"

#include "link/Commands.h"
#include "link/Comsend.h"
#include "link/FormState.h"
#include "protocol/Decode.h"
#include "protocol/RecordSink.h"

#include <algorithm>

namespace pm {

namespace {
void endDownload(FormState& form) {
    form.recindex = 0;
    form.awaitingCount = false;
    form.Readdat.setEnabled(false);
    form.comunication.setEnabled(true);
    form.ui.readEnabled = true;
    form.ui.saveEnabled = true;
}
} // namespace

void readClick(FormState& form, SerialPort& port) {
    // A second count request would restart the paced requests of the running download.
    if (form.realview != kFalse || form.linked != kTrue || downloadRunning(form))
        return;
    form.comunication.setEnabled(false);
    form.ui.readEnabled = false;
    form.ui.saveEnabled = false;
    form.awaitingCount = true;
    comsend(form, port, CmdCount);
}

void countin(FormState& form, const QByteArray& inbuf) {
    // A short reply, or a count that does not fit 16 bits, leaves the previous count in force.
    if (inbuf.size() >= 2 && quint8(inbuf[1]) < 0x80)
        form.reccount = quint8(inbuf[1]) * 256 + quint8(inbuf[0]);
    form.awaitingCount = false;
    if (form.reccount < 1) {
        endDownload(form);
        return;
    }
    form.recindex = 1;
    form.Readdat.setEnabled(true);
}

void readdatTick(FormState& form, SerialPort& port) {
    comsend(form, port, form.recindex);
    if (form.recindex < lastRecordToRequest(form)) {
        ++form.recindex;
        return;
    }
    endDownload(form);
}

void recordin(int k, const QByteArray& inbuf, RecordSink& table) {
    if (k < 1)
        return;
    decodeReading(inbuf, table.beginRecord(k));
}

bool downloadRunning(const FormState& form) {
    return form.awaitingCount || form.Readdat.enabled();
}

int lastRecordToRequest(const FormState& form) {
    return std::min(form.reccount, kMaxRecordCode);
}

DownloadProgress downloadProgress(const FormState& form) {
    if (form.Readdat.enabled())
        return {true, form.recindex - 1, lastRecordToRequest(form)};
    return {form.awaitingCount, 0, 0};
}

} // namespace pm
