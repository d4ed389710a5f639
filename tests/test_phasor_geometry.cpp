#include "Printers.h"
#include "TestVectors.h"
#include "app/phasor/PhasorGeometry.h"
#include "protocol/Decode.h"
#include "protocol/Reading.h"

#include <gtest/gtest.h>
#include <limits>

using pm::Field;
using pm::Panel;

namespace {
void expectPoint(QPointF actual, double x, double y, const char* what) {
    EXPECT_NEAR(actual.x(), x, 1e-9) << what;
    EXPECT_NEAR(actual.y(), y, 1e-9) << what;
}

Panel panelOf(const char* vector) {
    Panel panel;
    pm::livein(readingVector(QString::fromLatin1(vector)).block, panel);
    return panel;
}
} // namespace

TEST(PhasorGeometry, LaggingAnglesRunClockwiseOnScreen) {
    expectPoint(pm::endPoint(0, 2), 2, 0, "reference along +x");
    expectPoint(pm::endPoint(90, 1), 0, 1, "90 lagging points down");
    expectPoint(pm::endPoint(180, 1), -1, 0, "180");
    expectPoint(pm::endPoint(270, 1), 0, -1, "270 lagging points up");
    expectPoint(pm::endPoint(360, 1), 1, 0, "360.0 is the reference direction");
    expectPoint(pm::endPoint(-90, 1), 0, -1, "leading");
    expectPoint(pm::endPoint(45, 0), 0, 0, "zero length");
}

TEST(PhasorGeometry, AnglesAreNormalisedInTenths) {
    EXPECT_DOUBLE_EQ(pm::normalizedDegrees(360.0), 0.0);
    EXPECT_DOUBLE_EQ(pm::normalizedDegrees(359.9), 359.9);
    EXPECT_DOUBLE_EQ(pm::normalizedDegrees(359.96), 0.0);
    EXPECT_DOUBLE_EQ(pm::normalizedDegrees(-90), 270.0);
    EXPECT_DOUBLE_EQ(pm::normalizedDegrees(3276.7), 36.7); // the largest angle the block carries
    EXPECT_DOUBLE_EQ(pm::normalizedDegrees(std::numeric_limits<double>::quiet_NaN()), 0.0);
    EXPECT_EQ(pm::angleText(pm::normalizedDegrees(360)), QString::fromUtf8("0.0°"));
}

TEST(PhasorGeometry, PhasorsAreChainedFromTheirReferences) {
    EXPECT_DOUBLE_EQ(pm::u2Angle(120), 120);
    EXPECT_DOUBLE_EQ(pm::u2Angle(360), 0);
    EXPECT_DOUBLE_EQ(pm::i1Angle(60), 60);
    EXPECT_DOUBLE_EQ(pm::i2Angle(120, 122.5), 242.5); // I2 is placed from U2, not from U1
    EXPECT_DOUBLE_EQ(pm::i2Angle(300, 90), 30);
    // Symmetric three-phase-like case: both channels lag their voltage by 30 degrees.
    EXPECT_DOUBLE_EQ(pm::impliedI1I2(120, 30, 30), 120);
    EXPECT_DOUBLE_EQ(pm::impliedI1I2(120, 180, 122.5), 62.5);
    EXPECT_DOUBLE_EQ(pm::impliedI1I2(0, 60, 0), 300);
    EXPECT_DOUBLE_EQ(pm::impliedI1I2(360, 0, 360), 0);
}

TEST(PhasorGeometry, AngleDifferenceIsTheShortWayRound) {
    EXPECT_DOUBLE_EQ(pm::angleDifference(360, 0), 0);
    EXPECT_DOUBLE_EQ(pm::angleDifference(10, 350), 20);
    EXPECT_DOUBLE_EQ(pm::angleDifference(350, 10), -20);
    EXPECT_DOUBLE_EQ(pm::angleDifference(180, 0), 180);
    EXPECT_DOUBLE_EQ(pm::angleDifference(0, 180), 180);
}

TEST(PhasorGeometry, EachPairIsScaledToItsLargerMagnitude) {
    EXPECT_DOUBLE_EQ(pm::scaledLength(230, 115), 1.0);
    EXPECT_DOUBLE_EQ(pm::scaledLength(115, 230), 0.5);
    EXPECT_DOUBLE_EQ(pm::scaledLength(0.05, 5), 0.01);
    EXPECT_DOUBLE_EQ(pm::scaledLength(230, 0), 1.0);
    EXPECT_DOUBLE_EQ(pm::scaledLength(0, 230), 0.0);
    EXPECT_DOUBLE_EQ(pm::scaledLength(0, 0), 0.0);
    EXPECT_DOUBLE_EQ(pm::scaledLength(-1, 0), 0.0);
}

