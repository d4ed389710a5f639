#pragma once

#include <QByteArray>
#include <QString>

namespace pm {

// The files the user saves. A write is all or nothing: a failed write leaves no partial file and
// leaves an existing file of that name as it was; a successful one replaces it (the save dialog
// has asked the user first).
class FileStore {
public:
    virtual ~FileStore() = default;
    // True when a file or a folder of that name exists.
    virtual bool exists(const QString& path) const = 0;
    // Creates the folder (and missing parents); false with a reason when that failed.
    virtual bool makeFolder(const QString& path, QString* why) = 0;
    virtual bool write(const QString& path, const QByteArray& bytes, QString* why) = 0;
};

} // namespace pm
