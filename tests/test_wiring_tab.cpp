#include "Files.h"
#include "WindowFixture.h"
#include "app/phasor/PhasorDiagram.h"
#include "app/wiring/WiringReport.h"
#include "app/wiring/WiringTab.h"
#include "fakes/FakeDialogs.h"
#include "platform/DiskFileStore.h"
#include "protocol/Decode.h"
#include "records/Saving.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>

namespace {

// 100 V and 5 A on both channels, U1U2 300.0°: element 1's current reversed at a load angle of
// 25.8° (U1I1 235.8°, U2I2 355.8°), and the same correctly wired (U1I1 55.8°).
const char* const kReversedCt = "10 27 10 27 88 13 88 13 01 01 03 03 B8 0B 58 02 36 09 E6 0D 88 13";
const char* const kReversedCtFlicker =
    "10 27 10 27 88 13 88 13 01 01 03 03 B8 0B 58 02 39 09 E6 0D 88 13";
const char* const kCorrect = "10 27 10 27 88 13 88 13 01 01 03 03 B8 0B 58 02 2E 02 E6 0D 88 13";

const QString kReversedVerdict = QStringLiteral(
    "Element 1 current reversed (I1 = \u2212Ia). Load angle 25.8\u00B0 lagging (PF 0.900). The "
    "meter registers 27.9% of the energy: K = 3.583.");
// The same at a load angle of 50° (U1I1 260.0°, U2I2 20.0°).
const char* const kReversedCtAt50 =
    "10 27 10 27 88 13 88 13 01 01 03 03 B8 0B 58 02 28 0A C8 00 88 13";

struct WiringTabTest : WindowFixture {
    QWidget* page() const { return child(QStringLiteral("Wiring")); }
    QString verdict() const { return caption(QStringLiteral("WiringVerdict")); }
    void lineBOnTerminal(int terminal) {
        child<QComboBox>(QStringLiteral("WiringCommon"))->setCurrentIndex(terminal);
    }
};

} // namespace

TEST_F(WiringTabTest, IsTheFifthTabAndPollsLikeTheRealtimeView) {
    ASSERT_EQ(tabs()->count(), 5);
    EXPECT_EQ(tabs()->tabText(4), "Wiring");
    EXPECT_FALSE(page()->isVisible());
    link();
    clickTab(1);
    clickTab(4);
    EXPECT_EQ(state.realview, pm::kTrue);
    EXPECT_TRUE(page()->isVisible());
    EXPECT_FALSE(child(QStringLiteral("Frame1"))->isVisible());
    EXPECT_FALSE(grid()->isVisible());
    EXPECT_EQ(page()->geometry(), child(QStringLiteral("Frame1"))->geometry());
    EXPECT_EQ(verdict(), "Waiting for a reading.");
    state.comunication.tick();
    EXPECT_EQ(port.lastWrite(), QByteArray::fromHex("AA C8 32"));
}

TEST_F(WiringTabTest, NamesAReversedCurrentTransformerAndHoldsTheVerdictSteady) {
    link();
    clickTab(4);
    lineBOnTerminal(2);
    pollAndAnswer(kReversedCt);
    EXPECT_EQ(verdict(), kReversedVerdict);
    EXPECT_EQ(form.wiring().overlay().names[2], "I1 = \u2212Ia");

    // The connection found holds; its load angle, PF and K follow every reading, as the report's.
    pollAndAnswer(kReversedCtFlicker);
    EXPECT_EQ(form.wiring().result().threeWire.front().connection.name(),
              "terminals ABC, I1 -A, I2 +C");
    EXPECT_TRUE(verdict().contains("Load angle 26.0\u00B0 lagging (PF 0.899)"))
        << verdict().toStdString();
    pollAndAnswer(kReversedCtAt50);
    EXPECT_TRUE(verdict().startsWith("Element 1 current reversed")) << verdict().toStdString();
    EXPECT_TRUE(verdict().endsWith("K = 1.453.")) << verdict().toStdString();
    const pm::WiringReportContent report = pm::wiringReportContent(form.wiring());
    EXPECT_EQ((report.verdict + report.k).count("K = 1.453"), 1) << "the report gives K once";

    pollAndAnswer(kCorrect);
    EXPECT_EQ(verdict(), "Correct connection, positive sequence. Load angle 25.8\u00B0 lagging "
                         "(PF 0.900). K = 1.000.");
}

