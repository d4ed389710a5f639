#pragma once

#include "analysis/WiringCheck.h"
#include "jobs/JobSession.h"
#include "protocol/Reading.h"

#include <QDateTime>
#include <QImage>
#include <QString>
#include <functional>

namespace pm {

struct PhasorOverlay;
struct SaveServices;
class RecordTable;

// The Wiring tab without its widgets: the reading checked (the live one, or a record opened from
// the table), the settings of the check, its result, the verdict held steady, and the fields the
// user fills in for the report.
class WiringTab {
public:
    // Free text for the report, as the user typed it.
    QString site;
    QString meterNumber;
    QString note;

    // The field job the checks are saved to.
    JobSession jobs;

    // The time the report gives, and a live reading's time.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
    // Something the tab shows has changed: redraw.
    std::function<void()> changed;

    // A live reading as the panel shows it, and the meter's block it came from; checked while
    // the tab follows the live readings.
    void liveReading(const ReadingTexts& texts, const QByteArray& block = {});
    // Record k of the table, checked in place of the live readings until "Live".
    void openRecord(const RecordTable& table, int k);
    // "Live": back to the live readings (they are checked from the next one on).
    void showLive();
    // "Find line B": the next live reading is one to earth and sets the line-B terminal.
    void findLineB();
    bool findingLineB() const { return findingLineB_; }
    // Where to put the leads, what the reading to earth found, or why it found nothing.
    const QString& lineBMessage() const { return lineBMessage_; }
    void setSettings(const WiringSettings& settings);

    const WiringSettings& settings() const { return settings_; }
    // The texts checked, as the panel showed them.
    const Panel& texts() const { return texts_; }
    // The meter's 22 bytes of the live reading checked; empty for a record, whose bytes are gone.
    const QByteArray& block() const { return block_; }
    const WiringResult& result() const { return result_; }
    // The verdict of the latest reading; the connection it names is held first while it still
    // explains the readings, so it does not flicker between equally good matches.
    const QString& verdict() const { return verdict_; }
    // Other matches, the notes and every channel's powers, a line each.
    QStringList details() const;
    // 0 while following the live readings, else the record shown.
    int record() const { return record_; }
    // "Live readings" or "Record 3".
    QString sourceText() const;
    // When the live reading checked came; invalid for a record or before the first live reading.
    const QDateTime& readingTime() const { return readingTime_; }
    PhasorOverlay overlay() const;

    // "Save": the one-page report as PDF or PNG.
    void save(SaveServices& services) const;

private:
    void check(bool fresh);

    WiringSettings settings_;
    Panel texts_;
    QByteArray block_;
    bool haveReading_ = false;
    int record_ = 0;
    QDateTime readingTime_;
    WiringResult result_;
    QString heldKey_;
    QString verdict_;
    bool findingLineB_ = false;
    QString lineBMessage_;
};

} // namespace pm
