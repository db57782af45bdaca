// What goes to the broker: the live value, the status words and one message
// per journaled change, as JSON. Qt Core only.
#pragma once

#include <QByteArray>
#include <QDateTime>

#include <array>

namespace journal {
struct Entry;
}

namespace mqtt {

inline constexpr const char *kOnlineWord = "online";
inline constexpr const char *kOfflineWord = "offline";

// {"time": ISO 8601 with ms and offset, "value_pa": the shortest text that
// reads back as the same float (null for no number), "outputs": [bool x3]}
QByteArray valuePayload(const QDateTime &time, float valuePa, const std::array<bool, 3> &outputs);

// The journal record as JSON, without its memory images: what was done, by
// whom, when, to which transmitter, with what result, and the fields it
// changed ("output 1 higher 60000 Pa -> 65000 Pa").
QByteArray eventPayload(const journal::Entry &entry);

// The three lamps as the window sets them: a mode that decides sets its lamp,
// one that does not leaves it; the state carries from output to output as the
// window's does. Modes 0 to 4, anything else none.
class OutputLamps {
public:
    const std::array<bool, 3> &follow(float value, const std::array<float, 3> &lower,
                                      const std::array<float, 3> &higher, const std::array<int, 3> &modes);
    const std::array<bool, 3> &lamps() const { return shown; }

private:
    bool state = false;
    std::array<bool, 3> shown{};
};

} // namespace mqtt
