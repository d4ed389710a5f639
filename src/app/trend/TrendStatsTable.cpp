#include "app/trend/TrendStatsTable.h"

#include "app/style/QuantityColors.h"
#include "app/trend/TrendReadout.h"

#include <QEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace pm {

namespace {
constexpr int kPadding = 6; // between columns
const char* const kHeadings[] = {"", "Min", "at", "Max", "at", "Mean"};

QFont boldOf(QFont font) {
    font.setBold(true);
    return font;
}
} // namespace

TrendStatsTable::TrendStatsTable(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setFixedHeight(0);
}

void TrendStatsTable::setRows(const std::vector<TrendSpanStats>& rows) {
    rows_.clear();
    if (!rows.empty()) {
        std::vector<Cell> heading;
        for (const char* h : kHeadings)
            heading.push_back(
                {QStaticText(QString::fromLatin1(h)), palette().color(foregroundRole()), true});
        rows_.push_back(std::move(heading));
    }
    for (const TrendSpanStats& r : rows) {
        std::vector<Cell> row;
        const QStringList texts = trendStatsCells(r.field, r.stats, r.decimals, r.withDate);
        for (int c = 0; c < texts.size(); ++c)
            row.push_back({QStaticText(texts[c]),
                           c == 0 ? quantityColor(r.field) : palette().color(foregroundRole()),
                           c == 0});
        rows_.push_back(std::move(row));
    }
    layOut();
}

std::vector<QStringList> TrendStatsTable::cells() const {
    std::vector<QStringList> out;
    for (const auto& row : rows_) {
        QStringList texts;
        for (const Cell& cell : row)
            texts << cell.text.text();
        out.push_back(texts);
    }
    return out;
}

void TrendStatsTable::layOut() {
    const QFont bold = boldOf(font());
    columnWidths_.assign(std::size(kHeadings), 0);
    for (auto& row : rows_)
        for (std::size_t c = 0; c < row.size() && c < columnWidths_.size(); ++c) {
            row[c].text.prepare(QTransform(), row[c].bold ? bold : font());
            columnWidths_[c] =
                std::max(columnWidths_[c], int(std::ceil(row[c].text.size().width())));
        }
    lineHeight_ = QFontMetrics(bold).height();
    setFixedHeight(int(rows_.size()) * lineHeight_);
    update();
}

void TrendStatsTable::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFont bold = boldOf(font());
    int y = 0;
    for (std::size_t r = 0; r < rows_.size(); ++r, y += lineHeight_) {
        int x = 0;
        for (std::size_t c = 0; c < rows_[r].size() && c < columnWidths_.size(); ++c) {
            const Cell& cell = rows_[r][c];
            const int width = int(std::ceil(cell.text.size().width()));
            // Names to the left, the times centred, values to the right as on the panel.
            const int offset = c == 0       ? 0
                               : c % 2 == 0 ? (columnWidths_[c] - width) / 2
                                            : columnWidths_[c] - width;
            painter.setFont(cell.bold ? bold : font());
            painter.setPen(cell.color);
            painter.drawStaticText(x + offset, y, cell.text);
            x += columnWidths_[c] + kPadding * 2;
        }
    }
}

void TrendStatsTable::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        layOut();
}

} // namespace pm
