#pragma once

#include "sim/Faults.h"

#include <QByteArray>
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

// A record file: one 22-byte block in hex per line; blank lines and lines starting with '#' are
// skipped. On failure, `error` says which line is wrong and why.
std::optional<QList<QByteArray>> parseRecordFile(const QByteArray& contents, QString& error);

} // namespace pm::sim
