#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// phasemeter-sim as a child process: started with the given options, ready once it has named its
// device; terminated (and waited for) on destruction.
class SimProcess {
public:
    explicit SimProcess(const QStringList& options = {});
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool ok() const { return !device_.isEmpty(); }
    QString device() const { return device_; }
    // What it has logged on standard error so far (with --verbose: every request).
    QString log();
    QProcess& process() { return process_; }

private:
    QProcess process_;
    QString device_;
    QByteArray log_;
};

QString simProgram();
QString cliProgram();

// Runs phasemeter-cli to its end (bounded); gives its exit code, standard output and error.
struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QString err;
};
CliRun runCli(const QStringList& arguments, int timeoutMs = 20000,
              const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
// The same with a process prepared by the caller (environment, limits).
CliRun runCli(QProcess& cli, const QStringList& arguments, int timeoutMs = 20000);

#ifdef PHASEMETER_WINDOW_PROGRAM
// The window program, offscreen, with the simulated meter as the one port it looks at.
void startWindowOn(QProcess& window, const SimProcess& sim, const QStringList& arguments);
#endif
