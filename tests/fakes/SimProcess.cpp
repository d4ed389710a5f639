#include "fakes/SimProcess.h"

#include "fakes/WaitUntil.h"

#include <QTemporaryDir>

QString simProgram() {
    return QStringLiteral(PHASEMETER_TOOLS_DIR "/sim/phasemeter-sim");
}

QString cliProgram() {
    return QStringLiteral(PHASEMETER_TOOLS_DIR "/cli/phasemeter-cli");
}

SimProcess::SimProcess(const QStringList& options) {
    process_.start(simProgram(), options);
    if (!process_.waitForStarted(5000))
        return;
    if (waitUntil([this] { return process_.canReadLine(); }, 5000))
        device_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
}

SimProcess::~SimProcess() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(3000);
    }
}

QString SimProcess::log() {
    log_ += process_.readAllStandardError();
    return QString::fromUtf8(log_);
}

CliRun runCli(const QStringList& arguments, int timeoutMs, const QProcessEnvironment& env) {
    QProcess cli;
    cli.setProcessEnvironment(env);
    return runCli(cli, arguments, timeoutMs);
}

CliRun runCli(QProcess& cli, const QStringList& arguments, int timeoutMs) {
    cli.start(cliProgram(), arguments);
    CliRun run;
    // Events keep flowing meanwhile, so a simulator started by the same test stays served.
    if (!waitUntil([&cli] { return cli.state() == QProcess::NotRunning; }, timeoutMs)) {
        cli.kill();
        cli.waitForFinished(3000);
        return run;
    }
    run.exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    run.out = cli.readAllStandardOutput();
    run.err = QString::fromLocal8Bit(cli.readAllStandardError());
    return run;
}

#ifdef PHASEMETER_WINDOW_PROGRAM
void startWindowOn(QProcess& window, const SimProcess& sim, const QStringList& arguments) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PHASEMETER_PORTS"), sim.device());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The window keeps its settings in the user's configuration folder: a test's window starts
    // from none and leaves none behind.
    static const QTemporaryDir config;
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    window.setProcessEnvironment(env);
    window.start(QStringLiteral(PHASEMETER_WINDOW_PROGRAM), arguments);
}
#endif
