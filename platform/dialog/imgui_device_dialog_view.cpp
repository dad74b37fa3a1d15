#include "platform/dialog/imgui_device_dialog_view.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <imgui.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>

#include <cstdio>
#include <cstring>

#include "platform/fonts/font_match.h"
#include "platform/sdl/screen_saving.h"

namespace platform::dialog {

namespace {

using platform::DeviceDialogControls;
using platform::DialogCommand;
using platform::DialogListItem;

// The template is laid out in dialog units; one unit is this many pixels.
constexpr float kPixelsPerUnitX = 2.0f;
constexpr float kPixelsPerUnitY = 2.0f;
constexpr float kDialogWidthUnits = 268.0f;
// The template's 121 units and a row below for the other monitors' box.
constexpr float kDialogHeightUnits = 131.0f;
// The desktop's own sans-serif face (fontconfig's choice) at this pixel
// size; Dear ImGui's built-in pixel font when there is none.
constexpr const char* kDialogFontFamily = "sans-serif";
constexpr float kDialogFontPixels = 15.0f;

// Frames drawn after an input event: a change shows one frame late in
// immediate-mode drawing, and an opening list needs one more to place itself.
constexpr int kFramesAfterInput = 3;
constexpr int kIdleWaitMilliseconds = 500;

// A control's place in the template: left, top, width, height in dialog units.
struct Placement {
    float x, y, width, height;
};

struct GroupBox {
    const char* text;
    Placement place;
};
constexpr GroupBox kGroupBoxes[] = {
    {"Rendering device", {7, 7, 200, 45}},
    {"Resolution", {7, 53, 200, 28}},
    {"Multisample", {7, 82, 200, 28}},
};

// A label names the list its mnemonic (the letter after '&') focuses.
struct Label {
    const char* text;
    Placement place;
    uint32_t focuses;  // control id
};
constexpr Label kLabels[] = {
    {"&Adapter:", {24, 19, 65, 10}, platform::kControlAdapterList},
    {"&Device:", {24, 34, 65, 10}, platform::kControlDeviceList},
    {"&Multisample Type:", {24, 94, 62, 10}, platform::kControlMultisampleList},
};

constexpr Placement kAdapterListPlace{92, 17, 105, 100};
constexpr Placement kDeviceListPlace{92, 32, 105, 100};
constexpr Placement kModeListPlace{92, 63, 105, 204};
constexpr Placement kMultisampleListPlace{92, 92, 105, 100};
constexpr Placement kOkPlace{210, 10, 50, 14};
constexpr Placement kCancelPlace{210, 30, 50, 14};
constexpr Placement kAboutPlace{210, 73, 50, 25};
constexpr Placement kOtherMonitorsPlace{12, 116, 195, 10};
constexpr const char* kOtherMonitorsText = "A fish on every other monitor";

ImVec2 to_pixels(float x_units, float y_units) {
    return ImVec2(x_units * kPixelsPerUnitX, y_units * kPixelsPerUnitY);
}

// OpenGL entry points the view calls itself (the drawing backend loads its own).
using GlViewport = void (*)(int, int, int, int);
using GlClearColor = void (*)(float, float, float, float);
using GlClear = void (*)(unsigned int);
constexpr unsigned int kGlColorBufferBit = 0x00004000;

struct GlCalls {
    GlViewport viewport;
    GlClearColor clear_color;
    GlClear clear;
};

GlCalls load_gl_calls() {
    GlCalls calls{};
    calls.viewport = reinterpret_cast<GlViewport>(SDL_GL_GetProcAddress("glViewport"));
    calls.clear_color = reinterpret_cast<GlClearColor>(SDL_GL_GetProcAddress("glClearColor"));
    calls.clear = reinterpret_cast<GlClear>(SDL_GL_GetProcAddress("glClear"));
    return calls;
}

// The window an input event belongs to; 0 for events of no window.
uint32_t event_window_id(const SDL_Event& event) {
    switch (event.type) {
        case SDL_WINDOWEVENT: return event.window.windowID;
        case SDL_KEYDOWN:
        case SDL_KEYUP: return event.key.windowID;
        case SDL_TEXTINPUT: return event.text.windowID;
        case SDL_MOUSEMOTION: return event.motion.windowID;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: return event.button.windowID;
        case SDL_MOUSEWHEEL: return event.wheel.windowID;
        default: return 0;
    }
}

// The text shown for a template text: without the '&' that marks the
// mnemonic; `mnemonic` is the index of the marked letter, or -1.
void strip_mnemonic(const char* text, char* shown, uint32_t capacity, int32_t& mnemonic) {
    mnemonic = -1;
    uint32_t n = 0;
    for (const char* p = text; *p != '\0' && n + 1 < capacity; ++p) {
        if (*p == '&' && p[1] != '\0') {
            mnemonic = static_cast<int32_t>(n);
            continue;
        }
        shown[n++] = *p;
    }
    shown[n] = '\0';
}

void draw_group_box(const GroupBox& box) {
    ImDrawList* draw = ImGui::GetWindowDrawList();
    const ImVec2 origin = ImGui::GetWindowPos();
    const ImVec2 top_left = to_pixels(box.place.x, box.place.y);
    const ImVec2 bottom_right = to_pixels(box.place.x + box.place.width, box.place.y + box.place.height);
    const float half_line = ImGui::GetFontSize() * 0.5f;
    const ImU32 line_colour = ImGui::GetColorU32(ImGuiCol_Border);
    draw->AddRect(ImVec2(origin.x + top_left.x, origin.y + top_left.y + half_line),
                  ImVec2(origin.x + bottom_right.x, origin.y + bottom_right.y), line_colour);
    const ImVec2 text_at(origin.x + top_left.x + 8.0f, origin.y + top_left.y);
    const ImVec2 text_size = ImGui::CalcTextSize(box.text);
    draw->AddRectFilled(ImVec2(text_at.x - 2.0f, text_at.y),
                        ImVec2(text_at.x + text_size.x + 2.0f, text_at.y + text_size.y),
                        ImGui::GetColorU32(ImGuiCol_WindowBg));
    draw->AddText(text_at, ImGui::GetColorU32(ImGuiCol_Text), box.text);
}

void draw_label(const Label& label) {
    char shown[64];
    int32_t mnemonic = -1;
    strip_mnemonic(label.text, shown, sizeof shown, mnemonic);
    const ImVec2 at = to_pixels(label.place.x, label.place.y);
    ImGui::SetCursorPos(at);
    ImGui::TextUnformatted(shown);
    if (mnemonic < 0) return;
    // Underline the mnemonic letter.
    const ImVec2 origin = ImGui::GetWindowPos();
    const float before = ImGui::CalcTextSize(shown, shown + mnemonic).x;
    const float letter = ImGui::CalcTextSize(shown + mnemonic, shown + mnemonic + 1).x;
    const float y = origin.y + at.y + ImGui::GetFontSize();
    ImGui::GetWindowDrawList()->AddLine(ImVec2(origin.x + at.x + before, y),
                                        ImVec2(origin.x + at.x + before + letter, y),
                                        ImGui::GetColorU32(ImGuiCol_Text));
}

// A drop-down list. Picking an item selects it and completes the selection.
template <uint32_t Capacity>
bool draw_list(uint32_t control_id, const Placement& place, ImGuiComboFlags height,
               platform::DialogList<Capacity>& list, bool take_focus, DialogCommand& command) {
    char id[16];
    std::snprintf(id, sizeof id, "##%u", static_cast<unsigned>(control_id));
    const bool has_selection = list.selected >= 0 && static_cast<uint32_t>(list.selected) < list.count;
    const char* preview = has_selection ? list.items[list.selected].text : "";
    bool picked = false;
    ImGui::SetCursorPos(to_pixels(place.x, place.y));
    ImGui::SetNextItemWidth(place.width * kPixelsPerUnitX);
    ImGui::BeginDisabled(!list.enabled);
    if (take_focus) ImGui::SetKeyboardFocusHere();
    if (ImGui::BeginCombo(id, preview, height)) {
        for (uint32_t i = 0; i < list.count && i < Capacity; ++i) {
            const bool is_selected = static_cast<int32_t>(i) == list.selected;
            ImGui::PushID(static_cast<int>(i));
            if (ImGui::Selectable(list.items[i].text, is_selected)) {
                list.selected = static_cast<int32_t>(i);
                command = DialogCommand{control_id, platform::kNotifySelectionDone};
                picked = true;
            }
            if (is_selected) ImGui::SetItemDefaultFocus();
            ImGui::PopID();
        }
        ImGui::EndCombo();
    }
    ImGui::EndDisabled();
    return picked;
}

bool draw_button(uint32_t control_id, const char* text, const Placement& place, bool is_default,
                 DialogCommand& command) {
    ImGui::SetCursorPos(to_pixels(place.x, place.y));
    if (is_default) ImGui::PushStyleVar(ImGuiStyleVar_FrameBorderSize, 2.0f);
    const bool pressed = ImGui::Button(text, to_pixels(place.width, place.height));
    if (is_default) ImGui::PopStyleVar();
    if (pressed) command = DialogCommand{control_id, platform::kNotifyClicked};
    return pressed;
}

// A check box: a click turns it over and is the command.
bool draw_check(uint32_t control_id, const char* text, const Placement& place, platform::DialogCheck& check,
                DialogCommand& command) {
    char label[96];
    std::snprintf(label, sizeof label, "%s##%u", text, static_cast<unsigned>(control_id));
    ImGui::SetCursorPos(to_pixels(place.x, place.y));
    ImGui::BeginDisabled(!check.enabled);
    bool checked = check.checked;
    const bool clicked = ImGui::Checkbox(label, &checked);
    ImGui::EndDisabled();
    if (!clicked) return false;
    check.checked = checked;
    command = DialogCommand{control_id, platform::kNotifyClicked};
    return true;
}

// GL attributes the view changes while it creates its context; put back so
// that contexts made later by the program get what it asked for.
struct GlAttributes {
    int major, minor, profile, double_buffer;
};

GlAttributes read_gl_attributes() {
    GlAttributes a{};
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, &a.major);
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, &a.minor);
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, &a.profile);
    SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &a.double_buffer);
    return a;
}

