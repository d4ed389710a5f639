#include "Files.h"
#include "WindowFixture.h"

#include <QProcess>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>

namespace {

// Where `w` lies in the window's own coordinates.
QRect inWindow(const QWidget* w, const QWidget* window) {
    return QRect(w->mapTo(window, QPoint(0, 0)), w->size());
}

} // namespace

// At 150 % on a 1024 x 768 screen the window fits the screen, and what each tab is for shows
// without scrolling: the panel's S and PF, the verdict, the status bar. The scale is the
// process's own: the test runs itself again with it.
TEST(WindowAt150Percent, ShowsEveryTabsEssentialsWithoutScrolling) {
    if (qEnvironmentVariableIsEmpty("PHASEMETER_SMALL_SCREEN")) {
        QTemporaryDir tmp;
        const QString config = tmp.filePath("screen.json");
        writeFile(config, R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1024,
            "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        QProcess self;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PHASEMETER_SMALL_SCREEN", "1");
        env.insert("QT_SCALE_FACTOR", "1.5");
        env.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + config);
        self.setProcessEnvironment(env);
        self.start(QCoreApplication::applicationFilePath(),
                   {"--gtest_filter=WindowAt150Percent.*"});
        ASSERT_TRUE(self.waitForFinished(60000));
        const QByteArray out = self.readAllStandardOutput() + self.readAllStandardError();
        EXPECT_EQ(self.exitCode(), 0) << out.toStdString();
        EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.toStdString();
        return;
    }
    FakeSerialPort port;
    pm::Form1 form(port);
    form.show();
    QCoreApplication::processEvents();
    const QRect screen = form.screen()->availableGeometry();
    ASSERT_NEAR(screen.width(), 1024 / 1.5, 1);
    ASSERT_NEAR(screen.height(), 768 / 1.5, 1);
    ASSERT_TRUE(screen.contains(form.frameGeometry()));
    auto* scroll = form.findChild<QScrollArea*>(QStringLiteral("Scroll"));
    ASSERT_TRUE(scroll);
    EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(scroll->verticalScrollBar()->isVisible());

    const auto shown = [&form](const char* name) {
        auto* w = form.findChild<QWidget*>(QLatin1String(name));
        EXPECT_TRUE(w) << name;
        if (!w)
            return;
        EXPECT_TRUE(w->isVisible()) << name;
        EXPECT_TRUE(form.rect().contains(inWindow(w, &form)))
            << name << " at " << inWindow(w, &form).x() << "," << inWindow(w, &form).y() << " "
            << w->width() << "x" << w->height();
    };
    auto* tabs = form.findChild<QTabBar*>(QStringLiteral("TabStrip1"));
    const char* const essentials[][6] = {
        {"s(0)", "s(1)", "pf(0)", "pf(1)", "freq", "phase(3)"}, {"grid"}, {"Phasor"}, {"Trend"},
        {"WiringVerdict", "WiringSystem", "WiringMeter"},
    };
    for (int tab = 0; tab < tabs->count(); ++tab) {
        tabs->setCurrentIndex(tab);
        QCoreApplication::processEvents();
        for (const char* name : essentials[tab])
            if (name)
                shown(name);
        shown("StatusBar1");
        shown("Command1");
        shown("Command5");
        EXPECT_TRUE(form.rect().contains(
            QRect(tabs->mapTo(&form, tabs->tabRect(tab).topLeft()), tabs->tabRect(tab).size())))
            << "tab " << tab;
        if (!qEnvironmentVariableIsEmpty("PHASEMETER_SHOTS"))
            form.grab().save(qEnvironmentVariable("PHASEMETER_SHOTS") +
                             QStringLiteral("/tab%1.png").arg(tab));
    }
    // The panel's values stay readable: no smaller than 8 points.
    EXPECT_GE(form.findChild<QLabel*>(QStringLiteral("s(0)"))->font().pointSizeF(), 8);
    // Recall shows several records at once.
    auto* grid = form.findChild<QTableView*>(QStringLiteral("grid"));
    EXPECT_GE(grid->viewport()->height() / grid->rowHeight(0), 12) << "two records at least";
}
