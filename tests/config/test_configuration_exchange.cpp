#include "ConfigurationExchange.h"
#include "NumberText.h"
#include "qzsim.h"
#include "SimulatorSupport.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>

using namespace simtest;

class ConfigurationExchangeTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TFix64> link;

private slots:
    void init()
    {
        qzsim_reset();
        setPauseFunction([](unsigned) {});
        setDecimalSeparatorForTesting(u'.');
        link = simtest::connectedLink();
        qzsim_clear_logs();
    }
    void cleanup()
    {
        link.reset();
        setPauseFunction({});
        setDecimalSeparatorForTesting(QChar());
    }

    void readSendsTheWindowsSequenceAndFillsTheRecord()
    {
        ConfigurationRecord record;
        QStringList events;
        config::ReadHooks hooks;
        hooks.gravityOutOfRange = [&](float) { events << "gravity out of range"; };
        hooks.gravityRead = [&] { events << QStringLiteral("gravity %1").arg(record.specificGravity); };
        hooks.nominalRangeRead = [&] {
            events << QStringLiteral("range %1 bounds %2 %3")
                          .arg(record.nominalRange)
                          .arg(record.limitLowerBound)
                          .arg(record.limitUpperBound);
        };
        hooks.limitValueRead = [&](int i) { events << QStringLiteral("value %1 = %2").arg(i).arg(record.limitValue(i)); };
        hooks.modeRead = [&](int output, int mode) { events << QStringLiteral("mode %1 = %2").arg(output).arg(mode); };

        config::readConfiguration(*link, record, hooks);

        const QStringList expectedRequests = {"command 2",   "read 890/8", "read 67/27", "read 67/4", "read 71/4",
                                              "read 75/1",   "read 76/4",  "read 80/4",  "read 84/1", "read 85/4",
                                              "read 89/4",   "read 93/1",  "command 1"};
        QCOMPARE(requestLog(), expectedRequests);
        const QStringList expectedEvents = {"gravity 1000",
                                            "range 100000 bounds -10000 100000",
                                            "value 0 = 20000",
                                            "value 1 = 60000",
                                            "mode 0 = 1",
                                            "value 2 = 40000",
                                            "value 3 = 80000",
                                            "mode 1 = 2",
                                            "value 4 = 30000",
                                            "value 5 = 70000",
                                            "mode 2 = 3"};
        QCOMPARE(events, expectedEvents);
        QCOMPARE(record.referenceSpecificGravity, 1000.0f);
        QVERIFY(std::memcmp(record.memoryImage.data() + 890, qzsim_memory() + 890, 8) == 0);
        QVERIFY(std::memcmp(record.memoryImage.data() + 67, qzsim_memory() + 67, 27) == 0);
    }

    void readOneMegapascalRange()
    {
        putFloat(890, 1e6f);
        ConfigurationRecord record;
        config::readConfiguration(*link, record);
        QCOMPARE(record.nominalRange, 1e6f);
        QCOMPARE(record.limitLowerBound, -100000.0f);
        QCOMPARE(record.limitUpperBound, 1e6f);
    }

    void readGravity_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // at 894..897
        QTest::addColumn<bool>("warned");
        QTest::addColumn<float>("expected");
        auto bytesOf = [](float v) { return QByteArray(reinterpret_cast<const char *>(&v), 4); };
        QTest::newRow("1000") << bytesOf(1000) << false << 1000.0f;
        QTest::newRow("exactly 10") << bytesOf(10) << false << 10.0f;
        QTest::newRow("exactly 100000") << bytesOf(100000) << false << 100000.0f;
        QTest::newRow("9.99") << bytesOf(9.99f) << true << 1000.0f;
        QTest::newRow("100000.01") << bytesOf(100000.01f) << true << 1000.0f;
        QTest::newRow("zero") << bytesOf(0) << true << 1000.0f;
        QTest::newRow("negative") << bytesOf(-1000) << true << 1000.0f;
        QTest::newRow("not a number") << bytesOf(std::numeric_limits<float>::quiet_NaN()) << true << 1000.0f;
        QTest::newRow("infinite") << bytesOf(std::numeric_limits<float>::infinity()) << true << 1000.0f;
        QTest::newRow("erased") << QByteArray("\xFF\xFF\xFF\xFF", 4) << true << 1000.0f;
        // 0xFF at 894 and 895 means erased, whatever follows (here a float near 1000)
        QTest::newRow("erased low half") << QByteArray("\xFF\xFF\x7A\x44", 4) << true << 1000.0f;
        QTest::newRow("only 894 erased") << QByteArray("\xFF\x00\x7A\x44", 4) << false << 1000.0155f;
    }
    void readGravity()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, warned);
        QFETCH(float, expected);
        std::memcpy(qzsim_memory() + 894, bytes.constData(), 4);
        ConfigurationRecord record;
        record.specificGravity = record.referenceSpecificGravity = 555;
        QList<float> warnings;
        config::ReadHooks hooks;
        hooks.gravityOutOfRange = [&](float g) { warnings << g; };
        config::readConfiguration(*link, record, hooks);
        QCOMPARE(warnings.size(), warned ? 1 : 0);
        QCOMPARE(record.specificGravity, expected);
        QCOMPARE(record.referenceSpecificGravity, expected);
        QCOMPARE(requestLog().last(), QStringLiteral("command 1")); // a bad gravity does not end the read
    }

    void gravityText_data()
    {
        QTest::addColumn<float>("gravity");
        QTest::addColumn<QString>("expected");
        QTest::newRow("1000") << 1000.0f << "1000";
        QTest::newRow("halves round up") << 998.5f << "999";
        QTest::newRow("below half") << 998.4f << "998";
        QTest::newRow("lowest") << 10.0f << "10";
        QTest::newRow("highest") << 100000.0f << "100000";
    }
    void gravityText()
    {
        QFETCH(float, gravity);
        QFETCH(QString, expected);
        QCOMPARE(config::gravityText(gravity), expected);
    }

    void readModes_data()
    {
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("mode");
        QTest::newRow("off") << 0 << 0;
        QTest::newRow("extraction") << 2 << 2;
        QTest::newRow("error value") << 4 << 4;
        QTest::newRow("5") << 5 << kNoMode;
        QTest::newRow("9") << 9 << kNoMode;
        QTest::newRow("erased") << 255 << kNoMode;
    }
    void readModes()
    {
        QFETCH(int, byte);
        QFETCH(int, mode);
        qzsim_memory()[84] = uint8_t(byte);
        ConfigurationRecord record;
        int modes[3] = {-2, -2, -2};
        config::ReadHooks hooks;
        hooks.modeRead = [&](int output, int m) { modes[output] = m; };
        config::readConfiguration(*link, record, hooks);
        QCOMPARE(modes[0], 1);
        QCOMPARE(modes[1], mode);
        QCOMPARE(modes[2], 3);
    }

    void readFailingAfterOutput1KeepsWhatCameBefore()
    {
        putFloat(67, 11111);
        putFloat(71, 22222);
        ConfigurationRecord record;
        for (int i = 0; i < 6; ++i)
            record.limitValue(i) = -1;
        QList<int> shown;
        config::ReadHooks hooks;
        hooks.limitValueRead = [&](int i) { shown << i; };
        qzsim_fail_from(7); // command 2, two blocks, output 1's three fields, then silence
        QVERIFY_THROWS_EXCEPTION(TLinkError, config::readConfiguration(*link, record, hooks));
        QCOMPARE(shown, (QList<int>{0, 1}));
        QCOMPARE(record.lowerValue1, 11111.0f);
        QCOMPARE(record.higherValue1, 22222.0f);
        for (int i = 2; i < 6; ++i)
            QCOMPARE(record.limitValue(i), -1.0f);
        QVERIFY(!requestLog().contains("command 1"));
    }

    void readWithoutTransmitterFailsAtCommand2()
    {
        qzsim_set_device_count(0);
        ConfigurationRecord record;
        QVERIFY_THROWS_EXCEPTION(TLinkError, config::readConfiguration(*link, record));
        QCOMPARE(record.nominalRange, 100000.0f);
        QCOMPARE(record.specificGravity, 1000.0f);
    }

    void writeSendsGravityAndBlock()
    {
        ConfigurationRecord record;
        const float values[6] = {1000, 2000, -500.25f, 4000, 5000, 5000};
        for (int i = 0; i < 6; ++i)
            record.limitValue(i) = values[i];
        config::writeConfiguration(*link, record, "998.5", {1, kNoMode, 4});

        QCOMPARE(requestLog(), (QStringList{"command 2", "write 894/4", "write 67/27", "command 1"}));
        QCOMPARE(memoryFloat(894), 998.5f);
        uint8_t expected[27];
        uint8_t *p = expected;
        const int modes[3] = {1, 0xFF, 4};
        for (int output = 0; output < 3; ++output) {
            std::memcpy(p, &values[2 * output], 4);
            std::memcpy(p + 4, &values[2 * output + 1], 4);
            p[8] = uint8_t(modes[output]);
            p += 9;
        }
        QVERIFY(std::memcmp(qzsim_memory() + 67, expected, 27) == 0);
        QVERIFY(std::memcmp(record.memoryImage.data() + 67, expected, 27) == 0);
        QCOMPARE(qzsim_memory()[84], uint8_t(0xFF));
        QCOMPARE(qzsim_memory()[890], uint8_t(0x00)); // the range is never written
    }

    // The frames file is what the link alone sends on Linux and on Windows
    // (test_link_portable); this ties it to what the window's read and write send.
    void readAndWriteSendTheFramesOfTheRecordedBrackets()
    {
        QFile file(QStringLiteral(QZ_FRAMES_FILE));
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        QMap<QString, QStringList> expected;
        QString section;
        while (!file.atEnd()) {
            const QString line = QString::fromLatin1(file.readLine()).trimmed();
            if (line.startsWith(QLatin1String("## ")))
                section = line.mid(3);
            else if (line.startsWith(QLatin1String("> ")))
                expected[section] << line.mid(2);
        }
        auto sent = [] {
            QStringList frames;
            for (uint32_t i = 0; i < qzsim_request_count(); ++i)
                frames << QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(qzsim_request(i)), 64).toHex());
            qzsim_clear_logs();
            return frames;
        };
        ConfigurationRecord record;
        config::readConfiguration(*link, record);
        QCOMPARE(sent(), expected.value("read"));
        const float values[6] = {1000, 2000, -500.25f, 4000, 5000, 5000};
        for (int i = 0; i < 6; ++i)
            record.limitValue(i) = values[i];
        config::writeConfiguration(*link, record, "998.5", {1, kNoMode, 4});
        QCOMPARE(sent(), expected.value("write"));
        config::readConfiguration(*link, record);
        QCOMPARE(sent(), expected.value("read again"));
    }

    void writeModeBytes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("byte");
        QTest::newRow("off") << 0 << 0;
        QTest::newRow("error value") << 4 << 4;
        QTest::newRow("no selection") << kNoMode << 0xFF;
        QTest::newRow("5 from a file") << 5 << 0xFF;
        QTest::newRow("large") << 300 << 0xFF;
    }
    void writeModeBytes()
    {
        QFETCH(int, mode);
        QFETCH(int, byte);
        ConfigurationRecord record;
        config::writeConfiguration(*link, record, "1000", {mode, mode, mode});
        for (uint32_t address : {75u, 84u, 93u})
            QCOMPARE(int(qzsim_memory()[address]), byte);
    }

    void writeRefusesGravityTextAfterCommand2_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QChar>("separator");
        QTest::newRow("998,5 under point") << "998,5" << QChar(u'.');
        QTest::newRow("998.5 under comma") << "998.5" << QChar(u',');
        QTest::newRow("empty") << "" << QChar(u'.');
        QTest::newRow("letters") << "abc" << QChar(u'.');
        QTest::newRow("beyond float") << "1e39" << QChar(u'.');
    }
    void writeRefusesGravityTextAfterCommand2()
    {
        QFETCH(QString, text);
        QFETCH(QChar, separator);
        setDecimalSeparatorForTesting(separator);
        QByteArray before(reinterpret_cast<const char *>(qzsim_memory()), 1000);
        ConfigurationRecord record;
        record.lowerValue1 = 123;
        QVERIFY_THROWS_EXCEPTION(config::ConfigError, config::writeConfiguration(*link, record, text, {0, 0, 0}));
        QCOMPARE(requestLog(), QStringList{"command 2"});
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(qzsim_memory()), 1000), before);
    }

    void writeAcceptsCommaUnderCommaLocale()
    {
        setDecimalSeparatorForTesting(u',');
        ConfigurationRecord record;
        config::writeConfiguration(*link, record, "998,5", {0, 0, 0});
        QCOMPARE(memoryFloat(894), 998.5f);
    }

    void writeFailureAfterGravityLeavesIt()
    {
        qzsim_fail_from(3); // command 2 and the gravity arrive, the block gets no reply
        ConfigurationRecord record;
        record.lowerValue1 = 123;
        QVERIFY_THROWS_EXCEPTION(TLinkError, config::writeConfiguration(*link, record, "500", {0, 0, 0}));
        QCOMPARE(memoryFloat(894), 500.0f);
        QVERIFY(!requestLog().contains("command 1"));
    }

    void outputOrder_data()
    {
        QTest::addColumn<QList<float>>("values");
        QTest::addColumn<int>("first");
        QTest::newRow("all in order") << QList<float>{1, 2, 3, 4, 5, 6} << -1;
        QTest::newRow("equal values pass") << QList<float>{5, 5, 5, 5, 5, 5} << -1;
        QTest::newRow("output 2 lower above higher") << QList<float>{0, 1, 5000, 4000, 0, 1} << 1;
        QTest::newRow("outputs 1 and 3") << QList<float>{2, 1, 0, 0, 9, 8} << 0;
        QTest::newRow("output 3 only") << QList<float>{0, 0, 0, 0, -1, -2} << 2;
    }
    void outputOrder()
    {
        QFETCH(QList<float>, values);
        QFETCH(int, first);
        ConfigurationRecord record;
        for (int i = 0; i < 6; ++i)
            record.limitValue(i) = values[i];
        QCOMPARE(config::firstOutputOutOfOrder(record), first);
    }
};

QTEST_GUILESS_MAIN(ConfigurationExchangeTest)
#include "test_configuration_exchange.moc"
