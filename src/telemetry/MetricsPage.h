#pragma once

#include "protocol/Reading.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <array>

namespace pm {

// What the metrics page shows: the last reading's texts as the panel showed them, and the meter.
class MetricsState {
public:
    void liveReading(const QDateTime& time, const ReadingTexts& texts);
    void setMeterUp(bool up) { meterUp_ = up; }

    bool meterUp() const { return meterUp_; }
    quint64 readings() const { return readings_; }
    qint64 lastMsecs() const { return lastMsecs_; }
    // Empty until the first reading.
    const QString& text(Field f) const { return texts_[size_t(f)]; }

private:
    std::array<QString, kFieldCount> texts_;
    bool meterUp_ = false;
    quint64 readings_ = 0;
    qint64 lastMsecs_ = 0;
};

// The page in the Prometheus text format (version 0.0.4): each family with # HELP and # TYPE,
// powers in watts, vars and volt-amperes, and no sample for a quantity not read yet.
QByteArray metricsText(const MetricsState& state);

} // namespace pm
