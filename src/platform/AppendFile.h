#pragma once

#include "platform/RowStore.h"

#include <QByteArray>
#include <QString>

namespace pm {

// A file that only grows, by whole writes, each on the disk before write() returns: what a
// killed process or a machine that lost power leaves behind is every write made before. While
// open it holds an exclusive lock on the file, so two programs never append to one file.
class AppendFile : public RowStore {
public:
    enum class Opened { Yes, Failed, Locked };

    AppendFile() = default;
    ~AppendFile() override;
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Opens a plain file for appending, creating it when missing; an existing file is not
    // changed. Locked: another program holds the file open the same way.
    Opened open(const QString& path, QString* why);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    // This open() made the file.
    bool created() const { return created_; }

    // Its length in bytes, and up to `count` bytes from its start and from its end.
    qint64 size() const;
    QByteArray head(qint64 count) const;
    QByteArray tail(qint64 count) const;
    // Cuts the file back to `length` bytes and waits until that is on the disk.
    bool truncate(qint64 length, QString* why);
    // Up to `count` bytes from `offset`.
    QByteArray read(qint64 offset, qint64 count) const;
    // Where the line that holds the byte before `end` starts: just after the last "\n" before
    // `end`, 0 when there is none.
    qint64 lineStartBefore(qint64 end) const;
    // Where the last line of the file ends: just after its last "\n", 0 when it has none.
    qint64 endOfLastLine() const { return lineStartBefore(size()); }

    // Writes every byte and waits until they are on the disk. A write that fails part way is cut
    // off again, so the file ends where it ended before; `why` then gives the system's reason.
    bool write(const QByteArray& bytes, QString* why);
    bool append(const QByteArray& bytes, QString* why) override { return write(bytes, why); }

private:
    int fd_ = -1;
    bool created_ = false;
};

} // namespace pm
