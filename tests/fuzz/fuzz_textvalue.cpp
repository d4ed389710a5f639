// Reading any text back as a number, and formatting whatever comes out.
#include "protocol/Fmtval.h"

#include <QString>
#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const double value = pm::textValue(text);
    if (std::isfinite(value))
        for (int decimals = 0; decimals <= 4; ++decimals)
            (void)pm::fmtval(float(value), decimals);
    return 0;
}
