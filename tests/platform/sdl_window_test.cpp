// The SDL window system and the windowed OpenGL device on a private Xvfb
// server: real X input from xdotool, minimise and restore, full screen and
// back, a child inside another program's window, and the enumeration.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/egl/egl_graphics.h"
#include "platform/egl/egl_headless_graphics.h"
#include "platform/gl/gl_device.h"
#include "platform/sdl/sdl_window_system.h"
#include "tests/support/present_params.h"
#include "tests/support/x_server.h"

namespace {

using namespace platform;
using test_support::windowed_params;
using test_support::XvfbEnvironment;

// SDL lets go of the server before it stops.
const ::testing::Environment* const kXvfb = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment([] { SDL_Quit(); }));

// Runs a shell command with the test's DISPLAY; its exit status.
int run_command(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const Accelerator kTable[] = {{'P', false, 40004}, {kKeyEscape, false, 40006}, {kKeyF2, false, 40002},
                              {kKeyReturn, true, 40003}, {kKeySpace, false, 40005}, {'X', true, 40006}};

struct Recorder {
    std::vector<Message> messages;
    bool has(uint32_t message) const {
        for (const Message& m : messages) {
            if (m.message == message) return true;
        }
        return false;
    }
    const Message* first(uint32_t message) const {
        for (const Message& m : messages) {
            if (m.message == message) return &m;
        }
        return nullptr;
    }
};

Recorder g_recorder;

intptr_t recording_proc(void* context, NativeWindow window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    static_cast<Recorder*>(context)->messages.push_back(Message{window, message, wparam, lparam});
    if (message == kMsgGetMinMaxInfo) reinterpret_cast<MinMaxInfo*>(lparam)->min_track_size = Point{100, 100};
    return 0;
}

class SdlWindows : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(XvfbEnvironment::running());
        windows_ = make_sdl_window_system();
        // The class outlives a test when several run in one process.
        windows_->register_class(WindowClass{"aquarium test class", recording_proc, &g_recorder, 0, 101, Brush::Black});
        g_recorder.messages.clear();
    }

    void TearDown() override {
        for (NativeWindow window : made_) {
            if (windows_->window_exists(window)) windows_->destroy_window(window);
        }
        pump_for(50);
    }

    NativeWindow make_window(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t style,
                             NativeWindow parent = 0) {
        const NativeWindow window =
            windows_->create_window(WindowCreate{"aquarium test class", "test", style, Rect{x, y, x + width, y + height}, parent});
        if (window != 0) made_.push_back(window);
        return window;
    }

    // Takes, translates and dispatches messages until `done` or the time is up.
    bool pump_until(const std::function<bool()>& done, int milliseconds = 3000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end) {
            Message message{};
            while (windows_->peek_message(message, true)) {
                if (message.message == kMsgQuit) continue;
                if (!windows_->translate_accelerator(message.window, kTable, 6, message)) {
                    windows_->dispatch_message(message);
                }
            }
            if (done()) return true;
            usleep(10 * 1000);
        }
        return done();
    }

    void pump_for(int milliseconds) { pump_until([] { return false; }, milliseconds); }

    WindowSystem* windows_ = nullptr;
    std::vector<NativeWindow> made_;
};

// The colour of one screen pixel, read back from the X server.
uint32_t screen_pixel(int x, int y) {
    const std::string command = "import -window root -crop 1x1+" + std::to_string(x) + "+" + std::to_string(y) +
                                " -depth 8 txt:- 2>/dev/null | tail -1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return 0xDEADBEEF;
    char line[256] = {};
    const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    pclose(pipe);
    const char* hash = got ? std::strchr(line, '#') : nullptr;
    return hash != nullptr ? static_cast<uint32_t>(std::strtoul(hash + 1, nullptr, 16)) & 0xFFFFFF : 0xDEADBEEF;
}

std::string id_text(NativeWindow window) { return std::to_string(static_cast<unsigned long>(window)); }

