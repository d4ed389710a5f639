#include "Printers.h"
#include "protocol/Fmtval.h"

#include <gtest/gtest.h>

using pm::fmtval;
using pm::textValue;

TEST(Fmtval, FixedDecimalsLeadingZeroAndGrouping) {
    EXPECT_EQ(fmtval(0.5f, 3), "0.500");
    EXPECT_EQ(fmtval(-0.5f, 3), "-0.500");
    EXPECT_EQ(fmtval(0.5f, 2), "0.50");
    EXPECT_EQ(fmtval(-0.5446f, 3), "-0.545");
    EXPECT_EQ(fmtval(0.25f, 1), "0.3");
    EXPECT_EQ(fmtval(220.0f, 0), "220");
    EXPECT_EQ(fmtval(1073.5f, 1), "1,073.5");
    EXPECT_EQ(fmtval(1234.5f, 1), "1,234.5");
    EXPECT_EQ(fmtval(32767.0f, 0), "32,767");
    EXPECT_EQ(fmtval(1234567.0f, 0), "1,234,567");
    EXPECT_EQ(fmtval(0.0f, 4), "0.0000");
    EXPECT_EQ(fmtval(1.0f, 3), "1.000");
}

TEST(Fmtval, HalvesRoundAwayFromZero) {
    EXPECT_EQ(fmtval(0.125f, 2), "0.13");
    EXPECT_EQ(fmtval(-0.125f, 2), "-0.13");
    EXPECT_EQ(fmtval(122.5f, 0), "123");
    EXPECT_EQ(fmtval(-122.5f, 0), "-123");
    EXPECT_EQ(fmtval(0.4f, 0), "0");
    EXPECT_EQ(fmtval(9.9996f, 3), "10.000"); // the carry reaches a new integer digit
    EXPECT_EQ(fmtval(999.96f, 1), "1,000.0");
}

TEST(Fmtval, RoundsFromSevenSignificantDigits) {
    // 0.2716 x 0.5 is not exact in binary; its 7-digit form is, and it rounds as written.
    EXPECT_EQ(fmtval(float(0.1358), 4), "0.1358");
    EXPECT_EQ(fmtval(float(32767 * 327.67 / 1000), 4), "10,736.7600");
    EXPECT_EQ(fmtval(1e-13f, 3), "0.000");
}

TEST(Fmtval, NegativeZeroHasNoSign) {
    EXPECT_EQ(fmtval(-1e-13f, 3), "0.000");
    EXPECT_EQ(fmtval(-0.0004f, 3), "0.000");
}

TEST(TextValue, ReadsTheNumberAtTheStartOfAText) {
    EXPECT_DOUBLE_EQ(textValue(u"1,234.5"), 1234.5);
    EXPECT_DOUBLE_EQ(textValue(u"360.0\u00B0"), 360.0);
    EXPECT_DOUBLE_EQ(textValue(u"60.0\u00B0"), 60.0);
    EXPECT_DOUBLE_EQ(textValue(u"-0.545"), -0.545);
    EXPECT_DOUBLE_EQ(textValue(u"0.0200"), 0.02);
    EXPECT_DOUBLE_EQ(textValue(u"32,767"), 32767.0);
    EXPECT_DOUBLE_EQ(textValue(u""), 0.0);
    EXPECT_DOUBLE_EQ(textValue(u"NO.1"), 0.0);
    EXPECT_DOUBLE_EQ(textValue(u"-"), 0.0);
    EXPECT_DOUBLE_EQ(textValue(u".5"), 0.5);
}

TEST(TextValue, ReadsBackWhatFmtvalWrites) {
    for (float v : {0.0f, 0.5f, -0.545f, 1234.5f, 32767.0f, 327.67f})
        EXPECT_NEAR(textValue(fmtval(v, 2)), v, 0.005) << v;
}
