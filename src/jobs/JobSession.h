#pragma once

#include "jobs/JobStore.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace pm {

class ReadingTexts;

// The job the window works on and the store it lives in, opened on first use: what the Wiring
// tab's Job group and the Jobs window share. Every change is saved at once; on failure the job
// shown stays as the store has it, and the message says why.
class JobSession {
public:
    void setLocation(const JobsLocation& location);
    const JobsLocation& location() const { return location_; }
    // The store, opened (and brought up to date) the first time; null with why.
    JobStore* store(QString* error);

    const std::optional<Job>& job() const { return job_; }
    // The newest jobs whose site or meter number contains `text`; none with why.
    std::optional<std::vector<JobSummary>> find(const QString& text, int limit, QString* error);
    bool newJob(Job job, QString* error);
    bool open(qint64 id, QString* error);
    void close();
    // Everything but the checks, as edited.
    bool update(const Job& edited, QString* error);
    // The reading and the check's settings as the "as found" or "as left" of the open job.
    bool saveCheck(CheckKind kind, const QDateTime& time, const QByteArray& block,
                   const ReadingTexts& texts, const WiringSettings& settings, QString* error);

    // Called after every change of the job open (the Job group, the Jobs window).
    void onChanged(std::function<void()> listener) { listeners_.push_back(std::move(listener)); }

private:
    void changed();
    bool reload(qint64 id, QString* error);
    bool failed(JobStore* store, QString* error);

    JobsLocation location_{false, defaultJobsPath(), {}, 5432, {}, {}, {}};
    std::unique_ptr<JobStore> store_;
    std::optional<Job> job_;
    std::vector<std::function<void()>> listeners_;
};

} // namespace pm
