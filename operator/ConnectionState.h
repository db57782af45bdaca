// What the window can tell about the transmitter from what it already did:
// the start-up connection and the outcome of each exchange since.
#pragma once

#include "Fix64usb.h"

#include <QString>

#include <cstdint>

enum class ConnectionState { Unknown, Connected, NotConnected, NotAccessible, NotAnswering };

// The start-up connection: devices counted, whether commands 2 and 4 went
// through, and what the library says about the first instance.
ConnectionState stateAfterStartup(uint32_t devices, bool answered, DeviceAccess access);
// Any later exchange (read, write, poll, zero correction, device info).
// A failure right after start-up found nothing keeps "not connected" or "not accessible".
ConnectionState stateAfterExchange(ConnectionState before, bool answered);

// The status bar's text, through the message lookup; empty while nothing is known.
QString connectionStateText(ConnectionState state);
