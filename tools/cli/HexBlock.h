#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace pm::cli {

// One 22-byte measurement block in hex, blanks allowed anywhere; none, with the reason in
// `error`, when it is not exactly 22 bytes of hex.
std::optional<QByteArray> blockFromHex(const QString& text, QString& error);

} // namespace pm::cli
