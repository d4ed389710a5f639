#pragma once

#include "jobs/Job.h"

#include <QDialog>
#include <optional>

class QCheckBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;

namespace pm {

// A job's particulars as typed: site, meter, ratios, register and its readings, and a recording
// over their period. The texts are read by readJobForm, which says what is wrong rather than
// guess.
struct JobFormTexts {
    QString site, meter, ct, vt, multiplier, engineer, note;
    bool primaryRegister = false;
    QString fromValue, toValue; // empty: not entered
    QDateTime fromTime, toTime;
    QString recording; // a CSV log over the period; empty: none
};
std::optional<Job> readJobForm(const Job& base, const JobFormTexts& texts, QString* error);

// The dialog of "New job…" and "Ratios and registers…"; the register readings only for a job
// that exists.
class JobForm : public QDialog {
public:
    JobForm(const Job& job, bool registers, QWidget* parent = nullptr);
    // The job as edited, once accepted.
    const Job& job() const { return job_; }

    void accept() override;

private:
    JobFormTexts texts() const;

    Job job_;
    QLineEdit *site_, *meter_, *ct_, *vt_, *multiplier_, *engineer_, *note_;
    QCheckBox* primary_;
    QLineEdit* fromValue_ = nullptr;
    QLineEdit* toValue_ = nullptr;
    QDateTimeEdit* fromTime_ = nullptr;
    QDateTimeEdit* toTime_ = nullptr;
    QLineEdit* recording_ = nullptr;
    QLabel* problem_;
};

} // namespace pm
