#include "app/trend/TrendPage.h"

#include "app/style/QuantityColors.h"
#include "app/trend/TrendPlot.h"
#include "app/trend/TrendReadout.h"
#include "app/trend/TrendStatsTable.h"
#include "app/trend/TrendTab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace pm {

namespace {
using Span = TrendViewport::Span;
constexpr Span kSpans[] = {Span::LastMinute, Span::Last10Minutes, Span::LastHour, Span::LastDay,
                           Span::All};
const char* const kSpanNames[] = {"Last 1 min", "Last 10 min", "Last 1 h", "Last 1 day", "All"};

// The check boxes, a row per group, as the panel groups its quantities.
struct Group {
    const char* name;
    std::vector<Field> fields;
};
const Group kGroups[] = {
    {"U", {Field::U1, Field::U2}},
    {"I", {Field::I1, Field::I2}},
    {"P", {Field::P1, Field::P2}},
    {"Q", {Field::Q1, Field::Q2}},
    {"S", {Field::S1, Field::S2}},
    {"PF", {Field::PF1, Field::PF2}},
    {"\u2220", {Field::PhaseU1U2, Field::PhaseI1I2, Field::PhaseU1I1, Field::PhaseU2I2}},
    {"F", {Field::Freq}},
};

// A short piece of the quantity's line, as the plot draws it.
QIcon swatch(Field f) {
    QPixmap pixmap(16, 10);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QPen pen(quantityColor(f), 2);
    pen.setStyle(quantityLineStyle(f));
    painter.setPen(pen);
    painter.drawLine(0, 5, 16, 5);
    return QIcon(pixmap);
}

QPushButton* pushButton(QWidget* parent, const QString& name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}
} // namespace

TrendPage::TrendPage(TrendTab& tab, QWidget* parent) : QWidget(parent), tab_(tab) {
    setObjectName(QStringLiteral("Trend"));
    setAutoFillBackground(true);
    plot_ = new TrendPlot(this);
    plot_->setObjectName(QStringLiteral("TrendPlot"));
    plot_->zoomed = [this](double factor, qint64 at) { tab_.zoom(factor, at); };
    plot_->valuesZoomed = [this](double factor, double share) { tab_.zoomValues(factor, share); };
    plot_->panned = [this](qint64 msecs) { tab_.pan(msecs); };
    plot_->valuesPanned = [this](double share) { tab_.panValues(share); };
    plot_->clicked = [this](qint64 at, qint64 reach) { tab_.pin(at, reach); };
    plot_->pinsCleared = [this] { tab_.clearPins(); };
    plot_->hovered = [this] { showReadout(); };
    plot_->fitChosen = [this] { tab_.fit(); };
    plot_->resetValuesChosen = [this] { tab_.resetValueAxes(); };
    for (const char* name : kSpanNames)
        plot_->spanNames << QString::fromLatin1(name);
    plot_->spanChosen = [this](int index) { tab_.follow(kSpans[std::clamp(index, 0, 4)]); };
    plot_->resized = [this] { refresh(); };

    stats_ = new TrendStatsTable(this);
    stats_->setObjectName(QStringLiteral("TrendStats"));
    auto* plotColumn = new QVBoxLayout;
    plotColumn->setSpacing(2);
    plotColumn->addWidget(plot_, 1);
    plotColumn->addWidget(stats_);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(buildControls());
    layout->addLayout(plotColumn, 1);
    refresh();
}

