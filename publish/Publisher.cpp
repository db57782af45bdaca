#include "Publisher.h"

#include "Payloads.h"

#include <mosquitto.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

namespace mqtt {

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr unsigned kReconnectDelayMin = 1;
constexpr unsigned kReconnectDelayMax = 30;
constexpr int kInFlight = 20;
constexpr std::size_t kEarlyAckLimit = 64;

void initialiseOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

std::string loopProblem(int rc, int error, bool tls)
{
    switch (rc) {
    case MOSQ_ERR_ERRNO:
        if (error == 0)
            return tls ? "the connection ended during the TLS handshake (does the port speak TLS?)"
                       : "the connection ended before the broker answered";
        return std::strerror(error);
    case MOSQ_ERR_TLS:
    case MOSQ_ERR_TLS_HANDSHAKE:
        return "the TLS handshake failed (is the broker's certificate signed by the CA of --tls-ca, and "
               "does the port speak TLS?)";
    case MOSQ_ERR_CONN_LOST:
    case MOSQ_ERR_PROTOCOL:
        return tls ? "the broker closed the connection during the TLS handshake"
                   : "the broker closed the connection before accepting it (a TLS port? use mqtts://)";
    default:
        return mosquitto_strerror(rc);
    }
}

} // namespace

Publisher::Publisher(PublisherSettings settings) : s(std::move(settings))
{
    initialiseOnce();
    statusTopic = topicOf(s.prefix, s.serial, "status");
    client = mosquitto_new(nullptr, true, this);
    if (!client)
        return;
    if (!s.broker.user.empty())
        mosquitto_username_pw_set(client, s.broker.user.c_str(),
                                  s.broker.password ? s.broker.password->c_str()
                                  : s.password.empty() ? nullptr : s.password.c_str());
    if (s.carriesStatus)
        mosquitto_will_set(client, statusTopic.c_str(), int(std::strlen(kOfflineWord)), kOfflineWord, 1, true);
    if (s.broker.tls)
        mosquitto_tls_set(client, s.caFile.empty() ? nullptr : s.caFile.c_str(),
                          s.caFile.empty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr);
    mosquitto_reconnect_delay_set(client, kReconnectDelayMin, kReconnectDelayMax, true);
    mosquitto_max_inflight_messages_set(client, kInFlight);
    mosquitto_connect_callback_set(client, &Publisher::onConnect);
    mosquitto_disconnect_callback_set(client, &Publisher::onDisconnect);
    mosquitto_publish_callback_set(client, &Publisher::onPublish);
}

Publisher::~Publisher()
{
    if (!client)
        return;
    finish(1000);
    mosquitto_destroy(client);
}

std::string Publisher::connect(int timeoutMs)
{
    const std::string where = "cannot connect to " + s.broker.shown() + ": ";
    if (!client)
        return where + "libmosquitto could not make a client";
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    // Driven by hand until the broker answers, so a refusal comes back with its reason.
    errno = 0;
    int rc = mosquitto_connect_async(client, s.broker.host.c_str(), s.broker.port, kKeepAliveSeconds);
    std::string problem;
    if (rc != MOSQ_ERR_SUCCESS) {
        problem = loopProblem(rc, errno, s.broker.tls);
    } else {
        for (;;) {
            {
                std::lock_guard lock(m);
                if (connackCode >= 0)
                    break;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                problem = "no answer within " + std::to_string((timeoutMs + 999) / 1000) + " s";
                break;
            }
            errno = 0;
            rc = mosquitto_loop(client, int(left < 100 ? left : 100), 1);
            if (rc != MOSQ_ERR_SUCCESS) {
                std::lock_guard lock(m);
                if (connackCode < 0) {
                    problem = loopProblem(rc, errno, s.broker.tls);
                    break;
                }
            }
        }
    }
    {
        std::lock_guard lock(m);
        if (problem.empty() && connackCode != 0)
            problem = connackCode == 4 || connackCode == 5
                          ? std::string(mosquitto_connack_string(connackCode)) + " (check the user and password)"
                          : mosquitto_connack_string(connackCode);
    }
    if (!problem.empty())
        return where + problem;
    looping = mosquitto_loop_start(client) == MOSQ_ERR_SUCCESS;
    return looping ? std::string() : where + "libmosquitto could not start its thread";
}

