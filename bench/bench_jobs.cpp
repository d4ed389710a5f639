#include "jobs/JobStore.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kJobs = 100000;

// A jobs file with 100,000 jobs of a year, two checks each on every tenth.
struct Jobs {
    QTemporaryDir dir;
    std::unique_ptr<pm::JobStore> store;
    pm::JobCheck check;

    Jobs() {
        const QString path = dir.filePath("jobs.sqlite");
        store = std::make_unique<pm::JobStore>(*pm::parseJobsLocation(path, nullptr));
        if (!store->open())
            return;
        pm::Panel panel;
        check = pm::makeCheck(pm::CheckKind::AsFound, QDateTime::currentDateTimeUtc(),
                              QByteArray(22, '\x01'), panel, {});
        pm::Job first;
        first.site = "First";
        first.meter = "0";
        first.checks = {check, check};
        store->createJob(first);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bench-fill");
            db.setDatabaseName(path);
            db.open();
            db.transaction();
            QSqlQuery q(db);
            q.prepare("INSERT INTO jobs (site, meter, ct, vt, created) VALUES (?, ?, ?, ?, ?)");
            const QDateTime start(QDate(2025, 1, 1), QTime(8, 0), Qt::UTC);
            for (int i = 1; i < kJobs; ++i) {
                q.addBindValue(QStringLiteral("Substation %1").arg(i % 5000));
                q.addBindValue(QStringLiteral("MTR-%1").arg(i, 6, 10, QLatin1Char('0')));
                q.addBindValue("200/5");
                q.addBindValue("10000/100");
                q.addBindValue(start.addSecs(qint64(i) * 315).toString(Qt::ISODateWithMs));
                q.exec();
            }
            QSqlQuery c(db);
            c.exec("INSERT INTO checks (job_id, kind, time, block, texts, system, common_terminal, "
                   "first_element, load_min, load_max, matched, correct, connection, k, "
                   "load_angle, verdict) SELECT j.id, c.kind, c.time, c.block, c.texts, c.system, "
                   "c.common_terminal, c.first_element, c.load_min, c.load_max, c.matched, "
                   "c.correct, c.connection, c.k, c.load_angle, c.verdict FROM jobs j, checks c "
                   "WHERE j.id % 10 = 0 AND c.job_id = 1");
            db.commit();
            db.close();
        }
        QSqlDatabase::removeDatabase("bench-fill");
    }
};

Jobs& jobs() {
    static Jobs j;
    return j;
}

void run(benchmark::State& state, const pm::JobFilter& filter) {
    Jobs& j = jobs();
    for (auto _ : state) {
        const auto listed = j.store->list(filter);
        if (!listed || listed->empty())
            state.SkipWithError("nothing listed");
        benchmark::DoNotOptimize(listed);
    }
}

// The Jobs window's list: the newest 500.
void BM_jobsListNewest(benchmark::State& state) {
    run(state, {{}, {}, {}, {}, 500});
}
BENCHMARK(BM_jobsListNewest)->Unit(benchmark::kMillisecond);

void BM_jobsSearchSite(benchmark::State& state) {
    run(state, {"station 4321", {}, {}, {}, 500});
}
BENCHMARK(BM_jobsSearchSite)->Unit(benchmark::kMillisecond);

void BM_jobsSearchMeterAndDate(benchmark::State& state) {
    run(state, {{}, "mtr-09", QDate(2025, 6, 1), QDate(2025, 12, 31), 500});
}
BENCHMARK(BM_jobsSearchMeterAndDate)->Unit(benchmark::kMillisecond);

// One check saved to a job, as "Save as found" does: one transaction, synced to the disk.
void BM_jobsSaveCheck(benchmark::State& state) {
    Jobs& j = jobs();
    for (auto _ : state) {
        pm::JobCheck c = j.check;
        if (!j.store->addCheck(kJobs / 2, c))
            state.SkipWithError(qPrintable(j.store->lastError()));
    }
}
BENCHMARK(BM_jobsSaveCheck)->Unit(benchmark::kMillisecond);

} // namespace
