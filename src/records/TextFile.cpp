#include "records/TextFile.h"

#include <QStringEncoder>

namespace pm {

namespace {
// One character at a time, for the rare text with a character outside the code page.
QByteArray encodeEach(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype k = 0; k < text.size(); ++k) {
        const QChar ch = text[k];
        if (ch.unicode() < 0x80) {
            out += char(ch.unicode());
            continue;
        }
        if (ch.isHighSurrogate() && k + 1 < text.size() && text[k + 1].isLowSurrogate()) {
            ++k; // a character beyond the 16-bit range is never in the code page
            out += '?';
            continue;
        }
        // A fresh encoder each time: one that has met an unmappable character stays in error.
        QStringEncoder encoder("windows-1252");
        const QByteArray one = encoder(QStringView(text).mid(k, 1));
        out += (encoder.hasError() || one.size() != 1) ? QByteArray(1, '?') : one;
    }
    return out;
}

QByteArray encode1252(const QString& text) {
    QStringEncoder encoder("windows-1252");
    if (!encoder.isValid()) {
        // Without the full code page the Latin-1 range still gives the same bytes for every text
        // the system writes (ASCII and the degree sign).
        QByteArray out;
        out.reserve(text.size());
        for (QChar ch : text)
            out += ch.unicode() <= 0xFF ? char(ch.unicode()) : '?';
        return out;
    }
    QByteArray out = encoder(text);
    if (!encoder.hasError())
        return out;
    return encodeEach(text);
}
} // namespace

QByteArray textFileBytes(const QStringList& lines) {
    QString all;
    qsizetype size = 0;
    for (const QString& line : lines)
        size += line.size() + 2;
    all.reserve(size);
    for (const QString& line : lines) {
        all += line;
        all += QLatin1String("\r\n");
    }
    return encode1252(all);
}

} // namespace pm
