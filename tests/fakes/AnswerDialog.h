#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QTimer>
#include <functional>

// Answers the next modal dialog of type T once it is shown: `act` runs on it and should accept or
// reject it. Gives up after the deadline.
template <typename T> void answerNextDialog(std::function<void(T&)> act, int deadlineMs = 10000) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    const QDeadlineTimer deadline(deadlineMs);
    QObject::connect(poll, &QTimer::timeout, [poll, act, deadline] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        const bool found = dialog && dialog->isVisible();
        if (!found && !deadline.hasExpired())
            return;
        poll->stop();
        poll->deleteLater();
        if (found)
            act(*dialog);
    });
    poll->start();
}

// Rejects any modal dialog still open when the time is up, so that a dialog nobody answers (an
// unexpected question, say) fails the test instead of hanging it.
class ModalWatchdog {
public:
    explicit ModalWatchdog(int ms = 15000) {
        timer_.setInterval(ms);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                fired = true;
                open->reject();
            }
        });
        timer_.start();
    }
    bool fired = false;

private:
    QTimer timer_;
};
