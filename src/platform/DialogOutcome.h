#pragma once

#include <QString>

namespace pm {

// How a modal dialog closed. A cancel is the user's choice and stays silent; a failure carries a
// description the user can be shown.
enum class DialogResult { Chosen, Cancelled, Failed };

struct DialogOutcome {
    DialogResult result = DialogResult::Cancelled;
    QString description; // why it failed; empty otherwise
};

} // namespace pm