void write_gl_attributes(const GlAttributes& a) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, a.major);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, a.minor);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, a.profile);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, a.double_buffer);
}

void report_open_failure(const char* what) {
    std::fprintf(stderr, "aquarium: cannot open the settings dialog: %s: %s\n", what, SDL_GetError());
}

}  // namespace

ImGuiDeviceDialogView::~ImGuiDeviceDialogView() {
    close();
}

Result ImGuiDeviceDialogView::open(const DeviceDialogControls& controls) {
    close();
    allow_screen_saving();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        report_open_failure("no video");
        return kFail;
    }
    video_started_ = true;
    previous_gl_window_ = SDL_GL_GetCurrentWindow();
    previous_gl_context_ = SDL_GL_GetCurrentContext();
    previous_imgui_ = ImGui::GetCurrentContext();

    // An OpenGL 3.3 core context; a driver without one gets the default
    // context and the backend's default shading language.
    const GlAttributes saved = read_gl_attributes();
    const char* shading_language = "#version 330 core";
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    const ImVec2 size = to_pixels(kDialogWidthUnits, kDialogHeightUnits);
    window_ = SDL_CreateWindow(controls.caption, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                               static_cast<int>(size.x), static_cast<int>(size.y),
                               SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (window_ != nullptr) gl_context_ = SDL_GL_CreateContext(window_);
    if (window_ != nullptr && gl_context_ == nullptr) {
        write_gl_attributes(saved);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        gl_context_ = SDL_GL_CreateContext(window_);
        shading_language = nullptr;
    }
    write_gl_attributes(saved);
    if (window_ == nullptr || gl_context_ == nullptr) {
        report_open_failure(window_ == nullptr ? "no window" : "no OpenGL context");
        close();
        return kFail;
    }
    SDL_GL_MakeCurrent(window_, gl_context_);
    SDL_GL_SetSwapInterval(1);

    imgui_ = ImGui::CreateContext();
    ImGui::SetCurrentContext(imgui_);
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;  // the dialog keeps no layout file
    io.LogFilename = nullptr;
    io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
    char font_file[1024];
    int font_index = 0;
    if (find_font_file(kDialogFontFamily, 400, false, font_file, sizeof font_file, font_index)) {
        ImFontConfig font{};
        font.FontNo = font_index;
        if (io.Fonts->AddFontFromFileTTF(font_file, kDialogFontPixels, &font) == nullptr) io.Fonts->Clear();
    }
    ImGui::StyleColorsLight();
    ImGui::GetStyle().WindowRounding = 0.0f;
    if (!ImGui_ImplSDL2_InitForOpenGL(window_, gl_context_) || !ImGui_ImplOpenGL3_Init(shading_language)) {
        report_open_failure("no drawing backend");
        close();
        return kFail;
    }
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
    pointer_inside_ = false;
    popup_open_ = false;
    focus_request_ = 0;
    frames_to_draw_ = 0;
    frames_drawn_ = 0;
    return kOk;
}

