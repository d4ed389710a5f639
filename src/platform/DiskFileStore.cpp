#include "platform/DiskFileStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <filesystem>
#include <system_error>

namespace pm {

namespace {
QString failure(const QString& path, const QString& reason) {
    return QStringLiteral("%1 could not be written: %2")
        .arg(QDir::toNativeSeparators(path), reason);
}

// Writes on after a short write: the system names what stopped it ("File too large", "No space
// left on device") only when the next write fails outright.
bool writeAll(QFileDevice& file, const QByteArray& bytes) {
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool writeInPlace(const QString& path, const QByteArray& bytes, QString* why) {
    QFile device(path);
    if (device.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && writeAll(device, bytes))
        return true;
    *why = failure(path, device.errorString());
    return false;
}

std::filesystem::path nativePath(const QString& path) {
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}
} // namespace

bool DiskFileStore::exists(const QString& path) const {
    return QFileInfo::exists(path);
}

bool DiskFileStore::makeFolder(const QString& path, QString* why) {
    std::error_code error;
    std::filesystem::create_directories(nativePath(path), error);
    if (!error && QFileInfo(path).isDir())
        return true;
    *why = QStringLiteral("The folder %1 could not be created: %2")
               .arg(QDir::toNativeSeparators(path), error ? QString::fromLocal8Bit(error.message())
                                                          : QStringLiteral("not a folder"));
    return false;
}

bool DiskFileStore::write(const QString& path, const QByteArray& bytes, QString* why) {
    // A device, a pipe or a socket (/dev/null, /dev/stdout, /dev/ttyUSB0) cannot be replaced by
    // renaming a new file over it: that would put a plain file in its place. It is written to.
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir())
        return writeInPlace(path, bytes, why);

    QSaveFile file(path);
    // No direct-write fallback: where no temporary file can be made beside the target, the save
    // fails rather than truncating the file it would replace. Unbuffered, because a write that
    // fails only when the buffer is flushed (a full disk) would not stop commit() from renaming
    // the truncated file over the old one.
    const bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                    writeAll(file, bytes) && file.commit();
    if (ok)
        return true;
    const QString reason = file.errorString();
    file.cancelWriting();
    *why = failure(path, reason);
    return false;
}

QString whyNotWritable(const QString& path) {
    const QFileInfo target(path);
    if (target.isDir())
        return QStringLiteral("it is a folder");
    if (!target.absoluteDir().exists())
        return QStringLiteral("its folder does not exist");
    if (target.exists() && !target.isFile())
        return target.isWritable() ? QString() : QStringLiteral("it may not be written");
    QTemporaryFile probe(target.absoluteDir().filePath(QStringLiteral(".phasemeter-XXXXXX")));
    if (!probe.open())
        return QStringLiteral("its folder does not take new files (%1)").arg(probe.errorString());
    return {};
}

QString defaultSaveFolder() {
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\Zandrel");
#else
    return QDir::home().filePath(QStringLiteral("Zandrel"));
#endif
}

} // namespace pm
