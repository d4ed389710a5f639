#include "app/window/SaveAndPrint.h"

#include "protocol/MeterCore.h"
#include "records/Printing.h"
#include "records/RecordTable.h"

#include <QWidget>

namespace pm {

SaveAndPrint::SaveAndPrint(QWidget& window)
    : CommonDialog1(&window, printer_.printer()), snapshot_(window), alerts_(&window),
      exports_(window), services_{CommonDialog1, files_,  snapshot_,
                                  workbook_,     alerts_, defaultSaveFolder()} {
    services_.exporter = &exports_;
}

void SaveAndPrint::save(const MeterCore& core, const QDateTime& taken, const RecordTable& table) {
    saveClick(core.form.realview, core.form.reccount, core.panel, taken, table, services_);
}

void SaveAndPrint::print(const MeterCore& core, const QDateTime& taken, const RecordTable& table) {
    printClick(core.form.realview, core.form.reccount, core.panel, taken, table, CommonDialog1,
               printer_, alerts_);
}

void SaveAndPrint::printPicture(const std::function<QImage()>& draw) {
    printPictureClick(draw, CommonDialog1, printer_, alerts_);
}

void SaveAndPrint::printDrawing(const std::function<void(QPainter&, const QRectF&)>& draw) {
    printDrawingClick(draw, CommonDialog1, printer_, alerts_);
}

} // namespace pm
