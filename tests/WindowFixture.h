#pragma once

#include "Printers.h"
#include "app/window/Form1.h"
#include "fakes/FakeOutputs.h"
#include "fakes/FakeSerialPort.h"
#include "link/Commands.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTabBar>
#include <QTableView>
#include <QToolButton>
#include <gtest/gtest.h>

// The window over a scripted port. Nothing ticks on its own: the tests tick the timers by hand.
struct WindowFixture : ::testing::Test {
    FakeSerialPort port;
    pm::Form1 form{port};
    pm::FormState& state = form.core().form;
    FakeAlerts alerts; // messages the window shows

    WindowFixture() { form.setAlerts(alerts); }
    void SetUp() override { form.show(); }

    template <typename W = QWidget> W* child(const QString& name) const {
        auto* w = form.findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QToolButton* button(int n) const {
        return child<QToolButton>(QStringLiteral("Command%1").arg(n));
    }
    QString caption(const QString& name) const { return child<QLabel>(name)->text(); }
    QTabBar* tabs() const { return child<QTabBar>(QStringLiteral("TabStrip1")); }
    QTableView* grid() const { return child<QTableView>(QStringLiteral("grid")); }
    QString cell(int row, int col) const {
        const QAbstractItemModel* m = grid()->model();
        return m->data(m->index(row, col)).toString();
    }
    int rows() const { return grid()->model()->rowCount(); }
    // The window at the size it was designed for (the offscreen screen is smaller).
    void showAtDesignedSize() {
        form.resize(907, 669 + form.menuBar()->sizeHint().height());
        QApplication::processEvents();
    }

    // A real mouse click on a tab, so that the tab bar's own signals run.
    void clickTab(int index) {
        const QPoint at = tabs()->tabRect(index).center();
        for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, at, tabs()->mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                              Qt::NoModifier);
            QApplication::sendEvent(tabs(), &event);
        }
    }

    // The instrument on COM1 answers the first link check; the next discovery tick hands over.
    void link() {
        state.Findcom.tick();
        port.receiveHex("AA 55 AA");
        state.Findcom.tick();
        ASSERT_EQ(state.linked, pm::kTrue);
        ASSERT_TRUE(state.comunication.enabled());
    }
    // One poll of a live view and the meter's answer to it (by default the worked example: U1
    // "220.00", I1 "1.2345").
    void pollAndAnswer(
        const char* hex = "F0 55 00 00 39 30 00 00 01 01 02 02 00 00 00 00 58 02 00 00 88 13") {
        state.comunication.tick();
        ASSERT_EQ(port.lastWrite(), QByteArray::fromHex("AA C8 32"));
        port.receiveHex(hex);
    }
    void linkOnRecallView() {
        link();
        clickTab(1);
        ASSERT_EQ(state.realview, pm::kFalse);
    }
};
