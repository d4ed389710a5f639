#include "fakes/PgServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <pwd.h>
#include <unistd.h>

namespace {

const QString kBin = QStringLiteral("/usr/lib/postgresql/15/bin/");

int freeLoopbackPort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

} // namespace

PgServer::PgServer(const QString& password) : password_(password), port_(freeLoopbackPort()) {}

PgServer::~PgServer() {
    if (started_)
        run({kBin + "pg_ctl", "-D", dir_.filePath("data"), "-m", "immediate", "-w", "stop"},
            nullptr);
}

bool PgServer::missingBinaries() const {
    return !QFile::exists(kBin + "initdb") || !QFile::exists(kBin + "pg_ctl");
}

QString PgServer::url() const {
    return QStringLiteral("postgresql://phasemeter@127.0.0.1:%1/postgres").arg(port_);
}

bool PgServer::run(const QStringList& command, QString* output) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(dir_.path());
    QStringList argv = command;
    if (::geteuid() == 0)
        argv = QStringList{"-u", "postgres", "--"} + argv;
    p.start(::geteuid() == 0 ? QStringLiteral("/usr/sbin/runuser") : argv.takeFirst(), argv);
    const bool done = p.waitForFinished(120000);
    if (output)
        *output = QString::fromLocal8Bit(p.readAll());
    return done && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString PgServer::start() {
    if (missingBinaries())
        return QStringLiteral("PostgreSQL's initdb and pg_ctl are not in ") + kBin;
    if (!dir_.isValid() || port_ == 0)
        return QStringLiteral("no temporary folder or free port");
    if (::geteuid() == 0) {
        const passwd* pg = ::getpwnam("postgres");
        if (!pg)
            return QStringLiteral("running as root and there is no \"postgres\" user");
        if (::chown(dir_.path().toLocal8Bit().constData(), pg->pw_uid, pg->pw_gid) != 0)
            return QStringLiteral("cannot hand the folder to the postgres user");
        // The folder's parents must let that user through.
        QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                               QFile::ExeGroup | QFile::ExeOther);
    }
    QStringList initdb{kBin + "initdb", "-D",       dir_.filePath("data"), "-U", "phasemeter", "-E",
                       "UTF8",          "--no-sync"};
    if (password_.isEmpty()) {
        initdb << "--auth=trust";
    } else {
        QFile pw(dir_.filePath("pwfile"));
        if (!pw.open(QIODevice::WriteOnly) || pw.write(password_.toUtf8() + "\n") <= 0)
            return QStringLiteral("cannot write the password file");
        pw.close();
        pw.setPermissions(QFile::ReadOwner | QFile::ReadOther);
        initdb << "--auth-local=trust"
               << "--auth-host=scram-sha-256"
               << "--pwfile=" + dir_.filePath("pwfile");
    }
    QString output;
    if (!run(initdb, &output))
        return QStringLiteral("initdb failed: ") + output;
    started_ = run({kBin + "pg_ctl", "-D", dir_.filePath("data"), "-l", dir_.filePath("pg.log"),
                    "-w", "-t", "60", "-o",
                    QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off")
                        .arg(port_)
                        .arg(dir_.path()),
                    "start"},
                   &output);
    return started_ ? QString() : QStringLiteral("pg_ctl start failed: ") + output;
}
