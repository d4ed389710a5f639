#include "jobs/JobSession.h"

namespace pm {

void JobSession::changed() {
    for (const auto& listener : listeners_)
        listener();
}

void JobSession::setLocation(const JobsLocation& location) {
    location_ = location;
    store_.reset();
    close();
}

JobStore* JobSession::store(QString* error) {
    if (!store_) {
        auto store = std::make_unique<JobStore>(location_);
        if (!store->open()) {
            *error = store->lastError();
            return nullptr;
        }
        store_ = std::move(store);
    }
    return store_.get();
}

bool JobSession::reload(qint64 id, QString* error) {
    JobStore* s = store(error);
    if (!s)
        return false;
    std::optional<Job> job = s->job(id);
    if (!job) {
        *error = s->lastError().isEmpty() ? QStringLiteral("There is no job %1.").arg(id)
                                          : s->lastError();
        return false;
    }
    job_ = std::move(job);
    changed();
    return true;
}

bool JobSession::newJob(Job job, QString* error) {
    JobStore* s = store(error);
    if (!s)
        return false;
    if (!s->createJob(job)) {
        *error = s->lastError();
        return false;
    }
    return reload(job.id, error);
}

bool JobSession::open(qint64 id, QString* error) {
    return reload(id, error);
}

void JobSession::close() {
    job_.reset();
    changed();
}

bool JobSession::update(const Job& edited, QString* error) {
    JobStore* s = store(error);
    if (!s)
        return false;
    if (!s->updateJob(edited)) {
        *error = s->lastError();
        return false;
    }
    return reload(edited.id, error);
}

bool JobSession::saveCheck(CheckKind kind, const QDateTime& time, const ReadingTexts& texts,
                           const WiringSettings& settings, QString* error) {
    if (!job_) {
        *error = QStringLiteral("Open or start a job first.");
        return false;
    }
    JobStore* s = store(error);
    if (!s)
        return false;
    JobCheck check = makeCheck(kind, time, {}, texts, settings);
    if (!s->addCheck(job_->id, check)) {
        *error = s->lastError();
        return false;
    }
    // Read back: another engineer may have saved checks to the same job meanwhile.
    return reload(job_->id, error);
}

} // namespace pm
