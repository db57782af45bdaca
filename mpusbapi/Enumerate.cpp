#include "Enumerate.h"

namespace mpusb {

// Where the endpoint lives in the active configuration, and how it transfers.
std::optional<EndpointInfo> findEndpoint(libusb_device *device, uint8_t address)
{
    libusb_config_descriptor *config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != LIBUSB_SUCCESS)
        return std::nullopt;
    std::optional<EndpointInfo> result;
    for (int i = 0; i < config->bNumInterfaces && !result; ++i) {
        const libusb_interface &intf = config->interface[i];
        if (intf.num_altsetting < 1)
            continue;
        const libusb_interface_descriptor &alt = intf.altsetting[0];
        for (int e = 0; e < alt.bNumEndpoints; ++e) {
            const libusb_endpoint_descriptor &ep = alt.endpoint[e];
            if (ep.bEndpointAddress != address)
                continue;
            int type = ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK;
            if (type == LIBUSB_TRANSFER_TYPE_BULK || type == LIBUSB_TRANSFER_TYPE_INTERRUPT)
                result = EndpointInfo{alt.bInterfaceNumber, type == LIBUSB_TRANSFER_TYPE_INTERRUPT,
                                      ep.wMaxPacketSize & 0x7FF};
            break;
        }
    }
    libusb_free_config_descriptor(config);
    return result;
}

} // namespace mpusb
