#include "Printers.h"
#include "protocol/Decode.h"
#include "protocol/Fmtval.h"
#include "protocol/Reading.h"
#include "sim/Block.h"
#include "sim/Faults.h"
#include "sim/Frames.h"
#include "sim/Instrument.h"
#include "sim/SimOptions.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace pm::sim;

QByteArray hex(const char* h) {
    return QByteArray::fromHex(h);
}

// What the program shows for a block the simulator made.
pm::Panel shown(const QByteArray& block) {
    pm::Panel panel;
    pm::decodeReading(block, panel);
    return panel;
}

double value(const pm::Panel& p, pm::Field f) {
    return pm::textValue(p.text(f));
}

TEST(SimFrames, SkipsNoiseAndJoinsRequestsCutBetweenReads) {
    FrameParser parser;
    EXPECT_EQ(parser.feed(hex("0013aaf82a")), QList<int>({11000}));
    EXPECT_EQ(parser.feed(hex("aac8")), QList<int>());
    EXPECT_EQ(parser.pending(), 2);
    EXPECT_EQ(parser.feed(hex("32ff55aa0100aa2c01")), QList<int>({13000, 1, 300}));
    EXPECT_EQ(parser.pending(), 0);
    // A marker inside a code is part of the request it belongs to: record 170 is AA AA 00.
    EXPECT_EQ(parser.feed(hex("aaaa00aae02e")), QList<int>({170, 12000}));
    EXPECT_EQ(parser.feed(hex("1234")), QList<int>());
    EXPECT_EQ(parser.pending(), 0);
}

TEST(SimInstrument, AnswersEachRequestAsTheMeterDoes) {
    Instrument meter(1);
    meter.generateRecords(300);
    EXPECT_EQ(meter.reply(11000, 0), hex("aa55aa"));
    EXPECT_EQ(meter.reply(12000, 0), hex("2c01"));
    ASSERT_TRUE(meter.reply(13000, 0));
    EXPECT_EQ(meter.reply(13000, 0)->size(), 22);
    EXPECT_EQ(meter.reply(1, 0), meter.records().first());
    EXPECT_EQ(meter.reply(300, 0), meter.records().last());
    EXPECT_NE(meter.reply(1, 0), meter.reply(2, 0));
    // Nothing for a record it does not hold, nor for a code it does not know.
    EXPECT_FALSE(meter.reply(301, 0));
    EXPECT_FALSE(meter.reply(0, 0));
    EXPECT_FALSE(meter.reply(10500, 0));
    EXPECT_FALSE(meter.reply(14000, 0));

    meter.setRecords({});
    EXPECT_EQ(meter.reply(12000, 0), hex("0000"));
    EXPECT_FALSE(meter.reply(1, 0));
    const QByteArray fixed = hex("f055000039300000010102020000000058020000 8813");
    meter.setFixedLive(fixed);
    EXPECT_EQ(meter.reply(13000, 5), fixed);
    EXPECT_EQ(meter.reply(13000, 99), fixed);
}

TEST(SimBlock, EncodedReadingsDecodeToTheirValues) {
    Measurement m;
    m.volts = {230, 230};
    m.amperes = {5, 5};
    m.degrees = {120, 120, 30, 30};
    m.hertz = 50;
    const pm::Panel p = shown(encodeBlock(m));
    EXPECT_EQ(p.text(pm::Field::U1), "230.00");
    EXPECT_EQ(p.text(pm::Field::I1), "5.000");
    EXPECT_EQ(p.text(pm::Field::PhaseU1U2), "120.0\u00B0");
    EXPECT_EQ(p.text(pm::Field::PhaseU1I1), "30.0\u00B0");
    EXPECT_EQ(p.text(pm::Field::Freq), "50.00");
    EXPECT_EQ(p.text(pm::Field::S1), "1.1500");
    EXPECT_EQ(p.text(pm::Field::PF1), "0.866");
    EXPECT_EQ(p.text(pm::Field::P1), "0.9959");
    EXPECT_EQ(p.text(pm::Field::Q1), "0.5750");
    EXPECT_EQ(p.text(pm::Field::S2), "1.1500");

    // Each value takes the finest range it fits; beyond the largest it is sent as the largest.
    m.volts = {1000, 5000};
    m.amperes = {0.5, 50};
    m.degrees = {-30, 359.97, 0, 720.5};
    m.hertz = 60.004;
    const pm::Panel q = shown(encodeBlock(m));
    EXPECT_EQ(q.text(pm::Field::U1), "1,000.0");
    EXPECT_EQ(q.text(pm::Field::U2), "5,000");
    EXPECT_EQ(q.text(pm::Field::I1), "0.5000");
    EXPECT_EQ(q.text(pm::Field::I2), "50.00");
    EXPECT_EQ(q.text(pm::Field::PhaseU1U2), "330.0\u00B0");
    EXPECT_EQ(q.text(pm::Field::PhaseI1I2), "0.0\u00B0");
    EXPECT_EQ(q.text(pm::Field::PhaseU2I2), "0.5\u00B0");
    EXPECT_EQ(q.text(pm::Field::Freq), "60.00");
    m.volts = {40000, -3};
    m.amperes = {400, 0};
    const pm::Panel r = shown(encodeBlock(m));
    EXPECT_EQ(r.text(pm::Field::U1), "32,767");
    EXPECT_EQ(r.text(pm::Field::U2), "0.00");
    EXPECT_EQ(r.text(pm::Field::I1), "327.67");
    EXPECT_EQ(r.text(pm::Field::I2), "0.0000");
}

