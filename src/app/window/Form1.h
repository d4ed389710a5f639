#pragma once

#include "app/recall/RecordTableModel.h"
#include "app/window/ReadingAge.h"
#include "app/window/RecordingIndicator.h"
#include "app/window/SaveAndPrint.h"
#include "link/TimerDriver.h"
#include "platform/Alerts.h"
#include "protocol/MeterCore.h"
#include "records/RecordTable.h"

#include <QDateTime>
#include <QHash>
#include <QRect>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QSettings;
class QScrollArea;
class QTabBar;
class QTableView;
class QToolButton;

namespace pm {

class Telemetry;
class GuideWindow;
class PhasorDiagram;
class QueuedAlerts;
class TrendPage;
class TrendTab;
class RealtimePanel;
class WiringPage;
class WiringTab;
class SerialPort;
class StatusBar;
class StaleOverlay;

// The one window: the menus, the buttons, the port and link captions, the real-time panel, the
// record table, the phasor diagram, the trend of the live readings and the wiring check on five
// tabs, and the status bar. It shows the state of the core and hands clicks to it; the behaviour
// lives in the core and the record table.
class Form1 : public QWidget {
public:
    // Builds the window and runs the start-up: clock, discovery on, empty table, real-time view.
    // The timers tick only once startTimers() has been called (tests tick them by hand).
    explicit Form1(SerialPort& port, QWidget* parent = nullptr);
    ~Form1() override;

    // From now on the five timers tick on their own, each on a QTimer at its interval.
    void startTimers();
    // From now on every live reading and every change of the link also goes to `telemetry`, and
    // what it has to say about the broker or the metrics page shows in the status bar.
    void setTelemetry(Telemetry& telemetry);

    MeterCore& core() { return core_; }
    RecordTable& table() { return table_; }
    SaveAndPrint& saveAndPrint() { return *saveAndPrint_; }
    TrendTab& trend() { return *trend_; }
    WiringTab& wiring() { return *wiring_; }
    // The age of the live readings, greying the live views when they are old.
    StaleWatch& staleWatch() { return stale_; }
    // Where the message about records that did not arrive goes (a message box unless changed).
    void setAlerts(Alerts& alerts) { alerts_ = &alerts; }
    // The time of a reading as the status bar and the recording indicator give it.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };

    // The File menu. Entries added here go above "Quit".
    void addFileAction(QAction* action);
    QMenuBar* menuBar() const { return menuBar_; }
    StatusBar* statusBar() const { return statusBar1_; }
    // Help's window, once it has been asked for.
    GuideWindow* guide() const { return guide_; }
    void showGuide();

    // What comes back on the next start: the window's place and size, the tab shown, the wiring
    // check's settings and report fields, the trend's quantities and span.
    void saveSettings(QSettings& settings) const;
    // A place on a screen that is gone puts the window on one that is there.
    void restoreSettings(QSettings& settings);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The window may be resized: everything built so far moves onto a canvas laid out again at
    // every size. A larger window gives the pages more room; a smaller one shrinks the rows and
    // the pages with it, and the canvas scrolls only below a size no screen is smaller than.
    void makeResizable();
    void layoutCanvas();
    void buildMenus();
    void addTooltips();
    void buildTopRow();
    void buildViews();
    void tabClicked(int index);
    bool trendShown() const;
    bool wiringShown() const;
    void buildWiring();
    void saveClicked();
    void printClicked();
    // Greys the live views without a fresh reading; a record in the Wiring tab is not live.
    void showStale();
    // A live view or its report about to be saved or printed: fresh, or wanted anyway.
    bool readingConfirmed(const QString& verb);
    void aboutClicked();
    void openRecordingClicked();
    // Keeps the recording indicator and polling in step with the recorder: while a recording or a
    // publisher runs, live readings are asked for whichever tab is shown.
    void followRecording();
    void liveReadingArrived();
    // Names the records a download left out, in the status bar and in a message.
    void downloadEnded();
    // Brings every control up to date with the core.
    void refresh();

    RecordTable table_;
    RecordTableModel model_{table_};
    MeterCore core_;
    std::vector<std::unique_ptr<TimerDriver>> timerDrivers_; // gone before the timers they drive
    std::unique_ptr<SaveAndPrint> saveAndPrint_;             // CommonDialog1 and what it serves
    std::unique_ptr<QueuedAlerts> trendAlerts_;
    std::unique_ptr<TrendTab> trend_;   // the readings over time, and their log
    std::unique_ptr<WiringTab> wiring_; // the check of the connections
    Alerts* alerts_ = nullptr;          // the message box of Save and Print unless changed
    StaleWatch stale_;

    RecordingIndicator recording_;

    QMenuBar* menuBar_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QAction* quitSeparator_ = nullptr; // File menu entries added later go above it
    QAction* saveAction_ = nullptr;
    std::vector<QAction*> tabActions_;
    GuideWindow* guide_ = nullptr;
    std::vector<QToolButton*> buttons_;
    QToolButton* command1_ = nullptr; // "Read"
    QToolButton* command2_ = nullptr; // "Save"
    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    QTabBar* tabStrip1_ = nullptr;
    QFrame* client_ = nullptr; // the frame of the tab strip around the pages
    RealtimePanel* frame1_ = nullptr;
    PhasorDiagram* phasor_ = nullptr;
    TrendPage* trendPage_ = nullptr;
    WiringPage* wiringPage_ = nullptr;
    QTableView* grid_ = nullptr;
    StatusBar* statusBar1_ = nullptr;
    StaleOverlay* panelStale_ = nullptr;
    StaleOverlay* phasorStale_ = nullptr;

    Telemetry* telemetry_ = nullptr; // MQTT and Prometheus, when asked for
    QScrollArea* scroll_ = nullptr;
    QWidget* canvas_ = nullptr;
    QHash<QWidget*, QRect> designed_; // each control's place at the designed size
    QMargins pageMargins_;            // of the pages inside the tab strip's frame, as designed
};

} // namespace pm
