#include "e2e_session.h"

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#ifndef AQUARIUM_BINARY
#error "AQUARIUM_BINARY must name the program under test"
#endif

namespace e2e {

void write_file(const std::string& path, const std::string& content) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::ostream& operator<<(std::ostream& out, const WindowGeometry& g) {
    return out << g.width << "x" << g.height << "+" << g.x << "+" << g.y;
}

// ---- X connection ----

bool XConnection::open(const std::string& display) {
    close();
    connection_ = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(connection_) != 0) {
        xcb_disconnect(connection_);
        connection_ = nullptr;
        return false;
    }
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    return true;
}

void XConnection::close() {
    if (connection_ != nullptr) xcb_disconnect(connection_);
    connection_ = nullptr;
}

uint32_t XConnection::atom(const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    if (reply == nullptr) return XCB_ATOM_NONE;
    const uint32_t value = reply->atom;
    std::free(reply);
    return value;
}

std::string XConnection::string_property(uint32_t window, uint32_t property, uint32_t type) {
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(connection_, xcb_get_property(connection_, 0, window, property, type, 0, 1024), nullptr);
    if (reply == nullptr) return {};
    std::string text(static_cast<const char*>(xcb_get_property_value(reply)),
                     static_cast<size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    return text;
}

std::vector<uint32_t> XConnection::children(uint32_t window) {
    std::vector<uint32_t> result;
    if (connection_ == nullptr) return result;
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr);
    if (tree == nullptr) return result;
    const xcb_window_t* list = xcb_query_tree_children(tree);
    result.assign(list, list + xcb_query_tree_children_length(tree));
    std::free(tree);
    return result;
}

std::vector<uint32_t> XConnection::top_level_windows() { return children(root_); }

std::vector<uint32_t> XConnection::windows_of(pid_t pid) {
    std::vector<uint32_t> result;
    if (connection_ == nullptr) return result;
    const uint32_t pid_atom = atom("_NET_WM_PID");
    for (const uint32_t window : top_level_windows()) {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            connection_, xcb_get_property(connection_, 0, window, pid_atom, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        if (reply == nullptr) continue;
        if (xcb_get_property_value_length(reply) == 4 &&
            *static_cast<const uint32_t*>(xcb_get_property_value(reply)) == static_cast<uint32_t>(pid)) {
            result.push_back(window);
        }
        std::free(reply);
    }
    return result;
}

bool XConnection::viewable(uint32_t window) {
    if (connection_ == nullptr) return false;
    xcb_get_window_attributes_reply_t* reply =
        xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, window), nullptr);
    if (reply == nullptr) return false;
    const bool result = reply->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(reply);
    return result;
}

std::optional<WindowGeometry> XConnection::geometry(uint32_t window) {
    if (connection_ == nullptr) return std::nullopt;
    xcb_get_geometry_reply_t* size = xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr);
    if (size == nullptr) return std::nullopt;
    WindowGeometry result{0, 0, size->width, size->height};
    std::free(size);
    xcb_translate_coordinates_reply_t* origin = xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, window, root_, 0, 0), nullptr);
    if (origin == nullptr) return std::nullopt;
    result.x = origin->dst_x;
    result.y = origin->dst_y;
    std::free(origin);
    return result;
}

std::string XConnection::title(uint32_t window) {
    if (connection_ == nullptr) return {};
    std::string name = string_property(window, atom("_NET_WM_NAME"), atom("UTF8_STRING"));
    if (name.empty()) name = string_property(window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
    return name;
}

std::optional<uint32_t> XConnection::titled_window_of(pid_t pid) {
    for (const uint32_t window : windows_of(pid)) {
        if (viewable(window) && title(window) == kTitle) return window;
    }
    return std::nullopt;
}

int XConnection::count_whole_pictures(uint32_t window, Milliseconds span) {
    if (connection_ == nullptr) return -1;
    const std::optional<WindowGeometry> size = geometry(window);
    const xcb_query_extension_reply_t* damage_extension = xcb_get_extension_data(connection_, &xcb_damage_id);
    if (!size || damage_extension == nullptr || !damage_extension->present) return -1;
    std::free(xcb_damage_query_version_reply(
        connection_, xcb_damage_query_version(connection_, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION),
        nullptr));
    const uint32_t damage = xcb_generate_id(connection_);
    xcb_damage_create(connection_, damage, window, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    xcb_flush(connection_);
    int pictures = 0;
    const auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end) {
        xcb_generic_event_t* event = xcb_poll_for_event(connection_);
        if (event == nullptr) {
            std::this_thread::sleep_for(2ms);
            continue;
        }
        if ((event->response_type & 0x7F) == damage_extension->first_event + XCB_DAMAGE_NOTIFY) {
            const auto* notice = reinterpret_cast<const xcb_damage_notify_event_t*>(event);
            pictures += notice->area.width == size->width && notice->area.height == size->height;
        }
        std::free(event);
    }
    xcb_damage_destroy(connection_, damage);
    xcb_flush(connection_);
    return pictures;
}

uint32_t XConnection::create_host_window(int x, int y, int width, int height) {
    if (connection_ == nullptr) return 0;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    const uint32_t window = xcb_generate_id(connection_);
    const uint32_t values[] = {screen->white_pixel};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root_, static_cast<int16_t>(x), static_cast<int16_t>(y),
                      static_cast<uint16_t>(width), static_cast<uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_BACK_PIXEL, values);
    const char name[] = "preview host";
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        sizeof name - 1, name);
    xcb_map_window(connection_, window);
    // A round trip: the window exists before anyone hears of its id.
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    return window;
}

