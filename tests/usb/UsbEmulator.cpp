#include "UsbEmulator.h"

#include "Fix64usb.h"

#include <umockdev.h>

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <linux/usbdevice_fs.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

namespace {

constexpr uint8_t kOut = 0x01;
constexpr uint8_t kIn = 0x81;
constexpr int kPacket = 64;
constexpr const char *kDriverName = "qz-test-driver";

std::string hex(const std::vector<uint8_t> &bytes)
{
    std::string s;
    char b[3];
    for (uint8_t v : bytes) {
        std::snprintf(b, sizeof b, "%02x", v);
        s += b;
    }
    return s;
}

uint8_t lo(uint16_t v) { return static_cast<uint8_t>(v & 0xFF); }
uint8_t hi(uint16_t v) { return static_cast<uint8_t>(v >> 8); }

// Device descriptor and the one configuration: vendor-specific interface 0
// with endpoint 1 in both directions, 64-byte packets, full speed.
std::vector<uint8_t> descriptors(const DeviceModel &s)
{
    uint8_t type = s.endpoints == EndpointKind::Bulk ? 0x02 : 0x03;
    uint8_t interval = s.endpoints == EndpointKind::Bulk ? 0x00 : 0x01;
    return {0x12, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x40, lo(s.vendor), hi(s.vendor), lo(s.product), hi(s.product),
            0x00, 0x01, 0x01, 0x02, 0x00, 0x01,
            0x09, 0x02, 0x20, 0x00, 0x01, 0x01, 0x00, 0x80, 0x32,
            0x09, 0x04, 0x00, 0x00, 0x02, 0xFF, 0x00, 0x00, 0x00,
            0x07, 0x05, kOut, type, 0x40, 0x00, interval,
            0x07, 0x05, kIn, type, 0x40, 0x00, interval};
}

std::vector<uint8_t> stringDescriptor(uint8_t index)
{
    if (index == 0)
        return {0x04, 0x03, 0x09, 0x04};
    const char *text = index == 1 ? "QZ" : index == 2 ? "QZ5801 transmitter" : nullptr;
    if (!text)
        return {};
    std::vector<uint8_t> d{0, 0x03};
    for (const char *p = text; *p; ++p) {
        d.push_back(static_cast<uint8_t>(*p));
        d.push_back(0);
    }
    d[0] = static_cast<uint8_t>(d.size());
    return d;
}

std::string deviceBlock(const std::string &path, int bus, int address, const std::vector<uint8_t> &desc)
{
    char node[32];
    std::snprintf(node, sizeof node, "bus/usb/%03d/%03d", bus, address);
    std::string s;
    s += "P: " + path + "\n";
    s += std::string("N: ") + node + "\n";
    s += "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n";
    s += "E: BUSNUM=" + std::to_string(bus) + "\nE: DEVNUM=" + std::to_string(address) + "\n";
    s += std::string("E: DEVNAME=/dev/") + node + "\n";
    s += "A: busnum=" + std::to_string(bus) + "\\n\nA: devnum=" + std::to_string(address) + "\\n\n";
    s += "A: bConfigurationValue=1\\n\nA: speed=12\\n\n";
    s += "H: descriptors=" + hex(desc) + "\n\n";
    return s;
}

struct Resolved {
    UMockdevIoctlData *d;
    explicit Resolved(UMockdevIoctlData *arg, std::size_t len) : d(umockdev_ioctl_data_resolve(arg, 0, len, nullptr)) {}
    ~Resolved()
    {
        if (d)
            g_object_unref(d);
    }
    Resolved(const Resolved &) = delete;
    Resolved &operator=(const Resolved &) = delete;
    template <typename T> T *as() const { return d ? reinterpret_cast<T *>(d->data) : nullptr; }
};

} // namespace

