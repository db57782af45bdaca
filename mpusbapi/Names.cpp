#include "Names.h"

#include "mpusbapi.h"

namespace mpusb {
namespace {

constexpr uint8_t kEndpointIn = 0x80;

// ASCII only: the locale must not change what a name means.
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

int hexDigit(char c)
{
    c = lower(c);
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Length up to the limit; nullopt when the text runs past it.
std::optional<std::size_t> boundedLength(const char *text)
{
    for (std::size_t n = 0; n <= kMaxNameLength; ++n)
        if (text[n] == '\0')
            return n;
    return std::nullopt;
}

bool startsWithNoCase(const char *text, std::size_t length, const char *prefix)
{
    std::size_t i = 0;
    for (; prefix[i]; ++i)
        if (i >= length || lower(text[i]) != lower(prefix[i]))
            return false;
    return true;
}

std::optional<uint16_t> findId(const char *text, std::size_t length, const char *key, std::size_t keyLength)
{
    for (std::size_t at = 0; at < length; ++at) {
        if (!startsWithNoCase(text + at, length - at, key))
            continue;
        std::size_t start = at + keyLength;
        if (length - start < 4)
            return std::nullopt;
        unsigned value = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            int d = hexDigit(text[start + i]);
            if (d < 0)
                return std::nullopt;
            value = value * 16 + static_cast<unsigned>(d);
        }
        if (start + 4 < length && hexDigit(text[start + 4]) >= 0)
            return std::nullopt;
        return static_cast<uint16_t>(value);
    }
    return std::nullopt;
}

} // namespace

std::optional<DeviceId> parseSelector(const char *selector)
{
    if (!selector)
        return std::nullopt;
    auto length = boundedLength(selector);
    if (!length)
        return std::nullopt;
    auto vendor = findId(selector, *length, "vid_", 4);
    auto product = findId(selector, *length, "pid_", 4);
    if (!vendor || !product)
        return std::nullopt;
    return DeviceId{*vendor, *product};
}

std::optional<uint8_t> parseEndpoint(const char *name, uint32_t direction)
{
    if (!name || (direction != MP_READ && direction != MP_WRITE))
        return std::nullopt;
    auto length = boundedLength(name);
    if (!length)
        return std::nullopt;
    std::size_t at = 0;
    if (*length > 0 && name[0] == '\\')
        ++at;
    if (!startsWithNoCase(name + at, *length - at, "MCHP_EP"))
        return std::nullopt;
    at += 7;
    if (at == *length)
        return std::nullopt;
    unsigned number = 0;
    for (; at < *length; ++at) {
        char c = name[at];
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + static_cast<unsigned>(c - '0');
        if (number > 15)
            return std::nullopt;
    }
    if (number == 0) // the control endpoint is no pipe
        return std::nullopt;
    return static_cast<uint8_t>(number | (direction == MP_READ ? kEndpointIn : 0));
}

} // namespace mpusb
