#include "Printers.h"
#include "RecordFixtures.h"
#include "fakes/FakeDialogs.h"
#include "fakes/FakeOutputs.h"
#include "platform/QtLinePrinter.h"
#include "protocol/Reading.h"
#include "records/PrintLines.h"
#include "records/Printing.h"
#include "records/ViewReport.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using pm::DialogResult;

namespace {
struct Printing : ::testing::Test {
    FakePrintDialog dialog;
    FakeLinePrinter printer;
    FakeAlerts alerts;
    pm::Panel panel;
    pm::RecordTable table;
};

struct PdfWord {
    int page = 0;
    double x = 0, y = 0;
    QString text;
};
using PdfLine = QList<PdfWord>;

// The words printed on each line, top to bottom, page after page, with their positions (points).
QList<PdfLine> pdfLines(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(30000))
        return {};
    QXmlStreamReader xml(p.readAllStandardOutput());
    QList<PdfWord> words;
    int page = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"page") {
            ++page;
        } else if (xml.name() == u"word") {
            PdfWord w;
            w.page = page;
            w.x = xml.attributes().value(QLatin1String("xMin")).toDouble();
            w.y = xml.attributes().value(QLatin1String("yMax")).toDouble();
            w.text = xml.readElementText();
            words << w;
        }
    }
    // pdftotext gives the words in reading blocks; the lines are the words of one baseline.
    std::sort(words.begin(), words.end(), [](const PdfWord& a, const PdfWord& b) {
        if (a.page != b.page)
            return a.page < b.page;
        if (std::abs(a.y - b.y) > 1)
            return a.y < b.y;
        return a.x < b.x;
    });
    QList<PdfLine> lines;
    for (const PdfWord& w : words) {
        if (lines.isEmpty() || lines.last().last().page != w.page ||
            std::abs(lines.last().last().y - w.y) > 1)
            lines.append(PdfLine{});
        lines.last().append(w);
    }
    return lines;
}

// The printed words are the line's words, each placed by its character column: in a fixed-pitch
// face the blanks of the line keep the columns. `pitch` and `left` are those of the first line
// checked, so that all lines share one grid.
::testing::AssertionResult laidOutAs(const PdfLine& words, const QString& line, double* pitch,
                                     double* left) {
    QList<int> columns;
    QStringList tokens;
    for (int k = 0; k < line.size(); ++k)
        if (line[k] != u' ' && (k == 0 || line[k - 1] == u' ')) {
            columns << k;
            tokens << line.mid(k).section(u' ', 0, 0);
        }
    QStringList printed;
    for (const PdfWord& w : words)
        printed << w.text;
    if (printed != tokens)
        return ::testing::AssertionFailure() << "printed \"" << printed.join(u'|').toStdString()
                                             << "\" for \"" << line.toStdString() << "\"";
    if (*pitch <= 0 && columns.size() > 1) {
        *pitch = (words.last().x - words.first().x) / (columns.last() - columns.first());
        *left = words.first().x - columns.first() * *pitch;
    }
    for (qsizetype k = 0; k < words.size(); ++k) {
        const double expected = *left + columns[k] * *pitch;
        if (std::abs(words[k].x - expected) > 0.5)
            return ::testing::AssertionFailure()
                   << "\"" << words[k].text.toStdString() << "\" at x " << words[k].x
                   << " instead of " << expected << " in \"" << line.toStdString() << "\"";
    }
    return ::testing::AssertionSuccess();
}

QStringList visible(const QStringList& lines) {
    QStringList out;
    for (const QString& l : lines)
        if (!l.trimmed().isEmpty())
            out << l;
    return out;
}
} // namespace

TEST_F(Printing, RealTimeViewIsOneDocumentBelowTheOffset) {
    const QDateTime taken(QDate(2026, 12, 8), QTime(9, 7, 23));
    pm::printClick(-1, 0, panel, taken, table, dialog, printer, alerts);
    EXPECT_EQ(dialog.shown, 1);
    EXPECT_EQ(printer.topOffset, 500);
    EXPECT_EQ(printer.lines, pm::viewPrintLines(panel)
                                 << "        Reading taken 2026-12-08 09:07:23");
    EXPECT_EQ(printer.documents, 1);
    EXPECT_TRUE(alerts.shown.isEmpty());
}

