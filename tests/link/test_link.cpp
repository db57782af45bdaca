#include "FakeUsb.h"
#include "Fix64usb.h"
#include "qzsim.h"
#include "SimulatorSupport.h"

#include <QtTest>
#include <cstring>
#include <vector>

using Frame = std::array<uint8_t, 64>;

static QString failureOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const TLinkError &e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

static std::vector<uint8_t> lastRequest()
{
    uint32_t n = qzsim_request_count();
    if (n == 0)
        return {};
    const uint8_t *r = qzsim_request(n - 1);
    return std::vector<uint8_t>(r, r + 64);
}

class LinkTest : public QObject {
    Q_OBJECT

    static std::unique_ptr<TFix64> connected() { return simtest::connectedLink(); }

private slots:
    void init()
    {
        qzsim_reset();
        setPauseFunction([](unsigned) {});
    }

    void checksumWorkedValues_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("p1");
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("expected");
        QTest::newRow("command 1") << 1 << 0 << -1 << 0xC8;
        QTest::newRow("command 2") << 2 << 0 << -1 << 0x23;
        QTest::newRow("command 4") << 4 << 0 << -1 << 0x56;
        QTest::newRow("command 5 p1 4") << 5 << 4 << -1 << 0x77;
        QTest::newRow("command 7 read 2 at 7") << 7 << 2 << 7 << 0x29;
        QTest::newRow("command 7 read 27 at 67") << 7 << 27 << 67 << 0x3A;
        QTest::newRow("command 13") << 13 << 0 << -1 << 0x22;
    }
    void checksumWorkedValues()
    {
        QFETCH(int, command);
        QFETCH(int, p1);
        QFETCH(int, address);
        QFETCH(int, expected);
        uint8_t f[64] = {0xA5, 0xFF, 0xFE, uint8_t(command), uint8_t(p1)};
        if (address >= 0)
            f[7] = uint8_t(address);
        QCOMPARE(int(TFix64::frameChecksum(f)), expected);
        // the same frame as the link builds and sends it
        auto link = connected();
        if (command == 7)
            link->readMemory(uint32_t(address), f + 11, uint32_t(p1));
        else if (command == 5) {
            uint8_t b[4] = {};
            link->queryValue(uint8_t(p1), b, 4);
        } else
            link->transact(uint8_t(command), 0, 0, 0);
        QCOMPARE(int(lastRequest()[63]), expected);
    }

    void checksumEdges()
    {
        uint8_t f[64] = {};
        QCOMPARE(int(TFix64::frameChecksum(f)), 0x00);
        f[62] = 1;
        QCOMPARE(int(TFix64::frameChecksum(f)), 0x01);
        f[62] = 0;
        f[61] = 1;
        QCOMPARE(int(TFix64::frameChecksum(f)), 0xA3);
        uint8_t g[64];
        for (int i = 0; i < 64; ++i)
            g[i] = uint8_t(i * 37 + 11);
        uint8_t before = TFix64::frameChecksum(g);
        g[0] ^= 0xFF;
        g[63] ^= 0xFF;
        QCOMPARE(TFix64::frameChecksum(g), before);
    }

    void readMemoryFrameToTheByte()
    {
        auto link = connected();
        uint8_t serial[2] = {};
        QVERIFY(link->readMemory(7, serial, 2));
        std::vector<uint8_t> expected(64, 0);
        const uint8_t head[] = {0xA5, 0xFF, 0xFE, 0x07, 0x02, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00};
        std::memcpy(expected.data(), head, sizeof head);
        expected[63] = 0x29;
        QCOMPARE(lastRequest(), expected);
        QCOMPARE(serial[0], uint8_t(0x39));
        QCOMPARE(serial[1], uint8_t(0x30));
    }

    void requestBytesOfEveryCommand()
    {
        auto link = connected();
        link->sendCommand1();
        QCOMPARE(lastRequest()[3], uint8_t(1));
        link->sendCommand2();
        QCOMPARE(lastRequest()[3], uint8_t(2));
        link->sendCommand4();
        QCOMPARE(lastRequest()[3], uint8_t(4));
        for (auto r : {lastRequest()})
            QVERIFY(std::all_of(r.begin() + 4, r.begin() + 63, [](uint8_t b) { return b == 0; }));

        uint8_t value[4] = {1, 2, 3, 4};
        link->queryValue(4, value, 4);
        auto q = lastRequest();
        QCOMPARE(q[3], uint8_t(5));
        QCOMPARE(q[4], uint8_t(4));
        QCOMPARE(std::vector<uint8_t>(q.begin() + 7, q.begin() + 11), (std::vector<uint8_t>{1, 2, 3, 4}));

        const uint8_t data[4] = {0xDE, 0xAD, 0xBE, 0xEF};
        // beyond the transmitter's memory, so it stays silent; the request is what counts here
        QCOMPARE(failureOf([&] { link->writeMemory(0x01020304, data, 4); }), QString("Device not reply"));
        auto w = lastRequest();
        QCOMPARE(w[3], uint8_t(8));
        QCOMPARE(w[4], uint8_t(4));
        QCOMPARE(std::vector<uint8_t>(w.begin() + 7, w.begin() + 15),
                 (std::vector<uint8_t>{0x04, 0x03, 0x02, 0x01, 0xDE, 0xAD, 0xBE, 0xEF}));
        QVERIFY(std::all_of(w.begin() + 15, w.begin() + 63, [](uint8_t b) { return b == 0; }));
        QCOMPARE(w[63], TFix64::frameChecksum(w.data()));

        link->transact(13, 0, 0, 0);
        QCOMPARE(lastRequest()[63], uint8_t(0x22));
    }

    void memoryRoundTripThroughTheSimulator()
    {
        auto link = connected();
        uint8_t out[52];
        for (int i = 0; i < 52; ++i)
            out[i] = uint8_t(200 - i);
        link->writeMemory(1000, out, 52);
        uint8_t in[52] = {};
        link->readMemory(1000, in, 52);
        QCOMPARE(std::memcmp(in, out, 52), 0);
        uint8_t one = 0;
        link->readMemory(1051, &one, 1);
        QCOMPARE(one, out[51]);
    }

    void lengthOutsideOneTo52IsRefusedUnsent_data()
    {
        QTest::addColumn<uint32_t>("length");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("0") << 0u << false;
        QTest::newRow("1") << 1u << true;
        QTest::newRow("52") << 52u << true;
        QTest::newRow("53") << 53u << false;
    }
    void lengthOutsideOneTo52IsRefusedUnsent()
    {
        QFETCH(uint32_t, length);
        QFETCH(bool, accepted);
        auto link = connected();
        uint8_t buf[64] = {};
        uint32_t before = qzsim_request_count();
        QString readError = failureOf([&] { link->readMemory(100, buf, length); });
        QString writeError = failureOf([&] { link->writeMemory(100, buf, length); });
        QCOMPARE(readError, accepted ? QString() : QString("EEPROM ERROR LEN"));
        QCOMPARE(writeError, accepted ? QString() : QString("EEPROM ERROR LEN"));
        QCOMPARE(qzsim_request_count() - before, accepted ? 2u : 0u);
    }

    void valueQueryCountRules_data()
    {
        QTest::addColumn<int>("countByte");
        QTest::addColumn<int>("copied");
        QTest::newRow("0x0C counts 4") << 0x0C << 4;
        QTest::newRow("0 copies nothing") << 0x00 << 0;
        QTest::newRow("7 stops at the buffer") << 0x07 << 4;
        QTest::newRow("2 copies 2") << 0x02 << 2;
    }
    void valueQueryCountRules()
    {
        QFETCH(int, countByte);
        QFETCH(int, copied);
        TFix64 link;
        link.loadLibrary();
        FakeUsb fake;
        fake.attach(link);
        fake.autoReply = true;
        fake.shape = [&](Frame &r) {
            r[5] = uint8_t(countByte);
            for (int i = 7; i < 15; ++i)
                r[i] = uint8_t(0x10 + i);
            r[63] = TFix64::frameChecksum(r.data());
        };
        link.openPipes(0);
        uint8_t buffer[8] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
        QVERIFY(link.queryValue(4, buffer, 4));
        for (int i = 0; i < 8; ++i)
            QCOMPARE(int(buffer[i]), i < copied ? 0x10 + 7 + i : 0xEE);
    }

    void replyChecksInTheirOrder_data()
    {
        QTest::addColumn<int>("spoil");
        QTest::addColumn<uint8_t>("slave");
        QTest::addColumn<QString>("error");
        // bit 0 command, bit 1 master, bit 2 slave, bit 3 check byte, bit 4 no reply
        QTest::newRow("good") << 0 << uint8_t(0xFE) << QString();
        QTest::newRow("no reply") << 16 << uint8_t(0xFE) << "Device not reply";
        QTest::newRow("command") << 1 << uint8_t(0xFE) << "Error command number";
        QTest::newRow("command before check byte") << (1 | 8) << uint8_t(0xFE) << "Error command number";
        QTest::newRow("master") << 2 << uint8_t(0xFE) << "Error master adr";
        QTest::newRow("master before slave and crc") << (2 | 4 | 8) << uint8_t(0x05) << "Error master adr";
        QTest::newRow("any slave for 0xFE") << 4 << uint8_t(0xFE) << QString();
        QTest::newRow("other slave refused") << 4 << uint8_t(0x05) << "Error slave adr";
        QTest::newRow("slave before crc") << (4 | 8) << uint8_t(0x05) << "Error slave adr";
        QTest::newRow("check byte") << 8 << uint8_t(0xFE) << "Error CRC";
    }
    void replyChecksInTheirOrder()
    {
        QFETCH(int, spoil);
        QFETCH(uint8_t, slave);
        QFETCH(QString, error);
        TFix64 link;
        link.loadLibrary();
        FakeUsb fake;
        fake.attach(link);
        fake.autoReply = !(spoil & 16);
        fake.shape = [&](Frame &r) {
            if (spoil & 1)
                r[3] ^= 0x40;
            if (spoil & 2)
                r[1] = 0x00;
            if (spoil & 4)
                r[2] = uint8_t(slave + 1);
            r[63] = TFix64::frameChecksum(r.data());
            if (spoil & 8)
                r[63] ^= 0x01;
        };
        link.openPipes(0);
        link.setSlaveAddress(slave);
        QCOMPARE(failureOf([&] { link.sendCommand1(); }), error);
    }

    void simulatorFaultsReachTheirTexts_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("error");
        QTest::newRow("no reply") << int(QZSIM_FAULT_NO_REPLY) << "Device not reply";
        QTest::newRow("command") << int(QZSIM_FAULT_COMMAND) << "Error command number";
        QTest::newRow("master") << int(QZSIM_FAULT_MASTER) << "Error master adr";
        QTest::newRow("crc") << int(QZSIM_FAULT_CRC) << "Error CRC";
    }
    void simulatorFaultsReachTheirTexts()
    {
        QFETCH(int, fault);
        QFETCH(QString, error);
        auto link = connected();
        qzsim_set_fault(fault);
        QCOMPARE(failureOf([&] { link->sendCommand2(); }), error);
    }

    void addressFdAwaitsNoReply()
    {
        TFix64 link;
        link.loadLibrary();
        FakeUsb fake;
        fake.attach(link);
        link.openPipes(0);
        link.setSlaveAddress(0xFD);
        memset(link.reply, 0x77, 64);
        fake.calls.clear();
        QVERIFY(link.sendCommand1());
        QCOMPARE(fake.calls, QStringList{"write h2 64 0"});
        QCOMPARE(link.reply[10], uint8_t(0x77));
    }

    void noDeviceFailsAsNoReply()
    {
        qzsim_set_device_count(0);
        auto link = connected();
        QCOMPARE(link->deviceCount(), 0u);
        QVERIFY(link->readPipe == MPUSB_INVALID_HANDLE);
        QVERIFY(link->writePipe == MPUSB_INVALID_HANDLE);
        QVERIFY(!link->openPipes(0));
        QCOMPARE(failureOf([&] { link->sendCommand2(); }), QString("Device not reply"));
    }

    void pipeRules()
    {
        TFix64 link;
        link.loadLibrary();
        FakeUsb fake;
        fake.attach(link);

        link.closePipes(0); // readPipe still 0: not a single library call
        QVERIFY(fake.calls.isEmpty());

        fake.failInOpen = true;
        QVERIFY(!link.openPipes(0));
        // the OUT pipe that did open is let go, so the device is not left claimed
        QCOMPARE(fake.calls, (QStringList{"open 0 vid_04d8&pid_000c \\MCHP_EP1 1 0 -> invalid",
                                          "open 0 vid_04d8&pid_000c \\MCHP_EP1 0 0 -> h1", "close h1"}));
        QVERIFY(link.readPipes[0] == nullptr && link.writePipes[0] == nullptr);

        fake.calls.clear();
        link.closePipes(0); // never opened: drains only
        QCOMPARE(fake.calls, (QStringList{"read invalid 64 100", "read invalid 64 100", "read invalid 64 100"}));
        QVERIFY(!link.openPipes(10)); // only instances 0 to 9 have table entries
        link.closePipes(-1);

        fake.failInOpen = false;
        QVERIFY(link.openPipes(0));
        QVERIFY(link.readPipes[0] == FakeUsb::handleOf(2) && link.writePipes[0] == FakeUsb::handleOf(3));
        fake.calls.clear();
        link.closePipes(0);
        QCOMPARE(fake.calls, (QStringList{"read h2 64 100", "read h2 64 100", "read h2 64 100", "close h2",
                                          "close h3"}));
        fake.calls.clear();
        link.closePipes(0); // entries were emptied: drains, closes nothing
        QCOMPARE(fake.calls.filter("close").size(), 0);
        QCOMPARE(fake.calls.size(), 3);

        fake.readThrows = true; // a drain swallows whatever its reads raise
        fake.calls.clear();
        link.drainInput();
        QCOMPARE(fake.calls.size(), 3);
    }

    // With a library that hands a closed handle's number out again, a pipe
    // left over from a half-open pair would talk to someone else's pipe.
    void halfOpenPairKeepsNoClosedHandle_data()
    {
        QTest::addColumn<bool>("inRefused");
        QTest::newRow("IN pipe refused, OUT pipe opened") << true;
        QTest::newRow("OUT pipe refused, IN pipe opened") << false;
    }
    void halfOpenPairKeepsNoClosedHandle()
    {
        QFETCH(bool, inRefused);
        TFix64 link;
        link.loadLibrary();
        FakeUsb fake;
        fake.recycleHandles = true;
        fake.autoReply = true;
        fake.attach(link);
        QVERIFY(link.openPipes(0));
        link.closePipes(0);

        fake.failInOpen = inRefused;
        fake.failOutOpen = !inRefused;
        fake.calls.clear();
        QVERIFY(!link.openPipes(0));
        QCOMPARE(fake.calls.filter("close").size(), 1);
        QCOMPARE(link.readPipe, MPUSB_INVALID_HANDLE);
        QCOMPARE(link.writePipe, MPUSB_INVALID_HANDLE);

        // Another user of the library now holds that number, in both directions.
        fake.failInOpen = fake.failOutOpen = false;
        void *other = FakeUsb::open(1, kDeviceSelector, kEndpointName, MP_READ, 0);
        void *otherOut = FakeUsb::open(1, kDeviceSelector, kEndpointName, MP_WRITE, 0);
        QCOMPARE(other, FakeUsb::handleOf(1));
        QVERIFY(otherOut != MPUSB_INVALID_HANDLE);
        fake.calls.clear();
        QCOMPARE(failureOf([&] { link.sendCommand1(); }), QString("Device not reply"));
        QCOMPARE(fake.calls, (QStringList{"write invalid 64 0", "read invalid 64 0"}));
        QVERIFY(fake.replies.empty());
    }

    void deviceAccess_data()
    {
        QTest::addColumn<bool>("queries");
        QTest::addColumn<uint>("devices");
        QTest::addColumn<uint>("answer");
        QTest::addColumn<uint>("instance");
        QTest::addColumn<int>("access"); // DeviceAccess
        QTest::addColumn<QStringList>("calls");
        const QString ask = QString("access %1 vid_04d8&pid_000c");
        QTest::newRow("ready") << true << 1u << MPUSB_ACCESS_READY << 0u << int(DeviceAccess::Ready)
                               << QStringList{ask.arg(0)};
        QTest::newRow("denied, second instance") << true << 2u << MPUSB_ACCESS_DENIED << 1u
                                                 << int(DeviceAccess::Denied) << QStringList{ask.arg(1)};
        QTest::newRow("no device") << true << 0u << MPUSB_ACCESS_NO_DEVICE << 0u << int(DeviceAccess::NoDevice)
                                   << QStringList{ask.arg(0)};
        QTest::newRow("library cannot tell") << true << 1u << MPUSB_ACCESS_UNKNOWN << 0u
                                             << int(DeviceAccess::Unknown) << QStringList{ask.arg(0)};
        QTest::newRow("answer out of range") << true << 1u << 77u << 0u << int(DeviceAccess::Unknown)
                                             << QStringList{ask.arg(0)};
        const QStringList count{"count vid_04d8&pid_000c"};
        QTest::newRow("no queries, device counted") << false << 1u << 0u << 0u << int(DeviceAccess::Unknown) << count;
        QTest::newRow("no queries, beyond the count") << false << 2u << 0u << 2u << int(DeviceAccess::NoDevice)
                                                      << count;
        QTest::newRow("no queries, none attached") << false << 0u << 0u << 0u << int(DeviceAccess::NoDevice)
                                                   << count;
    }
    void deviceAccess()
    {
        QFETCH(bool, queries);
        QFETCH(uint, devices);
        QFETCH(uint, answer);
        QFETCH(uint, instance);
        QFETCH(int, access);
        QFETCH(QStringList, calls);
        TFix64 link;
        QCOMPARE(link.deviceAccess(instance), DeviceAccess::NoDevice); // nothing loaded yet
        link.loadLibrary();
        FakeUsb fake;
        fake.offersQueries = queries;
        fake.devices = devices;
        fake.accessAnswer = answer;
        fake.attach(link);
        QCOMPARE(int(link.deviceAccess(instance)), access);
        QCOMPARE(fake.calls, calls);
    }

    void deviceLocation_data()
    {
        QTest::addColumn<bool>("queries");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("returns"); // -1: as the contract says
        QTest::addColumn<QString>("location");
        QTest::newRow("behind a hub") << true << QByteArray("1-2.4") << -1 << "1-2.4";
        QTest::newRow("library cannot tell") << true << QByteArray("") << -1 << "";
        QTest::newRow("too long for the link") << true << QByteArray(80, '1') << -1 << "";
        QTest::newRow("claims the whole buffer") << true << QByteArray("3-1") << 64 << "";
        QTest::newRow("claims more than the buffer") << true << QByteArray("3-1") << 100000 << "";
        QTest::newRow("no queries") << false << QByteArray("1-2") << -1 << "";
    }
    void deviceLocation()
    {
        QFETCH(bool, queries);
        QFETCH(QByteArray, answer);
        QFETCH(int, returns);
        QFETCH(QString, location);
        TFix64 link;
        QCOMPARE(QString::fromStdString(link.deviceLocation(0)), QString()); // nothing loaded yet
        link.loadLibrary();
        FakeUsb fake;
        fake.offersQueries = queries;
        fake.location = answer;
        fake.locationReturns = returns;
        fake.attach(link);
        QCOMPARE(QString::fromStdString(link.deviceLocation(3)), location);
        QCOMPARE(fake.calls, queries ? QStringList{"location 3 vid_04d8&pid_000c"} : QStringList{});
    }

    void bracketStopsAtAFailingCommand2()
    {
        auto link = connected();
        qzsim_clear_logs();
        qzsim_fail_from(1); // command 2 is the first request
        bool ran = false;
        QCOMPARE(failureOf([&] {
                     inBracket(*link, [&] {
                         ran = true;
                         uint8_t b[8];
                         link->readMemory(890, b, 8);
                     });
                 }),
                 QString("Device not reply"));
        QVERIFY(!ran);
        QCOMPARE(qzsim_request_count(), 1u);
        QCOMPARE(qzsim_request(0)[3], uint8_t(2));
    }

    void bracketSendsItsCommandsInOrder()
    {
        auto link = connected();
        qzsim_clear_logs();
        inBracket(*link, [&] {
            uint8_t b[2];
            link->readMemory(7, b, 2);
        });
        QCOMPARE(qzsim_request_count(), 3u);
        QCOMPARE(qzsim_request(0)[3], uint8_t(2));
        QCOMPARE(qzsim_request(1)[3], uint8_t(7));
        QCOMPARE(qzsim_request(2)[3], uint8_t(1));
        QString log = QString::fromUtf8(qzsim_call_log());
        QVERIFY(log.startsWith("Read h1 64 100 -> 0\nRead h1 64 100 -> 0\nRead h1 64 100 -> 0\nClose h1\nClose h2\n"
                               "Open 0 1 -> h3\nOpen 0 0 -> h4\nWrite h4 64 250"));
    }

    void unpluggedPipesStayDeadUntilReopened()
    {
        auto link = connected();
        link->sendCommand1();
        qzsim_set_device_count(0);
        QCOMPARE(failureOf([&] { link->sendCommand1(); }), QString("Device not reply"));
        qzsim_set_device_count(1);
        QCOMPARE(failureOf([&] { link->sendCommand1(); }), QString("Device not reply"));
        resetPipes(*link);
        QCOMPARE(failureOf([&] { link->sendCommand1(); }), QString());
    }

    void pauseGoesThroughTheReplaceableWait()
    {
        std::vector<unsigned> waits;
        setPauseFunction([&](unsigned ms) { waits.push_back(ms); });
        TFix64 link;
        link.pause(500);
        blockingPause(1000);
        QCOMPARE(waits, (std::vector<unsigned>{500, 1000}));
        setPauseFunction({});
    }
};

QTEST_GUILESS_MAIN(LinkTest)
#include "test_link.moc"
