#include "WindowFixture.h"
#include "app/window/ReadingAge.h"
#include "app/window/StaleOverlay.h"
#include "app/wiring/WiringTab.h"
#include "fakes/AnswerDialog.h"
#include "protocol/Decode.h"
#include "records/ViewReport.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPrintDialog>
#include <QProcess>
#include <QTemporaryDir>

namespace {

const QDateTime kTaken(QDate(2026, 12, 8), QTime(9, 7, 23, 400));

TEST(ReadingAge, StaleFromExactlyThreeSecondsAndBeforeTheFirstReading) {
    EXPECT_FALSE(pm::readingStale(kTaken, kTaken));
    EXPECT_FALSE(pm::readingStale(kTaken, kTaken.addMSecs(2999)));
    EXPECT_TRUE(pm::readingStale(kTaken, kTaken.addMSecs(3000)));
    EXPECT_TRUE(pm::readingStale({}, kTaken)) << "no reading yet is no live reading";
    EXPECT_EQ(pm::staleCaption(kTaken, kTaken.addSecs(45)), "No reading since 09:07:23");
    EXPECT_EQ(pm::staleCaption(kTaken, kTaken.addDays(1)), "No reading since 2026-12-08 09:07:23")
        << "a reading of another day names its day";
    EXPECT_EQ(pm::staleCaption({}, kTaken), "No reading yet");
    EXPECT_EQ(pm::staleQuestion(kTaken, kTaken.addSecs(45), "Save"),
              "The last reading is from 09:07:23. Save it anyway?");
    EXPECT_EQ(pm::readingTakenText(kTaken), "Reading taken 2026-12-08 09:07:23");
}

struct StaleWindow : WindowFixture {
    QDateTime now = kTaken;
    QTemporaryDir tmp;
    ModalWatchdog watchdog;

    StaleWindow() {
        form.staleWatch().clock = [this] { return now; };
        form.saveAndPrint().setSaveFolder(tmp.path());
    }
    pm::StaleOverlay* overlayOn(const QString& name) const {
        return dynamic_cast<pm::StaleOverlay*>(child(name)->findChild<QWidget*>(
            QStringLiteral("StaleOverlay"), Qt::FindDirectChildrenOnly));
    }
    // The caption over each live view; empty where it is not marked.
    QStringList marks() const {
        QStringList out;
        for (const QString& name :
             {QStringLiteral("Frame1"), QStringLiteral("Phasor"), QStringLiteral("WiringPhasor")}) {
            const pm::StaleOverlay* o = overlayOn(name);
            out << (o && !o->isHidden() ? o->caption() : QString());
        }
        return out;
    }
    void after(int ms) {
        now = kTaken.addMSecs(ms);
        state.Timer1.tick();
    }
};

} // namespace

TEST_F(StaleWindow, EveryLiveViewIsGreyedAtExactlyThreeSecondsWithoutAReading) {
    EXPECT_EQ(marks(), QStringList(3, "No reading yet"));
    link();
    pollAndAnswer();
    EXPECT_EQ(marks(), QStringList(3, QString()));
    after(2999);
    EXPECT_EQ(marks(), QStringList(3, QString()));
    after(3000);
    EXPECT_EQ(marks(), QStringList(3, "No reading since 09:07:23"));
    EXPECT_FALSE(child(QStringLiteral("WiringVerdict"))->isEnabled()) << "the verdict is greyed";
    clickTab(0);
    EXPECT_TRUE(overlayOn(QStringLiteral("Frame1"))->isVisible()) << "over the panel shown";

    // The next reading clears every mark.
    now = kTaken.addSecs(4);
    pollAndAnswer();
    EXPECT_EQ(marks(), QStringList(3, QString()));
    EXPECT_TRUE(child(QStringLiteral("WiringVerdict"))->isEnabled());
}

TEST_F(StaleWindow, ARecordInTheWiringTabIsNotAnOldLiveReading) {
    after(10000);
    ASSERT_FALSE(marks()[2].isEmpty());
    pm::decodeReading(QByteArray::fromHex("10 27 10 27 88 13 88 13 01 01 03 03 B8 0B 58 02 36 "
                                          "09 E6 0D 88 13"),
                      form.table().beginRecord(1));
    form.wiring().openRecord(form.table(), 1);
    EXPECT_EQ(marks()[2], QString());
    EXPECT_EQ(marks()[0], "No reading yet");
    child<QAbstractButton>(QStringLiteral("WiringLive"))->click();
    EXPECT_EQ(marks()[2], "No reading yet");
}

TEST_F(StaleWindow, SavingAnOldReadingAsksFirstAndTheReportGivesItsTime) {
    link();
    pollAndAnswer();
    after(45000);

    // No: nothing is saved, no dialog opens.
    button(2)->click();
    ASSERT_EQ(alerts.asked.size(), 1);
    EXPECT_EQ(alerts.asked[0].second, "The last reading is from 09:07:23. Save it anyway?");
    EXPECT_TRUE(QDir(tmp.path()).isEmpty());

    // Yes: the report says when its reading was taken, not only when it was saved.
    alerts.answer = true;
    answerNextDialog<QFileDialog>([](QFileDialog& d) {
        d.selectNameFilter(QStringLiteral("txt (*.txt)"));
        d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText("old.txt");
        static_cast<QDialog&>(d).accept();
    });
    button(2)->click();
    EXPECT_EQ(alerts.asked.size(), 2);
    QFile file(QDir(tmp.path()).filePath("old.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines[5], "Reading taken 2026-12-08 09:07:23\r");

    // A fresh reading is saved without a question.
    now = kTaken.addSecs(46);
    pollAndAnswer();
    answerNextDialog<QFileDialog>([](QFileDialog& d) { d.reject(); });
    button(2)->click();
    EXPECT_EQ(alerts.asked.size(), 2);
    EXPECT_FALSE(watchdog.fired);
}

TEST_F(StaleWindow, PrintingAnOldWiringReportAsksFirst) {
    link();
    clickTab(4);
    pollAndAnswer();
    after(3000);
    button(4)->click();
    ASSERT_EQ(alerts.asked.size(), 1);
    EXPECT_EQ(alerts.asked[0].second, "The last reading is from 09:07:23. Print it anyway?");
    // Refused: no print dialog opened (the watchdog would have had to close it).
    EXPECT_FALSE(watchdog.fired);

    // A fresh one is printed without a question, as the text and lines the saved PDF holds.
    now = kTaken.addMSecs(3100);
    pollAndAnswer();
    const QString pdf = QDir(tmp.path()).filePath("printed.pdf");
    answerNextDialog<QPrintDialog>([&pdf](QPrintDialog& d) {
        d.findChild<QLineEdit*>(QStringLiteral("filename"))->setText(pdf);
        d.accept();
    });
    button(4)->click();
    EXPECT_EQ(alerts.asked.size(), 1);
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    text.waitForFinished(60000);
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(printed.contains("Wiring check, as found")) << printed.toStdString();
    EXPECT_TRUE(printed.contains("2026-12-08 09:07:26")) << "the time of the fresh reading";
    EXPECT_FALSE(watchdog.fired);
}