QWidget* TrendPage::buildControls() {
    auto* controls = new QWidget(this);
    controls->setFixedWidth(175);
    auto* column = new QVBoxLayout(controls);
    column->setContentsMargins(4, 4, 0, 4);
    column->setSpacing(4);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(2);
    grid->setVerticalSpacing(0);
    int row = 0;
    for (const Group& g : kGroups) {
        grid->addWidget(new QLabel(QString::fromUtf8(g.name), controls), row, 0);
        for (std::size_t k = 0; k < g.fields.size(); ++k) {
            const Field f = g.fields[k];
            auto* box = new QCheckBox(trendName(f), controls);
            box->setObjectName(QStringLiteral("check") + trendName(f));
            box->setIcon(swatch(f));
            connect(box, &QCheckBox::toggled, this, [this, f](bool on) { tab_.setChecked(f, on); });
            checks_[size_t(f)] = box;
            grid->addWidget(box, row + int(k / 2), 1 + int(k % 2));
        }
        row += int(g.fields.size() + 1) / 2;
    }
    column->addLayout(grid);

    span_ = new QComboBox(controls);
    span_->setObjectName(QStringLiteral("Span"));
    for (const char* name : kSpanNames)
        span_->addItem(QString::fromLatin1(name));
    connect(span_, &QComboBox::activated, this,
            [this](int index) { tab_.follow(kSpans[std::clamp(index, 0, 4)]); });
    auto* fit = pushButton(controls, QStringLiteral("Fit"), QStringLiteral("Fit"));
    fit->setFixedWidth(fit->fontMetrics().horizontalAdvance(fit->text()) + 24);
    connect(fit, &QPushButton::clicked, this, [this] { tab_.fit(); });
    auto* spanRow = new QHBoxLayout;
    spanRow->addWidget(span_, 1);
    spanRow->addWidget(fit);
    column->addLayout(spanRow);
    follow_ = new QCheckBox(QStringLiteral("Follow latest"), controls);
    follow_->setObjectName(QStringLiteral("FollowLatest"));
    connect(follow_, &QCheckBox::toggled, this, [this](bool on) { tab_.setFollowing(on); });
    column->addWidget(follow_);

    record_ = pushButton(controls, QStringLiteral("Record"), QStringLiteral("Record..."));
    record_->setCheckable(true);
    // The button shows the recording, it does not make it: a click asks the tab.
    connect(record_, &QPushButton::clicked, this, [this] {
        tab_.recordClicked();
        refresh();
    });
    auto* open = pushButton(controls, QStringLiteral("Open"), QStringLiteral("Open..."));
    connect(open, &QPushButton::clicked, this, [this] { tab_.openClicked(); });
    live_ = pushButton(controls, QStringLiteral("Live"), QStringLiteral("Live"));
    connect(live_, &QPushButton::clicked, this, [this] { tab_.liveClicked(); });
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(open);
    fileRow->addWidget(live_);
    column->addWidget(record_);
    column->addLayout(fileRow);

    held_ = new QLabel(controls);
    held_->setObjectName(QStringLiteral("TrendHeld"));
    held_->setWordWrap(true);
    recording_ = new QLabel(controls);
    recording_->setObjectName(QStringLiteral("TrendRecording"));
    recording_->setWordWrap(true);
    column->addWidget(held_);
    column->addWidget(recording_);
    column->addStretch(1);
    return controls;
}

void TrendPage::refresh() {
    // A reading costs nothing while the page is hidden: it is brought up to date once shown.
    stale_ = true;
    if (isVisible())
        redraw();
}

void TrendPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (stale_)
        redraw();
}

void TrendPage::redraw() {
    for (int f = 0; f < kFieldCount; ++f) {
        const QSignalBlocker quiet(checks_[size_t(f)]);
        checks_[size_t(f)]->setChecked(tab_.selection().isChecked(Field(f)));
    }
    const TrendViewport& view = tab_.viewport();
    span_->setCurrentIndex(view.following() && view.span() ? int(*view.span()) : -1);
    {
        const QSignalBlocker quiet(follow_);
        follow_->setChecked(view.following());
    }
    record_->setChecked(tab_.recorder().isRecording());
    record_->setToolTip(tab_.recordingText());
    held_->setText(tab_.heldText());
    recording_->setText(tab_.recordingText());
    plot_->draw(tab_.picture(plot_->columns()));
    stats_->setRows(tab_.spanStats());
    showReadout();
    stale_ = false;
}

void TrendPage::showReadout() {
    plot_->showReadout(tab_.readout(plot_->hoverTime()));
}

} // namespace pm
