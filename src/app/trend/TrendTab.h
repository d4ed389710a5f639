#pragma once

#include "app/trend/TrendAxes.h"
#include "app/trend/TrendSelection.h"
#include "app/trend/TrendViewport.h"
#include "trend/TrendRecorder.h"
#include "trend/TrendReduce.h"
#include "trend/TrendSpan.h"

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

// One value axis: its unit (none: the axis is not shown) and its scale.
struct TrendAxis {
    std::optional<TrendUnit> unit;
    ValueScale scale;
};

// A stretch without readings as the plot shades it, with its label.
struct TrendShade {
    TrendGap gap;
    QString label; // "No readings 19:10:19 to 19:10:56"
};

// Everything the plot shows, for the widget to draw.
struct TrendPicture {
    TrendViewport::Range range;
    std::vector<TrendCurve> curves;
    std::array<TrendAxis, 2> axes; // left, right
    std::vector<TimeTick> ticks;
    std::vector<TrendShade> gaps;
    std::optional<qint64> newest; // the time of the newest reading in the span
};

// The cursors on the plot and the read-out beside them.
struct TrendReadout {
    std::vector<qint64> cursors; // the times of the readings they stand on
    QStringList lines;
};

// Statistics of one quantity over the span shown.
struct TrendSpanStats {
    Field field = Field::U1;
    TrendStats stats;
    int decimals = 0;
    bool withDate = false; // the span is longer than a day: the times need their dates
};

// The Trend tab without its widgets: the session's readings and their log, a recording opened
// for looking at, the quantities and the span chosen, and what each button does.
class TrendTab {
public:
    // `alerts` tells of a failed log; a log fails while a reply is handled, so the window hands
    // over one that speaks once that handler has ended.
    TrendTab(SaveServices& services, OpenDialog& openDialog, Alerts& alerts);

    // The time a reading arrives, and the present the live plot runs up to.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
    // The port the meter answers on ("COM3"), for the title of a picture or print-out.
    std::function<QString()> portName = [] { return QString(); };
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
    // The recording at `path` shown instead of the session's readings, whole or not at all; false
    // after telling the user why not.
    bool openFile(const QString& path);
    // "Live": the session's readings again, following the latest.
    void liveClicked();
    // The clock's tick: while following the live readings, the time axis moves on with it.
    void clockTick();
    // "Save": the plot as a picture (PNG or JPEG) or the readings it shows as CSV or a workbook.
    // `plot` is the plot as it is when "Save" is pressed.
    void saveClicked(const QImage& plot);

    void setChecked(Field f, bool on);
    // The quantities ticked by name ("U1", "PF2"), those of the left axis first, for the window to
    // keep between runs; given back, they are ticked again on the same axes. Names it does not
    // know are passed over; when none is known the ticks stay as they are.
    QStringList quantityNames() const;
    void setQuantityNames(const QStringList& names);
    void follow(TrendViewport::Span span);
    // "Follow latest".
    void setFollowing(bool on);
    void zoom(double factor, qint64 at);
    void pan(qint64 msecs);
    // "Fit": everything held, following, the value axes fitted to it.
    void fit();
    // Ctrl+wheel: the value axes `factor` times as wide about `share` of their height (0 bottom).
    void zoomValues(double factor, double share);
    // Up and Down: the value axes move by `share` of their height (positive shows higher values),
    // both alike and never past what a quantity can be; kept until reset, as a zoom is.
    void panValues(double share);
    // "Reset value axes": fitted to the readings again.
    void resetValueAxes();

    // A click on the plot pins a cursor to the reading nearest `at`; a third starts over. A click
    // within `reach` of a pin takes that pin away.
    void pin(qint64 at, qint64 reach = 0);
    void clearPins();
    // The cursors and their read-out, with the mouse at `hover` (none: off the plot).
    TrendReadout readout(std::optional<qint64> hover) const;
    // Minimum, maximum and mean of each quantity shown over the readings of the span.
    std::vector<TrendSpanStats> spanStats() const;
    // The line above a picture or print-out of the plot: where the readings come from, the span,
    // the quantities and when it was made.
    QString titleLine(const QDateTime& made) const;

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

    // What the plot shows on `columns` pixel columns. The value axes keep their range while the
    // readings stay inside it.
    TrendPicture picture(int columns);

private:
    struct OpenedFile {
        QString path;
        TrendSeries series;
        bool lastRowIncomplete = false;
    };

    struct AxisState {
        std::optional<TrendUnit> unit;
        ValueScale scale;
        bool fitted = false; // the scale holds readings
        bool zoomed = false; // by Ctrl+wheel, kept until reset
    };

    void notify();
    // The first reading and the end of the readings shown: for the live ones, the present.
    std::pair<qint64, qint64> extent() const;
    std::pair<std::size_t, std::size_t> shownReadings() const;
    void fitAxes(TrendPicture& p);
    QString folderFor(const QString& path);
    QString startFolder() const;

    SaveServices& services_;
    OpenDialog& openDialog_;
    Alerts& alerts_;
    TrendRecorder recorder_;
    std::optional<OpenedFile> file_;
    TrendSelection selection_;
    TrendViewport viewport_;
    std::array<AxisState, 2> axes_;
    std::vector<qint64> pins_;
    QString lastFolder_; // where the tab's dialogs last went in this run
};

} // namespace pm
