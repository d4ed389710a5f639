#include "Files.h"
#include "Printers.h"
#include "RecordFixtures.h"
#include "TestVectors.h"
#include "fakes/DiskFaults.h"
#include "fakes/PortList.h"
#include "fakes/Pty.h"
#include "fakes/SimProcess.h"
#include "fakes/WaitUntil.h"
#include "link/TimerDriver.h"
#include "platform/QtSerialPort.h"
#include "protocol/MeterCore.h"
#include "trend/TrendCsv.h"
#include "trend/TrendLog.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <utility>
#include <vector>

namespace {

// The program's link as the window runs it: the shared core on the real serial port, with the
// link timers on QTimers.
struct Program {
    pm::QtSerialPort port;
    pm::RecordTable table;
    pm::MeterCore core{port, &table};
    std::vector<std::unique_ptr<pm::TimerDriver>> drivers;
    int liveReplies = 0;
    std::function<void()> onLive;

    Program() {
        pm::FormState& f = core.form;
        for (pm::Timer* t : {&f.Findcom, &f.COMtimout, &f.comunication, &f.Readdat})
            drivers.push_back(std::make_unique<pm::TimerDriver>(*t));
        core.replied = [this](pm::ReplyKind kind) {
            if (kind != pm::ReplyKind::Live)
                return;
            ++liveReplies;
            if (onLive)
                onLive();
        };
    }
    bool linkedAndPolling() const {
        return core.form.linked == pm::kTrue && !core.form.Findcom.enabled();
    }
    QStringList panelTexts() const {
        QStringList texts;
        for (int f = 0; f < pm::kFieldCount; ++f)
            texts << core.panel.text(pm::Field(f));
        return texts;
    }
};

QString blockHex(const QByteArray& block) {
    return QString::fromLatin1(block.toHex(' '));
}

TEST(EndToEnd, FindsTheMeterOnCom3ShowsItsReadingsAndSearchesAgainWhenItFallsSilent) {
    const ReadingVector& v = readingVector("worked_example");
    SimProcess sim({"--live", blockHex(v.block), "--silent-after", "8"});
    ASSERT_TRUE(sim.ok()) << sim.log().toStdString();
    const PortList ports(
        {"/nonexistent/phasemeter-com1", "/nonexistent/phasemeter-com2", sim.device()});
    Program program;
    program.core.start();

    // COM1 and COM2 cannot be opened; COM3 answers the handshake on the third tick.
    ASSERT_TRUE(waitUntil([&] { return program.linkedAndPolling(); }, 5000));
    EXPECT_EQ(program.core.form.ui.label1, "COM3 Open");
    EXPECT_EQ(program.core.form.ui.label2, "Connected");
    EXPECT_EQ(program.core.form.portno, 4);
    EXPECT_TRUE(program.core.form.ui.readEnabled);

    ASSERT_TRUE(waitUntil([&] { return program.liveReplies >= 1; }, 3000));
    EXPECT_EQ(program.panelTexts(), v.texts);

    // Silent from 8 s on (room for a loaded machine to link first): the link is declared lost 4 to
    // 5 s after the last reply, and the search goes on with the ports after COM3.
    ASSERT_TRUE(waitUntil([&] { return program.core.form.linked == pm::kFalse; }, 12000));
    EXPECT_EQ(program.core.form.ui.label2, "Unconnect");
    EXPECT_TRUE(program.core.form.Findcom.enabled());
    ASSERT_TRUE(waitUntil([&] { return program.core.form.ui.label1 == "COM5 Unviable"; }, 2000));
    EXPECT_FALSE(program.port.isOpen());
    EXPECT_EQ(program.core.form.linked, pm::kFalse);
}

TEST(EndToEnd, SurvivesGarbledAndShortRepliesAndShowsTheNextGoodReading) {
    const ReadingVector& v = readingVector("opposed_and_rounded_angle");
    SimProcess sim({"--live", blockHex(v.block), "--garbage", "0.3", "--short", "0.3", "--seed",
                    "5", "--verbose"});
    ASSERT_TRUE(sim.ok()) << sim.log().toStdString();
    // Every port is the meter, so a garbled handshake is retried on the next tick.
    const PortList ports(QStringList(16, sim.device()));
    Program program;
    bool faultsSeen = false;
    int goodAfterFaults = 0;
    program.onLive = [&] {
        if (faultsSeen && program.panelTexts() == v.texts)
            ++goodAfterFaults;
    };
    program.core.start();

    ASSERT_TRUE(waitUntil(
        [&] {
            const QString log = sim.log();
            faultsSeen =
                faultsSeen || (log.contains("live: garbage") && log.contains("live: short"));
            return goodAfterFaults >= 1;
        },
        25000))
        << sim.log().toStdString();
    EXPECT_EQ(sim.process().state(), QProcess::Running);
    EXPECT_GE(program.liveReplies, 2);
}

TEST(EndToEnd, DownloadsOnTheReplyAndAsksAgainForWhatTheLineLost) {
    const StoredRecords meter(30, possibleVectors());
    ASSERT_EQ(meter.count, 30);
    SimProcess sim(meter.simOptions() + QStringList{"--drop", "0.2", "--faults-on", "records",
                                                    "--seed", "4", "--verbose"});
    ASSERT_TRUE(sim.ok()) << sim.log().toStdString();
    const PortList ports({sim.device()});
    Program program;
    program.core.form.download.pacing = pm::Pacing::Reply;
    // "Read" right after a live reply, when no poll is on its way: a poll's reply coming after
    // the count request would be taken for the count. The download counts as begun once "Read"
    // has run, not when it is scheduled: a wait that looked in between would end at once.
    bool scheduled = false;
    bool asked = false;
    program.onLive = [&] {
        if (std::exchange(scheduled, true))
            return;
        QTimer::singleShot(0, [&program, &asked] {
            program.core.showView(pm::kFalse);
            program.core.read();
            asked = pm::downloadRunning(program.core.form);
        });
    };
    program.core.start();
    // Each lost reply holds the line for a second.
    ASSERT_TRUE(waitUntil([&] { return asked && !pm::downloadRunning(program.core.form); }, 45000))
        << sim.log().toStdString();

    const pm::DownloadState& d = program.core.form.download;
    EXPECT_TRUE(d.missing.isEmpty()) << pm::missingRecordsSentence(d.missing).toStdString();
    EXPECT_GT(d.pass, 0) << "some records were asked for again";
    ASSERT_EQ(program.table.rows(), meter.table.rows());
    for (int r = 0; r < meter.table.rows(); ++r)
        for (int c = 0; c < meter.table.cols(); ++c)
            ASSERT_EQ(program.table.text(r, c), meter.table.text(r, c)) << r << "," << c;
    const QString log = sim.log();
    EXPECT_TRUE(log.contains(QRegularExpression("record [0-9]+: dropped"))) << log.toStdString();
}

TEST(EndToEndCli, DecodePrintsTheReportOfTheSharedVectors) {
    const CliRun worked = runCli({"decode", blockHex(readingVector("worked_example").block)});
    EXPECT_EQ(worked.exitCode, 0) << worked.err.toStdString();
    EXPECT_EQ(worked.out, "           U/V     I/A     P/KW   Q/Kvar   S/KVA    PF   \n"
                          "  1CH:    220.00    1.2345  0.1358  0.2352   0.2716  0.500\n"
                          "  2CH:    0.00    0.0000  0.0000  0.0000   0.0000  1.000\n"
                          "  U1U2:  0.0\u00B0    U1I1:  60.0\u00B0    F:  50.00\n"
                          "  I1I2:  0.0\u00B0    U2I2:  0.0\u00B0\n");

    for (const ReadingVector& v : readingVectors()) {
        const QStringList& t = v.texts;
        const QString expected =
            QStringLiteral("           U/V     I/A     P/KW   Q/Kvar   S/KVA    PF   \n") +
            QStringLiteral("  1CH:    %1    %2  %3  %4   %5  %6\n")
                .arg(t[0], t[2], t[4], t[6], t[8], t[10]) +
            QStringLiteral("  2CH:    %1    %2  %3  %4   %5  %6\n")
                .arg(t[1], t[3], t[5], t[7], t[9], t[11]) +
            QStringLiteral("  U1U2:  %1    U1I1:  %2    F:  %3\n").arg(t[12], t[14], t[16]) +
            QStringLiteral("  I1I2:  %1    U2I2:  %2\n").arg(t[13], t[15]);
        // Written as one word or with blanks, the block is the same.
        const CliRun spaced = runCli({"decode", blockHex(v.block)});
        const CliRun packed = runCli({"decode", QString::fromLatin1(v.block.toHex())});
        EXPECT_EQ(spaced.exitCode, 0) << v.name.toStdString();
        EXPECT_EQ(QString::fromUtf8(spaced.out), expected) << v.name.toStdString();
        EXPECT_EQ(packed.out, spaced.out) << v.name.toStdString();
    }

    // Blocks apply in turn: unknown range codes keep what the earlier block showed.
    const CliRun both =
        runCli({"decode", blockHex(readingVector("opposed_and_rounded_angle").block),
                blockHex(readingVector("largest_values_unknown_ranges").block)});
    EXPECT_EQ(both.exitCode, 0);
    const QStringList lines = QString::fromUtf8(both.out).split('\n');
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[1], "  1CH:    32,767    327.67  10,736.7600  0.0000   10,736.7600  1.000");
    EXPECT_TRUE(lines[2].startsWith("  2CH:    100.0    10.00  ")) << lines[2].toStdString();
}

