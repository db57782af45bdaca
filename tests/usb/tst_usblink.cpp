// The transmitter link as the tool uses it, over libmpusbapi.so and libusb,
// against transmitters emulated at the kernel's usbfs interface.
#include "UsbTestSupport.h"

#include <QObject>
#include <QScopeGuard>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

Q_DECLARE_METATYPE(EndpointKind)

namespace {

QByteArray bytes(const void *p, int n) { return QByteArray(static_cast<const char *>(p), n); }
QByteArray bytes(const std::vector<uint8_t> &v) { return bytes(v.data(), static_cast<int>(v.size())); }

QByteArray failureText(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const TLinkError &e) {
        return e.what();
    }
    return {};
}

// One transmitter's own link, driven from a thread of its own the way the
// companion's --all does: every failure is kept as text, never thrown on.
struct Worker {
    uint32_t instance;
    uint8_t seed;
    int rounds;
    QStringList failures;
    int transactions = 0;

    void run()
    {
        TFix64 own;
        try {
            if (!own.loadLibrary() || !own.openPipes(static_cast<int>(instance))) {
                failures << "cannot open";
                return;
            }
            own.setSlaveAddress(kAnySlave);
            own.timeoutMs = 2000;
            for (int r = 0; r < rounds; ++r) {
                uint8_t written[kMaxBlock];
                for (uint32_t i = 0; i < kMaxBlock; ++i)
                    written[i] = static_cast<uint8_t>(seed * 31 + r * 7 + static_cast<int>(i));
                const uint32_t address = 100 + static_cast<uint32_t>(r % 16) * kMaxBlock;
                own.writeMemory(address, written, kMaxBlock);
                uint8_t read[kMaxBlock] = {};
                own.readMemory(address, read, kMaxBlock);
                if (std::memcmp(read, written, kMaxBlock) != 0)
                    failures << QString("round %1: read back other bytes").arg(r);
                uint8_t serial[4] = {};
                own.readMemory(FakeTransmitter::kSerialAddress, serial, 4);
                if (serial[0] != seed)
                    failures << QString("round %1: serial of another transmitter").arg(r);
                transactions += 3;
            }
        } catch (const TLinkError &e) {
            failures << QString("after %1 transactions: %2").arg(transactions).arg(e.what());
        }
        own._MPUSBClose(own.readPipes[instance]);
        own._MPUSBClose(own.writePipes[instance]);
    }
};

} // namespace

// A link failure fails the test with its text instead of ending the run.
#define QZ_NO_LINK_ERROR(expr) QCOMPARE(failureText([&] { (void)(expr); }), QByteArray())

class TestUsbLink : public QObject {
    Q_OBJECT

    std::unique_ptr<UsbTestbed> bed;
    std::unique_ptr<TFix64> link;
    std::vector<std::unique_ptr<FakeTransmitter>> devices;

    FakeTransmitter &add(DeviceModel model)
    {
        devices.push_back(std::make_unique<FakeTransmitter>(*bed, model));
        return *devices.back();
    }

    // What the start-up connection does with a fresh link.
    bool connect()
    {
        link = std::make_unique<TFix64>();
        if (!link->loadLibrary())
            return false;
        bool opened = link->openPipes(0);
        link->deviceCount();
        link->setSlaveAddress(kAnySlave);
        link->timeoutMs = 250;
        link->bytesRead = 0;
        return opened;
    }

    // Closes every pipe the link holds, without the drain's waits.
    void closeAll()
    {
        std::vector<void *> open{link->readPipe, link->writePipe};
        open.insert(open.end(), std::begin(link->readPipes), std::end(link->readPipes));
        open.insert(open.end(), std::begin(link->writePipes), std::end(link->writePipes));
        std::sort(open.begin(), open.end());
        open.erase(std::unique(open.begin(), open.end()), open.end());
        for (void *h : open)
            if (h && h != MPUSB_INVALID_HANDLE)
                link->_MPUSBClose(h);
    }

private slots:
    void initTestCase() { bed = std::make_unique<UsbTestbed>(); }

    void cleanup()
    {
        if (link && link->canTransfer())
            closeAll();
        link.reset();
        auto unplugAll = qScopeGuard([this] { devices.clear(); });
        for (const auto &d : devices) {
            QTRY_COMPARE(d->openHandles(), 0);
            QCOMPARE(d->unexpectedIoctls(), 0);
            QCOMPARE(d->implicitClaims(), 0);
            QCOMPARE(d->badFrames(), 0);
        }
    }

    void cleanupTestCase() { bed.reset(); }

