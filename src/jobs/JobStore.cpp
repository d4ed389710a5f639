#include "jobs/JobStore.h"

#include "jobs/JobSchema.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>

namespace pm {

namespace {

QString timeText(const QDateTime& time) {
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString();
}

QDateTime timeFrom(const QVariant& value) {
    return value.isNull() ? QDateTime()
                          : QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
}

// Qt binds a null QString as SQL NULL; an empty text is still a text.
QString text(const QString& value) {
    return value.isNull() ? QString(QLatin1String("")) : value;
}

QVariant optionalText(const QString& text) {
    return text.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

QVariant optionalDouble(const std::optional<double>& value) {
    return value ? QVariant(*value) : QVariant(QMetaType::fromType<double>());
}

// A LIKE pattern that finds `text` anywhere, its own % and _ taken literally.
QString containing(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('%'), QLatin1String("\\%"))
        .replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

} // namespace

JobStore::JobStore(JobsLocation location) : location_(std::move(location)) {
    static std::atomic<int> next{0};
    connection_ = QStringLiteral("phasemeter-jobs-%1").arg(next++);
}

JobStore::~JobStore() {
    if (QSqlDatabase::contains(connection_)) {
        QSqlDatabase::database(connection_, false).close();
        QSqlDatabase::removeDatabase(connection_);
    }
}

bool JobStore::fail(const QString& what, const QString& why) {
    error_ = QStringLiteral("%1 (%2): %3").arg(what, location_.display(), why);
    return false;
}

bool JobStore::open() {
    error_.clear();
    QSqlDatabase db = QSqlDatabase::addDatabase(
        location_.postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), connection_);
    if (!db.isValid())
        return fail(QStringLiteral("Cannot open the jobs"),
                    QStringLiteral("the Qt SQL driver for %1 is not installed")
                        .arg(location_.postgres ? "PostgreSQL" : "SQLite"));
    if (location_.postgres) {
        db.setHostName(location_.host);
        db.setPort(location_.port);
        db.setUserName(location_.user);
        db.setDatabaseName(location_.database);
        if (!location_.password.isEmpty())
            db.setPassword(location_.password);
        db.setConnectOptions(QStringLiteral("connect_timeout=10"));
    } else {
        const QFileInfo file(location_.path);
        if (!QDir().mkpath(file.absolutePath()))
            return fail(QStringLiteral("Cannot open the jobs"),
                        QStringLiteral("cannot create the folder %1").arg(file.absolutePath()));
        db.setDatabaseName(location_.path);
        // Another program saving waits up to this long, rather than making this one fail.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=30000"));
    }
    if (!db.open())
        return fail(QStringLiteral("Cannot open the jobs"), db.lastError().text());
    if (location_.postgres) {
        // "already exists, skipping" is no news to the user.
        QSqlQuery(db).exec(QStringLiteral("SET client_min_messages = warning"));
    } else {
        QSqlQuery q(db);
        for (const char* pragma :
             {"PRAGMA foreign_keys = ON", "PRAGMA journal_mode = WAL", "PRAGMA synchronous = FULL"})
            if (!q.exec(QString::fromLatin1(pragma)))
                return fail(QStringLiteral("Cannot open the jobs"), q.lastError().text());
    }
    return migrate();
}

bool JobStore::begin() {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    // SQLite takes the write lock at once, so two writers queue instead of failing half-way.
    if (!q.exec(location_.postgres ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE")))
        return fail(QStringLiteral("Cannot save to the jobs"), q.lastError().text());
    return true;
}

bool JobStore::commit() {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (!q.exec(QStringLiteral("COMMIT"))) {
        fail(QStringLiteral("Cannot save to the jobs"), q.lastError().text());
        rollback();
        return false;
    }
    return true;
}

void JobStore::rollback() {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.exec(QStringLiteral("ROLLBACK"));
}

int JobStore::schemaVersion() {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (!q.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) || !q.next())
        return 0;
    return q.value(0).toInt();
}

bool JobStore::migrate() {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    if (!begin())
        return false;
    const auto abandon = [&](const QString& why) {
        rollback();
        return fail(QStringLiteral("Cannot prepare the jobs"), why);
    };
    // Two programs opening a new database at once: the second waits, then finds it done.
    if (location_.postgres && !q.exec(QStringLiteral("SELECT pg_advisory_xact_lock(2025)")))
        return abandon(q.lastError().text());
    if (!q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version "
                               "(version INTEGER NOT NULL)")))
        return abandon(q.lastError().text());
    const int version = schemaVersion();
    const std::vector<QStringList> steps = jobMigrations(location_.postgres);
    if (version > int(steps.size()))
        return abandon(QStringLiteral("the jobs were written by a newer phasemeter (schema %1; "
                                      "this one knows up to %2)")
                           .arg(version)
                           .arg(steps.size()));
    for (size_t step = size_t(version); step < steps.size(); ++step)
        for (const QString& statement : steps[step])
            if (!q.exec(statement))
                return abandon(q.lastError().text());
    if (version < int(steps.size())) {
        q.exec(QStringLiteral("DELETE FROM schema_version"));
        q.prepare(QStringLiteral("INSERT INTO schema_version (version) VALUES (?)"));
        q.addBindValue(int(steps.size()));
        if (!q.exec())
            return abandon(q.lastError().text());
    }
    return commit();
}

