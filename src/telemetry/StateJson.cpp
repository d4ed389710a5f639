#include "telemetry/StateJson.h"

#include "protocol/Reading.h"
#include "telemetry/Quantities.h"

namespace pm {

QString isoTimeWithOffset(const QDateTime& time) {
    const int offset = time.offsetFromUtc();
    const int minutes = (offset < 0 ? -offset : offset) / 60;
    return time.toOffsetFromUtc(offset).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
           (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QByteArray jsonNumber(const QString& text) {
    QByteArray out;
    for (const QChar c : text)
        if (c != QLatin1Char(',') && c != QChar(0x00B0) && c != QLatin1Char(' '))
            out += char(c.unicode() < 128 ? c.unicode() : '?');
    // JSON's number grammar, as fmtval writes: -?digits(.digits)?, no leading zeros but "0".
    qsizetype k = out.startsWith('-') ? 1 : 0;
    const qsizetype intStart = k;
    while (k < out.size() && out[k] >= '0' && out[k] <= '9')
        ++k;
    const qsizetype intDigits = k - intStart;
    bool ok = intDigits > 0 && (intDigits == 1 || out[intStart] != '0');
    if (ok && k < out.size() && out[k] == '.') {
        const qsizetype fracStart = ++k;
        while (k < out.size() && out[k] >= '0' && out[k] <= '9')
            ++k;
        ok = k > fracStart;
    }
    return ok && k == out.size() ? out : QByteArrayLiteral("null");
}

QByteArray stateJson(const QDateTime& time, const ReadingTexts& texts) {
    QByteArray json = "{\"time\": \"" + isoTimeWithOffset(time).toLatin1() + '"';
    for (const Quantity& q : kQuantities)
        json += QByteArrayLiteral(", \"") + q.key + QByteArrayLiteral("\": ") +
                jsonNumber(texts.text(q.field));
    return json + '}';
}

} // namespace pm
