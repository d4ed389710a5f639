#include "jobs/JobRecording.h"

#include "jobs/RecordingCorrection.h"
#include "trend/TrendCsv.h"

#include <QFileInfo>

namespace pm {

bool applyRecording(Job& job, const QString& path, QString* error) {
    if (!job.from || !job.to) {
        *error = QStringLiteral("Enter both register readings before the recording.");
        return false;
    }
    // Without the check's settings (line B's terminal above all) a reading may fit several
    // connections with different K.
    const JobCheck* check = job.last(CheckKind::AsFound);
    if (!check) {
        *error = QStringLiteral("A recording is judged with the settings of the as-found check: "
                                "save the as-found check first.");
        return false;
    }
    const TrendCsvLoad log = loadTrendCsv(path);
    if (!log.ok) {
        *error = QStringLiteral("Cannot read the recording %1: %2").arg(path, log.error);
        return false;
    }
    const RecordingCorrection c =
        correctFromRecording(log.series, job.from->time.toMSecsSinceEpoch(),
                             job.to->time.toMSecsSinceEpoch(), check->settings, job.ct, job.vt);
    if (c.coveredMsecs == 0) {
        *error = QStringLiteral("The recording %1 has no reading with a K between the two "
                                "register readings.")
                     .arg(path);
        return false;
    }
    job.recording =
        RecordingSummary{QFileInfo(path).fileName(), c.registeredKwh, c.realKwh, c.coveredShare};
    return true;
}

} // namespace pm