TEST_F(Printing, RecordViewPrintsTheBlocksTheTableHolds) {
    downloadRecords(table, 3);
    pm::printClick(0, 3, panel, {}, table, dialog, printer, alerts);
    EXPECT_EQ(printer.topOffset, 0) << "the record print-out sets no position";
    EXPECT_EQ(printer.lines.size(), 21);
    EXPECT_EQ(printer.documents, 1);

    table.gridinit(); // "Clear": the count stays at 3
    printer.lines.clear();
    pm::printClick(0, 3, panel, {}, table, dialog, printer, alerts);
    EXPECT_EQ(printer.lines.size(), 7);
}

TEST_F(Printing, TheLargestDownloadIsPrintedWhole) {
    downloadRecords(table, 10000);
    pm::printClick(0, 10000, panel, {}, table, dialog, printer, alerts);
    ASSERT_EQ(printer.lines.size(), 70000);
    EXPECT_TRUE(printer.lines[69994].startsWith("        NO.10000  U/V"));
    EXPECT_EQ(printer.documents, 1);
}

TEST_F(Printing, CancelIsSilentAndAFailureBeepsWithTheReason) {
    dialog.answer = {DialogResult::Cancelled, {}};
    pm::printClick(-1, 0, panel, {}, table, dialog, printer, alerts);
    EXPECT_TRUE(printer.lines.isEmpty());
    EXPECT_EQ(printer.documents, 0);
    EXPECT_TRUE(alerts.shown.isEmpty());

    dialog.answer = {DialogResult::Failed, QStringLiteral("No printers are installed.")};
    pm::printClick(-1, 0, panel, {}, table, dialog, printer, alerts);
    EXPECT_EQ(printer.documents, 0);
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].first, "Printing Error!");
    EXPECT_EQ(alerts.shown[0].second, "Print Error.\r\nNo printers are installed.");

    dialog.answer = {DialogResult::Chosen, {}}; // the next "Print" works as usual
    pm::printClick(-1, 0, panel, {}, table, dialog, printer, alerts);
    EXPECT_EQ(printer.lines.size(), 8) << "seven lines and the time of the reading";
}

TEST_F(Printing, APrinterThatRefusesIsReported) {
    printer.refuse = true;
    pm::printClick(0, 0, panel, {}, table, dialog, printer, alerts);
    EXPECT_EQ(printer.documents, 1) << "the document is still ended";
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].second, "Print Error.\r\nprinter offline");
}

// The real printer, writing each print-out to the PDF file `target` once the dialog is answered.
struct QtLinePrinter : ::testing::Test {
    QtLinePrinter() {
        dialog.onChosen = [this] {
            printer.printer().setOutputFormat(QPrinter::PdfFormat);
            printer.printer().setOutputFileName(target);
        };
    }
    QTemporaryDir tmp;
    pm::QtLinePrinter printer;
    FakePrintDialog dialog;
    FakeAlerts alerts;
    QString target;
};

TEST_F(QtLinePrinter, BothPrintOutsToPdfFiles) {
    pm::Panel panel;
    panel.setText(pm::Field::U1, "231.45");
    pm::RecordTable table;
    double pitch = 0, left = 0;

    target = tmp.filePath("view.pdf");
    pm::printClick(-1, 0, panel, {}, table, dialog, printer, alerts);
    EXPECT_TRUE(alerts.shown.isEmpty());
    const QList<PdfLine> view = pdfLines(target);
    const QStringList viewLines =
        visible(pm::viewPrintLines(panel) << "        " + pm::readingTakenText({}));
    ASSERT_EQ(view.size(), viewLines.size());
    for (qsizetype k = 0; k < view.size(); ++k)
        EXPECT_TRUE(laidOutAs(view[k], viewLines[k], &pitch, &left));
    EXPECT_EQ(view[3][1].text, "360.0\u00B0");
    EXPECT_EQ(view.last().last().page, 1);

    // 120 records are 840 lines: more than a page holds, so the print-out goes on on new pages.
    downloadRecords(table, 120);
    target = tmp.filePath("records.pdf");
    pm::printClick(0, 120, panel, {}, table, dialog, printer, alerts);
    EXPECT_TRUE(alerts.shown.isEmpty());
    const QList<PdfLine> records = pdfLines(target);
    const QStringList recordLines = visible(pm::tablePrintLines(table, 120));
    ASSERT_EQ(records.size(), recordLines.size());
    pitch = 0;
    for (qsizetype k = 0; k < records.size(); ++k)
        ASSERT_TRUE(laidOutAs(records[k], recordLines[k], &pitch, &left)) << "line " << k;
    const int pages = records.last().last().page;
    EXPECT_GT(pages, 5);
    EXPECT_LT(pages, 40);
    EXPECT_EQ(records[1].first().page, 1);

    // The real-time print-out starts 500 twips (25 points) lower than the record print-out.
    EXPECT_NEAR(view[0][0].y - records[0][0].y, 25.0, 0.5);
}

