// aquarium: the screen saver. --help and --version answer and end. Then
// -root or -window-id ID make it an XScreenSaver display module (see
// module_mode.h), whatever else the command line holds. Otherwise its
// command line is the host's: the program's arguments joined by single
// spaces (see command_line.h). The run and configure modes open their
// windows natively on Wayland or on X11 (platform/sdl/video_session.h);
// previews and modules draw in other programs' X11 windows.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/aquarium_app.h"
#include "app/background_mode.h"
#include "app/command_line.h"
#include "app/create.h"
#include "app/device_dialog_runner.h"
#include "app/frame_loop.h"
#include "app/module_mode.h"
#include "app/program_info.h"
#include "app/seed_from_environment.h"
#include "platform/dialog/imgui_device_dialog_view.h"
#include "platform/egl/egl_graphics.h"
#include "platform/files/empty_settings_store.h"
#include "platform/files/ini_settings_store.h"
#include "platform/files/read_only_settings_store.h"
#include "platform/files/settings_file_path.h"
#include "platform/fonts/freetype_glyph_rasterizer.h"
#include "platform/gl/frame_pacer.h"
#include "platform/hosted/hosted_message_boxes.h"
#include "platform/hosted/hosted_window_system.h"
#include "platform/power/linux_power_status.h"
#include "platform/power/scripted_power_status.h"
#include "platform/sdl/sdl_video.h"
#include "platform/sdl/sdl_window_modes.h"
#include "platform/sdl/sdl_window_system.h"
#include "platform/sdl/x11_windows.h"
#include "platform/system/file_instance_lock.h"
#include "platform/system/process_id.h"
#include "platform/system/stderr_message_boxes.h"
#include "platform/system/steady_clock.h"
#include "platform/system/termination_signals.h"
#include "platform/wayland/wayland_background.h"
#include "settings/device_dialog.h"
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
        platform::dialog::ImGuiDeviceDialogView view;
        const int32_t answer = settings::run_device_dialog_model(view, services);
        return answer == app::kDialogOk ? app::kDialogOk : app::kDialogCancel;
    }
};

// The settings file, or a store that keeps nothing when there is no place
// for the file.
class SettingsPlace {
public:
    SettingsPlace() {
        static char path[platform::files::kMaxPathBytes];
        if (platform::files::default_settings_file_path(path)) {
            file_ = std::make_unique<platform::files::IniSettingsStore>(path, settings::kSettingsKeyName);
        } else {
            std::fprintf(stderr, "aquarium: no place to keep the settings (HOME is not set); they will not be saved\n");
        }
    }
    platform::SettingsStore& store() {
        if (file_ != nullptr) return *file_;
        return nothing_;
    }

private:
    std::unique_ptr<platform::files::IniSettingsStore> file_;
    platform::files::EmptySettingsStore nothing_;
};

// The display's power state and the battery; AQUARIUM_TEST_POWER_FILE, a
// hook for the tests of the whole program, puts a scripted state in their
// place. On Wayland surfaces that nobody sees count as a dark display.
platform::PowerStatus* power_status() {
    const char* script = std::getenv("AQUARIUM_TEST_POWER_FILE");
    platform::PowerStatus* status = script != nullptr && script[0] != '\0'
                                        ? platform::make_scripted_power_status(script)
                                        : platform::make_linux_power_status();
    if (platform::video_session() != platform::sdl::VideoSession::wayland) return status;
    return platform::egl::make_unseen_surfaces_power_status(status);
}

std::unique_ptr<app::AquariumApp> make_aquarium(const platform::Platform& services) {
    auto aquarium = std::make_unique<app::AquariumApp>(services);
    uint32_t seed = 0;
    if (app::seed_from_environment(seed)) aquarium->fix_scene_seed(seed);
    return aquarium;
}

int run_screen_saver(const char* command_line) {
    SettingsPlace settings_place;
    platform::FreeTypeGlyphRasterizer glyphs;
    const platform::Platform services{platform::make_sdl_window_system(),
                                      platform::make_sdl_message_boxes(),
                                      platform::make_steady_clock(),
                                      &settings_place.store(),
                                      platform::make_file_instance_lock(),
                                      platform::make_gl_graphics_system_factory(),
                                      &glyphs,
                                      power_status()};

    auto aquarium = make_aquarium(services);
    WindowedDeviceDialog dialog;
    aquarium->app.device_dialog = &dialog;

    const platform::Result started = app::create(*aquarium, command_line, platform::kShowNormal);
    if (platform::failed(started)) return app::exit_status_after_create(started);
    return app::run(aquarium->app);
}

// A display module: drawing in the host's window until the host takes the
// window away or sends SIGTERM. Failures go to standard error, which the
// host keeps, and end the program with status 1. A termination signal ends
// it by that signal once it has cleaned up, as XScreenSaver's own modules
// end; a window taken away ends it the same way, as by SIGTERM, because
// the host is done with it (XScreenSaver signals before it takes the window).
[[noreturn]] void end_module(int status, bool host_lost) {
    if (platform::termination_signal() != 0) platform::die_by_signal(platform::termination_signal());
    if (host_lost) platform::die_by_signal(SIGTERM);
    std::exit(status);
}

