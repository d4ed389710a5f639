#pragma once

#include "platform/DialogOutcome.h"

namespace pm {

// The printer dialog: on Chosen, the window's printer prints to the printer (or file) picked.
// No page range is offered: a print-out is always the whole view.
class PrintDialog {
public:
    virtual ~PrintDialog() = default;
    virtual DialogOutcome showPrinter() = 0;
};

} // namespace pm
