#pragma once

namespace pm {

class SerialPort;
struct FormState;

// Closes whatever port is open, opens `port` and shows the outcome in Label1.
void comopen(FormState& form, SerialPort& port, int portNumber);

// Findcom: while not linked, tries the next port with a link check; once linked, hands over to
// polling.
void findcomTick(FormState& form, SerialPort& port);
// comunication: the poll while linked, live readings or a keep-alive depending on the view.
void comunicationTick(FormState& form, SerialPort& port);
// COMtimout: declares the link lost on the fifth tick without a receive event.
void comtimoutTick(FormState& form);

} // namespace pm
