#include "Files.h"
#include "Printers.h"
#include "fakes/AnswerDialog.h"
#include "fakes/DiskFaults.h"
#include "fakes/Fifo.h"
#include "fakes/Pty.h"
#include "platform/DiskFileStore.h"
#include "platform/FileFilter.h"
#include "platform/QtAlerts.h"
#include "platform/QtCommonDialog.h"
#include "platform/QtWindowSnapshot.h"

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
#include <QPrinter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// The user picks entry `k` in the dialog's list of types.
void chooseType(QFileDialog& d, int k) {
    auto* combo = d.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(combo, nullptr);
    combo->setCurrentIndex(k);
    emit combo->activated(k);
    emit combo->textActivated(combo->itemText(k));
}

void typeName(QFileDialog& d, const QString& name) {
    auto* edit = d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(name);
}
} // namespace

TEST(FileFilter, PairsOfDescriptionAndPattern) {
    const auto types = pm::parseFilter("jpg (*.jpg)|*.jpg|txt (*.txt)|*.txt|");
    ASSERT_EQ(types.size(), 2);
    EXPECT_EQ(types[1].description, "txt (*.txt)");
    EXPECT_EQ(types[1].pattern, "*.txt");
    EXPECT_EQ(pm::nameFilter(types[0]), "jpg (*.jpg)");
    EXPECT_EQ(pm::nameFilter({"Text", "*.txt;*.log"}), "Text (*.txt *.log)");
    EXPECT_EQ(pm::parseFilter("a|*.a|dangling").size(), 1);
    EXPECT_TRUE(pm::parseFilter("").isEmpty());
    EXPECT_EQ(pm::patternSuffix("*.xls"), "xls");
    EXPECT_EQ(pm::patternSuffix("*.*"), "");
    EXPECT_EQ(pm::patternSuffix("*"), "");
}