void ImGuiDeviceDialogView::restore_previous_context() {
    ImGui::SetCurrentContext(previous_imgui_);
    if (previous_gl_context_ != nullptr) SDL_GL_MakeCurrent(previous_gl_window_, previous_gl_context_);
}

void ImGuiDeviceDialogView::close() {
    if (imgui_ != nullptr) {
        ImGui::SetCurrentContext(imgui_);
        if (gl_context_ != nullptr) SDL_GL_MakeCurrent(window_, gl_context_);
        if (ImGui::GetIO().BackendRendererUserData != nullptr) ImGui_ImplOpenGL3_Shutdown();
        if (ImGui::GetIO().BackendPlatformUserData != nullptr) ImGui_ImplSDL2_Shutdown();
        ImGui::DestroyContext(imgui_);
        imgui_ = nullptr;
    }
    if (gl_context_ != nullptr) {
        SDL_GL_MakeCurrent(window_, nullptr);
        SDL_GL_DeleteContext(gl_context_);
        gl_context_ = nullptr;
    }
    if (window_ != nullptr) {
        SDL_DestroyWindow(window_);
        window_ = nullptr;
    }
    if (video_started_) {
        restore_previous_context();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        video_started_ = false;
    }
    previous_imgui_ = nullptr;
    previous_gl_window_ = nullptr;
    previous_gl_context_ = nullptr;
}

