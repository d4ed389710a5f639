// What a bad line, a pulled cable, a busy port and a full or read-only disk do to the tools and the
// window, end to end: the simulator's faults against phasemeter-cli and the window on real ports.
#include "Files.h"
#include "RecordFixtures.h"
#include "TestVectors.h"
#include "app/window/Form1.h"
#include "fakes/DiskFaults.h"
#include "fakes/Fifo.h"
#include "fakes/PortList.h"
#include "fakes/SimProcess.h"
#include "fakes/WaitUntil.h"
#include "platform/QtSerialPort.h"
#include "records/RecordCsv.h"
#include "records/TableText.h"
#include "records/TextFile.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString blockHex(const QByteArray& block) {
    return QString::fromLatin1(block.toHex(' '));
}

// The rows of `live --format csv`, without the time column.
QStringList readingRows(const QByteArray& out) {
    QStringList rows = QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts).mid(1);
    for (QString& row : rows)
        row = row.section(',', 1);
    return rows;
}

// The record numbers a failed download names as missing ("Records 3, 7 and 12 to 40 did not
// arrive.").
QList<int> namedAsMissing(const QString& err) {
    const QRegularExpression sentence(QStringLiteral("Records? ([0-9, toand]+) did not arrive"));
    QList<int> numbers;
    const QString list = sentence.match(err).captured(1).replace(QStringLiteral(" and "), ", ");
    for (const QString& item : list.split(QStringLiteral(", "), Qt::SkipEmptyParts)) {
        const QStringList ends = item.split(QStringLiteral(" to "));
        for (int k = ends.first().toInt(); k <= ends.last().toInt(); ++k)
            numbers << k;
    }
    return numbers;
}

} // namespace

TEST(FaultMatrixCli, LiveReadsThroughDroppedLateGarbledAndShortReplies) {
    // Both channels live, so that every text of the panel comes from the latest block.
    const ReadingVector& v = readingVector("opposed_and_rounded_angle");
    QString reading;
    {
        // Late, but before the next poll; a drop now and then, never five in a row.
        SimProcess sim({"--live", blockHex(v.block), "--drop", "0.3", "--delay", "300", "--seed",
                        "3", "--verbose"});
        ASSERT_TRUE(sim.ok());
        const CliRun run =
            runCli({"live", "--port", sim.device(), "--count", "4", "--format", "csv"}, 30000);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const QStringList rows = readingRows(run.out);
        ASSERT_EQ(rows.size(), 4) << run.out.toStdString();
        EXPECT_EQ(QSet<QString>(rows.begin(), rows.end()).size(), 1) << run.out.toStdString();
        reading = rows[0];
        EXPECT_TRUE(reading.startsWith("220.00,100.0,5.000,10.00,")) << reading.toStdString();
        EXPECT_TRUE(sim.log().contains("live: dropped")) << sim.log().toStdString();
    }
    // A garbled reply of full length is taken for a reading (the blocks carry no check); a short
    // one is never completed and is cleared before the next poll. The link holds, and a good
    // reply after them reads exactly as before.
    SimProcess sim({"--live", blockHex(v.block), "--garbage", "0.3", "--short", "0.3",
                    "--faults-on", "live", "--seed", "5", "--verbose"});
    ASSERT_TRUE(sim.ok());
    const CliRun run =
        runCli({"live", "--port", sim.device(), "--count", "6", "--format", "csv"}, 30000);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList rows = readingRows(run.out);
    ASSERT_EQ(rows.size(), 6) << run.out.toStdString();
    EXPECT_TRUE(rows.contains(reading)) << run.out.toStdString();
    const QString log = sim.log();
    EXPECT_TRUE(log.contains("live: garbage") && log.contains("live: short")) << log.toStdString();
}

