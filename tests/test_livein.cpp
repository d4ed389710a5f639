#include "Printers.h"
#include "TestVectors.h"
#include "protocol/Decode.h"
#include "protocol/Reading.h"

#include <gtest/gtest.h>

using pm::Field;
using pm::Panel;

namespace {
QByteArray hex(const char* h) {
    return QByteArray::fromHex(h);
}

// A block with everything zero but the given channel-1 fields.
QByteArray channel1(int uRaw, int uCode, int iRaw, int iCode, int angleRaw) {
    QByteArray b(22, '\0');
    b[0] = char(uRaw & 0xFF);
    b[1] = char(uRaw >> 8);
    b[4] = char(iRaw & 0xFF);
    b[5] = char(iRaw >> 8);
    b[8] = char(uCode);
    b[10] = char(iCode);
    b[16] = char(angleRaw & 0xFF);
    b[17] = char(angleRaw >> 8);
    return b;
}
} // namespace

TEST(Livein, SharedVectorsFromTheInitialPanel) {
    for (const auto& v : readingVectors()) {
        Panel panel;
        pm::livein(v.block, panel);
        for (int f = 0; f < pm::kFieldCount; ++f)
            EXPECT_EQ(panel.text(Field(f)), v.texts[f]) << v.name.toStdString() << " field " << f;
    }
}

TEST(Livein, RangeCodesSetScaleAndDecimals) {
    Panel panel;
    pm::livein(channel1(2200, 2, 1234, 3, 0), panel);
    EXPECT_EQ(panel.text(Field::U1), "220.0");
    EXPECT_EQ(panel.text(Field::I1), "1.234");
    pm::livein(channel1(220, 3, 1234, 4, 0), panel);
    EXPECT_EQ(panel.text(Field::U1), "220");
    EXPECT_EQ(panel.text(Field::I1), "12.34");
}

TEST(Livein, UnknownRangeCodesKeepTheEarlierTextAndPowersUseIt) {
    Panel panel;
    pm::livein(channel1(22000, 1, 12345, 2, 600), panel);
    for (int code : {0, 4}) {
        pm::livein(channel1(5000, code, 12345, 2, 600), panel);
        EXPECT_EQ(panel.text(Field::U1), "220.00") << code;
        EXPECT_EQ(panel.text(Field::S1), "0.2716") << code;
    }
    for (int code : {1, 5}) {
        pm::livein(channel1(22000, 1, 999, code, 600), panel);
        EXPECT_EQ(panel.text(Field::I1), "1.2345") << code;
    }
}

TEST(Livein, LoadThresholdsAreInclusive) {
    Panel panel;
    pm::livein(channel1(1000, 1, 200, 2, 0), panel); // 10.00 V, 0.0200 A
    EXPECT_EQ(panel.text(Field::S1), "0.0002");
    pm::livein(channel1(999, 1, 200, 2, 0), panel); // 9.99 V
    EXPECT_EQ(panel.text(Field::S1), "0.0000");
    EXPECT_EQ(panel.text(Field::PF1), "1.000");
    pm::livein(channel1(1000, 1, 199, 2, 0), panel); // 0.0199 A
    EXPECT_EQ(panel.text(Field::P1), "0.0000");
    EXPECT_EQ(panel.text(Field::Q1), "0.0000");
}

TEST(Livein, PowerAngleIsRoundedToWholeDegrees) {
    Panel panel;
    pm::livein(channel1(22000, 1, 12345, 2, 1225), panel); // 122.5 degrees is used as 123
    EXPECT_EQ(panel.text(Field::PF1), "-0.545");
    EXPECT_EQ(panel.text(Field::PhaseU1I1), "122.5\u00B0");
    pm::livein(channel1(22000, 1, 12345, 2, 4), panel); // 0.4 degrees is used as 0
    EXPECT_EQ(panel.text(Field::PF1), "1.000");
    EXPECT_EQ(panel.text(Field::Q1), "0.0000");
    pm::livein(channel1(22000, 1, 12345, 2, 1800), panel);
    EXPECT_EQ(panel.text(Field::PF1), "-1.000");
    EXPECT_EQ(panel.text(Field::P1), panel.text(Field::S1)); // P and Q are never negative
    EXPECT_EQ(panel.text(Field::Q1), "0.0000");
    pm::livein(channel1(22000, 1, 12345, 2, 3600), panel);
    EXPECT_EQ(panel.text(Field::PhaseU1I1), "360.0\u00B0");
}

TEST(Livein, BrokenFieldsAreSkippedAndTheRestDecoded) {
    Panel panel;
    QByteArray b = readingVector("worked_example").block;
    b[1] = char(0x80);  // U1 out of range
    b[21] = char(0xFF); // frequency out of range
    pm::livein(b, panel);
    EXPECT_EQ(panel.text(Field::U1), "0.00");
    EXPECT_EQ(panel.text(Field::Freq), "0.00");
    EXPECT_EQ(panel.text(Field::I1), "1.2345");
    EXPECT_EQ(panel.text(Field::PhaseU1I1), "60.0\u00B0");
    EXPECT_EQ(panel.text(Field::S1), "0.0000"); // 0.00 V: no load

    Panel shortPanel;
    pm::livein(hex("F0 55 00 00 39 30 00 00 01 01"), shortPanel); // ends before the current codes
    EXPECT_EQ(shortPanel.text(Field::U1), "220.00");
    EXPECT_EQ(shortPanel.text(Field::I1), "0.0000");
    EXPECT_EQ(shortPanel.text(Field::PhaseU1U2), "360.0\u00B0");

    Panel longPanel;
    pm::livein(readingVector("worked_example").block + hex("FF FF FF"), longPanel);
    EXPECT_EQ(longPanel.text(Field::Freq), "50.00");
}
