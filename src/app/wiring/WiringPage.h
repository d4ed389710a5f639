#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace pm {

class JobGroup;
class PhasorDiagram;
class StaleOverlay;
class WiringTab;

// The page of the Wiring tab: the settings of the check and the report's fields beside the
// phasor diagram, the verdict and the details below it. It shows the tab's state and hands every
// change to it.
class WiringPage : public QWidget {
public:
    WiringPage(WiringTab& tab, QWidget* parent = nullptr);

    // Brings the page up to date with the tab.
    void refresh();
    // The Jobs window, as "Jobs..." in the Job group opens it.
    void showJobs();
    // Greys the diagram and the verdict under `caption` ("No reading since 09:07:23"); an empty
    // caption takes the marking away.
    void markStale(const QString& caption);
    // Puts the tab's settings and report fields into the controls, as when they were restored.
    void showTabSettings();

private:
    QWidget* buildControls();
    void settingsChanged();
    void rangeChosen(int index);

    WiringTab& tab_;
    QComboBox* system_ = nullptr;
    QComboBox* common_ = nullptr;
    QSpinBox* loadMin_ = nullptr;
    QSpinBox* loadMax_ = nullptr;
    QComboBox* loadRange_ = nullptr;
    QPushButton* findLineB_ = nullptr;
    QLabel* lineB_ = nullptr;
    QLabel* source_ = nullptr;
    QPushButton* live_ = nullptr;
    PhasorDiagram* diagram_ = nullptr;
    QLabel* verdict_ = nullptr;
    QLabel* details_ = nullptr;
    JobGroup* jobGroup_ = nullptr;
    StaleOverlay* stale_ = nullptr;
};

} // namespace pm
