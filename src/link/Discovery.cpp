#include "link/Discovery.h"

#include "link/Commands.h"
#include "link/Comsend.h"
#include "link/FormState.h"
#include "platform/SerialPort.h"

namespace pm {

namespace {
constexpr int kLastPort = 16;
constexpr int kSilentTicksBeforeLoss = 4;

QString openFailureTip(const SerialPort& port, int portNumber, int err) {
    const QString device = port.deviceName(portNumber);
    if (err == kErrNoSuchPort)
        return device.isEmpty() ? QStringLiteral("No serial device is mapped to this port.")
                                : device + QStringLiteral(": no such device.");
    QString tip = device.isEmpty() ? QString() : device + QStringLiteral(": ");
    return tip + port.lastError();
}
} // namespace

void comopen(FormState& form, SerialPort& port, int portNumber) {
    if (port.isOpen())
        port.close();
    port.setCommPort(portNumber);
    const int err = port.open();
    const QString name = QStringLiteral("COM") + QString::number(portNumber);
    // A port that did not open is never shown as open, whatever the reason.
    form.ui.label1 =
        name + (err == kOpenOk ? QStringLiteral(" Open") : QStringLiteral(" Unviable"));
    form.ui.label1Tip =
        err == kOpenOk ? port.deviceName(portNumber) : openFailureTip(port, portNumber, err);
}

void findcomTick(FormState& form, SerialPort& port) {
    if (form.linked != kFalse) {
        form.Findcom.setEnabled(false);
        // A "Read" made between the handshake and this tick: a poll would take the reply to its
        // count or record requests. The end of the download turns polling and the buttons on.
        if (form.awaitingCount || form.Readdat.enabled())
            return;
        form.comunication.setEnabled(true);
        form.ui.readEnabled = true;
        form.ui.saveEnabled = true;
        return;
    }
    comopen(form, port, form.portno);
    comsend(form, port, CmdLink);
    form.portno = form.portno >= kLastPort ? 1 : form.portno + 1;
}

void comunicationTick(FormState& form, SerialPort& port) {
    if (form.linked != kTrue)
        return;
    if (form.realview == kTrue || form.liveWanted)
        comsend(form, port, CmdLive);
    else if (form.realview == kFalse)
        comsend(form, port, CmdLink);
}

void comtimoutTick(FormState& form) {
    if (form.waitcount >= kSilentTicksBeforeLoss) {
        form.waitcount = 0;
        form.ui.label2 = QStringLiteral("Unconnect");
        form.linked = kFalse;
        form.Findcom.setEnabled(true);
        return;
    }
    ++form.waitcount;
}

} // namespace pm
