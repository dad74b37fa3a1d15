// A short look at the Wayland compositor of WAYLAND_DISPLAY: which of the
// protocols the program needs it offers.
#pragma once

namespace platform::wayland {

// True when the compositor offers every interface named in `interfaces`
// (wl_registry names such as "xdg_wm_base"); false without a compositor.
bool compositor_offers(const char* const* interfaces, int count);

}  // namespace platform::wayland
