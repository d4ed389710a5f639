#pragma once

#include "platform/OpenDialog.h"
#include "platform/PrintDialog.h"
#include "platform/SaveDialog.h"

class QPrinter;
class QWidget;

namespace pm {

// The window's one common dialog (CommonDialog1): Qt's own save dialog, the same on every system
// and asking before it replaces a file, its open dialog, and Qt's print dialog over the
// window's printer. The file type chosen last and the printer chosen last carry over to the next
// use.
class QtCommonDialog : public SaveDialog, public OpenDialog, public PrintDialog {
public:
    QtCommonDialog(QWidget* parent, QPrinter& printer);

    int filterIndex() const override { return filterIndex_; }
    SaveChoice showSave(const SaveRequest& request) override;
    SaveChoice showOpen(const OpenRequest& request) override;
    DialogOutcome showPrinter() override;

private:
    QWidget* parent_;
    QPrinter& printer_;
    int filterIndex_ = 1;
};

} // namespace pm
