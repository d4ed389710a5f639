#pragma once

#include "platform/WorkbookWriter.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <map>
#include <memory>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace pm {

// Office Open XML workbooks (what current spreadsheet applications write by default, also under
// an ".xls" name) through libxlsxwriter, so no spreadsheet application is needed. The library
// writes only to a named file: the workbook is built in a private temporary folder and handed
// back as bytes, so the caller writes the user's file in one piece.
class XlsxWorkbookWriter : public WorkbookWriter {
public:
    XlsxWorkbookWriter() = default;
    ~XlsxWorkbookWriter() override;
    XlsxWorkbookWriter(const XlsxWorkbookWriter&) = delete;
    XlsxWorkbookWriter& operator=(const XlsxWorkbookWriter&) = delete;

    bool begin(QString* why) override;
    bool beginInRowOrder(QString* why) override;
    bool setCell(int row, int col, const QString& text, QString* why) override;
    bool setNumber(int row, int col, double value, int decimals, QString* why) override;
    bool setDateTime(int row, int col, const QDateTime& time, QString* why) override;
    void setColumnWidth(int col, double characters) override;
    void freezeRowsAbove(int row) override;
    bool finish(QByteArray* file, QString* why) override;
    void discard() override { drop(); }

private:
    void drop();
    bool open(bool rowOrder, QString* why);
    bool cellAt(int row, int col, QString* why) const;
    lxw_format* centredWith(const QByteArray& numberFormat);

    std::unique_ptr<QTemporaryDir> dir_;
    QByteArray tmpdir_; // kept alive for the library until the workbook is closed
    lxw_workbook* workbook_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* centred_ = nullptr;
    std::map<QByteArray, lxw_format*> numberFormats_; // owned by the workbook
};

} // namespace pm
