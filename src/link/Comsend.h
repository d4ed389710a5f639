#pragma once

#include <QByteArray>

namespace pm {

class SerialPort;
struct FormState;

// The 3-byte request frame: marker 0xAA, then the code as a little-endian 16-bit integer.
QByteArray commandFrame(int code);

// Sends one request and records it in lastcmd; does nothing while no port is open.
void comsend(FormState& form, SerialPort& port, int code);

} // namespace pm
