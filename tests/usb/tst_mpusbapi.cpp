// libmpusbapi.so, loaded through TFix64 and called through its bound entry
// points, against transmitters emulated at the kernel's usbfs interface.
#include "UsbTestSupport.h"

#include <sys/ioctl.h>
#include <linux/usbdevice_fs.h>

#include <QObject>
#include <QScopeGuard>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

Q_DECLARE_METATYPE(EndpointKind)

namespace {

constexpr uint8_t kIn = 0x81;
constexpr uint8_t kOut = 0x01;
constexpr uint32_t kTimeout = 250;

QByteArray bytes(const uint8_t *p, int n) { return QByteArray(reinterpret_cast<const char *>(p), n); }
QByteArray bytes(const std::vector<uint8_t> &v) { return bytes(v.data(), static_cast<int>(v.size())); }

} // namespace

class TestMpusbapi : public QObject {
    Q_OBJECT

    std::unique_ptr<UsbTestbed> bed;
    std::unique_ptr<TFix64> link;
    std::vector<void *> handles;
    std::vector<std::unique_ptr<FakeTransmitter>> devices;
    std::vector<std::string> hubs;

    FakeTransmitter &add(DeviceModel model)
    {
        devices.push_back(std::make_unique<FakeTransmitter>(*bed, model));
        return *devices.back();
    }

    void *open(uint32_t direction, uint32_t instance = 0, const char *endpoint = kEndpointName,
               const char *selector = kDeviceSelector)
    {
        void *h = link->_MPUSBOpen(instance, selector, endpoint, direction, 0);
        if (h != MPUSB_INVALID_HANDLE)
            handles.push_back(h);
        return h;
    }

    void close(void *h)
    {
        link->_MPUSBClose(h);
        handles.erase(std::remove(handles.begin(), handles.end(), h), handles.end());
    }

    uint32_t write(void *h, const Frame &f, uint32_t *written = nullptr)
    {
        uint32_t n = 0;
        uint32_t ok = link->_MPUSBWrite(h, f.data(), kFrameSize, &n, kTimeout);
        if (written)
            *written = n;
        return ok;
    }

    // One request and its reply, as the link makes them.
    bool roundTrip(void *in, void *out, const Frame &request, Frame &reply)
    {
        uint32_t n = 0;
        return write(out, request) == 1 && link->_MPUSBRead(in, reply.data(), kFrameSize, &n, kTimeout) == 1 &&
               n == kFrameSize && reply[3] == request[3] && TFix64::frameChecksum(reply.data()) == reply[63];
    }

private slots:
    void initTestCase()
    {
        bed = std::make_unique<UsbTestbed>();
        link = std::make_unique<TFix64>();
        QVERIFY(link->loadLibrary());
    }

    void cleanup()
    {
        for (void *h : handles)
            link->_MPUSBClose(h);
        handles.clear();
        auto unplugAll = qScopeGuard([this] {
            devices.clear();
            for (const auto &hub : hubs)
                bed->removeDevice(hub);
            hubs.clear();
        });
        for (const auto &d : devices) {
            QCOMPARE(d->unexpectedIoctls(), 0);
            QCOMPARE(d->implicitClaims(), 0);
        }
    }

    void cleanupTestCase()
    {
        link.reset();
        bed.reset();
    }

    void reportsItsVersion()
    {
        QCOMPARE(link->_MPUSBGetDLLVersion(), uint32_t(QZ_VERSION_MAJOR) << 24 | uint32_t(QZ_VERSION_MINOR) << 16 |
                                                   uint32_t(QZ_VERSION_PATCH) << 8);
    }

