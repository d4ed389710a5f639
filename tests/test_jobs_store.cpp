#include "fakes/PgServer.h"
#include "jobs/JobSchema.h"
#include "jobs/JobStore.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <set>

using namespace pm;

namespace {

constexpr int kChecksPerJob = 60;

// Element 1's current reversed at PF 0.9 lagging.
Panel reversedReading() {
    Panel p;
    p.setText(Field::U1, "100.0");
    p.setText(Field::U2, "100.0");
    p.setText(Field::I1, "5.000");
    p.setText(Field::I2, "5.000");
    p.setText(Field::P1, "0.281");
    p.setText(Field::P2, "0.499");
    p.setText(Field::PhaseU1U2, "300.0°");
    p.setText(Field::PhaseU1I1, "235.8°");
    p.setText(Field::PhaseU2I2, "355.8°");
    p.setText(Field::PhaseI1I2, "60.0°");
    return p;
}

JobCheck check(CheckKind kind, int minute) {
    WiringSettings s;
    s.commonTerminal = 2;
    return makeCheck(kind, QDateTime(QDate(2026, 3, 2), QTime(10, minute), Qt::UTC),
                     QByteArray(22, '\x01'), reversedReading(), s);
}

Job job(const QString& site, const QString& meter, const QDateTime& created = {}) {
    Job j;
    j.site = site;
    j.meter = meter;
    j.ct = {200, 5};
    j.vt = {10000, 100};
    j.created = created;
    return j;
}

std::unique_ptr<JobStore> openStore(const QString& location) {
    QString error;
    auto store = std::make_unique<JobStore>(*parseJobsLocation(location, &error));
    EXPECT_TRUE(store->open()) << store->lastError().toStdString();
    return store;
}

// This test binary again, as a second program writing to the same jobs.
class Writer {
public:
    Writer(const QString& location, const QString& mode, qint64 jobId = 0) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PHASEMETER_JOBS_WRITER", mode);
        env.insert("PHASEMETER_JOBS_LOCATION", location);
        env.insert("PHASEMETER_JOBS_JOB", QString::number(jobId));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QCoreApplication::applicationFilePath(),
                      {"--gtest_filter=JobStoreWriter.WritesWhenStartedByAnotherTest"});
    }
    ~Writer() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(10000);
        }
    }
    // The lines it has printed that start with "saved".
    int savedLines() {
        out += process.readAllStandardOutput();
        return int(out.count("saved "));
    }
    QProcess process;
    QByteArray out;
};

void writeChecksConcurrently(const QString& location) {
    auto store = openStore(location);
    Job j = job("Two engineers", "M-2");
    ASSERT_TRUE(store->createJob(j)) << store->lastError().toStdString();
    Writer a(location, "checks", j.id), b(location, "checks", j.id);
    for (Writer* w : {&a, &b}) {
        ASSERT_TRUE(w->process.waitForFinished(120000));
        EXPECT_EQ(w->process.exitCode(), 0);
        EXPECT_EQ(w->savedLines(), kChecksPerJob) << w->out.toStdString();
    }
    const std::optional<Job> saved = store->job(j.id);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->checks.size(), size_t(2 * kChecksPerJob));
    std::set<qint64> ids;
    for (const JobCheck& c : saved->checks)
        ids.insert(c.id);
    EXPECT_EQ(ids.size(), size_t(2 * kChecksPerJob));
}

} // namespace

// Not a test of its own: the program the tests below start to write at the same time as they do.
TEST(JobStoreWriter, WritesWhenStartedByAnotherTest) {
    const QString mode = qEnvironmentVariable("PHASEMETER_JOBS_WRITER");
    if (mode.isEmpty())
        GTEST_SKIP() << "started only by the store's tests";
    auto store = openStore(qEnvironmentVariable("PHASEMETER_JOBS_LOCATION"));
    if (mode == "checks") {
        const qint64 id = qEnvironmentVariable("PHASEMETER_JOBS_JOB").toLongLong();
        for (int i = 0; i < kChecksPerJob; ++i) {
            JobCheck c = check(i % 2 ? CheckKind::AsLeft : CheckKind::AsFound, i % 60);
            ASSERT_TRUE(store->addCheck(id, c)) << store->lastError().toStdString();
            std::printf("saved %lld\n", static_cast<long long>(c.id));
            std::fflush(stdout);
        }
        return;
    }
    // "jobs": whole jobs with many checks each, until killed.
    for (int n = 0;; ++n) {
        Job j = job(QStringLiteral("Site %1").arg(n), "M");
        for (int i = 0; i < kChecksPerJob; ++i)
            j.checks.push_back(check(CheckKind::AsFound, i % 60));
        ASSERT_TRUE(store->createJob(j)) << store->lastError().toStdString();
        std::printf("saved %lld\n", static_cast<long long>(j.id));
        std::fflush(stdout);
    }
}

