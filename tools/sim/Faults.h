#pragma once

#include <QByteArray>
#include <QHash>
#include <QRandomGenerator>

namespace pm::sim {

// The requests whose replies the faults strike; silence strikes them all.
enum FaultTarget : unsigned {
    TargetLink = 1,
    TargetCount = 2,
    TargetLive = 4,
    TargetRecords = 8,
    TargetAll = 15
};

// Misbehaviour on demand, for testing how the host copes with a failing line or meter.
struct FaultSettings {
    double silentAfter = -1;  // seconds after which nothing is answered any more; < 0: never
    double drop = 0;          // probability that a reply is not sent
    double garbage = 0;       // probability that a reply is replaced by random bytes
    double shortReply = 0;    // probability that only the first part of a reply is sent
    int delayMs = 0;          // every reply goes out this late
    QHash<int, int> lateMs{}; // record -> how much later its first reply goes out
    unsigned targets = TargetAll;
};

enum class Fault { None, Silent, Dropped, Garbage, Short };
const char* faultName(Fault f);

struct Sending {
    Fault fault = Fault::None;
    QByteArray bytes; // what goes on the line; empty when nothing does
};

// Decides, reply by reply, what actually goes out. The same seed gives the same faults.
class FaultInjector {
public:
    FaultInjector(const FaultSettings& settings, quint32 seed)
        : settings_(settings), random_(seed ^ 0xFA017u) {}

    // The reply to request `code`, `seconds` after the start.
    Sending apply(const QByteArray& reply, double seconds, int code);

private:
    bool chance(double p) { return p > 0 && random_.generateDouble() < p; }

    FaultSettings settings_;
    QRandomGenerator random_;
};

} // namespace pm::sim
