#include "sim/Faults.h"

#include "sim/Frames.h"

namespace pm::sim {

const char* faultName(Fault f) {
    switch (f) {
    case Fault::None:
        return "sent";
    case Fault::Silent:
        return "silent";
    case Fault::Dropped:
        return "dropped";
    case Fault::Garbage:
        return "garbage";
    case Fault::Short:
        return "short";
    }
    return "";
}

namespace {
FaultTarget targetOf(int code) {
    switch (code) {
    case kCodeLink:
        return TargetLink;
    case kCodeCount:
        return TargetCount;
    case kCodeLive:
        return TargetLive;
    default:
        return TargetRecords;
    }
}
} // namespace

Sending FaultInjector::apply(const QByteArray& reply, double seconds, int code) {
    if (settings_.silentAfter >= 0 && seconds >= settings_.silentAfter)
        return {Fault::Silent, {}};
    if (!(settings_.targets & targetOf(code)))
        return {Fault::None, reply};
    if (chance(settings_.drop))
        return {Fault::Dropped, {}};
    if (chance(settings_.garbage)) {
        QByteArray noise(reply.size(), '\0');
        for (char& c : noise)
            c = char(random_.bounded(256));
        return {Fault::Garbage, noise};
    }
    if (chance(settings_.shortReply) && reply.size() > 1)
        return {Fault::Short, reply.left(random_.bounded(1, int(reply.size())))};
    return {Fault::None, reply};
}

} // namespace pm::sim