uint32_t ImGuiDeviceDialogView::sdl_window_id() const {
    return window_ != nullptr ? SDL_GetWindowID(window_) : 0;
}

void ImGuiDeviceDialogView::window_size(int32_t& width, int32_t& height) const {
    width = 0;
    height = 0;
    if (window_ != nullptr) SDL_GetWindowSize(window_, &width, &height);
}

NativeWindow ImGuiDeviceDialogView::window() const {
    if (window_ == nullptr) return 0;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window_, &info)) return 0;
#if defined(SDL_VIDEO_DRIVER_X11)
    if (info.subsystem == SDL_SYSWM_X11) return static_cast<NativeWindow>(info.info.x11.window);
#endif
    return 0;
}

bool ImGuiDeviceDialogView::draw_frame(DeviceDialogControls& controls, DialogCommand& command) {
    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGuiIO& io = ImGui::GetIO();
    // The pointer's position comes from the window's own motion events: the
    // backend reads it only while the window has the keyboard focus, which
    // some window managers (or none at all) do not give a new window.
    if (pointer_inside_) io.MousePos = ImVec2(pointer_x_, pointer_y_);
    ImGui::NewFrame();

    ImGui::SetNextWindowPos(ImVec2(0.0f, 0.0f));
    ImGui::SetNextWindowSize(io.DisplaySize);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0.0f, 0.0f));
    ImGui::Begin("device dialog", nullptr,
                 ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoResize |
                     ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoBringToFrontOnFocus);
    ImGui::PopStyleVar();

    for (const GroupBox& box : kGroupBoxes) draw_group_box(box);
    for (const Label& label : kLabels) draw_label(label);

    const uint32_t focus = focus_request_;
    focus_request_ = 0;
    bool done = false;
    done |= draw_list(platform::kControlAdapterList, kAdapterListPlace, ImGuiComboFlags_HeightRegular,
                      controls.adapters, focus == platform::kControlAdapterList, command);
    done |= draw_list(platform::kControlDeviceList, kDeviceListPlace, ImGuiComboFlags_HeightRegular,
                      controls.devices, focus == platform::kControlDeviceList, command);
    done |= draw_list(platform::kControlModeList, kModeListPlace, ImGuiComboFlags_HeightLarge, controls.modes,
                      focus == platform::kControlModeList, command);
    done |= draw_list(platform::kControlMultisampleList, kMultisampleListPlace, ImGuiComboFlags_HeightRegular,
                      controls.multisample_types, focus == platform::kControlMultisampleList, command);
    done |= draw_button(platform::kControlOk, "OK", kOkPlace, true, command);
    done |= draw_button(platform::kControlCancel, "Cancel", kCancelPlace, false, command);
    done |= draw_button(platform::kControlAboutButton, "about", kAboutPlace, false, command);
    done |= draw_check(platform::kControlOtherMonitorsCheck, kOtherMonitorsText, kOtherMonitorsPlace,
                       controls.other_monitors, command);

    popup_open_ = ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopup);
    ImGui::End();
    ImGui::Render();

    int width = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(window_, &width, &height);
    const GlCalls gl = load_gl_calls();
    if (gl.viewport != nullptr && gl.clear_color != nullptr && gl.clear != nullptr) {
        gl.viewport(0, 0, width, height);
        const ImVec4 background = ImGui::GetStyle().Colors[ImGuiCol_WindowBg];
        gl.clear_color(background.x, background.y, background.z, 1.0f);
        gl.clear(kGlColorBufferBit);
    }
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    SDL_GL_SwapWindow(window_);
    return done;
}

