#include "app/device_selection.h"

#include <algorithm>

namespace app {

settings::AdapterRecord* selected_adapter(RenderApp& app) {
    settings::DeviceTable& table = app.device_table;
    const uint32_t count = std::min(table.adapter_count, settings::kMaxAdapters);
    return table.current_adapter < count ? &table.adapters[table.current_adapter] : nullptr;
}

settings::DeviceRecord* selected_device(RenderApp& app) {
    settings::AdapterRecord* adapter = selected_adapter(app);
    if (adapter == nullptr) return nullptr;
    const uint32_t count = std::min(adapter->device_count, settings::kMaxDevices);
    return adapter->current_device < count ? &adapter->devices[adapter->current_device] : nullptr;
}

settings::DisplayModeRecord* selected_mode(RenderApp& app) {
    settings::DeviceRecord* device = selected_device(app);
    if (device == nullptr) return nullptr;
    const uint32_t count = std::min(device->mode_count, settings::kMaxModes);
    return device->current_mode < count ? &device->modes[device->current_mode] : nullptr;
}

uint32_t multisample_in_use(const settings::DeviceRecord& device, bool windowed) {
    return windowed ? device.windowed_multisample : device.fullscreen_multisample;
}

}  // namespace app
