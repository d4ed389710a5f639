#pragma once

#include "platform/DialogOutcome.h"

#include <QString>

namespace pm {

// What one save dialog offers. `filter` lists the file types as pairs of description and pattern,
// each followed by "|": "txt (*.txt)|*.txt|excel (*.xls)|*.xls|".
struct SaveRequest {
    QString filter;
    QString fileName;   // the name offered at first
    QString defaultExt; // ".txt": appended to a name typed without an extension
    QString initDir;    // the folder the dialog starts in
    // The file chosen is written anew: the dialog asks before an existing one is replaced. False
    // for a file that is added to, never replaced (a recording).
    bool replaces = true;
};

struct SaveChoice {
    DialogOutcome outcome;
    QString fileName; // the full path chosen, when outcome is Chosen
};

// The one save dialog of the window. It remembers the file type chosen last (1-based, 1 before
// the first save) across every save, whichever list of types that save offered. A file that would
// be replaced is chosen only once the user has confirmed it; the caller then replaces it.
class SaveDialog {
public:
    virtual ~SaveDialog() = default;
    virtual int filterIndex() const = 0;
    // Modal; on Chosen, filterIndex() is the position of the chosen type in request.filter.
    virtual SaveChoice showSave(const SaveRequest& request) = 0;
};

} // namespace pm
