// The library the window loads when it starts publishing: mqtt::Publisher
// behind the narrow boundary of PublishChannel.h.
#include "PublishChannel.h"

#include "Publisher.h"

#include <memory>

namespace {

class MqttChannel final : public PublishChannel {
public:
    explicit MqttChannel(const mqtt::PublisherSettings &s) : publisher(s) {}

    void publishValue(const QByteArray &payload) override { publisher.publishValue(payload); }
    void publishEvent(const std::string &topic, const QByteArray &payload) override
    {
        publisher.publishEvent(mqtt::Event{topic, payload});
    }
    bool connected() const override { return publisher.connected(); }
    std::uint64_t eventsDropped() const override { return publisher.eventsDropped(); }

    mqtt::Publisher publisher;
};

} // namespace

extern "C" Q_DECL_EXPORT PublishChannel *qz5801OpenPublishChannel(const ChannelSettings &settings,
                                                                  std::function<void(bool)> listener,
                                                                  QString &problem)
{
    std::string why;
    std::optional<mqtt::BrokerAddress> address = mqtt::parseBrokerAddress(settings.broker, why);
    if (!address) {
        problem = QString::fromStdString(why);
        return nullptr;
    }
    if (address->user.empty())
        address->user = settings.user;
    mqtt::PublisherSettings s;
    s.broker = *address;
    s.password = settings.password;
    s.prefix = settings.prefix;
    s.serial = settings.serial;
    auto channel = std::make_unique<MqttChannel>(s);
    channel->publisher.setConnectionListener(std::move(listener));
    channel->publisher.start();
    return channel.release();
}