bool JobStore::insertCheck(qint64 jobId, JobCheck& c) {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(QStringLiteral(
        "INSERT INTO checks (job_id, kind, time, block, texts, system, common_terminal, "
        "first_element, load_min, load_max, matched, correct, connection, k, load_angle, verdict, "
        "ambiguous) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id"));
    q.addBindValue(jobId);
    q.addBindValue(checkKindName(c.kind));
    q.addBindValue(timeText(c.time));
    q.addBindValue(text(QString::fromLatin1(c.block.toHex(' '))));
    q.addBindValue(QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(c.texts)).toJson(QJsonDocument::Compact)));
    q.addBindValue(systemCode(c.settings.system));
    q.addBindValue(c.settings.commonTerminal);
    q.addBindValue(c.settings.firstElement);
    q.addBindValue(c.settings.loadRange.min);
    q.addBindValue(c.settings.loadRange.max);
    q.addBindValue(int(c.verdict.matched));
    q.addBindValue(int(c.verdict.correct));
    q.addBindValue(text(c.verdict.connection));
    q.addBindValue(optionalDouble(c.verdict.k));
    q.addBindValue(c.verdict.loadAngle);
    q.addBindValue(text(c.verdict.verdict));
    q.addBindValue(int(c.verdict.ambiguous));
    if (!q.exec() || !q.next())
        return fail(QStringLiteral("Cannot save the check"), q.lastError().text());
    c.id = q.value(0).toLongLong();
    return true;
}

bool JobStore::createJob(Job& job) {
    error_.clear();
    if (!job.created.isValid())
        job.created = QDateTime::currentDateTimeUtc();
    if (!begin())
        return false;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(QStringLiteral("INSERT INTO jobs (site, meter, ct, vt, multiplier, engineer, note, "
                             "created) VALUES (?, ?, ?, ?, ?, ?, ?, ?) RETURNING id"));
    q.addBindValue(text(job.site));
    q.addBindValue(text(job.meter));
    q.addBindValue(job.ct.text());
    q.addBindValue(job.vt.text());
    q.addBindValue(job.multiplier);
    q.addBindValue(text(job.engineer));
    q.addBindValue(text(job.note));
    q.addBindValue(timeText(job.created));
    if (!q.exec() || !q.next()) {
        fail(QStringLiteral("Cannot save the job"), q.lastError().text());
        rollback();
        return false;
    }
    const qint64 id = q.value(0).toLongLong();
    q.finish();
    Job saved = job;
    saved.id = id;
    for (JobCheck& c : saved.checks)
        if (!insertCheck(id, c)) {
            rollback();
            return false;
        }
    if (!updateJob(saved) || !commit()) {
        rollback();
        return false;
    }
    job = saved;
    return true;
}

