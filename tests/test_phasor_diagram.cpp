#include "TestVectors.h"
#include "app/phasor/PhasorDiagram.h"
#include "app/phasor/PhasorGeometry.h"
#include "protocol/Decode.h"
#include "protocol/Reading.h"

#include <QImage>
#include <QSet>
#include <cmath>
#include <gtest/gtest.h>

using pm::PhasorDiagram;

namespace {

const QSize kFrame(777, 449); // the real-time panel's rectangle

QImage render(const pm::ReadingTexts& texts) {
    PhasorDiagram diagram(texts);
    diagram.resize(kFrame);
    QImage image(kFrame, QImage::Format_RGB32);
    image.fill(Qt::black);
    diagram.render(&image);
    return image;
}

bool near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
               std::abs(a.blue() - b.blue()) <
           30;
}

// The share of pixels of `color` on the stretch of the phasor between 15 % and 60 % of its drawn
// length: clear of the centre, where all phasors meet, and of the arrow head.
double colorAlong(const QImage& image, const pm::PhasorArrow& a, QColor color) {
    const pm::PhasorLayout l = pm::phasorLayout(image.size());
    const double len = a.length * (a.current ? l.currentRadius : l.voltageRadius);
    int hits = 0, samples = 0;
    for (double t = 0.15 * len; t <= 0.6 * len; t += 1, ++samples) {
        // The pixel that holds the line's centre, fully covered by a 3-pixel line at any angle.
        const QPointF c = l.centre + pm::endPoint(a.angle, t);
        const QPoint p(int(std::floor(c.x())), int(std::floor(c.y())));
        if (near(image.pixelColor(p), color))
            ++hits;
    }
    return samples ? double(hits) / samples : 0.0;
}

// Pixels of a channel's colour inside the circles, where only phasors are drawn in colour.
int colorInCircle(const QImage& image, QColor color) {
    const pm::PhasorLayout l = pm::phasorLayout(image.size());
    int hits = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (std::hypot(x - l.centre.x(), y - l.centre.y()) < l.voltageRadius &&
                near(image.pixelColor(x, y), color))
                ++hits;
        }
    }
    return hits;
}

pm::Panel panelOf(const char* vector) {
    pm::Panel panel;
    pm::livein(readingVector(QString::fromLatin1(vector)).block, panel);
    return panel;
}

} // namespace

TEST(PhasorDiagram, ArrowsAreDrawnInTheirChannelColoursWhereTheGeometryPutsThem) {
    const pm::Panel panel = panelOf("opposed_and_rounded_angle");
    const QImage image = render(panel);
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 10) << "blank image";
    EXPECT_TRUE(near(image.pixelColor(2, 2), PhasorDiagram::background()));

    const pm::PhasorPicture pic = pm::phasorPicture(panel);
    for (const pm::PhasorArrow& a : pic.arrows) {
        const QColor own = PhasorDiagram::channelColor(a.channel);
        const QColor other = PhasorDiagram::channelColor(1 - a.channel);
        // A dashed current shows its colour on its dashes only (2 parts in 3), a voltage all along.
        EXPECT_GT(colorAlong(image, a, own), a.current ? 0.5 : 0.95) << a.name.toStdString();
        EXPECT_EQ(colorAlong(image, a, other), 0) << a.name.toStdString();
    }
    // Solid against dashed: a voltage has no gaps, a current does.
    const pm::PhasorArrow& u1 = pic.arrows[0];
    const pm::PhasorArrow& i2 = pic.arrows[3];
    EXPECT_EQ(colorAlong(image, u1, PhasorDiagram::background()), 0);
    EXPECT_GT(colorAlong(image, i2, PhasorDiagram::background()), 0.15);

    // Where no phasor points (60 degrees), nothing is coloured.
    pm::PhasorArrow nowhere = u1;
    nowhere.angle = 60;
    EXPECT_EQ(colorAlong(image, nowhere, PhasorDiagram::channelColor(0)), 0);
    EXPECT_EQ(colorAlong(image, nowhere, PhasorDiagram::channelColor(1)), 0);
}

