#pragma once

#include "platform/Export.h"

#include <QPointer>
#include <memory>

class QProgressDialog;
class QThread;
class QWidget;

namespace pm {

// Exports of the window: each runs on a thread of its own over its own copy of the rows, while a
// progress bar with Cancel stands over the window (which keeps polling and recording). One at a
// time; closing the window cancels a running one and waits for it to stop.
class ExportDialog : public Exporter {
public:
    explicit ExportDialog(QWidget& window);
    ~ExportDialog() override;
    ExportDialog(const ExportDialog&) = delete;
    ExportDialog& operator=(const ExportDialog&) = delete;

    void run(const QString& caption, ExportWork work,
             std::function<void(const ExportOutcome&)> done) override;
    bool busy() const { return running_ != nullptr; }
    // The bar of the export running; none when idle.
    QProgressDialog* progressDialog() const;

private:
    struct Running;
    void finished();

    QWidget& window_;
    std::unique_ptr<Running> running_;
};

} // namespace pm