TEST(QtCommonDialog, SaveDialogOffersTheTypesAndKeepsTheChoice) {
    ModalWatchdog watchdog;
    QTemporaryDir tmp;
    QPrinter printer;
    pm::QtCommonDialog dialog(nullptr, printer);
    EXPECT_EQ(dialog.filterIndex(), 1);
    const pm::SaveRequest view{"jpg (*.jpg)|*.jpg|txt (*.txt)|*.txt|", "Zandrel2026-07-12", ".jpg",
                               tmp.path()};

    answerNextDialog<QFileDialog>([&](QFileDialog& d) {
        EXPECT_EQ(d.nameFilters(), (QStringList{"jpg (*.jpg)", "txt (*.txt)"}));
        EXPECT_EQ(d.selectedNameFilter(), "jpg (*.jpg)");
        EXPECT_EQ(QDir(d.directory()).canonicalPath(), QDir(tmp.path()).canonicalPath());
        EXPECT_EQ(d.acceptMode(), QFileDialog::AcceptSave);
        EXPECT_FALSE(d.testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_EQ(d.findChild<QLineEdit*>("fileNameEdit")->text(), "Zandrel2026-07-12");
        static_cast<QDialog&>(d).accept();
    });
    pm::SaveChoice c = dialog.showSave(view);
    EXPECT_EQ(c.outcome.result, pm::DialogResult::Chosen);
    EXPECT_EQ(c.fileName, QDir(tmp.path()).filePath("Zandrel2026-07-12.jpg"));
    EXPECT_EQ(dialog.filterIndex(), 1);

    // Choosing the text type gives a bare name that type's extension.
    answerNextDialog<QFileDialog>([&](QFileDialog& d) {
        chooseType(d, 1);
        typeName(d, "typed");
        static_cast<QDialog&>(d).accept();
    });
    c = dialog.showSave(view);
    EXPECT_EQ(c.fileName, QDir(tmp.path()).filePath("typed.txt"));
    EXPECT_EQ(dialog.filterIndex(), 2);

    // The table's save comes up on its second type; a name with an extension keeps it; an
    // existing file that is added to, never replaced, is taken without a question.
    QFile existing(QDir(tmp.path()).filePath("data.csv"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    answerNextDialog<QFileDialog>([&](QFileDialog& d) {
        EXPECT_EQ(d.selectedNameFilter(), "excel (*.xls)");
        EXPECT_EQ(d.defaultSuffix(), "xls");
        typeName(d, "data.csv");
        static_cast<QDialog&>(d).accept();
    });
    c = dialog.showSave(
        {"txt (*.txt)|*.txt|excel (*.xls)|*.xls|", "Zandrel", ".xls", tmp.path(), false});
    EXPECT_EQ(c.outcome.result, pm::DialogResult::Chosen);
    EXPECT_EQ(c.fileName, QDir(tmp.path()).filePath("data.csv"));
    EXPECT_EQ(dialog.filterIndex(), 2);

    // A cancel changes nothing.
    answerNextDialog<QFileDialog>([&](QFileDialog& d) {
        chooseType(d, 0);
        d.reject();
    });
    c = dialog.showSave(view);
    EXPECT_EQ(c.outcome.result, pm::DialogResult::Cancelled);
    EXPECT_EQ(dialog.filterIndex(), 2);
    EXPECT_FALSE(watchdog.fired);
}

TEST(QtCommonDialog, ReplacingAFileIsConfirmedFirstAndNoGoesBackToTheDialog) {
    ModalWatchdog watchdog;
    QTemporaryDir tmp;
    QPrinter printer;
    pm::QtCommonDialog dialog(nullptr, printer);
    const QString existing = QDir(tmp.path()).filePath("report.txt");
    ASSERT_TRUE(writeFile(existing, "as found"));
    const pm::SaveRequest view{"jpg (*.jpg)|*.jpg|txt (*.txt)|*.txt|", "Zandrel", ".txt",
                               tmp.path()};

    // A bare name that gets the extension of an existing file is asked about; No leaves the
    // dialog open for another name, and Cancel then writes nothing.
    QString question;
    answerNextDialog<QFileDialog>([&](QFileDialog& d) {
        chooseType(d, 1);
        typeName(d, "report");
        answerNextDialog<QMessageBox>([&](QMessageBox& box) {
            question = box.text();
            box.button(QMessageBox::No)->click();
            answerNextDialog<QFileDialog>([](QFileDialog& again) { again.reject(); });
        });
        static_cast<QDialog&>(d).accept();
    });
    pm::SaveChoice c = dialog.showSave(view);
    EXPECT_TRUE(question.contains("report.txt already exists")) << question.toStdString();
    EXPECT_EQ(c.outcome.result, pm::DialogResult::Cancelled);

    // Yes chooses it: the caller replaces it.
    answerNextDialog<QFileDialog>([&](QFileDialog& d) {
        typeName(d, "report.txt");
        answerNextDialog<QMessageBox>(
            [](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
        static_cast<QDialog&>(d).accept();
    });
    c = dialog.showSave(view);
    EXPECT_EQ(c.outcome.result, pm::DialogResult::Chosen);
    EXPECT_EQ(c.fileName, existing);
    EXPECT_FALSE(watchdog.fired);
}

TEST(QtCommonDialog, PrintDialogCancelAndChoice) {
    ModalWatchdog watchdog;
    QPrinter printer;
    pm::QtCommonDialog dialog(nullptr, printer);
    answerNextDialog<QPrintDialog>([&](QPrintDialog& d) {
        EXPECT_FALSE(d.testOption(QAbstractPrintDialog::PrintPageRange));
        d.reject();
    });
    EXPECT_EQ(dialog.showPrinter().result, pm::DialogResult::Cancelled);

    QTemporaryDir tmp;
    answerNextDialog<QPrintDialog>([&](QPrintDialog& d) {
        d.printer()->setOutputFormat(QPrinter::PdfFormat);
        d.printer()->setOutputFileName(tmp.filePath("out.pdf"));
        static_cast<QDialog&>(d).accept();
    });
    EXPECT_EQ(dialog.showPrinter().result, pm::DialogResult::Chosen);
    EXPECT_FALSE(watchdog.fired);
}

TEST(QtAlerts, WarningBoxWithTitleAndLines) {
    ModalWatchdog watchdog;
    pm::QtAlerts alerts(nullptr);
    answerNextDialog<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle(), "Saving Error!");
        EXPECT_EQ(box.text(), "Save Error.\nno space left");
        EXPECT_EQ(box.icon(), QMessageBox::Warning);
        EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
        box.accept();
    });
    alerts.warn("Saving Error!", "Save Error.\r\nno space left");
    EXPECT_FALSE(watchdog.fired);
}

TEST(AnswerDialog, AnAnswerNotUsedEndsWithItsTest) {
    bool answered = false;
    const QPointer<QTimer> answer =
        answerNextDialog<QMessageBox>([&answered](QMessageBox&) { answered = true; });
    ASSERT_FALSE(answer.isNull());
    DialogAnswersEndWithTheirTest().OnTestEnd(
        *::testing::UnitTest::GetInstance()->current_test_info());
    EXPECT_TRUE(answer.isNull()) << "its timer is gone with the test";
    EXPECT_FALSE(answered);
}

TEST(QtWindowSnapshot, TheWindowAsAJpegFile) {
    QWidget window;
    window.resize(160, 90);
    window.setAutoFillBackground(true);
    QPalette pal = window.palette();
    pal.setColor(QPalette::Window, Qt::green);
    window.setPalette(pal);
    pm::QtWindowSnapshot snapshot(window);
    QByteArray bytes;
    QString why;
    EXPECT_FALSE(snapshot.jpeg(&bytes, &why)) << "nothing taken yet";

    snapshot.take();
    ASSERT_TRUE(snapshot.jpeg(&bytes, &why)) << why.toStdString();
    EXPECT_TRUE(bytes.startsWith("\xFF\xD8\xFF")) << "a JPEG file, not a bitmap";
    const QImage image = QImage::fromData(bytes, "JPEG");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(160, 90));
    const QColor middle = image.pixelColor(80, 45);
    EXPECT_GT(middle.green(), 200);
    EXPECT_LT(middle.red(), 60);
}

TEST(DiskFileStore, WritesWholeFilesAndMakesFolders) {
    QTemporaryDir tmp;
    pm::DiskFileStore files;
    QString why;
    const QString folder = tmp.filePath("a/b/Zandrel");
    EXPECT_FALSE(files.exists(folder));
    ASSERT_TRUE(files.makeFolder(folder, &why)) << why.toStdString();
    EXPECT_TRUE(files.exists(folder));
    EXPECT_TRUE(files.makeFolder(folder, &why)) << "an existing folder is fine";

    const QString path = QDir(folder).filePath("x.txt");
    ASSERT_TRUE(files.write(path, "first version, longer", &why));
    ASSERT_TRUE(files.write(path, "second", &why));
    EXPECT_EQ(readFile(path), "second");

    EXPECT_FALSE(files.write(tmp.filePath("none/x.txt"), "x", &why));
    EXPECT_TRUE(why.contains("x.txt")) << why.toStdString();
    EXPECT_FALSE(files.makeFolder(QDir(path).filePath("sub"), &why)) << "under a file";
    EXPECT_TRUE(why.contains("sub")) << why.toStdString();
    EXPECT_FALSE(files.write("/proc/version", "x", &why)) << "a system file is never replaced";
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"x.txt"});
}

