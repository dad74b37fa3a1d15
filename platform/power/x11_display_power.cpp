#include "platform/power/x11_display_power.h"

#include <xcb/dpms.h>
#include <xcb/xcb.h>

#include <cstdlib>

namespace platform::power {

X11DisplayPower::X11DisplayPower(const char* display) : display_(display) {}

X11DisplayPower::~X11DisplayPower() {
    if (connection_ != nullptr) xcb_disconnect(connection_);
}

void X11DisplayPower::connect() {
    tried_ = true;
    connection_ = xcb_connect(display_, nullptr);
    if (xcb_connection_has_error(connection_) != 0) {
        xcb_disconnect(connection_);
        connection_ = nullptr;
        return;
    }
    // Without DPMS the connection stays open all the same, unused: one
    // opened and closed again while the program draws would be a client
    // coming and going for nothing on the user's server.
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection_, &xcb_dpms_id);
    if (extension == nullptr || extension->present == 0) return;
    xcb_dpms_capable_reply_t* capable = xcb_dpms_capable_reply(connection_, xcb_dpms_capable(connection_), nullptr);
    dpms_ = capable != nullptr && capable->capable != 0;
    std::free(capable);
}

bool X11DisplayPower::dark() {
    if (!tried_) connect();
    if (!dpms_ || xcb_connection_has_error(connection_) != 0) return false;
    xcb_dpms_info_reply_t* info = xcb_dpms_info_reply(connection_, xcb_dpms_info(connection_), nullptr);
    if (info == nullptr) return false;
    const bool dark = info->state != 0 && info->power_level != XCB_DPMS_DPMS_MODE_ON;
    std::free(info);
    return dark;
}

}  // namespace platform::power