    void deviceCount_data()
    {
        QTest::addColumn<QByteArray>("selector");
        QTest::addColumn<uint32_t>("count");
        QTest::newRow("as the tool asks") << QByteArray("vid_04d8&pid_000c") << 1u;
        QTest::newRow("upper case") << QByteArray("VID_04D8&PID_000C") << 1u;
        QTest::newRow("mixed case") << QByteArray("Vid_04d8&Pid_000C") << 1u;
        QTest::newRow("inside a device path") << QByteArray("\\\\?\\usb#vid_04d8&pid_000c#5&1a2b") << 1u;
        QTest::newRow("product first") << QByteArray("pid_000c&vid_04d8") << 1u;
        QTest::newRow("the other product") << QByteArray("vid_04d8&pid_000b") << 1u;
        QTest::newRow("root hubs") << QByteArray("vid_1d6b&pid_0002") << 2u;
        QTest::newRow("nothing attached") << QByteArray("vid_04d8&pid_000d") << 0u;
        QTest::newRow("no product") << QByteArray("vid_04d8") << 0u;
        QTest::newRow("three digits") << QByteArray("vid_4d8&pid_000c") << 0u;
        QTest::newRow("five digits") << QByteArray("vid_04d80&pid_000c") << 0u;
        QTest::newRow("not hex") << QByteArray("vid_04g8&pid_000c") << 0u;
        QTest::newRow("empty") << QByteArray("") << 0u;
        QTest::newRow("null") << QByteArray() << 0u;
    }
    void deviceCount()
    {
        QFETCH(QByteArray, selector);
        QFETCH(uint32_t, count);
        add({.port = "2"});
        add({.port = "3", .product = 0x000b});
        QCOMPARE(link->_MPUSBGetDeviceCount(selector.isNull() ? nullptr : selector.constData()), count);
    }

    void countFollowsPlugging()
    {
        QCOMPARE(link->deviceCount(), 0u);
        auto &a = add({.port = "1"});
        QCOMPARE(link->deviceCount(), 1u);
        auto &b = add({.bus = 2, .port = "4"});
        QCOMPARE(link->deviceCount(), 2u);
        a.unplug();
        QCOMPARE(link->deviceCount(), 1u);
        b.unplug();
        QCOMPARE(link->deviceCount(), 0u);
        a.plug();
        QCOMPARE(link->deviceCount(), 1u);
    }

    void open_data()
    {
        QTest::addColumn<uint32_t>("instance");
        QTest::addColumn<QByteArray>("selector");
        QTest::addColumn<QByteArray>("endpoint");
        QTest::addColumn<uint32_t>("direction");
        QTest::addColumn<bool>("opens");
        const QByteArray sel(kDeviceSelector), ep(kEndpointName);
        QTest::newRow("IN pipe") << 0u << sel << ep << 1u << true;
        QTest::newRow("OUT pipe") << 0u << sel << ep << 0u << true;
        QTest::newRow("lower-case endpoint name") << 0u << sel << QByteArray("\\mchp_ep1") << 1u << true;
        QTest::newRow("endpoint the device lacks") << 0u << sel << QByteArray("\\MCHP_EP2") << 1u << false;
        QTest::newRow("control endpoint") << 0u << sel << QByteArray("\\MCHP_EP0") << 0u << false;
        QTest::newRow("endpoint beyond 15") << 0u << sel << QByteArray("\\MCHP_EP17") << 0u << false;
        QTest::newRow("no endpoint number") << 0u << sel << QByteArray("\\MCHP_EP") << 1u << false;
        QTest::newRow("text after the number") << 0u << sel << QByteArray("\\MCHP_EP1a") << 1u << false;
        QTest::newRow("other endpoint name") << 0u << sel << QByteArray("\\EP1") << 1u << false;
        QTest::newRow("empty endpoint name") << 0u << sel << QByteArray("") << 1u << false;
        QTest::newRow("null endpoint name") << 0u << sel << QByteArray() << 1u << false;
        QTest::newRow("direction 2") << 0u << sel << ep << 2u << false;
        QTest::newRow("second instance of one device") << 1u << sel << ep << 1u << false;
        QTest::newRow("product not attached") << 0u << QByteArray("vid_04d8&pid_000d") << ep << 1u << false;
        QTest::newRow("selector without ids") << 0u << QByteArray("mchp") << ep << 1u << false;
        QTest::newRow("null selector") << 0u << QByteArray() << ep << 1u << false;
    }
    void open()
    {
        QFETCH(uint32_t, instance);
        QFETCH(QByteArray, selector);
        QFETCH(QByteArray, endpoint);
        QFETCH(uint32_t, direction);
        QFETCH(bool, opens);
        auto &device = add({});
        void *h = open(direction, instance, endpoint.isNull() ? nullptr : endpoint.constData(),
                       selector.isNull() ? nullptr : selector.constData());
        QCOMPARE(h != MPUSB_INVALID_HANDLE, opens);
        QVERIFY(h != nullptr);
        QCOMPARE(device.claimedInterfaces(), opens ? 1 : 0);
        // A failed open leaves no device handle behind.
        QTRY_COMPARE(device.openHandles(), opens ? 1 : 0);
    }

