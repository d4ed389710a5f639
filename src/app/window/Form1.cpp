#include "app/window/Form1.h"

#include "app/phasor/PhasorDiagram.h"
#include "app/realtime/RealtimePanel.h"
#include "app/recall/CheckWiringMenu.h"
#include "app/style/Fonts.h"
#include "app/style/Shortcuts.h"
#include "app/trend/TrendPage.h"
#include "app/trend/TrendPlot.h"
#include "app/trend/TrendTab.h"
#include "app/window/AppIcon.h"
#include "app/window/ButtonIcons.h"
#include "app/window/Geometry.h"
#include "app/window/GuideWindow.h"
#include "app/window/QueuedAlerts.h"
#include "app/window/StaleOverlay.h"
#include "app/window/StatusBar.h"
#include "app/window/WindowPlacement.h"
#include "app/wiring/WiringPage.h"
#include "app/wiring/WiringReport.h"
#include "app/wiring/WiringReportPage.h"
#include "app/wiring/WiringTab.h"
#include "platform/SerialPort.h"
#include "protocol/Download.h"
#include "telemetry/Telemetry.h"

#include <QAction>
#include <QActionGroup>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrinter>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QTabBar>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <optional>

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
// Below this the canvas scrolls rather than shrink further: 1024 x 768 at 150 % is above it.
const QSize kSmallestCanvas(560, 380);
constexpr int kButtonIcon = 28;
const char* const kTabNames[] = {"Realtime", "Recall", "Phasor", "Trend", "Wiring"};
const char* const kTabTips[] = {
    "The meter's readings, renewed once a second",
    "The records downloaded from the meter with Read",
    "The live readings as a phasor diagram",
    "The live readings over time; record them to a file",
    "Check how the meter's circuits are connected",
};

QToolButton* pictureButton(QWidget* parent, const QString& name, const QString& caption,
                           ButtonImage image, QRect geometry) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(caption);
    button->setIcon(buttonIcon(image));
    button->setIconSize(QSize(kButtonIcon, kButtonIcon));
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
    buildMenus();
    addTooltips();
    makeResizable();

    core_.changed = [this] { refresh(); };
    stale_.clock = [this] { return clock(); };
    // Every live reading, whichever tab is shown, goes into the trend.
    core_.replied = [this](ReplyKind kind) {
        if (kind == ReplyKind::Live)
            liveReadingArrived();
    };
    core_.downloadEnded = [this] { downloadEnded(); };
    core_.form.Timer1.onTick = [this] {
        statusBar1_->showClock();
        trend_->clockTick();
        followRecording();
        stale_.check();
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
    stale_.changed = [this] { showStale(); };
    showStale();
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
    followRecording();
}

void Form1::liveReadingArrived() {
    stale_.reading();
    followRecording(); // a recording started since is counted from this reading on
    trend_->liveReading(core_.panel);
    if (trend_->recorder().isRecording())
        recording_.reading();
    wiring_->liveReading(core_.panel, core_.form.inbuf);
    const QDateTime now = clock();
    if (telemetry_)
        telemetry_->liveReading(now, core_.panel);
    statusBar1_->showLastReading(now);
    followRecording();
}

void Form1::followRecording() {
    const TrendRecorder& recorder = trend_->recorder();
    const QDateTime now = clock();
    recording_.follow(recorder.isRecording(), recorder.recordingPath(), now);
    // A download still holds the line: polling stays off until it ends, and the recording shows
    // the pause as a stretch without readings.
    core_.form.liveWanted = recording_.running() || telemetry_ != nullptr;
    statusBar1_->showRecording(recording_.text(now), trend_->recordingText());
}

