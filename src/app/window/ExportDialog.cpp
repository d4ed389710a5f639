#include "app/window/ExportDialog.h"

#include <QProgressDialog>
#include <QThread>
#include <QWidget>

namespace pm {

namespace {
// A quick export ends before its bar would flash up.
constexpr int kShowAfterMsecs = 400;
} // namespace

struct ExportDialog::Running {
    ExportProgress progress;
    ExportOutcome outcome;
    std::function<void(const ExportOutcome&)> done;
    QPointer<QProgressDialog> dialog;
    QThread* thread = nullptr;
};

ExportDialog::ExportDialog(QWidget& window) : window_(window) {}

ExportDialog::~ExportDialog() {
    if (!running_)
        return;
    // The window is closing: the export stops at its next step and leaves no file.
    running_->progress.cancel();
    if (running_->thread->isRunning())
        running_->thread->wait();
    delete running_->thread;
    delete running_->dialog;
}

QProgressDialog* ExportDialog::progressDialog() const {
    return running_ ? running_->dialog.data() : nullptr;
}

void ExportDialog::run(const QString& caption, ExportWork work,
                       std::function<void(const ExportOutcome&)> done) {
    if (running_) {
        // The bar is window-modal, so only a caller that bypasses it gets here.
        if (done)
            done({ExportOutcome::Failed, QStringLiteral("Another export is still running.")});
        return;
    }
    running_ = std::make_unique<Running>();
    Running* r = running_.get();
    r->done = std::move(done);

    auto* dialog = new QProgressDialog(caption, QStringLiteral("Cancel"), 0, 1000, &window_);
    dialog->setObjectName(QStringLiteral("ExportProgress"));
    dialog->setWindowTitle(QStringLiteral("Saving"));
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setMinimumDuration(kShowAfterMsecs);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setValue(0);
    r->dialog = dialog;
    QObject::connect(dialog, &QProgressDialog::canceled, dialog, [r] { r->progress.cancel(); });
    r->progress.moved = [dialog](int permille) {
        QMetaObject::invokeMethod(
            dialog, [dialog, permille] { dialog->setValue(permille); }, Qt::QueuedConnection);
    };

    r->thread = QThread::create([r, work = std::move(work)] { r->outcome = work(r->progress); });
    QObject::connect(r->thread, &QThread::finished, dialog, [this] { finished(); });
    // Started once the window's event loop runs again, so that the dialog that asked for the
    // file has gone from the screen first; a Cancel before then writes nothing at all.
    QMetaObject::invokeMethod(
        dialog, [r] { r->thread->start(); }, Qt::QueuedConnection);
}

void ExportDialog::finished() {
    std::unique_ptr<Running> r = std::move(running_);
    r->thread->wait();
    delete r->thread;
    // Called from the bar's own event: it goes once that has been handled.
    if (r->dialog) {
        r->dialog->hide();
        r->dialog->deleteLater();
    }
    // A cancel that came after the file was written does not undo it: the file is whole.
    if (r->done)
        r->done(r->outcome);
}

} // namespace pm