int run_module(const app::ModuleRequest& request) {
    // Before the window system starts; see termination_signals.h.
    platform::catch_termination_signals();
    platform::enforce_termination_deadline();
    const platform::NativeWindow host =
        request.kind == app::ModuleRequest::Kind::root ? platform::x11::default_root_window() : request.window;
    if (host == 0) {
        std::fprintf(stderr, "aquarium: no X display to draw on\n");
        return 1;
    }
    static platform::HostedWindowSystem windows(*platform::make_sdl_window_system(), host,
                                                &platform::termination_requested);
    if (!windows.window_exists(host)) {
        // A window the host named (in XSCREENSAVER_WINDOW) may be gone
        // before we first look: the host is done with it. One a person
        // named on the command line may be a typing error.
        if (platform::termination_requested() || request.from_host) end_module(0, true);
        std::fprintf(stderr, "aquarium: there is no window 0x%lx to draw in\n", static_cast<unsigned long>(host));
        return 1;
    }
    platform::set_minimum_frame_interval(request.options.frame_delay_us);

    int status = 0;
    {
        SettingsPlace settings_place;
        platform::files::ReadOnlySettingsStore settings_read_only(settings_place.store());
        platform::FreeTypeGlyphRasterizer glyphs;
        platform::HostedMessageBoxes message_boxes(*platform::make_stderr_message_boxes(), windows, host);
        const platform::Platform services{&windows,
                                          &message_boxes,
                                          platform::make_steady_clock(),
                                          &settings_read_only,
                                          platform::make_file_instance_lock(),  // never taken: one module per monitor
                                          platform::make_gl_graphics_system_factory(),
                                          &glyphs,
                                          power_status()};

        auto aquarium = make_aquarium(services);
        // One module per monitor, all started in the same second: each
        // gets a fish of its own.
        aquarium->salt_clock_seed(platform::process_id() ^ static_cast<uint32_t>(host));
        if (platform::failed(app::create_module(*aquarium, host, request.options))) {
            status = 1;
            windows.window_exists(host);  // gone meanwhile: the host ended the start
        } else {
            status = app::run(aquarium->app);
        }
    }
    end_module(status, windows.host_lost());
}

// --background [--output NAME]: the running scene as the desktop's
// background. On Wayland through the layer shell, one fish per output (or
// only on the named one); on X11 it is -root without a host, which draws on
// the root window. Null `only_output` when no --output was given; false
// without --background.
bool find_background_request(int argc, char** argv, const char*& only_output) {
    bool found = false;
    only_output = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--background") == 0) found = true;
        if (std::strcmp(argv[i], "--output") == 0 && i + 1 < argc) only_output = argv[++i];
    }
    return found;
}

int run_wayland_background(const char* only_output) {
    // Before the window system starts; see termination_signals.h.
    platform::catch_termination_signals();
    platform::enforce_termination_deadline();
    if (!platform::sdl_video_ready()) return 1;
    platform::BackgroundSurfaces* surfaces =
        platform::wayland::make_background_surfaces(platform::sdl_wayland_display(), only_output);
    if (surfaces == nullptr) {
        std::fprintf(stderr, "aquarium: the compositor offers no layer shell for a background\n");
        return 1;
    }
    int status = 0;
    {
        SettingsPlace settings_place;
        platform::files::ReadOnlySettingsStore settings_read_only(settings_place.store());
        uint32_t seed = 0;
        if (!app::seed_from_environment(seed)) {
            seed = static_cast<uint32_t>(platform::make_steady_clock()->calendar_seconds()) ^ platform::process_id();
        }
        const app::BackgroundServices services{surfaces,
                                               platform::make_gl_graphics_system_factory(),
                                               &settings_read_only,
                                               power_status(),
                                               &platform::termination_requested,
                                               seed};
        status = app::run_background(services);
    }
    end_module(status, false);
}

// Previews and modules name X11 windows; a Wayland session without X11
// (no DISPLAY) has none.
bool refuse_without_x11(const char* what) {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((display != nullptr && display[0] != '\0') || wayland == nullptr || wayland[0] == '\0') return false;
    std::fprintf(stderr,
                 "aquarium: %s draws in an X11 window, and this Wayland session has no X display (DISPLAY is unset)\n",
                 what);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    switch (app::find_info_request(argc, argv)) {
        case app::InfoRequest::help:
            return app::print_usage(stdout) ? 0 : 1;
        case app::InfoRequest::version:
            return app::print_version(stdout) ? 0 : 1;
        case app::InfoRequest::none:
            break;
    }

    static char command_line[kCommandLineCapacity];
    app::join_arguments(argc, argv, command_line, kCommandLineCapacity);

    const char* only_output = nullptr;
    if (find_background_request(argc, argv, only_output)) {
        if (platform::choose_video_session(false, true) == platform::sdl::VideoSession::wayland) {
            return run_wayland_background(only_output);
        }
        app::ModuleRequest root;
        root.kind = app::ModuleRequest::Kind::root;
        return run_module(root);
    }

    const app::ModuleRequest module = app::find_module_request(argc, argv, std::getenv("XSCREENSAVER_WINDOW"));
    if (module.kind == app::ModuleRequest::Kind::root || module.kind == app::ModuleRequest::Kind::window) {
        if (refuse_without_x11("a display module (-root, -window-id)")) return 1;
    }
    app::CommandLineResult parsed{app::ScreenSaverMode::configure, 0};
    const bool preview = module.kind == app::ModuleRequest::Kind::none &&
                         app::parse_command_line(command_line, 0, parsed) &&
                         parsed.mode == app::ScreenSaverMode::preview;
    if (preview && refuse_without_x11("the preview (-p)")) return 1;
    platform::choose_video_session(preview || module.kind != app::ModuleRequest::Kind::none);

    switch (module.kind) {
        case app::ModuleRequest::Kind::none:
            return run_screen_saver(command_line);
        case app::ModuleRequest::Kind::unusable:
            // No switch and no window: the screen saver would end silently.
            std::fprintf(stderr, "aquarium: %s\n", module.problem);
            return 0;
        default:
            return run_module(module);
    }
}
