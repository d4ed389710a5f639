#include "jobs/JobSchema.h"

namespace pm {

std::vector<QStringList> jobMigrations(bool postgres) {
    const QString id = postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY")
                                : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    return {
        // 1: jobs and their checks.
        {
            QStringLiteral("CREATE TABLE jobs (id %1, site TEXT NOT NULL, meter TEXT NOT NULL, "
                           "ct TEXT NOT NULL, vt TEXT NOT NULL, "
                           "multiplier DOUBLE PRECISION NOT NULL DEFAULT 1, "
                           "engineer TEXT NOT NULL DEFAULT '', note TEXT NOT NULL DEFAULT '', "
                           "created TEXT NOT NULL, closed TEXT)")
                .arg(id),
            QStringLiteral(
                "CREATE TABLE checks (id %1, "
                "job_id BIGINT NOT NULL REFERENCES jobs (id) ON DELETE CASCADE, "
                "kind TEXT NOT NULL CHECK (kind IN ('as found', 'as left')), "
                "time TEXT NOT NULL, block TEXT NOT NULL, texts TEXT NOT NULL, "
                "system TEXT NOT NULL, common_terminal INTEGER NOT NULL, "
                "first_element INTEGER NOT NULL, load_min DOUBLE PRECISION NOT NULL, "
                "load_max DOUBLE PRECISION NOT NULL, matched INTEGER NOT NULL, "
                "correct INTEGER NOT NULL, connection TEXT NOT NULL, k DOUBLE PRECISION, "
                "load_angle DOUBLE PRECISION NOT NULL, verdict TEXT NOT NULL)")
                .arg(id),
            QStringLiteral("CREATE INDEX checks_job ON checks (job_id)"),
        },
        // 2: the register readings, a recording over their period, whether a check's K is one of
        // several, and the list by date.
        {
            QStringLiteral("ALTER TABLE jobs ADD COLUMN primary_register INTEGER NOT NULL "
                           "DEFAULT 0"),
            QStringLiteral("ALTER TABLE jobs ADD COLUMN from_value DOUBLE PRECISION"),
            QStringLiteral("ALTER TABLE jobs ADD COLUMN from_time TEXT"),
            QStringLiteral("ALTER TABLE jobs ADD COLUMN to_value DOUBLE PRECISION"),
            QStringLiteral("ALTER TABLE jobs ADD COLUMN to_time TEXT"),
            QStringLiteral("ALTER TABLE jobs ADD COLUMN recording_file TEXT"),
            QStringLiteral("ALTER TABLE jobs ADD COLUMN recording_registered DOUBLE PRECISION"),
            QStringLiteral("ALTER TABLE jobs ADD COLUMN recording_real DOUBLE PRECISION"),
            QStringLiteral("ALTER TABLE jobs ADD COLUMN recording_covered DOUBLE PRECISION"),
            QStringLiteral("ALTER TABLE checks ADD COLUMN ambiguous INTEGER NOT NULL DEFAULT 0"),
            QStringLiteral("CREATE INDEX jobs_created ON jobs (created, id)"),
        },
    };
}

} // namespace pm
