#pragma once

#include "protocol/Reading.h"

#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace pm {

// The units of the 17 quantities; the plot gives each unit shown an axis of its own.
enum class TrendUnit {
    Volt,
    Ampere,
    Kilowatt,
    Kilovar,
    KiloVoltAmpere,
    PowerFactor,
    Degree,
    Hertz
};

TrendUnit trendUnit(Field f);
// "U (V)", "PF", "Angle (°)": the title of a unit's axis.
QString trendAxisTitle(TrendUnit unit);
// "U1", "PF2", "U1I1", "F": a quantity's name in the legend and beside its check box.
QString trendName(Field f);
// "V", "kvar", "°", "" for the power factor: what follows a value in a read-out.
QString trendUnitSuffix(TrendUnit unit);
// A value as the panel shows it ("1,230.5", "30.0°"), from the number and the digits it was shown
// with.
QString trendValueText(Field f, double value, int decimals);

enum class TrendSide { Left, Right };

// The quantities the user has ticked, at most two units of them: one on the left axis, one on
// the right. Ticking a quantity of a third unit unticks those of the unit ticked longest ago and
// takes over its axis.
class TrendSelection {
public:
    TrendSelection();

    bool isChecked(Field f) const { return checked_[size_t(f)]; }
    void setChecked(Field f, bool on);
    // The quantities ticked, in the panel's order.
    std::vector<Field> checked() const;
    std::optional<TrendUnit> unitOn(TrendSide side) const { return sides_[size_t(side)]; }
    std::optional<TrendSide> sideOf(TrendUnit unit) const;

private:
    void dropUnit(TrendUnit unit);

    std::array<bool, kFieldCount> checked_{};
    std::array<std::optional<TrendUnit>, 2> sides_;
    std::vector<TrendUnit> order_; // units shown, the one ticked longest ago first
};

} // namespace pm
