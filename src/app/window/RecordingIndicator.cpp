#include "app/window/RecordingIndicator.h"

#include <QFileInfo>

namespace pm {

void RecordingIndicator::follow(bool recording, const QString& path, const QDateTime& now) {
    if (!recording) {
        path_.clear();
        return;
    }
    if (path == path_)
        return;
    path_ = path;
    started_ = now;
    rows_ = 0;
}

void RecordingIndicator::reading() {
    if (running())
        ++rows_;
}

QString RecordingIndicator::text(const QDateTime& now) const {
    if (!running())
        return {};
    const qint64 seconds = std::max<qint64>(0, started_.secsTo(now));
    const QString elapsed = QStringLiteral("%1:%2:%3")
                                .arg(seconds / 3600)
                                .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                                .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1, %2, %3 %4")
        .arg(QFileInfo(path_).fileName(), elapsed)
        .arg(rows_)
        .arg(rows_ == 1 ? QStringLiteral("row") : QStringLiteral("rows"));
}

} // namespace pm