bool UsbTestbed::available()
{
    // The preload only shows its /sys while a testbed exists.
    UMockdevTestbed *probe = umockdev_testbed_new();
    bool mocked = umockdev_in_mock_environment();
    g_object_unref(probe);
    return mocked;
}

UsbTestbed::UsbTestbed() : bed(umockdev_testbed_new())
{
    // Root hubs, as on every real machine; libusb also needs the usb bus in
    // sysfs before it starts.
    const std::vector<uint8_t> hub{0x12, 0x01, 0x00, 0x02, 0x09, 0x00, 0x01, 0x40, 0x6B, 0x1D, 0x02, 0x00, 0x06,
                                   0x06, 0x03, 0x02, 0x01, 0x01, 0x09, 0x02, 0x19, 0x00, 0x01, 0x01, 0x00, 0xE0,
                                   0x00, 0x09, 0x04, 0x00, 0x00, 0x01, 0x09, 0x00, 0x00, 0x00, 0x07, 0x05, 0x81,
                                   0x03, 0x04, 0x00, 0x0C};
    for (int bus : {1, 2}) {
        lastAddress[bus] = 1;
        std::string block = deviceBlock("/devices/usb" + std::to_string(bus), bus, 1, hub);
        if (!umockdev_testbed_add_from_string(bed, block.c_str(), nullptr))
            throw std::runtime_error("cannot add root hub");
    }
}

UsbTestbed::~UsbTestbed() { g_object_unref(bed); }

std::string UsbTestbed::addHub(int bus, const std::string &port)
{
    const std::vector<uint8_t> hub{0x12, 0x01, 0x00, 0x02, 0x09, 0x00, 0x01, 0x40, 0xE3, 0x05, 0x08, 0x06, 0x01,
                                   0x01, 0x00, 0x01, 0x00, 0x01, 0x09, 0x02, 0x19, 0x00, 0x01, 0x01, 0x00, 0xE0,
                                   0x32, 0x09, 0x04, 0x00, 0x00, 0x01, 0x09, 0x00, 0x00, 0x00, 0x07, 0x05, 0x81,
                                   0x03, 0x01, 0x00, 0x0C};
    std::string name = std::to_string(bus) + "-" + port;
    std::string path = "/devices/usb" + std::to_string(bus) + "/" + name;
    std::string block = deviceBlock(path, bus, nextAddress(bus), hub);
    if (!umockdev_testbed_add_from_string(bed, block.c_str(), nullptr))
        throw std::runtime_error("cannot add hub");
    return "/sys" + path;
}

void UsbTestbed::removeDevice(const std::string &syspath)
{
    umockdev_testbed_uevent(bed, syspath.c_str(), "remove");
    umockdev_testbed_remove_device(bed, syspath.c_str());
}

std::string UsbTestbed::path(const std::string &relative) const
{
    gchar *root = umockdev_testbed_get_root_dir(bed); // a copy, ours to free
    std::string full = std::string(root) + relative;
    g_free(root);
    return full;
}

struct FakeTransmitter::Core {
    struct Client {
        UMockdevIoctlClient *client;
        std::string devnode;
        std::set<unsigned> claims;
        int emptyReaps = 0;
    };
    struct Urb {
        UMockdevIoctlData *data;
        UMockdevIoctlClient *client;
        usbdevfs_urb *urb() const { return reinterpret_cast<usbdevfs_urb *>(data->data); }
    };

    explicit Core(const DeviceModel &s) : model(s), driverBound(s.kernelDriver)
    {
        for (uint32_t i = 0; i < kMemorySize; ++i)
            mem[i] = static_cast<uint8_t>(i * 13 + s.serial);
        for (int i = 0; i < 4; ++i)
            mem[kSerialAddress + static_cast<uint32_t>(i)] = static_cast<uint8_t>(s.serial >> (8 * i));
    }
    ~Core()
    {
        for (auto *q : {&pendingIn, &completed})
            for (auto &u : *q)
                g_object_unref(u.data);
        for (auto &c : clients)
            g_object_unref(c.client);
    }