TEST(SimModel, LiveReadingsAreRealisticDriftSlowlyAndRepeatPerSeed) {
    Instrument meter(7);
    Instrument again(7);
    Instrument other(8);
    QStringList voltages;
    for (int t = 0; t < 120; t += 3) {
        const QByteArray block = *meter.reply(13000, t);
        EXPECT_EQ(block, *again.reply(13000, t)) << "at " << t << " s";
        EXPECT_NE(block, *other.reply(13000, t)) << "at " << t << " s";
        const pm::Panel p = shown(block);
        for (const pm::Field u : {pm::Field::U1, pm::Field::U2})
            EXPECT_NEAR(value(p, u), 230, 3) << "at " << t << " s";
        for (const pm::Field i : {pm::Field::I1, pm::Field::I2})
            EXPECT_NEAR(value(p, i), 5, 0.5) << "at " << t << " s";
        EXPECT_NEAR(value(p, pm::Field::PhaseU1U2), 120, 1);
        EXPECT_NEAR(value(p, pm::Field::PhaseU1I1), 30, 3);
        EXPECT_NEAR(value(p, pm::Field::PhaseU2I2), 32, 3);
        // I2 lags I1 by the voltages' displacement and the difference of the power angles.
        EXPECT_NEAR(value(p, pm::Field::PhaseI1I2),
                    value(p, pm::Field::PhaseU1U2) + value(p, pm::Field::PhaseU2I2) -
                        value(p, pm::Field::PhaseU1I1),
                    0.25);
        EXPECT_NEAR(value(p, pm::Field::Freq), 50, 0.05);
        EXPECT_NEAR(value(p, pm::Field::PF1), 0.866, 0.04);
        voltages << p.text(pm::Field::U1);
    }
    voltages.removeDuplicates();
    EXPECT_GT(voltages.size(), 10);
}

TEST(SimModel, GeneratedRecordsAreValidAndVaried) {
    Instrument meter(3);
    meter.generateRecords(40);
    QStringList currents;
    for (const QByteArray& block : meter.records()) {
        ASSERT_EQ(block.size(), 22);
        EXPECT_TRUE(pm::readingPossible(block)) << "a download would take it for garbled";
        const pm::Panel p = shown(block);
        // Every field was decoded: nothing is left at the initial texts.
        EXPECT_NE(p.text(pm::Field::U1), pm::Panel::initialText(pm::Field::U1));
        EXPECT_NE(p.text(pm::Field::PhaseU1U2), pm::Panel::initialText(pm::Field::PhaseU1U2));
        EXPECT_NEAR(value(p, pm::Field::U1), 228, 6.1);
        EXPECT_NEAR(value(p, pm::Field::Freq), 50, 0.06);
        currents << p.text(pm::Field::I1);
    }
    currents.removeDuplicates();
    EXPECT_GT(currents.size(), 30);
    Instrument same(3);
    same.generateRecords(40);
    EXPECT_EQ(same.records(), meter.records());
}

