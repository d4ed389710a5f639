#include "cli/HexBlock.h"

namespace pm::cli {

namespace {
constexpr int kBlockSize = 22;
} // namespace

std::optional<QByteArray> blockFromHex(const QString& text, QString& error) {
    QByteArray digits;
    for (const QChar c : text) {
        if (c.isSpace())
            continue;
        const char16_t u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F'))) {
            error = QStringLiteral("\"%1\" is not a hex digit").arg(c);
            return std::nullopt;
        }
        digits += char(u);
    }
    if (digits.size() % 2 != 0) {
        error = QStringLiteral("it has an odd number of hex digits");
        return std::nullopt;
    }
    if (digits.size() != 2 * kBlockSize) {
        const auto bytes = digits.size() / 2;
        error = QStringLiteral("it holds %1 %2").arg(bytes).arg(bytes == 1 ? "byte" : "bytes");
        return std::nullopt;
    }
    return QByteArray::fromHex(digits);
}

} // namespace pm::cli
