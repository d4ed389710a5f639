#include "telemetry/TelemetryOptions.h"

#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QUrl>

namespace pm {

namespace {

enum Option { Mqtt, Id, User, PasswordFile, CaFile, HaDiscovery, Metrics };

bool isIdCharacter(QChar c) {
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_') ||
           c == QLatin1Char('-');
}

// The first line of the file: editors add a newline, which is no part of the password.
std::optional<QString> readPasswordFile(const QString& path, QString* error) {
    // A FIFO would hold the tool at its start until something writes to it; a device may
    // never end.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        *error = QStringLiteral("The MQTT password file %1 is not a plain file.").arg(path);
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read the MQTT password file %1: %2.")
                     .arg(path, file.errorString());
        return std::nullopt;
    }
    QByteArray line = file.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty()) {
        *error = QStringLiteral("The MQTT password file %1 is empty.").arg(path);
        return std::nullopt;
    }
    return QString::fromUtf8(line);
}

} // namespace

QString MqttSettings::url() const {
    return QStringLiteral("%1://%2:%3/%4")
        .arg(tls ? QStringLiteral("mqtts") : QStringLiteral("mqtt"), host)
        .arg(port)
        .arg(prefix);
}

TelemetryOptions::TelemetryOptions() {
    options_ = {
        {QStringLiteral("mqtt"),
         QStringLiteral("Publish every reading to the MQTT broker at <URL>: "
                        "mqtt://host[:port]/PREFIX, or mqtts:// for TLS."),
         QStringLiteral("URL")},
        {QStringLiteral("mqtt-id"),
         QStringLiteral("The meter's name in the topics (letters, digits, _ and -); by default "
                        "the host name and the port's name."),
         QStringLiteral("ID")},
        {QStringLiteral("mqtt-user"), QStringLiteral("Log in to the broker as <USER>."),
         QStringLiteral("USER")},
        {QStringLiteral("mqtt-password-file"),
         QStringLiteral("Read the broker password from the first line of <FILE> (or set "
                        "PHASEMETER_MQTT_PASSWORD)."),
         QStringLiteral("FILE")},
        {QStringLiteral("mqtt-cafile"),
         QStringLiteral("Trust the broker certificates signed by <CA> (mqtts://); by default "
                        "the system's."),
         QStringLiteral("CA")},
        {QStringLiteral("ha-discovery"),
         QStringLiteral("Announce the meter to Home Assistant (retained discovery configs).")},
        {QStringLiteral("metrics"),
         QStringLiteral("Serve the readings to Prometheus on http://<ADDRESS:PORT>/metrics "
                        "(127.0.0.1 unless an address is given)."),
         QStringLiteral("ADDRESS:PORT")},
    };
}

void TelemetryOptions::addTo(QCommandLineParser& parser) const {
    parser.addOptions(options_);
}

std::optional<TelemetrySettings> TelemetryOptions::settings(const QCommandLineParser& parser,
                                                            const QString& portDevice,
                                                            QString* error) const {
    auto isSet = [&](Option o) { return parser.isSet(options_[o]); };
    auto value = [&](Option o) { return parser.value(options_[o]); };
    TelemetrySettings s;
    if (isSet(Metrics)) {
        s.metrics = parseMetricsAddress(value(Metrics), error);
        if (!s.metrics)
            return std::nullopt;
    }
    if (!isSet(Mqtt)) {
        for (Option o : {Id, User, PasswordFile, CaFile, HaDiscovery})
            if (isSet(o)) {
                *error = QStringLiteral("--%1 goes with --mqtt.").arg(options_[o].names().first());
                return std::nullopt;
            }
        return s;
    }
    auto mqtt = parseMqttUrl(value(Mqtt), error);
    if (!mqtt)
        return std::nullopt;
    if (isSet(CaFile)) {
        if (!mqtt->tls) {
            *error = QStringLiteral("--mqtt-cafile is for mqtts:// brokers.");
            return std::nullopt;
        }
        mqtt->caFile = value(CaFile);
        if (!QFileInfo(mqtt->caFile).isReadable()) {
            *error = QStringLiteral("Cannot read the CA file %1.").arg(mqtt->caFile);
            return std::nullopt;
        }
    }
    mqtt->id = isSet(Id) ? value(Id) : defaultMqttId(QHostInfo::localHostName(), portDevice);
    mqtt->idNamesNoPort = !isSet(Id) && portDevice.isEmpty();
    if (!isValidMqttId(mqtt->id)) {
        *error = QStringLiteral("--mqtt-id takes letters, digits, _ and - only, not \"%1\".")
                     .arg(mqtt->id);
        return std::nullopt;
    }
    if (mqtt->statusTopic().toUtf8().size() > kMaxMqttTopicBytes) {
        *error = QStringLiteral("The MQTT topic %1/%2/status is longer than the %3 bytes MQTT "
                                "allows: choose a shorter prefix or --mqtt-id.")
                     .arg(mqtt->prefix.left(20) + QStringLiteral("..."), mqtt->id)
                     .arg(kMaxMqttTopicBytes);
        return std::nullopt;
    }
    mqtt->user = value(User);
    if (isSet(User) && mqtt->user.isEmpty()) {
        *error = QStringLiteral("--mqtt-user needs a user name.");
        return std::nullopt;
    }
    if (isSet(PasswordFile)) {
        if (mqtt->user.isEmpty()) {
            *error = QStringLiteral("--mqtt-password-file goes with --mqtt-user.");
            return std::nullopt;
        }
        const auto password = readPasswordFile(value(PasswordFile), error);
        if (!password)
            return std::nullopt;
        mqtt->password = *password;
    } else if (!mqtt->user.isEmpty()) {
        mqtt->password = qEnvironmentVariable("PHASEMETER_MQTT_PASSWORD");
    }
    mqtt->haDiscovery = isSet(HaDiscovery);
    s.mqtt = std::move(mqtt);
    return s;
}

