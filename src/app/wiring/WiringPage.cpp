#include "app/wiring/WiringPage.h"

#include "app/jobs/JobGroup.h"
#include "app/phasor/PhasorDiagram.h"
#include "app/window/StaleOverlay.h"
#include "app/wiring/WiringTab.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>

namespace pm {

namespace {

// The systems as the list offers them, with the elements of a four-wire check.
struct SystemChoice {
    const char* caption;
    WiringSystem system;
    int firstElement;
};
const SystemChoice kSystems[] = {
    {"Three-wire, 2 elements", WiringSystem::ThreeWire, 1},
    {"Four-wire, elements 1 & 2", WiringSystem::FourWire, 1},
    {"Four-wire, elements 2 & 3", WiringSystem::FourWire, 2},
    {"Four-wire, elements 3 & 1", WiringSystem::FourWire, 3},
    {"Vector group", WiringSystem::VectorGroup, 1},
};

// The load ranges offered by name; "Custom" is whatever the two numbers say.
struct RangeChoice {
    const char* caption;
    LoadRange range;
};
const RangeChoice kRanges[] = {
    {"Import", kImportRange},
    {"Export", kExportRange},
    {"Any (line B known)", kAnyRange},
};
const char* const kCustomRange = "Custom";

template <typename W> W* named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

QSpinBox* angleBox(QWidget* parent, const char* name, int value) {
    auto* box = named(new QSpinBox(parent), name);
    // The top may wrap past 180: 120 to 240 is export metering.
    box->setRange(-180, 540);
    box->setValue(value);
    box->setSuffix(QStringLiteral("\u00B0"));
    return box;
}

QLineEdit* textField(QWidget* parent, const char* name, QString& target) {
    auto* edit = named(new QLineEdit(parent), name);
    QObject::connect(edit, &QLineEdit::textChanged, parent,
                     [&target](const QString& text) { target = text; });
    return edit;
}

} // namespace

WiringPage::WiringPage(WiringTab& tab, QWidget* parent) : QWidget(parent), tab_(tab) {
    setObjectName(QStringLiteral("Wiring"));
    setAutoFillBackground(true);

    diagram_ = named(new PhasorDiagram(tab_.texts(), this), "WiringPhasor");
    stale_ = new StaleOverlay(diagram_);
    verdict_ = named(new QLabel(this), "WiringVerdict");
    verdict_->setWordWrap(true);
    QFont bold = verdict_->font();
    bold.setBold(true);
    verdict_->setFont(bold);
    details_ = named(new QLabel(this), "WiringDetails");
    details_->setWordWrap(true);
    details_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont small = details_->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    details_->setFont(small);

    auto* right = new QVBoxLayout;
    right->setSpacing(2);
    right->addWidget(diagram_, 1);
    right->addWidget(verdict_);
    right->addWidget(details_);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    // The settings, the report's fields and the Job group may be taller than the page: they
    // scroll rather than be cut off.
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("WiringControls"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(buildControls());
    scroll->setFixedWidth(scroll->widget()->width() +
                          scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    layout->addWidget(scroll);
    layout->addLayout(right, 1);
    refresh();
}

QWidget* WiringPage::buildControls() {
    auto* controls = new QWidget(this);
    controls->setFixedWidth(185);
    auto* form = new QFormLayout(controls);
    form->setContentsMargins(4, 4, 0, 4);
    form->setRowWrapPolicy(QFormLayout::WrapAllRows);
    form->setVerticalSpacing(2);

    system_ = named(new QComboBox(controls), "WiringSystem");
    for (const SystemChoice& c : kSystems)
        system_->addItem(QString::fromLatin1(c.caption));
    form->addRow(QStringLiteral("System"), system_);
    common_ = named(new QComboBox(controls), "WiringCommon");
    common_->addItems({QStringLiteral("not known"), QStringLiteral("1"), QStringLiteral("2"),
                       QStringLiteral("3")});
    form->addRow(QStringLiteral("Line B on terminal"), common_);
    findLineB_ = named(new QPushButton(QStringLiteral("Find line B"), controls), "WiringFindLineB");
    form->addRow(findLineB_);
    lineB_ = named(new QLabel(controls), "WiringLineBMessage");
    lineB_->setWordWrap(true);
    form->addRow(lineB_);
    loadRange_ = named(new QComboBox(controls), "WiringLoadRange");
    for (const RangeChoice& c : kRanges)
        loadRange_->addItem(QString::fromLatin1(c.caption));
    loadRange_->addItem(QString::fromLatin1(kCustomRange));
    form->addRow(QStringLiteral("Load range"), loadRange_);
    auto* range = new QHBoxLayout;
    loadMin_ = angleBox(controls, "WiringLoadMin", int(LoadRange{}.min));
    loadMax_ = angleBox(controls, "WiringLoadMax", int(LoadRange{}.max));
    range->addWidget(loadMin_);
    range->addWidget(new QLabel(QStringLiteral("to"), controls));
    range->addWidget(loadMax_);
    form->addRow(QStringLiteral("Load angle (lagging +)"), range);

    form->addRow(QStringLiteral("Site"), textField(controls, "WiringSite", tab_.site));
    form->addRow(QStringLiteral("Meter number"),
                 textField(controls, "WiringMeter", tab_.meterNumber));
    form->addRow(QStringLiteral("Note"), textField(controls, "WiringNote", tab_.note));

    source_ = named(new QLabel(controls), "WiringSource");
    live_ = named(new QPushButton(QStringLiteral("Live"), controls), "WiringLive");
    form->addRow(source_, live_);
    jobGroup_ = new JobGroup(tab_.jobs, tab_, controls);
    form->addRow(jobGroup_);

    connect(system_, &QComboBox::currentIndexChanged, this, [this] { settingsChanged(); });
    connect(common_, &QComboBox::currentIndexChanged, this, [this] { settingsChanged(); });
    connect(loadMin_, &QSpinBox::valueChanged, this, [this] { settingsChanged(); });
    connect(loadMax_, &QSpinBox::valueChanged, this, [this] { settingsChanged(); });
    connect(loadRange_, &QComboBox::activated, this, [this](int index) { rangeChosen(index); });
    connect(findLineB_, &QPushButton::clicked, this, [this] { tab_.findLineB(); });
    connect(live_, &QPushButton::clicked, this, [this] { tab_.showLive(); });
    return controls;
}

void WiringPage::rangeChosen(int index) {
    if (index < 0 || index >= int(std::size(kRanges)))
        return;
    const LoadRange& r = kRanges[index].range;
    const QSignalBlocker blockMin(loadMin_), blockMax(loadMax_);
    loadMin_->setRange(-180, 180);
    loadMax_->setRange(-180, 540);
    loadMin_->setValue(int(r.min));
    loadMax_->setValue(int(r.max));
    settingsChanged();
}

void WiringPage::settingsChanged() {
    // A range holds at least one degree and at most the full turn: each end stops short of the
    // other.
    loadMin_->setMaximum(std::min(180, loadMax_->value() - 1));
    loadMax_->setMinimum(loadMin_->value() + 1);
    loadMax_->setMaximum(loadMin_->value() + 360);
    int named = int(std::size(kRanges));
    for (int k = 0; k < int(std::size(kRanges)); ++k)
        if (kRanges[k].range.min == loadMin_->value() && kRanges[k].range.max == loadMax_->value())
            named = k;
    loadRange_->setCurrentIndex(named);
    const SystemChoice& choice = kSystems[std::max(system_->currentIndex(), 0)];
    WiringSettings s = tab_.settings();
    s.system = choice.system;
    s.firstElement = choice.firstElement;
    s.commonTerminal = common_->currentIndex();
    s.loadRange = {double(loadMin_->value()), double(loadMax_->value())};
    common_->setEnabled(s.system == WiringSystem::ThreeWire);
    tab_.setSettings(s);
}

void WiringPage::markStale(const QString& caption) {
    stale_->mark(caption);
    verdict_->setEnabled(caption.isEmpty());
    details_->setEnabled(caption.isEmpty());
}

void WiringPage::showTabSettings() {
    const WiringSettings s = tab_.settings();
    const QStringList fields = {tab_.site, tab_.meterNumber, tab_.note};
    int system = 0;
    for (int i = 0; i < int(std::size(kSystems)); ++i)
        if (kSystems[i].system == s.system &&
            (s.system != WiringSystem::FourWire || kSystems[i].firstElement == s.firstElement))
            system = i;
    system_->setCurrentIndex(system);
    common_->setCurrentIndex(s.commonTerminal);
    loadMin_->setMaximum(179);
    loadMax_->setMinimum(-179);
    loadMin_->setValue(int(s.loadRange.min));
    loadMax_->setValue(int(s.loadRange.max));
    settingsChanged();
    const char* const names[] = {"WiringSite", "WiringMeter", "WiringNote"};
    for (int i = 0; i < 3; ++i)
        findChild<QLineEdit*>(QLatin1String(names[i]))->setText(fields[i]);
}

void WiringPage::showJobs() {
    jobGroup_->showJobs();
}

void WiringPage::refresh() {
    jobGroup_->refresh();
    {
        // Found by a reading to earth, or set here: the list shows what the check uses.
        const QSignalBlocker block(common_);
        common_->setCurrentIndex(tab_.settings().commonTerminal);
    }
    findLineB_->setEnabled(tab_.settings().system == WiringSystem::ThreeWire);
    lineB_->setText(tab_.lineBMessage());
    lineB_->setVisible(!tab_.lineBMessage().isEmpty());
    source_->setText(tab_.sourceText());
    live_->setEnabled(tab_.record() != 0);
    diagram_->setOverlay(tab_.overlay());
    verdict_->setText(tab_.verdict().isEmpty() ? QStringLiteral("Waiting for a reading.")
                                               : tab_.verdict());
    details_->setText(tab_.verdict().isEmpty() ? QString()
                                               : tab_.details().join(QLatin1Char('\n')));
}

} // namespace pm
