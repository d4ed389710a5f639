#pragma once

#include <QByteArray>
#include <QString>

namespace pm {

// A file that only grows, by whole writes, each on the disk before write() returns: what a
// killed process or a machine that lost power leaves behind is every write made before.
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Opens for appending, creating the file when missing; an existing file is not changed.
    bool open(const QString& path, QString* why);
    void close();
    bool isOpen() const { return fd_ >= 0; }

    // Its length in bytes, and up to `count` bytes from its start and from its end.
    qint64 size() const;
    QByteArray head(qint64 count) const;
    QByteArray tail(qint64 count) const;

    // Writes every byte and waits until they are on the disk. A write that fails part way is cut
    // off again, so the file ends where it ended before; `why` then gives the system's reason.
    bool write(const QByteArray& bytes, QString* why);

private:
    int fd_ = -1;
};

// The whole file; false with the system's reason when it cannot be read.
bool readWholeFile(const QString& path, QByteArray* bytes, QString* why);

} // namespace pm
