#include "jobs/Job.h"

#include "analysis/WiringVerdict.h"
#include "jobs/JobVerdict.h"
#include "protocol/Reading.h"

#include <algorithm>

namespace pm {

QString checkKindName(CheckKind kind) {
    return kind == CheckKind::AsFound ? QStringLiteral("as found") : QStringLiteral("as left");
}

std::optional<CheckKind> checkKindFromName(QStringView name) {
    if (name == QLatin1String("as found"))
        return CheckKind::AsFound;
    if (name == QLatin1String("as left"))
        return CheckKind::AsLeft;
    return std::nullopt;
}

QString checkKText(const CheckVerdict& verdict) {
    return QStringLiteral("K = ") + correctionText(verdict.k) +
           (verdict.ambiguous ? QStringLiteral(" (other connections fit with another K)")
                              : QString());
}

QString jobTimeText(const QDateTime& time) {
    return time.isValid() ? time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"))
                          : QString();
}

const JobCheck* Job::last(CheckKind kind) const {
    const auto it = std::find_if(checks.rbegin(), checks.rend(),
                                 [kind](const JobCheck& c) { return c.kind == kind; });
    return it == checks.rend() ? nullptr : &*it;
}

JobCheck makeCheck(CheckKind kind, const QDateTime& time, const QByteArray& block,
                   const ReadingTexts& texts, const WiringSettings& settings) {
    JobCheck c;
    c.kind = kind;
    c.time = time;
    c.block = block;
    for (int f = 0; f < kFieldCount; ++f)
        c.texts << texts.text(Field(f));
    c.settings = settings;
    c.verdict = verdictOf(checkWiring(WiringReading::fromTexts(texts), settings));
    return c;
}

Panel checkPanel(const JobCheck& check) {
    Panel panel;
    for (int f = 0; f < kFieldCount && f < check.texts.size(); ++f)
        panel.setText(Field(f), check.texts[f]);
    return panel;
}

QString systemCode(WiringSystem system) {
    switch (system) {
    case WiringSystem::ThreeWire:
        return QStringLiteral("3p3w");
    case WiringSystem::FourWire:
        return QStringLiteral("3p4w");
    case WiringSystem::VectorGroup:
        break;
    }
    return QStringLiteral("group");
}

std::optional<WiringSystem> systemFromCode(QStringView code) {
    if (code == QLatin1String("3p3w"))
        return WiringSystem::ThreeWire;
    if (code == QLatin1String("3p4w"))
        return WiringSystem::FourWire;
    if (code == QLatin1String("group"))
        return WiringSystem::VectorGroup;
    return std::nullopt;
}

} // namespace pm