TEST(SimFaults, DropGarbleShortenAndFallSilentOnRequest) {
    const QByteArray reply = hex("f055000039300000010102020000000058020000 8813");
    FaultInjector clean({}, 1);
    EXPECT_EQ(clean.apply(reply, 100, kCodeLive).fault, Fault::None);
    EXPECT_EQ(clean.apply(reply, 100, kCodeLive).bytes, reply);

    FaultInjector silent({.silentAfter = 2}, 1);
    EXPECT_EQ(silent.apply(reply, 1.9, kCodeLive).bytes, reply);
    EXPECT_EQ(silent.apply(reply, 2.0, kCodeLive).fault, Fault::Silent);
    EXPECT_TRUE(silent.apply(reply, 50, kCodeLive).bytes.isEmpty());

    FaultInjector dropped({.drop = 1}, 1);
    EXPECT_EQ(dropped.apply(reply, 0, kCodeLive).fault, Fault::Dropped);
    EXPECT_TRUE(dropped.apply(reply, 0, kCodeLive).bytes.isEmpty());

    FaultInjector garbled({.garbage = 1}, 1);
    const Sending g = garbled.apply(reply, 0, kCodeLive);
    EXPECT_EQ(g.fault, Fault::Garbage);
    EXPECT_EQ(g.bytes.size(), reply.size());
    EXPECT_NE(g.bytes, reply);

    FaultInjector shortened({.shortReply = 1}, 1);
    for (int n = 0; n < 50; ++n) {
        const Sending s = shortened.apply(reply, 0, kCodeLive);
        EXPECT_EQ(s.fault, Fault::Short);
        ASSERT_GE(s.bytes.size(), 1);
        ASSERT_LT(s.bytes.size(), reply.size());
        EXPECT_TRUE(reply.startsWith(s.bytes));
    }

    // The probabilities hold over many replies, and a seed repeats its faults.
    FaultInjector mixed({.drop = 0.1, .garbage = 0.2, .shortReply = 0.3}, 9);
    FaultInjector mixedAgain({.drop = 0.1, .garbage = 0.2, .shortReply = 0.3}, 9);
    int counts[5] = {};
    for (int n = 0; n < 4000; ++n) {
        const Sending s = mixed.apply(reply, 0, kCodeLive);
        EXPECT_EQ(s.bytes, mixedAgain.apply(reply, 0, kCodeLive).bytes);
        ++counts[int(s.fault)];
    }
    EXPECT_NEAR(counts[int(Fault::Dropped)] / 4000.0, 0.1, 0.02);
    EXPECT_NEAR(counts[int(Fault::Garbage)] / 4000.0, 0.9 * 0.2, 0.02);
    EXPECT_NEAR(counts[int(Fault::Short)] / 4000.0, 0.9 * 0.8 * 0.3, 0.02);

    // Faults aimed at the records spare the handshake, the count and the live replies; silence
    // strikes everything.
    FaultInjector records({.silentAfter = 5, .drop = 1, .targets = TargetRecords}, 1);
    for (int code : {kCodeLink, kCodeCount, kCodeLive})
        EXPECT_EQ(records.apply(reply, 0, code).fault, Fault::None) << code;
    EXPECT_EQ(records.apply(reply, 0, 1).fault, Fault::Dropped);
    EXPECT_EQ(records.apply(reply, 0, 10000).fault, Fault::Dropped);
    EXPECT_EQ(records.apply(reply, 5, kCodeLink).fault, Fault::Silent);
}

