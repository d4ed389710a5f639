#include "app/trend/TrendPage.h"
#include "app/trend/TrendPlot.h"
#include "app/trend/TrendReadout.h"
#include "app/trend/TrendSaving.h"
#include "app/trend/TrendTab.h"
#include "fakes/FakeDialogs.h"
#include "fakes/FakeOutputs.h"
#include "platform/DiskFileStore.h"
#include "records/Saving.h"
#include "trend/TrendSpan.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QValueAxis>
#include <gtest/gtest.h>

using pm::Field;

namespace {

// The Trend page on its own, shown offscreen, fed readings by hand.
struct TrendPlotTest : ::testing::Test {
    QTemporaryDir tmp;
    FakeSaveDialog dialog;
    FakeOpenDialog opener;
    pm::DiskFileStore files;
    FakeSnapshot snapshot;
    FakeWorkbook workbook;
    FakeAlerts alerts;
    pm::SaveServices services{dialog, files, snapshot, workbook, alerts, tmp.path()};
    pm::TrendTab tab{services, opener, alerts};
    const QDateTime start{QDate(2026, 7, 12), QTime(8, 0, 0)};
    qint64 elapsed = 0;
    pm::Panel panel;
    pm::TrendPage page{tab};

    void SetUp() override {
        tab.clock = [this] { return start.addMSecs(elapsed); };
        tab.changed = [this] { page.refresh(); };
        page.resize(900, 600);
        page.show();
    }
    pm::TrendPlot* plot() const { return page.plot(); }
    void reading(Field f, const QString& text) {
        elapsed += 1000;
        panel.setText(f, text);
        tab.liveReading(panel);
    }
    void key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, k, modifiers);
        QApplication::sendEvent(plot(), &press);
    }
};

} // namespace

// Qt works an axis's ticks out anew at every change of its range, anchor or step, stepping from
// the first to the last: each state it passes through must have a few ticks, or a reading of
// 3.4e38 on a step of 50 fills the memory.
TEST_F(TrendPlotTest, AnyReadingTheMeterCanSendGetsAFewTicksInEveryStateOfTheAxis) {
    tab.follow(pm::TrendViewport::Span::All);
    tab.setChecked(Field::P1, true); // kW on the left: either sign
    QValueAxis* left = plot()->valueAxis(pm::TrendSide::Left);
    int most = 0;
    auto count = [&] {
        const pm::ValueScale s{left->min(), left->max(), left->tickAnchor(), left->tickInterval()};
        most = std::max(most, s.ticks());
    };
    QObject::connect(left, &QValueAxis::rangeChanged, count);
    QObject::connect(left, &QValueAxis::tickIntervalChanged, count);
    QObject::connect(left, &QValueAxis::tickAnchorChanged, count);

    // As the panel shows them: digits, never an exponent.
    const QString huge = QStringLiteral("340,282,346,638,528,859,811,704,183,484,516,925,440");
    const QString values[] = {"0.0001",
                              "0.0002",
                              "32,767",
                              "0.0001",
                              huge,
                              QStringLiteral("-") + huge,
                              "100,000,000,000,000,000,000",
                              "100,000,000,000,000,000,001",
                              "-0.5",
                              "0.25",
                              huge};
    for (const QString& v : values) {
        reading(Field::P1, v);
        EXPECT_GE(left->tickInterval(), (left->max() - left->min()) / pm::kMaxValueTicks)
            << v.toStdString();
    }
    EXPECT_GT(most, 1);
    EXPECT_LE(most, pm::kMaxValueTicks);
    EXPECT_GE(left->max(), 3.4e38);
    EXPECT_LE(left->min(), -3.4e38);

    // Zoomed far in on values of 1e20, or out past what a double holds: the axis stops.
    for (int n = 0; n < 40; ++n)
        tab.zoomValues(1e-6, 0.5);
    for (int n = 0; n < 40; ++n)
        tab.zoomValues(1e20, 0.5);
    EXPECT_LE(most, pm::kMaxValueTicks);
    EXPECT_TRUE(std::isfinite(left->max()));
}

TEST_F(TrendPlotTest, A32767VoltReadingOnRangeThreeKeepsTheVoltAxisReadable) {
    tab.follow(pm::TrendViewport::Span::LastMinute);
    for (int k = 0; k < 5; ++k)
        reading(Field::U1, QStringLiteral("230.00"));
    reading(Field::U1, QStringLiteral("32767"));
    const QValueAxis* left = plot()->valueAxis(pm::TrendSide::Left);
    EXPECT_GE(left->max(), 32767.0);
    const pm::ValueScale s{left->min(), left->max(), left->tickAnchor(), left->tickInterval()};
    EXPECT_GE(s.ticks(), 3);
    EXPECT_LE(s.ticks(), pm::kMaxValueTicks);
}

