#include "app/window/Form1.h"

#include "app/phasor/PhasorDiagram.h"
#include "app/realtime/RealtimePanel.h"
#include "app/recall/CheckWiringMenu.h"
#include "app/trend/TrendPage.h"
#include "app/trend/TrendPlot.h"
#include "app/trend/TrendTab.h"
#include "app/window/AppIcon.h"
#include "app/window/ButtonIcons.h"
#include "app/window/Fonts.h"
#include "app/window/Geometry.h"
#include "app/window/QueuedAlerts.h"
#include "app/window/StatusBar.h"
#include "app/wiring/WiringPage.h"
#include "app/wiring/WiringReport.h"
#include "app/wiring/WiringTab.h"
#include "platform/SerialPort.h"
#include "protocol/Download.h"
#include "telemetry/Telemetry.h"

#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPrinter>
#include <QScreen>
#include <QScrollArea>
#include <QTabBar>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace pm {

namespace {
const QString kTitle = QStringLiteral("DOUBLE PHASE DIGITAL PHASE METER");
constexpr int kRecallTab = 1;
constexpr int kPhasorTab = 2;
constexpr int kTrendTab = 3;
constexpr int kWiringTab = 4;
// The client area as designed, in twips.
constexpr int kDesignedWidth = 13605;
constexpr int kDesignedHeight = 10035;
// Room left on the screen for the window's frame and title.
const QSize kFrameAllowance(8, 32);

QToolButton* pictureButton(QWidget* parent, const QString& name, const QString& caption,
                           ButtonImage image, QRect geometry) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(caption);
    button->setIcon(buttonIcon(image));
    button->setIconSize(QSize(28, 28));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setGeometry(geometry);
    return button;
}

QLabel* statusLabel(QWidget* parent, const QString& name, QRect geometry) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setFont(songFont(10.5, false));
    label->setGeometry(geometry);
    return label;
}
} // namespace

Form1::Form1(SerialPort& port, QWidget* parent) : QWidget(parent), core_(port, &table_) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kTitle);
    setWindowIcon(appIcon());

    buildTopRow();
    buildViews();
    statusBar1_ = new StatusBar(this);
    statusBar1_->setGeometry(twipRect(0, 9540, 13605, 495));
    makeResizable();

    core_.changed = [this] { refresh(); };
    // Every live reading, whichever live tab asked for it, goes into the trend.
    core_.replied = [this](ReplyKind kind) {
        if (kind == ReplyKind::Live) {
            trend_->liveReading(core_.panel);
            wiring_->liveReading(core_.panel);
            if (telemetry_)
                telemetry_->liveReading(QDateTime::currentDateTime(), core_.panel);
        }
    };
    core_.downloadEnded = [this] { downloadEnded(); };
    core_.form.Timer1.onTick = [this] {
        statusBar1_->showClock();
        trend_->clockTick();
    };
    // The port the meter answers on: the one the last "Open" was shown for.
    trend_->portName = [this] {
        const QString name = core_.form.ui.label1.section(QLatin1Char(' '), 0, 0);
        return name.startsWith(QLatin1String("COM")) ? name : QString();
    };

    // Start-up. The form state is already in its start values (real-time view, not linked, COM1
    // next); the clock is shown at once, then discovery starts, the table is laid out empty and
    // the real-time view is shown.
    core_.form.Timer1.tick();
    core_.start();
    table_.gridinit();
    refresh();
}

Form1::~Form1() {
    // The port outlives the window; its events must not reach a core that is gone.
    core_.port().setEventHandler(nullptr);
}

void Form1::setTelemetry(Telemetry& telemetry) {
    telemetry_ = &telemetry;
    telemetry.onNews = [this](const QString& text) { statusBar1_->showNote(text); };
    telemetry.onProblem = [this](const QString& text) { statusBar1_->showNote(text); };
    telemetry.meterAnswering(core_.form.linked == kTrue);
}