TEST(SimOptionsTest, ReadsOptionsAndRejectsBadOnesAsUsageErrors) {
    const SimOptions defaults = parseSimOptions({});
    ASSERT_EQ(defaults.outcome, SimOptions::Run);
    EXPECT_EQ(defaults.config.records, 3);
    EXPECT_FALSE(defaults.config.live);
    EXPECT_LT(defaults.config.faults.silentAfter, 0);

    const SimOptions set =
        parseSimOptions({"--live",
                         "F0 55 00 00 39 30 00 00 01 01 02 02 00 00 00 00 58 02 00 00 88 13",
                         "--records",
                         "12",
                         "--seed",
                         "42",
                         "--silent-after",
                         "2.5",
                         "--drop",
                         "0.1",
                         "--garbage=0.2",
                         "--short",
                         "0.3",
                         "--delay",
                         "40",
                         "--link",
                         "/tmp/meter",
                         "--faults-on",
                         "count, records",
                         "--late",
                         "3:150",
                         "--late",
                         "8:400"});
    ASSERT_EQ(set.outcome, SimOptions::Run) << set.message.toStdString();
    EXPECT_EQ(set.config.live->toHex(), "f05500003930000001010202000000005802000088"
                                        "13");
    EXPECT_EQ(set.config.records, 12);
    EXPECT_EQ(set.config.seed, 42u);
    EXPECT_DOUBLE_EQ(set.config.faults.silentAfter, 2.5);
    EXPECT_DOUBLE_EQ(set.config.faults.drop, 0.1);
    EXPECT_DOUBLE_EQ(set.config.faults.garbage, 0.2);
    EXPECT_DOUBLE_EQ(set.config.faults.shortReply, 0.3);
    EXPECT_EQ(set.config.faults.delayMs, 40);
    EXPECT_EQ(set.config.faults.lateMs, (QHash<int, int>{{3, 150}, {8, 400}}));
    EXPECT_EQ(set.config.link, "/tmp/meter");
    EXPECT_EQ(set.config.faults.targets, TargetCount | TargetRecords);
    EXPECT_EQ(defaults.config.faults.targets, TargetAll);

    EXPECT_EQ(parseSimOptions({"--help"}).outcome, SimOptions::Help);
    EXPECT_TRUE(parseSimOptions({"--help"}).message.contains("--silent-after"));
    const QList<QStringList> bad = {
        {"--drop", "1.5"},
        {"--garbage", "x"},
        {"--records", "-1"},
        {"--records", "10001"},
        {"--live", "F0 55"},
        {"--live", "zz"},
        {"--delay", "-5"},
        {"--silent-after"},
        {"--bogus"},
        {"stray"},
        {"--seed", "-1"},
        {"--records", "2", "--record-file", "f"},
        {"--faults-on", "records,stored"},
        {"--faults-on", ""},
        {"--drop", "nan"},
        {"--garbage", "nan"},
        {"--short", "nan"},
        {"--silent-after", "nan"},
        {"--link", ""},
        {"--late", "3"},
        {"--late", "0:100"},
        {"--late", "3:-1"},
        {"--late", "3:x"},
        {"--count-reply", ""},
        {"--count-reply", "00 80 00"},
        {"--count-reply", "0"},
        {"--count-reply", "zz"},
    };
    for (const QStringList& args : bad) {
        const SimOptions o = parseSimOptions(args);
        EXPECT_EQ(o.outcome, SimOptions::UsageError) << args.join(' ').toStdString();
        EXPECT_TRUE(o.message.contains("--help")) << o.message.toStdString();
    }
    for (const auto& [arg, bytes] : {std::pair("00 80", "0080"), std::pair("07", "07")}) {
        const SimOptions o = parseSimOptions({"--count-reply", arg});
        ASSERT_EQ(o.outcome, SimOptions::Run) << o.message.toStdString();
        EXPECT_EQ(o.config.countReply->toHex(), bytes);
    }
    EXPECT_EQ(parseSimOptions({"--record-file", "/nonexistent/records.txt"}).outcome,
              SimOptions::IoError);
}

TEST(SimOptionsTest, RecordFileHoldsOneBlockPerLine) {
    QString error;
    const auto read = [&error](QByteArray contents) {
        QBuffer file(&contents);
        file.open(QIODevice::ReadOnly);
        return readRecordFile(file, error);
    };
    const auto blocks = read("# two records\n"
                             "F0 55 00 00 39 30 00 00 01 01 02 02 00 00 00 00 58 02 00 00 88 13\n"
                             "\n"
                             "  e803e703c8003075010102020000000004008403 7017\r\n");
    ASSERT_TRUE(blocks) << error.toStdString();
    ASSERT_EQ(blocks->size(), 2);
    EXPECT_EQ(blocks->at(1).toHex(), "e803e703c8003075010102020000000004008403"
                                     "7017");

    EXPECT_FALSE(read("# one bad\nF0 55 00\n"));
    EXPECT_TRUE(error.contains("line 2")) << error.toStdString();
    EXPECT_TRUE(read("")->isEmpty());

    // Bounded: a line without an end, and more records than a meter holds.
    EXPECT_TRUE(read("#" + QByteArray(pm::sim::kMaxRecordLine - 1, '#') + "\n").has_value());
    EXPECT_FALSE(read("\n" + QByteArray(1 << 20, '0')));
    EXPECT_TRUE(error.contains("line 2 is longer than 1024")) << error.toStdString();
    const QByteArray record = "e803e703c8003075010102020000000004008403 7017\n";
    EXPECT_EQ(read(record.repeated(10000))->size(), 10000);
    EXPECT_FALSE(read("# all\n" + record.repeated(10001)));
    EXPECT_TRUE(error.contains("line 10002")) << error.toStdString();

    QTemporaryDir dir;
    const QString path = dir.filePath("records.txt");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("e803e703c8003075010102020000000004008403 7017\n");
    file.close();
    const SimOptions o = parseSimOptions({"--record-file", path});
    ASSERT_EQ(o.outcome, SimOptions::Run);
    ASSERT_TRUE(o.config.file);
    EXPECT_EQ(o.config.file->size(), 1);
}

} // namespace