void XConnection::destroy_window(uint32_t window) {
    if (connection_ == nullptr) return;
    xcb_destroy_window(connection_, window);
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

// ---- fixture ----

void AquariumTest::SetUp() {
    const char* temp = std::getenv("TMPDIR");
    std::string pattern = std::string(temp != nullptr && temp[0] == '/' ? temp : "/tmp") + "/aquarium-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr) << "cannot make a folder for the test";
    dir_ = pattern;
    std::filesystem::create_directories(dir_ + "/config");
    std::filesystem::create_directories(dir_ + "/runtime");
    std::filesystem::permissions(dir_ + "/runtime", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);

    std::string error;
    ASSERT_TRUE(start_server(error)) << error;
    ASSERT_TRUE(x_.open(server_.display())) << "cannot connect to " << server_.display();
    // The helper programs (xdotool, import) use this server.
    server_.export_environment();
}

bool AquariumTest::start_server(std::string& error) { return server_.start(error, dir_ + "/xvfb.log"); }

void AquariumTest::TearDown() {
    x_.close();
    server_.stop();
    if (dir_.empty()) return;
    if (HasFailure() || std::getenv("AQUARIUM_E2E_KEEP") != nullptr) {
        std::printf("[ e2e ] logs and pictures kept in %s\n", dir_.c_str());
    } else {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

EnvChanges AquariumTest::program_environment(bool with_display) const {
    return {
        {"DISPLAY", with_display ? std::optional<std::string>(server_.display()) : std::nullopt},
        {"WAYLAND_DISPLAY", std::nullopt},
        {"SDL_VIDEODRIVER", std::string("x11")},
        {"XDG_CONFIG_HOME", dir_ + "/config"},
        {"XDG_RUNTIME_DIR", dir_ + "/runtime"},
        {"AQUARIUM_SEED", std::string("3")},
        // Error texts on standard error: nobody is there to press OK.
        {"AQUARIUM_MESSAGE_BOXES", std::string("stderr")},
    };
}

Process AquariumTest::launch(const std::vector<std::string>& args, const EnvChanges& extra) {
    std::vector<std::string> argv{AQUARIUM_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    EnvChanges env = program_environment(true);
    env.insert(env.end(), extra.begin(), extra.end());
    Process process;
    const std::string stem = dir_ + "/aquarium-" + std::to_string(++launches_);
    EXPECT_TRUE(process.start(argv, env, stem)) << "cannot start " << AQUARIUM_BINARY;
    return process;
}

std::optional<uint32_t> AquariumTest::wait_for_window(Process& process, Milliseconds limit) {
    std::optional<uint32_t> found;
    wait_until(
        [&] {
            found = x_.titled_window_of(process.pid());
            return found.has_value() || !process.running();
        },
        limit);
    return found;
}

std::optional<uint32_t> AquariumTest::wait_for_full_screen_picture(Process& process, Milliseconds limit) {
    return wait_for_picture_at(process, WindowGeometry{0, 0, kScreenWidth, kScreenHeight}, limit);
}

std::optional<uint32_t> AquariumTest::wait_for_picture_at(Process& process, const WindowGeometry& screen,
                                                          Milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    const std::optional<uint32_t> window = wait_for_window(process, limit);
    if (!window) return std::nullopt;
    const auto left = [&] {
        return std::chrono::duration_cast<Milliseconds>(deadline - std::chrono::steady_clock::now());
    };
    if (!wait_until([&] { return x_.geometry(*window) == screen || !process.running(); }, left())) return std::nullopt;
    // Background, tank lines, the shaded fish and the text: many colours.
    // Until the first frame the window shows its plain background.
    const bool drawn = wait_until(
        [&] {
            if (!process.running()) return false;
            return image_facts(screenshot(std::to_string(*window), "first-picture")).colours > 16;
        },
        left(), 200ms);
    return drawn && process.running() ? window : std::nullopt;
}

void AquariumTest::xdotool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    const ToolResult result = run_tool(argv);
    EXPECT_TRUE(result.status.clean()) << "xdotool " << args.front() << ": " << result.status.describe();
}

std::string AquariumTest::screenshot(const std::string& window, const std::string& name) {
    const std::string path = dir_ + "/" + name + ".png";
    const ToolResult result = run_tool({"import", "-silent", "-window", window, path});
    if (!result.status.clean()) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
    return path;
}

ImageFacts AquariumTest::image_facts(const std::string& png, const std::string& crop) {
    ImageFacts facts;
    if (!std::filesystem::exists(png)) return facts;
    std::vector<std::string> argv{"convert", png};
    if (!crop.empty()) argv.insert(argv.end(), {"-crop", crop, "+repage"});
    argv.insert(argv.end(), {"-format", "%k %#", "info:"});
    const ToolResult result = run_tool(argv);
    std::istringstream words(result.output);
    words >> facts.colours >> facts.signature;
    return facts;
}

std::string AquariumTest::settings_path() const { return dir_ + "/config/aquarium/settings.ini"; }

bool AquariumTest::settings_exist() const { return std::filesystem::exists(settings_path()); }

std::map<std::string, std::string> AquariumTest::settings_values() const {
    std::map<std::string, std::string> values;
    std::istringstream lines(read_file(settings_path()));
    std::string line;
    bool ours = false;
    const auto trim = [](std::string text) {
        const char* blanks = " \t\r";
        text.erase(0, text.find_first_not_of(blanks));
        text.erase(text.find_last_not_of(blanks) + 1);
        return text;
    };
    while (std::getline(lines, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[') {
            ours = line == std::string("[") + kSettingsSection + "]";
            continue;
        }
        const size_t equals = line.find('=');
        if (ours && equals != std::string::npos) values[trim(line.substr(0, equals))] = trim(line.substr(equals + 1));
    }
    return values;
}

void AquariumTest::write_settings(const std::string& content) { write_file(settings_path(), content); }

}  // namespace e2e
