#include "records/Saving.h"

#include "platform/Alerts.h"
#include "platform/FileStore.h"
#include "platform/SaveDialog.h"
#include "platform/WindowSnapshot.h"
#include "records/RecordTable.h"
#include "records/TableText.h"
#include "records/TextFile.h"
#include "records/Toexcel.h"
#include "records/ViewReport.h"

#include <QDir>

namespace pm {

namespace {
void reportFailure(SaveServices& s, const QString& why) {
    s.alerts.warn(QStringLiteral("Saving Error!"), QStringLiteral("Save Error.\r\n") + why);
}

// The dialog's start: the default folder, created when no file or folder of that name exists.
// When it cannot be created the user hears why and still gets the dialog to save elsewhere.
SaveRequest requestFor(SaveServices& s, const QString& filter, const QString& firstExt,
                       const QString& secondExt) {
    SaveRequest request;
    request.fileName = defaultFileName(s.today());
    request.filter = filter;
    request.defaultExt = s.dialog.filterIndex() <= 1 ? firstExt : secondExt;
    request.initDir = s.folder;
    QString why;
    if (!s.files.exists(s.folder) && !s.files.makeFolder(s.folder, &why)) {
        reportFailure(s, why);
        request.initDir.clear();
    }
    return request;
}

// Shows the dialog; the path chosen, or empty after a cancel or a reported failure.
QString choosePath(SaveServices& s, const SaveRequest& request) {
    const SaveChoice choice = s.dialog.showSave(request);
    if (choice.outcome.result == DialogResult::Cancelled)
        return {};
    if (choice.outcome.result == DialogResult::Failed) {
        reportFailure(s, choice.outcome.description);
        return {};
    }
    return choice.fileName;
}

void writeOrReport(SaveServices& s, const QString& path, const QByteArray& bytes) {
    QString why;
    if (!s.files.write(path, bytes, &why))
        reportFailure(s, why);
}
} // namespace

QString defaultFileName(const QDate& day) {
    return QStringLiteral("Zandrel") + day.toString(QStringLiteral("yyyy-MM-dd"));
}

void saveClick(int realview, int reccount, const ReadingTexts& panel, const RecordTable& table,
               SaveServices& services) {
    if (realview == -1)
        saveview(panel, services);
    else
        savedata(table, reccount, services);
}

void saveview(const ReadingTexts& panel, SaveServices& s) {
    const SaveRequest request =
        requestFor(s, kViewFilter, QStringLiteral(".jpg"), QStringLiteral(".txt"));
    // The window as the user saw it when pressing "Save", before the dialog covers it; taken every
    // time, as the type is only known once the dialog has closed.
    s.snapshot.take();
    const QString path = choosePath(s, request);
    if (path.isEmpty())
        return;
    if (s.dialog.filterIndex() <= 1) {
        QByteArray picture;
        QString why;
        if (!s.snapshot.jpeg(&picture, &why)) {
            reportFailure(s, why);
            return;
        }
        writeOrReport(s, path, picture);
        return;
    }
    // The panel as it is now that the dialog has closed.
    writeOrReport(s, path, textFileBytes(viewReportLines(panel)));
}

void savedata(const RecordTable& table, int reccount, SaveServices& s) {
    const SaveRequest request =
        requestFor(s, kTableFilter, QStringLiteral(".txt"), QStringLiteral(".xls"));
    const QString path = choosePath(s, request);
    if (path.isEmpty())
        return;
    if (s.dialog.filterIndex() <= 1) {
        writeOrReport(s, path,
                      textFileBytes(tableTextLines(table, blocksToWrite(reccount, table))));
        return;
    }
    QString why;
    if (!toexcel(table, path, s.workbook, s.files, &why))
        reportFailure(s, why);
}

} // namespace pm