// One dip, then the usual again: the axis comes back to the usual range without a reset.
TEST_F(TrendPlotTest, TheValueAxisShrinksBackOnceADipHasLeftTheSpan) {
    tab.follow(pm::TrendViewport::Span::LastMinute);
    auto usual = [&](int n) {
        for (int k = 0; k < n; ++k)
            reading(Field::U1, k % 2 ? QStringLiteral("230.50") : QStringLiteral("229.80"));
    };
    usual(20);
    const pm::ValueScale before = tab.picture(600).axes[0].scale;
    reading(Field::U1, QStringLiteral("100.00"));
    EXPECT_LE(tab.picture(600).axes[0].scale.min, 100.0);
    usual(58);
    EXPECT_LE(tab.picture(600).axes[0].scale.min, 100.0) << "the dip is still shown";
    usual(3);
    const pm::ValueScale back = tab.picture(600).axes[0].scale;
    EXPECT_EQ(back.min, before.min) << "230 V no longer squashed at the top";
    EXPECT_EQ(back.max, before.max);
    usual(5);
    EXPECT_EQ(tab.picture(600).axes[0].scale.min, back.min) << "and it stays";
}

// A stretch without readings that began before the span shown is still shaded, from the left
// edge, and named with the time it began.
TEST_F(TrendPlotTest, AGapThatBeganBeforeTheSpanIsShadedAndNamed) {
    tab.follow(pm::TrendViewport::Span::LastMinute);
    for (int k = 0; k < 60; ++k)
        reading(Field::U1, QStringLiteral("230.00"));
    elapsed += 39'000; // the link lost for 40 s
    for (int k = 0; k < 30; ++k)
        reading(Field::U1, QStringLiteral("230.00"));
    const pm::TrendPicture p = tab.picture(600);
    ASSERT_LT(start.addSecs(60).toMSecsSinceEpoch(), p.range.from) << "began before the span";
    ASSERT_EQ(p.gaps.size(), 1u);
    EXPECT_EQ(p.gaps[0].label, "No readings 08:01:00 to 08:01:40");
    EXPECT_EQ(plot()->gapLabels(), QStringList{"No readings 08:01:00 to 08:01:40"});

    // Between readings held in whole blocks, the gap found is the same.
    const std::vector<pm::TrendGap> gaps = pm::trendGaps(tab.shown(), p.range.from, p.range.to, 10);
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(gaps[0].from, start.addSecs(60).toMSecsSinceEpoch());
}