    void access_data()
    {
        QTest::addColumn<QByteArray>("selector");
        QTest::addColumn<uint32_t>("instance");
        QTest::addColumn<bool>("nodeOpen");
        QTest::addColumn<bool>("holdPipe");
        QTest::addColumn<uint32_t>("access");
        const QByteArray sel(kDeviceSelector);
        QTest::newRow("node open to all") << sel << 0u << true << false << MPUSB_ACCESS_READY;
        QTest::newRow("node closed") << sel << 0u << false << false << MPUSB_ACCESS_DENIED;
        QTest::newRow("node closed, a pipe already open") << sel << 0u << false << true << MPUSB_ACCESS_READY;
        QTest::newRow("second instance absent") << sel << 1u << true << false << MPUSB_ACCESS_NO_DEVICE;
        QTest::newRow("product not attached")
            << QByteArray("vid_04d8&pid_000d") << 0u << true << false << MPUSB_ACCESS_NO_DEVICE;
        QTest::newRow("selector without ids") << QByteArray("mchp") << 0u << true << false << MPUSB_ACCESS_NO_DEVICE;
        QTest::newRow("null selector") << QByteArray() << 0u << true << false << MPUSB_ACCESS_NO_DEVICE;
    }
    void access()
    {
        QFETCH(QByteArray, selector);
        QFETCH(uint32_t, instance);
        QFETCH(bool, nodeOpen);
        QFETCH(bool, holdPipe);
        QFETCH(uint32_t, access);
        QVERIFY(link->_QZGetDeviceAccess);
        auto &device = add({});
        if (holdPipe)
            QVERIFY(open(MP_READ) != MPUSB_INVALID_HANDLE);
        device.setNodeOpenToAll(nodeOpen);
        uint32_t told = MPUSB_ACCESS_UNKNOWN;
        {
            AsOrdinaryUser user;
            told = link->_QZGetDeviceAccess(instance, selector.isNull() ? nullptr : selector.constData());
        }
        QCOMPARE(told, access);
        // Asking leaves no handle of its own behind. (A refused open leaves
        // the emulation's own socket connected, so only count the others.)
        if (access != MPUSB_ACCESS_DENIED)
            QTRY_COMPARE(device.openHandles(), holdPipe ? 1 : 0);
        QCOMPARE(device.claimedInterfaces(), holdPipe ? 1 : 0);
    }

    // An open refused for the node's permissions is told apart from one that
    // found nothing, per instance, and passes once the node lets us in.
    void deniedOpenIsTold()
    {
        auto &closed = add({.port = "2"});
        auto &other = add({.port = "3"});
        closed.setNodeOpenToAll(false);
        other.setNodeOpenToAll(true);
        {
            AsOrdinaryUser user;
            QCOMPARE(open(MP_READ, 0), MPUSB_INVALID_HANDLE);
            QCOMPARE(link->_QZGetDeviceAccess(0, kDeviceSelector), MPUSB_ACCESS_DENIED);
            QVERIFY(open(MP_READ, 1) != MPUSB_INVALID_HANDLE);
            QCOMPARE(link->_QZGetDeviceAccess(1, kDeviceSelector), MPUSB_ACCESS_READY);
            QCOMPARE(open(MP_READ, 2), MPUSB_INVALID_HANDLE);
            QCOMPARE(link->_QZGetDeviceAccess(2, kDeviceSelector), MPUSB_ACCESS_NO_DEVICE);
        }
        closed.setNodeOpenToAll(true);
        {
            AsOrdinaryUser user;
            QCOMPARE(link->_QZGetDeviceAccess(0, kDeviceSelector), MPUSB_ACCESS_READY);
            QVERIFY(open(MP_READ, 0) != MPUSB_INVALID_HANDLE);
        }
        QCOMPARE(closed.claimedInterfaces(), 1);
        closed.unplug();
        QCOMPARE(link->_QZGetDeviceAccess(1, kDeviceSelector), MPUSB_ACCESS_NO_DEVICE);
    }