    mutable std::mutex m;
    mutable std::condition_variable requestSeen;
    DeviceModel model;
    std::string devnode;
    bool plugged = false;
    std::vector<Client> clients;
    std::deque<Urb> pendingIn;
    std::deque<Urb> completed;
    std::deque<std::array<uint8_t, kPacket>> replies;
    std::array<uint8_t, kMemorySize> mem{};
    std::array<uint8_t, 4> value{};
    bool driverBound;
    bool silent = false;
    int requests = 0;
    int bad = 0;
    int unexpected = 0;
    int implicit = 0;
    std::map<uint8_t, int> lastType;

    // The kernel forgets an open file's claims and URBs when it is closed.
    void prune()
    {
        for (auto it = clients.begin(); it != clients.end();) {
            if (umockdev_ioctl_client_get_connected(it->client)) {
                ++it;
                continue;
            }
            for (auto *q : {&pendingIn, &completed})
                for (auto u = q->begin(); u != q->end();) {
                    if (u->client == it->client) {
                        g_object_unref(u->data);
                        u = q->erase(u);
                    } else {
                        ++u;
                    }
                }
            g_object_unref(it->client);
            it = clients.erase(it);
        }
    }

    Client &clientFor(UMockdevIoctlClient *client)
    {
        for (auto &c : clients)
            if (c.client == client)
                return c;
        clients.push_back({static_cast<UMockdevIoctlClient *>(g_object_ref(client)),
                           umockdev_ioctl_client_get_devnode(client), {}, 0});
        return clients.back();
    }

    bool claimedByOther(const Client &self, unsigned interface) const
    {
        for (const auto &c : clients)
            if (&c != &self && c.claims.count(interface))
                return true;
        return false;
    }
    bool anyClaim() const
    {
        for (const auto &c : clients)
            if (!c.claims.empty())
                return true;
        return false;
    }

    void respond(const uint8_t *f, int length)
    {
        if (length != kPacket || f[0] != kStartByte || TFix64::frameChecksum(f) != f[63]) {
            ++bad;
            return;
        }
        ++requests;
        requestSeen.notify_all();
        if (silent)
            return;
        std::array<uint8_t, kPacket> r{};
        r[0] = kStartByte;
        r[1] = f[1];
        r[2] = f[2];
        r[3] = f[3];
        uint32_t address = static_cast<uint32_t>(f[7]) | static_cast<uint32_t>(f[8]) << 8 |
                           static_cast<uint32_t>(f[9]) << 16 | static_cast<uint32_t>(f[10]) << 24;
        uint32_t count = f[4];
        bool inRange = count >= 1 && count <= kMaxBlock && address <= kMemorySize - count;
        switch (f[3]) {
        case 1:
        case 2:
        case 4:
        case 13:
            break;
        case 5:
            r[5] = 4;
            std::memcpy(r.data() + 7, value.data(), 4);
            break;
        case 7:
            if (!inRange)
                return;
            r[4] = f[4];
            std::memcpy(r.data() + 11, mem.data() + address, count);
            break;
        case 8:
            if (!inRange)
                return;
            r[4] = f[4];
            std::memcpy(mem.data() + address, f + 11, count);
            break;
        default:
            return;
        }
        r[63] = TFix64::frameChecksum(r.data());
        replies.push_back(r);
    }

    // Waiting IN transfers take the waiting frames, one packet each.
    void deliver()
    {
        while (!pendingIn.empty() && !replies.empty()) {
            Urb u = pendingIn.front();
            pendingIn.pop_front();
            auto &frame = replies.front();
            usbdevfs_urb *urb = u.urb();
            int n = std::min(urb->buffer_length, kPacket);
            std::memcpy(urb->buffer, frame.data(), static_cast<std::size_t>(n));
            urb->actual_length = n;
            // A packet larger than the buffer is babble, as on the wire.
            urb->status = urb->buffer_length < kPacket ? -EOVERFLOW : 0;
            replies.pop_front();
            completed.push_back(u);
        }
    }

