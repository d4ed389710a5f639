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
#include <QRegularExpression>
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
    run = downloadFrom(meter, {"--output", csv, "--format", "csv", "--pacing", "reply"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(readFile(csv), pm::textFileBytes(pm::recordCsvLines(meter.table, 4)));
}

// One reply late by 150 ms and another by 400 ms: each record lands in its own row, the late
// ones asked again, under either pacing.
TEST(CliRecords, LateRepliesLandInTheirOwnRowsUnderEitherPacing) {
    const StoredRecords meter(12);
    QTemporaryDir out;
    for (const QString pacing : {"fixed", "reply"}) {
        SimProcess sim(meter.simOptions() +
                       QStringList{"--late", "3:150", "--late", "8:400", "--verbose"});
        ASSERT_TRUE(sim.ok());
        const QString csv = out.filePath(pacing + ".csv");
        const CliRun run =
            runCli({"records", "--port", sim.device(), "--output", csv, "--pacing", pacing}, 30000);
        ASSERT_EQ(run.exitCode, 0) << pacing.toStdString() << run.err.toStdString();
        EXPECT_EQ(readFile(csv), pm::textFileBytes(pm::recordCsvLines(meter.table, 12)))
            << pacing.toStdString() << sim.log().toStdString();
        EXPECT_EQ(sim.log().count(QRegularExpression("record 3: sent")), 2) << "asked again";
    }
}

// A meter that answers every request 150 ms late: fixed pacing cannot tell its replies apart
// and says what to do; reply pacing learns to wait for them.
TEST(CliRecords, MeterLateOnEveryReplyNeedsReplyPacing) {
    const StoredRecords meter(6);
    QTemporaryDir out;
    const QString csv = out.filePath("r.csv");
    {
        SimProcess sim(meter.simOptions() + QStringList{"--delay", "150"});
        ASSERT_TRUE(sim.ok());
        const CliRun run = runCli({"records", "--port", sim.device(), "--output", csv}, 30000);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains("Records 1 to 6 did not arrive. Nothing was written. The "
                                     "meter answers later than 100 ms; try --pacing reply."))
            << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(csv));
    }
    SimProcess sim(meter.simOptions() + QStringList{"--delay", "150"});
    ASSERT_TRUE(sim.ok());
    const CliRun run =
        runCli({"records", "--port", sim.device(), "--output", csv, "--pacing", "reply"}, 30000);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(readFile(csv), pm::textFileBytes(pm::recordCsvLines(meter.table, 6)));
}

TEST(CliRecords, FailsWithoutWritingWhenTheMeterIsMissing) {
    QTemporaryDir out;
    const QString file = out.filePath("r.txt");

    const CliRun missing = runCli({"records", "--port", "/nonexistent/ttyUSB7", "--output", file});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("/nonexistent/ttyUSB7")) << missing.err.toStdString();
    EXPECT_TRUE(missing.err.contains("Nothing was written")) << missing.err.toStdString();
    EXPECT_FALSE(QFile::exists(file));

    SimProcess sim(kWireTime);
    ASSERT_TRUE(sim.ok());
    const CliRun noFolder =
        runCli({"records", "--port", sim.device(), "--output", out.filePath("no/such/r.txt")});
    EXPECT_EQ(noFolder.exitCode, 1);
    EXPECT_TRUE(noFolder.err.contains("folder does not exist")) << noFolder.err.toStdString();
}

// The link is lost while records are still asked for: what came is written and the rest named;
// when nothing came, nothing is written and the old file stays. Either way the tool says which.
TEST(CliRecords, LostLinkWritesWhatArrivedOrNothingAndSaysWhich) {
    QTemporaryDir out;
    const QString file = out.filePath("r.txt");
    const QByteArray old = "last week's records\r\n";
    ASSERT_TRUE(writeFile(file, old));
    {
        // Silent after the count: every record reply is lost.
        SimProcess sim(QStringList{"--records", "39", "--drop", "1", "--faults-on", "records"} +
                       kWireTime);
        ASSERT_TRUE(sim.ok());
        const CliRun run = runCli({"records", "--port", sim.device(), "--output", file}, 30000);
        EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("Lost the link")) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("Records 1 to 39 did not arrive. Nothing was written."))
            << run.err.toStdString();
        EXPECT_FALSE(run.err.contains("Wrote")) << run.err.toStdString();
        EXPECT_EQ(readFile(file), old);
    }
    {
        // A meter that holds 10 records but reports 50.
        const StoredRecords meter(10);
        SimProcess sim(meter.simOptions() + QStringList{"--count", "50"});
        ASSERT_TRUE(sim.ok());
        const CliRun run = runCli({"records", "--port", sim.device(), "--output", file}, 30000);
        EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("Wrote 10 of 50 records to " + file +
                                     ". Records 11 to 50 did not arrive."))
            << run.err.toStdString();
        EXPECT_FALSE(run.err.contains("Nothing was written")) << run.err.toStdString();
        EXPECT_EQ(readFile(file), pm::textFileBytes(pm::tableTextLines(meter.table, 10)));
    }
}

TEST(CliRecords, WrongCommandLinesAreUsageErrors) {
    for (const QStringList& args :
         QList<QStringList>{{"records"},
                            {"records", "--output"},
                            {"records", "--output", "x", "--format", "xls"},
                            {"records", "--output", "x", "--pacing", "fast"},
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
