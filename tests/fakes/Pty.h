#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal standing in for the instrument: the port under test opens the slave by path,
// the test plays the instrument on the master. The slave is raw and held open, so the master
// keeps working while the port under test closes and reopens it.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return master_ >= 0 && slave_ >= 0; }
    QString slavePath() const { return slavePath_; }
    int slaveFd() const { return slave_; }

    // The instrument sends.
    bool write(const QByteArray& bytes);
    // What the port under test has sent so far, without waiting.
    QByteArray readAvailable();
    // Waits (processing events, bounded) until `count` bytes have come; returns what came.
    QByteArray read(qsizetype count, int timeoutMs = 2000);
    // The instrument vanishes: the port under test sees its device fail.
    void closeMaster();

private:
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
};
