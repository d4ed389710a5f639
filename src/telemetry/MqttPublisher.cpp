#include "telemetry/MqttPublisher.h"

#include "telemetry/HaDiscovery.h"

#include <QHostInfo>
#include <csignal>
#include <cstring>
#include <mosquitto.h>

namespace pm {

namespace {

using namespace std::chrono_literals;

constexpr int kKeepAliveSeconds = 15;
constexpr int kConnectLimitTicks = 10; // seconds for a broker to accept a connection
constexpr auto kFirstRetry = 1s;
constexpr auto kLongestRetry = 30s;
// Readings handed to libmosquitto at once; the rest wait in our queue, where a lost connection
// cannot lose them.
constexpr std::size_t kInFlight = 100;

const QString kOnline = QStringLiteral("online");
const QString kNoMeter = QStringLiteral("no meter");
const QByteArray kOffline = QByteArrayLiteral("offline");

QString errorText(int rc) {
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QString::fromUtf8(mosquitto_strerror(rc));
}

QString seconds(std::chrono::milliseconds ms) {
    return QStringLiteral("%1 s").arg(ms.count() / 1000);
}

} // namespace

void MqttPublisher::ClientDeleter::operator()(mosquitto* m) const {
    mosquitto_destroy(m);
}

MqttPublisher::MqttPublisher(MqttSettings settings, QObject* parent)
    : QObject(parent), settings_(std::move(settings)), status_(kNoMeter) {
    static const bool initialised = [] {
        mosquitto_lib_init();
        // A broker that goes away mid-write must give an error, not end the program.
        std::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    (void)initialised;
    miscTimer_.setInterval(1s);
    connect(&miscTimer_, &QTimer::timeout, this, [this] { loopMisc(); });
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, [this] { lookUpBroker(); });
    finishLimit_.setSingleShot(true);
    connect(&finishLimit_, &QTimer::timeout, this, [this] { complete(); });
}

MqttPublisher::~MqttPublisher() {
    // Without a DISCONNECT the broker sends the last will: "offline".
    readWatch_.reset();
    writeWatch_.reset();
}

void MqttPublisher::start() {
    // From the event loop, so that even an attempt that fails at once is told to a program that
    // is ready to hear it.
    QTimer::singleShot(0, this, [this] { lookUpBroker(); });
}

void MqttPublisher::lookUpBroker() {
    QHostInfo::lookupHost(settings_.host, this, [this](const QHostInfo& info) {
        if (finished_)
            return;
        const auto addresses = info.addresses();
        if (info.error() != QHostInfo::NoError || addresses.isEmpty()) {
            dropConnection(
                QStringLiteral("cannot find %1 (%2)").arg(settings_.host, info.errorString()));
            return;
        }
        // Plain MQTT goes to the address found, so that connecting never waits on a name server.
        // TLS needs the name to check the broker's certificate; the system has just looked it up.
        QHostAddress address = addresses.first();
        for (const QHostAddress& a : addresses)
            if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                address = a;
                break;
            }
        connectNow(settings_.tls ? settings_.host : address.toString());
    });
}

void MqttPublisher::publishReading(QByteArray json) {
    queue_.push(std::move(json));
    publishPending();
}

void MqttPublisher::setMeterAnswering(bool answering) {
    const QString status = answering ? kOnline : kNoMeter;
    if (status == status_)
        return;
    status_ = status;
    if (connected_)
        publishRetained(settings_.statusTopic(), status_.toUtf8());
    updateWriteWatch();
}

void MqttPublisher::forgetConnection() {
    readWatch_.reset();
    writeWatch_.reset();
    client_.reset();
    connected_ = false;
    connackCode_ = -1;
    disconnected_ = false;
    queue_.connectionLost();
}