void Form1::makeResizable() {
    const QSize designed(px(kDesignedWidth), px(kDesignedHeight));
    canvas_ = new QWidget;
    canvas_->setObjectName(QStringLiteral("Canvas"));
    canvas_->setMinimumSize(designed);
    canvas_->resize(designed);
    for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->isWindow())
            continue;
        const bool hidden = w->isHidden();
        w->setParent(canvas_); // which hides it
        w->setHidden(hidden);
        designed_.insert(w, w->geometry());
    }
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("Scroll"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setWidget(canvas_);
    canvas_->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll_);
    // The usual size, unless the screen is smaller: then the canvas scrolls.
    QSize size = designed;
    if (const QScreen* s = screen())
        size = size.boundedTo(s->availableGeometry().size() - kFrameAllowance);
    resize(size);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == canvas_ && event->type() == QEvent::Resize)
        growPages();
    return QWidget::eventFilter(watched, event);
}

void Form1::growPages() {
    const QRect page = designed_.value(frame1_);
    const QSize extra = (canvas_->size() - canvas_->minimumSize()).expandedTo(QSize(0, 0));
    for (auto it = designed_.cbegin(); it != designed_.cend(); ++it) {
        QWidget* w = it.key();
        QRect r = it.value();
        if (w == statusBar1_) {
            r = QRect(r.left(), r.top() + extra.height(), r.width() + extra.width(), r.height());
        } else if (w == frame1_ || w == tabStrip1_) {
            continue; // the real-time panel keeps its layout at the top left
        } else if (r.topLeft() == page.topLeft() || r.contains(page)) {
            // Every page in the panel's place, and the tab strip's frame around them, grows.
            r.setSize(r.size() + extra);
        } else {
            continue;
        }
        w->setGeometry(r);
    }
}

void Form1::startTimers() {
    if (!timerDrivers_.empty())
        return;
    FormState& form = core_.form;
    for (Timer* timer :
         {&form.Findcom, &form.COMtimout, &form.comunication, &form.Readdat, &form.Timer1})
        timerDrivers_.push_back(std::make_unique<TimerDriver>(*timer));
}

void Form1::buildTopRow() {
    command1_ = pictureButton(this, QStringLiteral("Command1"), QStringLiteral("Read"),
                              ButtonImage::Read, twipRect(720, 480, 1455, 855));
    command2_ = pictureButton(this, QStringLiteral("Command2"), QStringLiteral("Save"),
                              ButtonImage::Save, twipRect(2400, 480, 1335, 855));
    auto* command3 = pictureButton(this, QStringLiteral("Command3"), QStringLiteral("Clear"),
                                   ButtonImage::Clear, twipRect(3960, 480, 1335, 855));
    auto* command4 = pictureButton(this, QStringLiteral("Command4"), QStringLiteral("Print"),
                                   ButtonImage::Print, twipRect(5520, 480, 1335, 855));
    auto* command6 = pictureButton(this, QStringLiteral("Command6"), QStringLiteral("Help"),
                                   ButtonImage::Help, twipRect(7080, 480, 1335, 855));
    auto* command5 = pictureButton(this, QStringLiteral("Command5"), QStringLiteral("Close"),
                                   ButtonImage::Close, twipRect(8640, 480, 1335, 855));

    connect(command1_, &QToolButton::clicked, this, [this] { core_.read(); });
    saveAndPrint_ = std::make_unique<SaveAndPrint>(*this);
    alerts_ = &saveAndPrint_->alerts();
    connect(command2_, &QToolButton::clicked, this, [this] { saveClicked(); });
    connect(command4, &QToolButton::clicked, this, [this] { printClicked(); });
    connect(command3, &QToolButton::clicked, this, [this] { table_.gridinit(); });
    connect(command6, &QToolButton::clicked, this, [this] { helpClicked(); });
    connect(command5, &QToolButton::clicked, this, [this] { close(); });

    auto* picture1 = new QLabel(this);
    picture1->setObjectName(QStringLiteral("Picture1"));
    picture1->setPixmap(meterPicture());
    picture1->setGeometry(twipRect(10200, 360, 1170, 1050));

    label1_ = statusLabel(this, QStringLiteral("Label1"), twipRect(11520, 480, 1575, 375));
    label2_ = statusLabel(this, QStringLiteral("Label2"), twipRect(11520, 960, 1575, 375));
}

