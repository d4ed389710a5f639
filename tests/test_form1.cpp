#include "WindowFixture.h"
#include "app/window/StatusBar.h"

#include <QFontInfo>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QSvgRenderer>

using pm::Field;

namespace {
using Window = WindowFixture;

QRect twips(int l, int t, int w, int h) {
    return {(l + 7) / 15, (t + 7) / 15, (w + 7) / 15, (h + 7) / 15};
}
} // namespace

TEST_F(Window, StartsWithItsDesignedControlsAndCaptions) {
    EXPECT_EQ(form.windowTitle(), "DOUBLE PHASE DIGITAL PHASE METER");
    // Its usual size below the menus, unless the screen is smaller (the offscreen one is 800 x
    // 600).
    const QSize available = form.screen()->availableGeometry().size();
    const int menus = form.menuBar()->sizeHint().height();
    EXPECT_EQ(form.size(), QSize(907, 669 + menus).boundedTo(available - QSize(8, 32)));
    showAtDesignedSize();
    EXPECT_EQ(child(QStringLiteral("Canvas"))->size(), QSize(907, 669));

    const struct {
        int n;
        const char* caption;
        QRect geometry;
    } buttons[] = {
        {1, "Read", twips(720, 480, 1455, 855)},   {2, "Save", twips(2400, 480, 1335, 855)},
        {3, "Clear", twips(3960, 480, 1335, 855)}, {4, "Print", twips(5520, 480, 1335, 855)},
        {6, "Help", twips(7080, 480, 1335, 855)},  {5, "Close", twips(8640, 480, 1335, 855)}};
    for (const auto& b : buttons) {
        QToolButton* w = button(b.n);
        EXPECT_EQ(w->text(), b.caption);
        EXPECT_EQ(w->geometry(), b.geometry) << b.caption;
        EXPECT_TRUE(w->isEnabled()) << b.caption;
        EXPECT_EQ(w->toolButtonStyle(), Qt::ToolButtonTextUnderIcon) << b.caption;
        EXPECT_FALSE(w->icon().isNull()) << b.caption;
    }
    EXPECT_EQ(caption("Label1"), "Com Status");
    EXPECT_EQ(caption("Label2"), "Unconnect");
    // The port caption keeps its place and takes the room up to the right edge.
    EXPECT_EQ(child("Label1")->geometry(), QRect(twips(11520, 480, 1575, 375).topLeft(),
                                                 QPoint(907 - 4, twips(0, 480, 0, 375).bottom())));
    EXPECT_EQ(child("Picture1")->geometry(), QRect(680, 24, 78, 70));
    EXPECT_FALSE(child<QLabel>("Picture1")->pixmap().isNull());

    EXPECT_EQ(tabs()->count(), 5); // and "Phasor", "Trend" and "Wiring", on the live readings
    EXPECT_EQ(tabs()->tabText(0), "Realtime");
    EXPECT_EQ(tabs()->tabText(1), "Recall");
    EXPECT_EQ(tabs()->currentIndex(), 0);
    EXPECT_TRUE(tabs()->font().bold());
    EXPECT_EQ(tabs()->font().pointSizeF(), 12);

    EXPECT_TRUE(child("Frame1")->isVisible());
    EXPECT_FALSE(grid()->isVisible());
    EXPECT_EQ(child("Frame1")->geometry(), twips(960, 2280, 11655, 6735));
    EXPECT_EQ(grid()->geometry(), twips(960, 2280, 11655, 6735));
    EXPECT_EQ(child("StatusBar1")->geometry(), twips(0, 9540, 13605, 495));

    // The link part of start-up, with discovery waiting for its first tick.
    EXPECT_EQ(state.realview, pm::kTrue);
    EXPECT_EQ(state.linked, pm::kFalse);
    EXPECT_EQ(state.portno, 1);
    EXPECT_TRUE(state.Findcom.enabled());
    EXPECT_FALSE(state.Readdat.enabled());
    EXPECT_TRUE(port.writes.isEmpty());
}