TEST_F(SdlWindows, RealXInputArrivesAsTheProgramsMessages) {
    const NativeWindow window = make_window(100, 100, 200, 150, kStylePopup | kStyleVisible);
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(pump_until([] { return g_recorder.has(kMsgPaint); }));
    g_recorder.messages.clear();

    ASSERT_EQ(run_command("xdotool mousemove --sync 110 120"), 0);
    ASSERT_TRUE(pump_until([] { return g_recorder.has(kMsgMouseMove); }));
    const Message* move = g_recorder.first(kMsgMouseMove);
    EXPECT_EQ(move->window, window);
    EXPECT_EQ(static_cast<int16_t>(move->lparam & 0xFFFF), 10);
    EXPECT_EQ(static_cast<int16_t>((move->lparam >> 16) & 0xFFFF), 20);
    EXPECT_TRUE(g_recorder.has(kMsgSetCursor));

    // Clicks are counted as they are taken from the queue, so the loop keeps
    // taking messages between the user's clicks, as the program's does.
    g_recorder.messages.clear();
    ASSERT_EQ(run_command("xdotool click 1"), 0);
    ASSERT_TRUE(pump_until([] { return g_recorder.has(kMsgLButtonDown); }));
    pump_for(700);
    ASSERT_EQ(run_command("xdotool click --repeat 2 --delay 80 1"), 0);
    ASSERT_TRUE(pump_until([] { return g_recorder.has(kMsgLButtonDblClk); }));
    pump_for(700);
    ASSERT_EQ(run_command("xdotool click 3"), 0);
    ASSERT_TRUE(pump_until([] { return g_recorder.has(kMsgRButtonDown); }));
    ASSERT_EQ(run_command("xdotool click 2"), 0);
    ASSERT_TRUE(pump_until([] { return g_recorder.has(kMsgMButtonDown); }));
    std::vector<uint32_t> buttons;
    for (const Message& m : g_recorder.messages) {
        if (m.message >= kMsgLButtonDown && m.message <= kMsgMButtonDown) buttons.push_back(m.message);
    }
    EXPECT_EQ(buttons, (std::vector<uint32_t>{kMsgLButtonDown, kMsgLButtonDown, kMsgLButtonDblClk, kMsgRButtonDown,
                                              kMsgMButtonDown}));

    g_recorder.messages.clear();
    ASSERT_EQ(run_command("xdotool key h Escape alt+Return alt+x F2"), 0);
    ASSERT_TRUE(pump_until([] {
        int commands = 0;
        for (const Message& m : g_recorder.messages) commands += m.message == kMsgCommand;
        return commands == 4;
    }));
    const Message* h = g_recorder.first(kMsgKeyDown);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->wparam, uintptr_t{'H'});
    std::vector<uint16_t> commands;
    for (const Message& m : g_recorder.messages) {
        if (m.message == kMsgCommand) commands.push_back(static_cast<uint16_t>(m.wparam & 0xFFFF));
        EXPECT_NE(m.message, kMsgSysKeyDown);  // every Alt key here is bound in the table
    }
    EXPECT_EQ(commands, (std::vector<uint16_t>{40006, 40003, 40006, 40002}));
}