TEST(JobStore, KeepsAJobWithItsChecksAndFindsItBySiteMeterAndDate) {
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/jobs.sqlite"); // its folder is made
    auto store = openStore(path);
    EXPECT_EQ(store->schemaVersion(), JobStore::kSchemaVersion);

    Job j = job("Substation Nord", "MTR-0042", QDateTime(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC));
    j.checks.push_back(check(CheckKind::AsFound, 5));
    ASSERT_TRUE(store->createJob(j)) << store->lastError().toStdString();
    JobCheck left = check(CheckKind::AsLeft, 50);
    left.block.clear(); // a reading known by its texts only
    ASSERT_TRUE(store->addCheck(j.id, left));
    j.from = RegisterReading{12000, QDateTime(QDate(2026, 1, 10), QTime(0, 0), Qt::UTC)};
    j.to = RegisterReading{12345.5, QDateTime(QDate(2026, 3, 2), QTime(10, 0), Qt::UTC)};
    j.primaryRegister = true;
    j.multiplier = 2.5;
    ASSERT_TRUE(store->updateJob(j));
    Job other = job("Farm 7", "X-1", QDateTime(QDate(2026, 4, 1), QTime(9, 0), Qt::UTC));
    ASSERT_TRUE(store->createJob(other));

    const std::optional<Job> back = store->job(j.id);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->site, "Substation Nord");
    EXPECT_EQ(back->ct.text(), "200/5");
    EXPECT_EQ(back->multiplier, 2.5);
    EXPECT_TRUE(back->primaryRegister);
    EXPECT_EQ(back->from, j.from);
    EXPECT_EQ(back->to, j.to);
    ASSERT_EQ(back->checks.size(), 2u);
    const JobCheck& found = back->checks[0];
    EXPECT_EQ(found.kind, CheckKind::AsFound);
    EXPECT_EQ(found.time, j.checks[0].time);
    EXPECT_EQ(found.block, QByteArray(22, '\x01'));
    EXPECT_EQ(found.texts, j.checks[0].texts);
    EXPECT_EQ(found.settings.commonTerminal, 2);
    EXPECT_EQ(found.verdict.connection, j.checks[0].verdict.connection);
    ASSERT_TRUE(found.verdict.k);
    EXPECT_DOUBLE_EQ(*found.verdict.k, *j.checks[0].verdict.k);
    EXPECT_EQ(back->last(CheckKind::AsLeft)->id, left.id);
    EXPECT_TRUE(back->checks[1].block.isEmpty());
    EXPECT_FALSE(store->job(j.id + 100));
    EXPECT_TRUE(store->lastError().isEmpty());

    const auto ids = [&](const JobFilter& f) {
        std::vector<qint64> out;
        const auto listed = store->list(f);
        for (const JobSummary& s : *listed)
            out.push_back(s.id);
        return out;
    };
    EXPECT_EQ(ids({}), (std::vector<qint64>{other.id, j.id})); // newest first
    EXPECT_EQ(ids({"nord", "", {}, {}, 0}), std::vector<qint64>{j.id});
    EXPECT_EQ(ids({"", "x-1", {}, {}, 0}), std::vector<qint64>{other.id});
    EXPECT_EQ(ids({"%", "", {}, {}, 0}), std::vector<qint64>{}); // taken literally
    EXPECT_EQ(ids({"", "", QDate(2026, 3, 2), QDate(2026, 3, 2), 0}), std::vector<qint64>{j.id});
    EXPECT_EQ(ids({"", "", {}, {}, 1}), std::vector<qint64>{other.id});
    const JobSummary s = store->list({"Nord", "", {}, {}, 0})->front();
    EXPECT_EQ(s.asFound, 1);
    EXPECT_EQ(s.asLeft, 1);

    JobCheck orphan = check(CheckKind::AsFound, 1);
    EXPECT_FALSE(store->addCheck(9999, orphan));
    EXPECT_TRUE(store->lastError().contains("no job 9999")) << store->lastError().toStdString();
}