TEST(DiskFileStore, AFullDiskOrAReadOnlyFolderLeavesTheOldFileAsItWas) {
    QTemporaryDir tmp;
    pm::DiskFileStore files;
    QString why;
    const QString path = tmp.filePath("records.txt");
    ASSERT_TRUE(files.write(path, "the old records", &why));
    const QByteArray big(6000, 'x'); // smaller than a write buffer: fails only when flushed
    {
        const FileSizeLimit full(4096);
        EXPECT_FALSE(files.write(path, big, &why));
    }
    EXPECT_TRUE(why.contains("records.txt")) << why.toStdString();
    EXPECT_EQ(readFile(path), "the old records");
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"records.txt"})
        << "no partial file left behind";

    ASSERT_TRUE(QFile::setPermissions(tmp.path(), QFile::ReadOwner | QFile::ExeOwner));
    {
        const PermissionsBind bind;
        ASSERT_TRUE(bind.ok());
        EXPECT_FALSE(pm::whyNotWritable(path).isEmpty());
        EXPECT_FALSE(files.write(path, "new", &why));
        EXPECT_TRUE(why.contains("records.txt")) << why.toStdString();
    }
    QFile::setPermissions(tmp.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(readFile(path), "the old records");
    EXPECT_TRUE(pm::whyNotWritable(path).isEmpty());
    EXPECT_TRUE(pm::whyNotWritable(tmp.filePath("new.txt")).isEmpty());
    EXPECT_EQ(pm::whyNotWritable(tmp.filePath("no/new.txt")), "its folder does not exist");
    EXPECT_EQ(pm::whyNotWritable(tmp.path()), "it is a folder");
}

TEST(DiskFileStore, DevicesAndPipesAreWrittenInPlaceNeverReplaced) {
    pm::DiskFileStore files;
    QString why;
    Pty pty;
    ASSERT_TRUE(pty.ok());
    EXPECT_TRUE(pm::whyNotWritable(pty.slavePath()).isEmpty());
    EXPECT_TRUE(files.write(pty.slavePath(), "records", &why)) << why.toStdString();
    EXPECT_EQ(pty.read(7), "records");
    EXPECT_FALSE(QFileInfo(pty.slavePath()).isFile()) << "still the device";

    QTemporaryDir tmp;
    Fifo pipe(tmp.filePath("pipe"));
    ASSERT_TRUE(pipe.ok());
    EXPECT_TRUE(pm::whyNotWritable(tmp.filePath("pipe")).isEmpty());
    EXPECT_TRUE(files.write(tmp.filePath("pipe"), "records", &why)) << why.toStdString();
    EXPECT_EQ(pipe.readAvailable(), "records");
    EXPECT_TRUE(pipe.inPlace());
}
