#pragma once

#include <QByteArray>
#include <QString>

namespace pm {

// A picture of the main window as it is shown.
class WindowSnapshot {
public:
    virtual ~WindowSnapshot() = default;
    // Takes the picture now, replacing the one taken before.
    virtual void take() = 0;
    // The picture last taken, as a JPEG file; false with a reason when there is none or it
    // cannot be encoded.
    virtual bool jpeg(QByteArray* bytes, QString* why) const = 0;
};

} // namespace pm
