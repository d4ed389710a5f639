#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace pm {

class ReadingTexts;

// "2026-12-07T19:10:11+00:00": the time a reading arrived, local, with its offset from UTC always
// written out (never "Z"), so that every consumer reads it the same way.
QString isoTimeWithOffset(const QDateTime& time);

// A panel text as a JSON number, to its last shown digit: "1,234.5" and "29.2°" become 1234.5
// and 29.2. A text that is no number ("----") gives "null".
QByteArray jsonNumber(const QString& text);

// One MQTT state message: {"time": ..., "U1": 230.0, ...} with the 17 values as the panel shows
// them, in the panel's units.
QByteArray stateJson(const QDateTime& time, const ReadingTexts& texts);

} // namespace pm