void Publisher::start()
{
    if (!client || looping || starter.joinable())
        return;
    starter = std::thread([this] {
        // libmosquitto's loop reconnects a connection it once had, not one that
        // never began: until the first attempt gets under way, the same back-off here.
        unsigned delay = kReconnectDelayMin;
        while (mosquitto_connect_async(client, s.broker.host.c_str(), s.broker.port, kKeepAliveSeconds) !=
               MOSQ_ERR_SUCCESS) {
            std::unique_lock lock(m);
            if (changed.wait_for(lock, std::chrono::seconds(delay), [this] { return stopping; }))
                return;
            delay = delay * 2 > kReconnectDelayMax ? kReconnectDelayMax : delay * 2;
        }
        looping = mosquitto_loop_start(client) == MOSQ_ERR_SUCCESS;
    });
}

bool Publisher::connected() const
{
    std::lock_guard lock(m);
    return isConnected;
}

void Publisher::onConnect(mosquitto *, void *self, int rc)
{
    auto *p = static_cast<Publisher *>(self);
    std::function<void(bool)> tell;
    {
        std::lock_guard lock(p->m);
        p->connackCode = rc;
        p->isConnected = rc == 0;
        tell = p->listener;
    }
    p->changed.notify_all();
    if (rc != 0)
        return;
    if (p->s.carriesStatus)
        p->publishStatus(kOnlineWord);
    p->pump();
    if (tell)
        tell(true);
}

void Publisher::onDisconnect(mosquitto *, void *self, int rc)
{
    auto *p = static_cast<Publisher *>(self);
    std::function<void(bool)> tell;
    {
        std::lock_guard lock(p->m);
        const bool was = p->isConnected;
        p->isConnected = false;
        p->lostCode = rc;
        p->valueMids.clear(); // QoS 0 that did not go out is gone with the connection
        if (was)
            tell = p->listener;
    }
    p->changed.notify_all();
    if (tell)
        tell(false);
}

void Publisher::onPublish(mosquitto *, void *self, int mid)
{
    auto *p = static_cast<Publisher *>(self);
    {
        std::lock_guard lock(p->m);
        if (p->valueMids.erase(mid)) {
            ++p->sent;
        } else if (mid == p->statusMid) {
            p->statusAcked = true;
        } else {
            bool found = false;
            for (auto it = p->events.begin(); it != p->events.end(); ++it)
                if (it->mid == mid) {
                    p->events.erase(it);
                    found = true;
                    break;
                }
            if (!found) {
                p->earlyAcks.push_back(mid);
                if (p->earlyAcks.size() > kEarlyAckLimit) // mids nobody waits for any more
                    p->earlyAcks.erase(p->earlyAcks.begin());
            }
        }
    }
    p->changed.notify_all();
    p->pump();
}

void Publisher::publishStatus(const char *word)
{
    int mid = 0;
    {
        std::lock_guard lock(m);
        statusAcked = false;
        statusMid = -1;
    }
    if (mosquitto_publish(client, &mid, statusTopic.c_str(), int(std::strlen(word)), word, 1, true) ==
        MOSQ_ERR_SUCCESS) {
        std::lock_guard lock(m);
        statusMid = mid;
        for (auto it = earlyAcks.begin(); it != earlyAcks.end(); ++it)
            if (*it == mid) {
                earlyAcks.erase(it);
                statusAcked = true;
                break;
            }
    }
    changed.notify_all();
}

