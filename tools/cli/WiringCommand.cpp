#include "analysis/WiringCheck.h"
#include "analysis/WiringVerdict.h"
#include "cli/Cli.h"
#include "cli/HexBlock.h"
#include "cli/MeterLink.h"
#include "common/SignalWatcher.h"
#include "platform/PortMap.h"
#include "protocol/Decode.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <numbers>

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

QJsonValue optionalNumber(const std::optional<double>& value, int decimals) {
    return value ? QJsonValue(rounded(*value, decimals)) : QJsonValue(QJsonValue::Null);
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

QJsonArray matchesJson(const WiringResult& r) {
    QJsonArray matches;
    for (const ThreeWireMatch& m : r.threeWire) {
        matches.append(QJsonObject{
            {QStringLiteral("terminals"), m.connection.terminalText()},
            {QStringLiteral("i1"), m.connection.i1.code()},
            {QStringLiteral("i2"), m.connection.i2.code()},
            {QStringLiteral("load_angle"), rounded(m.loadAngle, 1)},
            {QStringLiteral("pf"), rounded(std::cos(m.loadAngle * std::numbers::pi / 180), 3)},
            {QStringLiteral("k"), optionalNumber(m.k, 3)},
            {QStringLiteral("correct"), m.connection.correct()},
        });
    }
    for (const FourWireMatch& m : r.fourWire) {
        matches.append(QJsonObject{
            {QStringLiteral("i1"), fourWireCurrent(r.settings, 0, m.channels[0]).code()},
            {QStringLiteral("i2"), fourWireCurrent(r.settings, 1, m.channels[1]).code()},
            {QStringLiteral("load_angle"), rounded(m.loadAngle, 1)},
            {QStringLiteral("pf"), rounded(std::cos(m.loadAngle * std::numbers::pi / 180), 3)},
            {QStringLiteral("share1"), optionalNumber(m.channels[0].share, 3)},
            {QStringLiteral("share2"), optionalNumber(m.channels[1].share, 3)},
            {QStringLiteral("correct"), m.faults() == 0},
        });
    }
    return matches;
}

QByteArray jsonText(const WiringResult& r) {
    const WiringSettings& s = r.settings;
    QJsonObject o;
    o.insert(QStringLiteral("system"), s.system == WiringSystem::ThreeWire  ? "3p3w"
                                       : s.system == WiringSystem::FourWire ? "3p4w"
                                                                            : "group");
    if (s.system == WiringSystem::VectorGroup) {
        o.insert(QStringLiteral("sequence"), QJsonValue::Null);
        o.insert(QStringLiteral("clock"), r.group->clock);
        o.insert(QStringLiteral("angle"), rounded(r.group->angle, 1));
        o.insert(QStringLiteral("deviation"), rounded(r.group->deviation, 1));
    } else {
        o.insert(QStringLiteral("sequence"), sequenceName(r.sequence));
    }
    if (s.system == WiringSystem::FourWire)
        o.insert(QStringLiteral("elements"),
                 QStringLiteral("%1%2").arg(s.firstElement).arg(s.secondElement()));
    o.insert(QStringLiteral("matches"), matchesJson(r));
    o.insert(QStringLiteral("notes"), QJsonArray::fromStringList(r.notes));
    o.insert(QStringLiteral("verdict"), wiringVerdict(r));
    QJsonArray channels;
    for (const ChannelPower& c : r.channels)
        channels.append(QJsonObject{
            {QStringLiteral("signal"), c.signal},
            {QStringLiteral("character"), characterName(c.character)},
            {QStringLiteral("power_flows_back"), c.flowsBack},
            {QStringLiteral("p"), rounded(c.p, 4)},
            {QStringLiteral("q"), rounded(c.q, 4)},
        });
    o.insert(QStringLiteral("channels"), channels);
    o.insert(QStringLiteral("total_p"), rounded(r.totalP, 4));
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
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
