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
    // Two of the shared vectors hold what no reading can (an angle of 360.0, unknown range
    // codes): sent the same twice, they are the meter's own, filed and named.
    EXPECT_TRUE(run.err.contains("Wrote 4 records to " + txt +
                                 ". Records 2 and 4 are stored damaged in the meter."))
        << run.err.toStdString();
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

// One reply late by 150 ms and another by 400 ms: each record lands in its own row at the first
// asking, under either pacing.
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
        EXPECT_EQ(sim.log().count(QRegularExpression("record 3: sent")), 1);
        EXPECT_EQ(
            run.err.contains("The meter answers later than 100 ms; --pacing reply is faster."),
            pacing == "fixed")
            << run.err.toStdString();
    }
}

// The reproductions of misfiled records: two late replies whose waits overlap. Exactly the
// meter's file, under either pacing.
TEST(CliRecords, TwoOverlappingLateRepliesLandInTheirOwnRows) {
    struct Case {
        QString pacing;
        int count;
        QStringList late;
    };
    for (const Case& c : {Case{"fixed", 88, {"--late", "81:663", "--late", "85:263"}},
                          Case{"reply", 20, {"--late", "9:593", "--late", "16:315"}}}) {
        const StoredRecords meter(c.count);
        QTemporaryDir out;
        SimProcess sim(meter.simOptions() + c.late);
        ASSERT_TRUE(sim.ok());
        const QString csv = out.filePath("r.csv");
        const CliRun run = runCli(
            {"records", "--port", sim.device(), "--output", csv, "--pacing", c.pacing}, 40000);
        ASSERT_EQ(run.exitCode, 0) << c.pacing.toStdString() << run.err.toStdString();
        EXPECT_EQ(readFile(csv), pm::textFileBytes(pm::recordCsvLines(meter.table, c.count)))
            << c.pacing.toStdString();
    }
}

// A garbled count is no count: asked again, then given up without touching the old file.
TEST(CliRecords, GarbledCountKeepsTheOldFile) {
    QTemporaryDir out;
    const QString file = out.filePath("r.txt");
    const QByteArray old = "last week's 200 records\r\n";
    ASSERT_TRUE(writeFile(file, old));
    SimProcess sim(QStringList{"--count-reply", "00 80", "--verbose"} + kWireTime);
    ASSERT_TRUE(sim.ok());
    const CliRun run = runCli({"records", "--port", sim.device(), "--output", file}, 30000);
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("The meter's record count could not be read. Nothing was "
                                 "written."))
        << run.err.toStdString();
    EXPECT_EQ(sim.log().count("count: sent"), 3);
    EXPECT_EQ(readFile(file), old);

    // A meter that holds no records says so, and the old file stays.
    SimProcess empty(QStringList{"--records", "0"} + kWireTime);
    ASSERT_TRUE(empty.ok());
    const CliRun none = runCli({"records", "--port", empty.device(), "--output", file}, 30000);
    EXPECT_EQ(none.exitCode, 1) << none.err.toStdString();
    EXPECT_TRUE(none.err.contains("The meter holds 0 records.")) << none.err.toStdString();
    EXPECT_TRUE(none.err.contains("Nothing was written.")) << none.err.toStdString();
    EXPECT_EQ(readFile(file), old);
}

// A meter that answers every request late: fixed pacing downloads at the meter's own pace and
// says what is faster; reply pacing learns to wait for it, from the link check on, even at
// 800 ms a reply.
TEST(CliRecords, MeterLateOnEveryReplyDownloadsUnderEitherPacing) {
    const StoredRecords meter(6);
    QTemporaryDir out;
    const QString csv = out.filePath("r.csv");
    for (const auto& [pacing, delay] : {std::pair("fixed", "150"), std::pair("reply", "800")}) {
        SimProcess sim(meter.simOptions() + QStringList{"--delay", delay});
        ASSERT_TRUE(sim.ok());
        const CliRun run =
            runCli({"records", "--port", sim.device(), "--output", csv, "--pacing", pacing}, 30000);
        ASSERT_EQ(run.exitCode, 0) << pacing << run.err.toStdString();
        EXPECT_EQ(readFile(csv), pm::textFileBytes(pm::recordCsvLines(meter.table, 6))) << pacing;
        EXPECT_EQ(
            run.err.contains("Wrote 6 records to " + csv +
                             ". Records 2, 4 and 6 are stored damaged in the meter. The meter "
                             "answers later than 100 ms; --pacing reply is faster."),
            QString(pacing) == "fixed")
            << run.err.toStdString();
    }
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
        const StoredRecords meter(10, possibleVectors());
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