    void noTransmitter()
    {
        add({.port = "3", .product = 0x000b}); // same maker, other product
        QVERIFY(!connect());
        QCOMPARE(link->readPipe, MPUSB_INVALID_HANDLE);
        QCOMPARE(link->writePipe, MPUSB_INVALID_HANDLE);
        QCOMPARE(link->deviceCount(), 0u);
        QCOMPARE(failureText([&] { link->sendCommand2(); }), QByteArray(kTextNoReply));
        resetPipes(*link);
        uint8_t buffer[8];
        QCOMPARE(failureText([&] { link->readMemory(890, buffer, 8); }), QByteArray(kTextNoReply));
        QCOMPARE(devices.front()->requests(), 0);
    }

    void transactions_data()
    {
        QTest::addColumn<EndpointKind>("endpoints");
        QTest::addColumn<bool>("kernelDriver");
        QTest::newRow("bulk endpoints") << EndpointKind::Bulk << false;
        QTest::newRow("interrupt endpoints, kernel driver bound") << EndpointKind::Interrupt << true;
    }
    void transactions()
    {
        QFETCH(EndpointKind, endpoints);
        QFETCH(bool, kernelDriver);
        auto &device = add({.endpoints = endpoints, .kernelDriver = kernelDriver});
        device.setValue(101325.0f);
        QVERIFY(connect());
        QCOMPARE(link->deviceCount(), 1u);
        QZ_NO_LINK_ERROR(link->sendCommand2());
        QZ_NO_LINK_ERROR(link->sendCommand4());

        // The bracket of every operation, then its reads and writes.
        resetPipes(*link);
        QZ_NO_LINK_ERROR(link->sendCommand2());
        uint8_t range[8] = {};
        QZ_NO_LINK_ERROR(link->readMemory(890, range, 8));
        QCOMPARE(bytes(range, 8), bytes(device.memory(890, 8)));
        uint8_t block[27] = {};
        QZ_NO_LINK_ERROR(link->readMemory(67, block, 27));
        QCOMPARE(bytes(block, 27), bytes(device.memory(67, 27)));

        uint8_t written[52];
        for (int i = 0; i < 52; ++i)
            written[i] = static_cast<uint8_t>(0xC0 + i);
        QZ_NO_LINK_ERROR(link->writeMemory(67, written, 27));
        QCOMPARE(bytes(device.memory(67, 27)), bytes(written, 27));
        QZ_NO_LINK_ERROR(link->writeMemory(900, written, 52));
        QCOMPARE(bytes(device.memory(900, 52)), bytes(written, 52));

        uint8_t value[4] = {};
        QZ_NO_LINK_ERROR(link->queryValue(4, value, sizeof value));
        float pa = 0;
        std::memcpy(&pa, value, 4);
        QCOMPARE(pa, 101325.0f);
        QZ_NO_LINK_ERROR(link->transact(13, 0, 0, 0));
        QZ_NO_LINK_ERROR(link->sendCommand1());
        QCOMPARE(device.requests(), 10);
        QCOMPARE(link->bytesRead, uint32_t(kFrameSize));
    }

    void instanceIndexFollowsBusAndPort()
    {
        // Plugged in an order unlike the port order, with a device of another
        // product in between.
        add({.bus = 1, .port = "2", .serial = 0xA1});
        add({.bus = 2, .port = "1", .serial = 0xC3});
        add({.bus = 1, .port = "3", .product = 0x000b, .serial = 0xEE});
        add({.bus = 1, .port = "1", .serial = 0xB2});
        QVERIFY(connect());
        QCOMPARE(link->deviceCount(), 3u);

        // The start-up pipes of instance 0 are replaced below without a close.
        link->_MPUSBClose(link->readPipes[0]);
        link->_MPUSBClose(link->writePipes[0]);
        const uint8_t expected[] = {0xB2, 0xA1, 0xC3};
        for (int i = 0; i < 3; ++i) {
            QVERIFY(link->openPipes(i));
            uint8_t serial[4] = {};
            QZ_NO_LINK_ERROR(link->readMemory(FakeTransmitter::kSerialAddress, serial, 4));
            QCOMPARE(serial[0], expected[i]);
        }
        QVERIFY(!link->openPipes(3));
        QCOMPARE(failureText([&] { link->sendCommand1(); }), QByteArray(kTextNoReply));
    }

    void drainDiscardsStaleFrames()
    {
        auto &device = add({});
        QVERIFY(connect());
        // A frame nobody waits for is taken as the next reply...
        device.queueFrame(1);
        uint8_t buffer[8];
        QCOMPARE(failureText([&] { link->readMemory(890, buffer, 8); }), QByteArray(kTextCommandNumber));
        // ...unless the bracket drains it first.
        resetPipes(*link);
        device.queueFrame(1);
        device.queueFrame(4);
        resetPipes(*link);
        QZ_NO_LINK_ERROR(link->readMemory(890, buffer, 8));
        QCOMPARE(bytes(buffer, 8), bytes(device.memory(890, 8)));
    }

