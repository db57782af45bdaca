// The window's way to the broker: the MQTT code (libmosquitto) lives in a
// library of its own, loaded when publishing starts, so a window that does
// not publish never loads it. The boundary passes plain values and texts.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>

struct ChannelSettings {
    std::string broker; // mqtt://[USER@]HOST[:PORT] or mqtts://
    std::string user;   // used when the address names none
    std::string password;
    std::string prefix;
    unsigned serial = 0;
};

class PublishChannel {
public:
    virtual ~PublishChannel() = default; // publishes "offline" first
    virtual void publishValue(const QByteArray &payload) = 0;
    virtual void publishEvent(const std::string &topic, const QByteArray &payload) = 0;
    virtual bool connected() const = 0;
    virtual std::uint64_t eventsDropped() const = 0;
};

// Starts connecting in the background; `listener` hears each change of the
// connection on another thread. Null, with the reason, when it cannot start.
using PublishChannelFactory = PublishChannel *(*)(const ChannelSettings &settings,
                                                  std::function<void(bool connected)> listener, QString &problem);

inline constexpr const char *kPublishChannelLibraryName = "qz5801mqtt";
inline constexpr const char *kPublishChannelFactoryName = "qz5801OpenPublishChannel";

// The linked factory (tests), else the library beside the executable, loaded
// once and kept; null, with the reason, when it is missing.
PublishChannelFactory publishChannelFactory(QString &problem);
void setLinkedPublishChannelFactory(PublishChannelFactory factory);
// From the library in that folder (ending in '/'); kept loaded when found.
PublishChannelFactory loadPublishChannel(const QString &folder, QString &problem);
