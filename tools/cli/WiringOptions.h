#pragma once

#include "analysis/WiringCheck.h"

#include <QCommandLineParser>
#include <QList>
#include <optional>

namespace pm::cli {

// --system, --elements, --common and --load-angle, as `wiring` reads them: for the commands that
// run a wiring check.
QList<QCommandLineOption> wiringOptions();
// None, with why in `error`, when they are wrong.
std::optional<WiringSettings> wiringSettingsOf(const QCommandLineParser& parser, QString& error);

} // namespace pm::cli
