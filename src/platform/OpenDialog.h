#pragma once

#include "platform/SaveDialog.h"

#include <QString>

namespace pm {

// What one open dialog offers: file types as in a save dialog's filter, and the folder it starts
// in.
struct OpenRequest {
    QString filter;
    QString initDir;
};

// The window's dialog for choosing an existing file to look at.
class OpenDialog {
public:
    virtual ~OpenDialog() = default;
    // Modal; on Chosen, fileName is the full path of an existing file.
    virtual SaveChoice showOpen(const OpenRequest& request) = 0;
};

} // namespace pm
