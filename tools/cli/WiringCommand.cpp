#include "analysis/EarthReading.h"
#include "analysis/WiringCheck.h"
#include "analysis/WiringVerdict.h"
#include "cli/Cli.h"
#include "cli/HexBlock.h"
#include "cli/MeterLink.h"
#include "cli/WiringOptions.h"
#include "common/SignalWatcher.h"
#include "platform/PortMap.h"
#include "protocol/Decode.h"
#include "protocol/Fmtval.h"
#include "protocol/Reading.h"

#include <QByteArrayList>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <numbers>
#include <unistd.h>
#include <utility>
#include <vector>

namespace pm::cli {

namespace {

const QString kCommand = QStringLiteral("wiring");
const QString kUsage =
    QStringLiteral("wiring [--port DEV | --block HEX] [--system 3p3w|3p4w|group] "
                   "[--elements 12|23|31] [--common 1|2|3 | --earth-block HEX | --earth-port DEV] "
                   "[--load-angle MIN:MAX] [--format text|json]");
const QString kDescription = QStringLiteral(
    "Checks how the meter's voltage and current circuits are connected, from one live reading\n"
    "(on --port DEV, or found by scanning) or from one 22-byte measurement block as decode\n"
    "takes it, and prints the verdict: the standard connections that explain the angles, the\n"
    "correction factor K (real energy = registered energy x K), and what makes the answer\n"
    "unreliable. Identifying the connection assumes a balanced, sinusoidal load; K, once the\n"
    "connection is known, is exact for any load.\n"
    "\n"
    "Systems: 3p3w, a three-phase three-wire installation with a two-element meter (the\n"
    "default); 3p4w, two of the three elements of a four-wire installation (--elements);\n"
    "group, a transformer's vector group from U1 on the high-voltage and U2 on the\n"
    "low-voltage side. --common names the voltage terminal that carries line B (3p3w);\n"
    "--earth-block or --earth-port finds it from one reading with U1 between terminal 1 and\n"
    "earth and U2 between terminal 3 and earth, taken before the check's own. --load-angle\n"
    "may wrap past 180 (120:240 for export metering); the default is -60:60.\n"
    "\n"
    "Exit status: 0 when the check ran, whatever it found; 1 when no reading could be had;\n"
    "2 when the command line is wrong.");

struct Problem {
    QString text;
};

double rounded(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    const double r = std::round(value * scale) / scale;
    return r == 0 ? 0.0 : r; // no "-0"
}

// A JSON value as QJsonDocument writes it: strings escaped, numbers in their shortest form.
QByteArray json(const QJsonValue& value) {
    const QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2);
}

QByteArray optionalNumber(const std::optional<double>& value, int decimals) {
    return json(value ? QJsonValue(rounded(*value, decimals)) : QJsonValue(QJsonValue::Null));
}

// An object whose keys keep the order given, the order the documentation lists them in.
using Fields = std::vector<std::pair<const char*, QByteArray>>;
QByteArray object(const Fields& fields) {
    QByteArrayList members;
    for (const auto& [key, value] : fields)
        members << json(QString::fromLatin1(key)) + ':' + value;
    return '{' + members.join(',') + '}';
}

QByteArray array(const QByteArrayList& items) {
    return '[' + items.join(',') + ']';
}

WiringSettings settingsFrom(const QCommandLineParser& p) {
    WiringSettings s;
    const QString system = p.value(QStringLiteral("system"));
    if (system == QLatin1String("3p4w"))
        s.system = WiringSystem::FourWire;
    else if (system == QLatin1String("group"))
        s.system = WiringSystem::VectorGroup;
    else if (system != QLatin1String("3p3w"))
        throw Problem{QStringLiteral("--system is 3p3w, 3p4w or group, not \"%1\".").arg(system)};

    if (p.isSet(QStringLiteral("elements"))) {
        const QString e = p.value(QStringLiteral("elements"));
        if (s.system != WiringSystem::FourWire)
            throw Problem{QStringLiteral("--elements goes with --system 3p4w.")};
        if (e != QLatin1String("12") && e != QLatin1String("23") && e != QLatin1String("31"))
            throw Problem{QStringLiteral("--elements is 12, 23 or 31, not \"%1\".").arg(e)};
        s.firstElement = e.left(1).toInt();
    }
    if (p.isSet(QStringLiteral("common"))) {
        const QString c = p.value(QStringLiteral("common"));
        if (s.system != WiringSystem::ThreeWire)
            throw Problem{QStringLiteral("--common goes with --system 3p3w.")};
        if (c != QLatin1String("1") && c != QLatin1String("2") && c != QLatin1String("3"))
            throw Problem{QStringLiteral("--common is the terminal 1, 2 or 3 that carries line B, "
                                         "not \"%1\".")
                              .arg(c)};
        s.commonTerminal = c.toInt();
    }
    if (p.isSet(QStringLiteral("load-angle"))) {
        const QString range = p.value(QStringLiteral("load-angle"));
        const QStringList parts = range.split(QLatin1Char(':'));
        bool okMin = false, okMax = false;
        const double min = parts.size() == 2 ? parts[0].toDouble(&okMin) : 0;
        const double max = parts.size() == 2 ? parts[1].toDouble(&okMax) : 0;
        if (!okMin || !okMax || !(min >= -180 && min <= 180) || !(min < max) || !(max <= min + 360))
            throw Problem{QStringLiteral("--load-angle takes MIN:MAX in degrees, lagging "
                                         "positive, MIN from -180 to 180 and MAX above it by at "
                                         "most 360 (e.g. -60:60, 120:240), not \"%1\".")
                              .arg(range)};
        s.loadRange = {min, max};
    }
    return s;
}

QByteArray matchesJson(const WiringResult& r) {
    const auto pf = [](double phi) {
        return json(rounded(std::cos(phi * std::numbers::pi / 180), 3));
    };
    QByteArrayList matches;
    const auto sign = [](bool reversed) { return json(reversed ? "-" : "+"); };
    for (const ThreeWireMatch& m : r.threeWire)
        matches << object({{"terminals", json(m.connection.terminalText())},
                           {"u1", sign(m.connection.u1Reversed)},
                           {"u2", sign(m.connection.u2Reversed)},
                           {"i1", json(m.connection.i1.code())},
                           {"i2", json(m.connection.i2.code())},
                           {"load_angle", json(rounded(m.loadAngle, 1))},
                           {"pf", pf(m.loadAngle)},
                           {"k", optionalNumber(m.k, 3)},
                           {"correct", json(m.connection.correct())}});
    for (const FourWireMatch& m : r.fourWire)
        matches << object({{"voltages_swapped", json(m.voltagesSwapped)},
                           {"i1", json(fourWireCurrent(r.settings, 0, m.channels[0]).code())},
                           {"i2", json(fourWireCurrent(r.settings, 1, m.channels[1]).code())},
                           {"load_angle", json(rounded(m.loadAngle, 1))},
                           {"pf", pf(m.loadAngle)},
                           {"share1", optionalNumber(m.channels[0].share, 3)},
                           {"share2", optionalNumber(m.channels[1].share, 3)},
                           {"correct", json(m.faults() == 0 && !m.voltagesSwapped)}});
    return array(matches);
}

QByteArray deadJson(const WiringResult& r) {
    if (!r.dead)
        return json(QJsonValue::Null);
    const DeadElement& d = *r.dead;
    QByteArrayList noVoltage, noCurrent;
    for (int ch = 0; ch < 2; ++ch) {
        const int element = elementOf(r.settings, ch);
        if (d.noVoltage[size_t(ch)])
            noVoltage << json(element);
        else if (d.noCurrent[size_t(ch)])
            noCurrent << json(element);
    }
    const bool k = d.live >= 0 && r.settings.system == WiringSystem::ThreeWire;
    return object({{"no_voltage", array(noVoltage)},
                   {"no_current", array(noCurrent)},
                   {"load_angle", k ? json(rounded(d.loadAngle, 1)) : json(QJsonValue::Null)},
                   {"k", k ? optionalNumber(d.k, 3) : json(QJsonValue::Null)}});
}

QByteArray jsonText(const WiringResult& r, const std::optional<EarthFinding>& earth) {
    const WiringSettings& s = r.settings;
    Fields fields;
    fields.emplace_back("system", json(s.system == WiringSystem::ThreeWire  ? "3p3w"
                                       : s.system == WiringSystem::FourWire ? "3p4w"
                                                                            : "group"));
    if (s.system == WiringSystem::VectorGroup) {
        const auto number = [&r](double value) {
            return r.group ? json(rounded(value, 1)) : json(QJsonValue::Null);
        };
        fields.emplace_back("sequence", json(QJsonValue::Null));
        fields.emplace_back("clock", r.group ? json(r.group->clock) : json(QJsonValue::Null));
        fields.emplace_back("angle", number(r.group ? r.group->angle : 0));
        fields.emplace_back("deviation", number(r.group ? r.group->deviation : 0));
    } else {
        fields.emplace_back("sequence", json(sequenceName(r.sequence)));
    }
    if (s.system == WiringSystem::FourWire)
        fields.emplace_back(
            "elements", json(QStringLiteral("%1%2").arg(s.firstElement).arg(s.secondElement())));
    if (s.system == WiringSystem::ThreeWire)
        fields.emplace_back("common",
                            s.commonTerminal ? json(s.commonTerminal) : json(QJsonValue::Null));
    if (earth)
        fields.emplace_back("earth", json(earth->text));
    fields.emplace_back("unique", json(r.unique()));
    fields.emplace_back("matches", matchesJson(r));
    fields.emplace_back("dead", deadJson(r));
    const std::optional<double> phi = fittedLoadAngle(r);
    fields.emplace_back("load_character",
                        phi ? json(characterName(loadCharacter(*phi))) : json(QJsonValue::Null));
    fields.emplace_back("notes", json(QJsonArray::fromStringList(r.notes)));
    fields.emplace_back("verdict", json(wiringVerdict(r)));
    QByteArrayList channels;
    for (const ChannelPower& c : r.channels)
        channels << object({{"signal", json(c.signal)},
                            {"angle", json(rounded(c.angle, 1))},
                            {"power_flows_back", json(c.flowsBack)},
                            {"p", json(rounded(c.p, 4))},
                            {"q", json(rounded(c.q, 4))}});
    fields.emplace_back("channels", array(channels));
    fields.emplace_back("total_p", json(rounded(r.totalP, 4)));
    return object(fields) + '\n';
}

QString plainText(const WiringResult& r, const std::optional<EarthFinding>& earth) {
    QString text = settingsText(r.settings) + QLatin1Char('\n');
    if (earth)
        text += earth->text + QLatin1Char('\n');
    text += wiringVerdict(r) + QLatin1Char('\n');
    const QStringList others = otherMatchLines(r);
    if (!others.isEmpty())
        text += QStringLiteral("Also explained by:\n  ") + others.join(QStringLiteral("\n  ")) +
                QLatin1Char('\n');
    if (!r.notes.isEmpty())
        text +=
            QStringLiteral("Notes:\n  ") + r.notes.join(QStringLiteral("\n  ")) + QLatin1Char('\n');
    return text + channelLines(r).join(QLatin1Char('\n')) + QLatin1Char('\n');
}

struct Run {
    WiringSettings settings;
    bool json = false;
    std::optional<EarthFinding> earth;
};

int report(const ReadingTexts& texts, const Run& run) {
    const WiringResult result = checkWiring(WiringReading::fromTexts(texts), run.settings);
    const bool written = run.json ? printOut(QString::fromUtf8(jsonText(result, run.earth)))
                                  : printOut(plainText(result, run.earth));
    if (!written) {
        printError(QStringLiteral("Cannot write to standard output."));
        return kExitFailure;
    }
    return kExitOk;
}

// The earth reading sets the line-B terminal; when it cannot tell, the check goes on without.
void applyEarth(Run& run, const ReadingTexts& texts) {
    run.earth = lineBFromEarth(textValue(texts.text(voltageField(0))),
                               textValue(texts.text(voltageField(1))));
    run.settings.commonTerminal = run.earth->terminal;
}

// One live reading from `device` (or the ports scanned), handed to `done`; the link is stopped
// before it is called.
class OneReading {
public:
    OneReading(const QString& device, std::function<void(const Panel&)> done,
               std::function<void(int)> fail)
        : link_(device.isEmpty() ? kPortCount : 1) {
        if (!device.isEmpty())
            setPortDevices({device});
        link_.onReply = [this, done](ReplyKind kind) {
            if (kind != ReplyKind::Live || finished_)
                return;
            finished_ = true;
            link_.stop();
            done(link_.core().panel);
        };
        link_.onFailure = [this, fail](const QString& message) {
            link_.stop();
            printError(message);
            fail(kExitFailure);
        };
        link_.start();
    }
    void stop() { link_.stop(); }

private:
    MeterLink link_;
    bool finished_ = false;
};

} // namespace

