// aquarium: the screen saver. Its command line is the host's: the program's
// arguments joined by single spaces (see command_line.h).
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/aquarium_app.h"
#include "app/command_line.h"
#include "app/create.h"
#include "app/device_dialog_runner.h"
#include "app/frame_loop.h"
#include "platform/dialog/imgui_device_dialog_view.h"
#include "platform/files/empty_settings_store.h"
#include "platform/files/ini_settings_store.h"
#include "platform/files/settings_file_path.h"
#include "platform/fonts/freetype_glyph_rasterizer.h"
#include "platform/gl/gl_graphics.h"
#include "platform/sdl/sdl_window_system.h"
#include "platform/system/file_instance_lock.h"
#include "platform/system/steady_clock.h"
#include "settings/settings.h"

namespace {

constexpr int kCommandLineCapacity = 4096;

// The settings dialog in a window of its own.
class WindowedDeviceDialog final : public app::DeviceDialogRunner {
public:
    int32_t run_modal(app::RenderApp& app) override {
        const settings::DeviceDialogServices services{&app.device_table, app.graphics,
                                                      app.settings,      app.platform.settings,
                                                      app.platform.message_boxes, app.title};
        const int32_t answer = platform::dialog::show_device_dialog(services);
        return answer == app::kDialogOk ? app::kDialogOk : app::kDialogCancel;
    }
};

// AQUARIUM_SEED, when it holds a whole unsigned 32-bit number, fixes the
// scene's random seed (for reproducible runs and tests).
bool seed_from_environment(uint32_t& seed) {
    const char* text = std::getenv("AQUARIUM_SEED");
    if (text == nullptr || *text < '0' || *text > '9') return false;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (*end != '\0' || value > 0xFFFFFFFFull) return false;
    seed = static_cast<uint32_t>(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    static char command_line[kCommandLineCapacity];
    app::join_arguments(argc, argv, command_line, kCommandLineCapacity);

    static char settings_path[platform::files::kMaxPathBytes];
    std::unique_ptr<platform::files::IniSettingsStore> settings_file;
    platform::files::EmptySettingsStore no_settings;
    platform::SettingsStore* store = &no_settings;
    if (platform::files::default_settings_file_path(settings_path)) {
        settings_file = std::make_unique<platform::files::IniSettingsStore>(settings_path, settings::kSettingsKeyName);
        store = settings_file.get();
    } else {
        std::fprintf(stderr, "aquarium: no place to keep the settings (HOME is not set); they will not be saved\n");
    }
    platform::FreeTypeGlyphRasterizer glyphs;
    const platform::Platform services{platform::make_sdl_window_system(),   platform::make_sdl_message_boxes(),
                                      platform::make_steady_clock(),        store,
                                      platform::make_file_instance_lock(),  platform::make_gl_graphics_system_factory(),
                                      &glyphs};

    auto aquarium = std::make_unique<app::AquariumApp>(services);
    WindowedDeviceDialog dialog;
    aquarium->app.device_dialog = &dialog;
    uint32_t seed = 0;
    if (seed_from_environment(seed)) aquarium->fix_scene_seed(seed);

    if (platform::failed(app::create(*aquarium, command_line, platform::kShowNormal))) return 0;
    return app::run(aquarium->app);
}
