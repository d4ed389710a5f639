#include "platform/QtAlerts.h"

#include <QApplication>
#include <QMessageBox>

namespace pm {

namespace {
// A label breaks lines at LF; a CR would show as a stray glyph.
QString shownText(QString text) {
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
} // namespace

bool QtAlerts::ask(const QString& title, const QString& question) {
    QMessageBox box(QMessageBox::Question, title, shownText(question),
                    QMessageBox::Yes | QMessageBox::No, parent_);
    box.setObjectName(QStringLiteral("Question"));
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void QtAlerts::warn(const QString& title, const QString& text) {
    QApplication::beep();
    QMessageBox box(QMessageBox::Warning, title, shownText(text), QMessageBox::Ok, parent_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace pm