TEST_F(QtLinePrinter, AFileThatCannotBeWrittenIsReported) {
    target = tmp.filePath("no/such/folder/out.pdf");
    pm::Panel panel;
    pm::RecordTable table;
    pm::printClick(-1, 0, panel, {}, table, dialog, printer, alerts);
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].first, "Printing Error!");
    EXPECT_TRUE(alerts.shown[0].second.contains("out.pdf")) << alerts.shown[0].second.toStdString();
}

TEST_F(QtLinePrinter, APictureFillsOneLandscapePageAndTextPrintOutsStayUpright) {
    // pdfinfo's "Page size: 842 x 595 pts (A4)" and the pictures pdfimages finds.
    auto info = [](const QString& tool, const QString& pdf) {
        QProcess p;
        p.start(tool, tool == "pdfimages" ? QStringList{"-list", pdf} : QStringList{pdf});
        p.waitForFinished();
        return QString::fromUtf8(p.readAllStandardOutput()).simplified();
    };
    auto landscape = [&](const QString& pdf) {
        const QStringList size = info(QStringLiteral("pdfinfo"), pdf)
                                     .section(QStringLiteral("Page size: "), 1)
                                     .split(' ');
        return size.size() > 2 && size[0].toDouble() > size[2].toDouble();
    };
    QImage plot(400, 300, QImage::Format_RGB32);
    plot.fill(Qt::blue);

    target = tmp.filePath("plot.pdf");
    pm::printPictureClick([&] { return plot; }, dialog, printer, alerts);
    EXPECT_TRUE(alerts.shown.isEmpty());
    EXPECT_TRUE(landscape(target));
    EXPECT_TRUE(info(QStringLiteral("pdfinfo"), target).contains("Pages: 1"));
    EXPECT_TRUE(info(QStringLiteral("pdfimages"), target).contains(" 400 300 "))
        << info(QStringLiteral("pdfimages"), target).toStdString();

    target = tmp.filePath("view.pdf");
    pm::Panel panel;
    pm::RecordTable table;
    pm::printClick(-1, 0, panel, {}, table, dialog, printer, alerts);
    EXPECT_TRUE(alerts.shown.isEmpty());
    EXPECT_FALSE(landscape(target)) << "the user's orientation is back";
}

TEST_F(QtLinePrinter, AReportIsPrintedAsTextAndLinesOnALandscapePageAtAnyResolution) {
    auto run = [](const QString& tool, const QStringList& args) {
        QProcess p;
        p.start(tool, args);
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    QSizeF area;
    const auto draw = [&area](QPainter& p, const QRectF& page) {
        area = page.size();
        QFont font;
        font.setPixelSize(12);
        p.setFont(font);
        p.drawText(page.topLeft() + QPointF(0, 12), QStringLiteral("P1 -0.2795 kW"));
        p.drawLine(page.topLeft() + QPointF(0, 20), page.topLeft() + QPointF(96, 20));
    };
    target = tmp.filePath("report.pdf");
    pm::printDrawingClick(draw, dialog, printer, alerts);
    EXPECT_TRUE(alerts.shown.isEmpty());
    // The printable area of A4 landscape in 1/96 inch, whatever the printer's own resolution.
    EXPECT_GT(area.width(), 1000);
    EXPECT_LT(area.width(), 1123);
    EXPECT_GT(area.width(), area.height());
    EXPECT_TRUE(run("pdftotext", {target, "-"}).contains("P1 -0.2795 kW"));
    EXPECT_EQ(run("pdfimages", {"-list", target}).count(u'\n'), 2) << "no picture of the text";
    const QStringList size =
        run("pdfinfo", {target}).simplified().section("Page size: ", 1).split(' ');
    ASSERT_GT(size.size(), 2);
    EXPECT_GT(size[0].toDouble(), size[2].toDouble()) << "landscape";

    // Refused like any print-out.
    dialog.answer = {pm::DialogResult::Failed, QStringLiteral("No printers are installed.")};
    pm::printDrawingClick(draw, dialog, printer, alerts);
    ASSERT_EQ(alerts.shown.size(), 1);
}
