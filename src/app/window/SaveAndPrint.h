#pragma once

#include "app/window/ExportDialog.h"
#include "platform/DiskFileStore.h"
#include "platform/QtAlerts.h"
#include "platform/QtCommonDialog.h"
#include "platform/QtLinePrinter.h"
#include "platform/QtWindowSnapshot.h"
#include "platform/XlsxWorkbookWriter.h"
#include "records/Saving.h"

#include <QDateTime>
#include <QImage>
#include <functional>

class QWidget;

namespace pm {

class MeterCore;
class RecordTable;

// What "Save" and "Print" work with: the window's one common dialog (CommonDialog1) with the
// printer it chooses, the disk, the picture of the window, the workbook writer and the message
// box. The dialog keeps the chosen file type and printer from one use to the next.
class SaveAndPrint {
public:
    explicit SaveAndPrint(QWidget& window);

    // "Save" (Command2) and "Print" (Command4), for the view the core shows; the live view's last
    // reading came at `taken`.
    void save(const MeterCore& core, const QDateTime& taken, const RecordTable& table);
    void print(const MeterCore& core, const QDateTime& taken, const RecordTable& table);

    // "Print" on a view that is a picture, drawn once the printer is chosen.
    void printPicture(const std::function<QImage()>& draw);
    // "Print" on a view that is a report, drawn in report units once the printer is chosen.
    void printDrawing(const std::function<void(QPainter&, const QRectF&)>& draw);

    // The folder saves start in (created when missing): the default one unless changed.
    void setSaveFolder(const QString& folder) { services_.folder = folder; }
    QtLinePrinter& printer() { return printer_; }
    // For the views that save and open files of their own.
    SaveServices& services() { return services_; }
    OpenDialog& openDialog() { return CommonDialog1; }
    Alerts& alerts() { return alerts_; }

private:
    QtLinePrinter printer_;
    QtCommonDialog CommonDialog1;
    DiskFileStore files_;
    QtWindowSnapshot snapshot_;
    XlsxWorkbookWriter workbook_;
    QtAlerts alerts_;
    ExportDialog exports_;
    SaveServices services_;
};

} // namespace pm
