#pragma once

#include "analysis/WiringCheck.h"
#include "jobs/Ratio.h"
#include "protocol/Reading.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace pm {

enum class CheckKind { AsFound, AsLeft };
// "as found", "as left": the words of the report, the tool's JSON and the store.
QString checkKindName(CheckKind kind);
std::optional<CheckKind> checkKindFromName(QStringView name);

// What the wiring check said about one reading, in the few words a job keeps.
struct CheckVerdict {
    bool matched = false;    // some standard connection explains the reading
    bool correct = false;    // the best explanation is the correct connection
    QString connection;      // "terminals BAC, I1 -C, I2 +A"; empty when none matched
    std::optional<double> k; // none: no match, or the meter stands still
    // Other connections explain the reading as well, with another K: the energy cannot rest on it.
    bool ambiguous = false;
    double loadAngle = 0; // fitted, degrees lagging
    QString verdict;      // the sentence the Wiring tab shows
};

// One reading taken at the installation, as the instrument gave it and as the check judged it.
struct JobCheck {
    qint64 id = 0;
    CheckKind kind = CheckKind::AsFound;
    QDateTime time;
    QByteArray block;  // the 22-byte measurement block; empty when only the texts are known
    QStringList texts; // the 17 panel texts, in the instrument's order
    WiringSettings settings;
    CheckVerdict verdict;
};

// A register reading and when it was taken (the fault began, the last correct check, the fix).
struct RegisterReading {
    double value = 0;
    QDateTime time;
    bool operator==(const RegisterReading&) const = default;
};

// What a recording over the period gave (see RecordingCorrection.h), kept with the job.
struct RecordingSummary {
    QString file;
    double registeredKwh = 0; // primary side
    double realKwh = 0;
    double coveredShare = 0; // 0 to 1 of the register period
};

// One installation on one visit.
struct Job {
    qint64 id = 0;
    QString site;
    QString meter;
    Ratio ct;
    Ratio vt;
    double multiplier = 1;
    bool primaryRegister = false; // the register already counts primary energy
    QString engineer;
    QString note;
    QDateTime created;
    QDateTime closed;
    std::optional<RegisterReading> from;
    std::optional<RegisterReading> to;
    std::optional<RecordingSummary> recording;
    std::vector<JobCheck> checks; // oldest first

    // The last check of a kind: it is the one that counts.
    const JobCheck* last(CheckKind kind) const;
};

// "K = 3.583", with "(other connections fit with another K)" where it is one of several.
QString checkKText(const CheckVerdict& verdict);

// "2026-03-02 10:05 UTC": how a job's times are shown.
QString jobTimeText(const QDateTime& time);

// The check of one reading: the verdict as the analysis gives it, in a job's words.
JobCheck makeCheck(CheckKind kind, const QDateTime& time, const QByteArray& block,
                   const ReadingTexts& texts, const WiringSettings& settings);
// The texts of a check as a reading again.
Panel checkPanel(const JobCheck& check);

// "3p3w", "3p4w", "group": how the tool and the store name a system.
QString systemCode(WiringSystem system);
std::optional<WiringSystem> systemFromCode(QStringView code);

} // namespace pm
