// Builds the device table: every adapter, both device types and every
// display mode the application accepts, then the start-up choice. Every list
// is bounded by its fixed capacity, whatever the graphics system reports.
#include "settings/device_table.h"

#include <algorithm>
#include <cstring>

namespace settings {

namespace {

// Modes smaller than this are never offered.
constexpr uint32_t kMinModeWidth = 640;   // pixels
constexpr uint32_t kMinModeHeight = 400;  // pixels

// Upper bounds on what is asked of the graphics system, so that a system
// reporting absurd counts cannot keep enumeration going for ever.
constexpr uint32_t kMaxAdaptersQueried = 64;
constexpr uint32_t kMaxModesQueried = 4096;  // per adapter

struct DeviceTypeEntry {
    platform::DeviceType type;
    const char* description;
};
constexpr DeviceTypeEntry kDeviceTypes[] = {
    {platform::kDeviceHal, "HAL"},
    {platform::kDeviceRef, "REF"},
};

// The working list of one adapter's distinct back-buffer formats, each with
// what the current device type said about it.
struct FormatEntry {
    platform::Format format;
    bool accepted;                  // the device renders with this format
    uint32_t behaviour;             // device-creation flags that were accepted
    platform::Format depth_format;  // 0 when none
};

struct AdapterWorkList {
    ModeCandidate candidates[kMaxCandidates];
    uint32_t candidate_count;
    FormatEntry formats[kMaxFormats];  // the desktop format first
    uint32_t format_count;
};

// What the HAL devices showed, for the warning when the reference device is
// the start-up choice.
struct HardwareFindings {
    bool device_exists;
    bool can_render_windowed;
    bool accepts_desktop_format;
    bool has_usable_mode;
};

struct DepthFormatEntry {
    platform::Format format;
    uint32_t depth_bits;
    uint32_t stencil_bits;
};
// In order of preference.
constexpr DepthFormatEntry kDepthFormats[] = {
    {platform::kFormatD16, 16, 0},
    {platform::kFormatD15S1, 15, 1},
    {platform::kFormatD24X8, 24, 0},
    {platform::kFormatD24S8, 24, 8},
    {platform::kFormatD24X4S4, 24, 4},
    {platform::kFormatD32, 32, 0},
};

bool is_32_bit_format(platform::Format format) {
    return format == platform::kFormatX8R8G8B8 || format == platform::kFormatA8R8G8B8 ||
           format == platform::kFormatR8G8B8;
}

bool is_16_bit_format(platform::Format format) {
    return format == platform::kFormatR5G6B5 || format == platform::kFormatX1R5G5B5 ||
           format == platform::kFormatA1R5G5B5;
}

int32_t find_format(const AdapterWorkList& work, platform::Format format) {
    for (uint32_t i = 0; i < work.format_count; ++i) {
        if (work.formats[i].format == format) return static_cast<int32_t>(i);
    }
    return -1;
}

bool has_candidate(const AdapterWorkList& work, const platform::DisplayMode& mode) {
    for (uint32_t i = 0; i < work.candidate_count; ++i) {
        const ModeCandidate& c = work.candidates[i];
        if (c.width == mode.width && c.height == mode.height && c.format == mode.format) return true;
    }
    return false;
}

// The adapter's distinct modes of at least 640 x 400 (refresh rates are not
// told apart) and their formats, the desktop format first. A mode that does
// not fit into a full list is left out.
void collect_mode_candidates(platform::GraphicsSystem& graphics, uint32_t ordinal, platform::Format desktop_format,
                             AdapterWorkList& work) {
    work.candidate_count = 0;
    work.format_count = 1;
    work.formats[0] = FormatEntry{desktop_format, false, 0, 0};
    const uint32_t mode_count = std::min(graphics.get_adapter_mode_count(ordinal), kMaxModesQueried);
    for (uint32_t m = 0; m < mode_count; ++m) {
        platform::DisplayMode mode{};
        if (platform::failed(graphics.enum_adapter_modes(ordinal, m, mode))) continue;
        if (mode.width < kMinModeWidth || mode.height < kMinModeHeight) continue;
        if (has_candidate(work, mode)) continue;
        if (work.candidate_count == kMaxCandidates) continue;
        const bool new_format = find_format(work, mode.format) < 0;
        if (new_format && work.format_count == kMaxFormats) continue;
        work.candidates[work.candidate_count++] = ModeCandidate{mode.width, mode.height, 0, mode.format};
        if (new_format) work.formats[work.format_count++] = FormatEntry{mode.format, false, 0, 0};
    }
    std::sort(work.candidates, work.candidates + work.candidate_count,
              [](const ModeCandidate& a, const ModeCandidate& b) { return compare_display_modes(a, b) < 0; });
}

platform::Result ask_check_device_caps(const DeviceTableRequest& request, const platform::DeviceCaps& caps,
                                       uint32_t behaviour, platform::Format format) {
    if (request.check_device_caps == nullptr) return platform::kOk;
    return request.check_device_caps(request.check_context, caps, behaviour, format);
}

// Tries the vertex-processing behaviours in order of preference; the first
// the application accepts wins.
bool choose_behaviour(const DeviceTableRequest& request, const platform::DeviceCaps& caps, platform::Format format,
                      uint32_t& behaviour) {
    uint32_t tries[4];
    uint32_t try_count = 0;
    if (caps.dev_caps & platform::kDevCapsHwTransformAndLight) {
        if (caps.dev_caps & platform::kDevCapsPureDevice) {
            tries[try_count++] = platform::kCreateHardwareVertexProcessing | platform::kCreatePureDevice;
        }
        tries[try_count++] = platform::kCreateHardwareVertexProcessing;
        tries[try_count++] = platform::kCreateMixedVertexProcessing;
    }
    tries[try_count++] = platform::kCreateSoftwareVertexProcessing;
    for (uint32_t i = 0; i < try_count; ++i) {
        behaviour = tries[i];
        if (platform::succeeded(ask_check_device_caps(request, caps, behaviour, format))) return true;
    }
    return false;
}

// Decides for every format of the list whether this device accepts it.
void check_formats(const DeviceTableRequest& request, uint32_t ordinal, const DeviceRecord& device,
                   AdapterWorkList& work, HardwareFindings& findings) {
    platform::GraphicsSystem& graphics = *request.graphics;
    const bool is_hal = device.device_type == platform::kDeviceHal;
    const bool caps_can_window = (device.caps.caps2 & platform::kCaps2CanRenderWindowed) != 0;
    for (uint32_t f = 0; f < work.format_count; ++f) {
        FormatEntry& entry = work.formats[f];
        entry.accepted = false;
        entry.behaviour = 0;
        entry.depth_format = 0;
        if (platform::failed(graphics.check_device_type(ordinal, device.device_type, entry.format, entry.format,
                                                        false))) {
            continue;
        }
        if (is_hal) {
            findings.device_exists = true;
            if (caps_can_window) {
                findings.can_render_windowed = true;
                if (f == 0) findings.accepts_desktop_format = true;
            }
        }
        entry.accepted = choose_behaviour(request, device.caps, entry.format, entry.behaviour);
        if (entry.accepted && request.use_depth_buffer) {
            entry.accepted = choose_depth_format(graphics, ordinal, device.device_type, entry.format,
                                                 request.min_depth_bits, request.min_stencil_bits,
                                                 entry.depth_format);
        }
    }
}

void add_accepted_modes(const AdapterWorkList& work, DeviceRecord& device, HardwareFindings& findings) {
    for (uint32_t c = 0; c < work.candidate_count; ++c) {
        const ModeCandidate& candidate = work.candidates[c];
        const int32_t f = find_format(work, candidate.format);
        if (f < 0 || !work.formats[f].accepted) continue;
        if (device.mode_count == kMaxModes) break;
        device.modes[device.mode_count++] = DisplayModeRecord{candidate.width, candidate.height, candidate.format,
                                                              work.formats[f].behaviour,
                                                              work.formats[f].depth_format};
        if (device.device_type == platform::kDeviceHal) findings.has_usable_mode = true;
    }
}

// The desktop-sized mode of the preferred depth (32 bits, else 16), or the
// last desktop-sized mode seen, or mode 0.
uint32_t choose_startup_mode(const DeviceRecord& device, uint32_t screen_width, uint32_t screen_height) {
    uint32_t current = 0;
    for (bool (*preferred)(platform::Format) : {is_32_bit_format, is_16_bit_format}) {
        for (uint32_t m = 0; m < device.mode_count; ++m) {
            const DisplayModeRecord& mode = device.modes[m];
            if (mode.width != screen_width || mode.height != screen_height) continue;
            current = m;
            if (preferred(mode.format)) return current;
        }
    }
    return current;
}

// Fills the adapter's devices; returns false when the adapter cannot be read.
bool fill_adapter(const DeviceTableRequest& request, uint32_t ordinal, AdapterRecord& adapter,
                  AdapterWorkList& work, HardwareFindings& findings) {
    platform::GraphicsSystem& graphics = *request.graphics;
    std::memset(&adapter, 0, sizeof adapter);
    adapter.ordinal = ordinal;
    if (platform::failed(graphics.get_adapter_identifier(ordinal, platform::kAdapterIdentifierNoWhql,
                                                         adapter.identifier))) {
        std::memset(&adapter.identifier, 0, sizeof adapter.identifier);
    }
    // The texts are shown and copied later: make sure they end.
    adapter.identifier.driver[sizeof adapter.identifier.driver - 1] = '\0';
    adapter.identifier.description[sizeof adapter.identifier.description - 1] = '\0';
    if (platform::failed(graphics.get_adapter_display_mode(ordinal, adapter.desktop_mode))) return false;

    collect_mode_candidates(graphics, ordinal, adapter.desktop_mode.format, work);

    for (const DeviceTypeEntry& type : kDeviceTypes) {
        if (adapter.device_count == kMaxDevices) break;
        DeviceRecord& device = adapter.devices[adapter.device_count];
        std::memset(&device, 0, sizeof device);
        device.device_type = type.type;
        device.description = type.description;
        if (platform::failed(graphics.get_device_caps(ordinal, type.type, device.caps))) continue;

        check_formats(request, ordinal, device, work, findings);
        add_accepted_modes(work, device, findings);
        device.current_mode = choose_startup_mode(device, request.screen_width, request.screen_height);
        if (work.formats[0].accepted && (device.caps.caps2 & platform::kCaps2CanRenderWindowed)) {
            device.can_render_windowed = true;
            device.windowed = true;
        }
        if (device.mode_count > 0) ++adapter.device_count;
    }
    return adapter.device_count > 0;
}

platform::Result reference_device_warning(const HardwareFindings& findings) {
    if (!findings.device_exists) return kNoHardwareDevice;
    if (!findings.has_usable_mode) return kHardwareLacksFeatures;
    if (!findings.can_render_windowed) return kHardwareCannotWindow;
    if (!findings.accepts_desktop_format) return kHardwareCannotUseDesktop;
    return kHardwareLacksFeaturesInMode;
}

}  // namespace

int32_t compare_display_modes(const ModeCandidate& a, const ModeCandidate& b) {
    const int32_t format_a = static_cast<int32_t>(a.format);
    const int32_t format_b = static_cast<int32_t>(b.format);
    if (format_a > format_b) return -1;
    if (format_a < format_b) return 1;
    if (a.width < b.width) return -1;
    if (a.width > b.width) return 1;
    if (a.height < b.height) return -1;
    if (a.height > b.height) return 1;
    return 0;
}

bool choose_depth_format(platform::GraphicsSystem& graphics, uint32_t adapter, platform::DeviceType type,
                         platform::Format format, uint32_t min_depth_bits, uint32_t min_stencil_bits,
                         platform::Format& depth_format) {
    for (const DepthFormatEntry& entry : kDepthFormats) {
        if (min_depth_bits > entry.depth_bits || min_stencil_bits > entry.stencil_bits) continue;
        if (platform::failed(graphics.check_device_format(adapter, type, format, platform::kUsageDepthStencil,
                                                          platform::kResourceSurface, entry.format))) {
            continue;
        }
        if (platform::failed(graphics.check_depth_stencil_match(adapter, type, format, format, entry.format))) {
            continue;
        }
        depth_format = entry.format;
        return true;
    }
    return false;
}

platform::Result build_device_table(DeviceTable& table, const DeviceTableRequest& request, bool& windowed,
                                    platform::Result& fallback_warning) {
    fallback_warning = platform::kOk;
    std::memset(&table, 0, sizeof table);
    if (request.graphics == nullptr) return kNoUsableDevice;

    HardwareFindings findings{};
    AdapterWorkList work;
    const uint32_t reported = std::min(request.graphics->get_adapter_count(), kMaxAdaptersQueried);
    for (uint32_t ordinal = 0; ordinal < reported && table.adapter_count < kMaxAdapters; ++ordinal) {
        AdapterRecord& adapter = table.adapters[table.adapter_count];
        if (fill_adapter(request, ordinal, adapter, work, findings)) {
            ++table.adapter_count;
        } else {
            std::memset(&adapter, 0, sizeof adapter);
        }
    }
    if (table.adapter_count == 0) return kNoUsableDevice;

    for (uint32_t a = 0; a < table.adapter_count; ++a) {
        AdapterRecord& adapter = table.adapters[a];
        for (uint32_t d = 0; d < adapter.device_count; ++d) {
            if (!adapter.devices[d].can_render_windowed) continue;
            adapter.current_device = d;
            table.current_adapter = a;
            windowed = true;
            if (adapter.devices[d].device_type == platform::kDeviceRef) {
                fallback_warning = reference_device_warning(findings);
            }
            return platform::kOk;
        }
    }
    return kDesktopModeUnusable;
}

}  // namespace settings