TEST(JobStore, BringsTheFirstSchemaUpToDateAndRefusesANewerOne) {
    QTemporaryDir dir;
    const QString path = dir.filePath("jobs.sqlite");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "first-schema");
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec("CREATE TABLE schema_version (version INTEGER NOT NULL)"));
        ASSERT_TRUE(q.exec("INSERT INTO schema_version VALUES (1)"));
        const std::vector<QStringList> steps = jobMigrations(false);
        for (const QString& statement : steps.front())
            ASSERT_TRUE(q.exec(statement)) << statement.toStdString();
        ASSERT_TRUE(q.exec("INSERT INTO jobs (site, meter, ct, vt, created) VALUES "
                           "('Old site', 'M-1', '100/5', '1/1', '2025-06-01T08:00:00.000Z')"));
        db.close();
    }
    QSqlDatabase::removeDatabase("first-schema");
    {
        auto store = openStore(path);
        EXPECT_EQ(store->schemaVersion(), 2);
        std::optional<Job> old = store->job(1);
        ASSERT_TRUE(old);
        EXPECT_EQ(old->site, "Old site");
        EXPECT_DOUBLE_EQ(old->ct.factor(), 20);
        EXPECT_FALSE(old->from);
        EXPECT_FALSE(old->primaryRegister);
        old->from = RegisterReading{1, QDateTime(QDate(2025, 6, 1), QTime(8, 0), Qt::UTC)};
        EXPECT_TRUE(store->updateJob(*old)) << store->lastError().toStdString();
        EXPECT_EQ(store->list({"", "", QDate(2025, 6, 1), {}, 0})->size(), 1u);
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bad-ratio");
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec("UPDATE jobs SET ct = '200:5'");
        db.close();
    }
    QSqlDatabase::removeDatabase("bad-ratio");
    {
        auto store = openStore(path);
        EXPECT_FALSE(store->job(1));
        EXPECT_TRUE(store->lastError().contains("\"200:5\"")) << store->lastError().toStdString();
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "newer-schema");
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec("UPDATE schema_version SET version = 9");
        db.close();
    }
    QSqlDatabase::removeDatabase("newer-schema");
    JobStore newer(*parseJobsLocation(path, nullptr));
    EXPECT_FALSE(newer.open());
    EXPECT_TRUE(newer.lastError().contains("newer phasemeter")) << newer.lastError().toStdString();
}

TEST(JobStore, AProgramKilledWhileSavingLeavesEachJobWholeOrAbsent) {
    QTemporaryDir dir;
    const QString path = dir.filePath("jobs.sqlite");
    openStore(path); // the schema first, so the writer starts saving at once
    {
        Writer writer(path, "jobs");
        while (writer.savedLines() < 3)
            ASSERT_TRUE(writer.process.waitForReadyRead(60000)) << "the writer saved nothing";
        writer.process.kill(); // SIGKILL, in the middle of the next job
        ASSERT_TRUE(writer.process.waitForFinished(10000));
    }
    auto store = openStore(path);
    const auto jobs = store->list({});
    ASSERT_TRUE(jobs);
    EXPECT_GE(jobs->size(), 3u);
    for (const JobSummary& s : *jobs)
        EXPECT_EQ(s.asFound, kChecksPerJob) << s.site.toStdString();
}

TEST(JobStore, TwoWritersToOneSqliteFileLoseNothing) {
    QTemporaryDir dir;
    writeChecksConcurrently(dir.filePath("jobs.sqlite"));
}

TEST(JobStore, SharesJobsOnAPostgresqlServer) {
    if (!QSqlDatabase::isDriverAvailable("QPSQL"))
        GTEST_SKIP() << "Qt's PostgreSQL driver (libqt6sql6-psql) is not installed";
    PgServer server;
    if (server.missingBinaries())
        GTEST_SKIP() << "PostgreSQL 15's initdb and pg_ctl are not installed";
    const QString why = server.start();
    ASSERT_TRUE(why.isEmpty()) << why.toStdString();

    // One engineer opens a job; another sees it with its checks.
    Job j = job("Shared site", "PG-1");
    j.checks.push_back(check(CheckKind::AsFound, 1));
    ASSERT_TRUE(openStore(server.url())->createJob(j));
    auto second = openStore(server.url());
    const std::optional<Job> seen = second->job(j.id);
    ASSERT_TRUE(seen) << second->lastError().toStdString();
    EXPECT_EQ(seen->meter, "PG-1");
    ASSERT_EQ(seen->checks.size(), 1u);
    EXPECT_EQ(seen->checks[0].texts, j.checks[0].texts);
    const auto listed = second->list({"SHARED", "", {}, {}, 0});
    ASSERT_TRUE(listed) << second->lastError().toStdString();
    EXPECT_EQ(listed->size(), 1u);
    EXPECT_EQ(second->schemaVersion(), JobStore::kSchemaVersion);

    writeChecksConcurrently(server.url());
}
