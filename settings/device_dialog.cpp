#include "settings/device_dialog.h"

#include <cstdio>
#include <cstring>

#include "settings/about_text.h"

namespace settings {

namespace {

constexpr uint32_t kMaxMultisampleType = 16;
constexpr long kBitsOf32BitFormat = 32;
constexpr long kBitsOf16BitFormat = 16;

const AdapterRecord* chosen_adapter(const DeviceDialogModel& model) {
    const DeviceTable& table = *model.services.table;
    if (model.chosen.adapter >= table.adapter_count || model.chosen.adapter >= kMaxAdapters) return nullptr;
    return &table.adapters[model.chosen.adapter];
}

const DeviceRecord* chosen_device(const DeviceDialogModel& model) {
    const AdapterRecord* adapter = chosen_adapter(model);
    if (adapter == nullptr || model.chosen.device >= adapter->device_count || model.chosen.device >= kMaxDevices) {
        return nullptr;
    }
    return &adapter->devices[model.chosen.device];
}

const DisplayModeRecord* chosen_mode(const DeviceDialogModel& model) {
    const DeviceRecord* device = chosen_device(model);
    if (device == nullptr || model.chosen.mode >= device->mode_count || model.chosen.mode >= kMaxModes) {
        return nullptr;
    }
    return &device->modes[model.chosen.mode];
}

// The chosen multisample type of the presentation the chosen windowed flag names.
uint32_t& chosen_multisample(DeviceDialogModel& model) {
    return model.chosen.windowed ? model.chosen.windowed_multisample : model.chosen.fullscreen_multisample;
}

// The chosen device and its current mode and presentation become the choice.
void choose_device(DeviceDialogModel& model, uint32_t device_index) {
    model.chosen.device = device_index;
    const DeviceRecord* device = chosen_device(model);
    if (device == nullptr) return;
    model.chosen.mode = device->current_mode;
    model.chosen.windowed = device->windowed;
}

template <uint32_t Capacity>
void clear_list(DialogList<Capacity>& list) {
    list.count = 0;
    list.selected = -1;
}

// Appends an item; the text is cut to the item's size. Returns its index.
template <uint32_t Capacity>
int32_t add_item(DialogList<Capacity>& list, const char* text, uint32_t value) {
    if (list.count == Capacity) return -1;
    DialogListItem& item = list.items[list.count];
    std::snprintf(item.text, sizeof item.text, "%s", text);
    item.value = value;
    return static_cast<int32_t>(list.count++);
}

// The list's selected index, or -1 when nothing valid is selected.
template <uint32_t Capacity>
int32_t selected_index(const DialogList<Capacity>& list) {
    if (list.selected < 0 || static_cast<uint32_t>(list.selected) >= list.count) return -1;
    return list.selected;
}

void fill_adapter_list(DeviceDialogModel& model) {
    auto& list = model.controls.adapters;
    const DeviceTable& table = *model.services.table;
    for (uint32_t a = 0; a < table.adapter_count && a < kMaxAdapters; ++a) {
        const int32_t index = add_item(list, table.adapters[a].identifier.description, a);
        if (a == model.chosen.adapter) list.selected = index;
    }
}

void fill_device_list(DeviceDialogModel& model) {
    auto& list = model.controls.devices;
    const AdapterRecord* adapter = chosen_adapter(model);
    if (adapter == nullptr) return;
    for (uint32_t d = 0; d < adapter->device_count && d < kMaxDevices; ++d) {
        const char* description = adapter->devices[d].description;
        const int32_t index = add_item(list, description != nullptr ? description : "", d);
        if (d == model.chosen.device) list.selected = index;
    }
}

void fill_mode_list(DeviceDialogModel& model) {
    auto& list = model.controls.modes;
    const DeviceRecord* device = chosen_device(model);
    if (device == nullptr) return;
    for (uint32_t m = 0; m < device->mode_count && m < kMaxModes; ++m) {
        const DisplayModeRecord& mode = device->modes[m];
        const bool is_32_bit = mode.format == platform::kFormatX8R8G8B8 || mode.format == platform::kFormatA8R8G8B8 ||
                               mode.format == platform::kFormatR8G8B8;
        char text[kDialogItemTextSize];
        std::snprintf(text, sizeof text, "%ld x %ld x %ld", static_cast<long>(mode.width),
                      static_cast<long>(mode.height), is_32_bit ? kBitsOf32BitFormat : kBitsOf16BitFormat);
        const int32_t index = add_item(list, text, m);
        if (m == model.chosen.mode) list.selected = index;
    }
}

// The multisample types the chosen presentation offers; the chosen type is
// selected when it is offered, else "none".
void fill_multisample_list(DeviceDialogModel& model) {
    auto& list = model.controls.multisample_types;
    const AdapterRecord* adapter = chosen_adapter(model);
    const DeviceRecord* device = chosen_device(model);
    const DisplayModeRecord* mode = chosen_mode(model);
    if (adapter == nullptr || device == nullptr) return;
    if (!model.chosen.windowed && mode == nullptr) return;
    const platform::Format format = model.chosen.windowed ? adapter->desktop_mode.format : mode->format;
    const uint32_t wanted = chosen_multisample(model);
    for (uint32_t type = 0; type <= kMaxMultisampleType; ++type) {
        if (type == 1) continue;
        if (platform::failed(model.services.graphics->check_device_multisample_type(
                adapter->ordinal, device->device_type, format, model.chosen.windowed, type))) {
            continue;
        }
        char text[kDialogItemTextSize];
        if (type == 0) {
            std::snprintf(text, sizeof text, "none");
        } else {
            std::snprintf(text, sizeof text, "%d samples", static_cast<int>(type));
        }
        const int32_t index = add_item(list, text, type);
        if (type == 0 || type == wanted) list.selected = index;
    }
}

}  // namespace

void refill_device_dialog(DeviceDialogModel& model) {
    DeviceDialogControls& controls = model.controls;
    // The dialog always offers the full-screen settings.
    model.chosen.windowed = false;

    clear_list(controls.adapters);
    clear_list(controls.devices);
    clear_list(controls.modes);
    clear_list(controls.multisample_types);

    fill_adapter_list(model);
    fill_device_list(model);
    fill_mode_list(model);
    fill_multisample_list(model);

    // The selected multisample type becomes the choice. With nothing offered
    // the choice is "none" rather than an undefined value that would later
    // be saved and make the device fail to start.
    const int32_t selected = selected_index(controls.multisample_types);
    chosen_multisample(model) = selected >= 0 ? controls.multisample_types.items[selected].value : 0;

    const DeviceRecord* device = chosen_device(model);
    controls.adapters.enabled = true;
    controls.devices.enabled = true;
    controls.multisample_types.enabled = controls.multisample_types.count > 1;
    controls.windowed_radio.enabled = device != nullptr && device->can_render_windowed;
    controls.windowed_radio.checked = model.chosen.windowed;
    controls.fullscreen_radio.checked = !model.chosen.windowed;
    controls.fullscreen_radio.enabled = true;
    controls.modes.enabled = !model.chosen.windowed;
}

void init_device_dialog(DeviceDialogModel& model, const DeviceDialogServices& services) {
    std::memset(&model.controls, 0, sizeof model.controls);
    model.services = services;
    model.end_result = 0;

    const DeviceTable& table = *services.table;
    DeviceChoice choice{};
    choice.adapter = table.current_adapter;
    if (choice.adapter < table.adapter_count && choice.adapter < kMaxAdapters) {
        const AdapterRecord& adapter = table.adapters[choice.adapter];
        choice.device = adapter.current_device;
        if (choice.device < adapter.device_count && choice.device < kMaxDevices) {
            const DeviceRecord& device = adapter.devices[choice.device];
            choice.mode = device.current_mode;
            choice.windowed = device.windowed;
            choice.windowed_multisample = device.windowed_multisample;
            choice.fullscreen_multisample = device.fullscreen_multisample;
        }
    }
    model.opening = choice;
    model.chosen = choice;

    std::snprintf(model.controls.caption, sizeof model.controls.caption, "%s",
                  services.title != nullptr ? services.title : "");
    model.controls.show_info.checked = services.settings->d_show_info;
    model.controls.exit_on_mouse_move.checked = services.settings->d_exit_omm;
    model.controls.other_monitors.checked = services.settings->d_other_monitors;
    model.controls.other_monitors.enabled = true;
    refill_device_dialog(model);
}

void handle_device_dialog_command(DeviceDialogModel& model, const DialogCommand& command,
                                  platform::NativeWindow owner) {
    DeviceDialogControls& controls = model.controls;
    model.chosen.windowed = controls.windowed_radio.checked;
    const bool selection_done = command.notification == kNotifySelectionDone;

    switch (command.control_id) {
        case kControlOk: {
            Settings& settings = *model.services.settings;
            settings.r_adapter = model.chosen.adapter;
            settings.r_device = model.chosen.device;
            settings.r_mode = model.chosen.mode;
            settings.r_multi_sample = static_cast<int32_t>(model.chosen.fullscreen_multisample);
            settings.d_show_info = controls.show_info.checked;
            settings.d_exit_omm = controls.exit_on_mouse_move.checked;
            settings.d_other_monitors = controls.other_monitors.checked;
            save_device_settings(*model.services.store, settings);
            save_general_settings(*model.services.store, settings);
            model.end_result = kDialogEndedOk;
            return;
        }
        case kControlCancel:
            model.end_result = kDialogEndedCancel;
            return;
        case kControlAdapterList: {
            const int32_t index = selected_index(controls.adapters);
            if (selection_done && index >= 0) {
                model.chosen.adapter = static_cast<uint32_t>(index);
                const AdapterRecord* adapter = chosen_adapter(model);
                if (adapter != nullptr) choose_device(model, adapter->current_device);
            }
            break;
        }
        case kControlDeviceList: {
            const int32_t index = selected_index(controls.devices);
            if (selection_done && index >= 0) choose_device(model, static_cast<uint32_t>(index));
            break;
        }
        case kControlModeList: {
            const int32_t index = selected_index(controls.modes);
            if (selection_done && index >= 0) model.chosen.mode = static_cast<uint32_t>(index);
            break;
        }
        case kControlMultisampleList: {
            const int32_t index = selected_index(controls.multisample_types);
            if (selection_done && index >= 0) {
                chosen_multisample(model) = controls.multisample_types.items[index].value;
            }
            break;
        }
        case kControlAboutButton:
            if (model.services.message_boxes != nullptr) show_about_box(*model.services.message_boxes, owner);
            break;
        default:
            break;
    }
    refill_device_dialog(model);
}

int32_t run_device_dialog_model(DeviceDialogView& view, const DeviceDialogServices& services) {
    DeviceDialogModel model;
    init_device_dialog(model, services);
    const platform::Result opened = view.open(model.controls);
    if (platform::failed(opened)) return opened;
    while (model.end_result == 0) {
        const DialogCommand command = view.wait_for_command(model.controls);
        handle_device_dialog_command(model, command, view.window());
    }
    view.close();
    return model.end_result;
}

}  // namespace settings
