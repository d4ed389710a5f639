#pragma once

#include <QByteArray>
#include <QString>

namespace pm::sim {

// The meter's end of a pseudo-terminal. The host opens the slave by its path as it would open a
// serial adapter. Both ends are raw, and a slave descriptor stays open for the whole run so that
// the line does not hang up while no host has it open (before the first open, between two
// opens).
class PtyEndpoint {
public:
    PtyEndpoint() = default;
    ~PtyEndpoint();
    PtyEndpoint(const PtyEndpoint&) = delete;
    PtyEndpoint& operator=(const PtyEndpoint&) = delete;

    // Creates the pseudo-terminal; on failure `error` says why.
    bool open(QString& error);
    int masterFd() const { return master_; }
    QString devicePath() const { return slavePath_; }

    // Makes a symlink at `path` to the device, removed again on destruction. A symlink left
    // there by an earlier run is replaced; anything else at `path` is kept and is an error.
    bool makeLink(const QString& path, QString& error);

    // What the host has sent, without waiting.
    QByteArray readAvailable();
    // Sends as much as the line takes now; the number of bytes taken, -1 on failure.
    qsizetype write(const QByteArray& bytes);

private:
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
    QString link_;
};

} // namespace pm::sim
