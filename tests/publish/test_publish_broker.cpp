// qz5801-cli publish and the events of write-config and restore, against a
// real mosquitto broker (scripts/with-mosquitto) and simulated transmitters.
#include "../cli/CliFixture.h"
#include "BrokerSupport.h"

#include "MemoryMap.h"
#include "NumberText.h"
#include "Publisher.h"

#include <QRegularExpression>

#include <csignal>

using namespace publish_test;

namespace {

// The value_pa text as it stands in the payload.
QByteArray valueText(const QByteArray &payload)
{
    const QRegularExpression re(QStringLiteral("\"value_pa\":([^,}]*)"));
    return re.match(QString::fromLatin1(payload)).captured(1).toLatin1();
}

QString withPassword(const QString &url, const QString &password)
{
    QString u = url;
    const qsizetype colon = u.indexOf(':', u.indexOf("//") + 2);
    const qsizetype at = u.indexOf('@');
    return u.left(colon + 1) + password + u.mid(at);
}

QString hostPort(const QString &url) { return url.mid(url.indexOf('@') + 1); }

} // namespace

class TestPublishBroker : public CliFixture {
    Q_OBJECT

    QString url = brokerUrl();

    QStringList publishArgs(const QString &prefix, const QStringList &more = {})
    {
        return QStringList{"publish", "--broker", url, "--topic", prefix} + more;
    }

    // A publish run in the background, for the cases that end it from outside.
    std::unique_ptr<QProcess> startPublish(const QStringList &args, const QStringList &env = {})
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(environment(env));
        p->start(QZ_CLI, args);
        p->waitForStarted();
        return p;
    }