TEST_F(SdlWindows, MinimiseAndRestoreArriveAsSizeMessages) {
    const NativeWindow window = make_window(50, 50, 200, 150, kStyleConfigureWindow | kStyleVisible);
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(pump_until([] { return g_recorder.has(kMsgPaint); }));
    g_recorder.messages.clear();
    // Iconifying takes the window off the screen; restoring maps it again.
    ASSERT_EQ(run_command("xdotool windowunmap --sync " + id_text(window)), 0);
    ASSERT_TRUE(pump_until([] { return g_recorder.has(kMsgSize); }));
    EXPECT_EQ(g_recorder.first(kMsgSize)->wparam, kSizeMinimized);
    g_recorder.messages.clear();
    ASSERT_EQ(run_command("xdotool windowmap --sync " + id_text(window)), 0);
    ASSERT_TRUE(pump_until([] { return g_recorder.has(kMsgSize); }));
    const Message* restored = g_recorder.first(kMsgSize);
    EXPECT_EQ(restored->wparam, kSizeRestored);
    EXPECT_EQ(restored->lparam, intptr_t{200 | (150 << 16)});

    // A resize the program did not make comes bracketed like a drag.
    g_recorder.messages.clear();
    ASSERT_EQ(run_command("xdotool windowsize --sync " + id_text(window) + " 260 180"), 0);
    ASSERT_TRUE(pump_until([] { return g_recorder.has(kMsgExitSizeMove); }));
    std::vector<uint32_t> order;
    for (const Message& m : g_recorder.messages) {
        if (m.message == kMsgEnterSizeMove || m.message == kMsgSize || m.message == kMsgExitSizeMove) {
            order.push_back(m.message);
        }
    }
    EXPECT_EQ(order, (std::vector<uint32_t>{kMsgEnterSizeMove, kMsgSize, kMsgExitSizeMove}));
    Rect client{};
    ASSERT_TRUE(windows_->get_client_rect(window, client));
    EXPECT_EQ(client.right, 260);
    EXPECT_EQ(client.bottom, 180);
}

TEST_F(SdlWindows, TheDeviceSwitchesToFullScreenAndBack) {
    GraphicsSystem* graphics = make_gl_graphics_system_factory()->create(kGraphicsSystemVersion);
    ASSERT_NE(graphics, nullptr);
    const NativeWindow window = make_window(40, 30, 320, 240, kStyleConfigureWindow | kStyleVisible);
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(pump_until([] { return g_recorder.has(kMsgPaint); }));

    PresentParams params = windowed_params({.window = window, .format = kFormatUnknown});
    GraphicsDevice* device = nullptr;
    ASSERT_EQ(graphics->create_device(0, kDeviceHal, window, kCreateHardwareVertexProcessing, params, &device), kOk);
    EXPECT_EQ(params.back_buffer_width, 320u);  // taken from the window
    EXPECT_EQ(params.back_buffer_height, 240u);
    EXPECT_EQ(params.back_buffer_format, kFormatX8R8G8B8);
    ASSERT_EQ(device->clear(0, nullptr, kClearTarget, 0xFFFF0000, 1.0f, 0), kOk);
    ASSERT_EQ(device->present(), kOk);
    EXPECT_EQ(screen_pixel(200, 150), 0xFF0000u);

    g_recorder.messages.clear();
    PresentParams full = params;
    full.windowed = 0;
    full.back_buffer_width = 1024;
    full.back_buffer_height = 768;
    ASSERT_EQ(device->reset(full), kOk);
    ASSERT_TRUE(pump_until([&] {
        Rect client{};
        return windows_->get_client_rect(window, client) && client.right == 1024 && client.bottom == 768;
    }));
    pump_for(200);
    EXPECT_FALSE(g_recorder.has(kMsgEnterSizeMove));  // the program's own change is no drag
    ASSERT_EQ(device->clear(0, nullptr, kClearTarget, 0xFF00FF00, 1.0f, 0), kOk);
    ASSERT_EQ(device->present(), kOk);
    EXPECT_EQ(screen_pixel(1000, 700), 0x00FF00u);
    EXPECT_EQ(screen_pixel(2, 2), 0x00FF00u);  // the whole screen, from its corner
    SurfaceDesc desc{};
    device->get_back_buffer_desc(desc);
    EXPECT_EQ(desc.width, 1024u);

    PresentParams back = params;
    back.back_buffer_width = back.back_buffer_height = 0;
    ASSERT_EQ(device->reset(back), kOk);
    ASSERT_TRUE(pump_until([&] {
        Rect client{};
        return windows_->get_client_rect(window, client) && client.right == 320 && client.bottom == 240;
    }));
    EXPECT_EQ(device->test_cooperative_level(), kOk);
    EXPECT_EQ(device->release(), 0u);
    EXPECT_EQ(graphics->release(), 0u);
}