    void location_data()
    {
        QTest::addColumn<int>("bus");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QStringList>("hubs"); // ports of the hubs on the way, nearest the root first
        QTest::addColumn<QByteArray>("location");
        QTest::newRow("root port") << 1 << "2" << QStringList{} << QByteArray("1-2");
        QTest::newRow("second bus, two-digit port") << 2 << "12" << QStringList{} << QByteArray("2-12");
        QTest::newRow("behind a hub") << 1 << "3.4" << QStringList{"3"} << QByteArray("1-3.4");
        QTest::newRow("behind two hubs") << 2 << "1.2.3" << QStringList{"1", "1.2"} << QByteArray("2-1.2.3");
    }
    void location()
    {
        QFETCH(int, bus);
        QFETCH(QString, port);
        QFETCH(QStringList, hubs);
        QFETCH(QByteArray, location);
        QVERIFY(link->_QZGetDeviceLocation);
        for (const QString &hub : hubs)
            this->hubs.push_back(bed->addHub(bus, hub.toStdString()));
        add({.bus = bus, .port = port.toStdString()});
        char buffer[32];
        std::fill(std::begin(buffer), std::end(buffer), 'x');
        uint32_t n = link->_QZGetDeviceLocation(0, kDeviceSelector, buffer, sizeof buffer);
        QCOMPARE(QByteArray(buffer, int(n)), location);
        QCOMPARE(buffer[n], '\0');
    }

    void locationNeedsRoom_data()
    {
        QTest::addColumn<uint32_t>("instance");
        QTest::addColumn<QByteArray>("selector");
        QTest::addColumn<uint32_t>("size");
        QTest::addColumn<QByteArray>("location"); // empty: unknown
        const QByteArray sel(kDeviceSelector);
        QTest::newRow("first by bus") << 0u << sel << 32u << QByteArray("1-5");
        QTest::newRow("second by bus") << 1u << sel << 32u << QByteArray("2-1");
        QTest::newRow("room for text and terminator") << 0u << sel << 4u << QByteArray("1-5");
        QTest::newRow("no room for the terminator") << 0u << sel << 3u << QByteArray();
        QTest::newRow("one byte") << 0u << sel << 1u << QByteArray();
        QTest::newRow("no buffer") << 0u << sel << 0u << QByteArray();
        QTest::newRow("instance absent") << 2u << sel << 32u << QByteArray();
        QTest::newRow("selector without ids") << 0u << QByteArray("vid_04d8") << 32u << QByteArray();
        QTest::newRow("null selector") << 0u << QByteArray() << 32u << QByteArray();
    }
    void locationNeedsRoom()
    {
        QFETCH(uint32_t, instance);
        QFETCH(QByteArray, selector);
        QFETCH(uint32_t, size);
        QFETCH(QByteArray, location);
        add({.bus = 2, .port = "1"});
        add({.bus = 1, .port = "5"});
        std::array<char, 40> buffer;
        buffer.fill('x');
        uint32_t n = link->_QZGetDeviceLocation(instance, selector.isNull() ? nullptr : selector.constData(),
                                                size ? buffer.data() : nullptr, size);
        QCOMPARE(n, uint32_t(location.size()));
        QCOMPARE(QByteArray(buffer.data(), int(n)), location);
        if (size > 0)
            QCOMPARE(buffer[n], '\0');
        // Never a byte past the room it was given.
        QCOMPARE(QByteArray(buffer.data() + std::max<uint32_t>(size, 1), 8), QByteArray(8, 'x'));
    }

