#include "jobs/BackBilling.h"

#include "analysis/WiringVerdict.h"
#include "jobs/PrimaryValues.h"

#include <cmath>

namespace pm {

namespace {

QString kText(double k) {
    return correctionText(k);
}

} // namespace

BackBilling backBilling(const BackBillingInput& in) {
    BackBilling b;
    if (!(in.to.time > in.from.time)) {
        b.problem =
            QStringLiteral("The reading at the fix must be later than the one at the start.");
        return b;
    }
    const double difference = in.to.value - in.from.value;
    if (difference < 0) {
        b.problem = QStringLiteral("The register reads less at the fix than at the start: check "
                                   "both readings (a register that rolled over is not counted).");
        return b;
    }
    if (!(in.multiplier > 0)) {
        b.problem = QStringLiteral("The register multiplier must be above zero.");
        return b;
    }
    b.ok = true;
    const double transformers = in.primaryRegister ? 1.0 : in.ct.factor() * in.vt.factor();
    b.registeredKwh = difference * in.multiplier * transformers;
    b.kSource = in.kSource;
    const QString registers =
        QStringLiteral("(%1 − %2)").arg(plainNumber(in.to.value), plainNumber(in.from.value));
    if (in.primaryRegister)
        b.lines << QStringLiteral("Registered = (R2 − R1) × multiplier = %1 × %2 = %3 (the "
                                  "register shows primary energy)")
                       .arg(registers, plainNumber(in.multiplier), energyText(b.registeredKwh));
    else
        b.lines << QStringLiteral("Registered = (R2 − R1) × multiplier × CT × VT = %1 × %2 × %3 "
                                  "× %4 = %5")
                           .arg(registers, plainNumber(in.multiplier), plainNumber(in.ct.factor()),
                                plainNumber(in.vt.factor()), energyText(b.registeredKwh)) +
                       QStringLiteral(" (CT %1, VT %2)").arg(in.ct.text(), in.vt.text());
    if (!in.k) {
        b.noK = in.noK;
        b.lines << in.noK;
        return b;
    }
    // The K shown is the K billed, so that the figures can be worked again from the page.
    const double k = std::round(*in.k * 1000) / 1000;
    b.k = k;
    b.realKwh = k * b.registeredKwh;
    b.toBillKwh = (k - 1) * b.registeredKwh;
    b.lines << QStringLiteral("Real = K × registered = %1 × %2 = %3")
                   .arg(kText(k), energyText(b.registeredKwh), energyText(*b.realKwh));
    b.lines << QStringLiteral("To bill = (K − 1) × registered = %1%2")
                   .arg(energyText(*b.toBillKwh),
                        *b.toBillKwh < 0 ? QStringLiteral(" (a refund)") : QString());
    b.lines << QStringLiteral("K from %1.").arg(in.kSource);
    if (!in.assumption.isEmpty())
        b.lines << in.assumption;
    return b;
}

BackBilling jobBackBilling(const Job& job) {
    if (!job.from || !job.to) {
        BackBilling b;
        b.problem = QStringLiteral("No register readings yet.");
        return b;
    }
    BackBillingInput in{
        *job.from, *job.to, job.multiplier, job.ct, job.vt, job.primaryRegister, std::nullopt, {},
        {},        {}};
    if (job.recording) {
        const RecordingSummary& r = *job.recording;
        const QString share = plainNumber(std::round(r.coveredShare * 1000) / 10);
        in.kSource = QStringLiteral("the recording %1, reading by reading (it covers %2% of the "
                                    "period)")
                         .arg(r.file, share);
        if (r.registeredKwh != 0)
            in.k = r.realKwh / r.registeredKwh;
        else
            in.noK = QStringLiteral("The meter registered nothing over the recording: the "
                                    "period's energy cannot come from the register.");
        in.assumption = QStringLiteral("Assumes the part of the period the recording does not "
                                       "cover ran as the part it does.");
    } else if (const JobCheck* found = job.last(CheckKind::AsFound)) {
        in.kSource = QStringLiteral("the as-found check of %1").arg(jobTimeText(found->time));
        in.k = found->verdict.ambiguous ? std::nullopt : found->verdict.k;
        if (found->settings.system != WiringSystem::ThreeWire && !found->verdict.k)
            in.noK = QStringLiteral("A check of this system gives no single K for the energy: the "
                                    "period's energy cannot come from the register.");
        else if (!found->verdict.matched)
            in.noK = QStringLiteral("No standard connection explains the as-found reading: there "
                                    "is no K, and the period's energy cannot come from the "
                                    "register.");
        else if (found->verdict.ambiguous)
            in.noK = QStringLiteral("The as-found reading fits more than one connection, with "
                                    "different K (say which terminal carries line B and check "
                                    "again): the period's energy cannot come from the "
                                    "register.");
        else if (!found->verdict.k)
            in.noK = QStringLiteral("The meter stood still as found (K none): the period's energy "
                                    "cannot come from the register.");
        in.assumption = QStringLiteral("Assumes the load angle and the balance of the phases "
                                       "stayed over the period as at the check: %1.")
                            .arg(loadAngleText(found->verdict.loadAngle));
    } else {
        in.noK = QStringLiteral("No as-found check: K is not known.");
    }
    return backBilling(in);
}

} // namespace pm
