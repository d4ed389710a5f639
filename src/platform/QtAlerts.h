#pragma once

#include "platform/Alerts.h"

class QWidget;

namespace pm {

// The system beep and a modal warning box over the window; questions in a modal box of their own.
class QtAlerts : public Alerts {
public:
    explicit QtAlerts(QWidget* parent) : parent_(parent) {}
    void warn(const QString& title, const QString& text) override;
    bool ask(const QString& title, const QString& question) override;

private:
    QWidget* parent_;
};

} // namespace pm
