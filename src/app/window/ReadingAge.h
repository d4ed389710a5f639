#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

namespace pm {

class Alerts;

// The meter answers a poll about twice a second: a live view without a reading for this long shows
// an installation that may have changed, or a meter that is gone.
inline constexpr qint64 kStaleAfterMs = 3000;

// True when the last reading (invalid: none yet) is kStaleAfterMs or more before `now`.
bool readingStale(const QDateTime& last, const QDateTime& now);
// "09:07:23" on the day of `now`, else with the date.
QString readingTimeText(const QDateTime& last, const QDateTime& now);
// "No reading since 09:07:23", or "No reading yet".
QString staleCaption(const QDateTime& last, const QDateTime& now);
// "The last reading is from 09:07:23. Save it anyway?" (`verb` "Save" or "Print").
QString staleQuestion(const QDateTime& last, const QDateTime& now, const QString& verb);

// Before a live view or a report of it is saved or printed: true when its reading (`taken`) is
// fresh, or the user, asked, still wants it.
bool confirmReadingAge(Alerts& alerts, const QDateTime& taken, const QDateTime& now,
                       const QString& verb);

// Watches the age of the live readings for the views that show them. The clock decides; a timer,
// once started, only makes it look again exactly when the last reading turns stale.
class StaleWatch : public QObject {
public:
    StaleWatch();

    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
    // The marking has to change.
    std::function<void()> changed;

    // A live reading has come now.
    void reading();
    // Looks at the clock again (each tick of the window's clock).
    void check();
    // From now on the watch also looks by itself the moment a reading turns stale.
    void startTimer() { timed_ = true; }

    bool stale() const { return stale_; }
    const QDateTime& last() const { return last_; }
    QString caption() const { return staleCaption(last_, clock()); }

private:
    QDateTime last_;
    bool stale_ = true;
    bool timed_ = false;
    QTimer due_;
};

} // namespace pm
