#pragma once

#include "platform/Alerts.h"

#include <QObject>

namespace pm {

// Messages shown once the handler that raised them has ended. A log fails while a reply is being
// handled; a modal box there would hold that handler open under the timers and replies that
// run meanwhile.
class QueuedAlerts : public Alerts {
public:
    // `context` ends the queue: messages still waiting when it is destroyed are dropped.
    QueuedAlerts(QObject& context, Alerts& shown) : context_(context), shown_(shown) {}

    void warn(const QString& title, const QString& text) override {
        QMetaObject::invokeMethod(
            &context_, [this, title, text] { shown_.warn(title, text); }, Qt::QueuedConnection);
    }
    // A question is asked by a click, never from inside a reply: it waits for its answer.
    bool ask(const QString& title, const QString& question) override {
        return shown_.ask(title, question);
    }

private:
    QObject& context_;
    Alerts& shown_;
};

} // namespace pm
