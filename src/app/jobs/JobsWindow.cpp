#include "app/jobs/JobsWindow.h"

#include "analysis/WiringVerdict.h"
#include "app/jobs/JobReport.h"
#include "app/phasor/PhasorDiagram.h"
#include "jobs/BackBilling.h"
#include "jobs/JobJson.h"
#include "jobs/JobSession.h"
#include "jobs/PrimaryValues.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

namespace pm {

namespace {

QLineEdit* searchField(QWidget* parent, const char* name, const QString& hint) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setPlaceholderText(hint);
    edit->setClearButtonEnabled(true);
    return edit;
}

QString checkText(const Job& job, const JobCheck* c) {
    if (!c)
        return QStringLiteral("No check saved.");
    const PrimaryValues v = primaryValues(checkPanel(*c), job.ct, job.vt);
    return QStringLiteral("%1\n%2\n\n%3\n%4\n\nPrimary: P1 %5, P2 %6, total P %7")
        .arg(jobTimeText(c->time), systemName(c->settings), c->verdict.verdict,
             checkKText(c->verdict), powerText(v.p[0], QStringLiteral("W")),
             powerText(v.p[1], QStringLiteral("W")), powerText(v.totalP, QStringLiteral("W")));
}

} // namespace

JobsWindow::JobsWindow(JobSession& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session) {
    setObjectName(QStringLiteral("Jobs"));
    setWindowTitle(QStringLiteral("Jobs"));
    site_ = searchField(this, "JobsSite", QStringLiteral("Site"));
    meter_ = searchField(this, "JobsMeter", QStringLiteral("Meter number"));
    since_ = searchField(this, "JobsSince", QStringLiteral("From (2026-03-01)"));
    until_ = searchField(this, "JobsUntil", QStringLiteral("To (2026-03-31)"));
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("JobsCount"));
    auto* searchRow = new QHBoxLayout;
    for (QLineEdit* e : {site_, meter_, since_, until_}) {
        searchRow->addWidget(e);
        connect(e, &QLineEdit::textChanged, this, [this] { search(); });
    }
    searchRow->addWidget(count_);

    list_ = new QTableWidget(0, 5, this);
    list_->setObjectName(QStringLiteral("JobsList"));
    list_->setHorizontalHeaderLabels({QStringLiteral("Job"), QStringLiteral("Opened"),
                                      QStringLiteral("Site"), QStringLiteral("Meter"),
                                      QStringLiteral("Checks")});
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->verticalHeader()->hide();
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->setMaximumHeight(220);
    connect(list_, &QTableWidget::cellClicked, this, [this](int row) { openRow(row); });

    auto* sides = new QGridLayout;
    for (int i = 0; i < 2; ++i) {
        auto* title = new QLabel(
            i == 0 ? QStringLiteral("<b>As found</b>") : QStringLiteral("<b>As left</b>"), this);
        diagrams_[size_t(i)] = new PhasorDiagram(texts_[size_t(i)], this);
        diagrams_[size_t(i)]->setMinimumSize(520, 300);
        checks_[size_t(i)] = new QLabel(this);
        checks_[size_t(i)]->setObjectName(i == 0 ? QStringLiteral("JobsAsFound")
                                                 : QStringLiteral("JobsAsLeft"));
        checks_[size_t(i)]->setWordWrap(true);
        checks_[size_t(i)]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        sides->addWidget(title, 0, i);
        sides->addWidget(diagrams_[size_t(i)], 1, i);
        sides->addWidget(checks_[size_t(i)], 2, i);
    }
    sides->setRowStretch(1, 1);
    billing_ = new QLabel(this);
    billing_->setObjectName(QStringLiteral("JobsBilling"));
    billing_->setWordWrap(true);
    billing_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    report_ = new QPushButton(QStringLiteral("Report..."), this);
    report_->setObjectName(QStringLiteral("JobsReport"));
    auto* exportAll = new QPushButton(QStringLiteral("Export..."), this);
    exportAll->setObjectName(QStringLiteral("JobsExport"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(report_);
    buttons->addWidget(exportAll);
    connect(report_, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(
            this, QStringLiteral("Report"),
            QStringLiteral("job-%1.pdf").arg(session_.job() ? session_.job()->id : 0),
            QStringLiteral("PDF (*.pdf)"));
        QString error;
        if (!path.isEmpty() && !writeReport(path, &error))
            QMessageBox::warning(this, QStringLiteral("Report"), error);
    });
    connect(exportAll, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(
            this, QStringLiteral("Export"), QStringLiteral("jobs.json"),
            QStringLiteral("JSON (*.json);;CSV (*.csv)"));
        QString error;
        if (!path.isEmpty() && !writeExport(path, &error))
            QMessageBox::warning(this, QStringLiteral("Export"), error);
    });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(searchRow);
    layout->addWidget(list_);
    layout->addLayout(sides, 1);
    layout->addWidget(billing_);
    layout->addLayout(buttons);
    resize(1120, 900);
    // A check saved on the Wiring tab shows here at once, and in the list's counts.
    session_.onChanged([this] {
        showJob();
        search();
    });
    search();
    showJob();
}

