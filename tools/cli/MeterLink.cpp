#include "cli/MeterLink.h"

#include "platform/PortMap.h"

#include <utility>

namespace pm::cli {

MeterLink::MeterLink(int portsPerRound, RecordSink* table, QObject* parent)
    : QObject(parent), core_(port_, table), portsPerRound_(portsPerRound) {
    const std::function<void()> search = core_.form.Findcom.onTick;
    core_.form.Findcom.onTick = [this, search] { searchTick(search); };
    core_.replied = [this](ReplyKind kind) {
        if (!stopped_ && onReply)
            onReply(kind);
    };
    core_.changed = [this] { afterHandler(); };
    FormState& f = core_.form;
    for (Timer* t : {&f.Findcom, &f.COMtimout, &f.comunication, &f.Readdat})
        drivers_.push_back(std::make_unique<TimerDriver>(*t));
}

MeterLink::~MeterLink() {
    stop();
}

void MeterLink::start() {
    core_.start();
}

void MeterLink::stop() {
    stopped_ = true;
    FormState& f = core_.form;
    for (Timer* t : {&f.Findcom, &f.COMtimout, &f.comunication, &f.Readdat})
        t->setEnabled(false);
    port_.close();
}

QString MeterLink::linkedPort() const {
    const int n = port_.commPort();
    return QStringLiteral("COM%1 %2").arg(n).arg(port_.deviceName(n));
}

void MeterLink::searchTick(const std::function<void()>& search) {
    FormState& f = core_.form;
    const bool handOver = f.linked != kFalse;
    // The last port of the round has had its tick to answer, like every other.
    if (!handOver && tried_ >= portsPerRound_ && !(keepLooking_ && everLinked_)) {
        // A meter may take up to a second to answer: the last port of the round, when open,
        // keeps its link request for a second tick.
        if (port_.isOpen() && !std::exchange(lastPortWaited_, true))
            return;
        const QString report = roundReport();
        stop();
        if (onFailure)
            onFailure(report);
        return;
    }
    // A named device is the only port: it is tried again at every tick, not once per walk of
    // every port number, so a meter back on it answers within a tick or two.
    if (!handOver && portsPerRound_ == 1)
        f.portno = 1;
    search();
    if (handOver) {
        tried_ = 0;
        lastPortWaited_ = false;
        outcomes_.clear();
        if (!stopped_ && onLinked)
            onLinked();
        return;
    }
    if (keepLooking_ && everLinked_)
        return; // searching until the meter is back: nothing to give up on or report
    ++tried_;
    const int n = port_.commPort();
    const QString device = port_.deviceName(n);
    if (device.isEmpty())
        return; // nothing to say about a number that names no device
    const QString prefix = portsPerRound_ > 1 ? QStringLiteral("COM%1 ").arg(n) : QString();
    outcomes_ << prefix + (port_.isOpen()
                               ? QStringLiteral("%1: no answer to the link request.").arg(device)
                               : f.ui.label1Tip);
}

QString MeterLink::lostMessage() const {
    const QString where = portsPerRound_ == 1 ? port_.deviceName(port_.commPort()) : linkedPort();
    return QStringLiteral("Lost the link to the meter on %1: no reply for about 5 seconds. Check "
                          "that it is still switched on and connected.")
        .arg(where);
}

QString MeterLink::roundReport() const {
    const QString advice =
        QStringLiteral("Check that the meter is switched on and its cable plugged in.");
    if (portsPerRound_ == 1) {
        if (port_.isOpen() || outcomes_.isEmpty())
            return QStringLiteral("The meter did not answer on %1. ").arg(portDevice(1)) + advice;
        return QStringLiteral("Cannot open ") + outcomes_.first();
    }
    QString text = QStringLiteral("No meter answered on COM1 to COM%1.").arg(portsPerRound_);
    if (outcomes_.isEmpty())
        return text + QStringLiteral(" No serial device was found: plug in the meter's cable, or "
                                     "name its device with --port or in PHASEMETER_PORTS.");
    for (const QString& o : outcomes_)
        text += QStringLiteral("\n  ") + o;
    return text + QLatin1Char('\n') + advice;
}

void MeterLink::afterHandler() {
    if (stopped_)
        return;
    const bool linked = core_.form.linked == kTrue;
    if (wasLinked_ && !linked && keepLooking_) {
        // The core has turned the search on again; it goes on until the meter answers.
        wasLinked_ = false;
        if (onLinkLost)
            onLinkLost(lostMessage());
        return;
    }
    if (wasLinked_ && !linked) {
        const QString message = lostMessage();
        stop();
        if (onFailure)
            onFailure(message);
        return;
    }
    wasLinked_ = linked;
    everLinked_ = everLinked_ || linked;
}

} // namespace pm::cli
