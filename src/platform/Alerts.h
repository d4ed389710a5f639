#pragma once

#include <QString>

namespace pm {

// The messages the system shows: the system beep, then a modal box with an exclamation icon and
// one OK button; or a question the user answers Yes or No. Line breaks in `text` are CR LF.
class Alerts {
public:
    virtual ~Alerts() = default;
    virtual void warn(const QString& title, const QString& text) = 0;
    // True only when the user answers Yes; No is the default answer.
    virtual bool ask(const QString& title, const QString& question) = 0;
};

} // namespace pm