TEST_F(WiringTabTest, RightClickOnARecordChecksItInTheWiringTab) {
    linkOnRecallView();
    lineBOnTerminal(2);
    pm::decodeReading(QByteArray::fromHex(kReversedCt), form.table().beginRecord(1));
    ASSERT_EQ(cell(2, 1), "100.00");

    const QPoint onBlock(grid()->columnViewportPosition(1) + 5, grid()->rowViewportPosition(2) + 5);
    emit grid()->customContextMenuRequested(onBlock);
    auto* menu = form.findChild<QMenu*>(QStringLiteral("RecallMenu"));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 1);
    QAction* check = menu->actions().first();
    EXPECT_EQ(check->text(), "Check wiring");
    ASSERT_TRUE(check->isEnabled());
    check->trigger();
    menu->close();

    EXPECT_EQ(tabs()->currentIndex(), 4);
    EXPECT_TRUE(page()->isVisible());
    EXPECT_EQ(caption(QStringLiteral("WiringSource")), "Record 1");
    EXPECT_EQ(verdict(), kReversedVerdict);

    // Live readings do not replace the record until "Live".
    pollAndAnswer(kCorrect);
    EXPECT_EQ(verdict(), kReversedVerdict);
    child<QPushButton>(QStringLiteral("WiringLive"))->click();
    pollAndAnswer(kCorrect);
    EXPECT_TRUE(verdict().startsWith("Correct connection")) << verdict().toStdString();
}

TEST_F(WiringTabTest, SavesTheOnePageReportAsPdfOrPng) {
    QTemporaryDir tmp;
    FakeSaveDialog dialog;
    pm::DiskFileStore files;
    FakeSnapshot snapshot;
    FakeWorkbook workbook;
    pm::SaveServices services{dialog, files, snapshot, workbook, alerts, tmp.path()};
    link();
    clickTab(4);
    pollAndAnswer(kReversedCt);
    pm::WiringTab& tab = form.wiring();
    tab.site = QStringLiteral("Substation 4");

    dialog.answers << FakeSaveDialog::chosen(1, QStringLiteral("found.pdf"))
                   << FakeSaveDialog::chosen(2, QStringLiteral("found.png"));
    tab.save(services);
    tab.save(services);
    ASSERT_EQ(dialog.requests.size(), 2);
    EXPECT_EQ(dialog.requests[0].filter, "pdf (*.pdf)|*.pdf|png (*.png)|*.png|");
    EXPECT_TRUE(readFile(tmp.filePath("found.pdf")).startsWith("%PDF")) << "a PDF file";
    const QImage png(tmp.filePath("found.png"));
    ASSERT_FALSE(png.isNull());
    EXPECT_GT(png.width(), png.height()) << "a landscape page";
    EXPECT_TRUE(alerts.shown.isEmpty());
}

// U1 from terminal 1 to earth reads nothing, U2 from terminal 3 the line voltage; then both
// next to nothing.
const char* const kEarthOnTerminal1 =
    "28 00 10 27 00 00 00 00 01 01 03 03 00 00 00 00 00 00 00 00 88 13";
const char* const kEarthBothLow =
    "1E 00 14 00 00 00 00 00 01 01 03 03 00 00 00 00 00 00 00 00 88 13";

TEST_F(WiringTabTest, FindLineBTakesTheNextReadingToEarth) {
    link();
    clickTab(4);
    pollAndAnswer(kReversedCt);
    auto* find = child<QPushButton>(QStringLiteral("WiringFindLineB"));
    find->click();
    EXPECT_TRUE(caption(QStringLiteral("WiringLineBMessage")).startsWith("Put the U1 leads"));

    pollAndAnswer(kEarthOnTerminal1);
    EXPECT_EQ(caption(QStringLiteral("WiringLineBMessage")),
              "Terminal 1 is at earth (U1 = 0.4 V, U2 = 100.0 V): line B is on terminal 1.");
    EXPECT_EQ(child<QComboBox>(QStringLiteral("WiringCommon"))->currentIndex(), 1);
    EXPECT_EQ(form.wiring().settings().commonTerminal, 1);
    EXPECT_EQ(verdict(), "Waiting for a reading.") << "a reading to earth is not checked";

    find->click();
    pollAndAnswer(kEarthBothLow);
    EXPECT_TRUE(caption(QStringLiteral("WiringLineBMessage")).endsWith("Line B not found."));
    EXPECT_EQ(form.wiring().settings().commonTerminal, 1) << "kept as it was";
    pollAndAnswer(kReversedCt);
    EXPECT_FALSE(form.wiring().findingLineB());
    EXPECT_FALSE(verdict().startsWith("Waiting")) << "the next reading is checked again";

    // A record on show takes no live reading.
    pm::decodeReading(QByteArray::fromHex(kReversedCt), form.table().beginRecord(1));
    form.wiring().openRecord(form.table(), 1);
    find->click();
    EXPECT_TRUE(caption(QStringLiteral("WiringLineBMessage")).startsWith("No reading"));
    EXPECT_FALSE(form.wiring().findingLineB());
}

