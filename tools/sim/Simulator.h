#pragma once

#include "sim/Faults.h"
#include "sim/Frames.h"
#include "sim/Instrument.h"
#include "sim/SimOptions.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTextStream>

class QSocketNotifier;

namespace pm::sim {

class PtyEndpoint;

// The meter on the line: reads requests from the pseudo-terminal, answers each after the
// configured faults and delay. Everything runs on the event loop of one thread.
class Simulator : public QObject {
public:
    Simulator(const SimConfig& config, PtyEndpoint& pty, QObject* parent = nullptr);

private:
    void onReadable();
    void answer(int code);
    void send(const QByteArray& bytes);
    void flushOutbox();
    double seconds() const { return double(clock_.nsecsElapsed()) / 1e9; }

    PtyEndpoint& pty_;
    Instrument instrument_;
    FaultInjector faults_;
    FrameParser parser_;
    int delayMs_;
    QHash<int, int> lateMs_;
    bool wire_;
    qint64 lineFreeNs_ = 0; // when the line has carried the last reply sent
    bool verbose_;
    QElapsedTimer clock_;
    QSocketNotifier* reader_;
    QSocketNotifier* writer_;
    QByteArray outbox_;
    QTextStream log_;
};

} // namespace pm::sim
