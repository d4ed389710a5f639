#pragma once

#include <QString>
#include <QStringList>

namespace pm {

inline constexpr int kPortCount = 16; // COM1 to COM16

// The serial devices for COM1, COM2...: USB serial adapters first (ttyUSB, then ttyACM), then the
// rest, each group in natural order (ttyUSB2 before ttyUSB10), so that a port number keeps naming
// the same adapter from one scan to the next.
QStringList orderSerialDevices(QStringList devices);

// The device behind COMn, "" when the number names none. On Windows it is COMn itself. Elsewhere
// PHASEMETER_PORTS, when set, lists the devices of COM1, COM2... separated by ':' (pseudo-terminals
// are never found by a scan); otherwise the system's serial devices in the order above.
QString portDevice(int port);

// Names the devices of COM1, COM2... for the rest of the process, ahead of PHASEMETER_PORTS and the
// system's devices: for a tool told on its command line which device the meter is on. An empty
// list restores the usual map.
void setPortDevices(const QStringList& devices);

} // namespace pm
