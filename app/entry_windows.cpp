// aquarium.scr: the screen saver on Windows. The command line is the one
// Windows hands a screen saver ("/s", "/c", "/p <window>", "/a ..."), after
// the program's own name.
#include <memory>

#include "app/aquarium_app.h"
#include "app/create.h"
#include "app/device_dialog_runner.h"
#include "app/frame_loop.h"
#include "app/seed_from_environment.h"
#include "platform/win32/gdi_glyph_rasterizer.h"
#include "platform/win32/registry_settings_store.h"
#include "platform/win32/wgl_graphics_system.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_device_dialog_view.h"
#include "platform/win32/win32_monitors.h"
#include "platform/win32/win32_power_status.h"
#include "platform/win32/win32_process_start.h"
#include "platform/win32/win32_window_system.h"
#include "platform/win32/window_instance_lock.h"
#include "settings/device_dialog.h"
#include "settings/settings.h"

namespace {

// The settings dialog: template 144, owned by the caller's window (/c:N) or
// else by the main window.
class ModalDeviceDialog final : public app::DeviceDialogRunner {
public:
    int32_t run_modal(app::RenderApp& app) override {
        const settings::DeviceDialogServices services{
            &app.device_table,          app.graphics, app.settings, app.platform.settings,
            app.platform.message_boxes, app.title};
        platform::win32::Win32DeviceDialogView view(app::dialog_owner(app));
        const int32_t answer = settings::run_device_dialog_model(view, services);
        return answer == app::kDialogOk ? app::kDialogOk : app::kDialogCancel;
    }
};

}  // namespace

// The runtime calls main() in a windowed program too; the command line and
// the show command come as Windows gave them.
int main() {
    // Before the first window: every window and monitor in physical pixels.
    platform::win32::declare_dpi_awareness();
    static platform::win32::RegistrySettingsStore settings_store(settings::kSettingsKeyName);
    static platform::win32::GdiGlyphRasterizer glyphs;
    const platform::Platform services{platform::win32::make_win32_window_system(),
                                      platform::win32::make_win32_message_boxes(),
                                      platform::win32::make_win32_clock(),
                                      &settings_store,
                                      platform::win32::make_window_instance_lock(),
                                      platform::win32::make_wgl_graphics_system_factory(),
                                      &glyphs,
                                      platform::win32::make_win32_power_status()};

    auto aquarium = std::make_unique<app::AquariumApp>(services);
    uint32_t seed = 0;
    if (app::seed_from_environment(seed)) aquarium->fix_scene_seed(seed);
    ModalDeviceDialog dialog;
    aquarium->app.device_dialog = &dialog;

    const char* command_line = platform::win32::command_line_after_program_name();
    const platform::Result started = app::create(*aquarium, command_line, platform::win32::startup_show_command());
    if (platform::failed(started)) return app::exit_status_after_create(started);
    return app::run(aquarium->app);
}
