// One connection to the broker for one transmitter, over libmosquitto: its
// status retained, with "offline" as the connection's last will; live values
// at QoS 0, dropped while the broker is away; events at QoS 1, kept in a
// bounded queue until the broker has them. A thread of libmosquitto keeps the
// connection, reconnecting with a growing delay (1 s doubling to 30 s).
// Every method may be called from any thread.
#pragma once

#include "BrokerAddress.h"
#include "EventSpool.h"

#include <QByteArray>

#include <atomic>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct mosquitto;

namespace mqtt {

struct PublisherSettings {
    BrokerAddress broker;
    std::string password;           // used when the address carries none; empty: none
    std::string caFile;             // mqtts: the CA that signed the broker; empty: the system's
    std::string prefix = kDefaultPrefix;
    unsigned serial = 0;            // the transmitter whose status this connection carries
    bool carriesStatus = true;      // false: no status and no last will (a write's event only)
    std::size_t eventLimit = 256;   // events waiting for the broker; beyond it the oldest are dropped
    std::size_t valueBacklog = 64;  // values handed on but not yet sent; beyond it new ones are skipped
};

class Publisher {
public:
    explicit Publisher(PublisherSettings settings);
    // Publishes "offline" when online (waiting at most a second), then closes.
    ~Publisher();
    Publisher(const Publisher &) = delete;
    Publisher &operator=(const Publisher &) = delete;

    // The first connection, waited for at most timeoutMs: an empty text once
    // the broker has accepted it, else why not (refused, wrong password, no
    // broker, TLS). Either way the publisher goes on trying in the background.
    std::string connect(int timeoutMs);
    // Tries in the background only (the window); returns at once.
    void start();
    bool connected() const;

    // QoS 0; false when it was skipped (not connected, or the backlog is full).
    bool publishValue(const QByteArray &payload);
    // QoS 1, not retained. Returns how many older events were dropped to make room.
    std::size_t publishEvent(Event event);
    // Until every event so far is acknowledged by the broker, or timeoutMs; true when all are.
    bool waitForEvents(int timeoutMs);
    // The events not acknowledged yet (to keep them for later), emptying the queue.
    std::vector<Event> takeUnsentEvents();
    // "offline", retained, waited for at most timeoutMs; then the connection is closed.
    void finish(int timeoutMs);

    std::uint64_t valuesSent() const;
    std::uint64_t valuesSkipped() const;
    std::uint64_t eventsDropped() const;
    // Called on libmosquitto's thread whenever the connection comes or goes.
    void setConnectionListener(std::function<void(bool connected)> listener);

    const PublisherSettings &settings() const { return s; }

private:
    static void onConnect(mosquitto *, void *self, int rc);
    static void onDisconnect(mosquitto *, void *self, int rc);
    static void onPublish(mosquitto *, void *self, int mid);
    void pump();
    void publishStatus(const char *word);
    void stopLoop(bool wasConnected);

    PublisherSettings s;
    std::string statusTopic;
    mosquitto *client = nullptr;
    std::atomic<bool> looping = false;
    std::thread starter; // start(): the first connect, off the caller's thread (a host name's lookup blocks)

    mutable std::mutex m;
    std::condition_variable changed;
    bool isConnected = false;
    bool stopping = false;      // finish(): the starter gives up waiting
    int connackCode = -1;       // the broker's answer to the latest CONNECT; -1 none yet
    int lostCode = 0;           // why the latest connection ended
    struct Pending {
        Event event;
        int mid = 0; // 0: not handed to libmosquitto yet
    };
    std::deque<Pending> events;
    std::map<int, bool> valueMids; // QoS 0 handed on, not yet written out
    std::vector<int> earlyAcks;    // acknowledged before publish returned its mid
    int statusMid = -1;
    bool statusAcked = false;
    std::uint64_t sent = 0, skipped = 0, dropped = 0;
    std::function<void(bool)> listener;
};

} // namespace mqtt
