// For the MQTT tests: the broker scripts/with-mosquitto started, a private
// broker a test may stop and start again, and a subscriber on libmosquitto
// that keeps every message it receives.
#pragma once

#include "BrokerAddress.h"

#include <mosquitto.h>

#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>

namespace publish_test {

// A port of 127.0.0.1 nobody listens on now.
inline quint16 freePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &size);
    ::close(s);
    return ntohs(a.sin_port);
}

inline bool accepts(quint16 port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

struct Message {
    QByteArray topic;
    QByteArray payload;
    bool retained = false;
};

// The broker's URLs from with-mosquitto; empty when the tests run without it.
inline QString brokerUrl() { return qEnvironmentVariable("QZ5801_TEST_MQTT_URL"); }
inline QString tlsBrokerUrl() { return qEnvironmentVariable("QZ5801_TEST_MQTTS_URL"); }

class Subscriber {
public:
    // clientId given: a persistent session (QoS 1 messages kept by the broker while away).
    explicit Subscriber(const QString &url, const QByteArray &filter, const QByteArray &clientId = {})
    {
        mosquitto_lib_init();
        std::string problem;
        const auto a = mqtt::parseBrokerAddress(url.toStdString(), problem);
        QVERIFY2(a, problem.c_str());
        address = *a;
        topicFilter = filter;
        client = mosquitto_new(clientId.isEmpty() ? nullptr : clientId.constData(), clientId.isEmpty(), this);
        QVERIFY(client);
        if (!address.user.empty())
            mosquitto_username_pw_set(client, address.user.c_str(), address.password ? address.password->c_str() : nullptr);
        mosquitto_reconnect_delay_set(client, 1, 1, false);
        mosquitto_connect_callback_set(client, [](mosquitto *m, void *self, int rc) {
            auto *s = static_cast<Subscriber *>(self);
            if (rc == 0)
                mosquitto_subscribe(m, nullptr, s->topicFilter.constData(), 1);
        });
        mosquitto_subscribe_callback_set(client, [](mosquitto *, void *self, int, int, const int *) {
            auto *s = static_cast<Subscriber *>(self);
            std::lock_guard lock(s->mutex);
            ++s->subscriptions;
        });
        mosquitto_message_callback_set(client, [](mosquitto *, void *self, const mosquitto_message *m) {
            auto *s = static_cast<Subscriber *>(self);
            std::lock_guard lock(s->mutex);
            s->received.push_back(Message{QByteArray(m->topic),
                                          QByteArray(static_cast<const char *>(m->payload), m->payloadlen), m->retain});
        });
        QCOMPARE(mosquitto_connect_async(client, address.host.c_str(), address.port, 10), MOSQ_ERR_SUCCESS);
        QCOMPARE(mosquitto_loop_start(client), MOSQ_ERR_SUCCESS);
        QTRY_VERIFY_WITH_TIMEOUT(subscribed(), 10000);
    }
    ~Subscriber()
    {
        if (!client)
            return;
        mosquitto_disconnect(client);
        mosquitto_loop_stop(client, false);
        mosquitto_destroy(client);
    }

    bool subscribed()
    {
        std::lock_guard lock(mutex);
        return subscriptions > 0;
    }
    QList<Message> messages()
    {
        std::lock_guard lock(mutex);
        return received;
    }
    QList<Message> on(const QByteArray &topic)
    {
        QList<Message> out;
        for (const Message &m : messages())
            if (m.topic == topic)
                out << m;
        return out;
    }
    int count(const QByteArray &topic) { return int(on(topic).size()); }
    // As published, leaving out the retained copies a (re)subscription brings.
    QList<Message> live(const QByteArray &topic)
    {
        QList<Message> out;
        for (const Message &m : on(topic))
            if (!m.retained)
                out << m;
        return out;
    }

private:
    mqtt::BrokerAddress address;
    QByteArray topicFilter;
    mosquitto *client = nullptr;
    std::mutex mutex;
    int subscriptions = 0;
    QList<Message> received;
};

// A broker of the test's own on a free port (no password), with persistence
// so a subscriber's session outlives a restart.
class PrivateBroker {
public:
    PrivateBroker()
    {
        QVERIFY(folder.isValid());
        port = freePort();
        QFile conf(folder.filePath("mosquitto.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence true\n"
                                  "persistence_location %2/\nlog_dest none\n")
                       .arg(port)
                       .arg(folder.path())
                       .toUtf8());
        conf.close();
        QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                                 QFileDevice::ReadOther | QFileDevice::WriteOther |
                                                 QFileDevice::ExeOther);
        start();
    }
    ~PrivateBroker() { stop(); }

    void start()
    {
        process.start(QStringLiteral("/usr/sbin/mosquitto"), {QStringLiteral("-c"), folder.filePath("mosquitto.conf")});
        QVERIFY(process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(accepts(port), 10000);
    }
    void stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate(); // saves the sessions
        process.waitForFinished(10000);
    }
    QString url() const { return QStringLiteral("mqtt://127.0.0.1:%1").arg(port); }

private:
    QTemporaryDir folder;
    QProcess process;
    quint16 port = 0;
};

} // namespace publish_test
