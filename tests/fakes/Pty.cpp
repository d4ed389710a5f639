#include "fakes/Pty.h"

#include "fakes/WaitUntil.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

Pty::Pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        return;
    const char* name = ::ptsname(master_);
    if (!name)
        return;
    slavePath_ = QString::fromLocal8Bit(name);
    slave_ = ::open(name, O_RDWR | O_NOCTTY);
    termios raw{};
    if (slave_ >= 0 && ::tcgetattr(slave_, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(slave_, TCSANOW, &raw);
    }
}

Pty::~Pty() {
    closeMaster();
    if (slave_ >= 0)
        ::close(slave_);
}

bool Pty::write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (master_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        done += n > 0 ? n : 0;
    }
    return done == bytes.size();
}

QByteArray Pty::readAvailable() {
    QByteArray got;
    char chunk[256];
    ssize_t n = 0;
    while (master_ >= 0 && (n = ::read(master_, chunk, sizeof chunk)) > 0)
        got.append(chunk, n);
    return got;
}

QByteArray Pty::read(qsizetype count, int timeoutMs) {
    QByteArray got;
    waitUntil(
        [&] {
            got += readAvailable();
            return got.size() >= count;
        },
        timeoutMs);
    return got;
}

void Pty::closeMaster() {
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}