struct PlainVertex {
    float x, y, z, nx, ny, nz, u, v;
};

// A frame that needs a working depth buffer: a near red triangle over the
// lower left half, then a far green one over everything, on blue.
void draw_depth_frame(GraphicsDevice* device) {
    const PlainVertex near_part[3] = {{-1, -1, 0.2f, 0, 0, -1, 0, 0}, {1, -1, 0.2f, 0, 0, -1, 0, 0},
                                      {-1, 1, 0.2f, 0, 0, -1, 0, 0}};
    const PlainVertex far_all[3] = {{-1, -1, 0.8f, 0, 0, -1, 0, 0}, {3, -1, 0.8f, 0, 0, -1, 0, 0},
                                    {-1, 3, 0.8f, 0, 0, -1, 0, 0}};
    const uint16_t indices[3] = {0, 1, 2};
    Material red{}, green{};
    red.ambient = ColorValue{1, 0, 0, 1};
    green.ambient = ColorValue{0, 1, 0, 1};
    ASSERT_EQ(device->clear(0, nullptr, kClearTarget | kClearZBuffer, 0xFF0000FF, 1.0f, 0), kOk);
    device->set_render_state(RenderState::ZEnable, 1);
    device->set_render_state(RenderState::CullMode, kCullNone);
    device->set_render_state(RenderState::Ambient, 0x00FFFFFF);
    device->set_vertex_shader(kFvfSceneVertex);
    for (const auto& [part, material] : {std::pair{near_part, red}, std::pair{far_all, green}}) {
        device->set_material(material);
        ASSERT_EQ(device->draw_indexed_primitive_up(PrimitiveType::TriangleList, 0, 3, 1, indices, kFormatIndex16,
                                                    part, sizeof(PlainVertex)),
                  kOk);
    }
}

TEST_F(SdlWindows, FramesDrawnStraightIntoTheWindowLookLikeFramesCopiedIntoIt) {
    GraphicsSystem* graphics = make_gl_graphics_system_factory()->create(kGraphicsSystemVersion);
    ASSERT_NE(graphics, nullptr);
    const NativeWindow window = make_window(40, 30, 160, 120, kStyleConfigureWindow | kStyleVisible);
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(pump_until([] { return g_recorder.has(kMsgPaint); }));
    PresentParams params = windowed_params({.window = window, .format = kFormatUnknown, .depth = kFormatD24S8});
    GraphicsDevice* device = nullptr;
    ASSERT_EQ(graphics->create_device(0, kDeviceHal, window, kCreateHardwareVertexProcessing, params, &device), kOk);
    auto* gl_device = dynamic_cast<gl::GlDevice*>(device);
    ASSERT_NE(gl_device, nullptr);
    auto expect_frame = [&](const char* how) {
        EXPECT_EQ(screen_pixel(40 + 16, 30 + 108), 0xFF0000u) << how;  // the near triangle
        EXPECT_EQ(screen_pixel(40 + 140, 30 + 10), 0x00FF00u) << how;  // the far one behind it
    };

    // Nothing needs the offscreen buffer: straight into the window.
    draw_depth_frame(device);
    ASSERT_EQ(device->present(), kOk);
    EXPECT_TRUE(gl_device->last_frame_in_window());
    expect_frame("drawn in the window");

    // A multisampled back buffer is drawn offscreen and resolved into the window.
    if (graphics->check_device_multisample_type(0, kDeviceHal, kFormatX8R8G8B8, true, 4) == kOk) {
        PresentParams multisampled = params;
        multisampled.multisample_type = 4;
        ASSERT_EQ(device->reset(multisampled), kOk);
        draw_depth_frame(device);
        ASSERT_EQ(device->present(), kOk);
        EXPECT_FALSE(gl_device->last_frame_in_window());
        expect_frame("resolved into the window");
        ASSERT_EQ(device->reset(params), kOk);
    }

    // A back buffer of another size than the window is scaled into it.
    PresentParams smaller = params;
    smaller.back_buffer_width = 80;
    smaller.back_buffer_height = 60;
    ASSERT_EQ(device->reset(smaller), kOk);
    draw_depth_frame(device);
    ASSERT_EQ(device->present(), kOk);
    EXPECT_FALSE(gl_device->last_frame_in_window());
    expect_frame("scaled into the window");

    // Reading a frame back keeps the following frames offscreen, where they
    // stay readable after being presented.
    ASSERT_EQ(device->reset(params), kOk);
    draw_depth_frame(device);
    std::vector<uint8_t> rgba(size_t{160} * 120 * 4);
    ASSERT_EQ(read_pixels(device, rgba.data(), 160, 120), kOk);
    EXPECT_EQ(rgba[(size_t{108} * 160 + 16) * 4 + 0], 255);  // red, read from the window's own buffer
    ASSERT_EQ(device->present(), kOk);
    EXPECT_TRUE(gl_device->last_frame_in_window());
    draw_depth_frame(device);
    ASSERT_EQ(device->present(), kOk);
    EXPECT_FALSE(gl_device->last_frame_in_window());
    ASSERT_EQ(read_pixels(device, rgba.data(), 160, 120), kOk);
    EXPECT_EQ(rgba[(size_t{10} * 160 + 140) * 4 + 1], 255);  // green, after the present
    expect_frame("copied after a read-back");

    EXPECT_EQ(device->release(), 0u);
    EXPECT_EQ(graphics->release(), 0u);
}

