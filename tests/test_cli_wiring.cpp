#include "analysis/WiringCheck.h"
#include "analysis/WiringVerdict.h"
#include "fakes/SimProcess.h"
#include "protocol/Decode.h"
#include "protocol/Reading.h"
#include "sim/SimOptions.h"
#include "sim/WiringScenario.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <gtest/gtest.h>

namespace {
const char* const kReversedCt = "10 27 10 27 88 13 88 13 01 01 03 03 B8 0B 58 02 36 09 E6 0D 88 13";

double lagIn360(double degrees) {
    const double d = std::fmod(degrees, 360.0);
    return d < 0 ? d + 360 : d;
}
} // namespace

// The simulator wires a balanced installation wrongly; the tool, on its live reading, names the
// fault.
TEST(CliWiring, FindsTheSimulatedConnectionOverAPseudoTerminal) {
    SimProcess sim({"--wiring", "3p3w:BAC:-C:+A", "--load-angle", "30"});
    ASSERT_TRUE(sim.ok());
    const CliRun run =
        runCli({"wiring", "--port", sim.device(), "--common", "1", "--format", "json"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(o["system"].toString(), "3p3w");
    EXPECT_EQ(o["sequence"].toString(), "negative");
    const QJsonArray matches = o["matches"].toArray();
    ASSERT_EQ(matches.size(), 1) << run.out.toStdString();
    const QJsonObject m = matches[0].toObject();
    EXPECT_EQ(m["terminals"].toString(), "BAC");
    EXPECT_EQ(m["i1"].toString(), "-C");
    EXPECT_EQ(m["i2"].toString(), "+A");
    EXPECT_DOUBLE_EQ(m["load_angle"].toDouble(), 30.0);
    EXPECT_DOUBLE_EQ(m["pf"].toDouble(), 0.866);
    EXPECT_FALSE(m["correct"].toBool());
    EXPECT_TRUE(o["notes"].toArray().isEmpty()) << run.out.toStdString();
}

TEST(CliWiring, ChecksABlockAndRefusesABadCommandLine) {
    const CliRun block = runCli({"wiring", "--block", kReversedCt, "--common", "2"});
    ASSERT_EQ(block.exitCode, 0) << block.err.toStdString();
    EXPECT_TRUE(QString::fromUtf8(block.out).contains(
        "Element 1 current reversed (I1 = \u2212Ia). Load angle 25.8\u00B0 lagging (PF 0.900). "
        "The meter registers 27.9% of the energy: K = 3.583."))
        << block.out.toStdString();

    // Currents swapped at unity power factor (U1I1 270°, U2I2 90°): the meter stands still.
    const CliRun still =
        runCli({"wiring", "--format", "json", "--block",
                "10 27 10 27 88 13 88 13 01 01 03 03 B8 0B 58 02 8C 0A 84 03 88 13"});
    ASSERT_EQ(still.exitCode, 0) << still.err.toStdString();
    bool anyNull = false;
    for (const QJsonValue& m : QJsonDocument::fromJson(still.out).object()["matches"].toArray())
        anyNull = anyNull || m.toObject()["k"].isNull();
    EXPECT_TRUE(anyNull) << still.out.toStdString();

    for (const QStringList& bad :
         {QStringList{"wiring", "--block", kReversedCt, "--system", "3p5w"},
          QStringList{"wiring", "--block", kReversedCt, "--load-angle", "60:-30"},
          QStringList{"wiring", "--block", kReversedCt, "--elements", "12"},
          QStringList{"wiring", "--block", "10 27", "--common", "2"},
          QStringList{"wiring", "--block", kReversedCt, "--port", "/tmp/x"}}) {
        const CliRun run = runCli(bad);
        EXPECT_EQ(run.exitCode, 2) << bad.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
    const CliRun missing = runCli({"wiring", "--port", "/nonexistent/ttyUSB7"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("/nonexistent/ttyUSB7")) << missing.err.toStdString();
}

TEST(CliWiring, FourWireAndVectorGroupInJson) {
    const CliRun fourWire =
        runCli({"wiring", "--system", "3p4w", "--elements", "23", "--format", "json", "--block",
                "10 27 10 27 88 13 88 13 01 01 03 03 B0 04 58 02 C8 00 D0 07 88 13"});
    ASSERT_EQ(fourWire.exitCode, 0) << fourWire.err.toStdString();
    const QJsonObject f = QJsonDocument::fromJson(fourWire.out).object();
    EXPECT_EQ(f["elements"].toString(), "23");
    EXPECT_EQ(f["sequence"].toString(), "positive");
    const QJsonObject best = f["matches"].toArray().first().toObject();
    EXPECT_EQ(best["i1"].toString(), "+B");
    EXPECT_EQ(best["i2"].toString(), "-C") << "element 3's own current, reversed";
    EXPECT_DOUBLE_EQ(best["share2"].toDouble(), -1.0);

    const CliRun group =
        runCli({"wiring", "--system", "group", "--format", "json", "--block",
                "10 27 10 27 88 13 88 13 01 01 03 03 E4 0C 58 02 36 09 E6 0D 88 13"});
    ASSERT_EQ(group.exitCode, 0) << group.err.toStdString();
    const QJsonObject g = QJsonDocument::fromJson(group.out).object();
    EXPECT_EQ(g["clock"].toInt(), 11);
    EXPECT_DOUBLE_EQ(g["angle"].toDouble(), 330.0);
    EXPECT_TRUE(g["sequence"].isNull());
    EXPECT_TRUE(g["matches"].toArray().isEmpty());
}

TEST(SimWiring, ScenariosGiveTheAnglesOfTheirConnection) {
    QString error;
    auto s = pm::sim::parseWiringScenario("3p4w:23:+B:-B", error);
    ASSERT_TRUE(s) << error.toStdString();
    s->loadAngle = 20;
    pm::sim::Measurement m = pm::sim::wiringMeasurement(*s);
    EXPECT_NEAR(m.volts[0], 100 / std::sqrt(3.0), 1e-9) << "phase-to-neutral";
    EXPECT_NEAR(lagIn360(m.degrees[0]), 120, 1e-9);
    EXPECT_NEAR(lagIn360(m.degrees[2]), 20, 1e-9);
    EXPECT_NEAR(lagIn360(m.degrees[3]), 80, 1e-9)
        << "element 3 gets -Ib, the reversed current of the phase that leads: 60° + φ";

    s = pm::sim::parseWiringScenario("group:11", error);
    ASSERT_TRUE(s);
    EXPECT_NEAR(lagIn360(pm::sim::wiringMeasurement(*s).degrees[0]), 330, 1e-9);

    for (const char* bad : {"3p3w:ABB:+A:+C", "3p3w:ABC:+B:+C", "3p4w:13", "group:12", "delta"})
        EXPECT_FALSE(pm::sim::parseWiringScenario(bad, error)) << bad;

    using pm::sim::SimOptions;
    EXPECT_EQ(pm::sim::parseSimOptions({"--load-angle", "30"}).outcome, SimOptions::UsageError);
    EXPECT_EQ(pm::sim::parseSimOptions({"--wiring", "3p3w", "--live", kReversedCt}).outcome,
              SimOptions::UsageError);
    const SimOptions ok = pm::sim::parseSimOptions(
        {"--wiring", "3p3w:ABC:-A:+C", "--load-angle", "25.8", "--current", "1.5"});
    ASSERT_EQ(ok.outcome, SimOptions::Run) << ok.message.toStdString();
    ASSERT_TRUE(ok.config.live);
    EXPECT_EQ(ok.config.live->mid(16, 4).toHex(' ').toUpper(), "36 09 E6 0D") << "235.8°, 355.8°";
}

// Correct at a load angle of 0°, no line B: more than one answer, each with its figures.
TEST(CliWiring, SaysWhenAReadingIsNotUniqueAndFindsLineBFromEarth) {
    const char* const correctAt0 =
        "10 27 10 27 88 13 88 13 01 01 03 03 B8 0B 60 09 2C 01 E4 0C 88 13";
    const CliRun open = runCli({"wiring", "--block", correctAt0, "--format", "json"});
    ASSERT_EQ(open.exitCode, 0) << open.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(open.out).object();
    EXPECT_FALSE(o["unique"].toBool());
    EXPECT_TRUE(o["common"].isNull());
    const QJsonArray matches = o["matches"].toArray();
    ASSERT_GE(matches.size(), 2);
    for (const QJsonValue& m : matches) {
        EXPECT_TRUE(m.toObject()["k"].isDouble());
        EXPECT_TRUE(m.toObject()["pf"].isDouble());
        EXPECT_EQ(m.toObject()["u1"].toString(), "+");
    }
    EXPECT_FALSE(o["verdict"].toString().startsWith("Correct"));

    // U1 from terminal 1 to earth 100 V, U2 from terminal 3 about nothing: line B on 3.
    const char* const earth3 = "10 27 28 00 00 00 00 00 01 01 03 03 00 00 00 00 00 00 00 00 88 13";
    const CliRun found =
        runCli({"wiring", "--block", correctAt0, "--earth-block", earth3, "--format", "json"});
    ASSERT_EQ(found.exitCode, 0) << found.err.toStdString();
    const QJsonObject f = QJsonDocument::fromJson(found.out).object();
    EXPECT_EQ(f["common"].toInt(), 3);
    EXPECT_EQ(f["earth"].toString(),
              "Terminal 3 is at earth (U1 = 100.0 V, U2 = 0.4 V): line B is on terminal 3.");

    for (const QStringList& bad :
         {QStringList{"wiring", "--block", correctAt0, "--earth-block", earth3, "--common", "2"},
          QStringList{"wiring", "--block", correctAt0, "--earth-block", earth3, "--system", "3p4w"},
          QStringList{"wiring", "--block", correctAt0, "--earth-block", "10 27"},
          QStringList{"wiring", "--earth-port", "/tmp/a", "--port", "/tmp/b"},
          QStringList{"wiring", "--block", correctAt0, "--load-angle", "0:361"}}) {
        const CliRun run = runCli(bad);
        EXPECT_EQ(run.exitCode, 2) << bad.join(' ').toStdString();
    }
    EXPECT_EQ(runCli({"wiring", "--block", correctAt0, "--load-angle", "120:240"}).exitCode, 0);

    // No current on either channel: never "correct".
    const CliRun none =
        runCli({"wiring", "--format", "json", "--block",
                "10 27 10 27 00 00 00 00 01 01 03 03 B8 0B 58 02 2E 02 E6 0D 88 13"});
    const QJsonObject n = QJsonDocument::fromJson(none.out).object();
    EXPECT_TRUE(n["matches"].toArray().isEmpty());
    EXPECT_EQ(n["verdict"].toString(),
              "No current on elements 1 and 2: the meter registers nothing.");
    EXPECT_EQ(n["dead"].toObject()["no_current"].toArray(), QJsonArray({1, 2}));
}

// The reading to earth and the check's own, one after the other from the simulated meter.
TEST(CliWiring, TakesTheReadingToEarthFromThePortFirst) {
    SimProcess sim({"--wiring", "3p3w:ABC:-A:+C", "--load-angle", "25.8"});
    ASSERT_TRUE(sim.ok());
    const CliRun run = runCli({"wiring", "--earth-port", sim.device(), "--format", "json"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("line B is on terminal 2")) << run.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(o["common"].toInt(), 2);
    EXPECT_TRUE(o["unique"].toBool()) << run.out.toStdString();
    EXPECT_EQ(o["matches"].toArray().first().toObject()["i1"].toString(), "-A");
}

// The simulator's faults beyond the connection, as the check reads them from its block.
TEST(SimWiring, FaultsBeyondTheConnectionReachTheCheck) {
    const auto check = [](const QStringList& options) {
        const pm::sim::SimOptions o = pm::sim::parseSimOptions(options);
        EXPECT_EQ(o.outcome, pm::sim::SimOptions::Run) << o.message.toStdString();
        pm::Panel panel;
        if (o.config.live)
            pm::livein(*o.config.live, panel);
        pm::WiringSettings s;
        s.commonTerminal = 2;
        return pm::checkWiring(pm::WiringReading::fromTexts(panel), s);
    };
    EXPECT_TRUE(pm::wiringVerdict(check({"--wiring", "3p3w", "--negative-sequence"}))
                    .startsWith("The meter registers correctly (K = 1.000); its voltage terminals "
                                "see negative sequence (C, B, A)"));
    const pm::WiringResult vt = check({"--wiring", "3p3w", "--reversed-vt", "2"});
    ASSERT_EQ(vt.threeWire.size(), 1u);
    EXPECT_TRUE(vt.threeWire.front().connection.u2Reversed);
    EXPECT_TRUE(pm::wiringVerdict(check({"--wiring", "3p3w", "--dead", "u2", "--load-angle", "25"}))
                    .startsWith("No voltage on element 2: the meter registers element 1 only."));
    const pm::WiringResult unbalanced =
        check({"--wiring", "3p3w:ABC:-A:+C", "--load-angle", "20", "--load-angle-c", "30"});
    ASSERT_EQ(unbalanced.threeWire.size(), 1u);
    EXPECT_NEAR(*unbalanced.threeWire.front().k, 4.599, 0.01);

    using pm::sim::SimOptions;
    for (const QStringList& bad : {QStringList{"--wiring", "3p3w", "--dead", "u3"},
                                   QStringList{"--wiring", "3p3w", "--reversed-vt", "3"},
                                   QStringList{"--negative-sequence"}})
        EXPECT_EQ(pm::sim::parseSimOptions(bad).outcome, SimOptions::UsageError)
            << bad.join(' ').toStdString();
}
