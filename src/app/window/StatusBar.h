#pragma once

#include <QColor>
#include <QDateTime>
#include <QLocale>
#include <QStatusBar>

class QLabel;
class QProgressBar;

namespace pm {

struct DownloadProgress;
struct LinkCaptions;

// Panel 1 and panel 3 of the status bar: the date and the time as the user's locale writes them
// (short date; time with seconds).
struct ClockTexts {
    QString date;
    QString time;
};
ClockTexts clockTexts(const QDateTime& now, const QLocale& locale = QLocale());

// The port and the link in plain words, with the colour of their mark: green while the meter
// answers, amber while it is looked for.
struct LinkStatus {
    QString text;
    QColor mark;
};
LinkStatus linkStatus(const LinkCaptions& captions, bool linked);

// StatusBar1: the date; the link, the recording running, what a download left out or how far it
// has come, and the time of the last reading; the time.
class StatusBar : public QStatusBar {
public:
    explicit StatusBar(QWidget* parent = nullptr);

    // The Timer1 tick.
    void showClock(const QDateTime& now = QDateTime::currentDateTime());
    void showLink(const LinkStatus& status);
    // The recording running ("phase.csv, 0:01:05, 65 rows") behind a red dot; empty hides both.
    void showRecording(const QString& text, const QString& tip);
    // When the last live reading came; an invalid time: none has come yet.
    void showLastReading(const QDateTime& at);
    void showProgress(const DownloadProgress& progress);
    // What the last download left out, beside the link; empty to show nothing.
    void showNote(const QString& text);

    QLabel* panel(int index) const; // 1 to 3; 2 is the link's text

private:
    QLabel* panels_[3] = {};
    QLabel* linkMark_ = nullptr;
    QLabel* link_ = nullptr;
    QLabel* recordingMark_ = nullptr;
    QLabel* recording_ = nullptr;
    QLabel* lastReading_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* note_ = nullptr;
};

} // namespace pm
