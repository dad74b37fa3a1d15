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
    xcb_connection_t* c = xcb_connect(display_, nullptr);
    bool usable = xcb_connection_has_error(c) == 0;
    if (usable) {
        const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_dpms_id);
        usable = extension != nullptr && extension->present != 0;
    }
    if (usable) {
        xcb_dpms_capable_reply_t* capable = xcb_dpms_capable_reply(c, xcb_dpms_capable(c), nullptr);
        usable = capable != nullptr && capable->capable != 0;
        std::free(capable);
    }
    if (usable) {
        connection_ = c;
    } else {
        xcb_disconnect(c);  // no use asking again: the server will not learn DPMS
    }
}

bool X11DisplayPower::dark() {
    if (!tried_) connect();
    if (connection_ == nullptr || xcb_connection_has_error(connection_) != 0) return false;
    xcb_dpms_info_reply_t* info = xcb_dpms_info_reply(connection_, xcb_dpms_info(connection_), nullptr);
    if (info == nullptr) return false;
    const bool dark = info->state != 0 && info->power_level != XCB_DPMS_DPMS_MODE_ON;
    std::free(info);
    return dark;
}

}  // namespace platform::power
