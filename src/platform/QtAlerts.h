#pragma once

#include "platform/Alerts.h"

class QWidget;

namespace pm {

// The system beep and a modal warning box over the window.
class QtAlerts : public Alerts {
public:
    explicit QtAlerts(QWidget* parent) : parent_(parent) {}
    void warn(const QString& title, const QString& text) override;

private:
    QWidget* parent_;
};

} // namespace pm