    int control(usbdevfs_urb *urb)
    {
        auto *b = static_cast<uint8_t *>(urb->buffer);
        urb->actual_length = 0;
        if (urb->buffer_length < 8)
            return -EINVAL;
        uint8_t requestType = b[0], request = b[1];
        uint16_t wValue = static_cast<uint16_t>(b[2] | b[3] << 8);
        uint16_t wLength = static_cast<uint16_t>(b[6] | b[7] << 8);
        if (requestType == 0x80 && request == 0x06 && (wValue >> 8) == 0x03) {
            auto d = stringDescriptor(static_cast<uint8_t>(wValue & 0xFF));
            if (d.empty())
                return -EPIPE;
            int n = std::min({static_cast<int>(d.size()), static_cast<int>(wLength), urb->buffer_length - 8});
            std::memcpy(b + 8, d.data(), static_cast<std::size_t>(n));
            urb->actual_length = n;
            return 0;
        }
        return -EPIPE; // a stall, as the firmware answers what it does not know
    }

    // Returns errno for a refused submission, 0 once the URB is queued.
    int submit(Client &c, UMockdevIoctlData *arg, bool alive)
    {
        UMockdevIoctlData *data = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
        if (!data)
            return EFAULT;
        auto *urb = reinterpret_cast<usbdevfs_urb *>(data->data);
        if (urb->buffer_length > 0) {
            UMockdevIoctlData *buffer = umockdev_ioctl_data_resolve(
                data, offsetof(usbdevfs_urb, buffer), static_cast<gsize>(urb->buffer_length), nullptr);
            if (!buffer) {
                g_object_unref(data);
                return EFAULT;
            }
            g_object_unref(buffer); // kept by its parent
        }
        auto refuse = [&](int e) {
            g_object_unref(data);
            return e;
        };
        if (!alive)
            return refuse(ENODEV);
        c.emptyReaps = 0;

        if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
            urb->status = control(urb);
            completed.push_back({data, c.client});
            return 0;
        }
        if (urb->type != USBDEVFS_URB_TYPE_BULK && urb->type != USBDEVFS_URB_TYPE_INTERRUPT)
            return refuse(EINVAL);
        if (urb->endpoint != kIn && urb->endpoint != kOut)
            return refuse(ENOENT);
        // usbfs turns a bulk request on an interrupt endpoint into an
        // interrupt one, and refuses the reverse.
        if (urb->type == USBDEVFS_URB_TYPE_INTERRUPT && model.endpoints == EndpointKind::Bulk)
            return refuse(EINVAL);
        if (!c.claims.count(0)) {
            if (driverBound || claimedByOther(c, 0))
                return refuse(EBUSY);
            ++implicit; // the kernel claims it on the caller's behalf, with a warning
            c.claims.insert(0);
        }
        lastType[urb->endpoint] = urb->type;
        if (urb->endpoint == kOut) {
            respond(static_cast<const uint8_t *>(urb->buffer), urb->buffer_length);
            urb->actual_length = urb->buffer_length;
            urb->status = 0;
            completed.push_back({data, c.client});
        } else {
            pendingIn.push_back({data, c.client});
        }
        deliver();
        return 0;
    }

    bool reap(Client &c, UMockdevIoctlData *arg)
    {
        for (auto it = completed.begin(); it != completed.end(); ++it) {
            if (it->client != c.client)
                continue;
            Resolved ptr(arg, sizeof(void *));
            umockdev_ioctl_data_set_ptr(ptr.d, 0, it->data);
            g_object_unref(it->data);
            completed.erase(it);
            c.emptyReaps = 0;
            return true;
        }
        return false;
    }

    bool discard(Client &c, UMockdevIoctlData *arg)
    {
        gulong address = *reinterpret_cast<gulong *>(arg->data);
        for (auto it = pendingIn.begin(); it != pendingIn.end(); ++it) {
            if (it->client != c.client || it->data->client_addr != address)
                continue;
            it->urb()->status = -ENOENT;
            it->urb()->actual_length = 0;
            completed.push_back(*it);
            pendingIn.erase(it);
            return true;
        }
        return false;
    }

    gboolean ioctl(UMockdevIoctlClient *client)
    {
        gulong request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
        long result = 0;
        int error = 0;
        auto fail = [&](int e) {
            result = -1;
            error = e;
        };
        bool slowDown = false;

        std::unique_lock lock(m);
        prune();
        Client &c = clientFor(client);
        bool alive = plugged && c.devnode == devnode;

        switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            Resolved caps(arg, sizeof(uint32_t));
            if (!alive)
                fail(ENODEV);
            else
                *caps.as<uint32_t>() =
                    USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM;
            break;
        }
        case USBDEVFS_CLAIMINTERFACE: {
            Resolved i(arg, sizeof(unsigned));
            if (!alive)
                fail(ENODEV);
            else if (*i.as<unsigned>() != 0)
                fail(ENOENT);
            else if (driverBound || claimedByOther(c, 0))
                fail(EBUSY);
            else
                c.claims.insert(0);
            break;
        }
        case USBDEVFS_RELEASEINTERFACE: {
            Resolved i(arg, sizeof(unsigned));
            if (!alive)
                fail(ENODEV);
            else if (!c.claims.erase(*i.as<unsigned>()))
                fail(EINVAL);
            break;
        }
        case USBDEVFS_DISCONNECT_CLAIM: {
            Resolved dc(arg, sizeof(usbdevfs_disconnect_claim));
            auto *d = dc.as<usbdevfs_disconnect_claim>();
            if (!alive)
                fail(ENODEV);
            else if (d->interface != 0)
                fail(ENOENT);
            else if (c.claims.count(0) || claimedByOther(c, 0))
                fail(EBUSY); // held by usbfs, which the caller excepted
            else {
                driverBound = false;
                c.claims.insert(0);
            }
            break;
        }
        case USBDEVFS_IOCTL: {
            Resolved io(arg, sizeof(usbdevfs_ioctl));
            auto *d = io.as<usbdevfs_ioctl>();
            if (!alive)
                fail(ENODEV);
            else if (d->ifno != 0)
                fail(EINVAL);
            else if (d->ioctl_code == static_cast<int>(USBDEVFS_DISCONNECT)) {
                if (driverBound)
                    driverBound = false;
                else
                    fail(ENODATA);
            } else if (d->ioctl_code == static_cast<int>(USBDEVFS_CONNECT)) {
                if (c.claims.count(0) || claimedByOther(c, 0) || driverBound)
                    fail(EBUSY);
                else if (model.kernelDriver) {
                    driverBound = true;
                    result = 1;
                }
            } else {
                fail(ENOTTY);
            }
            break;
        }
        case USBDEVFS_GETDRIVER: {
            Resolved gd(arg, sizeof(usbdevfs_getdriver));
            auto *d = gd.as<usbdevfs_getdriver>();
            const char *name = driverBound ? kDriverName : (anyClaim() ? "usbfs" : nullptr);
            if (!alive)
                fail(ENODEV);
            else if (d->interface != 0 || !name)
                fail(ENODATA);
            else
                std::snprintf(d->driver, sizeof d->driver, "%s", name);
            break;
        }
        case USBDEVFS_SETCONFIGURATION: {
            Resolved v(arg, sizeof(unsigned));
            if (!alive)
                fail(ENODEV);
            else if (anyClaim() || driverBound)
                fail(EBUSY); // usbfs never changes a configuration under a driver
            else if (*v.as<unsigned>() != 1)
                fail(EINVAL);
            else
                driverBound = model.kernelDriver; // the new interfaces are probed again
            break;
        }
        case USBDEVFS_SUBMITURB:
            if (int e = submit(c, arg, alive))
                fail(e);
            break;
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            if (!reap(c, arg)) {
                fail(alive ? EAGAIN : ENODEV);
                // The emulated node always polls ready; without a pause
                // libusb would spin on empty reaps.
                slowDown = alive && ++c.emptyReaps >= 2;
            }
            break;
        case USBDEVFS_DISCARDURB:
            if (!discard(c, arg))
                fail(EINVAL);
            break;
        case USBDEVFS_CLEAR_HALT:
        case USBDEVFS_RESETEP:
        case USBDEVFS_RESET:
            if (!alive)
                fail(ENODEV);
            break;
        default:
            ++unexpected;
            fail(ENOTTY);
            break;
        }
        lock.unlock();
        if (slowDown)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        umockdev_ioctl_client_complete(client, result, error);
        return TRUE;
    }
};

