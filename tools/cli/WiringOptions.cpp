#include "cli/WiringOptions.h"

namespace pm::cli {

QList<QCommandLineOption> wiringOptions() {
    return {
        {QStringLiteral("system"), QStringLiteral("3p3w (the default), 3p4w or group."),
         QStringLiteral("3p3w|3p4w|group"), QStringLiteral("3p3w")},
        {QStringLiteral("elements"),
         QStringLiteral("With 3p4w: the elements of channel 1 and 2 (default 12)."),
         QStringLiteral("12|23|31")},
        {QStringLiteral("common"),
         QStringLiteral("With 3p3w: the voltage terminal that carries line B (the common line)."),
         QStringLiteral("1|2|3")},
        {QStringLiteral("load-angle"),
         QStringLiteral("The load angles to expect, lagging positive; may wrap past 180 (default "
                        "-60:60, export 120:240)."),
         QStringLiteral("MIN:MAX")},
    };
}

} // namespace pm::cli