void Form1::makeResizable() {
    const QSize designed(px(kDesignedWidth), px(kDesignedHeight));
    canvas_ = new QWidget;
    canvas_->setObjectName(QStringLiteral("Canvas"));
    canvas_->setMinimumSize(kSmallestCanvas);
    canvas_->resize(designed);
    for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->isWindow() || w == menuBar_)
            continue;
        const bool hidden = w->isHidden();
        w->setParent(canvas_); // which hides it
        w->setHidden(hidden);
        designed_.insert(w, w->geometry());
    }
    const QRect page = designed_.value(frame1_);
    const QRect client = client_->geometry();
    pageMargins_ = QMargins(page.left() - client.left(), page.top() - client.top(),
                            client.right() - page.right(), client.bottom() - page.bottom());
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("Scroll"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setWidget(canvas_);
    canvas_->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menuBar_);
    layout->addWidget(scroll_);
    // The usual size, unless the screen is smaller: then everything shrinks to fit it.
    QSize size = designed + QSize(0, menuBar_->sizeHint().height());
    if (const QScreen* s = screen())
        size = size.boundedTo(s->availableGeometry().size() - kFrameAllowance);
    resize(size);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == canvas_ && event->type() == QEvent::Resize)
        layoutCanvas();
    return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event) {
    // The guide goes with the window: left open, it would keep the program running.
    if (guide_)
        guide_->close();
    QWidget::closeEvent(event);
}

void Form1::layoutCanvas() {
    const QSize size = canvas_->size();
    const QSize designed(px(kDesignedWidth), px(kDesignedHeight));
    // Smaller than designed, the top row and the margins shrink in proportion; larger, the pages
    // take the room and the rest keeps its place.
    const double s = std::min(
        {1.0, double(size.width()) / designed.width(), double(size.height()) / designed.height()});
    const auto scaled = [s](int v) { return int(std::lround(v * s)); };
    const auto scaledRect = [&scaled](const QRect& r) {
        return QRect(scaled(r.left()), scaled(r.top()), scaled(r.width()), scaled(r.height()));
    };

    for (QToolButton* b : buttons_) {
        b->setGeometry(scaledRect(designed_.value(b)));
        b->setIconSize(QSize(scaled(kButtonIcon), scaled(kButtonIcon)));
    }
    QWidget* picture = canvas_->findChild<QWidget*>(QStringLiteral("Picture1"));
    picture->setGeometry(scaledRect(designed_.value(picture)));
    // The port and link captions keep their type and take the room up to the right edge.
    for (QLabel* label : {label1_, label2_}) {
        QRect r = scaledRect(designed_.value(label));
        r.setRight(std::max(r.right(), size.width() - 4));
        label->setGeometry(r);
    }

    const QRect bar = designed_.value(statusBar1_);
    statusBar1_->setGeometry(0, size.height() - bar.height(), size.width(), bar.height());

    const QRect strip = designed_.value(client_).united(designed_.value(tabStrip1_));
    const int right = designed.width() - strip.right() - 1;
    const int below = bar.top() - strip.bottom() - 1;
    const QRect stripNow(scaled(strip.left()), scaled(strip.top()),
                         size.width() - scaled(strip.left()) - scaled(right),
                         size.height() - bar.height() - scaled(below) - scaled(strip.top()));
    const int tabHeight = designed_.value(tabStrip1_).height();
    tabStrip1_->setGeometry(stripNow.left(), stripNow.top(), stripNow.width(), tabHeight);
    const QRect clientNow = stripNow.adjusted(0, tabHeight - 1, 0, 0);
    client_->setGeometry(clientNow);
    const QRect page = clientNow.marginsRemoved(
        QMargins(scaled(pageMargins_.left()), scaled(pageMargins_.top()),
                 scaled(pageMargins_.right()), scaled(pageMargins_.bottom())));
    for (QWidget* w :
         std::initializer_list<QWidget*>{frame1_, phasor_, trendPage_, wiringPage_, grid_})
        w->setGeometry(page);
}