    // Two transmitters, each with its own link in its own thread, while this
    // thread keeps asking the library about devices and opening and closing
    // pipes of a third: no transaction may fail or see the other's bytes.
    void twoTransmittersFromTwoThreads()
    {
        auto &a = add({.port = "1", .serial = 0x11});
        auto &b = add({.port = "2", .endpoints = EndpointKind::Interrupt, .serial = 0x22});
        add({.bus = 2, .port = "1", .serial = 0x33});
        QVERIFY(connect());
        link->_MPUSBClose(link->readPipes[0]);
        link->_MPUSBClose(link->writePipes[0]);
        link->readPipes[0] = link->writePipes[0] = nullptr;

        const int rounds = 150;
        Worker first{0, 0x11, rounds, {}};
        Worker second{1, 0x22, rounds, {}};
        std::atomic<bool> done{false};
        std::thread t1([&] { first.run(); });
        std::thread t2([&] {
            second.run();
            done = true;
        });
        int queries = 0;
        QStringList failures;
        while (!done || queries < 20) {
            if (link->deviceCount() != 3)
                failures << "count";
            if (link->deviceLocation(2) != "2-1")
                failures << "location";
            if (link->deviceAccess(1) != DeviceAccess::Ready)
                failures << "access";
            void *in = link->_MPUSBOpen(2, kDeviceSelector, kEndpointName, MP_READ, 0);
            if (in == MPUSB_INVALID_HANDLE)
                failures << "open";
            else
                link->_MPUSBClose(in);
            ++queries;
        }
        t1.join();
        t2.join();
        QCOMPARE(first.failures, QStringList());
        QCOMPARE(second.failures, QStringList());
        QCOMPARE(failures, QStringList());
        QCOMPARE(first.transactions, 3 * rounds);
        QCOMPARE(second.transactions, 3 * rounds);
        QCOMPARE(a.requests(), 3 * rounds);
        QCOMPARE(b.requests(), 3 * rounds);
    }

    // A read that waits on one transmitter holds up no other: the other's
    // transactions all finish while the read still waits.
    void waitingReadBlocksNoOtherTransmitter()
    {
        auto &silent = add({.port = "1"});
        add({.port = "2", .serial = 0x22});
        silent.setSilent(true);
        QVERIFY(connect());
        uint8_t request[kFrameSize] = {kStartByte, kMasterAddress, kAnySlave, 1};
        request[63] = TFix64::frameChecksum(request);
        uint32_t n = 0;
        QCOMPARE(link->_MPUSBWrite(link->writePipe, request, kFrameSize, &n, 1000), 1u);

        std::atomic<bool> readReturned{false};
        std::thread waiting([&] {
            uint8_t reply[kFrameSize];
            uint32_t got = 0;
            link->_MPUSBRead(link->readPipe, reply, kFrameSize, &got, 60000);
            readReturned = true;
        });
        QVERIFY(silent.waitForRequests(1, 5000));
        Worker other{1, 0x22, 20, {}};
        other.run();
        const bool stillWaiting = !readReturned;
        silent.unplug(); // ends the read
        waiting.join();
        QCOMPARE(other.failures, QStringList());
        QVERIFY(stillWaiting);
    }

    void transmitterUnpluggedDuringTransaction()
    {
        auto &device = add({});
        QVERIFY(connect());
        QZ_NO_LINK_ERROR(link->sendCommand2());

        device.setSilent(true);
        {
            UnplugLater unplug(device, 2, 30);
            uint8_t buffer[8];
            QCOMPARE(failureText([&] { link->readMemory(890, buffer, 8); }), QByteArray(kTextNoReply));
        }
        QCOMPARE(failureText([&] { link->sendCommand1(); }), QByteArray(kTextNoReply));

        // Plugged in again: the live pipes stay dead, a new bracket works.
        device.setSilent(false);
        device.plug();
        QCOMPARE(failureText([&] { link->sendCommand1(); }), QByteArray(kTextNoReply));
        resetPipes(*link);
        uint8_t serial[4] = {};
        QZ_NO_LINK_ERROR(link->readMemory(FakeTransmitter::kSerialAddress, serial, 4));
        QCOMPARE(bytes(serial, 4), bytes(device.memory(FakeTransmitter::kSerialAddress, 4)));
        QTRY_COMPARE(device.openHandles(), 1);
    }
};

QZ_USB_TEST_MAIN(TestUsbLink)
#include "tst_usblink.moc"
