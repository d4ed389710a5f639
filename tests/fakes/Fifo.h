#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// A named pipe made by the test, with its reader open so that a writer neither blocks nor fails.
class Fifo {
public:
    explicit Fifo(const QString& path) : path_(QFile::encodeName(path)) {
        if (::mkfifo(path_.constData(), 0600) == 0)
            reader_ = ::open(path_.constData(), O_RDONLY | O_NONBLOCK);
    }
    ~Fifo() {
        if (reader_ >= 0)
            ::close(reader_);
    }
    Fifo(const Fifo&) = delete;
    Fifo& operator=(const Fifo&) = delete;

    bool ok() const { return reader_ >= 0; }
    // Whether a pipe still stands at the path (not a plain file renamed over it).
    bool inPlace() const {
        struct stat s {};
        return ::lstat(path_.constData(), &s) == 0 && S_ISFIFO(s.st_mode);
    }
    // What has been written so far, without waiting.
    QByteArray readAvailable() {
        QByteArray got;
        char chunk[4096];
        ssize_t n = 0;
        while (reader_ >= 0 && (n = ::read(reader_, chunk, sizeof chunk)) > 0)
            got.append(chunk, n);
        return got;
    }

private:
    QByteArray path_;
    int reader_ = -1;
};