std::optional<MqttSettings> parseMqttUrl(const QString& text, QString* error) {
    auto bad = [&](const QString& why) {
        *error = QStringLiteral("\"%1\" is no broker URL: %2 Write mqtt://host[:port]/PREFIX "
                                "or mqtts://host[:port]/PREFIX.")
                     .arg(text, why);
        return std::nullopt;
    };
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return bad(url.errorString() + QLatin1Char('.'));
    MqttSettings s;
    if (url.scheme() == QLatin1String("mqtts"))
        s.tls = true;
    else if (url.scheme() != QLatin1String("mqtt"))
        return bad(QStringLiteral("it must start with mqtt:// or mqtts://."));
    if (!url.userInfo().isEmpty())
        return bad(QStringLiteral("no user or password in it (use --mqtt-user and "
                                  "--mqtt-password-file)."));
    if (url.host().isEmpty())
        return bad(QStringLiteral("it names no host."));
    if (url.hasQuery() || url.hasFragment())
        return bad(QStringLiteral("it takes no ? or #."));
    s.host = url.host();
    s.port = url.port(s.tls ? kMqttTlsPort : kMqttPort);
    if (s.port < 1)
        return bad(QStringLiteral("the port must be 1 to 65535."));
    QString prefix = url.path(QUrl::FullyDecoded);
    while (prefix.startsWith(QLatin1Char('/')))
        prefix.remove(0, 1);
    while (prefix.endsWith(QLatin1Char('/')))
        prefix.chop(1);
    if (prefix.isEmpty())
        return bad(QStringLiteral("it names no topic prefix after the host."));
    if (prefix.contains(QLatin1Char('+')) || prefix.contains(QLatin1Char('#')) ||
        prefix.contains(QStringLiteral("//")) || prefix.contains(QChar(0)))
        return bad(QStringLiteral("the topic prefix may hold no +, # or empty level."));
    // The longest topic, PREFIX/ID/status, must fit in MQTT's 65,535 bytes with an ID of one.
    if (prefix.toUtf8().size() + qsizetype(sizeof("/x/status")) - 1 > kMaxMqttTopicBytes)
        return bad(QStringLiteral("the topic prefix is longer than the %1 bytes MQTT allows.")
                       .arg(kMaxMqttTopicBytes));
    s.prefix = prefix;
    return s;
}

std::optional<MetricsSettings> parseMetricsAddress(const QString& text, QString* error) {
    auto bad = [&] {
        *error = QStringLiteral("--metrics takes ADDRESS:PORT or PORT (e.g. 127.0.0.1:9100 or "
                                "0.0.0.0:9100), not \"%1\".")
                     .arg(text);
        return std::nullopt;
    };
    MetricsSettings s;
    QString portText = text;
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        QString host = text.left(colon);
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
            host = host.mid(1, host.size() - 2);
        if (host.isEmpty() || !s.address.setAddress(host))
            return bad();
        portText = text.mid(colon + 1);
    }
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (!ok || port > 65535)
        return bad();
    s.port = quint16(port);
    return s;
}

QString defaultMqttId(const QString& hostName, const QString& portDevice) {
    QString id = hostName.isEmpty() ? QStringLiteral("phasemeter") : hostName;
    if (!portDevice.isEmpty())
        id += QLatin1Char('-') + QFileInfo(portDevice).fileName();
    for (QChar& c : id)
        if (!isIdCharacter(c))
            c = QLatin1Char('_');
    return id;
}

bool isValidMqttId(const QString& id) {
    return !id.isEmpty() && std::all_of(id.begin(), id.end(), isIdCharacter);
}

} // namespace pm
