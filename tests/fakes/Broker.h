#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <vector>

struct mosquitto;

// A real mosquitto on a free loopback port, its configuration, persistence and password file in a
// folder of its own; stopped (and waited for) on destruction. It keeps the sessions of
// subscribers across a restart, so what is published while one is away reaches it later.
class Broker {
public:
    // `user`/`password`: only this login is let in; none: anyone is.
    explicit Broker(const QString& user = {}, const QString& password = {});
    // From now on it speaks TLS only, with a certificate for 127.0.0.1 signed by a CA made here
    // (openssl); the CA's certificate file, or empty when it could not be made.
    QString useTls();
    ~Broker();
    Broker(const Broker&) = delete;
    Broker& operator=(const Broker&) = delete;

    bool start(); // true once it accepts connections
    void stop();  // SIGTERM: its sessions are saved
    int port() const { return port_; }
    QString url(const QString& prefix) const;
    QString dir() const { return dir_.path(); }
    QString log() const;

private:
    QTemporaryDir dir_;
    QByteArray config_;
    QProcess process_;
    int port_ = 0;
};

// A subscriber on libmosquitto, polled by the test (no thread). With a session that outlives the
// connection, QoS 1: it reconnects by itself and gets what was published meanwhile.
class Subscriber {
public:
    struct Message {
        QString topic;
        QByteArray payload;
        bool retained = false;
    };

    Subscriber(int port, const QString& topic, const QString& clientId);
    ~Subscriber();
    Subscriber(const Subscriber&) = delete;
    Subscriber& operator=(const Subscriber&) = delete;

    // Polls the connection until `done` holds; false after `timeoutMs`.
    bool waitUntil(const std::function<bool()>& done, int timeoutMs);
    bool subscribed() const { return subscribed_; }
    std::vector<Message> messages;

private:
    void poll();
    static void onConnect(mosquitto*, void* self, int rc);
    static void onSubscribe(mosquitto*, void* self, int, int, const int*);
    static void onMessage(mosquitto*, void* self, const struct mosquitto_message* m);

    mosquitto* client_ = nullptr;
    QByteArray topic_;
    bool subscribed_ = false;
};
