#include "telemetry/MqttPublisher.h"

#include "telemetry/HaDiscovery.h"

#include <QHostInfo>
#include <QRandomGenerator>
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
// A broker that does not confirm the subscriptions in this time is published to all the same.
constexpr auto kSubscribeLimit = 10s;

bool saysPublisherIsThere(const QByteArray& status) {
    return status == kOnline.toUtf8() || status == kNoMeter.toUtf8();
}

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
    idCheckLimit_.setSingleShot(true);
    connect(&idCheckLimit_, &QTimer::timeout, this, [this] {
        // No publisher answered (a status left behind by one that is gone), or the broker
        // did not confirm the subscriptions.
        if (idCheck_ != IdCheck::Done && idCheck_ != IdCheck::Taken)
            idCheckDone();
    });
    token_ = QByteArray::number(QRandomGenerator::global()->generate64(), 16);
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
    if (connected_ && idCheck_ == IdCheck::Done)
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
    subscribed_ = false;
    messages_.clear();
    queue_.connectionLost();
    // A check cut short by a lost connection starts again on the next one.
    if (idCheck_ != IdCheck::Done && idCheck_ != IdCheck::Taken) {
        idCheck_ = IdCheck::NotYet;
        idCheckLimit_.stop();
    }
}

void MqttPublisher::connectNow(const QString& host) {
    forgetConnection();
    // A fresh client each time: what the last connection had in flight is in our queue, and is
    // sent again from there, so that libmosquitto's own copies cannot send it twice.
    // A client ID of its own: one equal to another program's would push that one off the
    // broker before the check could tell that the ID is taken.
    const QByteArray clientId = settings_.id.toUtf8() + '-' + token_;
    client_.reset(mosquitto_new(clientId.constData(), true, this));
    if (!client_) {
        dropConnection(
            QStringLiteral("cannot make an MQTT client: %1").arg(errorText(MOSQ_ERR_ERRNO)));
        return;
    }
    mosquitto* m = client_.get();
    mosquitto_connect_callback_set(m, &MqttPublisher::connectCallback);
    mosquitto_publish_callback_set(m, &MqttPublisher::publishCallback);
    mosquitto_disconnect_callback_set(m, &MqttPublisher::disconnectCallback);
    mosquitto_subscribe_callback_set(m, &MqttPublisher::subscribeCallback);
    mosquitto_message_callback_set(m, &MqttPublisher::messageCallback);
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
    if (subscribed_ && client_) {
        subscribed_ = false;
        if (idCheck_ == IdCheck::Subscribing) {
            // Once this comes back, every retained status has come before it.
            const QByteArray probe = probeTopic().toUtf8();
            mosquitto_publish(client_.get(), nullptr, probe.constData(), int(token_.size()),
                              token_.constData(), 1, false);
            idCheck_ = IdCheck::Probing;
        }
    }
    takeMessages();
    if (idCheck_ == IdCheck::Taken)
        return;
    if (disconnected_ || (rc != MOSQ_ERR_SUCCESS)) {
        dropConnection(rc != MOSQ_ERR_SUCCESS ? errorText(rc)
                                              : QStringLiteral("the connection was closed"));
        return;
    }
    publishPending();
}

QString MqttPublisher::probeTopic() const {
    return settings_.prefix + QLatin1Char('/') + settings_.id + QStringLiteral("/probe");
}

void MqttPublisher::connectionUp() {
    connected_ = true;
    backoff_ = 0ms;
    // On every connection: another program checking this ID is answered while this one runs.
    const QByteArray status = settings_.statusTopic().toUtf8();
    const QByteArray probe = probeTopic().toUtf8();
    mosquitto_subscribe(client_.get(), nullptr, status.constData(), 1);
    mosquitto_subscribe(client_.get(), &subscribeMid_, probe.constData(), 1);
    if (idCheck_ == IdCheck::NotYet) {
        idCheck_ = IdCheck::Subscribing;
        retainedStatus_.clear();
        idCheckLimit_.start(kSubscribeLimit);
        return;
    }
    published();
}

void MqttPublisher::takeMessages() {
    const std::vector<Message> messages = std::move(messages_);
    messages_.clear();
    const QByteArray status = settings_.statusTopic().toUtf8();
    const QByteArray probe = probeTopic().toUtf8();
    for (const Message& m : messages) {
        const bool checking = idCheck_ == IdCheck::Subscribing || idCheck_ == IdCheck::Probing ||
                              idCheck_ == IdCheck::AwaitingAnswer;
        if (m.topic == status && checking) {
            if (m.retained) {
                retainedStatus_ = m.payload;
            } else if (saysPublisherIsThere(m.payload)) {
                idTaken(); // said now, by a program that is there
                return;
            }
        } else if (m.topic == probe && m.payload == token_) {
            if (idCheck_ != IdCheck::Probing)
                continue;
            if (saysPublisherIsThere(retainedStatus_)) {
                idCheck_ = IdCheck::AwaitingAnswer;
                idCheckLimit_.start(kAnswerLimit);
            } else {
                idCheckDone();
            }
        } else if (idCheck_ == IdCheck::Done && connected_ && !done_ &&
                   (m.topic == probe || (m.topic == status && m.payload == kOffline))) {
            // "I am here", to a program checking this ID; and the status again over the last
            // will of a program gone that had published as it.
            publishRetained(settings_.statusTopic(), status_.toUtf8());
        }
    }
}

void MqttPublisher::idCheckDone() {
    idCheck_ = IdCheck::Done;
    idCheckLimit_.stop();
    if (connected_) {
        published();
        publishPending();
    }
}

void MqttPublisher::idTaken() {
    idCheck_ = IdCheck::Taken;
    idCheckLimit_.stop();
    miscTimer_.stop();
    retryTimer_.stop();
    // A clean goodbye: the last will would say "offline" for the other program.
    if (client_) {
        mosquitto_disconnect(client_.get());
        mosquitto_loop_write(client_.get(), 1);
    }
    readWatch_.reset();
    writeWatch_.reset();
    client_.reset();
    connected_ = false;
    finished_ = true;
    const QString message =
        QStringLiteral("Another program publishes as %1; choose --mqtt-id.").arg(settings_.id);
    if (onIdTaken)
        onIdTaken(message);
    else if (onProblem)
        onProblem(message);
}

void MqttPublisher::published() {
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
    if (!connected_ || !client_ || idCheck_ != IdCheck::Done)
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
    if (!done_ || !connected_ || !queue_.empty() || offlineMid_ != 0 || idCheck_ != IdCheck::Done)
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
    // Ending before the ID was checked: no last will, which would say "offline" for another
    // program that may publish as this ID.
    if (client_ && connected_ && (offlineMid_ == -1 || idCheck_ != IdCheck::Done)) {
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

void MqttPublisher::subscribeCallback(mosquitto*, void* self, int mid, int, const int*) {
    auto* p = static_cast<MqttPublisher*>(self);
    if (mid == p->subscribeMid_)
        p->subscribed_ = true;
}

void MqttPublisher::messageCallback(mosquitto*, void* self, const mosquitto_message* m) {
    static_cast<MqttPublisher*>(self)->messages_.push_back(
        {QByteArray(m->topic), QByteArray(static_cast<const char*>(m->payload), m->payloadlen),
         m->retain});
}

} // namespace pm
