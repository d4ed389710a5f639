#pragma once

#include "platform/FileStore.h"

namespace pm {

// Files on disk, each written to a temporary file beside it and renamed over the old one only when
// complete.
class DiskFileStore : public FileStore {
public:
    bool exists(const QString& path) const override;
    bool makeFolder(const QString& path, QString* why) override;
    bool write(const QString& path, const QByteArray& bytes, QString* why) override;
};

// Where saves start: "c:\Zandrel" on Windows, as the instrument's users know it; elsewhere the
// folder Zandrel in the user's home.
QString defaultSaveFolder();

} // namespace pm
