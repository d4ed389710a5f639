#pragma once

#include "jobs/Job.h"
#include "jobs/JobsLocation.h"

#include <QDate>
#include <QSqlDatabase>
#include <QString>
#include <optional>
#include <vector>

namespace pm {

// A line of the jobs list.
struct JobSummary {
    qint64 id = 0;
    QString site;
    QString meter;
    QDateTime created;
    int asFound = 0; // checks of each kind
    int asLeft = 0;
};

// What the list is narrowed to; empty texts and dates narrow nothing. Texts match anywhere in the
// field, whatever the case.
struct JobFilter {
    QString site;
    QString meter;
    QDate from;    // created on or after
    QDate to;      // created on or before
    int limit = 0; // the newest so many; 0: all
};

// The one store of jobs: SQLite or PostgreSQL through Qt SQL, the same tables in both. Every change
// is one transaction, so a program killed half-way leaves the job whole or absent; SQLite waits for
// another writer rather than fail, PostgreSQL serialises rows itself.
class JobStore {
public:
    explicit JobStore(JobsLocation location);
    ~JobStore();
    JobStore(const JobStore&) = delete;
    JobStore& operator=(const JobStore&) = delete;

    // Connects, and brings an older schema up to date; false with lastError() on failure.
    bool open();
    QString lastError() const { return error_; }
    const JobsLocation& location() const { return location_; }

    // The schema this program writes; a newer file is refused rather than damaged.
    static constexpr int kSchemaVersion = 2;
    int schemaVersion();

    // A new job with the checks it holds: sets its id, its checks' ids and the created time when
    // none is set.
    bool createJob(Job& job);
    // Ratios, multiplier, registers, recording, engineer, note, closed: everything but the checks.
    bool updateJob(const Job& job);
    bool addCheck(qint64 jobId, JobCheck& check);
    // The job with its checks, oldest first; none when there is no such job (lastError() empty)
    // or the store failed (lastError() says why).
    std::optional<Job> job(qint64 id);
    // Newest first.
    std::optional<std::vector<JobSummary>> list(const JobFilter& filter);
    std::optional<qint64> count();

private:
    bool migrate();
    bool begin();
    bool commit();
    void rollback();
    bool fail(const QString& what, const QString& why);
    bool insertCheck(qint64 jobId, JobCheck& check);

    JobsLocation location_;
    QString connection_;
    QString error_;
};

} // namespace pm
