#include "app/window/ReadingAge.h"

#include "platform/Alerts.h"

#include <QLocale>

namespace pm {

bool readingStale(const QDateTime& last, const QDateTime& now) {
    return !last.isValid() || last.msecsTo(now) >= kStaleAfterMs;
}

QString readingTimeText(const QDateTime& last, const QDateTime& now) {
    const QString format = last.date() == now.date() ? QStringLiteral("HH:mm:ss")
                                                     : QStringLiteral("yyyy-MM-dd HH:mm:ss");
    return QLocale::c().toString(last, format);
}

QString staleCaption(const QDateTime& last, const QDateTime& now) {
    if (!last.isValid())
        return QStringLiteral("No reading yet");
    return QStringLiteral("No reading since ") + readingTimeText(last, now);
}

QString staleQuestion(const QDateTime& last, const QDateTime& now, const QString& verb) {
    const QString anyway = QStringLiteral(" %1 it anyway?").arg(verb);
    if (!last.isValid())
        return QStringLiteral("No reading has come from the meter.") + anyway;
    return QStringLiteral("The last reading is from %1.").arg(readingTimeText(last, now)) + anyway;
}

bool confirmReadingAge(Alerts& alerts, const QDateTime& taken, const QDateTime& now,
                       const QString& verb) {
    if (!readingStale(taken, now))
        return true;
    return alerts.ask(QStringLiteral("Old reading"), staleQuestion(taken, now, verb));
}

StaleWatch::StaleWatch() {
    due_.setSingleShot(true);
    due_.setTimerType(Qt::PreciseTimer);
    connect(&due_, &QTimer::timeout, this, [this] { check(); });
}

void StaleWatch::reading() {
    last_ = clock();
    if (timed_)
        due_.start(int(kStaleAfterMs) + 1); // the clock in ms may trail the timer by one
    check();
}

void StaleWatch::check() {
    const bool stale = readingStale(last_, clock());
    if (stale == stale_)
        return;
    stale_ = stale;
    if (changed)
        changed();
}

} // namespace pm
