#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <optional>
#include <span>

namespace pm::cli {

// Exit codes: scripts tell a missing meter from a mistyped command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1; // the meter, the port or the output failed
inline constexpr int kExitUsage = 2;   // the command line is wrong

// A subcommand: `run` gets the arguments after its name and returns the exit code.
struct Command {
    const char* name;
    const char* summary;
    int (*run)(const QStringList& arguments);
};

// Every subcommand, in the order the help lists them.
std::span<const Command> commands();

// "phasemeter-cli: <message>" on standard error.
void printError(const QString& message);
// Writes UTF-8 to standard output at once, so that a log file or a pipe is never behind; false
// when the output failed (disk full, closed pipe).
bool printOut(const QString& text);

// "<command>: <message> See phasemeter-cli <command> --help." on standard error; returns
// kExitUsage.
int usageError(const QString& command, const QString& message);
// --port DEV, for the commands that talk to the meter.
QCommandLineOption portOption();

// Parses a subcommand's options, with --help. Returns nothing to go on, else the exit code to
// return at once: kExitOk after printing the help, kExitUsage after printing what is wrong.
std::optional<int> parseArguments(QCommandLineParser& parser, const QString& command,
                                  const QString& usage, const QString& description,
                                  const QStringList& arguments);

} // namespace pm::cli