bool Publisher::publishValue(const QByteArray &payload)
{
    if (!client)
        return false;
    {
        std::lock_guard lock(m);
        if (!isConnected || valueMids.size() >= s.valueBacklog) {
            ++skipped;
            return false;
        }
    }
    const std::string topic = topicOf(s.prefix, s.serial, "value");
    int mid = 0;
    // Holding the lock over the call: the mid must be known before its callback looks for it.
    std::lock_guard lock(m);
    if (mosquitto_publish(client, &mid, topic.c_str(), int(payload.size()), payload.constData(), 0, false) !=
        MOSQ_ERR_SUCCESS) {
        ++skipped;
        return false;
    }
    valueMids[mid] = true;
    return true;
}

std::size_t Publisher::publishEvent(Event event)
{
    std::size_t droppedNow = 0;
    {
        std::lock_guard lock(m);
        events.push_back(Pending{std::move(event), 0});
        while (events.size() > s.eventLimit) {
            // the oldest not yet handed on; one already with libmosquitto goes out anyway
            auto it = events.begin();
            while (it != events.end() && it->mid != 0)
                ++it;
            if (it == events.end())
                break;
            events.erase(it);
            ++droppedNow;
        }
        dropped += droppedNow;
    }
    pump();
    return droppedNow;
}

// Hands the waiting events to libmosquitto while connected. An event handed
// on stays queued until its PUBACK; libmosquitto sends it again after a
// reconnect by itself.
void Publisher::pump()
{
    for (;;) {
        Pending *next = nullptr;
        std::unique_lock lock(m);
        if (!isConnected || !client)
            return;
        std::size_t handed = 0;
        for (Pending &p : events) {
            if (p.mid != 0) {
                ++handed;
            } else if (!next) {
                next = &p;
            }
        }
        if (!next || handed >= std::size_t(kInFlight))
            return;
        int mid = 0;
        const int rc = mosquitto_publish(client, &mid, next->event.topic.c_str(), int(next->event.payload.size()),
                                         next->event.payload.constData(), 1, false);
        if (rc != MOSQ_ERR_SUCCESS)
            return; // kept; tried again at the next connection
        next->mid = mid;
        for (auto it = earlyAcks.begin(); it != earlyAcks.end(); ++it)
            if (*it == mid) {
                earlyAcks.erase(it);
                for (auto e = events.begin(); e != events.end(); ++e)
                    if (&*e == next) {
                        events.erase(e);
                        break;
                    }
                break;
            }
    }
}

bool Publisher::waitForEvents(int timeoutMs)
{
    std::unique_lock lock(m);
    return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return events.empty(); });
}

std::vector<Event> Publisher::takeUnsentEvents()
{
    std::lock_guard lock(m);
    std::vector<Event> out;
    for (Pending &p : events)
        out.push_back(std::move(p.event));
    events.clear();
    return out;
}

void Publisher::finish(int timeoutMs)
{
    if (!client)
        return;
    {
        std::lock_guard lock(m);
        stopping = true;
    }
    changed.notify_all();
    if (starter.joinable())
        starter.join();
    bool online;
    {
        std::lock_guard lock(m);
        online = isConnected;
    }
    if (online && s.carriesStatus) {
        publishStatus(kOfflineWord);
        std::unique_lock lock(m);
        changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return statusAcked || !isConnected; });
    }
    mosquitto_disconnect(client);
    stopLoop(online);
}

void Publisher::stopLoop(bool wasConnected)
{
    if (starter.joinable())
        starter.join();
    if (looping) {
        // A connected loop ends on the DISCONNECT; one in a reconnect's wait or
        // blocking connect is cancelled rather than waited for.
        mosquitto_loop_stop(client, !wasConnected);
        looping = false;
    }
    std::lock_guard lock(m);
    isConnected = false;
}

std::uint64_t Publisher::valuesSent() const
{
    std::lock_guard lock(m);
    return sent;
}

std::uint64_t Publisher::valuesSkipped() const
{
    std::lock_guard lock(m);
    return skipped;
}

std::uint64_t Publisher::eventsDropped() const
{
    std::lock_guard lock(m);
    return dropped;
}

void Publisher::setConnectionListener(std::function<void(bool)> l)
{
    std::lock_guard lock(m);
    listener = std::move(l);
}

} // namespace mqtt