    void pipesShareOneDeviceHandle()
    {
        auto &device = add({});
        void *in = open(MP_READ);
        void *out = open(MP_WRITE);
        QVERIFY(in != MPUSB_INVALID_HANDLE && out != MPUSB_INVALID_HANDLE && in != out);
        QCOMPARE(device.openHandles(), 1);
        QCOMPARE(device.claimedInterfaces(), 1);

        close(in);
        QCOMPARE(device.openHandles(), 1);
        QCOMPARE(device.claimedInterfaces(), 1);
        uint32_t written = 0;
        QCOMPARE(write(out, requestFrame(1), &written), 1u);
        QCOMPARE(written, uint32_t(kFrameSize));

        close(out);
        QTRY_COMPARE(device.openHandles(), 0);
        QCOMPARE(device.claimedInterfaces(), 0);

        // Closing twice, the failure value, nothing or a made-up handle is harmless.
        QCOMPARE(link->_MPUSBClose(out), 0);
        QCOMPARE(link->_MPUSBClose(MPUSB_INVALID_HANDLE), 0);
        QCOMPARE(link->_MPUSBClose(nullptr), 0);
        QCOMPARE(link->_MPUSBClose(reinterpret_cast<void *>(uintptr_t(0x5A5A5A5A))), 0);

        // New pipes get new handles; the old ones stay dead.
        void *in2 = open(MP_READ);
        void *out2 = open(MP_WRITE);
        QVERIFY(in2 != in && in2 != out && out2 != in && out2 != out);
        QCOMPARE(write(out, requestFrame(1)), 0u);
        // The reply to the request made while no IN pipe was open waited in the device.
        Frame reply{};
        uint32_t received = 0;
        QCOMPARE(link->_MPUSBRead(in2, reply.data(), kFrameSize, &received, kTimeout), 1u);
        QCOMPARE(reply[3], uint8_t(1));
        QVERIFY(roundTrip(in2, out2, requestFrame(2), reply));
        QCOMPARE(device.requests(), 2);
    }

    void requestAndReply_data()
    {
        QTest::addColumn<EndpointKind>("endpoints");
        QTest::addColumn<bool>("kernelDriver");
        QTest::addColumn<int>("urbType");
        QTest::newRow("bulk endpoints") << EndpointKind::Bulk << false << int(USBDEVFS_URB_TYPE_BULK);
        QTest::newRow("interrupt endpoints, kernel driver bound")
            << EndpointKind::Interrupt << true << int(USBDEVFS_URB_TYPE_INTERRUPT);
    }
    void requestAndReply()
    {
        QFETCH(EndpointKind, endpoints);
        QFETCH(bool, kernelDriver);
        QFETCH(int, urbType);
        auto &device = add({.endpoints = endpoints, .kernelDriver = kernelDriver});
        void *in = open(MP_READ);
        void *out = open(MP_WRITE);
        QVERIFY(in != MPUSB_INVALID_HANDLE && out != MPUSB_INVALID_HANDLE);
        QVERIFY(!device.kernelDriverBound());

        Frame request = requestFrame(7, 8, 890);
        uint32_t written = 0;
        QCOMPARE(write(out, request, &written), 1u);
        QCOMPARE(written, uint32_t(kFrameSize));
        Frame reply{};
        uint32_t received = 0;
        QCOMPARE(link->_MPUSBRead(in, reply.data(), kFrameSize, &received, kTimeout), 1u);
        QCOMPARE(received, uint32_t(kFrameSize));
        QCOMPARE(bytes(reply.data() + 1, 3), bytes(request.data() + 1, 3));
        QCOMPARE(bytes(reply.data() + 11, 8), bytes(device.memory(890, 8)));
        QCOMPARE(reply[63], TFix64::frameChecksum(reply.data()));
        QCOMPARE(device.lastUrbType(kOut), urbType);
        QCOMPARE(device.lastUrbType(kIn), urbType);

        // The interrupt read takes the same road.
        QCOMPARE(write(out, requestFrame(4)), 1u);
        Frame second{};
        QCOMPARE(link->_MPUSBReadInt(in, second.data(), kFrameSize, &received, kTimeout), 1u);
        QCOMPARE(received, uint32_t(kFrameSize));
        QCOMPARE(second[3], uint8_t(4));
        QCOMPARE(device.badFrames(), 0);

        close(in);
        close(out);
        QTRY_COMPARE(device.openHandles(), 0);
        QCOMPARE(device.kernelDriverBound(), kernelDriver);
    }

