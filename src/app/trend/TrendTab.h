#pragma once

#include "app/trend/TrendSelection.h"
#include "app/trend/TrendViewport.h"
#include "trend/TrendRecorder.h"
#include "trend/TrendReduce.h"

#include <QDateTime>
#include <QImage>
#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace pm {

class Alerts;
class OpenDialog;
class ReadingTexts;
struct SaveServices;

// One quantity as the plot draws it: unbroken runs of (ms since the epoch, value).
struct TrendCurve {
    Field field = Field::U1;
    TrendSide side = TrendSide::Left;
    std::vector<TrendSegment> segments;
};

// One value axis: its unit (none: the axis is not shown) and the values it spans.
struct TrendAxis {
    std::optional<TrendUnit> unit;
    double min = 0;
    double max = 1;
};

// Everything the plot shows, for the widget to draw.
struct TrendPicture {
    TrendViewport::Range range;
    std::vector<TrendCurve> curves;
    std::array<TrendAxis, 2> axes; // left, right
};

// The Trend tab without its widgets: the session's readings and their log, a recording opened
// for looking at, the quantities and the span chosen, and what each button does.
class TrendTab {
public:
    // `alerts` tells of a failed log; a log fails while a reply is handled, so the window hands
    // over one that speaks once that handler has ended.
    TrendTab(SaveServices& services, OpenDialog& openDialog, Alerts& alerts);

    // The time a reading arrives.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
    // Something the tab shows has changed: redraw.
    std::function<void()> changed;

    // A live reading as the panel shows it, arriving now.
    void liveReading(const ReadingTexts& texts);

    // Appends every reading from now on to `path` ("phasemeter --log", and "Record..."); false
    // after telling the user why not.
    bool startRecording(const QString& path);
    // "Record...": asks for the file, or stops the recording running.
    void recordClicked();
    // "Open...": a recording shown instead of the session's readings, whole or not at all.
    void openClicked();
    // "Live": the session's readings again.
    void liveClicked();
    // "Save": the plot as a picture (PNG or JPEG) or the readings it shows as CSV or a workbook.
    // `plot` is the plot as it is when "Save" is pressed.
    void saveClicked(const QImage& plot);

    void setChecked(Field f, bool on);
    void follow(TrendViewport::Span span);
    void zoom(double factor, qint64 at);
    void pan(qint64 msecs);

    const TrendRecorder& recorder() const { return recorder_; }
    TrendRecorder& recorder() { return recorder_; }
    const TrendSelection& selection() const { return selection_; }
    const TrendViewport& viewport() const { return viewport_; }
    bool showingFile() const { return file_.has_value(); }
    // The readings the plot takes: the session's, or the recording opened.
    const TrendSeries& shown() const { return file_ ? file_->series : recorder_.series(); }
    TrendViewport::Range shownRange() const;
    // Where the readings shown come from and from when.
    QString heldText() const;
    // The file recorded to and, when the disk falls behind, by how many rows.
    QString recordingText() const;

    // What the plot shows on `columns` pixel columns.
    TrendPicture picture(int columns) const;

private:
    struct OpenedFile {
        QString path;
        TrendSeries series;
        bool lastRowIncomplete = false;
    };

    void notify();
    std::pair<qint64, qint64> extent() const;

    SaveServices& services_;
    OpenDialog& openDialog_;
    Alerts& alerts_;
    TrendRecorder recorder_;
    std::optional<OpenedFile> file_;
    TrendSelection selection_;
    TrendViewport viewport_;
};

} // namespace pm
