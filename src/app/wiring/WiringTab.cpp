#include "app/wiring/WiringTab.h"

#include "analysis/EarthReading.h"
#include "analysis/WiringVerdict.h"
#include "app/phasor/PhasorDiagram.h"
#include "app/wiring/WiringReport.h"
#include "protocol/Fmtval.h"
#include "records/RecordTable.h"
#include "records/Saving.h"

namespace pm {

void WiringTab::liveReading(const ReadingTexts& texts, const QByteArray& block) {
    if (record_ != 0)
        return;
    if (findingLineB_) {
        findingLineB_ = false;
        const EarthFinding found = lineBFromEarth(textValue(texts.text(voltageField(0))),
                                                  textValue(texts.text(voltageField(1))));
        lineBMessage_ = found.text;
        if (found.terminal != 0)
            settings_.commonTerminal = found.terminal;
        // A reading to earth is no reading of the meter's circuits: the check waits for the
        // next one, with the leads back on the terminals.
        haveReading_ = false;
        result_ = WiringResult{};
        result_.settings = settings_;
        verdict_.clear();
        heldKey_.clear();
        if (changed)
            changed();
        return;
    }
    for (int f = 0; f < kFieldCount; ++f)
        texts_.setText(Field(f), texts.text(Field(f)));
    block_ = block.size() == 22 ? block : QByteArray(); // only a whole measurement block
    readingTime_ = clock();
    const bool first = !haveReading_;
    haveReading_ = true;
    check(first);
}

void WiringTab::openRecord(const RecordTable& table, int k) {
    record_ = k;
    readingTime_ = {}; // the meter keeps no time with its records
    block_.clear();
    for (int f = 0; f < kFieldCount; ++f)
        texts_.setText(Field(f), table.fieldText(k, Field(f)));
    haveReading_ = true;
    check(true);
}

void WiringTab::showLive() {
    if (record_ == 0)
        return;
    record_ = 0;
    // The record's answer stays until the next live reading replaces it, with no live time.
    haveReading_ = false;
    readingTime_ = {};
    if (changed)
        changed();
}

void WiringTab::findLineB() {
    if (record_ != 0) {
        findingLineB_ = false;
        lineBMessage_ = QStringLiteral("No reading: the tab shows a record. Press Live, then Find "
                                       "line B.");
    } else {
        findingLineB_ = true;
        lineBMessage_ = earthReadingInstructions();
    }
    if (changed)
        changed();
}

void WiringTab::setSettings(const WiringSettings& settings) {
    settings_ = settings;
    if (haveReading_)
        check(true);
    else if (changed)
        changed();
}

void WiringTab::check(bool fresh) {
    result_ = checkWiring(WiringReading::fromTexts(texts_), settings_);
    // Two matches nearly as good swap places with each flicker of the readings: the one named
    // stays first while it fits. Its load angle, PF and K follow every reading.
    if (!fresh)
        result_.holdFirst(heldKey_);
    heldKey_ = result_.bestKey();
    verdict_ = wiringVerdict(result_);
    if (changed)
        changed();
}

QStringList WiringTab::details() const {
    QStringList lines;
    const QStringList others = otherMatchLines(result_);
    if (!others.isEmpty()) {
        lines << QStringLiteral("Also explained by:");
        for (const QString& o : others)
            lines << QStringLiteral("  ") + o;
    }
    for (const QString& n : result_.notes)
        lines << n + QLatin1Char('.');
    return lines + channelLines(result_);
}

QString WiringTab::sourceText() const {
    return record_ == 0 ? QStringLiteral("Live readings")
                        : QStringLiteral("Record %1").arg(record_);
}

PhasorOverlay WiringTab::overlay() const {
    return {arrowNames(result_), idealDirections(result_)};
}

void WiringTab::save(SaveServices& services) const {
    saveWiringReport(wiringReportContent(*this), services);
}

} // namespace pm