namespace {

using CorePtr = std::shared_ptr<FakeTransmitter::Core>;

gboolean onIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer user)
{
    return (*static_cast<CorePtr *>(user))->ioctl(client);
}

void onConnected(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer user)
{
    auto &core = *static_cast<CorePtr *>(user);
    std::lock_guard lock(core->m);
    core->clientFor(client);
}

void releaseCore(gpointer user, GClosure *) { delete static_cast<CorePtr *>(user); }

} // namespace

FakeTransmitter::FakeTransmitter(UsbTestbed &b, DeviceModel s, bool plugNow)
    : bed(b), model(std::move(s)), core(std::make_shared<Core>(model)), handler(umockdev_ioctl_base_new())
{
    syspath = "/sys/devices/usb" + std::to_string(model.bus) + "/" + std::to_string(model.bus) + "-" + model.port;
    // The signal closures keep the state alive while a call is still running
    // in umockdev's worker thread.
    connectedId = g_signal_connect_data(handler, "client-connected", G_CALLBACK(onConnected), new CorePtr(core),
                                        releaseCore, GConnectFlags(0));
    ioctlId = g_signal_connect_data(handler, "handle-ioctl", G_CALLBACK(onIoctl), new CorePtr(core), releaseCore,
                                    GConnectFlags(0));
    if (plugNow)
        plug();
}

