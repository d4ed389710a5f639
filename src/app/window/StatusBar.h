#pragma once

#include <QDateTime>
#include <QLocale>
#include <QStatusBar>

class QLabel;
class QProgressBar;

namespace pm {

struct DownloadProgress;

// Panel 1 and panel 3 of the status bar: the date and the time as the user's locale writes them
// (short date; time with seconds).
struct ClockTexts {
    QString date;
    QString time;
};
ClockTexts clockTexts(const QDateTime& now, const QLocale& locale = QLocale());

// StatusBar1: the date, the program's name and the time; the progress of a record download
// appears beside the name while one runs.
class StatusBar : public QStatusBar {
public:
    explicit StatusBar(QWidget* parent = nullptr);

    // The Timer1 tick.
    void showClock(const QDateTime& now = QDateTime::currentDateTime());
    void showProgress(const DownloadProgress& progress);
    // What the last download left out, beside the name; empty to show nothing.
    void showNote(const QString& text);

    QLabel* panel(int index) const; // 1 to 3

private:
    QLabel* panels_[3] = {};
    QProgressBar* progress_ = nullptr;
    QLabel* note_ = nullptr;
};

} // namespace pm
