#pragma once

#include "jobs/Job.h"
#include "jobs/JobStore.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <vector>

namespace pm {

// A job as the tool's JSON and the export give it: "id", "site", "meter", "ct", "vt", its
// "checks" (each with "kind", "time", "k", "correct", the verdict and the primary values), the
// registers and, once both are entered, "registered_kwh", "real_kwh" and "to_bill_kwh", primary
// side ("real_kwh" and "to_bill_kwh" null where K is not known).
QJsonObject jobJson(const Job& job);
QJsonObject summaryJson(const JobSummary& summary);

// One line a job, for a spreadsheet: the job, its last as-found and as-left check, the energy.
QString jobCsvHeader();
QString jobCsvRow(const Job& job);
QString summaryCsvHeader();
QString summaryCsvRow(const JobSummary& summary);

// Every job of the store, oldest first, as a JSON array or a CSV table; none with why.
std::optional<QByteArray> exportJobs(JobStore& store, bool json, QString* error);

// The job in words, as `job show` prints it and the Jobs window shows it.
QString jobText(const Job& job);

} // namespace pm