TEST_F(Window, CarriesTheIconOfTheDesktopEntry) {
    const QIcon icon = form.windowIcon();
    ASSERT_FALSE(icon.isNull());
    QSvgRenderer svg(QStringLiteral(PHASEMETER_PACKAGING_DIR "/phasemeter.svg"));
    ASSERT_TRUE(svg.isValid());
    for (int size : {16, 48, 256}) {
        QImage drawn(size, size, QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::transparent);
        QPainter painter(&drawn);
        svg.render(&painter);
        painter.end();
        EXPECT_EQ(icon.pixmap(size).toImage().convertToFormat(drawn.format()), drawn) << size;
    }
}

TEST_F(Window, PanelShowsItsInitialTextsGreenOnBlackInTheSongFace) {
    showAtDesignedSize();
    const struct {
        const char* name;
        const char* text;
        QRect geometry;
    } values[] = {{"u(0)", "0.00", twips(1560, 1440, 1050, 345)},
                  {"u(1)", "0.00", twips(1560, 2520, 1050, 345)},
                  {"i(1)", "0.0000", twips(3165, 2520, 1230, 345)},
                  {"p(0)", "0.0000", twips(4905, 1440, 1245, 345)},
                  {"q(1)", "0.0000", twips(6585, 2520, 1245, 345)},
                  {"s(0)", "0.0000", twips(8325, 1440, 1245, 345)},
                  {"pf(1)", "1.000", twips(10080, 2520, 1050, 345)},
                  {"phase(1)", "360.0°", twips(2280, 5400, 1125, 285)},
                  {"phase(3)", "360.0°", twips(5640, 5400, 1185, 345)},
                  {"freq", "0.00", twips(8640, 4920, 1050, 345)}};
    for (const auto& v : values) {
        auto* label = child<QLabel>(v.name);
        EXPECT_EQ(label->text(), QString::fromUtf8(v.text)) << v.name;
        EXPECT_EQ(label->geometry(), v.geometry) << v.name;
    }
    auto* u0 = child<QLabel>("u(0)");
    EXPECT_EQ(u0->palette().color(QPalette::WindowText), QColor(0, 255, 0));
    EXPECT_EQ(u0->palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_TRUE(u0->autoFillBackground());
    EXPECT_TRUE(u0->font().bold());
    EXPECT_EQ(u0->font().pointSizeF(), 14.25);
    EXPECT_EQ(u0->font().family(), "宋体");
    EXPECT_EQ(QFontInfo(u0->font()).family(), "DejaVu Serif") << "the stand-in";
    // In the stand-in "l" and "1" differ: the tabs read "Realtime", not "Rea1time".
    const auto glyph = [](const QFont& font, const QString& text) {
        QImage image(40, 40, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(image.rect(), Qt::AlignCenter, text);
        return image;
    };
    EXPECT_NE(glyph(tabs()->font(), "l"), glyph(tabs()->font(), "1"));
    EXPECT_NE(glyph(u0->font(), "l"), glyph(u0->font(), "1"));

    EXPECT_EQ(caption("Label3(8)"), "U1U2:");
    EXPECT_EQ(child<QLabel>("Label3(8)")->font().pointSizeF(), 15);
    EXPECT_EQ(child("Label3(17)")->pos(), QPoint(688, 32));
    EXPECT_EQ(caption("Label3(19)"), "Hz");
    EXPECT_FALSE(child<QLabel>("Label1")->font().bold());
    EXPECT_EQ(child<QLabel>("Label1")->font().pointSizeF(), 10.5);
}

TEST_F(Window, StatusBarShowsTheClockAtOnce) {
    auto* bar = child<pm::StatusBar>("StatusBar1");
    const QString date = bar->panel(1)->text();
    const QString time = bar->panel(3)->text();
    EXPECT_NE(date, "data");
    EXPECT_NE(time, "time");
    // Shown when the window was made, a moment ago.
    const QDateTime now = QDateTime::currentDateTime();
    bool shownRecently = false;
    for (int s = 0; s <= 5; ++s)
        shownRecently = shownRecently || (pm::clockTexts(now.addSecs(-s)).time == time &&
                                          pm::clockTexts(now.addSecs(-s)).date == date);
    EXPECT_TRUE(shownRecently) << date.toStdString() << " " << time.toStdString();
    EXPECT_EQ(bar->panel(2)->text(), "Looking for the meter");
    EXPECT_EQ(bar->panel(1)->width(), 96);
    EXPECT_EQ(bar->panel(3)->width(), 96);
    EXPECT_TRUE(bar->panel(2)->font().bold());
    EXPECT_FALSE(child("DownloadProgress")->isVisible());

    const QDateTime moment(QDate(2024, 3, 9), QTime(14, 5, 7));
    bar->showClock(moment);
    EXPECT_EQ(bar->panel(3)->text(), pm::clockTexts(moment).time);
    const pm::ClockTexts c =
        pm::clockTexts(moment, QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(c.date, "3/9/24");
    EXPECT_EQ(c.time, "2:05:07 PM") << "seconds shown, no time zone";
    EXPECT_EQ(pm::clockTexts(moment, QLocale(QLocale::German, QLocale::Germany)).time, "14:05:07");
}

TEST_F(Window, TabsSwitchTheViewAndTurnPollingOn) {
    link();
    clickTab(1);
    EXPECT_EQ(state.realview, pm::kFalse);
    EXPECT_FALSE(child("Frame1")->isVisible());
    EXPECT_TRUE(grid()->isVisible());
    state.comunication.tick();
    EXPECT_EQ(port.lastWrite(), QByteArray::fromHex("AA F8 2A")) << "keep-alive on the recall view";

    clickTab(0);
    EXPECT_EQ(state.realview, pm::kTrue);
    EXPECT_TRUE(child("Frame1")->isVisible());
    EXPECT_FALSE(grid()->isVisible());
    state.comunication.tick();
    EXPECT_EQ(port.lastWrite(), QByteArray::fromHex("AA C8 32")) << "live poll";

    // A click on the tab already shown runs its branch again.
    state.comunication.setEnabled(false);
    state.ui.readEnabled = state.ui.saveEnabled = false;
    clickTab(0);
    EXPECT_TRUE(state.comunication.enabled());
    EXPECT_TRUE(button(1)->isEnabled());
    EXPECT_TRUE(button(2)->isEnabled());
    EXPECT_TRUE(child("Frame1")->isVisible());
}

TEST_F(Window, LiveRepliesReachThePanel) {
    link();
    state.comunication.tick();
    port.receiveHex("F0 55 00 00 39 30 00 00 01 01 02 02 00 00 00 00 58 02 00 00 88 13");
    EXPECT_EQ(caption("u(0)"), "220.00");
    EXPECT_EQ(caption("s(0)"), "0.2716");
    EXPECT_EQ(caption("phase(2)"), "60.0°");
    EXPECT_EQ(caption("freq"), "50.00");
    EXPECT_EQ(caption("Label2"), "Connected");
    EXPECT_EQ(caption("Label1"), "COM1 Open");
}

TEST_F(Window, Label1TipNamesTheDeviceAndWhyItFailed) {
    port.openErrors = {{2, pm::kErrNoSuchPort}};
    state.Findcom.tick();
    EXPECT_EQ(caption("Label1"), "COM1 Open");
    EXPECT_EQ(child("Label1")->toolTip(), "/dev/fake1");
    state.Findcom.tick();
    EXPECT_EQ(caption("Label1"), "COM2 Unviable");
    EXPECT_EQ(child("Label1")->toolTip(), "/dev/fake2: no such device.");
}

TEST_F(Window, CloseEndsTheWindow) {
    button(5)->click();
    EXPECT_FALSE(form.isVisible());
}