TEST(PhasorDiagram, ChannelsWithoutSignalDrawNoArrow) {
    const pm::Panel initial;
    const QImage empty = render(initial);
    EXPECT_EQ(colorInCircle(empty, PhasorDiagram::channelColor(0)), 0);
    EXPECT_EQ(colorInCircle(empty, PhasorDiagram::channelColor(1)), 0);

    // Channel 2 silent: channel 1's voltage and current at 0 and 60 degrees, nothing of channel 2.
    const pm::Panel panel = panelOf("worked_example");
    const QImage half = render(panel);
    EXPECT_EQ(colorInCircle(half, PhasorDiagram::channelColor(1)), 0);
    const pm::PhasorPicture pic = pm::phasorPicture(panel);
    EXPECT_GT(colorAlong(half, pic.arrows[0], PhasorDiagram::channelColor(0)), 0.95);
    EXPECT_GT(colorAlong(half, pic.arrows[2], PhasorDiagram::channelColor(0)), 0.5);
}

TEST(PhasorDiagram, RepaintsFromTheTextsItIsGiven) {
    pm::Panel panel;
    PhasorDiagram diagram(panel);
    diagram.resize(kFrame);
    const QImage before = diagram.grab().toImage();
    pm::livein(readingVector(QStringLiteral("opposed_and_rounded_angle")).block, panel);
    const QImage after = diagram.grab().toImage();
    EXPECT_NE(before, after);
    EXPECT_EQ(
        colorInCircle(before.convertToFormat(QImage::Format_RGB32), PhasorDiagram::channelColor(0)),
        0);
    EXPECT_GT(
        colorInCircle(after.convertToFormat(QImage::Format_RGB32), PhasorDiagram::channelColor(0)),
        100);
}

namespace {
// Every drawn arrow of a placement, and whether each label stays clear of the arrows, of the
// other labels and of the key.
void expectEveryArrowAndLabelVisible(const pm::PhasorPlacement& placed) {
    const pm::PhasorLayout& l = placed.layout;
    for (size_t n = 0; n < 4; ++n) {
        ASSERT_TRUE(placed.picture.arrows[n].drawn());
        const QRectF label = placed.labels[n];
        EXPECT_TRUE(l.diagramRect.contains(label)) << "label " << n;
        EXPECT_FALSE(label.intersects(l.infoRect)) << "label " << n << " on the key";
        for (size_t m = 0; m < 4; ++m) {
            if (m != n) {
                EXPECT_FALSE(label.intersects(placed.labels[m])) << n << " over " << m;
            }
            // The label's box against points all along the arrow.
            const QLineF a = placed.arrows[m];
            for (double t = 0; t <= 1.0; t += 0.02)
                EXPECT_FALSE(label.contains(a.pointAt(t))) << "label " << n << " on arrow " << m;
        }
    }
}
} // namespace

TEST(PhasorDiagram, ArrowsPointingTheSameWayAreDrawnSideBySide) {
    // Both channels in phase with each other and their currents: four arrows along +x.
    pm::Panel texts;
    for (auto [f, t] : {std::pair{pm::Field::U1, "100.00"},
                        {pm::Field::U2, "100.00"},
                        {pm::Field::I1, "5.000"},
                        {pm::Field::I2, "5.000"},
                        {pm::Field::PhaseU1U2, "0.0\u00B0"},
                        {pm::Field::PhaseU1I1, "0.0\u00B0"},
                        {pm::Field::PhaseU2I2, "0.0\u00B0"},
                        {pm::Field::PhaseI1I2, "0.0\u00B0"}})
        texts.setText(f, QString::fromUtf8(t));
    for (pm::KeyPlace key : {pm::KeyPlace::Right, pm::KeyPlace::Below}) {
        const QSizeF area = key == pm::KeyPlace::Right ? QSizeF(kFrame) : QSizeF(605, 600);
        const pm::PhasorPlacement placed = PhasorDiagram::placement(area, texts, {}, key);
        for (size_t n = 0; n < 4; ++n)
            for (size_t m = n + 1; m < 4; ++m) {
                const QPointF apart = placed.arrows[n].p1() - placed.arrows[m].p1();
                EXPECT_GE(std::abs(apart.y()), 3.0) << "arrows " << n << " and " << m;
            }
        expectEveryArrowAndLabelVisible(placed);
    }
}

TEST(PhasorDiagram, LabelsStayClearOfArrowsOnAReversedCurrentTransformer) {
    pm::Panel texts;
    pm::decodeReading(
        QByteArray::fromHex("10 27 10 27 88 13 88 13 01 01 03 03 B8 0B 58 02 36 09 E6 0D 88 13"),
        texts);
    expectEveryArrowAndLabelVisible(PhasorDiagram::placement(QSizeF(kFrame), texts));
    expectEveryArrowAndLabelVisible(
        PhasorDiagram::placement(QSizeF(605, 600), texts, {}, pm::KeyPlace::Below));
}