private slots:
    void initTestCase() { setUpCase(); }
    void init() { setUp(); }

    void valuesAndStatusWithTheirPayloads()
    {
        Subscriber sub(url, "values/#");
        const Run r = run(publishArgs("values", {"--count", "3", "--interval", "0.1"}));
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QTRY_COMPARE_WITH_TIMEOUT(sub.count("values/12345/status"), 2, 10000);
        const QList<Message> status = sub.on("values/12345/status");
        QCOMPARE(status[0].payload, QByteArray("online"));
        QCOMPARE(status[1].payload, QByteArray("offline"));
        const QList<Message> values = sub.on("values/12345/value");
        QCOMPARE(values.size(), 3);
        const QRegularExpression isoWithOffset(
            QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d)$)"));
        for (const Message &m : values) {
            QJsonParseError error;
            const QJsonObject o = QJsonDocument::fromJson(m.payload, &error).object();
            QVERIFY2(error.error == QJsonParseError::NoError, m.payload.constData());
            QVERIFY2(isoWithOffset.match(o["time"].toString()).hasMatch(), m.payload.constData());
            const QByteArray text = valueText(m.payload);
            QCOMPARE(QByteArray::fromStdString(shortestFloatText(std::strtof(text.constData(), nullptr))), text);
            const QJsonArray outputs = o["outputs"].toArray();
            QCOMPARE(outputs.size(), 3);
            for (const QJsonValue &v : outputs)
                QVERIFY(v.isBool());
        }
        // the status stays retained for whoever subscribes later
        Subscriber late(url, "values/+/status");
        QTRY_COMPARE_WITH_TIMEOUT(late.count("values/12345/status"), 1, 10000);
        QVERIFY(late.on("values/12345/status")[0].retained);
        QCOMPARE(late.on("values/12345/status")[0].payload, QByteArray("offline"));
    }

    void writeAndRestorePublishTheirEvents()
    {
        Subscriber sub(url, "events/#");
        const QStringList broker{"--broker", url, "--topic", "events"};
        Run r = run(QStringList{"write-config", newFile()} + broker);
        QVERIFY2(r.exitCode == 0, r.err.constData());
        r = run(QStringList{"restore"} + broker);
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QTRY_COMPARE_WITH_TIMEOUT(sub.count("events/12345/event"), 2, 10000);
        QTest::qWait(300);
        const QList<Message> events = sub.on("events/12345/event");
        QCOMPARE(events.size(), 2); // each once
        const QJsonObject written = QJsonDocument::fromJson(events[0].payload).object();
        QCOMPARE(written["operation"].toString(), QStringLiteral("write-config"));
        QCOMPARE(written["result"].toString(), QStringLiteral("written"));
        QCOMPARE(written["serial"].toInt(), 12345);
        QVERIFY(written["record"].toInteger() > 0);
        QVERIFY(written["file_sha256"].toString().size() == 64);
        QVERIFY2(events[0].payload.contains("output 1 higher 60000 Pa -> 65000 Pa"), events[0].payload.constData());
        QVERIFY(!written.contains("before") && !written.contains("after"));
        const QJsonObject restored = QJsonDocument::fromJson(events[1].payload).object();
        QCOMPARE(restored["operation"].toString(), QStringLiteral("restore"));
        QCOMPARE(restored["restored_from"].toInteger(), written["record"].toInteger());
        // no status from a write: that belongs to publish and the window
        QCOMPARE(sub.count("events/12345/status"), 0);
        // QZ5801_MQTT stands for --broker
        r = run({"write-config", newFile(), "--topic", "events"}, {"QZ5801_MQTT=" + url});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QTRY_COMPARE_WITH_TIMEOUT(sub.count("events/12345/event"), 3, 10000);
    }

    void lastWillWhenKilled()
    {
        Subscriber sub(url, "will/#");
        auto p = startPublish(publishArgs("will", {"--interval", "0.1"}));
        QTRY_VERIFY_WITH_TIMEOUT(sub.count("will/12345/value") > 0, 10000);
        ::kill(pid_t(p->processId()), SIGKILL);
        p->waitForFinished();
        QTRY_COMPARE_WITH_TIMEOUT(sub.count("will/12345/status"), 2, 10000);
        QCOMPARE(sub.on("will/12345/status").last().payload, QByteArray("offline"));
    }

    void endsOnSignalWithOffline_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
    }
    void endsOnSignalWithOffline()
    {
        QFETCH(int, signal);
        const QByteArray prefix = "signal" + QByteArray::number(signal);
        Subscriber sub(url, prefix + "/#");
        auto p = startPublish(publishArgs(QString::fromLatin1(prefix), {"--interval", "0.1"}));
        QTRY_VERIFY_WITH_TIMEOUT(sub.count(prefix + "/12345/value") > 0, 10000);
        ::kill(pid_t(p->processId()), signal);
        QVERIFY(p->waitForFinished(10000));
        QCOMPARE(p->exitStatus(), QProcess::NormalExit);
        QCOMPARE(p->exitCode(), 128 + signal);
        QTRY_COMPARE_WITH_TIMEOUT(sub.count(prefix + "/12345/status"), 2, 10000);
        QCOMPARE(sub.on(prefix + "/12345/status").last().payload, QByteArray("offline"));
    }

    // publish ends with exit 2 and says why; a write goes on and keeps its event.
    void refusals_data()
    {
        const QString password = url.section(':', 2).section('@', 0, 0);
        const QString closed = QStringLiteral("mqtt://127.0.0.1:%1").arg(freePort());
        const QString tls = tlsBrokerUrl();
        const QString ca = qEnvironmentVariable("QZ5801_TEST_MQTT_CA");
        const QString otherCa = qEnvironmentVariable("QZ5801_TEST_MQTT_OTHER_CA");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("env");
        QTest::addColumn<QString>("reason");
        QTest::newRow("wrong password") << QStringList{"--broker", withPassword(url, "wrong")} << QStringList{}
                                        << "not authorised";
        QTest::newRow("password from the environment, wrong")
            << QStringList{"--broker", "mqtt://qz5801@" + hostPort(url)}
            << QStringList{"QZ5801_MQTT_PASSWORD=wrong"} << "not authorised";
        QTest::newRow("no broker") << QStringList{"--broker", closed} << QStringList{} << "Connection refused";
        QTest::newRow("TLS with another CA") << QStringList{"--broker", tls, "--tls-ca", otherCa} << QStringList{}
                                             << "TLS handshake failed";
        QTest::newRow("plain to the TLS port") << QStringList{"--broker", "mqtt://" + tls.mid(8)} << QStringList{}
                                               << "a TLS port? use mqtts://";
        QTest::newRow("TLS to the plain port") << QStringList{"--broker", "mqtts://" + url.mid(7), "--tls-ca", ca}
                                               << QStringList{} << "TLS handshake failed";
        Q_UNUSED(password);
    }
    void refusals()
    {
        QFETCH(QStringList, options);
        QFETCH(QStringList, env);
        QFETCH(QString, reason);
        const QString password = url.section(':', 2).section('@', 0, 0);
        const Run r = run(QStringList{"publish", "--count", "1"} + options, env);
        QCOMPARE(r.exitCode, 2);
        const Run all = run(QStringList{"publish", "--all", "--count", "1"} + options, env + QStringList{"QZSIM_DEVICES=2"});
        QCOMPARE(all.exitCode, 2);
        QVERIFY2(all.err.contains("12346: cannot connect to"), all.err.constData());
        QVERIFY2(r.err.contains("cannot connect to") && r.err.contains(reason.toUtf8()), r.err.constData());
        QVERIFY(!r.err.contains(password.toUtf8()) && !r.out.contains(password.toUtf8()));

        const Run w = run(QStringList{"write-config", newFile()} + options, env);
        QVERIFY2(w.exitCode == 0, w.err.constData());
        QCOMPARE(memory().mid(memmap::kSpecificGravity, 4), floatBytes(1500));
        QVERIFY2(w.err.contains("kept to be published later"), w.err.constData());
        QVERIFY(!w.err.contains(password.toUtf8()));
    }

    // What a write could not publish goes out with the next run that reaches the broker, once.
    void keptEventsGoOutLater()
    {
        const QString closed = QStringLiteral("mqtt://127.0.0.1:%1").arg(freePort());
        QCOMPARE(run({"write-config", newFile(), "--broker", closed, "--topic", "later"}).exitCode, 0);
        QCOMPARE(run({"restore", "--broker", closed, "--topic", "later"}).exitCode, 0);
        Subscriber sub(url, "later/#");
        const Run r = run(publishArgs("later", {"--count", "1"}));
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QTRY_COMPARE_WITH_TIMEOUT(sub.count("later/12345/event"), 2, 10000);
        QCOMPARE(QJsonDocument::fromJson(sub.on("later/12345/event")[0].payload)["operation"].toString(),
                 QStringLiteral("write-config"));
        QCOMPARE(run(publishArgs("later", {"--count", "1"})).exitCode, 0);
        QTest::qWait(300);
        QCOMPARE(sub.count("later/12345/event"), 2);
    }

    void allEightTransmitters()
    {
        Subscriber sub(url, "all/#");
        const Run r = run(publishArgs("all", {"--all", "--count", "5", "--interval", "0.1"}), {"QZSIM_DEVICES=8"});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        for (int serial = 12345; serial < 12345 + 8; ++serial) {
            const QByteArray base = "all/" + QByteArray::number(serial);
            QTRY_COMPARE_WITH_TIMEOUT(sub.count(base + "/status"), 2, 10000);
            QCOMPARE(sub.count(base + "/value"), 5);
            QCOMPARE(sub.on(base + "/status").last().payload, QByteArray("offline"));
        }
    }

    // The window's way: started before the broker is there, it connects once the
    // broker comes, with its status, and events queued meanwhile go out once.
    void backgroundStartBeforeTheBroker()
    {
        PrivateBroker broker;
        Subscriber sub(broker.url(), "early/#", "qz5801-test-early");
        broker.stop();
        mqtt::PublisherSettings s;
        std::string problem;
        s.broker = *mqtt::parseBrokerAddress(broker.url().toStdString(), problem);
        s.prefix = "early";
        s.serial = 7;
        {
            mqtt::Publisher publisher(s);
            publisher.start();
            QTest::qWait(300);
            QVERIFY(!publisher.connected());
            QVERIFY(!publisher.publishValue("{}")); // values are not kept
            publisher.publishEvent({"early/7/event", "{\"n\":1}"});
            broker.start();
            QTRY_VERIFY_WITH_TIMEOUT(publisher.connected(), 20000);
            QVERIFY(publisher.waitForEvents(5000));
            QTRY_COMPARE_WITH_TIMEOUT(sub.count("early/7/event"), 1, 20000);
        }
        QTRY_COMPARE_WITH_TIMEOUT(sub.live("early/7/status").size(), 2, 10000);
        QCOMPARE(sub.live("early/7/status")[0].payload, QByteArray("online"));
        QCOMPARE(sub.live("early/7/status")[1].payload, QByteArray("offline"));
        QCOMPARE(sub.count("early/7/event"), 1);
        QCOMPARE(sub.count("early/7/value"), 0);
    }

    // Whatever the broker does, the queue stays within its limit and says what gave way.
    void eventQueueIsBounded()
    {
        mqtt::PublisherSettings s;
        std::string problem;
        s.broker = *mqtt::parseBrokerAddress(QStringLiteral("mqtt://127.0.0.1:%1").arg(freePort()).toStdString(),
                                             problem);
        s.eventLimit = 5;
        mqtt::Publisher publisher(s);
        publisher.start();
        std::size_t dropped = 0;
        for (int i = 0; i < 8; ++i)
            dropped += publisher.publishEvent({"q/1/event", QByteArray::number(i)});
        QCOMPARE(dropped, 3u);
        QCOMPARE(publisher.eventsDropped(), 3u);
        const std::vector<mqtt::Event> left = publisher.takeUnsentEvents();
        QCOMPARE(left.size(), 5u);
        QCOMPARE(left.front().payload, QByteArray("3")); // the oldest gave way
    }

    // The broker goes away and comes back while publish runs: values resume, and
    // the event of a write made meanwhile arrives once.
    void brokerRestartMidRun()
    {
        PrivateBroker broker;
        Subscriber sub(broker.url(), "restart/#", "qz5801-test-restart");
        auto p = startPublish({"publish", "--broker", broker.url(), "--topic", "restart", "--interval", "0.1"});
        QTRY_VERIFY_WITH_TIMEOUT(sub.count("restart/12345/value") >= 3, 10000);
        broker.stop();
        const Run w = run({"write-config", newFile(), "--broker", broker.url(), "--topic", "restart"});
        QVERIFY2(w.exitCode == 0, w.err.constData());
        QVERIFY2(w.err.contains("kept to be published later"), w.err.constData());
        const int before = sub.count("restart/12345/value");
        broker.start();
        QTRY_VERIFY_WITH_TIMEOUT(sub.count("restart/12345/value") >= before + 5, 60000);
        QTRY_COMPARE_WITH_TIMEOUT(sub.count("restart/12345/event"), 1, 20000);
        QTest::qWait(2500); // the spool is looked at every 2 s: nothing sent twice
        QCOMPARE(sub.count("restart/12345/event"), 1);
        QCOMPARE(sub.on("restart/12345/status").last().payload, QByteArray("online"));
        p->terminate();
        QVERIFY(p->waitForFinished(10000));
        QCOMPARE(p->exitCode(), 143);
    }
};

int main(int argc, char **argv)
{
    if (publish_test::brokerUrl().isEmpty()) {
        std::fprintf(stderr, "QZ5801_TEST_MQTT_URL is not set: run under scripts/with-mosquitto\n");
        return 77;
    }
    QCoreApplication app(argc, argv);
    TestPublishBroker test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_publish_broker.moc"