TEST(PhasorGeometry, PictureOfAFullReadingFollowsThePanelTexts) {
    // 220.00 V and 100.0 V at 0 and 120 degrees; 5.000 A at 180 from U1, 10.00 A at 122.5 from U2.
    const Panel panel = panelOf("opposed_and_rounded_angle");
    const pm::PhasorPicture pic = pm::phasorPicture(panel);
    const QStringList labels{
        QString::fromUtf8("U1 220.00 V 0.0°"), QString::fromUtf8("U2 100.0 V 120.0°"),
        QString::fromUtf8("I1 5.000 A 180.0°"), QString::fromUtf8("I2 10.00 A 242.5°")};
    for (size_t n = 0; n < 4; ++n)
        EXPECT_EQ(pic.arrows[n].label(), labels[qsizetype(n)]);
    EXPECT_DOUBLE_EQ(pic.arrows[0].length, 1.0);
    EXPECT_DOUBLE_EQ(pic.arrows[1].length, 100.0 / 220.0);
    EXPECT_DOUBLE_EQ(pic.arrows[2].length, 0.5);
    EXPECT_DOUBLE_EQ(pic.arrows[3].length, 1.0);
    EXPECT_EQ(pic.arrows[1].channel, 1);
    EXPECT_TRUE(pic.arrows[2].current);
    EXPECT_FALSE(pic.arrows[1].current);
    EXPECT_EQ(pic.voltageScale, "220.00 V");
    EXPECT_EQ(pic.currentScale, "10.00 A");
    EXPECT_EQ(pic.i1i2, QString::fromUtf8("360.0°"));
    ASSERT_TRUE(pic.impliedI1I2.has_value());
    EXPECT_DOUBLE_EQ(*pic.impliedI1I2, 62.5);
}

TEST(PhasorGeometry, ZeroMagnitudesDrawNothingAndImplyNoAngle) {
    const Panel initial;
    const pm::PhasorPicture none = pm::phasorPicture(initial);
    for (const auto& a : none.arrows)
        EXPECT_FALSE(a.drawn()) << a.name.toStdString();
    EXPECT_FALSE(none.anythingDrawn());
    EXPECT_FALSE(none.impliedI1I2.has_value());
    EXPECT_TRUE(none.voltageScale.isEmpty());
    EXPECT_TRUE(none.currentScale.isEmpty());
    EXPECT_DOUBLE_EQ(none.arrows[1].angle, 0.0); // the initial "360.0°"

    // Channel 2 silent: I1 alone fills the current scale.
    const pm::PhasorPicture half = pm::phasorPicture(panelOf("worked_example"));
    EXPECT_TRUE(half.channelHasSignal(0));
    EXPECT_FALSE(half.channelHasSignal(1));
    EXPECT_DOUBLE_EQ(half.arrows[2].length, 1.0);
    EXPECT_DOUBLE_EQ(half.arrows[2].angle, 60.0);
    EXPECT_FALSE(half.impliedI1I2.has_value());
    EXPECT_EQ(half.voltageScale, "220.00 V");

    // A voltage without a current: the voltage is drawn, the channel has a signal.
    Panel panel;
    panel.setText(Field::U2, QStringLiteral("230.0"));
    const pm::PhasorPicture voltageOnly = pm::phasorPicture(panel);
    EXPECT_TRUE(voltageOnly.arrows[1].drawn());
    EXPECT_FALSE(voltageOnly.arrows[3].drawn());
    EXPECT_TRUE(voltageOnly.channelHasSignal(1));
    EXPECT_TRUE(voltageOnly.currentScale.isEmpty());
}

TEST(PhasorGeometry, GroupedThousandsAreReadAsTheyAreShown) {
    const pm::PhasorPicture pic = pm::phasorPicture(panelOf("largest_values_unknown_ranges"));
    EXPECT_DOUBLE_EQ(pic.arrows[0].length, 1.0);
    EXPECT_EQ(pic.arrows[0].label(), QString::fromUtf8("U1 32,767 V 0.0°"));
    EXPECT_EQ(pic.voltageScale, "32,767 V");
}

TEST(PhasorGeometry, LayoutLeavesRoomForLabelsAndTheTextColumn) {
    const QSizeF frame(777, 449); // the real-time panel's rectangle
    const pm::PhasorLayout l = pm::phasorLayout(frame);
    EXPECT_GT(l.voltageRadius, 120);
    EXPECT_LT(l.currentRadius, l.voltageRadius);
    EXPECT_GT(l.currentRadius, 0.4 * l.voltageRadius);
    EXPECT_GE(l.centre.y() - l.voltageRadius, 20);
    EXPECT_LE(l.centre.y() + l.voltageRadius, frame.height() - 20);
    EXPECT_GE(l.centre.x() - l.voltageRadius, 100);
    EXPECT_LE(l.centre.x() + l.voltageRadius + 100, l.infoRect.left());
    EXPECT_LE(l.infoRect.right(), frame.width());
    EXPECT_GE(l.infoRect.width(), 150);

    const pm::PhasorLayout tiny = pm::phasorLayout(QSizeF(50, 50));
    EXPECT_GE(tiny.voltageRadius, 0);
}