TEST(FaultMatrixCli, RecordsLostOnEveryRequestAreNamedAndTheRestWritten) {
    // A lost reply holds the line for a second: 20 records keep the run short.
    const StoredRecords meter(20, possibleVectors());
    QTemporaryDir out;
    const QString csv = out.filePath("records.csv");
    SimProcess sim(meter.simOptions() + QStringList{"--drop", "0.2", "--short", "0.2",
                                                    "--faults-on", "records", "--seed", "13",
                                                    "--verbose"});
    ASSERT_TRUE(sim.ok());
    const CliRun run = runCli({"records", "--port", sim.device(), "--output", csv}, 60000);
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    const QList<int> missing = namedAsMissing(run.err);
    ASSERT_FALSE(missing.isEmpty()) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("Wrote %1 of 20 records").arg(20 - missing.size())))
        << run.err.toStdString();
    // A record is asked for again until it comes, twice at most: exactly those the meter never
    // sent whole are named, and some came only when asked again.
    const QRegularExpression request(QStringLiteral("record ([0-9]+): (sent|dropped|short)"));
    QMap<int, QStringList> outcomes;
    for (const auto& m : request.globalMatch(sim.log()))
        outcomes[m.captured(1).toInt()] << m.captured(2);
    QList<int> neverSent;
    int cameWhenAskedAgain = 0;
    for (auto [k, tries] : outcomes.asKeyValueRange()) {
        EXPECT_LE(tries.size(), 3) << "record " << k;
        if (!tries.contains("sent"))
            neverSent << k;
        else if (tries.first() != "sent")
            ++cameWhenAskedAgain;
    }
    EXPECT_EQ(missing, neverSent);
    EXPECT_GT(cameWhenAskedAgain, 0);

    // Every record that came is in its row, as a clean download has it.
    const QStringList expected = pm::recordCsvLines(meter.table, 20);
    const QStringList written = QString::fromUtf8(readFile(csv)).split("\r\n");
    ASSERT_GE(written.size(), 21);
    EXPECT_EQ(written[0], expected[0]);
    for (int k = 1; k <= 20; ++k) {
        if (!missing.contains(k)) {
            EXPECT_EQ(written[k], expected[k]) << "record " << k << "\n"
                                               << run.err.toStdString() << sim.log().toStdString();
        }
    }
}

TEST(FaultMatrixCli, LateRecordRepliesWithinTheirTickAllArrive) {
    const StoredRecords meter(12);
    QTemporaryDir out;
    const QString txt = out.filePath("records.txt");
    SimProcess sim({"--record-file", meter.file, "--delay", "60"});
    ASSERT_TRUE(sim.ok());
    const CliRun run = runCli({"records", "--port", sim.device(), "--output", txt}, 30000);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(readFile(txt), pm::textFileBytes(pm::tableTextLines(meter.table, 12)));
}

TEST(FaultMatrixCli, MeterGoneMidDownloadWritesWhatArrivedAndFails) {
    QTemporaryDir out;
    const QString file = out.filePath("records.txt");
    SimProcess sim({"--records", "200", "--wire", "--verbose"});
    ASSERT_TRUE(sim.ok());
    QProcess cli;
    cli.start(cliProgram(), {"records", "--port", sim.device(), "--output", file});
    ASSERT_TRUE(waitUntil([&] { return sim.log().contains("record 3:"); }, 15000))
        << sim.log().toStdString();

    // The cable is pulled: the far end of the line disappears.
    sim.process().kill();
    sim.process().waitForFinished(3000);
    ASSERT_TRUE(waitUntil([&] { return cli.state() == QProcess::NotRunning; }, 15000));
    const QString err = QString::fromLocal8Bit(cli.readAllStandardError());
    EXPECT_EQ(cli.exitCode(), 1);
    EXPECT_TRUE(err.contains("Lost the link to the meter")) << err.toStdString();
    const QRegularExpressionMatch wrote =
        QRegularExpression(QStringLiteral("Wrote ([0-9]+) of 200 records")).match(err);
    ASSERT_TRUE(wrote.hasMatch()) << err.toStdString();
    const int arrived = wrote.captured(1).toInt();
    EXPECT_GE(arrived, 2) << "the records sent before the third was asked for";
    EXPECT_TRUE(err.contains(QStringLiteral("Records %1 to 200 did not arrive.").arg(arrived + 1)))
        << err.toStdString();
    EXPECT_EQ(QString::fromLatin1(readFile(file)).count("NO."), arrived);
}

