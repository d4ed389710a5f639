#include "platform/FileFilter.h"

#include <QStringList>

namespace pm {

QList<FileType> parseFilter(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QList<FileType> types;
    for (qsizetype k = 0; k + 1 < parts.size(); k += 2) {
        if (parts[k].isEmpty() && parts[k + 1].isEmpty())
            continue;
        types.append({parts[k], parts[k + 1]});
    }
    return types;
}

QString nameFilter(const FileType& type) {
    const QString d = type.description.trimmed();
    if (d.endsWith(u')') && d.contains(u'('))
        return d;
    return d + QStringLiteral(" (") + QString(type.pattern).replace(u';', u' ') + u')';
}

QString patternSuffix(const QString& pattern) {
    // Of "*.txt;*.text" the first pattern names the extension.
    const QString first = pattern.section(u';', 0, 0).trimmed();
    if (!first.startsWith(QStringLiteral("*.")))
        return {};
    const QString suffix = first.mid(2);
    if (suffix.isEmpty() || suffix.contains(u'*') || suffix.contains(u'?'))
        return {};
    return suffix;
}

} // namespace pm