DialogCommand ImGuiDeviceDialogView::wait_for_command(DeviceDialogControls& controls) {
    const DialogCommand cancel{platform::kControlCancel, platform::kNotifyClicked};
    const DialogCommand ok{platform::kControlOk, platform::kNotifyClicked};
    if (window_ == nullptr) return cancel;
    ImGui::SetCurrentContext(imgui_);
    SDL_GL_MakeCurrent(window_, gl_context_);
    const uint32_t our_window = SDL_GetWindowID(window_);
    // The first frames lay the controls out, so that input waiting already
    // finds them where they are drawn.
    for (; frames_drawn_ < kFramesAfterInput; ++frames_drawn_) {
        DialogCommand ignored{};
        draw_frame(controls, ignored);
    }

    while (true) {
        SDL_Event event;
        bool have_event = frames_to_draw_ > 0 ? SDL_PollEvent(&event) != 0
                                              : SDL_WaitEventTimeout(&event, kIdleWaitMilliseconds) != 0;
        while (have_event) {
            if (event.type == SDL_QUIT) {
                SDL_PushEvent(&event);  // the program's own loop still has to see it
                return cancel;
            }
            const uint32_t window_id = event_window_id(event);
            if (window_id == our_window) {
                if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE) return cancel;
                if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_LEAVE) {
                    pointer_inside_ = false;
                }
                if (event.type == SDL_MOUSEMOTION) {
                    pointer_inside_ = true;
                    pointer_x_ = static_cast<float>(event.motion.x);
                    pointer_y_ = static_cast<float>(event.motion.y);
                }
                if (event.type == SDL_KEYDOWN && !popup_open_) {
                    const SDL_Keycode key = event.key.keysym.sym;
                    const bool alt = (event.key.keysym.mod & KMOD_ALT) != 0;
                    if (key == SDLK_RETURN || key == SDLK_KP_ENTER) return ok;
                    if (key == SDLK_ESCAPE) return cancel;
                    if (alt) {
                        for (const Label& label : kLabels) {
                            const char* mark = std::strchr(label.text, '&');
                            if (mark != nullptr && SDL_tolower(mark[1]) == static_cast<int>(key)) {
                                focus_request_ = label.focuses;
                            }
                        }
                    }
                }
                ImGui_ImplSDL2_ProcessEvent(&event);
                frames_to_draw_ = kFramesAfterInput;
            }
            have_event = SDL_PollEvent(&event) != 0;
        }
        if (frames_to_draw_ > 0) {
            --frames_to_draw_;
            DialogCommand command{};
            if (draw_frame(controls, command)) {
                frames_to_draw_ = kFramesAfterInput;
                return command;
            }
        }
    }
}

}  // namespace platform::dialog
