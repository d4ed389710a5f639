#pragma once

#include "jobs/Job.h"

namespace pm {

// The one place a job reads the wiring check's answer.
CheckVerdict verdictOf(const WiringResult& result);

} // namespace pm
