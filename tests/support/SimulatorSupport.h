// Helpers for tests that run against the simulated transmitter.
#pragma once

#include "Fix64usb.h"
#include "qzsim.h"

#include <QString>
#include <QStringList>
#include <cstring>
#include <memory>

namespace simtest {

// "command 2", "read 890/8", "write 67/27", "query 4"
inline QString describe(const uint8_t *r)
{
    const uint32_t address = r[7] | r[8] << 8 | r[9] << 16 | uint32_t(r[10]) << 24;
    if (r[3] == 7 || r[3] == 8)
        return QStringLiteral("%1 %2/%3").arg(r[3] == 7 ? "read" : "write").arg(address).arg(r[4]);
    if (r[3] == 5)
        return QStringLiteral("query %1").arg(r[4]);
    return QStringLiteral("command %1").arg(r[3]);
}

// The requests the simulator received since its last reset or clear, described.
inline QStringList requestLog()
{
    QStringList log;
    for (uint32_t i = 0; i < qzsim_request_count(); ++i)
        log << describe(qzsim_request(i));
    return log;
}

inline void putFloat(uint32_t address, float v) { std::memcpy(qzsim_memory() + address, &v, 4); }

inline float memoryFloat(uint32_t address)
{
    float v;
    std::memcpy(&v, qzsim_memory() + address, 4);
    return v;
}

// A link as the start-up connection leaves it: loaded, pipes open, slave 254, 250 ms;
// on another instance than 0 when asked.
inline std::unique_ptr<TFix64> connectedLink(int instance = 0)
{
    auto link = std::make_unique<TFix64>();
    link->loadLibrary();
    link->openPipes(instance);
    link->setSlaveAddress(kAnySlave);
    link->timeoutMs = 250;
    return link;
}

} // namespace simtest