// 21 s of readings followed over the last minute start the span 39 s before the first: a drag
// moves from where the span is, never jumping to the first reading.
TEST(TrendViewport, APanFromAFollowedSpanThatStartsBeforeTheFirstReadingMovesByTheDrag) {
    pm::TrendViewport v;
    v.follow(pm::TrendViewport::Span::LastMinute);
    const qint64 first = 1'000'000;
    const qint64 end = first + 21'000;
    const qint64 from = v.range(first, end).from;
    ASSERT_EQ(from, first - 37'800);
    v.pan(-1'000, first, end);
    EXPECT_EQ(v.range(first, end).from, from) << "already before the first reading: stays";
    v.pan(+1'000, first, end);
    EXPECT_EQ(v.range(first, end).from, from) << "already at the latest: stays";
    EXPECT_EQ(v.range(first, end).length(), 60'000);
}

TEST_F(TrendPlotTest, ThePlotTakesTheFocusAndAnswersTheKeys) {
    EXPECT_EQ(plot()->focusPolicy(), Qt::StrongFocus);
    tab.follow(pm::TrendViewport::Span::LastMinute);
    for (int k = 0; k < 120; ++k)
        reading(Field::U1, QStringLiteral("230.00"));
    const pm::TrendViewport::Range followed = tab.shownRange();

    key(Qt::Key_Left);
    EXPECT_FALSE(tab.viewport().following());
    EXPECT_EQ(tab.shownRange().from, followed.from - 6'000) << "a tenth of the span back";
    key(Qt::Key_Right);
    EXPECT_EQ(tab.shownRange().from, followed.from);
    const pm::ValueScale volts = tab.picture(600).axes[0].scale;
    const double tenth = (volts.max - volts.min) / 10;
    key(Qt::Key_Up);
    EXPECT_DOUBLE_EQ(tab.picture(600).axes[0].scale.min, volts.min + tenth);
    for (int n = 0; n < 30; ++n)
        key(Qt::Key_Down);
    EXPECT_EQ(tab.picture(600).axes[0].scale.min, 0) << "no further down than no volts";
    EXPECT_GE(tab.picture(600).axes[1].scale.min, 0) << "nor the amperes, moved alike";
    tab.resetValueAxes();
    key(Qt::Key_Plus);
    EXPECT_EQ(tab.shownRange().length(), 48'000) << "zoomed in about the middle";
    key(Qt::Key_Minus);
    EXPECT_EQ(tab.shownRange().length(), 60'000);
    key(Qt::Key_Home);
    EXPECT_TRUE(tab.viewport().following());
    EXPECT_EQ(tab.viewport().span(), pm::TrendViewport::Span::All);

    tab.pin(start.addSecs(30).toMSecsSinceEpoch());
    tab.pin(start.addSecs(40).toMSecsSinceEpoch());
    ASSERT_EQ(tab.readout(std::nullopt).cursors.size(), 2u);
    key(Qt::Key_Delete);
    EXPECT_TRUE(tab.readout(std::nullopt).cursors.empty());
}

TEST_F(TrendPlotTest, AClickOnAPinTakesItAwayAndAClickBesideItPinsAnother) {
    tab.follow(pm::TrendViewport::Span::All);
    for (int k = 0; k < 60; ++k)
        reading(Field::U1, QStringLiteral("230.00"));
    const qint64 at = start.addSecs(20).toMSecsSinceEpoch();
    tab.pin(at, 500);
    tab.pin(at + 10'000, 500);
    tab.pin(at + 300, 500); // on the first pin
    ASSERT_EQ(tab.readout(std::nullopt).cursors, std::vector<qint64>{at + 10'000});
    tab.pin(at + 600, 500); // beside it: the reading nearest, pinned
    EXPECT_EQ(tab.readout(std::nullopt).cursors, (std::vector<qint64>{at + 10'000, at + 1'000}));
}

// Watching readings come in, the read-out of a cursor near the newest keeps clear of them; a
// saved picture leaves the read-out and the mouse's line out, whatever they were.
TEST_F(TrendPlotTest, TheReadOutNeverCoversTheNewestReadingsNorASavedPicture) {
    tab.follow(pm::TrendViewport::Span::LastMinute);
    for (int k = 0; k < 90; ++k)
        reading(Field::U1, QStringLiteral("230.00"));
    const QImage bare = plot()->render(plot()->size(), QStringLiteral("title"));

    const qint64 newest = tab.shown().msecsAt(tab.shown().size() - 1);
    for (qint64 back : {0, 3'000, 10'000, 30'000}) {
        tab.clearPins();
        tab.pin(newest - back);
        const QRectF box = plot()->readoutRect();
        ASSERT_FALSE(box.isEmpty());
        const QRectF area = plot()->chart()->plotArea();
        const double x = area.left() + double(newest - tab.shownRange().from) /
                                           double(tab.shownRange().length()) * area.width();
        EXPECT_FALSE(box.left() <= x + 2 && box.right() >= x - 40) << back;
        EXPECT_TRUE(area.contains(box)) << back;
    }
    tab.clearPins();
    QMouseEvent move(QEvent::MouseMove, QPointF(plot()->width() / 2.0, plot()->height() / 2.0),
                     QPointF(), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(plot()->viewport(), &move);
    ASSERT_FALSE(plot()->readoutRect().isEmpty()) << "the mouse over the plot shows a read-out";
    EXPECT_EQ(plot()->render(plot()->size(), QStringLiteral("title")), bare);
    EXPECT_FALSE(plot()->readoutRect().isEmpty()) << "and still does on the screen";
}

// The shading of a gap is a faint grey over white and U1 is one red: a palette would change both.
TEST(TrendPicture, APngKeepsEveryColour) {
    QImage plot(64, 32, QImage::Format_RGB32);
    for (int y = 0; y < plot.height(); ++y)
        for (int x = 0; x < plot.width(); ++x)
            plot.setPixel(x, y, qRgb(255 - x, 200 + y, (x * 7 + y * 3) % 256));
    QByteArray bytes;
    QString why;
    ASSERT_TRUE(pm::encodeTrendPicture(plot, "png", &bytes, &why)) << why.toStdString();
    const QImage back = QImage::fromData(bytes, "PNG").convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(back, plot);
}

TEST_F(TrendPlotTest, OverMoreThanADayTheStatisticsGiveTheDates) {
    tab.follow(pm::TrendViewport::Span::All);
    reading(Field::U1, QStringLiteral("231.00"));
    EXPECT_EQ(
        pm::trendStatsCells(Field::U1, tab.spanStats()[0].stats, 2, tab.spanStats()[0].withDate)[2],
        "08:00:01");
    elapsed += 24 * 3600 * 1000;
    reading(Field::U1, QStringLiteral("229.00"));
    const pm::TrendSpanStats s = tab.spanStats()[0];
    const QStringList cells = pm::trendStatsCells(Field::U1, s.stats, s.decimals, s.withDate);
    EXPECT_EQ(cells[2], "2026-07-13 08:00:02") << "the minimum, a day later";
    EXPECT_EQ(cells[4], "2026-07-12 08:00:01");
}

// What the window keeps between runs comes back on the same axes.
TEST_F(TrendPlotTest, TheQuantitiesTickedComeBackOnTheirAxes) {
    tab.setChecked(Field::P1, true); // kW takes the left axis from the volts
    tab.setChecked(Field::PF2, false);
    const QStringList kept = tab.quantityNames();
    EXPECT_EQ(kept, (QStringList{"P1", "I1", "I2"}));

    pm::TrendTab again{services, opener, alerts};
    again.setQuantityNames(QStringList{"nonsense"});
    EXPECT_EQ(again.quantityNames(), (QStringList{"U1", "U2", "I1", "I2"})) << "left as it was";
    again.setQuantityNames(kept);
    EXPECT_EQ(again.quantityNames(), kept);
    EXPECT_EQ(again.selection().unitOn(pm::TrendSide::Left), pm::TrendUnit::Kilowatt);
}
