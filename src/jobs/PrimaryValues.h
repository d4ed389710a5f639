#pragma once

#include "jobs/Ratio.h"

#include <QString>
#include <array>

namespace pm {

class ReadingTexts;

// The panel's powers carried to the primary side of the transformers: secondary × CT × VT. P and Q
// carry the sign of their channel's angle (the panel shows magnitudes); S is a magnitude.
struct PrimaryValues {
    std::array<double, 2> p{}; // kW
    std::array<double, 2> q{}; // kvar
    std::array<double, 2> s{}; // kVA
    double totalP = 0;         // the two elements' sum
    double totalQ = 0;
    double totalS = 0; // of the totals
};

PrimaryValues primaryValues(const ReadingTexts& texts, const Ratio& ct, const Ratio& vt);

// A power given in kW (or kvar, kVA: `unit` is "W", "var" or "VA") the way it reads best:
// "850.4 kW", "2.345 MW", "-12.60 kvar". No grouping, no locale.
QString powerText(double kilo, const QString& unit);
// An energy given in kWh: "345.0 kWh", "1380.000 MWh" from 10 MWh up.
QString energyText(double kwh);

} // namespace pm