void MqttPublisher::connectNow(const QString& host) {
    forgetConnection();
    // A fresh client each time: what the last connection had in flight is in our queue, and is
    // sent again from there, so that libmosquitto's own copies cannot send it twice.
    client_.reset(mosquitto_new(settings_.id.toUtf8().constData(), true, this));
    if (!client_) {
        dropConnection(
            QStringLiteral("cannot make an MQTT client: %1").arg(errorText(MOSQ_ERR_ERRNO)));
        return;
    }
    mosquitto* m = client_.get();
    mosquitto_connect_callback_set(m, &MqttPublisher::connectCallback);
    mosquitto_publish_callback_set(m, &MqttPublisher::publishCallback);
    mosquitto_disconnect_callback_set(m, &MqttPublisher::disconnectCallback);
    const QByteArray will = settings_.statusTopic().toUtf8();
    mosquitto_will_set(m, will.constData(), int(kOffline.size()), kOffline.constData(), 1, true);
    if (!settings_.user.isEmpty())
        mosquitto_username_pw_set(
            m, settings_.user.toUtf8().constData(),
            settings_.password.isEmpty() ? nullptr : settings_.password.toUtf8().constData());
    if (settings_.tls) {
        int rc = MOSQ_ERR_SUCCESS;
        if (settings_.caFile.isEmpty())
            rc = mosquitto_int_option(m, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        else
            rc = mosquitto_tls_set(m, settings_.caFile.toLocal8Bit().constData(), nullptr, nullptr,
                                   nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            dropConnection(QStringLiteral("cannot set up TLS: %1").arg(errorText(rc)));
            return;
        }
    }
    // The name is looked up here; the TCP connection itself completes on the socket's events.
    const int rc =
        mosquitto_connect_async(m, host.toUtf8().constData(), settings_.port, kKeepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        dropConnection(errorText(rc));
        return;
    }
    connectingFor_ = 0;
    watchSocket();
    miscTimer_.start();
}

void MqttPublisher::watchSocket() {
    const int fd = mosquitto_socket(client_.get());
    if (fd < 0) {
        dropConnection(QStringLiteral("no socket"));
        return;
    }
    readWatch_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(readWatch_.get(), &QSocketNotifier::activated, this, [this] { loopRead(); });
    writeWatch_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    connect(writeWatch_.get(), &QSocketNotifier::activated, this, [this] { loopWrite(); });
    updateWriteWatch();
}

void MqttPublisher::loopRead() {
    if (client_)
        afterLoop(mosquitto_loop_read(client_.get(), 1));
}

void MqttPublisher::loopWrite() {
    if (client_)
        afterLoop(mosquitto_loop_write(client_.get(), 1));
}

void MqttPublisher::loopMisc() {
    if (!client_)
        return;
    if (!connected_ && ++connectingFor_ > kConnectLimitTicks) {
        dropConnection(QStringLiteral("no answer within %1 s").arg(kConnectLimitTicks));
        return;
    }
    afterLoop(mosquitto_loop_misc(client_.get()));
}

void MqttPublisher::afterLoop(int rc) {
    if (connackCode_ > 0) {
        const int code = connackCode_;
        dropConnection(
            QStringLiteral("it refused the login (%1)")
                .arg(QString::fromUtf8(mosquitto_connack_string(code)).remove(QLatin1Char('.'))));
        return;
    }
    if (connackCode_ == 0) {
        connackCode_ = -1;
        connectionUp();
    }
    if (disconnected_ || (rc != MOSQ_ERR_SUCCESS)) {
        dropConnection(rc != MOSQ_ERR_SUCCESS ? errorText(rc)
                                              : QStringLiteral("the connection was closed"));
        return;
    }
    publishPending();
}

void MqttPublisher::connectionUp() {
    connected_ = true;
    backoff_ = 0ms;
    const bool again = everConnected_;
    everConnected_ = true;
    publishRetained(settings_.statusTopic(), status_.toUtf8());
    if (settings_.haDiscovery)
        for (const RetainedMessage& config : haDiscoveryConfigs(settings_))
            publishRetained(config.topic, config.payload);
    QString news = again ? QStringLiteral("Back on the MQTT broker %1").arg(settings_.url())
                         : QStringLiteral("Publishing to the MQTT broker %1 as %2")
                               .arg(settings_.url(), settings_.id);
    if (again && !queue_.empty())
        news += QStringLiteral("; sending the %1 readings kept meanwhile").arg(queue_.size());
    if (const std::size_t dropped = queue_.takeDropped())
        news += QStringLiteral("; the %1 oldest readings were dropped: a day's are kept at most")
                    .arg(dropped);
    if (onConnected)
        onConnected(news + QLatin1Char('.'));
    checkFinish();
}

void MqttPublisher::dropConnection(const QString& why) {
    const bool wasConnected = connected_;
    forgetConnection();
    miscTimer_.stop();
    if (done_) {
        // Finishing: nothing more to wait for.
        complete();
        return;
    }
    QString reason = why;
    if (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    if (!everConnected_ && giveUpAtStart_) {
        if (onProblem)
            onProblem(QStringLiteral("Cannot connect to the MQTT broker %1: %2.")
                          .arg(settings_.url(), reason));
        return;
    }
    backoff_ = backoff_ == 0ms ? std::chrono::milliseconds(kFirstRetry)
                               : std::min<std::chrono::milliseconds>(backoff_ * 2, kLongestRetry);
    retryTimer_.start(backoff_);
    QString message =
        wasConnected
            ? QStringLiteral("Lost the MQTT broker %1: %2. The readings are kept until it is "
                             "back; trying again in %3.")
            : QStringLiteral("Cannot connect to the MQTT broker %1: %2. Trying again in %3.");
    message = message.arg(settings_.url(), reason, seconds(backoff_));
    if (onProblem)
        onProblem(message);
}

void MqttPublisher::publishPending() {
    if (!connected_ || !client_)
        return;
    while (queue_.inFlight() < kInFlight) {
        const auto payload = queue_.nextToSend();
        if (!payload)
            break;
        int mid = 0;
        const QByteArray topic = settings_.stateTopic().toUtf8();
        const int rc = mosquitto_publish(client_.get(), &mid, topic.constData(),
                                         int(payload->size()), payload->constData(), 1, false);
        if (rc != MOSQ_ERR_SUCCESS) {
            dropConnection(errorText(rc));
            return;
        }
        queue_.sent(mid);
    }
    updateWriteWatch();
}

bool MqttPublisher::publishRetained(const QString& topic, const QByteArray& payload, int* mid) {
    const QByteArray t = topic.toUtf8();
    return mosquitto_publish(client_.get(), mid, t.constData(), int(payload.size()),
                             payload.constData(), 1, true) == MOSQ_ERR_SUCCESS;
}

void MqttPublisher::updateWriteWatch() {
    if (writeWatch_ && client_)
        writeWatch_->setEnabled(mosquitto_want_write(client_.get()));
}

void MqttPublisher::finish(std::chrono::milliseconds limit, std::function<void(std::size_t)> done) {
    done_ = std::move(done);
    retryTimer_.stop();
    if (!client_) {
        complete();
        return;
    }
    finishLimit_.start(limit);
    checkFinish();
}

void MqttPublisher::checkFinish() {
    if (!done_ || !connected_ || !queue_.empty() || offlineMid_ != 0)
        return;
    // Said by us, not the will: the program ends on purpose.
    if (!publishRetained(settings_.statusTopic(), kOffline, &offlineMid_))
        complete();
    updateWriteWatch();
}

void MqttPublisher::complete() {
    if (!done_)
        return;
    finished_ = true;
    finishLimit_.stop();
    miscTimer_.stop();
    retryTimer_.stop();
    if (client_ && connected_ && offlineMid_ == -1) {
        mosquitto_disconnect(client_.get());
        mosquitto_loop_write(client_.get(), 1);
    }
    readWatch_.reset();
    writeWatch_.reset();
    client_.reset();
    connected_ = false;
    auto done = std::move(done_);
    done_ = nullptr;
    done(queue_.size());
}

void MqttPublisher::connectCallback(mosquitto*, void* self, int rc) {
    static_cast<MqttPublisher*>(self)->connackCode_ = rc;
}

void MqttPublisher::publishCallback(mosquitto*, void* self, int mid) {
    auto* p = static_cast<MqttPublisher*>(self);
    if (p->done_ && mid == p->offlineMid_) {
        p->offlineMid_ = -1; // acknowledged: disconnect cleanly
        QTimer::singleShot(0, p, [p] { p->complete(); });
        return;
    }
    p->queue_.acknowledged(mid);
    if (p->done_ && p->queue_.empty())
        QTimer::singleShot(0, p, [p] { p->checkFinish(); });
}

void MqttPublisher::disconnectCallback(mosquitto*, void* self, int) {
    static_cast<MqttPublisher*>(self)->disconnected_ = true;
}

} // namespace pm