bool JobStore::updateJob(const Job& job) {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(QStringLiteral(
        "UPDATE jobs SET site = ?, meter = ?, ct = ?, vt = ?, multiplier = ?, engineer = ?, "
        "note = ?, closed = ?, primary_register = ?, from_value = ?, from_time = ?, to_value = ?, "
        "to_time = ?, recording_file = ?, recording_registered = ?, recording_real = ?, "
        "recording_covered = ? WHERE id = ?"));
    q.addBindValue(text(job.site));
    q.addBindValue(text(job.meter));
    q.addBindValue(job.ct.text());
    q.addBindValue(job.vt.text());
    q.addBindValue(job.multiplier);
    q.addBindValue(text(job.engineer));
    q.addBindValue(text(job.note));
    q.addBindValue(optionalText(job.closed.isValid() ? timeText(job.closed) : QString()));
    q.addBindValue(int(job.primaryRegister));
    q.addBindValue(optionalDouble(job.from ? std::optional(job.from->value) : std::nullopt));
    q.addBindValue(optionalText(job.from ? timeText(job.from->time) : QString()));
    q.addBindValue(optionalDouble(job.to ? std::optional(job.to->value) : std::nullopt));
    q.addBindValue(optionalText(job.to ? timeText(job.to->time) : QString()));
    const std::optional<RecordingSummary>& r = job.recording;
    q.addBindValue(optionalText(r ? r->file : QString()));
    q.addBindValue(optionalDouble(r ? std::optional(r->registeredKwh) : std::nullopt));
    q.addBindValue(optionalDouble(r ? std::optional(r->realKwh) : std::nullopt));
    q.addBindValue(optionalDouble(r ? std::optional(r->coveredShare) : std::nullopt));
    q.addBindValue(job.id);
    if (!q.exec())
        return fail(QStringLiteral("Cannot save the job"), q.lastError().text());
    if (q.numRowsAffected() != 1)
        return fail(QStringLiteral("Cannot save the job"),
                    QStringLiteral("there is no job %1").arg(job.id));
    return true;
}

bool JobStore::addCheck(qint64 jobId, JobCheck& check) {
    error_.clear();
    if (!begin())
        return false;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(QStringLiteral("SELECT id FROM jobs WHERE id = ?"));
    q.addBindValue(jobId);
    if (!q.exec() || !q.next()) {
        fail(QStringLiteral("Cannot save the check"),
             q.lastError().isValid() ? q.lastError().text()
                                     : QStringLiteral("there is no job %1").arg(jobId));
        rollback();
        return false;
    }
    q.finish();
    if (!insertCheck(jobId, check) || !commit()) {
        rollback();
        return false;
    }
    return true;
}

std::optional<Job> JobStore::job(qint64 id) {
    error_.clear();
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "SELECT site, meter, ct, vt, multiplier, engineer, note, created, closed, "
        "primary_register, from_value, from_time, to_value, to_time, recording_file, "
        "recording_registered, recording_real, recording_covered FROM jobs WHERE id = ?"));
    q.addBindValue(id);
    if (!q.exec()) {
        fail(QStringLiteral("Cannot read the jobs"), q.lastError().text());
        return std::nullopt;
    }
    if (!q.next())
        return std::nullopt;
    Job job;
    job.id = id;
    job.site = q.value(0).toString();
    job.meter = q.value(1).toString();
    // A ratio edited by hand into nonsense is said, never taken for 1/1.
    const std::optional<Ratio> ct = parseRatio(q.value(2).toString());
    const std::optional<Ratio> vt = parseRatio(q.value(3).toString());
    if (!ct || !vt) {
        fail(QStringLiteral("Cannot read the jobs"),
             QStringLiteral("job %1 has the ratios \"%2\" and \"%3\", not such as 200/5")
                 .arg(id)
                 .arg(q.value(2).toString(), q.value(3).toString()));
        return std::nullopt;
    }
    job.ct = *ct;
    job.vt = *vt;
    job.multiplier = q.value(4).toDouble();
    job.engineer = q.value(5).toString();
    job.note = q.value(6).toString();
    job.created = timeFrom(q.value(7));
    job.closed = timeFrom(q.value(8));
    job.primaryRegister = q.value(9).toInt() != 0;
    if (!q.value(10).isNull())
        job.from = RegisterReading{q.value(10).toDouble(), timeFrom(q.value(11))};
    if (!q.value(12).isNull())
        job.to = RegisterReading{q.value(12).toDouble(), timeFrom(q.value(13))};
    if (!q.value(14).isNull())
        job.recording = RecordingSummary{q.value(14).toString(), q.value(15).toDouble(),
                                         q.value(16).toDouble(), q.value(17).toDouble()};

    QSqlQuery c(db);
    c.prepare(QStringLiteral(
        "SELECT id, kind, time, block, texts, system, common_terminal, first_element, load_min, "
        "load_max, matched, correct, connection, k, load_angle, verdict, ambiguous FROM checks "
        "WHERE job_id = ? ORDER BY time, id"));
    c.addBindValue(id);
    if (!c.exec()) {
        fail(QStringLiteral("Cannot read the jobs"), c.lastError().text());
        return std::nullopt;
    }
    while (c.next()) {
        JobCheck check;
        check.id = c.value(0).toLongLong();
        check.kind = checkKindFromName(c.value(1).toString()).value_or(CheckKind::AsFound);
        check.time = timeFrom(c.value(2));
        check.block = QByteArray::fromHex(c.value(3).toString().toLatin1());
        for (const QJsonValue& t : QJsonDocument::fromJson(c.value(4).toString().toUtf8()).array())
            check.texts << t.toString();
        check.settings.system =
            systemFromCode(c.value(5).toString()).value_or(WiringSystem::ThreeWire);
        check.settings.commonTerminal = c.value(6).toInt();
        check.settings.firstElement = c.value(7).toInt();
        check.settings.loadRange = {c.value(8).toDouble(), c.value(9).toDouble()};
        check.verdict.matched = c.value(10).toInt() != 0;
        check.verdict.correct = c.value(11).toInt() != 0;
        check.verdict.connection = c.value(12).toString();
        if (!c.value(13).isNull())
            check.verdict.k = c.value(13).toDouble();
        check.verdict.loadAngle = c.value(14).toDouble();
        check.verdict.verdict = c.value(15).toString();
        check.verdict.ambiguous = c.value(16).toInt() != 0;
        job.checks.push_back(check);
    }
    return job;
}

