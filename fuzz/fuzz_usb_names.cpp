// Our USB library's names: the device selector and the endpoint, against a
// reading of their rules written here on its own. The text sits in a buffer
// exactly as long as it is, so any read past its end is a finding too.
//
// Input: the first byte picks the direction (MP_WRITE, MP_READ or neither),
// the rest is the text up to its first NUL.
#include "FuzzSupport.h"
#include "Names.h"
#include "mpusbapi.h"

#include <cctype>
#include <cstring>
#include <memory>
#include <string>

namespace {

std::string lowered(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// First "key" in the text: four hex digits and no fifth, or nothing.
std::optional<uint16_t> referenceId(const std::string &text, const std::string &key)
{
    const auto at = text.find(key);
    if (at == std::string::npos)
        return std::nullopt;
    const std::string rest = text.substr(at + key.size());
    if (rest.size() < 4)
        return std::nullopt;
    for (int i = 0; i < 4; ++i)
        if (!isHex(rest[static_cast<std::size_t>(i)]))
            return std::nullopt;
    if (rest.size() > 4 && isHex(rest[4]))
        return std::nullopt;
    return static_cast<uint16_t>(std::stoul(rest.substr(0, 4), nullptr, 16));
}

std::optional<mpusb::DeviceId> referenceSelector(const std::string &text)
{
    if (text.size() > mpusb::kMaxNameLength)
        return std::nullopt;
    const std::string t = lowered(text);
    const auto vendor = referenceId(t, "vid_");
    const auto product = referenceId(t, "pid_");
    if (!vendor || !product)
        return std::nullopt;
    return mpusb::DeviceId{*vendor, *product};
}

std::optional<uint8_t> referenceEndpoint(const std::string &text, uint32_t direction)
{
    if (text.size() > mpusb::kMaxNameLength || (direction != MP_READ && direction != MP_WRITE))
        return std::nullopt;
    std::string t = lowered(text);
    if (!t.empty() && t[0] == '\\')
        t.erase(0, 1);
    if (t.rfind("mchp_ep", 0) != 0)
        return std::nullopt;
    std::string digits = t.substr(7);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    if (digits.empty() || digits.size() > 2)
        return std::nullopt;
    const int number = std::stoi(digits);
    if (number < 1 || number > 15)
        return std::nullopt;
    return static_cast<uint8_t>(number | (direction == MP_READ ? 0x80 : 0));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uint32_t direction = data[0] < 100 ? MP_WRITE : data[0] < 200 ? MP_READ : data[0];
    const std::string text(reinterpret_cast<const char *>(data + 1), strnlen(reinterpret_cast<const char *>(data + 1), size - 1));
    auto exact = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(exact.get(), text.c_str(), text.size() + 1);
    const std::string context = " for \"" + shown(QByteArray::fromStdString(text)) + "\"";

    const auto selector = mpusb::parseSelector(exact.get());
    const auto rselector = referenceSelector(text);
    FUZZ_CHECK(selector.has_value() == rselector.has_value() &&
                   (!selector || (selector->vendor == rselector->vendor && selector->product == rselector->product)),
               "parseSelector differs from the rule" + context);

    const auto endpoint = mpusb::parseEndpoint(exact.get(), direction);
    const auto rendpoint = referenceEndpoint(text, direction);
    FUZZ_CHECK(endpoint == rendpoint, "parseEndpoint differs from the rule" + context + " direction " +
                                          std::to_string(direction));
    return 0;
}