TEST(EndToEndCli, WrongCommandLinesAreUsageErrorsThatSayWhatToDo) {
    const QList<QStringList> wrong = {
        {},
        {"frobnicate"},
        {"decode"},
        {"decode", "F0 55 00"},
        {"decode", "F0 55 00 00 39 30 00 00 01 01 02 02 00 00 00 00 58 02 00 00 88 1"},
        {"decode", "G0 55 00 00 39 30 00 00 01 01 02 02 00 00 00 00 58 02 00 00 88 13"},
        {"live", "--count", "0"},
        {"live", "--count", "many"},
        {"live", "--format", "xml"},
        {"live", "--port"},
        {"live", "--bogus"},
        {"live", "--output", "/nonexistent/log.csv"}, // the log is CSV
        {"scan", "COM3"},
    };
    for (const QStringList& args : wrong) {
        const CliRun run = runCli(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("--help")) << run.err.toStdString();
    }
    for (const QStringList& args : QList<QStringList>{
             {"--help"}, {"scan", "--help"}, {"live", "--help"}, {"decode", "--help"}}) {
        const CliRun run = runCli(args);
        EXPECT_EQ(run.exitCode, 0) << args.join(' ').toStdString();
        EXPECT_TRUE(run.out.startsWith("Usage: phasemeter-cli")) << run.out.toStdString();
    }
}

