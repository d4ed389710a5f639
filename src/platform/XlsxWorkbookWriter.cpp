#include "platform/XlsxWorkbookWriter.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <system_error>
#include <xlsxwriter.h>

namespace pm {

namespace {
QString libraryError(lxw_error error) {
    return QStringLiteral("The workbook could not be written: %1")
        .arg(QString::fromUtf8(lxw_strerror(error)));
}

bool fileOperation(lxw_error error) {
    switch (error) {
    case LXW_ERROR_CREATING_XLSX_FILE:
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        return true;
    default:
        return false;
    }
}

QString workbookPath(const QTemporaryDir& dir) {
    return dir.filePath(QStringLiteral("workbook.xlsx"));
}
} // namespace

XlsxWorkbookWriter::~XlsxWorkbookWriter() {
    drop();
}

void XlsxWorkbookWriter::drop() {
    if (workbook_)
        lxw_workbook_free(workbook_);
    workbook_ = nullptr;
    sheet_ = nullptr;
    centred_ = nullptr;
    numberFormats_.clear();
    dir_.reset();
}

bool XlsxWorkbookWriter::begin(QString* why) {
    return open(false, why);
}

bool XlsxWorkbookWriter::beginInRowOrder(QString* why) {
    return open(true, why);
}

bool XlsxWorkbookWriter::open(bool rowOrder, QString* why) {
    drop();
    dir_ = std::make_unique<QTemporaryDir>();
    if (!dir_->isValid()) {
        *why = QStringLiteral("No temporary folder for the workbook: %1").arg(dir_->errorString());
        dir_.reset();
        return false;
    }
    tmpdir_ = QFile::encodeName(dir_->path());
    lxw_workbook_options options{};
    // Rows in order are written out as the next one starts (a week of readings would otherwise
    // hold well over a gigabyte); the table's cells come column by column and are kept.
    options.constant_memory = rowOrder ? LXW_TRUE : LXW_FALSE;
    options.tmpdir = tmpdir_.data();
    workbook_ = workbook_new_opt(QFile::encodeName(workbookPath(*dir_)).constData(), &options);
    if (workbook_)
        sheet_ = workbook_add_worksheet(workbook_, nullptr);
    if (sheet_)
        centred_ = workbook_add_format(workbook_);
    if (!centred_) {
        *why = QStringLiteral("The workbook could not be created.");
        drop();
        return false;
    }
    format_set_align(centred_, LXW_ALIGN_CENTER);
    format_set_align(centred_, LXW_ALIGN_VERTICAL_CENTER);
    return true;
}

bool XlsxWorkbookWriter::cellAt(int row, int col, QString* why) const {
    if (!sheet_) {
        *why = QStringLiteral("No workbook is open.");
        return false;
    }
    if (row < 1 || col < 1) {
        *why = QStringLiteral("There is no cell at row %1, column %2.").arg(row).arg(col);
        return false;
    }
    return true;
}

lxw_format* XlsxWorkbookWriter::centredWith(const QByteArray& numberFormat) {
    lxw_format*& format = numberFormats_[numberFormat];
    if (!format) {
        format = workbook_add_format(workbook_);
        if (!format)
            return centred_;
        format_set_align(format, LXW_ALIGN_CENTER);
        format_set_align(format, LXW_ALIGN_VERTICAL_CENTER);
        format_set_num_format(format, numberFormat.constData());
    }
    return format;
}

bool XlsxWorkbookWriter::setNumber(int row, int col, double value, int decimals, QString* why) {
    if (!cellAt(row, col, why))
        return false;
    const QByteArray format =
        decimals > 0 ? "0." + QByteArray(std::clamp(decimals, 1, 15), '0') : QByteArray("0");
    const lxw_error error = worksheet_write_number(sheet_, lxw_row_t(row - 1), lxw_col_t(col - 1),
                                                   value, centredWith(format));
    if (error != LXW_NO_ERROR) {
        *why = libraryError(error);
        return false;
    }
    return true;
}

bool XlsxWorkbookWriter::setDateTime(int row, int col, const QDateTime& time, QString* why) {
    if (!cellAt(row, col, why))
        return false;
    const QDate d = time.date();
    const QTime t = time.time();
    lxw_datetime when{d.year(), d.month(),  d.day(),
                      t.hour(), t.minute(), t.second() + t.msec() / 1000.0};
    const lxw_error error = worksheet_write_datetime(sheet_, lxw_row_t(row - 1), lxw_col_t(col - 1),
                                                     &when, centredWith("yyyy-mm-dd hh:mm:ss"));
    if (error != LXW_NO_ERROR) {
        *why = libraryError(error);
        return false;
    }
    return true;
}

void XlsxWorkbookWriter::setColumnWidth(int col, double characters) {
    if (sheet_ && col >= 1)
        worksheet_set_column(sheet_, lxw_col_t(col - 1), lxw_col_t(col - 1), characters, nullptr);
}

void XlsxWorkbookWriter::freezeRowsAbove(int row) {
    if (sheet_ && row >= 2)
        worksheet_freeze_panes(sheet_, lxw_row_t(row - 1), 0);
}

bool XlsxWorkbookWriter::setCell(int row, int col, const QString& text, QString* why) {
    if (!cellAt(row, col, why))
        return false;
    const auto r = lxw_row_t(row - 1);
    const auto c = lxw_col_t(col - 1);
    // An empty cell is still written, so that it is centred like the rest.
    const lxw_error error =
        text.isEmpty() ? worksheet_write_blank(sheet_, r, c, centred_)
                       : worksheet_write_string(sheet_, r, c, text.toUtf8().constData(), centred_);
    if (error != LXW_NO_ERROR) {
        *why = libraryError(error);
        return false;
    }
    return true;
}

bool XlsxWorkbookWriter::finish(QByteArray* file, QString* why) {
    if (!workbook_) {
        *why = QStringLiteral("No workbook is open.");
        return false;
    }
    // workbook_close writes the file and frees the workbook, whatever it returns.
    errno = 0;
    const lxw_error error = workbook_close(workbook_);
    const int systemError = errno;
    workbook_ = nullptr;
    sheet_ = nullptr;
    centred_ = nullptr;
    numberFormats_.clear();
    if (error != LXW_NO_ERROR) {
        // The library's own words for a failed file operation do not say what failed; the
        // system's do ("File too large", "No space left on device").
        *why = fileOperation(error) && systemError != 0
                   ? QString::fromLocal8Bit(std::generic_category().message(systemError))
                   : QString::fromUtf8(lxw_strerror(error));
        drop();
        return false;
    }
    QFile written(workbookPath(*dir_));
    if (!written.open(QIODevice::ReadOnly)) {
        *why =
            QStringLiteral("the workbook could not be read back (%1)").arg(written.errorString());
        drop();
        return false;
    }
    *file = written.readAll();
    written.close();
    drop();
    return true;
}

} // namespace pm
