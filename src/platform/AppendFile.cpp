#include "platform/AppendFile.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pm {

namespace {

QString systemReason(int error) {
    return qt_error_string(error);
}

QByteArray readAt(int fd, qint64 offset, qint64 count) {
    QByteArray bytes(qsizetype(count), Qt::Uninitialized);
    qint64 done = 0;
    while (done < count) {
        const ssize_t n =
            ::pread(fd, bytes.data() + done, size_t(count - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    bytes.truncate(qsizetype(done));
    return bytes;
}

} // namespace

AppendFile::~AppendFile() {
    close();
}

AppendFile::Opened AppendFile::open(const QString& path, QString* why) {
    close();
    const QByteArray name = QFile::encodeName(path);
    // Not blocking and not taking a terminal as the controlling one: a FIFO or a device named
    // as the log is looked at, then refused.
    constexpr int kFlags = O_RDWR | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    bool created = true;
    int fd = ::open(name.constData(), kFlags | O_CREAT | O_EXCL, 0666);
    if (fd < 0 && errno == EEXIST) {
        created = false;
        fd = ::open(name.constData(), kFlags);
    }
    if (fd < 0) {
        *why = systemReason(errno);
        return Opened::Failed;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        *why = QStringLiteral("it is not a plain file (a device, a pipe or a socket)");
        return Opened::Failed;
    }
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        const int error = errno;
        ::close(fd);
        *why = systemReason(error);
        return error == EWOULDBLOCK ? Opened::Locked : Opened::Failed;
    }
    fd_ = fd;
    created_ = created;
    return Opened::Yes;
}

void AppendFile::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

qint64 AppendFile::size() const {
    struct stat info {};
    return fd_ >= 0 && ::fstat(fd_, &info) == 0 ? qint64(info.st_size) : 0;
}

QByteArray AppendFile::head(qint64 count) const {
    return fd_ >= 0 ? readAt(fd_, 0, qMin(count, size())) : QByteArray();
}

QByteArray AppendFile::tail(qint64 count) const {
    const qint64 length = size();
    count = qMin(count, length);
    return fd_ >= 0 ? readAt(fd_, length - count, count) : QByteArray();
}

bool AppendFile::truncate(qint64 length, QString* why) {
    if (::ftruncate(fd_, off_t(length)) != 0 || (::fdatasync(fd_) != 0 && errno != EINVAL)) {
        *why = systemReason(errno);
        return false;
    }
    return true;
}

QByteArray AppendFile::read(qint64 offset, qint64 count) const {
    return fd_ >= 0 ? readAt(fd_, offset, count) : QByteArray();
}

qint64 AppendFile::lineStartBefore(qint64 end) const {
    // Backwards a block at a time: a cut row is short, but nothing stops a broken file from
    // ending in a long line.
    constexpr qint64 kBlock = 4096;
    while (end > 0) {
        const qint64 start = std::max<qint64>(0, end - kBlock);
        const QByteArray block = readAt(fd_, start, end - start);
        const qsizetype nl = block.lastIndexOf('\n');
        if (nl >= 0)
            return start + nl + 1;
        end = start;
    }
    return 0;
}

bool AppendFile::write(const QByteArray& bytes, QString* why) {
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        *why = systemReason(errno);
        return false;
    }
    // Writes to a file whose last name is gone (its folder removed) would go nowhere anyone can
    // find them.
    if (info.st_nlink == 0) {
        *why = systemReason(ENOENT);
        return false;
    }
    const off_t before = info.st_size;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            // Best effort: the reason to give is the write's.
            if (done > 0) {
                [[maybe_unused]] const int cut = ::ftruncate(fd_, before);
            }
            *why = systemReason(error);
            return false;
        }
        done += n;
    }
    // EINVAL: the file does not support syncing (a pseudo-file system); the bytes are written.
    if (::fdatasync(fd_) != 0 && errno != EINVAL) {
        *why = systemReason(errno);
        return false;
    }
    return true;
}

} // namespace pm