int runWiring(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption port = portOption();
    parser.addOptions({
        port,
        {QStringLiteral("block"),
         QStringLiteral("Check this 22-byte measurement block (44 hex digits) instead of a live "
                        "reading."),
         QStringLiteral("HEX")},
    });
    parser.addOptions(wiringOptions());
    parser.addOptions({
        {QStringLiteral("earth-block"),
         QStringLiteral("With 3p3w: find line B from this block, read with U1 between terminal 1 "
                        "and earth and U2 between terminal 3 and earth."),
         QStringLiteral("HEX")},
        {QStringLiteral("earth-port"),
         QStringLiteral("With 3p3w: take that reading to earth from the meter on this port first."),
         QStringLiteral("DEV")},
        {QStringLiteral("format"), QStringLiteral("text (the default) or json."),
         QStringLiteral("text|json"), QStringLiteral("text")},
    });
    if (const auto done = parseArguments(parser, kCommand, kUsage, kDescription, arguments))
        return *done;

    Run run;
    std::optional<QByteArray> block;
    std::optional<QByteArray> earthBlock;
    const QString earthPort = parser.value(QStringLiteral("earth-port"));
    try {
        if (!parser.positionalArguments().isEmpty())
            throw Problem{QStringLiteral("unexpected argument \"%1\".")
                              .arg(parser.positionalArguments().first())};
        run.settings = settingsFrom(parser);
        const QString format = parser.value(QStringLiteral("format"));
        if (format != QLatin1String("text") && format != QLatin1String("json"))
            throw Problem{QStringLiteral("--format is text or json, not \"%1\".").arg(format)};
        run.json = format == QLatin1String("json");
        if (parser.isSet(port) && parser.isSet(QStringLiteral("block")))
            throw Problem{QStringLiteral("give either --port or --block, not both.")};
        if (parser.isSet(port) && parser.value(port).isEmpty())
            throw Problem{QStringLiteral("--port needs a device, e.g. /dev/ttyUSB0.")};
        const int lineB = int(parser.isSet(QStringLiteral("common"))) +
                          int(parser.isSet(QStringLiteral("earth-block"))) +
                          int(parser.isSet(QStringLiteral("earth-port")));
        if (lineB > 1)
            throw Problem{QStringLiteral("give one of --common, --earth-block and --earth-port.")};
        if (lineB == 1 && run.settings.system != WiringSystem::ThreeWire)
            throw Problem{QStringLiteral("line B goes with --system 3p3w.")};
        if (parser.isSet(QStringLiteral("earth-port")) && earthPort.isEmpty())
            throw Problem{QStringLiteral("--earth-port needs a device, e.g. /dev/ttyUSB0.")};
        if (!earthPort.isEmpty() && parser.isSet(port) && parser.value(port) != earthPort)
            throw Problem{QStringLiteral("--earth-port and --port name different devices; both "
                                         "readings come from the same meter.")};
        const auto hex = [&parser](const char* option) {
            QString error;
            auto bytes = blockFromHex(parser.value(QLatin1String(option)), error);
            if (!bytes)
                throw Problem{QStringLiteral("--%1 is not a measurement block: %2; a block is "
                                             "22 bytes, 44 hex digits.")
                                  .arg(QLatin1String(option), error)};
            return bytes;
        };
        if (parser.isSet(QStringLiteral("block")))
            block = hex("block");
        if (parser.isSet(QStringLiteral("earth-block")))
            earthBlock = hex("earth-block");
    } catch (const Problem& problem) {
        return usageError(kCommand, problem.text);
    }

    if (earthBlock) {
        Panel earth;
        livein(*earthBlock, earth);
        applyEarth(run, earth);
    }
    if (block && earthPort.isEmpty()) {
        Panel panel;
        livein(*block, panel);
        return report(panel, run);
    }

    // Live: the reading to earth first, if asked for, then the check's own.
    const QString device = parser.value(port).isEmpty() ? earthPort : parser.value(port);
    std::unique_ptr<OneReading> reading;
    auto finish = [&reading](int code) {
        if (reading)
            reading->stop();
        QCoreApplication::exit(code);
    };
    auto check = [&] {
        if (block) {
            Panel panel;
            livein(*block, panel);
            finish(report(panel, run));
            return;
        }
        reading = std::make_unique<OneReading>(
            device, [&](const Panel& panel) { finish(report(panel, run)); }, finish);
    };
    SignalWatcher interrupt([&finish](int) { finish(kExitFailure); });
    if (earthPort.isEmpty()) {
        check();
    } else {
        reading = std::make_unique<OneReading>(
            earthPort,
            [&](const Panel& earth) {
                applyEarth(run, earth);
                printError(run.earth->text);
                // At a terminal the engineer moves the leads back before the check's reading.
                if (isatty(STDIN_FILENO)) {
                    printError(QStringLiteral("Put the leads back on the meter's terminals and "
                                              "press Enter."));
                    std::string line;
                    std::getline(std::cin, line);
                }
                // The link of the earth reading is ended from the event loop, not inside it.
                QTimer::singleShot(0, [&check] { check(); });
            },
            finish);
    }
    return QCoreApplication::exec();
}

} // namespace pm::cli

namespace pm::cli {

std::optional<WiringSettings> wiringSettingsOf(const QCommandLineParser& parser, QString& error) {
    try {
        return settingsFrom(parser);
    } catch (const Problem& problem) {
        error = problem.text;
        return std::nullopt;
    }
}

} // namespace pm::cli
