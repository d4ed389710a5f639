#include "fakes/DiskFaults.h"

#include <csignal>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
constexpr int kOverrides[] = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER};

bool setEffective(bool on) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    for (int cap : kOverrides) {
        const __u32 bit = 1u << (cap % 32);
        if (on)
            data[cap / 32].effective |= bit & data[cap / 32].permitted;
        else
            data[cap / 32].effective &= ~bit;
    }
    return syscall(SYS_capset, &header, data) == 0;
}
} // namespace

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
}

FileSizeLimit::~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, savedHandler_);
}

PermissionsBind::PermissionsBind() {
    if (geteuid() != 0) {
        ok_ = true;
        return;
    }
    dropped_ = setEffective(false);
    ok_ = dropped_;
}

PermissionsBind::~PermissionsBind() {
    if (dropped_)
        setEffective(true);
}

void limitChildFileSize(QProcess& process, rlim_t bytes) {
    // SIGXFSZ keeps its default action (ending the process): the program must ignore it itself.
    process.setChildProcessModifier([bytes] {
        std::signal(SIGXFSZ, SIG_DFL);
        rlimit limited{};
        getrlimit(RLIMIT_FSIZE, &limited);
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    });
}

void bindChildPermissions(QProcess& process) {
    // Gone from the bounding set, the overrides do not come back when root executes the tool.
    process.setChildProcessModifier([] {
        for (int cap : kOverrides)
            prctl(PR_CAPBSET_DROP, cap, 0, 0, 0);
    });
}
