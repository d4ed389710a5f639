#pragma once

#include "jobs/Job.h"

namespace pm {

// Reads a CSV log of the readings (the Trend tab's, or `live --format csv`) and keeps with the job
// what it gives over the period of its register readings, judged with the settings of its last
// as-found check. False, the job unchanged, with why: no registers, no as-found check, an
// unreadable log, or no reading with a K in the period.
bool applyRecording(Job& job, const QString& path, QString* error);

} // namespace pm