TEST_F(WiringTabTest, LoadRangesByName) {
    link();
    clickTab(4);
    auto* ranges = child<QComboBox>(QStringLiteral("WiringLoadRange"));
    EXPECT_EQ(ranges->currentText(), "Import");
    ranges->setCurrentIndex(1);
    emit ranges->activated(1);
    EXPECT_EQ(ranges->currentText(), "Export");
    EXPECT_EQ(form.wiring().settings().loadRange.min, 120);
    EXPECT_EQ(form.wiring().settings().loadRange.max, 240);
    ranges->setCurrentIndex(2);
    emit ranges->activated(2);
    EXPECT_EQ(form.wiring().settings().loadRange.max - form.wiring().settings().loadRange.min, 360);
    child<QSpinBox>(QStringLiteral("WiringLoadMax"))->setValue(90);
    EXPECT_EQ(ranges->currentText(), "Custom");
    EXPECT_EQ(form.wiring().settings().loadRange.max, 90);
}

namespace {
// The text of a PDF as poppler's pdftotext reads it, in the order of the page's layout.
QString pdfText(const QString& pdf, const QStringList& options = {}) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), options + QStringList{pdf, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}
} // namespace

TEST_F(WiringTabTest, TheReportIsAVectorPdfAnEngineerCanSignAndSearch) {
    QTemporaryDir tmp;
    FakeSaveDialog dialog;
    pm::DiskFileStore files;
    FakeSnapshot snapshot;
    FakeWorkbook workbook;
    pm::SaveServices services{dialog, files, snapshot, workbook, alerts, tmp.path()};
    QDateTime now(QDate(2026, 12, 8), QTime(9, 7, 23));
    form.staleWatch().clock = [&now] { return now; };
    link();
    clickTab(4);
    lineBOnTerminal(2);
    pollAndAnswer(kReversedCt);
    pm::WiringTab& tab = form.wiring();
    tab.site = QStringLiteral("Substation 4");
    tab.meterNumber = QStringLiteral("EM-2291/0457");
    tab.note = QStringLiteral("Panel 3, as found");
    now = now.addSecs(140);

    // The name carries the meter number, what a file name cannot hold replaced, and the time.
    dialog.answers << FakeSaveDialog::chosen(1);
    tab.save(services);
    ASSERT_EQ(dialog.requests.size(), 1);
    EXPECT_EQ(dialog.requests[0].fileName, "EM-2291_0457 2026-12-08 0907");
    const QString pdf = QDir(tmp.path()).filePath("EM-2291_0457 2026-12-08 0907.pdf");
    ASSERT_TRUE(QFileInfo::exists(pdf));

    const QString text = pdfText(pdf).simplified(); // lines wrapped on the page joined
    for (const char* expected :
         {"Wiring check, as found", "Substation 4", "EM-2291/0457", "Panel 3, as found",
          "2026-12-08 09:07:23", "Report made", "2026-12-08 09:09:43", "Line B on terminal 2",
          "tolerance 15\u00B0", "Engineer (name)", "Signature"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
    // P1 flows back at 235.8°: the table gives its sign, which the panel leaves off.
    const QString p1 = form.core().panel.text(pm::Field::P1);
    EXPECT_TRUE(pdfText(pdf, {QStringLiteral("-layout")}).contains("-" + p1))
        << "signed P1 -" << p1.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("K = 3.583")), 1) << "K once";
    EXPECT_TRUE(text.contains(QStringLiteral("Load angle 25.8\u00B0 lagging (PF 0.900)")));
    EXPECT_TRUE(text.contains(QStringLiteral("I1 = \u2212Ia"))) << "the diagram's labels";

    // Text and lines, no picture of them.
    QProcess images;
    images.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    images.waitForFinished(60000);
    EXPECT_EQ(QString::fromUtf8(images.readAllStandardOutput()).count(u'\n'), 2)
        << "only the heading of an empty list";
    EXPECT_TRUE(alerts.shown.isEmpty());
}

TEST(WiringReportName, WithoutAMeterNumberOrWithOddCharacters) {
    pm::WiringReportContent c;
    c.when = QDateTime(QDate(2026, 12, 8), QTime(9, 9, 41));
    EXPECT_EQ(pm::wiringReportName(c), "Wiring check 2026-12-08 0909");
    c.meterNumber = QStringLiteral("  ..EM:22*91?\t<0457>.  ");
    c.taken = QDateTime(QDate(2026, 12, 8), QTime(8, 59, 2));
    EXPECT_EQ(pm::wiringReportName(c), "_.EM_22_91_ _0457_ 2026-12-08 0859");
}