void Form1::buildViews() {
    // The tab strip: its tabs on top of a client area in which the two views take turns.
    const QRect strip = twipRect(600, 1800, 12375, 7455);
    tabStrip1_ = new QTabBar(this);
    tabStrip1_->setObjectName(QStringLiteral("TabStrip1"));
    tabStrip1_->setFont(songFont(12, true));
    tabStrip1_->setExpanding(false);
    tabStrip1_->setDrawBase(false);
    tabStrip1_->addTab(QStringLiteral("Realtime"));
    tabStrip1_->addTab(QStringLiteral("Recall"));
    tabStrip1_->addTab(QStringLiteral("Phasor"));
    tabStrip1_->addTab(QStringLiteral("Trend"));
    tabStrip1_->addTab(QStringLiteral("Wiring"));
    const int tabHeight = tabStrip1_->sizeHint().height();
    auto* client = new QFrame(this);
    client->setObjectName(QStringLiteral("TabStrip1Client"));
    client->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    client->setGeometry(strip.adjusted(0, tabHeight - 1, 0, 0));
    tabStrip1_->setGeometry(strip.left(), strip.top(), strip.width(), tabHeight);
    tabStrip1_->raise();

    // A click on the tab already shown runs its branch again: currentChanged alone misses it.
    connect(tabStrip1_, &QTabBar::currentChanged, this, [this](int index) { tabClicked(index); });
    connect(tabStrip1_, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index >= 0 && index == tabStrip1_->currentIndex())
            tabClicked(index);
    });

    frame1_ = new RealtimePanel(this);
    frame1_->setGeometry(twipRect(960, 2280, 11655, 6735));
    // The diagram of the live readings takes the panel's place.
    phasor_ = new PhasorDiagram(core_.panel, this);
    phasor_->setObjectName(QStringLiteral("Phasor"));
    phasor_->setGeometry(frame1_->geometry());
    // ... and so does the trend of the readings.
    trendAlerts_ = std::make_unique<QueuedAlerts>(*this, saveAndPrint_->alerts());
    trend_ = std::make_unique<TrendTab>(saveAndPrint_->services(), saveAndPrint_->openDialog(),
                                        *trendAlerts_);
    trendPage_ = new TrendPage(*trend_, this);
    trendPage_->setGeometry(frame1_->geometry());
    trend_->changed = [this] { trendPage_->refresh(); };

    buildWiring();

    grid_ = new QTableView(this);
    grid_->setObjectName(QStringLiteral("grid"));
    grid_->setGeometry(twipRect(960, 2282, 11655, 6735));
    grid_->setFont(songFont(10.5, false));
    grid_->setModel(&model_);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setWordWrap(false);
    grid_->setCornerButtonEnabled(false);
    // Headings are ordinary cells; every row and column has one fixed size, given once as the
    // default so that growing the table never visits the rows already there.
    grid_->horizontalHeader()->hide();
    grid_->verticalHeader()->hide();
    grid_->horizontalHeader()->setMinimumSectionSize(1);
    grid_->horizontalHeader()->setDefaultSectionSize(px(1612));
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->verticalHeader()->setMinimumSectionSize(1);
    grid_->verticalHeader()->setDefaultSectionSize(px(300));
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    addCheckWiringMenu(*grid_, table_, [this](int record) {
        wiring_->openRecord(table_, record);
        tabStrip1_->setCurrentIndex(kWiringTab);
    });
}

void Form1::buildWiring() {
    // The check of the connections, on a live reading or a record: in the panel's place too.
    wiring_ = std::make_unique<WiringTab>();
    wiringPage_ = new WiringPage(*wiring_, this);
    wiringPage_->setGeometry(frame1_->geometry());
    wiring_->changed = [this] { wiringPage_->refresh(); };
}

void Form1::tabClicked(int index) {
    // The phasor diagram and the trend are pictures of the live readings: polled as the real-time
    // view is. The phasor diagram is saved and printed as the real-time view too; the trend saves
    // and prints its plot and readings.
    core_.showView(index == kRecallTab ? kFalse : kTrue);
}

