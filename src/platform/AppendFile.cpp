#include "platform/AppendFile.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
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

bool AppendFile::open(const QString& path, QString* why) {
    close();
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        *why = systemReason(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) == 0 && !S_ISREG(info.st_mode)) {
        ::close(fd);
        *why = QStringLiteral("not a plain file");
        return false;
    }
    fd_ = fd;
    return true;
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

bool readWholeFile(const QString& path, QByteArray* bytes, QString* why) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = file.errorString();
        return false;
    }
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *why = file.errorString();
        return false;
    }
    return true;
}

} // namespace pm
