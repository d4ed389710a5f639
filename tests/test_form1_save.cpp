#include "RecordFixtures.h"
#include "WindowFixture.h"
#include "WorkbookReader.h"
#include "fakes/AnswerDialog.h"
#include "fakes/WaitUntil.h"
#include "records/TableText.h"
#include "records/TextFile.h"
#include "records/ViewReport.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QTemporaryDir>

namespace {
struct WindowSaving : WindowFixture {
    QTemporaryDir tmp;
    QString folder = tmp.filePath("Zandrel");
    ModalWatchdog watchdog;

    void SetUp() override {
        WindowFixture::SetUp();
        form.saveAndPrint().setSaveFolder(folder);
    }
    // The user picks type `k` (0-based) and a name in the save dialog.
    void answerSave(int k, const QString& name) {
        answerNextDialog<QFileDialog>([k, name](QFileDialog& d) {
            auto* combo = d.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            combo->setCurrentIndex(k);
            emit combo->activated(k);
            emit combo->textActivated(combo->itemText(k));
            d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
            static_cast<QDialog&>(d).accept();
        });
    }
    QByteArray read(const QString& name) const {
        QFile f(QDir(folder).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};
} // namespace

TEST_F(WindowSaving, SaveWritesThePanelOrThePictureOfTheWindow) {
    form.core().panel.setText(pm::Field::U1, "228.40");
    alerts.answer = true; // no meter: the panel is saved anyway
    answerSave(1, "panel");
    button(2)->click();
    ASSERT_EQ(alerts.asked.size(), 1);
    EXPECT_EQ(alerts.asked[0].second, "No reading has come from the meter. Save it anyway?");
    EXPECT_EQ(read("panel.txt"),
              pm::textFileBytes(pm::viewReportLines(form.core().panel) << "No reading taken"));
    EXPECT_TRUE(QFileInfo(folder).isDir()) << "the default folder is created";

    answerSave(0, "window");
    button(2)->click();
    const QByteArray jpeg = read("window.jpg");
    ASSERT_TRUE(jpeg.startsWith("\xFF\xD8\xFF")) << "a real JPEG file";
    EXPECT_EQ(QImage::fromData(jpeg, "JPEG").size(), form.size());
    EXPECT_FALSE(watchdog.fired);
}

TEST_F(WindowSaving, SaveOnTheRecallViewWritesTheTableAsTextOrWorkbook) {
    clickTab(1);
    downloadRecords(form.table(), 2);
    state.reccount = 2;

    answerNextDialog<QFileDialog>([](QFileDialog& d) {
        EXPECT_EQ(d.nameFilters(), (QStringList{"txt (*.txt)", "excel (*.xls)"}));
        d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText("table");
        static_cast<QDialog&>(d).accept();
    });
    button(2)->click();
    // The table is written off the window's thread; the file appears whole, once.
    const auto written = [this](const char* name) {
        return waitUntil([&] { return QFileInfo::exists(QDir(folder).filePath(name)); }, 20000);
    };
    ASSERT_TRUE(written("table.txt"));
    EXPECT_EQ(read("table.txt"), pm::textFileBytes(pm::tableTextLines(form.table(), 2)));

    answerSave(1, "table");
    button(2)->click();
    ASSERT_TRUE(written("table.xls"));
    const SheetContents sheet = readFirstSheet(QDir(folder).filePath("table.xls"));
    ASSERT_TRUE(sheet.ok) << sheet.error.toStdString();
    EXPECT_EQ(sheet.dimension, "A1:G12");
    EXPECT_EQ(sheet.text(7, 1), "NO.2");
    EXPECT_FALSE(watchdog.fired);
}

TEST_F(WindowSaving, AFailedSaveShowsTheSavingErrorBox) {
    // A name of 254 characters leaves no room for the temporary file beside it.
    const QString name = QString(250, u'n') + ".txt";
    QDir().mkpath(folder);
    QFile old(QDir(folder).filePath(name));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    alerts.answer = true;
    answerSave(1, name);
    QString title, text;
    // Replacing the file is confirmed first; then the write fails.
    answerNextDialog<QMessageBox>([&](QMessageBox& question) {
        question.button(QMessageBox::Yes)->click();
        answerNextDialog<QMessageBox>(
            [&](QMessageBox& box) {
                title = box.windowTitle();
                text = box.text();
                box.accept();
            },
            20000);
    });
    button(2)->click();
    EXPECT_EQ(title, "Saving Error!");
    EXPECT_TRUE(text.startsWith("Save Error.\n")) << text.toStdString();
    EXPECT_EQ(read(name), "old");
    EXPECT_FALSE(watchdog.fired);
}

TEST_F(WindowSaving, ASecondSaveUnderTheSameNameAsksBeforeReplacingTheFirst) {
    alerts.answer = true;
    answerSave(1, "found");
    button(2)->click();
    const QByteArray first = read("found.txt");
    ASSERT_FALSE(first.isEmpty());

    form.core().panel.setText(pm::Field::U1, "231.00");
    QString question;
    answerSave(1, "found");
    answerNextDialog<QMessageBox>([&](QMessageBox& box) {
        question = box.text();
        box.button(QMessageBox::No)->click();
        answerNextDialog<QFileDialog>([](QFileDialog& d) { d.reject(); });
    });
    button(2)->click();
    EXPECT_TRUE(question.contains("found.txt already exists")) << question.toStdString();
    EXPECT_EQ(read("found.txt"), first) << "the first report is kept";
    EXPECT_FALSE(watchdog.fired);
}

TEST_F(WindowSaving, PrintGoesToThePrinterChosenInTheDialog) {
    alerts.answer = true;
    const QString pdf = tmp.filePath("view.pdf");
    answerNextDialog<QPrintDialog>([&](QPrintDialog& d) {
        EXPECT_FALSE(d.testOption(QAbstractPrintDialog::PrintPageRange));
        // Without a printer installed, Qt's dialog offers "Print to File (PDF)" alone.
        d.findChild<QLineEdit*>(QStringLiteral("filename"))->setText(pdf);
        d.accept();
    });
    button(4)->click();
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(5) == "%PDF-");

    // A cancel prints nothing and says nothing.
    QFile::remove(pdf);
    answerNextDialog<QPrintDialog>([](QPrintDialog& d) { d.reject(); });
    button(4)->click();
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_FALSE(watchdog.fired);
}
