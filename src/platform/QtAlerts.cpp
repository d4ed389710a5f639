#include "platform/QtAlerts.h"

#include <QApplication>
#include <QMessageBox>

namespace pm {

void QtAlerts::warn(const QString& title, const QString& text) {
    QApplication::beep();
    // A label breaks lines at LF; a CR would show as a stray glyph.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::Warning, title, shown, QMessageBox::Ok, parent_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace pm
