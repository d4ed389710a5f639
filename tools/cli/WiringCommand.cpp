#include "analysis/WiringCheck.h"
#include "analysis/WiringVerdict.h"
#include "cli/Cli.h"
#include "cli/HexBlock.h"
#include "cli/MeterLink.h"
#include "cli/WiringOptions.h"
#include "common/SignalWatcher.h"
#include "platform/PortMap.h"
#include "protocol/Decode.h"

#include <QByteArrayList>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

namespace pm::cli {

namespace {

const QString kCommand = QStringLiteral("wiring");
const QString kUsage =
    QStringLiteral("wiring [--port DEV | --block HEX] [--system 3p3w|3p4w|group] "
                   "[--elements 12|23|31] [--common 1|2|3] [--load-angle MIN:MAX] "
                   "[--format text|json]");
const QString kDescription = QStringLiteral(
    "Checks how the meter's voltage and current circuits are connected, from one live reading\n"
    "(on --port DEV, or found by scanning) or from one 22-byte measurement block as decode\n"
    "takes it, and prints the verdict: the standard connections that explain the angles, the\n"
    "correction factor K (real energy = registered energy x K), and what makes the answer\n"
    "unreliable. The check assumes a balanced, sinusoidal load.\n"
    "\n"
    "Systems: 3p3w, a three-phase three-wire installation with a two-element meter (the\n"
    "default); 3p4w, two of the three elements of a four-wire installation (--elements);\n"
    "group, a transformer's vector group from U1 on the high-voltage and U2 on the\n"
    "low-voltage side. --common names the voltage terminal that carries line B (3p3w).\n"
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
        if (!okMin || !okMax || !(min >= -180) || !(max <= 180) || !(min < max))
            throw Problem{QStringLiteral("--load-angle takes MIN:MAX in degrees, -180 to 180, "
                                         "lagging positive (e.g. -30:60), not \"%1\".")
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
    for (const ThreeWireMatch& m : r.threeWire)
        matches << object({{"terminals", json(m.connection.terminalText())},
                           {"i1", json(m.connection.i1.code())},
                           {"i2", json(m.connection.i2.code())},
                           {"load_angle", json(rounded(m.loadAngle, 1))},
                           {"pf", pf(m.loadAngle)},
                           {"k", optionalNumber(m.k, 3)},
                           {"correct", json(m.connection.correct())}});
    for (const FourWireMatch& m : r.fourWire)
        matches << object({{"i1", json(fourWireCurrent(r.settings, 0, m.channels[0]).code())},
                           {"i2", json(fourWireCurrent(r.settings, 1, m.channels[1]).code())},
                           {"load_angle", json(rounded(m.loadAngle, 1))},
                           {"pf", pf(m.loadAngle)},
                           {"share1", optionalNumber(m.channels[0].share, 3)},
                           {"share2", optionalNumber(m.channels[1].share, 3)},
                           {"correct", json(m.faults() == 0)}});
    return array(matches);
}

QByteArray jsonText(const WiringResult& r) {
    const WiringSettings& s = r.settings;
    Fields fields;
    fields.emplace_back("system", json(s.system == WiringSystem::ThreeWire  ? "3p3w"
                                       : s.system == WiringSystem::FourWire ? "3p4w"
                                                                            : "group"));
    if (s.system == WiringSystem::VectorGroup) {
        fields.emplace_back("sequence", json(QJsonValue::Null));
        fields.emplace_back("clock", json(r.group->clock));
        fields.emplace_back("angle", json(rounded(r.group->angle, 1)));
        fields.emplace_back("deviation", json(rounded(r.group->deviation, 1)));
    } else {
        fields.emplace_back("sequence", json(sequenceName(r.sequence)));
    }
    if (s.system == WiringSystem::FourWire)
        fields.emplace_back(
            "elements", json(QStringLiteral("%1%2").arg(s.firstElement).arg(s.secondElement())));
    fields.emplace_back("matches", matchesJson(r));
    fields.emplace_back("notes", json(QJsonArray::fromStringList(r.notes)));
    fields.emplace_back("verdict", json(wiringVerdict(r)));
    QByteArrayList channels;
    for (const ChannelPower& c : r.channels)
        channels << object({{"signal", json(c.signal)},
                            {"character", json(characterName(c.character))},
                            {"power_flows_back", json(c.flowsBack)},
                            {"p", json(rounded(c.p, 4))},
                            {"q", json(rounded(c.q, 4))}});
    fields.emplace_back("channels", array(channels));
    fields.emplace_back("total_p", json(rounded(r.totalP, 4)));
    return object(fields) + '\n';
}

QString plainText(const WiringResult& r) {
    QString text =
        systemName(r.settings) + QLatin1Char('\n') + wiringVerdict(r) + QLatin1Char('\n');
    const QStringList others = otherMatchLines(r);
    if (!others.isEmpty())
        text += QStringLiteral("Also explained by:\n  ") + others.join(QStringLiteral("\n  ")) +
                QLatin1Char('\n');
    if (!r.notes.isEmpty())
        text +=
            QStringLiteral("Notes:\n  ") + r.notes.join(QStringLiteral("\n  ")) + QLatin1Char('\n');
    return text + channelLines(r).join(QLatin1Char('\n')) + QLatin1Char('\n');
}

int report(const ReadingTexts& texts, const WiringSettings& settings, bool json) {
    const WiringResult result = checkWiring(WiringReading::fromTexts(texts), settings);
    const bool written =
        json ? printOut(QString::fromUtf8(jsonText(result))) : printOut(plainText(result));
    if (!written) {
        printError(QStringLiteral("Cannot write to standard output."));
        return kExitFailure;
    }
    return kExitOk;
}

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
        {QStringLiteral("system"), QStringLiteral("3p3w (the default), 3p4w or group."),
         QStringLiteral("3p3w|3p4w|group"), QStringLiteral("3p3w")},
        {QStringLiteral("elements"),
         QStringLiteral("With 3p4w: the elements of channel 1 and 2 (default 12)."),
         QStringLiteral("12|23|31")},
        {QStringLiteral("common"),
         QStringLiteral("With 3p3w: the voltage terminal that carries line B (the common line)."),
         QStringLiteral("1|2|3")},
        {QStringLiteral("load-angle"),
         QStringLiteral("The load angles to expect, lagging positive (default -30:60)."),
         QStringLiteral("MIN:MAX")},
        {QStringLiteral("format"), QStringLiteral("text (the default) or json."),
         QStringLiteral("text|json"), QStringLiteral("text")},
    });
    if (const auto done = parseArguments(parser, kCommand, kUsage, kDescription, arguments))
        return *done;