void Form1::startTimers() {
    if (!timerDrivers_.empty())
        return;
    FormState& form = core_.form;
    for (Timer* timer :
         {&form.Findcom, &form.COMtimout, &form.comunication, &form.Readdat, &form.Timer1})
        timerDrivers_.push_back(std::make_unique<TimerDriver>(*timer));
    stale_.startTimer();
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

    buttons_ = {command1_, command2_, command3, command4, command6, command5};
    connect(command1_, &QToolButton::clicked, this, [this] { core_.read(); });
    saveAndPrint_ = std::make_unique<SaveAndPrint>(*this);
    alerts_ = &saveAndPrint_->alerts();
    connect(command2_, &QToolButton::clicked, this, [this] { saveClicked(); });
    connect(command4, &QToolButton::clicked, this, [this] { printClicked(); });
    connect(command3, &QToolButton::clicked, this, [this] { table_.gridinit(); });
    connect(command6, &QToolButton::clicked, this, [this] { showGuide(); });
    connect(command5, &QToolButton::clicked, this, [this] { close(); });

    auto* picture1 = new QLabel(this);
    picture1->setObjectName(QStringLiteral("Picture1"));
    picture1->setPixmap(meterPicture());
    picture1->setScaledContents(true); // shrinks with the top row on a small screen
    picture1->setGeometry(twipRect(10200, 360, 1170, 1050));

    label1_ = statusLabel(this, QStringLiteral("Label1"), twipRect(11520, 480, 1575, 375));
    label2_ = statusLabel(this, QStringLiteral("Label2"), twipRect(11520, 960, 1575, 375));
}

void Form1::buildMenus() {
    menuBar_ = new QMenuBar(this);
    menuBar_->setObjectName(QStringLiteral("MenuBar"));
    const auto add = [this](QMenu* menu, const QString& text, const QKeySequence& key, auto slot) {
        QAction* action = menu->addAction(text);
        action->setShortcut(key);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };

    fileMenu_ = menuBar_->addMenu(QStringLiteral("&File"));
    fileMenu_->setObjectName(QStringLiteral("FileMenu"));
    saveAction_ = add(fileMenu_, QStringLiteral("&Save..."), keys::save(), [this] {
        if (command2_->isEnabled())
            saveClicked();
    });
    add(fileMenu_, QStringLiteral("&Print..."), keys::print(), [this] { printClicked(); });
    add(fileMenu_, QStringLiteral("&Open recording..."), keys::openRecording(),
        [this] { openRecordingClicked(); });
    quitSeparator_ = fileMenu_->addSeparator();
    add(fileMenu_, QStringLiteral("&Quit"), keys::quit(), [this] { close(); });

    QMenu* view = menuBar_->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("ViewMenu"));
    auto* tabs = new QActionGroup(this);
    for (int i = 0; i < tabStrip1_->count(); ++i) {
        QAction* action =
            add(view, QStringLiteral("&") + tabStrip1_->tabText(i), keys::tab(i), [this, i] {
                if (tabStrip1_->currentIndex() == i)
                    tabClicked(i); // as a click on the tab shown
                else
                    tabStrip1_->setCurrentIndex(i);
            });
        action->setCheckable(true);
        action->setChecked(i == tabStrip1_->currentIndex());
        tabs->addAction(action);
        tabActions_.push_back(action);
    }
    connect(tabStrip1_, &QTabBar::currentChanged, this, [this](int index) {
        if (index >= 0 && index < int(tabActions_.size()))
            tabActions_[size_t(index)]->setChecked(true);
    });

    QMenu* help = menuBar_->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("HelpMenu"));
    add(help, QStringLiteral("&Guide"), keys::guide(), [this] { showGuide(); });
    add(help, QStringLiteral("&About phasemeter"), QKeySequence(), [this] { aboutClicked(); });

    // The field jobs the Wiring tab's Job group saves checks to.
    auto* jobs = new QAction(QStringLiteral("&Jobs..."), this);
    jobs->setObjectName(QStringLiteral("JobsAction"));
    connect(jobs, &QAction::triggered, this, [this] { wiringPage_->showJobs(); });
    addFileAction(jobs);
}

