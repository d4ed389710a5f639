#include "Files.h"
#include "Printers.h"
#include "RecordFixtures.h"
#include "WorkbookReader.h"
#include "fakes/SimProcess.h"
#include "records/RecordCsv.h"
#include "records/TableText.h"
#include "records/TextFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
CliRun downloadFrom(const StoredRecords& meter, const QStringList& options) {
    SimProcess sim(meter.simOptions());
    if (!sim.ok())
        return {};
    return runCli(QStringList{"records", "--port", sim.device()} + options);
}
} // namespace

TEST(CliRecords, DownloadsIntoTextWorkbookAndCsv) {
    const StoredRecords meter(int(readingVectors().size()));
    ASSERT_EQ(meter.count, 4);
    QTemporaryDir out;

    const QString txt = out.filePath("records.txt");
    CliRun run = downloadFrom(meter, {"--output", txt});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(readFile(txt), pm::textFileBytes(pm::tableTextLines(meter.table, 4)))
        << "the file the window saves";
    EXPECT_TRUE(run.err.contains("holds 4 records")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Record 4 of 4")) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());

    const QString xlsx = out.filePath("records.xls"); // the type follows the name
    run = downloadFrom(meter, {"--output", xlsx});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const SheetContents sheet = readFirstSheet(xlsx);
    ASSERT_TRUE(sheet.ok) << sheet.error.toStdString();
    EXPECT_EQ(sheet.dimension, "A1:G24");
    for (int r = 0; r < 24; ++r)
        for (int c = 0; c < 7; ++c)
            ASSERT_EQ(sheet.text(r + 1, c + 1), meter.table.text(r, c)) << r << "," << c;

    const QString csv = out.filePath("records.data");
    run = downloadFrom(meter, {"--output", csv, "--format", "csv"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(readFile(csv), pm::textFileBytes(pm::recordCsvLines(meter.table, 4)));
}

TEST(CliRecords, FailsWithoutWritingWhenTheMeterIsMissingOrLost) {
    QTemporaryDir out;
    const QString file = out.filePath("r.txt");

    const CliRun missing = runCli({"records", "--port", "/nonexistent/ttyUSB7", "--output", file});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("/nonexistent/ttyUSB7")) << missing.err.toStdString();
    EXPECT_TRUE(missing.err.contains("Nothing was written")) << missing.err.toStdString();
    EXPECT_FALSE(QFile::exists(file));

    // 200 records take 20 s; the meter falls silent after 2 s, and the link is lost 4 to 5 s
    // later, in the middle of the download.
    SimProcess sim(QStringList{"--records", "200", "--silent-after", "2"} + kWireTime);
    ASSERT_TRUE(sim.ok());
    const CliRun lost = runCli({"records", "--port", sim.device(), "--output", file}, 20000);
    EXPECT_EQ(lost.exitCode, 1) << lost.err.toStdString();
    EXPECT_TRUE(lost.err.contains("Lost the link")) << lost.err.toStdString();
    EXPECT_FALSE(QFile::exists(file));

    const CliRun noFolder =
        runCli({"records", "--port", sim.device(), "--output", out.filePath("no/such/r.txt")});
    EXPECT_EQ(noFolder.exitCode, 1);
    EXPECT_TRUE(noFolder.err.contains("folder does not exist")) << noFolder.err.toStdString();
}

TEST(CliRecords, WrongCommandLinesAreUsageErrors) {
    for (const QStringList& args :
         QList<QStringList>{{"records"},
                            {"records", "--output"},
                            {"records", "--output", "x", "--format", "xls"},
                            {"records", "--output", "x", "extra"},
                            {"records", "--port", "", "--output", "x"}}) {
        const CliRun run = runCli(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("--help")) << run.err.toStdString();
    }
    const CliRun help = runCli({"records", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: phasemeter-cli records")) << help.out.toStdString();
}