TEST_F(SdlWindows, EnumerationReportsTheXvfbScreen) {
    EXPECT_EQ(windows_->screen_width(), 1024);
    EXPECT_EQ(windows_->screen_height(), 768);
    GraphicsSystem* graphics = make_gl_graphics_system_factory()->create(kGraphicsSystemVersion);
    ASSERT_NE(graphics, nullptr);
    EXPECT_EQ(make_gl_graphics_system_factory()->create(kGraphicsSystemVersion + 1), nullptr);
    ASSERT_GE(graphics->get_adapter_count(), 1u);
    DisplayMode desktop{};
    ASSERT_EQ(graphics->get_adapter_display_mode(0, desktop), kOk);
    EXPECT_EQ(desktop.width, 1024u);
    EXPECT_EQ(desktop.height, 768u);
    EXPECT_EQ(desktop.format, kFormatX8R8G8B8);
    bool listed = false;
    for (uint32_t i = 0; i < graphics->get_adapter_mode_count(0); ++i) {
        DisplayMode mode{};
        ASSERT_EQ(graphics->enum_adapter_modes(0, i, mode), kOk);
        listed = listed || (mode.width == 1024 && mode.height == 768 && mode.format == kFormatX8R8G8B8);
    }
    EXPECT_TRUE(listed);
    AdapterIdentifier id{};
    ASSERT_EQ(graphics->get_adapter_identifier(0, kAdapterIdentifierNoWhql, id), kOk);
    EXPECT_GT(std::strlen(id.description), 0u);
    EXPECT_EQ(graphics->check_device_type(0, kDeviceHal, kFormatX8R8G8B8, kFormatX8R8G8B8, true), kOk);
    EXPECT_EQ(graphics->check_device_type(0, kDeviceRef, kFormatX8R8G8B8, kFormatX8R8G8B8, false), kOk);
    EXPECT_LT(graphics->check_device_type(0, kDeviceHal, kFormatR5G6B5, kFormatR5G6B5, true), 0);
    DeviceCaps caps{};
    ASSERT_EQ(graphics->get_device_caps(0, kDeviceRef, caps), kOk);
    EXPECT_NE(caps.caps2 & kCaps2CanRenderWindowed, 0u);
    EXPECT_EQ(graphics->release(), 0u);
}