    void replyLongerThanAsked()
    {
        auto &device = add({});
        void *in = open(MP_READ);
        void *out = open(MP_WRITE);
        Frame request = requestFrame(7, 52, 100);
        QCOMPARE(write(out, request), 1u);

        std::array<uint8_t, 16> buffer;
        buffer.fill(0xEE);
        uint32_t received = 0xDEAD;
        QCOMPARE(link->_MPUSBRead(in, buffer.data(), 8, &received, kTimeout), 1u);
        QCOMPARE(received, 8u);
        QCOMPARE(bytes(buffer.data(), 4), bytes(request.data(), 4));
        QCOMPARE(buffer[4], uint8_t(52));
        QCOMPARE(bytes(buffer.data() + 8, 8), QByteArray(8, char(0xEE)));

        // The rest of that packet is gone with it: one read, one transfer.
        QCOMPARE(link->_MPUSBRead(in, buffer.data(), 8, &received, 50), 0u);
        QCOMPARE(received, 0u);
        QCOMPARE(device.requests(), 1);
    }

    void readTimesOut_data()
    {
        QTest::addColumn<uint32_t>("timeoutMs");
        QTest::newRow("250 ms") << 250u;
        QTest::newRow("0 ms tries once") << 0u;
    }
    void readTimesOut()
    {
        QFETCH(uint32_t, timeoutMs);
        auto &device = add({});
        void *in = open(MP_READ);
        Frame reply;
        reply.fill(0x55);
        uint32_t received = 0xDEAD;
        Watchdog watchdog(device, 10000);
        auto start = std::chrono::steady_clock::now();
        uint32_t ok = link->_MPUSBRead(in, reply.data(), kFrameSize, &received, timeoutMs);
        auto elapsed = since(start);
        QVERIFY2(!watchdog.stop(), "the read did not return by itself");
        QCOMPARE(ok, 0u);
        QCOMPARE(received, 0u);
        // A generous bound: it must end about when asked, not much later.
        QVERIFY2(elapsed.count() < std::max<int64_t>(10 * int64_t(timeoutMs), 1000),
                 qPrintable(QString::number(elapsed.count())));
        // What was not received reads as zero, never as an older frame.
        QCOMPARE(bytes(reply.data(), kFrameSize), QByteArray(kFrameSize, 0));
    }

    void unusableHandlesFail()
    {
        add({});
        void *in = open(MP_READ);
        void *out = open(MP_WRITE);
        void *closedIn = open(MP_READ);
        close(closedIn);
        Frame frame = requestFrame(1);
        struct Case {
            const char *what;
            void *handle;
        };
        for (const Case &c : {Case{"IN pipe", in}, Case{"invalid handle", MPUSB_INVALID_HANDLE},
                              Case{"null handle", nullptr}, Case{"closed handle", closedIn},
                              Case{"made-up handle", reinterpret_cast<void *>(uintptr_t(0x77777))}}) {
            uint32_t n = 0xDEAD;
            QVERIFY2(link->_MPUSBWrite(c.handle, frame.data(), kFrameSize, &n, 50) == 0, c.what);
            QVERIFY2(n == 0, c.what);
        }
        for (const Case &c : {Case{"OUT pipe", out}, Case{"invalid handle", MPUSB_INVALID_HANDLE},
                              Case{"null handle", nullptr}, Case{"closed handle", closedIn},
                              Case{"made-up handle", reinterpret_cast<void *>(uintptr_t(0x77777))}}) {
            uint32_t n = 0xDEAD;
            QVERIFY2(link->_MPUSBRead(c.handle, frame.data(), kFrameSize, &n, 50) == 0, c.what);
            QVERIFY2(n == 0, c.what);
        }
        for (const Case &c : {Case{"invalid handle", MPUSB_INVALID_HANDLE}, Case{"null handle", nullptr},
                              Case{"closed handle", closedIn}}) {
            uint32_t n = 0xDEAD;
            QVERIFY2(link->_MPUSBGetStringDescriptor(c.handle, 0, 0, frame.data(), kFrameSize, &n) == 0, c.what);
            QVERIFY2(n == 0, c.what);
            QVERIFY2(link->_MPUSBSetConfiguration(c.handle, 1) == 0, c.what);
        }
        Frame reply{};
        QVERIFY(roundTrip(in, out, requestFrame(2), reply));
    }

