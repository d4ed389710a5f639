#pragma once

#include "platform/SaveDialog.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>

namespace pm {

class Alerts;
class ExportProgress;
class Exporter;
class FileStore;
class ReadingTexts;
class RecordTable;
class SaveDialog;
class WindowSnapshot;
class WorkbookWriter;

// The file types each save offers; their positions share the dialog's remembered type.
inline const QString kViewFilter = QStringLiteral("jpg (*.jpg)|*.jpg|txt (*.txt)|*.txt|");
inline const QString kTableFilter = QStringLiteral("txt (*.txt)|*.txt|excel (*.xls)|*.xls|");

// What the saves work with: the window's one save dialog, the disk, the window picture, the
// workbook writer and the message box. `folder` is where the dialog starts, created when missing.
struct SaveServices {
    SaveDialog& dialog;
    FileStore& files;
    WindowSnapshot& snapshot;
    WorkbookWriter& workbook;
    Alerts& alerts;
    QString folder;
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    // Runs the exports that take long (a table, a week of readings) off the window's thread;
    // none: they run at once.
    Exporter* exporter = nullptr;
};

// "Zandrel", the date and the minute, then what is saved, written so that it is a valid file name
// everywhere: "Zandrel2026-07-12 0909 Realtime". Saves of different things, or minutes apart,
// offer different names.
QString defaultFileName(const QDateTime& when, const QString& what = {});

// "Save": the real-time view (realview -1), whose last reading came at `taken` (invalid: none), or
// the record table. Like the panel, `taken` is read once the dialog has closed: it must be the
// time of the reading the panel then shows.
void saveClick(int realview, int reccount, const ReadingTexts& panel, const QDateTime& taken,
               const RecordTable& table, SaveServices& services);

// The real-time view as a JPEG picture of the window or as the five-line text report followed by
// the time of its reading.
void saveview(const ReadingTexts& panel, const QDateTime& taken, SaveServices& services);

// The record table as a text file of record blocks or as a workbook.
void savedata(const RecordTable& table, int reccount, SaveServices& services);

// The steps every save shares, for the views that save things of their own. The dialog's start: the
// default name (naming `what` is saved) and folder (created when missing), and the extension of
// the type the dialog remembers among those `filter` offers.
SaveRequest saveRequest(SaveServices& services, const QString& filter, const QString& what = {});
// Shows the dialog; the path chosen, or empty after a cancel or a reported failure.
QString chooseSavePath(SaveServices& services, const SaveRequest& request);
// Writes the file whole, or tells the user why it could not be written.
void writeOrReport(SaveServices& services, const QString& path, const QByteArray& bytes);
void reportSaveFailure(SaveServices& services, const QString& why);
// The file `build` makes from its own copy of the rows, written whole through the exporter, or
// nothing when the user cancels; the user hears why when it fails. `build` runs on the export's
// thread: it may touch only its copy, the workbook writer and `progress`.
using ExportBuild = std::function<bool(ExportProgress& progress, QByteArray* file, QString* why)>;
void exportOrReport(SaveServices& services, const QString& path, const QString& caption,
                    ExportBuild build);

} // namespace pm
