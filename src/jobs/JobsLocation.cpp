#include "jobs/JobsLocation.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QUrl>

namespace pm {

QString JobsLocation::display() const {
    if (!postgres)
        return path;
    return QStringLiteral("postgresql://%1@%2:%3/%4").arg(user, host).arg(port).arg(database);
}

QString defaultJobsPath() {
    // The window and the tool have different application names; the jobs are one file for both.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/phasemeter/jobs.sqlite");
}

std::optional<JobsLocation> parseJobsLocation(const QString& text, QString* error) {
    JobsLocation location;
    if (text.isEmpty()) {
        location.path = defaultJobsPath();
        return location;
    }
    if (!text.contains(QLatin1String("://"))) {
        location.path = text;
        return location;
    }
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid()) {
        *error = QStringLiteral("\"%1\" is not an address: %2").arg(text, url.errorString());
        return std::nullopt;
    }
    if (scheme == QLatin1String("sqlite")) {
        location.path = url.path();
        if (location.path.isEmpty()) {
            *error = QStringLiteral("\"%1\" names no file").arg(text);
            return std::nullopt;
        }
        return location;
    }
    if (scheme != QLatin1String("postgresql") && scheme != QLatin1String("postgres")) {
        *error =
            QStringLiteral("\"%1\" is neither postgresql://user@host:port/db nor a file").arg(text);
        return std::nullopt;
    }
    if (!url.password().isEmpty()) {
        *error = QStringLiteral("no password in the address: it goes in PGPASSFILE or a password "
                                "file");
        return std::nullopt;
    }
    location.postgres = true;
    location.host = url.host();
    location.port = url.port(5432);
    location.user = url.userName();
    location.database = url.path().mid(1);
    if (location.host.isEmpty() || location.database.isEmpty() || location.database.contains('/')) {
        *error = QStringLiteral("\"%1\" needs a host and a database: "
                                "postgresql://user@host:port/db")
                     .arg(text);
        return std::nullopt;
    }
    return location;
}

bool readPasswordFile(const QString& path, QString* password, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error =
            QStringLiteral("cannot read the password file %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray line = file.readLine(4096);
    *password = QString::fromUtf8(line).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    return true;
}

} // namespace pm
