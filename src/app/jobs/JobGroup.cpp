#include "app/jobs/JobGroup.h"

#include "app/jobs/JobForm.h"
#include "app/jobs/JobsWindow.h"
#include "app/wiring/WiringTab.h"
#include "jobs/JobSession.h"
#include "jobs/PrimaryValues.h"

#include <QCompleter>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringListModel>

namespace pm {

namespace {

QPushButton* button(QWidget* parent, const QString& caption, const char* name) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

// An empty line takes no room in the narrow column.
void showLine(QLabel* label, const QString& text) {
    label->setText(text);
    label->setVisible(!text.isEmpty());
}

QLabel* label(QWidget* parent, const char* name) {
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setWordWrap(true);
    return l;
}

} // namespace

JobGroup::JobGroup(JobSession& session, WiringTab& tab, QWidget* parent)
    : QGroupBox(QStringLiteral("Job"), parent), session_(session), tab_(tab) {
    setObjectName(QStringLiteral("JobGroup"));
    job_ = label(this, "JobCurrent");
    primary_ = label(this, "JobPrimary");
    problem_ = label(this, "JobSaveProblem");
    problem_->setStyleSheet(QStringLiteral("color: #b00000"));
    problem_->hide();
    find_ = new QLineEdit(this);
    find_->setObjectName(QStringLiteral("JobFind"));
    find_->setPlaceholderText(QStringLiteral("Find: site or meter number"));
    offers_ = new QStringListModel(this);
    completer_ = new QCompleter(offers_, this);
    completer_->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    find_->setCompleter(completer_);
    auto* create = button(this, QStringLiteral("New..."), "JobNew");
    create->setToolTip(QStringLiteral("A new job: site, meter number, ratios"));
    auto* browse = button(this, QStringLiteral("Jobs..."), "JobPick");
    edit_ = button(this, QStringLiteral("Ratios..."), "JobEdit");
    edit_->setToolTip(QStringLiteral("The job's ratios, register and register readings"));
    asFound_ = button(this, QStringLiteral("Save as found"), "JobSaveAsFound");
    asLeft_ = button(this, QStringLiteral("Save as left"), "JobSaveAsLeft");
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setSpacing(2);
    // The column beside the diagram is narrow and short: one line for the job, the rest on hover.
    job_->setWordWrap(false);
    grid->addWidget(job_, 0, 0, 1, 6);
    grid->addWidget(create, 1, 0, 1, 2);
    grid->addWidget(browse, 1, 2, 1, 2);
    grid->addWidget(edit_, 1, 4, 1, 2);
    grid->addWidget(asFound_, 2, 0, 1, 3);
    grid->addWidget(asLeft_, 2, 3, 1, 3);
    grid->addWidget(primary_, 3, 0, 1, 6);
    grid->addWidget(problem_, 4, 0, 1, 6);
    grid->addWidget(find_, 5, 0, 1, 6);

    connect(find_, &QLineEdit::textEdited, this, [this](const QString& text) { find(text); });
    connect(completer_, qOverload<const QString&>(&QCompleter::activated), this,
            [this](const QString& offer) { pick(offer); });
    connect(create, &QPushButton::clicked, this, [this] { newJob(); });
    connect(browse, &QPushButton::clicked, this, [this] { showJobs(); });
    connect(edit_, &QPushButton::clicked, this, [this] { editJob(); });
    connect(asFound_, &QPushButton::clicked, this, [this] { save(CheckKind::AsFound); });
    connect(asLeft_, &QPushButton::clicked, this, [this] { save(CheckKind::AsLeft); });
    session_.onChanged([this] { refresh(); });
    refresh();
}

void JobGroup::refresh() {
    const std::optional<Job>& job = session_.job();
    const bool reading = !tab_.verdict().isEmpty();
    edit_->setEnabled(job.has_value());
    // Only a live reading is saved: a record of the table was taken at a time it does not keep.
    const bool canSave = job && reading && tab_.record() == 0;
    asFound_->setEnabled(canSave);
    asLeft_->setEnabled(canSave);
    if (!job) {
        job_->setText(QStringLiteral("No job open."));
        job_->setToolTip({});
        showLine(primary_, {});
        return;
    }
    int found = 0, left = 0;
    for (const JobCheck& c : job->checks)
        ++(c.kind == CheckKind::AsFound ? found : left);
    const QString title = QStringLiteral("%1: %2, %3").arg(job->id).arg(job->site, job->meter);
    job_->setText(job_->fontMetrics().elidedText(title, Qt::ElideRight, 175));
    job_->setToolTip(QStringLiteral("%1\nCT %2, VT %3; %4 as found, %5 as left")
                         .arg(title, job->ct.text(), job->vt.text())
                         .arg(found)
                         .arg(left));
    if (!reading) {
        showLine(primary_, {});
        return;
    }
    const PrimaryValues v = primaryValues(tab_.texts(), job->ct, job->vt);
    showLine(primary_, QStringLiteral("Primary P %1, Q %2")
                           .arg(powerText(v.totalP, QStringLiteral("W")),
                                powerText(v.totalQ, QStringLiteral("var"))));
}

void JobGroup::find(const QString& text) {
    if (text.trimmed().isEmpty()) {
        offers_->setStringList({});
        return;
    }
    QString error;
    const auto jobs = session_.find(text.trimmed(), 20, &error);
    if (!jobs) {
        showLine(problem_, error);
        return;
    }
    QStringList offers;
    for (const JobSummary& j : *jobs)
        offers << QStringLiteral("%1: %2, %3").arg(j.id).arg(j.site, j.meter);
    offers_->setStringList(offers);
    completer_->complete();
}

void JobGroup::pick(const QString& offer) {
    bool ok = false;
    const qint64 id = offer.section(QLatin1Char(':'), 0, 0).toLongLong(&ok);
    if (!ok)
        return;
    QString error;
    showLine(problem_, session_.open(id, &error) ? QString() : error);
    find_->clear();
    refresh();
}

void JobGroup::save(CheckKind kind) {
    // The meter answers once a second; a reading much older means the link is gone, and the
    // reading shown is no longer the installation as it is.
    const QDateTime taken = tab_.readingTime();
    if (!taken.isValid() || taken.msecsTo(tab_.clock()) > kFreshMsecs) {
        showLine(problem_, QStringLiteral("Not saved: the last live reading is more than %1 s "
                                          "old. Is the meter still linked?")
                               .arg(kFreshMsecs / 1000));
        return;
    }
    QString error;
    if (!session_.saveCheck(kind, taken.toUTC(), tab_.block(), tab_.texts(), tab_.settings(),
                            &error))
        showLine(problem_, error);
    else
        showLine(problem_, QStringLiteral("Saved as %1.")
                               .arg(kind == CheckKind::AsFound ? QStringLiteral("found")
                                                               : QStringLiteral("left")));
    refresh();
}

void JobGroup::newJob() {
    JobForm form(Job{}, false, this);
    if (form.exec() != QDialog::Accepted)
        return;
    QString error;
    showLine(problem_, session_.newJob(form.job(), &error) ? QString() : error);
    refresh();
}

void JobGroup::editJob() {
    if (!session_.job())
        return;
    JobForm form(*session_.job(), true, this);
    if (form.exec() != QDialog::Accepted)
        return;
    QString error;
    showLine(problem_, session_.update(form.job(), &error) ? QString() : error);
    refresh();
}

void JobGroup::showJobs() {
    if (!jobs_)
        jobs_ = new JobsWindow(session_, window());
    jobs_->show();
    jobs_->raise();
    jobs_->activateWindow();
}

} // namespace pm