    WiringSettings settings;
    bool json = false;
    std::optional<QByteArray> block;
    try {
        if (!parser.positionalArguments().isEmpty())
            throw Problem{QStringLiteral("unexpected argument \"%1\".")
                              .arg(parser.positionalArguments().first())};
        settings = settingsFrom(parser);
        const QString format = parser.value(QStringLiteral("format"));
        if (format != QLatin1String("text") && format != QLatin1String("json"))
            throw Problem{QStringLiteral("--format is text or json, not \"%1\".").arg(format)};
        json = format == QLatin1String("json");
        if (parser.isSet(port) && parser.isSet(QStringLiteral("block")))
            throw Problem{QStringLiteral("give either --port or --block, not both.")};
        if (parser.isSet(port) && parser.value(port).isEmpty())
            throw Problem{QStringLiteral("--port needs a device, e.g. /dev/ttyUSB0.")};
        if (parser.isSet(QStringLiteral("block"))) {
            QString error;
            block = blockFromHex(parser.value(QStringLiteral("block")), error);
            if (!block)
                throw Problem{QStringLiteral("--block is not a measurement block: %1; a block is "
                                             "22 bytes, 44 hex digits.")
                                  .arg(error)};
        }
    } catch (const Problem& problem) {
        return usageError(kCommand, problem.text);
    }

    if (block) {
        Panel panel;
        livein(*block, panel);
        return report(panel, settings, json);
    }

    const QString device = parser.value(port);
    if (!device.isEmpty())
        setPortDevices({device});
    MeterLink link(device.isEmpty() ? kPortCount : 1);
    auto finish = [&link](int code) {
        link.stop();
        QCoreApplication::exit(code);
    };
    link.onReply = [&](ReplyKind kind) {
        if (kind == ReplyKind::Live)
            finish(report(link.core().panel, settings, json));
    };
    link.onFailure = [&finish](const QString& message) {
        printError(message);
        finish(kExitFailure);
    };
    SignalWatcher interrupt([&finish](int) { finish(kExitFailure); });
    link.start();
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