std::optional<std::vector<JobSummary>> JobStore::list(const JobFilter& filter) {
    error_.clear();
    QString sql = QStringLiteral(
        "SELECT id, site, meter, created, "
        "(SELECT COUNT(*) FROM checks c WHERE c.job_id = j.id AND c.kind = 'as found'), "
        "(SELECT COUNT(*) FROM checks c WHERE c.job_id = j.id AND c.kind = 'as left') "
        "FROM jobs j WHERE 1 = 1");
    QVariantList values;
    // SQLite's LIKE ignores the case of ASCII letters by itself, and is faster without lower().
    const QString like = location_.postgres ? QStringLiteral(" ILIKE ? ESCAPE '\\'")
                                            : QStringLiteral(" LIKE ? ESCAPE '\\'");
    if (!filter.site.isEmpty()) {
        sql += QStringLiteral(" AND site") + like;
        values << containing(filter.site);
    }
    if (!filter.meter.isEmpty()) {
        sql += QStringLiteral(" AND meter") + like;
        values << containing(filter.meter);
    }
    // Times are kept as UTC text, which sorts as time does.
    if (filter.from.isValid()) {
        sql += QStringLiteral(" AND created >= ?");
        values << timeText(filter.from.startOfDay());
    }
    if (filter.to.isValid()) {
        sql += QStringLiteral(" AND created < ?");
        values << timeText(filter.to.addDays(1).startOfDay());
    }
    // A search by text alone reads every row anyway: SQLite goes faster straight through the
    // table, then sorts, than in date order through the index, which pays where dates narrow.
    const bool searching = !location_.postgres &&
                           (!filter.site.isEmpty() || !filter.meter.isEmpty()) &&
                           !filter.from.isValid() && !filter.to.isValid();
    sql += searching ? QStringLiteral(" ORDER BY +created DESC, id DESC")
                     : QStringLiteral(" ORDER BY created DESC, id DESC");
    if (filter.limit > 0)
        sql += QStringLiteral(" LIMIT %1").arg(filter.limit);
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    q.prepare(sql);
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        fail(QStringLiteral("Cannot read the jobs"), q.lastError().text());
        return std::nullopt;
    }
    std::vector<JobSummary> jobs;
    while (q.next())
        jobs.push_back({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(),
                        timeFrom(q.value(3)), q.value(4).toInt(), q.value(5).toInt()});
    return jobs;
}

std::optional<qint64> JobStore::count() {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM jobs")) || !q.next()) {
        fail(QStringLiteral("Cannot read the jobs"), q.lastError().text());
        return std::nullopt;
    }
    return q.value(0).toLongLong();
}

} // namespace pm