// The monitors come from the server (Xvfb has one screen), with the
// desktop's scale; a new scale reaches every top-level window as the
// display-change message.
TEST_F(SdlWindows, MonitorsComeFromTheServerAndANewScaleIsAnnounced) {
    ASSERT_EQ(windows_->monitor_count(), 1u);
    MonitorInfo monitor{};
    ASSERT_TRUE(windows_->get_monitor(0, monitor));
    EXPECT_EQ(monitor.bounds.left, 0);
    EXPECT_EQ(monitor.bounds.top, 0);
    EXPECT_EQ(monitor.bounds.right, 1024);
    EXPECT_EQ(monitor.bounds.bottom, 768);
    EXPECT_EQ(monitor.dpi, kDefaultDpi);
    EXPECT_FALSE(windows_->get_monitor(1, monitor));

    const NativeWindow window = make_window(10, 10, 200, 150, kStylePopup | kStyleVisible);
    ASSERT_NE(window, 0u);
    pump_for(100);
    g_recorder.messages.clear();
    ASSERT_EQ(run_command("xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER 'Xft.dpi: 144'"), 0);
    EXPECT_TRUE(pump_until([] { return g_recorder.has(kMsgDisplayChange); }));
    EXPECT_EQ(g_recorder.first(kMsgDisplayChange)->window, window);
    ASSERT_TRUE(windows_->get_monitor(0, monitor));
    EXPECT_EQ(monitor.dpi, 144);

    run_command("xprop -root -remove RESOURCE_MANAGER");
    MonitorInfo back{};
    EXPECT_TRUE(pump_until([&] { return windows_->get_monitor(0, back) && back.dpi == kDefaultDpi; }));
}

// A window of "another program": a top-level X window made on a connection
// of the test's own.
class ForeignHost {
public:
    ForeignHost() {
        connection_ = xcb_connect(nullptr, nullptr);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        window_ = xcb_generate_id(connection_);
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 300, 200, 152, 112, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_map_window(connection_, window_);
        // A round trip: the window exists on the server before anyone asks.
        std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }
    ~ForeignHost() { xcb_disconnect(connection_); }
    NativeWindow id() const { return window_; }

private:
    xcb_connection_t* connection_;
    xcb_window_t window_;
};

TEST_F(SdlWindows, AChildInsideAnotherProgramsWindowIsPaintedAndDestroyed) {
    ForeignHost host;
    Rect host_rect{};
    ASSERT_TRUE(windows_->get_window_rect(host.id(), host_rect));
    EXPECT_EQ(host_rect.left, 300);
    EXPECT_EQ(host_rect.right - host_rect.left, 152);
    const NativeWindow child = make_window(0, 0, 152, 112, kStyleChild | kStyleVisible, host.id());
    ASSERT_NE(child, 0u);
    EXPECT_TRUE(windows_->window_exists(child));
    Rect client{};
    ASSERT_TRUE(windows_->get_client_rect(child, client));
    EXPECT_EQ(client.right, 152);

    // The preview paints a bitmap stretched over the child.
    std::vector<uint32_t> bitmap(4 * 4, 0x00FF8000);
    ASSERT_TRUE(windows_->stretch_bitmap(child, bitmap.data(), 4, 4, Rect{0, 0, 152, 112}));
    EXPECT_EQ(screen_pixel(300 + 76, 200 + 56), 0xFF8000u);

    g_recorder.messages.clear();
    EXPECT_TRUE(windows_->destroy_window(child));
    EXPECT_TRUE(g_recorder.has(kMsgDestroy));
    EXPECT_FALSE(windows_->window_exists(child));
    EXPECT_TRUE(windows_->window_exists(host.id()));

}

TEST_F(SdlWindows, TheQuitMessageEndsTheBlockingLoop) {
    windows_->post_quit_message(3);
    Message message{};
    EXPECT_FALSE(windows_->get_message(message));
    EXPECT_EQ(message.message, kMsgQuit);
    EXPECT_EQ(message.wparam, 3u);
}

}  // namespace