TEST(EndToEndCli, LogsLiveReadingsAsCsvAndFailsClearlyWithoutTheMeter) {
    SimProcess sim;
    ASSERT_TRUE(sim.ok());
    const CliRun run = runCli({"live", "--port", sim.device(), "--count", "2", "--format", "csv"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList lines = QString::fromUtf8(run.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << run.out.toStdString();
    EXPECT_EQ(lines[0], "time,U1/V,U2/V,I1/A,I2/A,P1/kW,P2/kW,Q1/kvar,Q2/kvar,S1/kVA,S2/kVA,"
                        "PF1,PF2,U1U2/deg,I1I2/deg,U1I1/deg,U2I2/deg,F/Hz");
    for (const QString& row : lines.mid(1)) {
        const QStringList cells = row.split(',');
        ASSERT_EQ(cells.size(), 18) << row.toStdString();
        EXPECT_TRUE(QDateTime::fromString(cells[0], Qt::ISODate).isValid()) << row.toStdString();
        EXPECT_NEAR(cells[1].toDouble(), 230, 3) << row.toStdString();
        EXPECT_NEAR(cells[3].toDouble(), 5, 0.5) << row.toStdString();
        EXPECT_NEAR(cells[17].toDouble(), 50, 0.1) << row.toStdString();
    }

    const CliRun missing = runCli({"live", "--port", "/nonexistent/ttyUSB9"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("/nonexistent/ttyUSB9")) << missing.err.toStdString();
}

TEST(EndToEndCli, ScanNamesThePortAndLiveEndsWhenTheLinkIsLost) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    auto onCom3 = [&env](const QString& device) {
        env.insert("PHASEMETER_PORTS", "/nonexistent/a:/nonexistent/b:" + device);
    };
    {
        SimProcess sim;
        ASSERT_TRUE(sim.ok());
        onCom3(sim.device());
        const CliRun scan = runCli({"scan"}, 20000, env);
        EXPECT_EQ(scan.exitCode, 0) << scan.err.toStdString();
        EXPECT_EQ(scan.out, ("COM3 " + sim.device() + "\n").toLocal8Bit());
    }
    // Found at about 2 s, silent from 5 s: a reading or more, then the link is lost.
    SimProcess sim({"--silent-after", "5"});
    ASSERT_TRUE(sim.ok());
    onCom3(sim.device());
    const CliRun live = runCli({"live", "--format", "csv"}, 20000, env);
    EXPECT_EQ(live.exitCode, 1);
    EXPECT_TRUE(live.err.contains("Lost the link to the meter on COM3")) << live.err.toStdString();
    EXPECT_GE(live.out.count('\n'), 2) << live.out.toStdString(); // the header and a reading
}

TEST(EndToEndCli, LiveOutputAppendsBehindTheOneHeaderAndRefusesAnotherFile) {
    SimProcess sim;
    ASSERT_TRUE(sim.ok());
    QTemporaryDir tmp;
    const QString path = tmp.filePath("log.csv");
    const QByteArray earlier = pm::trendCsvHeader().toUtf8() +
                               "2024-05-01T08:00:00Z,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17\n";
    ASSERT_TRUE(writeFile(path, earlier));
    const QStringList live = {"live", "--port", sim.device(), "--format", "csv", "--output"};
    const CliRun run = runCli(live + QStringList{path, "--count", "2"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    EXPECT_TRUE(readFile(path).startsWith(earlier));
    const pm::TrendCsvLoad load = pm::loadTrendCsv(path); // no second header among the rows
    ASSERT_TRUE(load.ok) << load.error.toStdString();
    EXPECT_EQ(load.series.size(), 3u);
    EXPECT_NEAR(load.series.at(2).value(pm::Field::U1), 230, 3);

    const QString other = tmp.filePath("notes.csv");
    ASSERT_TRUE(writeFile(other, "notes\n"));
    const CliRun refused = runCli(live + QStringList{other, "--count", "1"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains("notes.csv")) << refused.err.toStdString();
    EXPECT_EQ(readFile(other), "notes\n");
}

TEST(EndToEndCli, LiveOutputKeepsEveryRowWhenKilledAndRunsUntilInterrupted) {
    SimProcess sim;
    ASSERT_TRUE(sim.ok());
    QTemporaryDir tmp;
    const QString path = tmp.filePath("log.csv");
    auto rows = [&path] { return readFile(path).count('\n') - 1; };
    for (const bool killed : {true, false}) {
        QProcess cli;
        cli.start(cliProgram(),
                  {"live", "--port", sim.device(), "--format", "csv", "--output", path});
        const qsizetype before = std::max<qsizetype>(rows(), 0);
        ASSERT_TRUE(waitUntil([&] { return rows() >= before + 2; }, 15000))
            << cli.readAllStandardError().toStdString();
        if (killed)
            cli.kill();
        else
            cli.terminate();
        ASSERT_TRUE(cli.waitForFinished(5000));
        if (!killed) {
            EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
        }
        // Every row there is whole, behind one header.
        const pm::TrendCsvLoad load = pm::loadTrendCsv(path);
        ASSERT_TRUE(load.ok) << load.error.toStdString();
        EXPECT_EQ(qsizetype(load.series.size()), rows());
    }
}

TEST(EndToEndCli, LiveOutputLogsAcrossAMeterSwitchedOffAndOn) {
    QTemporaryDir tmp;
    const QString meter = tmp.filePath("meter"); // the port's name stays, the meter comes and goes
    const QString path = tmp.filePath("log.csv");
    auto rows = [&path] { return std::max<qsizetype>(readFile(path).count('\n') - 1, 0); };
    auto sim = std::make_unique<SimProcess>(QStringList{"--link", meter});
    ASSERT_TRUE(sim->ok());
    QProcess cli;
    cli.start(cliProgram(), {"live", "--port", meter, "--format", "csv", "--output", path});
    QString err;
    auto errSays = [&](const char* text) {
        err += QString::fromLocal8Bit(cli.readAllStandardError());
        return err.contains(text);
    };
    ASSERT_TRUE(waitUntil([&] { return rows() >= 2; }, 15000)) << err.toStdString();
    sim.reset(); // switched off
    ASSERT_TRUE(waitUntil([&] { return errSays("Lost the link to the meter"); }, 15000))
        << err.toStdString();
    EXPECT_EQ(cli.state(), QProcess::Running) << "it keeps looking";
    const qsizetype before = rows();
    sim = std::make_unique<SimProcess>(QStringList{"--link", meter}); // and on again
    ASSERT_TRUE(sim->ok());
    ASSERT_TRUE(waitUntil([&] { return rows() >= before + 2; }, 20000)) << err.toStdString();
    EXPECT_TRUE(errSays("The meter answers again")) << err.toStdString();
    cli.terminate();
    ASSERT_TRUE(cli.waitForFinished(5000));
    EXPECT_EQ(cli.exitCode(), 0) << err.toStdString();
    // One file, one header, the gap showing as missing times.
    const pm::TrendCsvLoad load = pm::loadTrendCsv(path);
    ASSERT_TRUE(load.ok) << load.error.toStdString();
    bool gap = false;
    for (std::size_t i = 1; i < load.series.size(); ++i)
        gap = gap || load.series.msecsAt(i) - load.series.msecsAt(i - 1) > 4000;
    EXPECT_TRUE(gap);
}

TEST(EndToEndCli, LiveTriesTheNamedPortAgainAtEveryTickOnceTheMeterIsLost) {
    QTemporaryDir tmp;
    const QString meter = tmp.filePath("meter");
    const QString path = tmp.filePath("log.csv");
    auto sim = std::make_unique<SimProcess>(QStringList{"--link", meter});
    ASSERT_TRUE(sim->ok());
    QProcess cli;
    cli.start(cliProgram(), {"live", "--port", meter, "--format", "csv", "--output", path});
    QString err;
    auto errSays = [&](const char* text) {
        err += QString::fromLocal8Bit(cli.readAllStandardError());
        return err.contains(text);
    };
    ASSERT_TRUE(waitUntil([&] { return readFile(path).count('\n') >= 2; }, 15000))
        << err.toStdString();
    sim.reset();
    ASSERT_TRUE(waitUntil([&] { return errSays("Lost the link to the meter"); }, 15000))
        << err.toStdString();
    // A silent device in the meter's place: each link request the tool sends it is one tick
    // (500 ms). Four of them come within 2 s, not once per walk of sixteen port numbers (8 s).
    Pty silent;
    ASSERT_TRUE(silent.ok());
    ASSERT_TRUE(QFile::link(silent.slavePath(), meter));
    QByteArray requests;
    EXPECT_TRUE(waitUntil(
        [&] {
            requests += silent.readAvailable();
            return requests.size() >= 4 * 3;
        },
        12000))
        << requests.size() << " bytes";
    EXPECT_EQ(cli.state(), QProcess::Running);
    cli.terminate();
    ASSERT_TRUE(cli.waitForFinished(5000));
    EXPECT_EQ(cli.exitCode(), 0) << err.toStdString();
}

TEST(EndToEndCli, LiveOutputWritesTimesInTheLocalZone) {
    SimProcess sim;
    ASSERT_TRUE(sim.ok());
    QTemporaryDir tmp;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TZ", "Asia/Kathmandu"); // +05:45 all year
    const CliRun run = runCli({"live", "--port", sim.device(), "--format", "csv", "--output",
                               tmp.filePath("log.csv"), "--count", "1"},
                              20000, env);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QList<QByteArray> lines = readFile(tmp.filePath("log.csv")).split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[1].split(',')[0].endsWith("+05:45")) << lines[1].toStdString();
}

TEST(EndToEndCli, LiveOutputEndsWithStatusOneOnAFullDisk) {
    SimProcess sim;
    ASSERT_TRUE(sim.ok());
    QTemporaryDir tmp;
    const QString path = tmp.filePath("log.csv");
    QProcess cli;
    limitChildFileSize(cli, rlim_t(pm::trendCsvHeader().size() + 200)); // a row and a bit
    const CliRun run =
        runCli(cli, {"live", "--port", sim.device(), "--format", "csv", "--output", path}, 20000);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(path + " could not be written: File too large"))
        << run.err.toStdString();
    const pm::TrendCsvLoad load = pm::loadTrendCsv(path);
    ASSERT_TRUE(load.ok) << load.error.toStdString();
    EXPECT_GE(load.series.size(), 1u) << "the rows before stay whole";
}

TEST(EndToEndCli, LiveOutputRefusesALogAnotherProgramRecordsInto) {
    QTemporaryDir tmp;
    const QString path = tmp.filePath("log.csv");
    pm::TrendLog window; // the window recording into it
    QString error;
    ASSERT_TRUE(window.open(path, &error)) << error.toStdString();
    const CliRun run =
        runCli({"live", "--port", "/nonexistent/ttyUSB9", "--format", "csv", "--output", path});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.trimmed(),
              "phasemeter-cli: " + path + " is being recorded by another program.");
    EXPECT_EQ(readFile(path), pm::trendCsvHeader().toUtf8());
}

TEST(EndToEndCli, LiveOutputCutsATornRowAndRemovesAFileThatGotOnlyItsHeader) {
    SimProcess sim;
    ASSERT_TRUE(sim.ok());
    QTemporaryDir tmp;
    const QString path = tmp.filePath("log.csv");
    const QByteArray row = "2024-05-01T08:00:00Z,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17\n";
    ASSERT_TRUE(writeFile(path, pm::trendCsvHeader().toUtf8() + row + row.left(30)));
    const CliRun run = runCli(
        {"live", "--port", sim.device(), "--format", "csv", "--output", path, "--count", "1"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("The last row of " + path + " was incomplete and was removed."))
        << run.err.toStdString();
    const pm::TrendCsvLoad load = pm::loadTrendCsv(path);
    ASSERT_TRUE(load.ok) << load.error.toStdString();
    EXPECT_EQ(load.series.size(), 2u);

    const QString fresh = tmp.filePath("fresh.csv");
    const CliRun missing =
        runCli({"live", "--port", "/nonexistent/ttyUSB9", "--format", "csv", "--output", fresh});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(fresh)) << "the port never answered: no file of a header";
}

} // namespace
