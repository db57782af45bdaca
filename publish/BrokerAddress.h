// Where the broker is: mqtt://[USER[:PASSWORD]@]HOST[:PORT], or mqtts:// for
// TLS. Checked in full before anything connects.
#pragma once

#include <optional>
#include <string>

namespace mqtt {

inline constexpr int kDefaultPort = 1883;
inline constexpr int kDefaultTlsPort = 8883;
inline constexpr const char *kDefaultPrefix = "qz5801";
// The password when the address carries none; never printed.
inline constexpr const char *kPasswordVariable = "QZ5801_MQTT_PASSWORD";
// The broker the companion's write commands publish their event to, without --broker.
inline constexpr const char *kBrokerVariable = "QZ5801_MQTT";

struct BrokerAddress {
    bool tls = false;
    std::string host;
    int port = kDefaultPort;
    std::string user;                    // empty: no user name is sent
    std::optional<std::string> password; // from the address

    // "mqtts://user@host:port", the password left out: for messages.
    std::string shown() const;
};

// Nothing, with the problem in a short sentence, when the text is no such address.
// USER and PASSWORD may carry %XX escapes (an '@' or ':' of their own).
std::optional<BrokerAddress> parseBrokerAddress(const std::string &text, std::string &problem);

// A topic prefix: one or more levels, no wildcards (+ #), no empty level, no NUL;
// empty text when fine.
std::string prefixProblem(const std::string &prefix);

// PREFIX/SERIAL/leaf
std::string topicOf(const std::string &prefix, unsigned serial, const char *leaf);

} // namespace mqtt
