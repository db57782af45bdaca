// A recording stand-in for the USB library: the link is loaded against the
// simulator, then its entry points are pointed here, so every call is seen
// and every reply can be shaped byte by byte.
#pragma once

#include "Fix64usb.h"

#include <QByteArray>
#include <QStringList>
#include <array>
#include <cstring>
#include <deque>
#include <functional>
#include <set>
#include <stdexcept>

struct FakeUsb {
    QStringList calls;
    std::deque<std::array<uint8_t, 64>> replies; // next reads, oldest first
    bool autoReply = false;                      // answer every request correctly...
    std::function<void(std::array<uint8_t, 64> &)> shape; // ...then let the test spoil it
    bool failInOpen = false;
    bool failOutOpen = false;
    bool readThrows = false;
    int handles = 0;
    uint32_t devices = 1; // what the count answers
    // Hand out the lowest free handle number again, as some libraries do; then
    // a transfer on a handle that is not open fails.
    bool recycleHandles = false;
    std::set<int> live;
    // The optional queries: bound by attach only when offered.
    bool offersQueries = false;
    uint32_t accessAnswer = MPUSB_ACCESS_READY;
    QByteArray location;         // what the location query writes
    int locationReturns = -1;    // what it returns; -1: the text's length, 0 if it does not fit

    static FakeUsb *&current()
    {
        static FakeUsb *f = nullptr;
        return f;
    }

    static void *handleOf(int n) { return reinterpret_cast<void *>(static_cast<intptr_t>(0x100 + n)); }
    static QString name(void *h)
    {
        if (h == MPUSB_INVALID_HANDLE)
            return "invalid";
        return QString("h%1").arg(reinterpret_cast<intptr_t>(h) - 0x100);
    }

    static uint32_t MPUSB_CALL count(const char *sel)
    {
        current()->calls << QString("count %1").arg(sel);
        return current()->devices;
    }
    static bool isLive(void *h)
    {
        FakeUsb *f = current();
        return !f->recycleHandles || f->live.count(static_cast<int>(reinterpret_cast<intptr_t>(h) - 0x100));
    }
    static uint32_t MPUSB_CALL access(uint32_t inst, const char *sel)
    {
        current()->calls << QString("access %1 %2").arg(inst).arg(sel);
        return current()->accessAnswer;
    }
    static uint32_t MPUSB_CALL locate(uint32_t inst, const char *sel, char *buffer, uint32_t size)
    {
        FakeUsb *f = current();
        f->calls << QString("location %1 %2").arg(inst).arg(sel);
        bool fits = static_cast<uint32_t>(f->location.size()) < size;
        if (fits)
            std::memcpy(buffer, f->location.constData(), static_cast<std::size_t>(f->location.size()) + 1);
        if (f->locationReturns >= 0)
            return static_cast<uint32_t>(f->locationReturns);
        return fits ? static_cast<uint32_t>(f->location.size()) : 0;
    }
    static void *MPUSB_CALL open(uint32_t inst, const char *sel, const char *ep, uint32_t dir, uint32_t res)
    {
        FakeUsb *f = current();
        bool fail = dir == 1 ? f->failInOpen : f->failOutOpen;
        void *h = MPUSB_INVALID_HANDLE;
        if (!fail) {
            int n = ++f->handles;
            if (f->recycleHandles)
                for (n = 1; f->live.count(n); ++n) {
                }
            f->live.insert(n);
            h = handleOf(n);
        }
        f->calls << QString("open %1 %2 %3 %4 %5 -> %6").arg(inst).arg(sel).arg(ep).arg(dir).arg(res).arg(name(h));
        return h;
    }
    static uint32_t MPUSB_CALL read(void *h, void *data, uint32_t len, uint32_t *got, uint32_t timeout)
    {
        FakeUsb *f = current();
        f->calls << QString("read %1 %2 %3").arg(name(h)).arg(len).arg(timeout);
        if (f->readThrows)
            throw std::runtime_error("broken pipe");
        if (f->replies.empty() || !isLive(h)) {
            *got = 0;
            return 0;
        }
        std::memcpy(data, f->replies.front().data(), len);
        f->replies.pop_front();
        *got = len;
        return 1;
    }
    static uint32_t MPUSB_CALL write(void *h, const void *data, uint32_t len, uint32_t *got, uint32_t timeout)
    {
        FakeUsb *f = current();
        f->calls << QString("write %1 %2 %3").arg(name(h)).arg(len).arg(timeout);
        if (!isLive(h)) {
            *got = 0;
            return 0;
        }
        if (f->autoReply) {
            auto r = replyTo(static_cast<const uint8_t *>(data));
            if (f->shape)
                f->shape(r);
            f->replies.push_back(r);
        }
        *got = len;
        return 1;
    }
    static int32_t MPUSB_CALL close(void *h)
    {
        current()->calls << QString("close %1").arg(name(h));
        current()->live.erase(static_cast<int>(reinterpret_cast<intptr_t>(h) - 0x100));
        return 1;
    }
    static uint32_t MPUSB_CALL unexpected0(void)
    {
        current()->calls << "unexpected call";
        return 0;
    }
    static uint32_t MPUSB_CALL unexpectedRead(void *, void *, uint32_t, uint32_t *, uint32_t)
    {
        current()->calls << "unexpected call";
        return 0;
    }
    static uint32_t MPUSB_CALL unexpectedConfig(void *, uint16_t)
    {
        current()->calls << "unexpected call";
        return 0;
    }
    static uint32_t MPUSB_CALL unexpectedString(void *, uint8_t, uint16_t, void *, uint32_t, uint32_t *)
    {
        current()->calls << "unexpected call";
        return 0;
    }

    // Binds a loaded link to this fake.
    void attach(TFix64 &link)
    {
        current() = this;
        link._MPUSBGetDLLVersion = unexpected0;
        link._MPUSBGetDeviceCount = count;
        link._MPUSBOpen = open;
        link._MPUSBRead = read;
        link._MPUSBReadInt = unexpectedRead;
        link._MPUSBWrite = write;
        link._MPUSBClose = close;
        link._MPUSBSetConfiguration = unexpectedConfig;
        link._MPUSBGetStringDescriptor = unexpectedString;
        link._QZGetDeviceAccess = offersQueries ? access : nullptr;
        link._QZGetDeviceLocation = offersQueries ? locate : nullptr;
    }

    // A correct reply to `request` (echoing bytes 1..3), then shaped by the caller.
    static std::array<uint8_t, 64> replyTo(const uint8_t *request)
    {
        std::array<uint8_t, 64> r{};
        r[0] = 0xA5;
        r[1] = request[1];
        r[2] = request[2];
        r[3] = request[3];
        r[63] = TFix64::frameChecksum(r.data());
        return r;
    }
};