FakeTransmitter::~FakeTransmitter()
{
    if (plugged())
        unplug();
    for (const auto &node : attached)
        umockdev_testbed_detach_ioctl(bed.testbed(), node.c_str(), nullptr);
    g_signal_handler_disconnect(handler, connectedId);
    g_signal_handler_disconnect(handler, ioctlId);
    g_object_unref(handler);
}

void FakeTransmitter::describe(std::string &out) const
{
    int address = 0;
    std::sscanf(core->devnode.c_str(), "/dev/bus/usb/%*d/%d", &address);
    out = deviceBlock(syspath.substr(4), model.bus, address, descriptors(model));
}

void FakeTransmitter::plug()
{
    if (plugged())
        return;
    char node[40];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", model.bus, bed.nextAddress(model.bus));
    // The handler must be in place before the device announces itself.
    if (!umockdev_testbed_attach_ioctl(bed.testbed(), node, static_cast<UMockdevIoctlBase *>(handler), nullptr))
        throw std::runtime_error("cannot attach ioctl handler");
    attached.emplace_back(node);
    {
        std::lock_guard lock(core->m);
        core->devnode = node;
        core->plugged = true;
        core->driverBound = model.kernelDriver;
    }
    std::string block;
    describe(block);
    if (!umockdev_testbed_add_from_string(bed.testbed(), block.c_str(), nullptr))
        throw std::runtime_error("cannot add device");
}

