#include "records/Saving.h"

#include "platform/Alerts.h"
#include "platform/Export.h"
#include "platform/FileFilter.h"
#include "platform/FileStore.h"
#include "platform/SaveDialog.h"
#include "platform/WindowSnapshot.h"
#include "records/RecordTable.h"
#include "records/TableText.h"
#include "records/TextFile.h"
#include "records/Toexcel.h"
#include "records/ViewReport.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <memory>

namespace pm {

QString defaultFileName(const QDateTime& when, const QString& what) {
    QString name =
        QStringLiteral("Zandrel") + QLocale::c().toString(when, QStringLiteral("yyyy-MM-dd HHmm"));
    if (!what.isEmpty())
        name += QLatin1Char(' ') + what;
    return name;
}

void reportSaveFailure(SaveServices& s, const QString& why) {
    s.alerts.warn(QStringLiteral("Saving Error!"), QStringLiteral("Save Error.\r\n") + why);
}

// When the default folder cannot be created the user hears why and still gets the dialog to save
// elsewhere.
SaveRequest saveRequest(SaveServices& s, const QString& filter, const QString& what) {
    SaveRequest request;
    request.fileName = defaultFileName(s.now(), what);
    request.filter = filter;
    const QList<FileType> types = parseFilter(filter);
    if (!types.isEmpty()) {
        const int k = std::clamp(s.dialog.filterIndex(), 1, int(types.size()));
        const QString suffix = patternSuffix(types[k - 1].pattern);
        if (!suffix.isEmpty())
            request.defaultExt = QLatin1Char('.') + suffix;
    }
    request.initDir = s.folder;
    QString why;
    if (!s.files.exists(s.folder) && !s.files.makeFolder(s.folder, &why)) {
        reportSaveFailure(s, why);
        request.initDir.clear();
    }
    return request;
}

QString chooseSavePath(SaveServices& s, const SaveRequest& request) {
    const SaveChoice choice = s.dialog.showSave(request);
    if (choice.outcome.result == DialogResult::Cancelled)
        return {};
    if (choice.outcome.result == DialogResult::Failed) {
        reportSaveFailure(s, choice.outcome.description);
        return {};
    }
    return choice.fileName;
}

void writeOrReport(SaveServices& s, const QString& path, const QByteArray& bytes) {
    QString why;
    if (!s.files.write(path, bytes, &why))
        reportSaveFailure(s, why);
}

void exportOrReport(SaveServices& s, const QString& path, const QString& caption,
                    ExportBuild build) {
    ExportWork work = [&files = s.files, path, build = std::move(build)](ExportProgress& progress) {
        QByteArray bytes;
        QString why;
        const bool built = build(progress, &bytes, &why);
        if (progress.cancelled())
            return ExportOutcome{ExportOutcome::Cancelled, {}};
        if (!built || !files.write(path, bytes, &why))
            return ExportOutcome{ExportOutcome::Failed, why};
        return ExportOutcome{};
    };
    auto done = [&s](const ExportOutcome& outcome) {
        if (outcome.result == ExportOutcome::Failed)
            reportSaveFailure(s, outcome.why);
    };
    if (s.exporter)
        s.exporter->run(caption, std::move(work), done);
    else
        runExportHere(work, done);
}

void saveClick(int realview, int reccount, const ReadingTexts& panel, const QDateTime& taken,
               const RecordTable& table, SaveServices& services) {
    if (realview == -1)
        saveview(panel, taken, services);
    else
        savedata(table, reccount, services);
}

void saveview(const ReadingTexts& panel, const QDateTime& taken, SaveServices& s) {
    const SaveRequest request = saveRequest(s, kViewFilter, QStringLiteral("Realtime"));
    // The window as the user saw it when pressing "Save", before the dialog covers it; taken every
    // time, as the type is only known once the dialog has closed.
    s.snapshot.take();
    const QString path = chooseSavePath(s, request);
    if (path.isEmpty())
        return;
    if (s.dialog.filterIndex() <= 1) {
        QByteArray picture;
        QString why;
        if (!s.snapshot.jpeg(&picture, &why)) {
            reportSaveFailure(s, why);
            return;
        }
        writeOrReport(s, path, picture);
        return;
    }
    // The panel as it is now that the dialog has closed. The time goes after the five lines, where
    // a reader of the report's fixed layout does not look.
    writeOrReport(s, path, textFileBytes(viewReportLines(panel) << readingTakenText(taken)));
}

void savedata(const RecordTable& table, int reccount, SaveServices& s) {
    const SaveRequest request = saveRequest(s, kTableFilter, QStringLiteral("Records"));
    const QString path = chooseSavePath(s, request);
    if (path.isEmpty())
        return;
    // The export works from its own copy: records go on arriving meanwhile.
    auto cells = std::make_shared<const TableCells>(tableCells(table));
    const QString caption =
        QStringLiteral("Saving the records to %1").arg(QFileInfo(path).fileName());
    if (s.dialog.filterIndex() <= 1) {
        const int blocks = blocksToWrite(reccount, table);
        exportOrReport(s, path, caption,
                       [cells, blocks](ExportProgress&, QByteArray* file, QString*) {
                           *file = textFileBytes(tableTextLines(*cells, blocks));
                           return true;
                       });
        return;
    }
    exportOrReport(s, path, caption,
                   [cells, path, &workbook = s.workbook](ExportProgress& progress, QByteArray* file,
                                                         QString* why) {
                       return tableWorkbook(*cells, path, workbook, file, why, &progress);
                   });
}

} // namespace pm
