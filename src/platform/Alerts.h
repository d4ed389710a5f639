#pragma once

#include <QString>

namespace pm {

// The only messages the system shows: the system beep, then a modal box with an exclamation icon
// and one OK button. Line breaks in `text` are CR LF.
class Alerts {
public:
    virtual ~Alerts() = default;
    virtual void warn(const QString& title, const QString& text) = 0;
};

} // namespace pm
