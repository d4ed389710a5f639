#pragma once

#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <atomic>
#include <functional>

namespace pm {

// What an export and the window share while it runs: how far it has come and whether the user
// has cancelled it. Written by the export's thread, read and cancelled from the window's.
class ExportProgress {
public:
    // The steps the export will take (rows, cells); progress is told as a share of them.
    void setTotal(qint64 steps) { total_ = std::max<qint64>(steps, 1); }
    // `done` steps taken; false once cancelled, and the export then stops without writing.
    bool advance(qint64 done);
    bool cancelled() const { return cancelled_.load(std::memory_order_relaxed); }
    void cancel() { cancelled_.store(true, std::memory_order_relaxed); }
    // Called on the export's thread each time another thousandth is done.
    std::function<void(int permille)> moved;

private:
    std::atomic<bool> cancelled_{false};
    qint64 total_ = 1;
    int permille_ = 0;
};

// How an export ended.
struct ExportOutcome {
    enum Result { Written, Failed, Cancelled };
    Result result = Written;
    QString why; // for Failed: the reason, naming the file
};

// An export: builds a file from its own copy of the rows and writes it whole, or writes nothing.
using ExportWork = std::function<ExportOutcome(ExportProgress& progress)>;

// Runs exports. The window's runs them on a thread of their own with a progress bar and Cancel,
// so that readings and recording go on; `done` is called on the caller's thread once it ends.
class Exporter {
public:
    virtual ~Exporter() = default;
    virtual void run(const QString& caption, ExportWork work,
                     std::function<void(const ExportOutcome&)> done) = 0;
};

// Runs an export at once on the caller's thread, for callers without a window.
void runExportHere(const ExportWork& work, const std::function<void(const ExportOutcome&)>& done);

} // namespace pm