void FakeTransmitter::unplug()
{
    {
        std::lock_guard lock(core->m);
        if (!core->plugged)
            return;
        core->plugged = false;
        for (auto &u : core->pendingIn) {
            u.urb()->status = -ENODEV;
            u.urb()->actual_length = 0;
            core->completed.push_back(u);
        }
        core->pendingIn.clear();
        core->replies.clear();
        for (auto &c : core->clients)
            c.claims.clear();
    }
    umockdev_testbed_uevent(bed.testbed(), syspath.c_str(), "remove");
    umockdev_testbed_remove_device(bed.testbed(), syspath.c_str());
}

void FakeTransmitter::setNodeOpenToAll(bool open)
{
    // Everyone may walk the testbed's folders and reach the socket that
    // answers the node's ioctls; only the node itself decides.
    const std::string node = devnode();
    if (::chmod(bed.path("").c_str(), 0755) != 0 ||
        ::chmod(bed.path("/ioctl" + node).c_str(), 0666) != 0 ||
        ::chmod(bed.path(node).c_str(), open ? 0666 : 0000) != 0)
        throw std::runtime_error("cannot change the device node's permissions");
}

bool FakeTransmitter::plugged() const
{
    std::lock_guard lock(core->m);
    return core->plugged;
}

void FakeTransmitter::setSilent(bool silent)
{
    std::lock_guard lock(core->m);
    core->silent = silent;
}

void FakeTransmitter::queueFrame(uint8_t command)
{
    std::lock_guard lock(core->m);
    std::array<uint8_t, kPacket> r{};
    r[0] = kStartByte;
    r[1] = kMasterAddress;
    r[2] = kAnySlave;
    r[3] = command;
    r[63] = TFix64::frameChecksum(r.data());
    core->replies.push_back(r);
    core->deliver();
}

void FakeTransmitter::setValue(float value)
{
    std::lock_guard lock(core->m);
    std::memcpy(core->value.data(), &value, 4);
}

std::vector<uint8_t> FakeTransmitter::memory(uint32_t address, uint32_t length) const
{
    std::lock_guard lock(core->m);
    return {core->mem.begin() + address, core->mem.begin() + address + length};
}

void FakeTransmitter::setMemory(uint32_t address, const std::vector<uint8_t> &bytes)
{
    std::lock_guard lock(core->m);
    std::copy(bytes.begin(), bytes.end(), core->mem.begin() + address);
}

int FakeTransmitter::openHandles() const
{
    std::lock_guard lock(core->m);
    core->prune();
    return static_cast<int>(core->clients.size());
}

int FakeTransmitter::claimedInterfaces() const
{
    std::lock_guard lock(core->m);
    core->prune();
    int n = 0;
    for (const auto &c : core->clients)
        n += static_cast<int>(c.claims.size());
    return n;
}

int FakeTransmitter::implicitClaims() const
{
    std::lock_guard lock(core->m);
    return core->implicit;
}

bool FakeTransmitter::kernelDriverBound() const
{
    std::lock_guard lock(core->m);
    return core->driverBound;
}

int FakeTransmitter::requests() const
{
    std::lock_guard lock(core->m);
    return core->requests;
}

int FakeTransmitter::badFrames() const
{
    std::lock_guard lock(core->m);
    return core->bad;
}

int FakeTransmitter::unexpectedIoctls() const
{
    std::lock_guard lock(core->m);
    return core->unexpected;
}

int FakeTransmitter::lastUrbType(uint8_t endpoint) const
{
    std::lock_guard lock(core->m);
    auto it = core->lastType.find(endpoint);
    return it == core->lastType.end() ? -1 : it->second;
}

bool FakeTransmitter::waitForRequests(int count, int timeoutMs) const
{
    std::unique_lock lock(core->m);
    return core->requestSeen.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                      [&] { return core->requests >= count; });
}

std::string FakeTransmitter::devnode() const
{
    std::lock_guard lock(core->m);
    return core->devnode;
}
