#pragma once

#include <QString>
#include <array>

namespace pm {

// The texts of one reading: what the live panel shows, and what one block of the record table
// holds.
enum class Field {
    U1,
    U2, // voltages, V
    I1,
    I2, // currents, A
    P1,
    P2, // active power, kW
    Q1,
    Q2, // reactive power, kvar
    S1,
    S2, // apparent power, kVA
    PF1,
    PF2, // power factor
    PhaseU1U2,
    PhaseI1I2, // angles between the channels, degrees
    PhaseU1I1,
    PhaseU2I2, // power angles of channel 1 and 2, degrees
    Freq,      // frequency, Hz
};
inline constexpr int kFieldCount = int(Field::Freq) + 1;

// Per channel (0 or 1) and per angle index (0 to 3), in the instrument's order.
inline Field voltageField(int ch) {
    return ch == 0 ? Field::U1 : Field::U2;
}
inline Field currentField(int ch) {
    return ch == 0 ? Field::I1 : Field::I2;
}
inline Field activeField(int ch) {
    return ch == 0 ? Field::P1 : Field::P2;
}
inline Field reactiveField(int ch) {
    return ch == 0 ? Field::Q1 : Field::Q2;
}
inline Field apparentField(int ch) {
    return ch == 0 ? Field::S1 : Field::S2;
}
inline Field powerFactorField(int ch) {
    return ch == 0 ? Field::PF1 : Field::PF2;
}
inline Field phaseField(int n) {
    return Field(int(Field::PhaseU1U2) + n);
}

// A place that holds the texts of one reading.
class ReadingTexts {
public:
    virtual ~ReadingTexts() = default;
    virtual QString text(Field f) const = 0;
    virtual void setText(Field f, const QString& text) = 0;
};

// The live panel's value texts, with the texts shown until the first live reply.
class Panel : public ReadingTexts {
public:
    Panel();
    QString text(Field f) const override { return texts_[size_t(f)]; }
    void setText(Field f, const QString& text) override { texts_[size_t(f)] = text; }
    static QString initialText(Field f);

private:
    std::array<QString, kFieldCount> texts_;
};

} // namespace pm
