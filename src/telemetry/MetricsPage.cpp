#include "telemetry/MetricsPage.h"

#include "protocol/Fmtval.h"
#include "telemetry/StateJson.h"

namespace pm {

namespace {

struct Family {
    const char* name;
    const char* help;
    const char* label; // "channel" or "pair"
    double scale;      // from the panel's unit to the base unit
    std::array<Field, 4> fields;
    int count;
};

const Family kFamilies[] = {
    {"phasemeter_voltage_volts",
     "RMS voltage of each channel, as the meter shows it.",
     "channel",
     1,
     {Field::U1, Field::U2},
     2},
    {"phasemeter_current_amperes",
     "RMS current of each channel, as the meter shows it.",
     "channel",
     1,
     {Field::I1, Field::I2},
     2},
    {"phasemeter_phase_angle_degrees",
     "Phase angle between two signals (U1U2, I1I2, U1I1, U2I2), in degrees.",
     "pair",
     1,
     {Field::PhaseU1U2, Field::PhaseI1I2, Field::PhaseU1I1, Field::PhaseU2I2},
     4},
    {"phasemeter_frequency_hertz", "Frequency of the signals.", nullptr, 1, {Field::Freq}, 1},
    {"phasemeter_active_power_watts",
     "Active power of each channel.",
     "channel",
     1000,
     {Field::P1, Field::P2},
     2},
    {"phasemeter_reactive_power_vars",
     "Reactive power of each channel.",
     "channel",
     1000,
     {Field::Q1, Field::Q2},
     2},
    {"phasemeter_apparent_power_voltamperes",
     "Apparent power of each channel.",
     "channel",
     1000,
     {Field::S1, Field::S2},
     2},
    {"phasemeter_power_factor",
     "Power factor of each channel.",
     "channel",
     1,
     {Field::PF1, Field::PF2},
     2},
};

const char* const kPairs[] = {"U1U2", "I1I2", "U1I1", "U2I2"};

void header(QByteArray& out, const char* name, const char* help, const char* type) {
    out += QByteArrayLiteral("# HELP ") + name + ' ' + help + '\n';
    out += QByteArrayLiteral("# TYPE ") + name + ' ' + type + '\n';
}

QByteArray number(double value) {
    return QByteArray::number(value, 'g', 15);
}

} // namespace

void MetricsState::liveReading(const QDateTime& time, const ReadingTexts& texts) {
    for (int f = 0; f < kFieldCount; ++f)
        texts_[size_t(f)] = texts.text(Field(f));
    ++readings_;
    lastMsecs_ = time.toMSecsSinceEpoch();
}

QByteArray metricsText(const MetricsState& state) {
    QByteArray out;
    for (const Family& family : kFamilies) {
        QByteArray samples;
        for (int k = 0; k < family.count; ++k) {
            const QString& text = state.text(family.fields[size_t(k)]);
            // Left out rather than 0 until the meter has said it.
            if (text.isEmpty() || jsonNumber(text) == "null")
                continue;
            samples += family.name;
            if (family.label)
                samples += QByteArray("{") + family.label + "=\"" +
                           (family.count == 4 ? QByteArray(kPairs[k]) : QByteArray::number(k + 1)) +
                           "\"}";
            samples += ' ' + number(textValue(text) * family.scale) + '\n';
        }
        if (samples.isEmpty())
            continue;
        header(out, family.name, family.help, "gauge");
        out += samples;
    }
    header(out, "phasemeter_meter_up", "1 while the meter answers, 0 while it is silent.", "gauge");
    out += QByteArrayLiteral("phasemeter_meter_up ") + (state.meterUp() ? "1" : "0") + '\n';
    header(out, "phasemeter_readings_total", "Live readings received since the start.", "counter");
    out += QByteArrayLiteral("phasemeter_readings_total ") + QByteArray::number(state.readings()) +
           '\n';
    if (state.readings() > 0) {
        header(out, "phasemeter_last_reading_timestamp_seconds",
               "When the last reading arrived, in seconds since the epoch.", "gauge");
        out += QByteArrayLiteral("phasemeter_last_reading_timestamp_seconds ") +
               number(double(state.lastMsecs()) / 1000.0) + '\n';
    }
    return out;
}

} // namespace pm
