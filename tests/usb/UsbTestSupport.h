// Small helpers shared by the USB tests.
#pragma once

#include "Fix64usb.h"
#include "UsbEmulator.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QTest>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <unistd.h>

// Without umockdev there is nothing to talk to: report the test as skipped.
#define QZ_USB_TEST_MAIN(TestClass)                                                                                    \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        if (!UsbTestbed::available()) {                                                                                \
            std::printf("SKIP: needs umockdev (run under umockdev-wrapper)\n");                                        \
            return 77;                                                                                                 \
        }                                                                                                              \
        QCoreApplication app(argc, argv);                                                                              \
        TestClass test;                                                                                                \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }

using Frame = std::array<uint8_t, kFrameSize>;

inline Frame requestFrame(uint8_t command, uint8_t p1 = 0, uint32_t address = 0)
{
    Frame f{};
    f[0] = kStartByte;
    f[1] = kMasterAddress;
    f[2] = kAnySlave;
    f[3] = command;
    f[4] = p1;
    for (int i = 0; i < 4; ++i)
        f[7 + static_cast<std::size_t>(i)] = static_cast<uint8_t>(address >> (8 * i));
    f[63] = TFix64::frameChecksum(f.data());
    return f;
}

inline int openDescriptorCount() { return static_cast<int>(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size()); }

inline std::chrono::milliseconds since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

// Takes the device away while the calling thread waits in a transfer: once
// `requests` request frames have arrived, after `delayMs`.
class UnplugLater {
public:
    UnplugLater(FakeTransmitter &device, int requests, int delayMs)
        : worker([&device, requests, delayMs] {
              if (device.waitForRequests(requests, 5000)) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
                  device.unplug();
              }
          })
    {
    }
    ~UnplugLater() { worker.join(); }
    UnplugLater(const UnplugLater &) = delete;
    UnplugLater &operator=(const UnplugLater &) = delete;

private:
    std::thread worker;
};

// Ends a call that would otherwise block for ever, by unplugging the device.
class Watchdog {
public:
    Watchdog(FakeTransmitter &device, int afterMs)
        : worker([this, &device, afterMs] {
              std::unique_lock lock(m);
              if (!cv.wait_for(lock, std::chrono::milliseconds(afterMs), [this] { return done; })) {
                  fired = true;
                  lock.unlock();
                  device.unplug();
              }
          })
    {
    }
    ~Watchdog() { stop(); }
    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

    // True if it had to step in.
    bool stop()
    {
        {
            std::lock_guard lock(m);
            done = true;
        }
        cv.notify_all();
        if (worker.joinable())
            worker.join();
        return fired;
    }

private:
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    bool fired = false;
    std::thread worker;
};

// File permissions never stop root: while it lives, the process runs as an
// ordinary user when the tests run as root (every thread changes with it).
class AsOrdinaryUser {
public:
    AsOrdinaryUser() : dropped(geteuid() == 0 && seteuid(kNobody) == 0) {}
    ~AsOrdinaryUser()
    {
        if (dropped && seteuid(0) != 0)
            std::abort();
    }
    AsOrdinaryUser(const AsOrdinaryUser &) = delete;
    AsOrdinaryUser &operator=(const AsOrdinaryUser &) = delete;

private:
    static constexpr uid_t kNobody = 65534;
    bool dropped;
};

// Collects whatever is written to stdout and stderr while it lives.
class OutputCapture {
public:
    OutputCapture() : file(std::tmpfile())
    {
        std::fflush(stdout);
        std::fflush(stderr);
        savedOut = dup(1);
        savedErr = dup(2);
        dup2(fileno(file), 1);
        dup2(fileno(file), 2);
    }
    ~OutputCapture()
    {
        finish();
        std::fclose(file);
    }
    OutputCapture(const OutputCapture &) = delete;
    OutputCapture &operator=(const OutputCapture &) = delete;

    QByteArray finish()
    {
        if (savedOut >= 0) {
            std::fflush(stdout);
            std::fflush(stderr);
            dup2(savedOut, 1);
            dup2(savedErr, 2);
            close(savedOut);
            close(savedErr);
            savedOut = savedErr = -1;
            std::rewind(file);
            char buffer[4096];
            std::size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
                text.append(buffer, static_cast<qsizetype>(n));
        }
        return text;
    }

private:
    std::FILE *file;
    int savedOut = -1;
    int savedErr = -1;
    QByteArray text;
};
