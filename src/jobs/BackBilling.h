#pragma once

#include "jobs/Job.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace pm {

// The energy a wrongly connected meter mis-registered over a period, primary side, in kWh.
// Registered = (to − from) × multiplier × CT × VT for a register counting secondary energy, or
// (to − from) × multiplier for a register that already shows primary energy; real = K × registered;
// to bill = (K − 1) × registered, negative for a refund.
struct BackBilling {
    bool ok = false; // the registers are usable; otherwise `problem` says why
    QString problem;
    double registeredKwh = 0;
    std::optional<double> k;       // none: the energy cannot come from the register
    std::optional<double> realKwh; // with K
    std::optional<double> toBillKwh;
    QString kSource;   // where K came from: the as-found check, or a recording
    QString noK;       // why there is no K, when there is none
    QStringList lines; // the figures with their formula and assumption, for the report
};

struct BackBillingInput {
    RegisterReading from;
    RegisterReading to;
    double multiplier = 1;
    Ratio ct;
    Ratio vt;
    bool primaryRegister = false;
    // K and what it rests on; the absence of `k` is explained by `noK`.
    std::optional<double> k;
    QString kSource;
    QString noK;
    QString assumption;
};

BackBilling backBilling(const BackBillingInput& input);

// The back-billing of a job: its registers, K of its last as-found check, or the recording over
// the period when one was given. Not ok without both register readings.
BackBilling jobBackBilling(const Job& job);

} // namespace pm
