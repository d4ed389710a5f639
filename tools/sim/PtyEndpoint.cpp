#include "sim/PtyEndpoint.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace pm::sim {

namespace {

bool makeRaw(int fd) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return false;
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

PtyEndpoint::~PtyEndpoint() {
    if (!link_.isEmpty() && QFile::symLinkTarget(link_) == slavePath_)
        QFile::remove(link_);
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
}

bool PtyEndpoint::open(QString& error) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        error = QStringLiteral("Cannot create a pseudo-terminal: ") + systemError();
        return false;
    }
    const char* name = ::ptsname(master_);
    if (!name) {
        error = QStringLiteral("Cannot name the pseudo-terminal: ") + systemError();
        return false;
    }
    slavePath_ = QString::fromLocal8Bit(name);
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        error = QStringLiteral("Cannot open %1: %2").arg(slavePath_, systemError());
        return false;
    }
    // No echo, no line editing, no character translation: the line carries bytes only.
    if (!makeRaw(slave_) || !makeRaw(master_)) {
        error = QStringLiteral("Cannot make %1 raw: %2").arg(slavePath_, systemError());
        return false;
    }
    return true;
}

bool PtyEndpoint::makeLink(const QString& path, QString& error) {
    const QFileInfo existing(path);
    if (existing.isSymLink()) {
        if (!QFile::remove(path)) {
            error = QStringLiteral("Cannot replace the old link %1.").arg(path);
            return false;
        }
    } else if (existing.exists()) {
        error =
            QStringLiteral("%1 exists and is not a symlink; choose another --link path.").arg(path);
        return false;
    }
    if (!QFile::link(slavePath_, path)) {
        error = QStringLiteral("Cannot make the link %1 (is its folder there and writable?).")
                    .arg(path);
        return false;
    }
    link_ = path;
    return true;
}

QByteArray PtyEndpoint::readAvailable() {
    QByteArray got;
    char chunk[256];
    for (;;) {
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n > 0) {
            got.append(chunk, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return got;
    }
}

qsizetype PtyEndpoint::write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return -1;
        break;
    }
    return done;
}

} // namespace pm::sim
