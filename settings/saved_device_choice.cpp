#include "settings/saved_device_choice.h"

namespace settings {

namespace {

constexpr int32_t kMinMultisampleType = 2;
constexpr int32_t kMaxMultisampleType = 16;

bool is_multisample_type(int32_t type) {
    return type == 0 || (type >= kMinMultisampleType && type <= kMaxMultisampleType);
}

}  // namespace

bool apply_saved_device_choice(DeviceTable& table, const Settings& settings, bool windowed) {
    if (settings.r_adapter >= table.adapter_count || settings.r_adapter >= kMaxAdapters) return false;
    AdapterRecord& adapter = table.adapters[settings.r_adapter];
    if (settings.r_device >= adapter.device_count || settings.r_device >= kMaxDevices) return false;
    DeviceRecord& device = adapter.devices[settings.r_device];
    if (settings.r_mode >= device.mode_count || settings.r_mode >= kMaxModes) return false;
    if (!is_multisample_type(settings.r_multi_sample)) return false;

    table.current_adapter = settings.r_adapter;
    adapter.current_device = settings.r_device;
    device.current_mode = settings.r_mode;
    device.windowed = windowed;
    device.windowed_multisample = 0;
    device.fullscreen_multisample = static_cast<uint32_t>(settings.r_multi_sample);
    return true;
}

}  // namespace settings
