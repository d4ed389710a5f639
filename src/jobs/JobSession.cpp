#include "jobs/JobSession.h"

#include <algorithm>

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

std::optional<std::vector<JobSummary>> JobSession::find(const QString& text, int limit,
                                                        QString* error) {
    JobStore* s = store(error);
    if (!s)
        return std::nullopt;
    auto bySite = s->list({text, {}, {}, {}, limit});
    auto byMeter = s->list({{}, text, {}, {}, limit});
    if (!bySite || !byMeter) {
        failed(s, error);
        return std::nullopt;
    }
    for (const JobSummary& j : *byMeter)
        if (std::none_of(bySite->begin(), bySite->end(),
                         [&j](const JobSummary& k) { return k.id == j.id; }))
            bySite->push_back(j);
    std::sort(bySite->begin(), bySite->end(), [](const JobSummary& a, const JobSummary& b) {
        return a.created != b.created ? a.created > b.created : a.id > b.id;
    });
    if (int(bySite->size()) > limit)
        bySite->resize(size_t(limit));
    return bySite;
}

bool JobSession::failed(JobStore* store, QString* error) {
    *error = store->lastError();
    // A server gone away, or a file taken away: the next use connects again.
    store_.reset();
    return false;
}

bool JobSession::reload(qint64 id, QString* error) {
    JobStore* s = store(error);
    if (!s)
        return false;
    std::optional<Job> job = s->job(id);
    if (!job) {
        if (s->lastError().isEmpty()) {
            *error = QStringLiteral("There is no job %1.").arg(id);
            return false;
        }
        return failed(s, error);
    }
    job_ = std::move(job);
    changed();
    return true;
}

bool JobSession::newJob(Job job, QString* error) {
    JobStore* s = store(error);
    if (!s)
        return false;
    if (!s->createJob(job))
        return failed(s, error);
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
    if (!s->updateJob(edited))
        return failed(s, error);
    return reload(edited.id, error);
}

bool JobSession::saveCheck(CheckKind kind, const QDateTime& time, const QByteArray& block,
                           const ReadingTexts& texts, const WiringSettings& settings,
                           QString* error) {
    if (!job_) {
        *error = QStringLiteral("Open or start a job first.");
        return false;
    }
    JobStore* s = store(error);
    if (!s)
        return false;
    JobCheck check = makeCheck(kind, time, block, texts, settings);
    if (!s->addCheck(job_->id, check))
        return failed(s, error);
    // Read back: another engineer may have saved checks to the same job meanwhile.
    return reload(job_->id, error);
}

} // namespace pm
