// Events the companion could not hand to the broker before it ended, kept in
// a file until a later run that reaches the broker sends them: one line per
// event (topic, tab, JSON), at most kSpoolLimit events, the oldest dropped
// first. Several processes may use it at once (a lock file beside it).
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <string>
#include <vector>

namespace mqtt {

struct Event {
    std::string topic;
    QByteArray payload;
};

inline constexpr std::size_t kSpoolLimit = 1000;

class EventSpool {
public:
    // $XDG_DATA_HOME/qz5801/mqtt-events.queue, beside the write journal.
    static QString defaultPath();
    explicit EventSpool(QString path = defaultPath());

    // Appends the events; `dropped` says how many of the oldest gave way.
    // False, with the reason, when the file cannot be written (nothing changed).
    bool add(const std::vector<Event> &more, std::size_t &dropped, std::string &problem);
    // Every event kept, the file emptied; nothing when it cannot be read or locked.
    std::vector<Event> take();

private:
    QString path;
};

} // namespace mqtt
