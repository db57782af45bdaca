// Compiled into every program that links qz5801_publish_channel (an interface
// source of it): the window's publisher takes the linked factory and loads no file.
#include "PublishChannel.h"

extern "C" PublishChannel *qz5801OpenPublishChannel(const ChannelSettings &settings,
                                                    std::function<void(bool)> listener, QString &problem);

namespace {

const bool linked = [] {
    setLinkedPublishChannelFactory(&qz5801OpenPublishChannel);
    return true;
}();

} // namespace
