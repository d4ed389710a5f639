#include "app/window/Fonts.h"

#include <QStringList>

namespace pm {

namespace {
const QString kSongFace = QStringLiteral("宋体");

void registerSubstitutes() {
    static const bool done = [] {
        // Debian's fonts-arphic-uming is the Song-style serif closest to the design's face.
        QFont::insertSubstitutions(
            kSongFace, {QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UMing TW")});
        return true;
    }();
    (void)done;
}
} // namespace

QFont songFont(qreal points, bool bold) {
    registerSubstitutes();
    QFont font(kSongFace);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

} // namespace pm