bool Form1::trendShown() const {
    return core_.form.realview == kTrue && tabStrip1_->currentIndex() == kTrendTab;
}

bool Form1::wiringShown() const {
    return core_.form.realview == kTrue && tabStrip1_->currentIndex() == kWiringTab;
}

void Form1::saveClicked() {
    if (trendShown())
        trend_->saveClicked(trendPage_->plot()->render(
            trendPage_->plot()->size() * 2, trend_->titleLine(QDateTime::currentDateTime())));
    else if (wiringShown())
        wiring_->save(saveAndPrint_->services());
    else
        saveAndPrint_->save(core_, table_);
}

void Form1::printClicked() {
    if (trendShown())
        saveAndPrint_->printPicture([this] {
            // The whole landscape page: the picture takes the page's shape.
            const QSizeF page = saveAndPrint_->printer().printer().pageLayout().fullRect().size();
            const double shape = page.isEmpty() ? 0.7
                                                : std::min(page.width(), page.height()) /
                                                      std::max(page.width(), page.height());
            const int wide = trendPage_->plot()->width() * 4;
            return trendPage_->plot()->render(QSize(wide, int(wide * shape)),
                                              trend_->titleLine(QDateTime::currentDateTime()));
        });
    else if (wiringShown())
        saveAndPrint_->printPicture(
            [this] { return wiringReportImage(wiringReportContent(*wiring_)); });
    else
        saveAndPrint_->print(core_, table_);
}

void Form1::helpClicked() {
    const QString text = QStringLiteral("DOUBLE PHASE DIGITAL PHASE METER(EN)\r"
                                        "Contact us for more information!\r");
    auto* box = new QMessageBox(
        QMessageBox::Information, QStringLiteral("Thank you for using our product!"),
        QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')), QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("HelpBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Modal for the user, but the handler returns at once: timers and replies go on meanwhile.
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
}

void Form1::downloadEnded() {
    const DownloadState& download = core_.form.download;
    const QStringList problems = downloadProblems(download);
    const QString advice = meterAnswersLate(download)
                               ? lateMeterAdvice(QStringLiteral("phasemeter --pacing reply"))
                               : QString();
    if (problems.isEmpty()) {
        // Every record came, late: only the advice, where the download's end is shown.
        if (!advice.isEmpty())
            statusBar1_->showNote(advice);
        return;
    }
    refresh(); // "Read" and "Save" are back while the message is read
    statusBar1_->showNote(problems.join(QLatin1Char(' ')));
    alerts_->warn(
        QStringLiteral("Reading Error!"),
        QStringLiteral("Read Error.\r\n") +
            (download.linkLost ? QStringLiteral("The meter stopped answering.\r\n") : QString()) +
            problems.join(QStringLiteral("\r\n")) +
            (advice.isEmpty() ? QString() : QStringLiteral("\r\n") + advice));
}

void Form1::refresh() {
    const FormState& form = core_.form;
    label1_->setText(form.ui.label1);
    label1_->setToolTip(form.ui.label1Tip);
    label2_->setText(form.ui.label2);
    command1_->setEnabled(form.ui.readEnabled);
    command2_->setEnabled(form.ui.saveEnabled);
    if (telemetry_)
        telemetry_->meterAnswering(form.linked == kTrue);
    frame1_->showTexts(core_.panel);
    const int tab = tabStrip1_->currentIndex();
    frame1_->setVisible(form.realview == kTrue && tab != kPhasorTab && tab != kTrendTab &&
                        tab != kWiringTab);
    phasor_->setVisible(form.realview == kTrue && tab == kPhasorTab);
    trendPage_->setVisible(form.realview == kTrue && tab == kTrendTab);
    wiringPage_->setVisible(form.realview == kTrue && tab == kWiringTab);
    phasor_->update(); // the panel's texts may have changed
    grid_->setVisible(form.realview == kFalse);
    const DownloadProgress progress = downloadProgress(form);
    statusBar1_->showProgress(progress);
    if (progress.running)
        statusBar1_->showNote({}); // what the last download left out no longer holds
}

} // namespace pm