bool JobsWindow::filter(JobFilter& f) {
    f.site = site_->text().trimmed();
    f.meter = meter_->text().trimmed();
    f.limit = kListed;
    const auto date = [](QLineEdit* e, QDate& out) {
        const QString text = e->text().trimmed();
        out = QDate::fromString(text, Qt::ISODate);
        return text.isEmpty() || out.isValid();
    };
    return date(since_, f.from) && date(until_, f.to);
}

void JobsWindow::search() {
    JobFilter f;
    if (!filter(f)) {
        count_->setText(QStringLiteral("Dates as 2026-03-01"));
        return;
    }
    QString error;
    JobStore* store = session_.store(&error);
    const auto jobs = store ? store->list(f) : std::nullopt;
    if (!jobs) {
        count_->setText(store ? store->lastError() : error);
        list_->setRowCount(0);
        return;
    }
    list_->setRowCount(int(jobs->size()));
    for (int row = 0; row < int(jobs->size()); ++row) {
        const JobSummary& s = (*jobs)[size_t(row)];
        const QStringList cells{
            QString::number(s.id), jobTimeText(s.created), s.site, s.meter,
            QStringLiteral("%1 as found, %2 as left").arg(s.asFound).arg(s.asLeft)};
        for (int column = 0; column < cells.size(); ++column)
            list_->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    // The job open stays selected.
    const qint64 open = session_.job() ? session_.job()->id : 0;
    for (int row = 0; row < list_->rowCount(); ++row)
        if (list_->item(row, 0)->text().toLongLong() == open)
            list_->selectRow(row);
    count_->setText(jobs->size() == size_t(kListed)
                        ? QStringLiteral("The newest %1 shown").arg(kListed)
                    : jobs->size() == 1 ? QStringLiteral("1 job")
                                        : QStringLiteral("%1 jobs").arg(jobs->size()));
}

void JobsWindow::openRow(int row) {
    const QTableWidgetItem* item = list_->item(row, 0);
    if (!item)
        return;
    QString error;
    if (!session_.open(item->text().toLongLong(), &error))
        billing_->setText(error);
    showJob();
}

void JobsWindow::showJob() {
    const std::optional<Job>& job = session_.job();
    report_->setEnabled(job.has_value());
    for (int i = 0; i < 2; ++i) {
        const JobCheck* c =
            job ? job->last(i == 0 ? CheckKind::AsFound : CheckKind::AsLeft) : nullptr;
        texts_[size_t(i)] = c ? checkPanel(*c) : Panel();
        if (c) {
            const WiringResult r =
                checkWiring(WiringReading::fromTexts(texts_[size_t(i)]), c->settings);
            diagrams_[size_t(i)]->setOverlay({arrowNames(r), idealDirections(r)});
        }
        diagrams_[size_t(i)]->setVisible(c != nullptr);
        checks_[size_t(i)]->setText(job ? checkText(*job, c) : QString());
        diagrams_[size_t(i)]->update();
    }
    if (!job) {
        billing_->setText(QStringLiteral("Open a job from the list."));
        return;
    }
    const BackBilling bill = jobBackBilling(*job);
    QStringList lines{QStringLiteral("<b>Job %1: %2, meter %3</b> (CT %4, VT %5)")
                          .arg(job->id)
                          .arg(job->site.toHtmlEscaped(), job->meter.toHtmlEscaped(),
                               job->ct.text(), job->vt.text())};
    if (!bill.ok)
        lines << bill.problem.toHtmlEscaped();
    for (const QString& l : bill.lines)
        lines << l.toHtmlEscaped();
    billing_->setText(lines.join(QStringLiteral("<br>")));
}

bool JobsWindow::writeReport(const QString& path, QString* error) {
    if (!session_.job()) {
        *error = QStringLiteral("Open a job first.");
        return false;
    }
    return writeJobReport(*session_.job(), path, *error);
}

bool JobsWindow::writeExport(const QString& path, QString* error) {
    JobStore* store = session_.store(error);
    if (!store)
        return false;
    const bool json = !path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
    const std::optional<QByteArray> bytes = exportJobs(*store, json, error);
    if (!bytes)
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(*bytes) != bytes->size() || !file.commit()) {
        *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace pm