TEST(FaultMatrixCli, ReadOnlyOrFullLocationIsReportedAndTheOldFileKept) {
    const StoredRecords meter(24);
    QTemporaryDir out;
    const QString file = out.filePath("records.txt");
    ASSERT_TRUE(writeFile(file, "last week's records\r\n"));

    {
        // Found out before the download, not after it.
        ASSERT_TRUE(QFile::setPermissions(out.path(), QFile::ReadOwner | QFile::ExeOwner));
        SimProcess sim(meter.simOptions());
        ASSERT_TRUE(sim.ok());
        QProcess cli;
        bindChildPermissions(cli);
        const CliRun run = runCli(cli, {"records", "--port", sim.device(), "--output", file});
        QFile::setPermissions(out.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("Cannot write " + file)) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("does not take new files")) << run.err.toStdString();
        EXPECT_FALSE(run.err.contains("holds")) << "no download";
        EXPECT_EQ(readFile(file), "last week's records\r\n");
    }
    for (const char* format : {"txt", "xlsx"}) {
        // The disk fills up while the file, or the workbook in its temporary folder, is written.
        SimProcess sim(meter.simOptions());
        ASSERT_TRUE(sim.ok());
        QTemporaryDir scratch;
        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMPDIR", scratch.path());
        cli.setProcessEnvironment(env);
        limitChildFileSize(cli, 2048);
        const CliRun run = runCli(
            cli, {"records", "--port", sim.device(), "--output", file, "--format", format}, 30000);
        EXPECT_EQ(run.exitCode, 1) << format << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(file + " could not be written: File too large"))
            << format << run.err.toStdString();
        EXPECT_EQ(readFile(file), "last week's records\r\n");
        EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{"records.txt"})
            << "no partial file left behind";
        EXPECT_TRUE(
            QDir(scratch.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
            << format << ": no temporary file left behind";
    }
    {
        // A pipe is written to, not replaced.
        SimProcess sim(meter.simOptions());
        ASSERT_TRUE(sim.ok());
        Fifo pipe(out.filePath("pipe"));
        ASSERT_TRUE(pipe.ok());
        const CliRun run = runCli({"records", "--port", sim.device(), "--output",
                                   out.filePath("pipe"), "--format", "csv"},
                                  30000);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(pipe.readAvailable(), pm::textFileBytes(pm::recordCsvLines(meter.table, 24)));
        EXPECT_TRUE(pipe.inPlace());
    }
}

TEST(FaultMatrixWindow, PortHeldByAnotherProgramIsUnviableAndTheSearchMovesOn) {
    SimProcess held;
    SimProcess spare;
    ASSERT_TRUE(held.ok() && spare.ok());
    // Another program has the meter on COM1 open and is logging from it.
    QProcess holder;
    holder.start(cliProgram(), {"live", "--port", held.device(), "--format", "csv"});
    ASSERT_TRUE(waitUntil([&] { return holder.peek(4096).count('\n') >= 2; }, 10000))
        << "the other program reads from it";
    const PortList ports({held.device(), spare.device()});

    pm::QtSerialPort port;
    pm::Form1 form(port);
    form.startTimers();
    auto* label1 = form.findChild<QLabel*>("Label1");
    auto* label2 = form.findChild<QLabel*>("Label2");
    ASSERT_TRUE(label1 && label2);
    QStringList captions;
    ASSERT_TRUE(waitUntil(
        [&] {
            if (captions.isEmpty() || captions.last() != label1->text())
                captions << label1->text();
            return !form.core().form.Findcom.enabled();
        },
        20000))
        << captions.join(" | ").toStdString();
    EXPECT_TRUE(captions.contains("COM1 Unviable")) << captions.join(" | ").toStdString();
    EXPECT_EQ(label1->text(), "COM2 Open");
    EXPECT_EQ(label2->text(), "Connected");
    EXPECT_EQ(label1->toolTip(), spare.device());
    EXPECT_EQ(holder.state(), QProcess::Running) << "the other program keeps its port";
    holder.kill();
    holder.waitForFinished(3000);
}
