#include "sim/SimOptions.h"

#include "sim/Frames.h"
#include "sim/Instrument.h"
#include "sim/WiringScenario.h"

#include <QCommandLineParser>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <iterator>

namespace pm::sim {

namespace {

const QString kUsage = QStringLiteral(
    "Usage: phasemeter-sim [options]\n"
    "\n"
    "Plays the two-channel phase and volt-ampere meter on a pseudo-terminal. The first line on\n"
    "standard output is the device to open (9600 baud, 8N1); the simulator runs until Ctrl-C.\n"
    "Without options it sends a slowly varying reading of about 230 V, 5 A, 30 degrees power\n"
    "angle, 120 degrees between the channels and 50 Hz, and holds 3 stored records.\n");

struct Problem {
    QString text;
};

double probability(const QCommandLineParser& p, const QString& name) {
    bool ok = false;
    const double v = p.value(name).toDouble(&ok);
    if (!ok || !(v >= 0 && v <= 1)) // "nan" reads as a number too
        throw Problem{QStringLiteral("--%1 takes a probability from 0 to 1, not \"%2\".")
                          .arg(name, p.value(name))};
    return v;
}

long long integer(const QCommandLineParser& p, const QString& name, long long low, long long high) {
    bool ok = false;
    const long long v = p.value(name).toLongLong(&ok);
    if (!ok || v < low || v > high)
        throw Problem{QStringLiteral("--%1 takes a whole number from %2 to %3, not \"%4\".")
                          .arg(name)
                          .arg(low)
                          .arg(high)
                          .arg(p.value(name))};
    return v;
}

unsigned faultTargets(const QString& list) {
    const std::pair<const char*, FaultTarget> names[] = {{"link", TargetLink},
                                                         {"count", TargetCount},
                                                         {"live", TargetLive},
                                                         {"records", TargetRecords}};
    unsigned targets = 0;
    for (const QString& item : list.split(QLatin1Char(','))) {
        const auto* found = std::find_if(std::begin(names), std::end(names), [&](const auto& n) {
            return item.trimmed() == QLatin1String(n.first);
        });
        if (found == std::end(names))
            throw Problem{QStringLiteral("--faults-on takes a list of link, count, live and "
                                         "records, not \"%1\".")
                              .arg(list)};
        targets |= found->second;
    }
    return targets;
}

// "K:MS": the reply of record K goes out MS milliseconds late.
void lateReply(const QString& item, QHash<int, int>& late) {
    const QStringList parts = item.split(QLatin1Char(':'));
    bool recordOk = false;
    bool msOk = false;
    const int k = parts.size() == 2 ? parts[0].toInt(&recordOk) : 0;
    const int ms = parts.size() == 2 ? parts[1].toInt(&msOk) : 0;
    if (!recordOk || !msOk || k < 1 || k > kMaxRecords || ms < 0 || ms > 60000)
        throw Problem{QStringLiteral("--late takes a record from 1 to %1 and a delay from 0 to "
                                     "60000 ms, as 3:150, not \"%2\".")
                          .arg(kMaxRecords)
                          .arg(item)};
    late.insert(k, ms);
}

} // namespace

std::optional<QList<QByteArray>> readRecordFile(QIODevice& file, QString& error) {
    QList<QByteArray> blocks;
    for (int n = 1;; ++n) {
        // At most one byte past the longest line taken, so that a file with no line ends (a
        // device, say) is refused after its first kilobyte rather than read into memory.
        const QByteArray raw = file.readLine(kMaxRecordLine + 2);
        if (raw.isEmpty())
            return blocks;
        if (raw.size() > kMaxRecordLine && !raw.endsWith('\n')) {
            error = QStringLiteral("line %1 is longer than %2 characters; a record is one 22-byte "
                                   "block in hex per line")
                        .arg(n)
                        .arg(kMaxRecordLine);
            return std::nullopt;
        }
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const auto block = parseHexBlock(line);
        if (!block) {
            error = QStringLiteral("line %1 is not a 22-byte block in hex (44 hex digits, blanks "
                                   "allowed): \"%2\"")
                        .arg(n)
                        .arg(line);
            return std::nullopt;
        }
        if (blocks.size() == kMaxRecords) {
            error = QStringLiteral("line %1 holds record %2; the meter holds at most %3 records")
                        .arg(n)
                        .arg(kMaxRecords + 1)
                        .arg(kMaxRecords);
            return std::nullopt;
        }
        blocks << *block;
    }
}

SimOptions parseSimOptions(const QStringList& arguments) {
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    p.addOption(help);
    p.addOptions({
        {QStringLiteral("link"),
         QStringLiteral("Also make a symlink to the device at <path> (removed on exit)."),
         QStringLiteral("path")},
        {QStringLiteral("live"),
         QStringLiteral("Answer every live request with this fixed 22-byte block."),
         QStringLiteral("hex")},
        {QStringLiteral("records"),
         QStringLiteral("Hold <n> generated records, 0 to 10000 (default 3)."),
         QStringLiteral("n")},
        {QStringLiteral("record-file"),
         QStringLiteral("Hold the records of <file>: one 22-byte block in hex per line."),
         QStringLiteral("file")},
        {QStringLiteral("count"),
         QStringLiteral("Report <n> stored records, 0 to 32767, whatever it holds."),
         QStringLiteral("n")},
        {QStringLiteral("count-reply"),
         QStringLiteral("Answer every count request with these 1 or 2 bytes in hex: 00 80 is a "
                        "garbled count, one byte a reply cut short."),
         QStringLiteral("hex")},
        {QStringLiteral("seed"),
         QStringLiteral("Seed of the readings, records and faults (default 1)."),
         QStringLiteral("n")},
        {QStringLiteral("silent-after"),
         QStringLiteral("Stop answering <sec> seconds after the start."), QStringLiteral("sec")},
        {QStringLiteral("drop"), QStringLiteral("Leave a reply out with probability <p>."),
         QStringLiteral("p")},
        {QStringLiteral("garbage"),
         QStringLiteral("Replace a reply by random bytes with probability <p>."),
         QStringLiteral("p")},
        {QStringLiteral("short"),
         QStringLiteral("Send only the first part of a reply with probability <p>."),
         QStringLiteral("p")},
        {QStringLiteral("delay"), QStringLiteral("Send every reply <ms> milliseconds late."),
         QStringLiteral("ms")},
        {QStringLiteral("late"),
         QStringLiteral("Send the first reply to record <k> <ms> milliseconds later than the "
                        "others (repeatable)."),
         QStringLiteral("k:ms")},
        {QStringLiteral("faults-on"),
         QStringLiteral("Drop, garble and shorten only the replies to these requests: a comma-"
                        "separated list of link, count, live, records (default all)."),
         QStringLiteral("list")},
        {QStringLiteral("wire"),
         QStringLiteral("Hold every reply back for its time on the line at 9600 baud, 10 bits a "
                        "byte, as a real meter's cable does.")},
        {QStringLiteral("verbose"),
         QStringLiteral("Log every request and what was sent back on standard error.")},
    });
    addWiringOptions(p);

    SimOptions out;
    QStringList argv = arguments;
    argv.prepend(QStringLiteral("phasemeter-sim"));
    if (!p.parse(argv)) {
        out.outcome = SimOptions::UsageError;
        out.message = p.errorText() + QStringLiteral(" See phasemeter-sim --help.");
        return out;
    }
    if (p.isSet(help)) {
        out.outcome = SimOptions::Help;
        const QString table = p.helpText();
        out.message =
            kUsage + QLatin1Char('\n') + table.mid(table.indexOf(QStringLiteral("Options:")));
        return out;
    }
    try {
        if (!p.positionalArguments().isEmpty())
            throw Problem{
                QStringLiteral("Unexpected argument \"%1\".").arg(p.positionalArguments().first())};
        SimConfig& c = out.config;
        c.link = p.value(QStringLiteral("link"));
        if (p.isSet(QStringLiteral("link")) && c.link.isEmpty())
            throw Problem{QStringLiteral("--link takes the path of the symlink to make.")};
        c.verbose = p.isSet(QStringLiteral("verbose"));
        c.wire = p.isSet(QStringLiteral("wire"));
        if (p.isSet(QStringLiteral("live"))) {
            c.live = parseHexBlock(p.value(QStringLiteral("live")));
            if (!c.live)
                throw Problem{QStringLiteral("--live takes a 22-byte block in hex (44 hex digits, "
                                             "blanks allowed).")};
        }
        if (p.isSet(QStringLiteral("records")) && p.isSet(QStringLiteral("record-file")))
            throw Problem{QStringLiteral("Give either --records or --record-file, not both.")};
        if (p.isSet(QStringLiteral("records")))
            c.records = int(integer(p, QStringLiteral("records"), 0, kMaxRecords));
        if (p.isSet(QStringLiteral("count")))
            c.count = int(integer(p, QStringLiteral("count"), 0, 32767));
        if (p.isSet(QStringLiteral("count-reply"))) {
            const QString hex = p.value(QStringLiteral("count-reply")).remove(QLatin1Char(' '));
            const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
            if (bytes.isEmpty() || bytes.size() > 2 || bytes.toHex() != hex.toLower().toLatin1())
                throw Problem{QStringLiteral("--count-reply takes 1 or 2 bytes in hex, as "
                                             "\"00 80\".")};
            c.countReply = bytes;
        }
        if (p.isSet(QStringLiteral("seed")))
            c.seed = quint32(integer(p, QStringLiteral("seed"), 0, 0xFFFFFFFFLL));
        if (p.isSet(QStringLiteral("silent-after"))) {
            bool ok = false;
            c.faults.silentAfter = p.value(QStringLiteral("silent-after")).toDouble(&ok);
            if (!ok || !(c.faults.silentAfter >= 0) || std::isinf(c.faults.silentAfter))
                throw Problem{QStringLiteral("--silent-after takes a number of seconds, 0 or "
                                             "more.")};
        }
        if (p.isSet(QStringLiteral("drop")))
            c.faults.drop = probability(p, QStringLiteral("drop"));
        if (p.isSet(QStringLiteral("garbage")))
            c.faults.garbage = probability(p, QStringLiteral("garbage"));
        if (p.isSet(QStringLiteral("short")))
            c.faults.shortReply = probability(p, QStringLiteral("short"));
        if (p.isSet(QStringLiteral("delay")))
            c.faults.delayMs = int(integer(p, QStringLiteral("delay"), 0, 60000));
        for (const QString& item : p.values(QStringLiteral("late")))
            lateReply(item, c.faults.lateMs);
        if (p.isSet(QStringLiteral("faults-on")))
            c.faults.targets = faultTargets(p.value(QStringLiteral("faults-on")));
        if (p.isSet(QStringLiteral("record-file"))) {
            const QString name = p.value(QStringLiteral("record-file"));
            QFile file(name);
            if (!file.open(QIODevice::ReadOnly)) {
                out.outcome = SimOptions::IoError;
                out.message = QStringLiteral("Cannot read the record file %1: %2.")
                                  .arg(name, file.errorString());
                return out;
            }
            QString error;
            c.file = readRecordFile(file, error);
            if (!c.file)
                throw Problem{QStringLiteral("Record file %1: %2.").arg(name, error)};
        }
        if (const QString wiring = readWiringOptions(p, c); !wiring.isEmpty())
            throw Problem{wiring};
    } catch (const Problem& problem) {
        out.outcome = SimOptions::UsageError;
        out.message = problem.text + QStringLiteral(" See phasemeter-sim --help.");
    }
    return out;
}

} // namespace pm::sim
