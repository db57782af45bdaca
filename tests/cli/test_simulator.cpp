// The simulated transmitters themselves: what the tests of the tool rely on.
#include "SimulatorSupport.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>

class SimulatorTest : public QObject {
    Q_OBJECT

    static uint16_t serialOf(TFix64 &link)
    {
        uint8_t bytes[2] = {};
        link.readMemory(7, bytes, 2);
        return uint16_t(bytes[0] | bytes[1] << 8);
    }

private slots:
    void init() { qzsim_reset(); }

    // An address near 4 GiB must not wrap round into the memory.
    void boundsOfMemory_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<uint32_t>("address");
        QTest::addColumn<uint32_t>("length");
        QTest::addColumn<bool>("answered");
        QTest::newRow("read last byte") << false << 65535u << 1u << true;
        QTest::newRow("read one past the end") << false << 65535u << 2u << false;
        QTest::newRow("read at 4 GiB - 1") << false << 0xFFFFFFFFu << 1u << false;
        QTest::newRow("read wrapping to 0") << false << 0xFFFFFFF0u << 20u << false;
        QTest::newRow("write last byte") << true << 65535u << 1u << true;
        QTest::newRow("write one past the end") << true << 65534u << 3u << false;
        QTest::newRow("write at 4 GiB - 1") << true << 0xFFFFFFFFu << 1u << false;
        QTest::newRow("write wrapping to 0") << true << 0xFFFFFFFEu << 4u << false;
    }
    void boundsOfMemory()
    {
        QFETCH(bool, write);
        QFETCH(uint32_t, address);
        QFETCH(uint32_t, length);
        QFETCH(bool, answered);
        const QByteArray before(reinterpret_cast<const char *>(qzsim_memory()), 65536);
        auto link = simtest::connectedLink();
        uint8_t buffer[52];
        std::memset(buffer, 0xAB, sizeof buffer);
        bool ok = true;
        try {
            if (write)
                link->writeMemory(address, buffer, length);
            else
                link->readMemory(address, buffer, length);
        } catch (const TLinkError &e) {
            ok = false;
            QCOMPARE(QByteArray(e.what()), QByteArray(kTextNoReply));
        }
        QCOMPARE(ok, answered);
        QByteArray after(reinterpret_cast<const char *>(qzsim_memory()), 65536);
        if (answered && write)
            after[65535] = before[65535];
        QCOMPARE(after, before);
    }

    void devicesHaveTheirOwnMemory()
    {
        qzsim_set_device_count(3);
        std::vector<std::unique_ptr<TFix64>> links;
        for (int i = 0; i < 3; ++i) {
            links.push_back(simtest::connectedLink(i));
            QCOMPARE(serialOf(*links.back()), uint16_t(12345 + i));
        }
        const float value = 4242;
        links[1]->writeMemory(67, &value, 4);
        float read = 0;
        std::memcpy(&read, qzsim_device_memory(1) + 67, 4);
        QCOMPARE(read, value);
        for (uint32_t other : {0u, 2u}) {
            std::memcpy(&read, qzsim_device_memory(other) + 67, 4);
            QCOMPARE(read, 20000.0f);
        }
        QVERIFY(qzsim_device_memory(QZSIM_MAX_DEVICES) == nullptr);
    }

    // Two transmitters driven at once from two threads, each through its own link.
    void twoThreadsTwoDevices()
    {
        qzsim_set_device_count(2);
        std::atomic<int> failures{0};
        const auto work = [&failures](int instance) {
            try {
                auto link = simtest::connectedLink(instance);
                for (uint32_t round = 0; round < 300; ++round) {
                    uint8_t pattern[52], back[52];
                    for (uint32_t i = 0; i < sizeof pattern; ++i)
                        pattern[i] = uint8_t(round * 7 + i + uint32_t(instance) * 101);
                    link->writeMemory(1000, pattern, sizeof pattern);
                    link->readMemory(1000, back, sizeof back);
                    if (std::memcmp(pattern, back, sizeof back) != 0 || serialOf(*link) != 12345 + instance)
                        ++failures;
                }
            } catch (const std::exception &) {
                ++failures;
            }
        };
        std::thread a(work, 0), b(work, 1);
        a.join();
        b.join();
        QCOMPARE(failures.load(), 0);
        QCOMPARE(qzsim_device_memory(0)[1000], uint8_t(299 * 7));
        QCOMPARE(qzsim_device_memory(1)[1000], uint8_t(299 * 7 + 101));
    }

    void accessAndLocation()
    {
        qzsim_set_device_count(3);
        qzsim_set_device_denied(1, 1);
        auto link = simtest::connectedLink();
        QCOMPARE(link->deviceAccess(0), DeviceAccess::Ready);
        QCOMPARE(link->deviceAccess(1), DeviceAccess::Denied);
        QCOMPARE(link->deviceAccess(3), DeviceAccess::NoDevice);
        QVERIFY(!link->openPipes(1));
        QVERIFY(link->openPipes(2));
        QCOMPARE(link->deviceLocation(0), std::string("1-1"));
        QCOMPARE(link->deviceLocation(2), std::string("1-3"));
        QCOMPARE(link->deviceLocation(3), std::string());
        QCOMPARE(link->deviceCount(), 3u); // a denied transmitter is still counted
    }

    void faultsPerDevice()
    {
        qzsim_set_device_count(2);
        qzsim_set_device_fault(1, QZSIM_FAULT_NO_REPLY);
        auto first = simtest::connectedLink(0);
        auto second = simtest::connectedLink(1);
        QCOMPARE(serialOf(*first), uint16_t(12345));
        QVERIFY_THROWS_EXCEPTION(TLinkError, serialOf(*second));

        qzsim_set_device_fault(1, QZSIM_FAULT_NONE);
        qzsim_clear_logs();
        qzsim_device_fail_from(0, 2);
        QCOMPARE(serialOf(*first), uint16_t(12345));
        QVERIFY_THROWS_EXCEPTION(TLinkError, serialOf(*first));
        QCOMPARE(serialOf(*second), uint16_t(12346));
    }

    void keepMemoryAcknowledgesWrites()
    {
        qzsim_set_fault(QZSIM_FAULT_KEEP_MEMORY);
        auto link = simtest::connectedLink();
        const float value = 1;
        link->writeMemory(67, &value, 4); // acknowledged: no error
        QCOMPARE(simtest::memoryFloat(67), 20000.0f);
        float read = 0;
        link->readMemory(67, &read, 4);
        QCOMPARE(read, 20000.0f);
    }

    // Only lower bounds: a loaded machine may take longer, never shorter.
    void latency()
    {
        qzsim_set_latency_ms(20);
        auto link = simtest::connectedLink();
        using Clock = std::chrono::steady_clock;
        Clock::time_point start = Clock::now();
        uint8_t frame[64];
        uint32_t n = 0;
        QCOMPARE(link->_MPUSBRead(link->readPipe, frame, 64, &n, 150), 0u); // nothing to answer
        QVERIFY(Clock::now() - start >= std::chrono::milliseconds(150));
        start = Clock::now();
        QCOMPARE(serialOf(*link), uint16_t(12345)); // a write and a read
        QVERIFY(Clock::now() - start >= std::chrono::milliseconds(40));
    }
};

QTEST_GUILESS_MAIN(SimulatorTest)
#include "test_simulator.moc"