    void deviceGoneMidway_data()
    {
        QTest::addColumn<bool>("duringRead");
        QTest::newRow("while a read waits") << true;
        QTest::newRow("between transfers") << false;
    }
    void deviceGoneMidway()
    {
        QFETCH(bool, duringRead);
        auto &device = add({});
        void *in = open(MP_READ);
        void *out = open(MP_WRITE);
        Frame reply{};
        QVERIFY(roundTrip(in, out, requestFrame(1), reply));

        uint32_t received = 0xDEAD;
        if (duringRead) {
            device.setSilent(true);
            UnplugLater unplug(device, 2, 30);
            QCOMPARE(write(out, requestFrame(2)), 1u);
            auto start = std::chrono::steady_clock::now();
            QCOMPARE(link->_MPUSBRead(in, reply.data(), kFrameSize, &received, 20000), 0u);
            QVERIFY(since(start).count() < 10000); // ended by the unplug, not by its timeout
            QCOMPARE(received, 0u);
        } else {
            device.unplug();
        }
        QCOMPARE(link->deviceCount(), 0u);

        // Back again, under a new device number: the old pipes stay dead.
        device.setSilent(false);
        device.plug();
        QCOMPARE(link->deviceCount(), 1u);
        int requestsBefore = device.requests();
        QCOMPARE(write(out, requestFrame(1)), 0u);
        QCOMPARE(link->_MPUSBRead(in, reply.data(), kFrameSize, &received, 50), 0u);
        QCOMPARE(write(out, requestFrame(1)), 0u);
        QCOMPARE(device.requests(), requestsBefore);

        close(in);
        close(out);
        QTRY_COMPARE(device.openHandles(), 0);
        void *in2 = open(MP_READ);
        void *out2 = open(MP_WRITE);
        QVERIFY(in2 != MPUSB_INVALID_HANDLE && out2 != MPUSB_INVALID_HANDLE);
        QVERIFY(roundTrip(in2, out2, requestFrame(7, 4, FakeTransmitter::kSerialAddress), reply));
        QCOMPARE(device.openHandles(), 1);
    }

    void manyOpenCloseCycles()
    {
        auto &device = add({});
        // Sockets of earlier tests' emulation may still be closing: only growth counts.
        const int descriptorsBefore = openDescriptorCount();
        const int cycles = 300;
        for (int i = 0; i < cycles; ++i) {
            void *in = open(MP_READ);
            void *out = open(MP_WRITE);
            Frame reply{};
            QVERIFY(roundTrip(in, out, requestFrame(1), reply));
            close(out);
            close(in);
        }
        QCOMPARE(device.requests(), cycles);
        QTRY_COMPARE(device.openHandles(), 0);
        QCOMPARE(device.claimedInterfaces(), 0);
        QVERIFY2(openDescriptorCount() <= descriptorsBefore, qPrintable(QString::number(openDescriptorCount())));
    }

    void stringDescriptor_data()
    {
        QTest::addColumn<uint8_t>("index");
        QTest::addColumn<uint16_t>("language");
        QTest::addColumn<uint32_t>("length");
        QTest::addColumn<QByteArray>("expected"); // null when the device refuses
        QByteArray product("\x26\x03", 2);
        for (char ch : QByteArray("QZ5801 transmitter"))
            product += QByteArray(1, ch) + QByteArray(1, '\0');
        QTest::newRow("languages") << uint8_t(0) << uint16_t(0) << 255u << QByteArray("\x04\x03\x09\x04", 4);
        QTest::newRow("product") << uint8_t(2) << uint16_t(0x0409) << 255u << product;
        QTest::newRow("product, short buffer") << uint8_t(2) << uint16_t(0x0409) << 4u << product.left(4);
        QTest::newRow("no such string") << uint8_t(9) << uint16_t(0x0409) << 255u << QByteArray();
    }
    void stringDescriptor()
    {
        QFETCH(uint8_t, index);
        QFETCH(uint16_t, language);
        QFETCH(uint32_t, length);
        QFETCH(QByteArray, expected);
        add({});
        void *in = open(MP_READ);
        std::vector<uint8_t> buffer(length + 8, 0xEE);
        uint32_t received = 0xDEAD;
        uint32_t ok = link->_MPUSBGetStringDescriptor(in, index, language, buffer.data(), length, &received);
        QCOMPARE(ok, expected.isNull() ? 0u : 1u);
        QCOMPARE(received, uint32_t(expected.size()));
        QCOMPARE(bytes(buffer.data(), int(received)), expected);
        QCOMPARE(buffer[length], uint8_t(0xEE));
    }

