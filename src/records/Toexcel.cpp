#include "records/Toexcel.h"

#include "platform/FileStore.h"
#include "platform/WorkbookWriter.h"
#include "records/RecordTable.h"

#include <QDir>

namespace pm {

bool toexcel(const RecordTable& table, const QString& path, WorkbookWriter& workbook,
             FileStore& files, QString* why) {
    if (!workbook.begin(why))
        return false;
    // Column by column, each from the top, as the table's columns are its units of meaning.
    for (int c = 0; c < table.cols(); ++c)
        for (int r = 0; r < table.rows(); ++r)
            if (!workbook.setCell(r + 1, c + 1, table.text(r, c), why))
                return false;
    QByteArray file;
    if (!workbook.finish(&file, why)) {
        *why =
            QStringLiteral("%1 could not be written: %2").arg(QDir::toNativeSeparators(path), *why);
        return false;
    }
    return files.write(path, file, why);
}

} // namespace pm
