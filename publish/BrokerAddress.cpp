#include "BrokerAddress.h"

#include <cctype>

namespace mqtt {

namespace {

constexpr std::size_t kMaxAddress = 1024;
constexpr std::size_t kMaxPrefix = 200;

bool unescape(const std::string &in, std::string &out)
{
    out.clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '%') {
            out += in[i];
            continue;
        }
        if (i + 2 >= in.size() || !std::isxdigit(static_cast<unsigned char>(in[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(in[i + 2])))
            return false;
        out += static_cast<char>(std::stoi(in.substr(i + 1, 2), nullptr, 16));
        i += 2;
    }
    return out.find('\0') == std::string::npos;
}

} // namespace

std::string BrokerAddress::shown() const
{
    std::string text = tls ? "mqtts://" : "mqtt://";
    if (!user.empty())
        text += user + "@";
    const bool ipv6 = host.find(':') != std::string::npos;
    return text + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<BrokerAddress> parseBrokerAddress(const std::string &text, std::string &problem)
{
    BrokerAddress a;
    std::string rest;
    if (text.size() > kMaxAddress) {
        problem = "the address is longer than " + std::to_string(kMaxAddress) + " characters";
        return std::nullopt;
    }
    if (text.rfind("mqtt://", 0) == 0) {
        rest = text.substr(7);
    } else if (text.rfind("mqtts://", 0) == 0) {
        a.tls = true;
        a.port = kDefaultTlsPort;
        rest = text.substr(8);
    } else {
        problem = "the address does not start with mqtt:// or mqtts://";
        return std::nullopt;
    }
    if (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    if (rest.find('/') != std::string::npos || rest.find('?') != std::string::npos ||
        rest.find('#') != std::string::npos) {
        problem = "the address has a path or query; give mqtt://[USER[:PASSWORD]@]HOST[:PORT]";
        return std::nullopt;
    }
    if (const std::size_t at = rest.rfind('@'); at != std::string::npos) {
        const std::string credentials = rest.substr(0, at);
        rest = rest.substr(at + 1);
        const std::size_t colon = credentials.find(':');
        if (!unescape(credentials.substr(0, colon), a.user) || a.user.empty()) {
            problem = "the user name is empty or badly escaped";
            return std::nullopt;
        }
        if (colon != std::string::npos) {
            std::string password;
            if (!unescape(credentials.substr(colon + 1), password)) {
                problem = "the password is badly escaped";
                return std::nullopt;
            }
            a.password = password;
        }
    }
    std::string port;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string::npos) {
            problem = "the host's [ has no ]";
            return std::nullopt;
        }
        a.host = rest.substr(1, close - 1);
        rest = rest.substr(close + 1);
        if (!rest.empty() && rest.front() != ':') {
            problem = "text after the host's ]";
            return std::nullopt;
        }
        if (!rest.empty())
            port = rest.substr(1);
        if (rest == ":")
            port = ":"; // caught below as no number
    } else {
        const std::size_t colon = rest.find(':');
        a.host = rest.substr(0, colon);
        if (colon != std::string::npos)
            port = rest.substr(colon + 1).empty() ? ":" : rest.substr(colon + 1);
    }
    if (a.host.empty()) {
        problem = "the host is missing";
        return std::nullopt;
    }
    for (unsigned char c : a.host)
        if (!(std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == ':')) {
            problem = "the host \"" + a.host + "\" is no host name or address";
            return std::nullopt;
        }
    if (!port.empty()) {
        if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(port) < 1 || std::stoi(port) > 65535) {
            problem = "the port is not a number from 1 to 65535";
            return std::nullopt;
        }
        a.port = std::stoi(port);
    }
    return a;
}

std::string prefixProblem(const std::string &prefix)
{
    if (prefix.empty())
        return "the topic prefix is empty";
    if (prefix.size() > kMaxPrefix)
        return "the topic prefix is longer than " + std::to_string(kMaxPrefix) + " characters";
    if (prefix.find_first_of(std::string("+#\0", 3)) != std::string::npos)
        return "the topic prefix holds a wildcard (+ or #) or a NUL";
    if (prefix.front() == '/' || prefix.back() == '/' || prefix.find("//") != std::string::npos)
        return "the topic prefix has an empty level (a / at its start or end, or //)";
    for (unsigned char c : prefix)
        if (c < 0x20 || c == 0x7f)
            return "the topic prefix holds a control character";
    return {};
}

std::string topicOf(const std::string &prefix, unsigned serial, const char *leaf)
{
    return prefix + "/" + std::to_string(serial) + "/" + leaf;
}

} // namespace mqtt
