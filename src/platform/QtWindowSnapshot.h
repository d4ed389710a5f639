#pragma once

#include "platform/WindowSnapshot.h"

#include <QImage>

class QWidget;

namespace pm {

// The main window rendered from its own widgets: the same picture whatever covers it on screen,
// and the clipboard is left alone.
class QtWindowSnapshot : public WindowSnapshot {
public:
    explicit QtWindowSnapshot(QWidget& window) : window_(window) {}

    void take() override;
    bool jpeg(QByteArray* bytes, QString* why) const override;

private:
    QWidget& window_;
    QImage image_;
};

} // namespace pm
