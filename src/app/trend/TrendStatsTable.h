#pragma once

#include "app/trend/TrendTab.h"

#include <QStaticText>
#include <QWidget>
#include <vector>

namespace pm {

// The statistics of the span below the plot: a row per quantity, its name in its colour, then
// the least and greatest value with their times and the mean. It changes with every wheel step,
// so it is drawn as prepared text in plain cells rather than laid out as a document.
class TrendStatsTable : public QWidget {
public:
    explicit TrendStatsTable(QWidget* parent = nullptr);

    void setRows(const std::vector<TrendSpanStats>& rows);
    // The cells shown, a row of texts each, the heading first; none without rows.
    std::vector<QStringList> cells() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Cell {
        QStaticText text;
        QColor color;
        bool bold = false;
    };
    void layOut();

    std::vector<std::vector<Cell>> rows_;
    std::vector<int> columnWidths_;
    int lineHeight_ = 0;
};

} // namespace pm
