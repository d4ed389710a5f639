#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

// Holds the answers still waiting for their dialog.
inline QObject& pendingDialogAnswers() {
    static QObject* const holder = new QObject;
    return *holder;
}

// Answers the next modal dialog of type T once it is shown: `act` runs on it and should accept or
// reject it. Gives up after the deadline, or when the test ends (DialogAnswersEndWithTheirTest).
template <typename T>
QPointer<QTimer> answerNextDialog(std::function<void(T&)> act, int deadlineMs = 10000) {
    auto* poll = new QTimer(&pendingDialogAnswers());
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
    return poll;
}

// An answer holds references to its test's locals: when the test fails before its dialog
// appears, the answer must not live on into the next test. Installed once, in main.
class DialogAnswersEndWithTheirTest : public ::testing::EmptyTestEventListener {
public:
    void OnTestEnd(const ::testing::TestInfo&) override {
        qDeleteAll(pendingDialogAnswers().children());
    }
};

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
