#include "fakes/Broker.h"

#include "Files.h"
#include "fakes/WaitUntil.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <mosquitto.h>

namespace {

int freeLoopbackPort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

bool accepts(int port) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(port));
    return socket.waitForConnected(200);
}

} // namespace

Broker::Broker(const QString& user, const QString& password) : port_(freeLoopbackPort()) {
    QByteArray config = "listener " + QByteArray::number(port_) +
                        " 127.0.0.1\n"
                        // As root it would otherwise drop to a user that cannot read this folder.
                        "user root\n"
                        "persistence true\n"
                        "persistence_location " +
                        dir_.path().toUtf8() + "/\n";
    if (user.isEmpty()) {
        config += "allow_anonymous true\n";
    } else {
        const QString passwords = dir_.filePath(QStringLiteral("passwords"));
        writeFile(passwords, {});
        QProcess::execute(QStringLiteral("mosquitto_passwd"),
                          {QStringLiteral("-b"), passwords, user, password});
        config += "allow_anonymous false\npassword_file " + passwords.toUtf8() + "\n";
    }
    config_ = config;
    writeFile(dir_.filePath(QStringLiteral("mosquitto.conf")), config);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setStandardOutputFile(dir_.filePath(QStringLiteral("broker.log")), QIODevice::Append);
}

QString Broker::useTls() {
    auto file = [this](const char* name) { return dir_.filePath(QString::fromLatin1(name)); };
    auto openssl = [](const QStringList& arguments) {
        QProcess p;
        p.start(QStringLiteral("openssl"), arguments);
        return p.waitForFinished(30000) && p.exitCode() == 0;
    };
    writeFile(file("ext"), "subjectAltName=IP:127.0.0.1\n");
    const bool made =
        openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                 "/CN=phasemeter test CA", "-keyout", file("ca.key"), "-out", file("ca.crt")}) &&
        openssl({"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-keyout",
                 file("server.key"), "-out", file("server.csr")}) &&
        openssl({"x509", "-req", "-in", file("server.csr"), "-CA", file("ca.crt"), "-CAkey",
                 file("ca.key"), "-CAcreateserial", "-days", "2", "-extfile", file("ext"), "-out",
                 file("server.crt")});
    if (!made)
        return {};
    writeFile(file("mosquitto.conf"), config_ + "cafile " + file("ca.crt").toUtf8() +
                                          "\ncertfile " + file("server.crt").toUtf8() +
                                          "\nkeyfile " + file("server.key").toUtf8() + "\n");
    return file("ca.crt");
}

Broker::~Broker() {
    stop();
}

bool Broker::start() {
    process_.start(QStringLiteral("/usr/sbin/mosquitto"),
                   {QStringLiteral("-c"), dir_.filePath(QStringLiteral("mosquitto.conf"))});
    return process_.waitForStarted(5000) &&
           waitUntil([this] { return process_.state() != QProcess::Running || accepts(port_); },
                     10000) &&
           process_.state() == QProcess::Running;
}

void Broker::stop() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(3000);
    }
}

QString Broker::url(const QString& prefix) const {
    return QStringLiteral("mqtt://127.0.0.1:%1/%2").arg(port_).arg(prefix);
}

QString Broker::log() const {
    return QString::fromUtf8(readFile(dir_.filePath(QStringLiteral("broker.log"))));
}

Subscriber::Subscriber(int port, const QString& topic, const QString& clientId)
    : topic_(topic.toUtf8()) {
    mosquitto_lib_init();
    client_ = mosquitto_new(clientId.toUtf8().constData(), false, this);
    mosquitto_connect_callback_set(client_, &Subscriber::onConnect);
    mosquitto_subscribe_callback_set(client_, &Subscriber::onSubscribe);
    mosquitto_message_callback_set(client_, &Subscriber::onMessage);
    mosquitto_connect(client_, "127.0.0.1", port, 30);
}

Subscriber::~Subscriber() {
    mosquitto_disconnect(client_);
    mosquitto_destroy(client_);
}

void Subscriber::poll() {
    if (mosquitto_loop(client_, 0, 100) != MOSQ_ERR_SUCCESS)
        mosquitto_reconnect(client_); // the broker is away: tried again on the next poll
}

bool Subscriber::waitUntil(const std::function<bool()>& done, int timeoutMs) {
    return ::waitUntil(
        [&] {
            poll();
            return done();
        },
        timeoutMs);
}

void Subscriber::onConnect(mosquitto* m, void* self, int rc) {
    auto* s = static_cast<Subscriber*>(self);
    if (rc == 0)
        mosquitto_subscribe(m, nullptr, s->topic_.constData(), 1);
}

void Subscriber::onSubscribe(mosquitto*, void* self, int, int, const int*) {
    static_cast<Subscriber*>(self)->subscribed_ = true;
}

void Subscriber::onMessage(mosquitto*, void* self, const mosquitto_message* m) {
    static_cast<Subscriber*>(self)->messages.push_back(
        {QString::fromUtf8(m->topic),
         QByteArray(static_cast<const char*>(m->payload), m->payloadlen), m->retain});
}