    void setConfiguration_data()
    {
        QTest::addColumn<EndpointKind>("endpoints");
        QTest::addColumn<bool>("kernelDriver");
        QTest::addColumn<uint16_t>("configuration");
        QTest::addColumn<uint32_t>("result");
        QTest::newRow("bulk, the one configuration") << EndpointKind::Bulk << false << uint16_t(1) << 1u;
        QTest::newRow("bulk, unknown configuration") << EndpointKind::Bulk << false << uint16_t(7) << 0u;
        QTest::newRow("kernel driver, the one configuration")
            << EndpointKind::Interrupt << true << uint16_t(1) << 1u;
        QTest::newRow("kernel driver, unknown configuration")
            << EndpointKind::Interrupt << true << uint16_t(7) << 0u;
    }
    void setConfiguration()
    {
        QFETCH(EndpointKind, endpoints);
        QFETCH(bool, kernelDriver);
        QFETCH(uint16_t, configuration);
        QFETCH(uint32_t, result);
        auto &device = add({.endpoints = endpoints, .kernelDriver = kernelDriver});
        void *in = open(MP_READ);
        void *out = open(MP_WRITE);
        QCOMPARE(link->_MPUSBSetConfiguration(out, configuration), result);
        // Either way both pipes work on afterwards.
        QCOMPARE(device.claimedInterfaces(), 1);
        QVERIFY(!device.kernelDriverBound());
        Frame reply{};
        QVERIFY(roundTrip(in, out, requestFrame(2), reply));
        close(in);
        close(out);
        QTRY_COMPARE(device.openHandles(), 0);
        QCOMPARE(device.kernelDriverBound(), kernelDriver);
    }

    void silentOnStdoutAndStderr()
    {
        auto &device = add({.endpoints = EndpointKind::Interrupt, .kernelDriver = true});
        QByteArray output;
        bool closedAll = false;
        {
            OutputCapture capture;
            link->_MPUSBGetDeviceCount("vid_zzzz");
            link->_MPUSBOpen(3, kDeviceSelector, kEndpointName, MP_READ, 0);
            void *in = link->_MPUSBOpen(0, kDeviceSelector, kEndpointName, MP_READ, 0);
            void *out = link->_MPUSBOpen(0, kDeviceSelector, kEndpointName, MP_WRITE, 0);
            Frame frame = requestFrame(1);
            uint32_t n = 0;
            link->_MPUSBRead(in, frame.data(), kFrameSize, &n, 20);
            link->_MPUSBGetStringDescriptor(in, 9, 0x0409, frame.data(), kFrameSize, &n);
            link->_MPUSBSetConfiguration(in, 7);
            device.setSilent(true);
            {
                UnplugLater unplug(device, 1, 20);
                link->_MPUSBWrite(out, frame.data(), kFrameSize, &n, 100);
                link->_MPUSBRead(in, frame.data(), kFrameSize, &n, 5000);
            }
            link->_MPUSBWrite(out, frame.data(), kFrameSize, &n, 100);
            link->_MPUSBClose(in);
            link->_MPUSBClose(out);
            link->_MPUSBClose(out);
            closedAll = true;
            output = capture.finish();
        }
        QVERIFY(closedAll);
        QVERIFY2(output.isEmpty(), output.constData());
    }
};

QZ_USB_TEST_MAIN(TestMpusbapi)
#include "tst_mpusbapi.moc"
