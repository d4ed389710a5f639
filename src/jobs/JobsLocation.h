#pragma once

#include <QString>
#include <optional>

namespace pm {

// Where the jobs are kept: an SQLite file of this machine, or a team's PostgreSQL server.
struct JobsLocation {
    bool postgres = false;
    QString path; // SQLite
    QString host; // PostgreSQL
    int port = 5432;
    QString user;
    QString database;
    // Only ever from a file; empty lets the client library look in PGPASSFILE (or ~/.pgpass).
    QString password;

    // What a message names: the file, or "postgresql://user@host:port/db".
    QString display() const;
};

// `jobs.sqlite` in this user's data folder for the program, shared by the window and the tool.
QString defaultJobsPath();

// "postgresql://user@host:port/db" (or postgres://), "sqlite:///path/jobs.sqlite", or a plain
// file path; empty is the default file. A password in the address is refused: it would sit in the
// shell's history and in the list of processes.
std::optional<JobsLocation> parseJobsLocation(const QString& text, QString* error);

// The password from the first line of a file the user keeps readable to himself.
bool readPasswordFile(const QString& path, QString* password, QString* error);

} // namespace pm
