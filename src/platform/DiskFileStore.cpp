#include "platform/DiskFileStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <filesystem>
#include <system_error>

namespace pm {

namespace {
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
    QSaveFile file(path);
    // No direct-write fallback: where no temporary file can be made beside the target, the save
    // fails rather than truncating the file it would replace.
    const bool ok =
        file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    if (ok)
        return true;
    const QString reason = file.errorString();
    file.cancelWriting();
    *why =
        QStringLiteral("%1 could not be written: %2").arg(QDir::toNativeSeparators(path), reason);
    return false;
}

QString defaultSaveFolder() {
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\Zandrel");
#else
    return QDir::home().filePath(QStringLiteral("Zandrel"));
#endif
}

} // namespace pm
