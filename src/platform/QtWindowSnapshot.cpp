#include "platform/QtWindowSnapshot.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPixmap>
#include <QWidget>

namespace pm {

void QtWindowSnapshot::take() {
    image_ = window_.grab().toImage();
}

bool QtWindowSnapshot::jpeg(QByteArray* bytes, QString* why) const {
    if (image_.isNull()) {
        *why = QStringLiteral("There is no picture of the window.");
        return false;
    }
    QBuffer buffer(bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    if (!writer.write(image_)) {
        *why = QStringLiteral("The picture could not be made: %1").arg(writer.errorString());
        bytes->clear();
        return false;
    }
    return true;
}

} // namespace pm
