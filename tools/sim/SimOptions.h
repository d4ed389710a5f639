#pragma once

#include "sim/Faults.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace pm::sim {

struct SimConfig {
    QString link;                          // a symlink to the device, made for the run
    std::optional<QByteArray> live;        // a fixed live block
    int records = 3;                       // records drawn from the model
    std::optional<QList<QByteArray>> file; // records read from a file instead
    std::optional<int> count;              // the count reported, whatever is held
    std::optional<QByteArray> countReply;  // the count reply's bytes, garbled or short
    quint32 seed = 1;
    FaultSettings faults;
    bool verbose = false;
    bool wire = false; // replies take their time on a 9600 baud line
};

struct SimOptions {
    enum Outcome { Run, Help, UsageError, IoError };
    Outcome outcome = Run;
    QString message; // the help text, or what is wrong and what to do
    SimConfig config;
};

// Reads the command line (without the program name); reads the record file when one is named.
SimOptions parseSimOptions(const QStringList& arguments);

// A record file, read line by line: one 22-byte block in hex per line, at most 10000 of them;
// blank lines and lines starting with '#' are skipped. A line may be up to kMaxRecordLine
// characters long. On failure, `error` says which line is wrong and why.
inline constexpr int kMaxRecordLine = 1024;
std::optional<QList<QByteArray>> readRecordFile(QIODevice& file, QString& error);

} // namespace pm::sim
