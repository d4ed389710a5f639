#include "app/style/Fonts.h"

#include <QStringList>

namespace pm {

namespace {
const QString kSongFace = QStringLiteral("宋体");

void registerSubstitutes() {
    static const bool done = [] {
        // A serif in which "l" and "1" differ stands in for the Song face: with Debian's
        // fonts-arphic-uming alone the tabs read "Rea1time" and a reading's digits look like
        // letters. The Song-style serif still draws whatever CJK text the first lacks.
        QFont::insertSubstitutions(kSongFace, {QStringLiteral("DejaVu Serif"),
                                               QStringLiteral("AR PL UMing CN"),
                                               QStringLiteral("AR PL UMing TW")});
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
    // The stand-in is wider than the Song face; its condensed cut fits the designed boxes.
    font.setStretch(QFont::Condensed);
    return font;
}

} // namespace pm
