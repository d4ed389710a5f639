#include "platform/FileSizeSignal.h"

#include <csignal>

namespace pm {

void ignoreFileSizeSignal() {
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

} // namespace pm
