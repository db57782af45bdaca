#include "ConnectionState.h"

#include "Lang.h"

ConnectionState stateAfterStartup(uint32_t devices, bool answered, DeviceAccess access)
{
    if (answered)
        return ConnectionState::Connected;
    if (access == DeviceAccess::Denied)
        return ConnectionState::NotAccessible;
    if (devices == 0)
        return ConnectionState::NotConnected;
    return ConnectionState::NotAnswering;
}

ConnectionState stateAfterExchange(ConnectionState before, bool answered)
{
    if (answered)
        return ConnectionState::Connected;
    if (before == ConnectionState::NotConnected || before == ConnectionState::NotAccessible)
        return before;
    return ConnectionState::NotAnswering;
}

QString connectionStateText(ConnectionState state)
{
    switch (state) {
    case ConnectionState::Connected:
        return translate(QStringLiteral("Transmitter connected"));
    case ConnectionState::NotConnected:
        return translate(QStringLiteral("Transmitter not connected"));
    case ConnectionState::NotAccessible:
        return translate(QStringLiteral("Transmitter not accessible"));
    case ConnectionState::NotAnswering:
        return translate(QStringLiteral("Transmitter not answering"));
    case ConnectionState::Unknown:
        break;
    }
    return {};
}
