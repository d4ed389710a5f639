#pragma once

#include "protocol/Reading.h"

#include <QWidget>
#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace pm {

class TrendPlot;
class TrendStatsTable;
class TrendTab;

// The page of the Trend tab: the quantities to plot in groups, the span, "Fit", "Follow latest",
// "Record...", "Open..." and "Live" beside the plot, the statistics of the span below it. It shows
// the tab's state and hands every click to it; the plot is drawn afresh only while the page is
// shown.
class TrendPage : public QWidget {
public:
    TrendPage(TrendTab& tab, QWidget* parent = nullptr);

    // Brings the controls and the plot up to date with the tab, now or, while hidden, once shown.
    void refresh();
    TrendPlot* plot() const { return plot_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildControls();
    void redraw();
    void showReadout();

    TrendTab& tab_;
    std::array<QCheckBox*, kFieldCount> checks_{};
    QComboBox* span_ = nullptr;
    QPushButton* record_ = nullptr;
    QPushButton* live_ = nullptr;
    QCheckBox* follow_ = nullptr;
    TrendStatsTable* stats_ = nullptr;
    QLabel* held_ = nullptr;
    QLabel* recording_ = nullptr;
    TrendPlot* plot_ = nullptr;
    bool stale_ = true; // not drawn since the readings or the view changed
};

} // namespace pm
