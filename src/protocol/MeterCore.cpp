#include "protocol/MeterCore.h"

#include "link/Discovery.h"
#include "platform/SerialPort.h"
#include "protocol/Download.h"

namespace pm {

MeterCore::MeterCore(SerialPort& port, RecordSink* table) : port_(port), table_(table) {
    port_.setEventHandler([this] { onReceive(); });
    form.Findcom.onTick = [this] {
        findcomTick(form, port_);
        afterHandler();
    };
    form.COMtimout.onTick = [this] {
        const bool wasLinked = form.linked == kTrue;
        comtimoutTick(form);
        // No more requests to a meter that has stopped answering.
        if (wasLinked && form.linked != kTrue)
            downloadLinkLost(form, table_);
        afterHandler();
    };
    form.comunication.onTick = [this] {
        comunicationTick(form, port_);
        afterHandler();
    };
    form.Readdat.onTick = [this] {
        readdatTick(form, port_, table_);
        afterHandler();
    };
}

void MeterCore::start() {
    form.realview = kTrue;
    form.linked = kFalse;
    form.portno = 1;
    form.Findcom.setEnabled(true);
    afterHandler();
}

void MeterCore::read() {
    readClick(form, port_);
    afterHandler();
}

void MeterCore::showView(int realview) {
    form.realview = realview;
    // While a download runs, polling would take the replies of the record requests: the view
    // changes, but polling and the buttons wait for the end of the download.
    if (!downloadRunning(form)) {
        form.comunication.setEnabled(true);
        form.ui.readEnabled = true;
        form.ui.saveEnabled = true;
    }
    afterHandler();
}

void MeterCore::onReceive() {
    const ReplyKind kind = oncomm(form, port_, panel);
    if (replied)
        replied(kind);
    afterHandler();
}

void MeterCore::afterHandler() {
    // Noted before the callback: a message box it shows lets other handlers run meanwhile.
    const bool ended = downloading_ && !downloadRunning(form);
    downloading_ = downloadRunning(form);
    if (ended && downloadEnded)
        downloadEnded();
    if (changed)
        changed();
}

} // namespace pm