void Form1::addFileAction(QAction* action) {
    fileMenu_->insertAction(quitSeparator_, action);
}

void Form1::addTooltips() {
    command1_->setToolTip(QStringLiteral("Download every record stored in the meter (Recall tab)"));
    command2_->setToolTip(withKey(QStringLiteral("Save the tab shown"), keys::save()));
    findChild<QWidget*>(QStringLiteral("Command3"))
        ->setToolTip(QStringLiteral("Empty the record table"));
    findChild<QWidget*>(QStringLiteral("Command4"))
        ->setToolTip(withKey(QStringLiteral("Print the tab shown"), keys::print()));
    findChild<QWidget*>(QStringLiteral("Command6"))
        ->setToolTip(withKey(QStringLiteral("Open the guide"), keys::guide()));
    findChild<QWidget*>(QStringLiteral("Command5"))
        ->setToolTip(withKey(QStringLiteral("Close the program"), keys::quit()));
    findChild<QWidget*>(QStringLiteral("Picture1"))
        ->setToolTip(QStringLiteral("The double phase digital phase meter"));
    label2_->setToolTip(QStringLiteral("Whether the meter answers"));
    for (int i = 0; i < tabStrip1_->count(); ++i)
        tabStrip1_->setTabToolTip(i, withKey(QString::fromLatin1(kTabTips[i]), keys::tab(i)));
    grid_->setToolTip(QStringLiteral("The records read from the meter; right-click a record to "
                                     "check its wiring"));
}

void Form1::buildViews() {
    // The tab strip: its tabs on top of a client area in which the two views take turns.
    const QRect strip = twipRect(600, 1800, 12375, 7455);
    tabStrip1_ = new QTabBar(this);
    tabStrip1_->setObjectName(QStringLiteral("TabStrip1"));
    tabStrip1_->setFont(songFont(12, true));
    tabStrip1_->setExpanding(false);
    tabStrip1_->setDrawBase(false);
    for (const char* name : kTabNames)
        tabStrip1_->addTab(QString::fromLatin1(name));
    const int tabHeight = tabStrip1_->sizeHint().height();
    client_ = new QFrame(this);
    client_->setObjectName(QStringLiteral("TabStrip1Client"));
    client_->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    client_->setGeometry(strip.adjusted(0, tabHeight - 1, 0, 0));
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
    panelStale_ = new StaleOverlay(frame1_);
    // The diagram of the live readings takes the panel's place.
    phasor_ = new PhasorDiagram(core_.panel, this);
    phasor_->setObjectName(QStringLiteral("Phasor"));
    phasor_->setGeometry(frame1_->geometry());
    phasorStale_ = new StaleOverlay(phasor_);
    // ... and so does the trend of the readings.
    trendAlerts_ = std::make_unique<QueuedAlerts>(*this, saveAndPrint_->alerts());
    trend_ = std::make_unique<TrendTab>(saveAndPrint_->services(), saveAndPrint_->openDialog(),
                                        *trendAlerts_);
    trendPage_ = new TrendPage(*trend_, this);
    trendPage_->setGeometry(frame1_->geometry());
    trend_->changed = [this] {
        trendPage_->refresh();
        followRecording();
    };

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
    // The seven columns share the width; the rows are as tall as their type needs, so that as
    // many records show as the page has room for.
    grid_->horizontalHeader()->setMinimumSectionSize(1);
    grid_->horizontalHeader()->setDefaultSectionSize(px(1612));
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    grid_->verticalHeader()->setMinimumSectionSize(1);
    grid_->verticalHeader()->setDefaultSectionSize(QFontMetrics(grid_->font()).height() + 2);
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    addCheckWiringMenu(*grid_, table_, [this](int record) {
        wiring_->openRecord(table_, record);
        tabStrip1_->setCurrentIndex(kWiringTab);
    });
}

