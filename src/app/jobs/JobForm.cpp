#include "app/jobs/JobForm.h"

#include "jobs/JobRecording.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace pm {

namespace {

QLineEdit* field(QWidget* parent, const char* name, const QString& text) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

QDateTimeEdit* timeField(QWidget* parent, const char* name, const QDateTime& time) {
    auto* edit = new QDateTimeEdit(
        time.isValid() ? time.toLocalTime() : QDateTime::currentDateTime(), parent);
    edit->setObjectName(QLatin1String(name));
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    edit->setCalendarPopup(true);
    return edit;
}

} // namespace

std::optional<Job> readJobForm(const Job& base, const JobFormTexts& t, QString* error) {
    Job job = base;
    job.site = t.site.trimmed();
    job.meter = t.meter.trimmed();
    if (job.site.isEmpty() || job.meter.isEmpty()) {
        *error = QStringLiteral("A job needs a site and a meter number.");
        return std::nullopt;
    }
    QString why;
    const std::optional<Ratio> ct = parseRatio(t.ct.trimmed(), &why);
    if (!ct) {
        *error = QStringLiteral("CT ratio: %1.").arg(why);
        return std::nullopt;
    }
    const std::optional<Ratio> vt = parseRatio(t.vt.trimmed(), &why);
    if (!vt) {
        *error = QStringLiteral("VT ratio: %1.").arg(why);
        return std::nullopt;
    }
    const std::optional<double> multiplier = readNumber(t.multiplier);
    if (!multiplier || !(*multiplier > 0)) {
        *error = QStringLiteral("The register multiplier is a number above zero.");
        return std::nullopt;
    }
    job.ct = *ct;
    job.vt = *vt;
    job.multiplier = *multiplier;
    job.engineer = t.engineer.trimmed();
    job.note = t.note.trimmed();
    job.primaryRegister = t.primaryRegister;
    const auto reading = [&](const QString& value, const QDateTime& time, const char* which,
                             std::optional<RegisterReading>& out) {
        if (value.trimmed().isEmpty()) {
            out.reset();
            return true;
        }
        const std::optional<double> v = readNumber(value);
        if (!v || *v < 0) {
            *error = QStringLiteral("The register reading %1 is not a number.").arg(which);
            return false;
        }
        out = RegisterReading{*v, time};
        return true;
    };
    if (!reading(t.fromValue, t.fromTime, "at the start", job.from) ||
        !reading(t.toValue, t.toTime, "at the fix", job.to))
        return std::nullopt;
    // A recording of another period says nothing about this one.
    if (job.from != base.from || job.to != base.to)
        job.recording.reset();
    if (!t.recording.trimmed().isEmpty() && !applyRecording(job, t.recording.trimmed(), error))
        return std::nullopt;
    return job;
}

JobForm::JobForm(const Job& job, bool registers, QWidget* parent) : QDialog(parent), job_(job) {
    setWindowTitle(job.id ? QStringLiteral("Job %1").arg(job.id) : QStringLiteral("New job"));
    auto* form = new QFormLayout(this);
    site_ = field(this, "JobSite", job.site);
    meter_ = field(this, "JobMeter", job.meter);
    ct_ = field(this, "JobCt", job.ct.text());
    vt_ = field(this, "JobVt", job.vt.text());
    multiplier_ = field(this, "JobMultiplier", plainNumber(job.multiplier));
    engineer_ = field(this, "JobEngineer", job.engineer);
    note_ = field(this, "JobNote", job.note);
    primary_ = new QCheckBox(QStringLiteral("The register shows primary energy"), this);
    primary_->setObjectName(QStringLiteral("JobPrimaryRegister"));
    primary_->setChecked(job.primaryRegister);
    form->addRow(QStringLiteral("Site"), site_);
    form->addRow(QStringLiteral("Meter number"), meter_);
    form->addRow(QStringLiteral("CT ratio"), ct_);
    form->addRow(QStringLiteral("VT ratio"), vt_);
    form->addRow(QStringLiteral("Register multiplier"), multiplier_);
    form->addRow(QString(), primary_);
    form->addRow(QStringLiteral("Engineer"), engineer_);
    form->addRow(QStringLiteral("Note"), note_);
    if (registers) {
        const auto value = [](const std::optional<RegisterReading>& r) {
            return r ? plainNumber(r->value) : QString();
        };
        fromValue_ = field(this, "JobFromValue", value(job.from));
        fromTime_ = timeField(this, "JobFromTime", job.from ? job.from->time : QDateTime());
        toValue_ = field(this, "JobToValue", value(job.to));
        toTime_ = timeField(this, "JobToTime", job.to ? job.to->time : QDateTime());
        form->addRow(QStringLiteral("Register when the fault began"), fromValue_);
        form->addRow(QStringLiteral("taken on"), fromTime_);
        form->addRow(QStringLiteral("Register at the fix"), toValue_);
        form->addRow(QStringLiteral("taken on"), toTime_);
        recording_ = field(this, "JobRecording", QString());
        recording_->setPlaceholderText(job.recording ? job.recording->file
                                                     : QStringLiteral("none"));
        recording_->setToolTip(QStringLiteral("A CSV log of the readings over the period: K "
                                              "reading by reading instead of the as-found K"));
        form->addRow(QStringLiteral("Recording (CSV log)"), recording_);
    }
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("JobProblem"));
    problem_->setStyleSheet(QStringLiteral("color: #b00000"));
    problem_->setWordWrap(true);
    form->addRow(problem_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &JobForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &JobForm::reject);
    form->addRow(buttons);
}

JobFormTexts JobForm::texts() const {
    JobFormTexts t;
    t.site = site_->text();
    t.meter = meter_->text();
    t.ct = ct_->text();
    t.vt = vt_->text();
    t.multiplier = multiplier_->text();
    t.engineer = engineer_->text();
    t.note = note_->text();
    t.primaryRegister = primary_->isChecked();
    if (fromValue_) {
        t.fromValue = fromValue_->text();
        t.toValue = toValue_->text();
        t.fromTime = fromTime_->dateTime();
        t.toTime = toTime_->dateTime();
        t.recording = recording_->text();
    }
    return t;
}

void JobForm::accept() {
    QString error;
    const std::optional<Job> edited = readJobForm(job_, texts(), &error);
    if (!edited) {
        problem_->setText(error);
        return;
    }
    job_ = *edited;
    QDialog::accept();
}

} // namespace pm
