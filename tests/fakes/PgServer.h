#pragma once

#include <QString>
#include <QTemporaryDir>

// A real PostgreSQL server of the Debian package on a free loopback port, its cluster in a folder
// of its own, trusting local logins, or with `password` asking it of logins over TCP; as root it
// runs as the "postgres" user, which the folder is handed to. Stopped on destruction.
class PgServer {
public:
    explicit PgServer(const QString& password = {});
    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    // Empty once it accepts connections; otherwise why not (missing binaries say so).
    QString start();
    bool missingBinaries() const;
    // postgresql://phasemeter@127.0.0.1:PORT/postgres
    QString url() const;
    int port() const { return port_; }

private:
    bool run(const QStringList& command, QString* output);

    QTemporaryDir dir_;
    QString password_;
    int port_ = 0;
    bool started_ = false;
};