void Form1::buildWiring() {
    // The check of the connections, on a live reading or a record: in the panel's place too.
    wiring_ = std::make_unique<WiringTab>();
    wiring_->clock = [this] { return stale_.clock(); };
    wiringPage_ = new WiringPage(*wiring_, this);
    wiringPage_->setGeometry(frame1_->geometry());
    wiring_->changed = [this] {
        wiringPage_->refresh();
        showStale(); // a record shown is not live
    };
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

void Form1::showStale() {
    const QString caption = stale_.stale() ? stale_.caption() : QString();
    panelStale_->mark(caption);
    phasorStale_->mark(caption);
    wiringPage_->markStale(wiring_->record() == 0 ? caption : QString());
}

bool Form1::readingConfirmed(const QString& verb) {
    if (wiringShown())
        return wiring_->record() != 0 ||
               confirmReadingAge(*alerts_, wiring_->readingTime(), stale_.clock(), verb);
    return core_.form.realview != kTrue ||
           confirmReadingAge(*alerts_, stale_.last(), stale_.clock(), verb);
}

void Form1::saveClicked() {
    if (trendShown()) {
        trend_->saveClicked(trendPage_->plot()->render(
            trendPage_->plot()->size() * 2, trend_->titleLine(QDateTime::currentDateTime())));
        return;
    }
    if (!readingConfirmed(QStringLiteral("Save")))
        return;
    if (wiringShown())
        wiring_->save(saveAndPrint_->services());
    else
        saveAndPrint_->save(core_, stale_.last(), table_); // read once the dialog has closed
}

void Form1::printClicked() {
    if (!trendShown() && !readingConfirmed(QStringLiteral("Print")))
        return;
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
        saveAndPrint_->printDrawing([this](QPainter& p, const QRectF& page) {
            paintWiringReport(p, page, wiringReportContent(*wiring_));
        });
    else
        saveAndPrint_->print(core_, stale_.last(), table_);
}

void Form1::showGuide() {
    if (!guide_) {
        guide_ = new GuideWindow(this);
        guide_->setWindowIcon(windowIcon());
    }
    guide_->show();
    guide_->raise();
    guide_->activateWindow();
}

void Form1::openRecordingClicked() {
    tabStrip1_->setCurrentIndex(kTrendTab);
    trend_->openClicked();
}

void Form1::aboutClicked() {
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
    label1_->setToolTip(form.ui.label1Tip.isEmpty() ? QStringLiteral("The port tried or in use")
                                                    : form.ui.label1Tip);
    label2_->setText(form.ui.label2);
    command1_->setEnabled(form.ui.readEnabled);
    command2_->setEnabled(form.ui.saveEnabled);
    saveAction_->setEnabled(form.ui.saveEnabled);
    statusBar1_->showLink(linkStatus(form.ui, form.linked == kTrue));
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

void Form1::saveSettings(QSettings& settings) const {
    settings.beginGroup(QStringLiteral("window"));
    settings.setValue(QStringLiteral("geometry"), normalGeometry());
    settings.setValue(QStringLiteral("maximized"), isMaximized());
    settings.setValue(QStringLiteral("tab"), tabStrip1_->currentIndex());
    settings.endGroup();

    const WiringSettings& w = wiring_->settings();
    settings.beginGroup(QStringLiteral("wiring"));
    settings.setValue(QStringLiteral("system"), int(w.system));
    settings.setValue(QStringLiteral("firstElement"), w.firstElement);
    settings.setValue(QStringLiteral("commonTerminal"), w.commonTerminal);
    settings.setValue(QStringLiteral("loadMin"), w.loadRange.min);
    settings.setValue(QStringLiteral("loadMax"), w.loadRange.max);
    settings.setValue(QStringLiteral("site"), wiring_->site);
    settings.setValue(QStringLiteral("meterNumber"), wiring_->meterNumber);
    settings.setValue(QStringLiteral("note"), wiring_->note);
    settings.endGroup();

    settings.beginGroup(QStringLiteral("trend"));
    QStringList quantities;
    for (Field f : trend_->selection().checked())
        quantities << QString::number(int(f));
    settings.setValue(QStringLiteral("quantities"), quantities);
    const auto span = trend_->viewport().span();
    settings.setValue(QStringLiteral("span"), span ? int(*span) : -1);
    settings.endGroup();
}

void Form1::restoreSettings(QSettings& settings) {
    // Whatever is missing or out of range keeps its start value: a settings file from another
    // version, or edited by hand, never puts the window in a state it cannot show.
    const auto intValue = [&settings](const QString& key, int min, int max) -> std::optional<int> {
        bool ok = false;
        const int v = settings.value(key).toInt(&ok);
        return ok && v >= min && v <= max ? std::optional<int>(v) : std::nullopt;
    };

    settings.beginGroup(QStringLiteral("wiring"));
    WiringSettings w = wiring_->settings();
    if (const auto v = intValue(QStringLiteral("system"), 0, int(WiringSystem::VectorGroup)))
        w.system = WiringSystem(*v);
    if (const auto v = intValue(QStringLiteral("firstElement"), 1, 3))
        w.firstElement = *v;
    if (const auto v = intValue(QStringLiteral("commonTerminal"), 0, 3))
        w.commonTerminal = *v;
    const auto loadMin = intValue(QStringLiteral("loadMin"), -180, 180);
    const auto loadMax = intValue(QStringLiteral("loadMax"), -180, 180);
    if (loadMin && loadMax && *loadMin < *loadMax)
        w.loadRange = {double(*loadMin), double(*loadMax)};
    wiring_->setSettings(w);
    wiring_->site = settings.value(QStringLiteral("site"), wiring_->site).toString();
    wiring_->meterNumber =
        settings.value(QStringLiteral("meterNumber"), wiring_->meterNumber).toString();
    wiring_->note = settings.value(QStringLiteral("note"), wiring_->note).toString();
    settings.endGroup();
    wiringPage_->showTabSettings();

    settings.beginGroup(QStringLiteral("trend"));
    if (settings.contains(QStringLiteral("quantities"))) {
        std::vector<Field> fields;
        for (const QString& text : settings.value(QStringLiteral("quantities")).toStringList()) {
            bool ok = false;
            const int f = text.toInt(&ok);
            if (ok && f >= 0 && f < kFieldCount)
                fields.push_back(Field(f));
        }
        if (!fields.empty()) {
            for (Field f : trend_->selection().checked())
                trend_->setChecked(f, false);
            for (Field f : fields)
                trend_->setChecked(f, true);
        }
    }
    if (const auto v = intValue(QStringLiteral("span"), 0, int(TrendViewport::Span::All)))
        trend_->follow(TrendViewport::Span(*v));
    settings.endGroup();

    settings.beginGroup(QStringLiteral("window"));
    const QRect saved = settings.value(QStringLiteral("geometry")).toRect();
    if (saved.isValid()) {
        QList<QRect> screens;
        if (QScreen* primary = QGuiApplication::primaryScreen())
            screens << primary->availableGeometry();
        for (QScreen* s : QGuiApplication::screens())
            if (s != QGuiApplication::primaryScreen())
                screens << s->availableGeometry();
        setGeometry(placeOnScreen(saved, screens));
    }
    if (settings.value(QStringLiteral("maximized")).toBool())
        setWindowState(windowState() | Qt::WindowMaximized);
    if (const auto v = intValue(QStringLiteral("tab"), 0, tabStrip1_->count() - 1))
        tabStrip1_->setCurrentIndex(*v);
    settings.endGroup();
}

} // namespace pm
