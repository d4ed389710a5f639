#pragma once

#include "platform/OpenDialog.h"
#include "platform/PrintDialog.h"
#include "platform/SaveDialog.h"

#include <QDir>
#include <QList>
#include <QStringList>
#include <functional>

// A save dialog answered by the test. Like the real one it remembers the chosen type between
// saves; each answer picks a type and either accepts the offered name in the offered folder
// (getting the default extension) or gives a name of its own.
class FakeSaveDialog : public pm::SaveDialog {
public:
    struct Answer {
        pm::DialogResult result = pm::DialogResult::Chosen;
        int type = 0;        // 1-based type chosen; 0 keeps the one offered
        QString name;        // a name typed by the user (a bare name gets the default extension);
                             // empty accepts the offered name
        QString description; // for a failure
    };

    static Answer chosen(int type = 0, const QString& name = {}) {
        return {pm::DialogResult::Chosen, type, name, {}};
    }
    static Answer cancelled() { return {pm::DialogResult::Cancelled, 0, {}, {}}; }
    static Answer failed(const QString& why) { return {pm::DialogResult::Failed, 0, {}, why}; }

    QList<Answer> answers;           // used in order; with none left the dialog is cancelled
    QList<pm::SaveRequest> requests; // every request shown
    int shownAtFilterIndex = 0;      // filterIndex() when the last dialog opened
    std::function<void()> whileOpen; // runs while the dialog is "open"

    int filterIndex() const override { return index_; }

    pm::SaveChoice showSave(const pm::SaveRequest& request) override {
        requests << request;
        shownAtFilterIndex = index_;
        if (whileOpen)
            whileOpen();
        if (answers.isEmpty())
            return {{pm::DialogResult::Cancelled, {}}, {}};
        const Answer a = answers.takeFirst();
        if (a.result != pm::DialogResult::Chosen)
            return {{a.result, a.description}, {}};
        if (a.type > 0)
            index_ = a.type;
        QString name = a.name.isEmpty() ? request.fileName : a.name;
        if (!name.contains(u'.'))
            name += request.defaultExt;
        const QString path =
            QDir::isAbsolutePath(name) ? name : QDir(request.initDir).filePath(name);
        return {{pm::DialogResult::Chosen, {}}, path};
    }

private:
    int index_ = 1;
};

// A printer dialog answered by the test; `onChosen` can set up the printer (print to a file).
class FakePrintDialog : public pm::PrintDialog {
public:
    pm::DialogOutcome answer{pm::DialogResult::Chosen, {}};
    std::function<void()> onChosen;
    int shown = 0;

    pm::DialogOutcome showPrinter() override {
        ++shown;
        if (answer.result == pm::DialogResult::Chosen && onChosen)
            onChosen();
        return answer;
    }
};

// An open dialog answered by the test: each answer is a path chosen (empty: cancelled).
class FakeOpenDialog : public pm::OpenDialog {
public:
    QStringList answers;
    QList<pm::OpenRequest> requests;

    pm::SaveChoice showOpen(const pm::OpenRequest& request) override {
        requests << request;
        const QString path = answers.isEmpty() ? QString() : answers.takeFirst();
        if (path.isEmpty())
            return {{pm::DialogResult::Cancelled, {}}, {}};
        return {{pm::DialogResult::Chosen, {}}, path};
    }
};
