#pragma once

#include "telemetry/PublishQueue.h"
#include "telemetry/TelemetryOptions.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace pm {

// Publishes the readings to an MQTT broker, on the program's one thread: libmosquitto's socket is
// watched by socket notifiers and its keep-alive runs on a timer, so nothing here ever waits on
// the network. Readings are queued until the broker has acknowledged them; a lost broker is
// tried again with a growing pause, and the queue is sent in order once it is back.
class MqttPublisher : public QObject {
public:
    explicit MqttPublisher(MqttSettings settings, QObject* parent = nullptr);
    ~MqttPublisher() override;

    const MqttSettings& settings() const { return settings_; }

    // The first connection attempt; what comes of it is told through the callbacks.
    void start();
    // When the first connection fails, say so once and try no more (the command-line tool ends
    // then); by default it is tried again, as after a later loss.
    void setGiveUpAtStart(bool giveUp) { giveUpAtStart_ = giveUp; }
    // One reading's state message: published now, or as soon as the broker can take it.
    void publishReading(QByteArray json);
    // "online" while the meter answers, "no meter" while it is silent (retained).
    void setMeterAnswering(bool answering);
    // Sends what is still queued for at most `limit`, says "offline" and disconnects; `done` gets
    // the number of readings that did not reach the broker.
    void finish(std::chrono::milliseconds limit, std::function<void(std::size_t)> done);

    bool everConnected() const { return everConnected_; }
    bool isConnected() const { return connected_; }
    std::size_t queued() const { return queue_.size(); }

    std::function<void(const QString&)> onConnected; // a connection is up (first or again)
    std::function<void(const QString&)> onProblem;   // refused, unreachable or lost; retrying
    // Another program that answers publishes as this ID: nothing was published, and nothing
    // will be. Without it, said through onProblem.
    std::function<void(const QString&)> onIdTaken;

    // How long a publisher that the retained status says is there has to answer.
    static constexpr std::chrono::milliseconds kAnswerLimit{3000};

private:
    struct ClientDeleter {
        void operator()(mosquitto* m) const;
    };

    void lookUpBroker();
    // No client, no watches, nothing in flight: what was sent unacknowledged goes again.
    void forgetConnection();
    void connectNow(const QString& host);
    void watchSocket();
    void loopRead();
    void loopWrite();
    void loopMisc();
    // What the callbacks left to do, once libmosquitto has returned.
    void afterLoop(int rc);
    void connectionUp();
    // One ID, one publisher: before the first publication, the retained status is read and,
    // when it says a publisher is there, that publisher is asked to say its status again.
    void startIdCheck();
    void takeMessages();
    void idCheckDone();
    void idTaken();
    void published(); // what a connection publishes once it is up
    QString probeTopic() const;
    void dropConnection(const QString& why);
    void publishPending();
    bool publishRetained(const QString& topic, const QByteArray& payload, int* mid = nullptr);
    void updateWriteWatch();
    void checkFinish();
    void complete();

    static void connectCallback(mosquitto*, void* self, int rc);
    static void publishCallback(mosquitto*, void* self, int mid);
    static void disconnectCallback(mosquitto*, void* self, int rc);
    static void subscribeCallback(mosquitto*, void* self, int mid, int, const int*);
    static void messageCallback(mosquitto*, void* self, const mosquitto_message* m);

    MqttSettings settings_;
    std::unique_ptr<mosquitto, ClientDeleter> client_;
    std::unique_ptr<QSocketNotifier> readWatch_;
    std::unique_ptr<QSocketNotifier> writeWatch_;
    QTimer miscTimer_;  // keep-alive and the connection's time limit
    QTimer retryTimer_; // the next attempt after a failure
    PublishQueue queue_;
    QString status_;
    bool connected_ = false;
    bool everConnected_ = false;
    int connectingFor_ = 0; // misc ticks since the attempt began, until the broker accepts
    std::chrono::milliseconds backoff_{0};
    // Left by the callbacks for afterLoop().
    int connackCode_ = -1;
    bool disconnected_ = false;
    int subscribeMid_ = 0;
    bool subscribed_ = false;
    struct Message {
        QByteArray topic;
        QByteArray payload;
        bool retained = false;
    };
    std::vector<Message> messages_;
    // The check of the ID.
    enum class IdCheck { NotYet, Subscribing, Probing, AwaitingAnswer, Done, Taken };
    IdCheck idCheck_ = IdCheck::NotYet;
    QByteArray token_; // this program's probe, told from another's
    QByteArray retainedStatus_;
    QTimer idCheckLimit_;
    // Finishing.
    std::function<void(std::size_t)> done_;
    QTimer finishLimit_;
    int offlineMid_ = 0;
    bool finished_ = false;
    bool giveUpAtStart_ = false;
};

} // namespace pm
