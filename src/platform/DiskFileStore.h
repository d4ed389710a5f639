#pragma once

#include "platform/FileStore.h"

namespace pm {

// Files on disk, each written to a temporary file beside it and renamed over the old one only when
// complete. A device or a pipe named as the file is written to directly.
class DiskFileStore : public FileStore {
public:
    bool exists(const QString& path) const override;
    bool makeFolder(const QString& path, QString* why) override;
    bool write(const QString& path, const QByteArray& bytes, QString* why) override;
};

// Why a write to `path` would fail before any byte is written (no folder, a folder that takes no
// new file, a device that may not be written), or an empty text. Asked before a long download.
QString whyNotWritable(const QString& path);

// Where saves start: "c:\Zandrel" on Windows, as the instrument's users know it; elsewhere the
// folder Zandrel in the user's home.
QString defaultSaveFolder();

} // namespace pm
