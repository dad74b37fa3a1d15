#include "tests/support/fake_graphics.h"

#include <cstdio>
#include <cstring>

namespace test_support {

using platform::Result;

namespace {

uint32_t texel_size(platform::Format format) {
    switch (format) {
        case platform::kFormatA4R4G4B4:
        case platform::kFormatR5G6B5:
        case platform::kFormatX1R5G5B5:
        case platform::kFormatA1R5G5B5:
            return 2;
        case platform::kFormatR8G8B8:
            return 3;
        default:
            return 4;
    }
}

Result pop_or_ok(std::deque<Result>& answers) {
    if (answers.empty()) return platform::kOk;
    const Result r = answers.front();
    answers.pop_front();
    return r;
}

std::string format_call(const char* name, std::initializer_list<long long> args) {
    std::string text = name;
    text += '(';
    bool first = true;
    for (long long a : args) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, first ? "%lld" : ",%lld", a);
        text += buffer;
        first = false;
    }
    text += ')';
    return text;
}

}  // namespace

const char* device_op_name(DeviceOp op) {
    static const char* const kNames[] = {
        "TestCooperativeLevel", "GetDeviceCaps", "Reset", "Present", "GetBackBufferDesc",
        "SetCursorPosition", "ShowCursor", "SetRenderState", "SetTextureStageState", "SetLight",
        "LightEnable", "SetTransform", "SetMaterial", "SetTexture", "SetVertexShader",
        "SetPixelShader", "SetStreamSource", "CreateTexture", "CreateVertexBuffer",
        "BeginStateBlock", "EndStateBlock", "ApplyStateBlock", "CaptureStateBlock",
        "DeleteStateBlock", "DrawPrimitive", "DrawIndexedPrimitiveUp", "Clear", "BeginScene",
        "EndScene", "Release"};
    return kNames[static_cast<int>(op)];
}

// ---- textures and vertex buffers ----

FakeTexture::FakeTexture(uint32_t w, uint32_t h, platform::Format f)
    : width(w), height(h), format(f), bytes_per_texel(texel_size(f)), texels(size_t{w} * h * texel_size(f)) {}

Result FakeTexture::lock_rect(uint32_t level, platform::LockedRect& locked, uint32_t) {
    if (level != 0) return platform::kInvalidCall;
    ++locks;
    locked.pitch = static_cast<int32_t>(width * bytes_per_texel);
    locked.bits = texels.data();
    return platform::kOk;
}

Result FakeTexture::unlock_rect(uint32_t) { return platform::kOk; }

uint32_t FakeTexture::release() { return references > 0 ? --references : 0; }

FakeVertexBuffer::FakeVertexBuffer(uint32_t length, uint32_t u) : usage(u), bytes(length) {}

Result FakeVertexBuffer::lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) {
    if (locked || offset > bytes.size() || size > bytes.size() - offset) return platform::kInvalidCall;
    ++locks;
    last_lock_flags = flags;
    locked = true;
    *data = bytes.data() + offset;
    return platform::kOk;
}

Result FakeVertexBuffer::unlock() {
    if (!locked) return platform::kInvalidCall;
    locked = false;
    return platform::kOk;
}

uint32_t FakeVertexBuffer::release() { return references > 0 ? --references : 0; }

// ---- device ----

FakeGraphicsDevice::FakeGraphicsDevice(const platform::DeviceCaps& c, const platform::PresentParams& params)
    : caps(c), present_params(params) {
    calls.reserve(4096);
}

FakeGraphicsDevice::~FakeGraphicsDevice() = default;

std::vector<DeviceCall> FakeGraphicsDevice::calls_of(DeviceOp op) const {
    std::vector<DeviceCall> out;
    for (const DeviceCall& c : calls) {
        if (c.op == op) out.push_back(c);
    }
    return out;
}

int FakeGraphicsDevice::count_of(DeviceOp op) const {
    int n = 0;
    for (const DeviceCall& c : calls) n += c.op == op ? 1 : 0;
    return n;
}

void FakeGraphicsDevice::record(const DeviceCall& call) {
    if (recording) calls.push_back(call);
}

bool FakeGraphicsDevice::recording_block(const DeviceCall& call) {
    if (!in_block_) return false;
    blocks_.back().entries.push_back(call);
    return true;
}

void FakeGraphicsDevice::apply(const DeviceCall& e) {
    switch (e.op) {
        case DeviceOp::SetRenderState:
            render_state[e.a] = e.b;
            render_state_set[e.a] = true;
            break;
        case DeviceOp::SetTextureStageState:
            stage_state[e.a][e.b] = e.c;
            break;
        case DeviceOp::SetLight:
            lights[e.a] = e.light;
            break;
        case DeviceOp::LightEnable:
            light_enabled[e.a] = e.b != 0;
            break;
        case DeviceOp::SetTransform:
            if (e.a == static_cast<uint32_t>(platform::TransformType::World)) world = e.matrix;
            if (e.a == static_cast<uint32_t>(platform::TransformType::View)) view = e.matrix;
            if (e.a == static_cast<uint32_t>(platform::TransformType::Projection)) projection = e.matrix;
            break;
        case DeviceOp::SetMaterial:
            material = e.material;
            break;
        case DeviceOp::SetTexture:
            texture[e.a] = static_cast<platform::Texture*>(const_cast<void*>(e.object));
            break;
        case DeviceOp::SetVertexShader:
            vertex_shader = e.a;
            break;
        case DeviceOp::SetStreamSource:
            stream_source = static_cast<platform::VertexBuffer*>(const_cast<void*>(e.object));
            stream_stride = e.b;
            break;
        default:
            break;
    }
}

void FakeGraphicsDevice::capture(DeviceCall& e) const {
    switch (e.op) {
        case DeviceOp::SetRenderState:
            e.b = render_state[e.a];
            break;
        case DeviceOp::SetTextureStageState:
            e.c = stage_state[e.a][e.b];
            break;
        case DeviceOp::SetLight:
            e.light = lights[e.a];
            break;
        case DeviceOp::LightEnable:
            e.b = light_enabled[e.a] ? 1 : 0;
            break;
        case DeviceOp::SetMaterial:
            e.material = material;
            break;
        case DeviceOp::SetTexture:
            e.object = texture[e.a];
            break;
        case DeviceOp::SetVertexShader:
            e.a = vertex_shader;
            break;
        case DeviceOp::SetStreamSource:
            e.object = stream_source;
            e.b = stream_stride;
            break;
        default:
            break;
    }
}

Result FakeGraphicsDevice::test_cooperative_level() {
    record({DeviceOp::TestCooperativeLevel});
    return pop_or_ok(cooperative_level_answers);
}

Result FakeGraphicsDevice::get_device_caps(platform::DeviceCaps& out) {
    record({DeviceOp::GetDeviceCaps});
    out = caps;
    return platform::kOk;
}

Result FakeGraphicsDevice::reset(platform::PresentParams& params) {
    record({DeviceOp::Reset, params.back_buffer_width, params.back_buffer_height, params.windowed,
            params.multisample_type});
    const Result r = pop_or_ok(reset_answers);
    if (platform::succeeded(r)) {
        present_params = params;
        ++resets;
    }
    return r;
}

Result FakeGraphicsDevice::present() {
    record({DeviceOp::Present});
    ++presents;
    return platform::kOk;
}

Result FakeGraphicsDevice::get_back_buffer_desc(platform::SurfaceDesc& desc) {
    record({DeviceOp::GetBackBufferDesc});
    desc = platform::SurfaceDesc{};
    desc.format = present_params.back_buffer_format;
    desc.width = present_params.back_buffer_width;
    desc.height = present_params.back_buffer_height;
    desc.multisample_type = present_params.multisample_type;
    return platform::kOk;
}

void FakeGraphicsDevice::set_cursor_position(int32_t x, int32_t y, uint32_t) {
    record({DeviceOp::SetCursorPosition, static_cast<uint32_t>(x), static_cast<uint32_t>(y)});
}

bool FakeGraphicsDevice::show_cursor(bool show) {
    record({DeviceOp::ShowCursor, show ? 1u : 0u});
    return true;
}

Result FakeGraphicsDevice::set_render_state(platform::RenderState state, uint32_t value) {
    const DeviceCall call{DeviceOp::SetRenderState, static_cast<uint32_t>(state), value};
    if (recording_block(call)) return platform::kOk;
    record(call);
    if (platform::failed(render_state_answer)) return render_state_answer;
    apply(call);
    return platform::kOk;
}

Result FakeGraphicsDevice::set_texture_stage_state(uint32_t stage, platform::TextureStageState state,
                                                   uint32_t value) {
    if (stage >= 8) return platform::kInvalidCall;
    const DeviceCall call{DeviceOp::SetTextureStageState, stage, static_cast<uint32_t>(state), value};
    if (recording_block(call)) return platform::kOk;
    record(call);
    apply(call);
    return platform::kOk;
}

Result FakeGraphicsDevice::set_light(uint32_t index, const platform::Light& light) {
    if (index >= 8) return platform::kInvalidCall;
    DeviceCall call{DeviceOp::SetLight, index};
    call.light = light;
    if (recording_block(call)) return platform::kOk;
    record(call);
    apply(call);
    return platform::kOk;
}

Result FakeGraphicsDevice::light_enable(uint32_t index, bool enable) {
    if (index >= 8) return platform::kInvalidCall;
    const DeviceCall call{DeviceOp::LightEnable, index, enable ? 1u : 0u};
    if (recording_block(call)) return platform::kOk;
    record(call);
    apply(call);
    return platform::kOk;
}

Result FakeGraphicsDevice::set_transform(platform::TransformType type, const platform::Matrix4& matrix) {
    DeviceCall call{DeviceOp::SetTransform, static_cast<uint32_t>(type)};
    call.matrix = matrix;
    if (recording_block(call)) return platform::kOk;
    record(call);
    apply(call);
    return platform::kOk;
}

Result FakeGraphicsDevice::set_material(const platform::Material& m) {
    DeviceCall call{DeviceOp::SetMaterial};
    call.material = m;
    if (recording_block(call)) return platform::kOk;
    record(call);
    apply(call);
    return platform::kOk;
}

Result FakeGraphicsDevice::set_texture(uint32_t stage, platform::Texture* t) {
    if (stage >= 8) return platform::kInvalidCall;
    DeviceCall call{DeviceOp::SetTexture, stage};
    call.object = t;
    if (recording_block(call)) return platform::kOk;
    record(call);
    apply(call);
    return platform::kOk;
}

Result FakeGraphicsDevice::set_vertex_shader(uint32_t fvf) {
    const DeviceCall call{DeviceOp::SetVertexShader, fvf};
    if (recording_block(call)) return platform::kOk;
    record(call);
    apply(call);
    return platform::kOk;
}

Result FakeGraphicsDevice::set_pixel_shader(uint32_t handle) {
    const DeviceCall call{DeviceOp::SetPixelShader, handle};
    if (recording_block(call)) return platform::kOk;
    record(call);
    return platform::kOk;
}

Result FakeGraphicsDevice::set_stream_source(uint32_t stream, platform::VertexBuffer* buffer, uint32_t stride) {
    DeviceCall call{DeviceOp::SetStreamSource, stream, stride};
    call.object = buffer;
    if (recording_block(call)) return platform::kOk;
    record(call);
    apply(call);
    return platform::kOk;
}

Result FakeGraphicsDevice::create_texture(uint32_t width, uint32_t height, uint32_t levels, uint32_t,
                                          platform::Format format, uint32_t pool, platform::Texture** out) {
    record({DeviceOp::CreateTexture, width, height, format, pool, levels});
    *out = nullptr;
    if (platform::failed(create_texture_answer)) return create_texture_answer;
    if (width > caps.max_texture_width || height > caps.max_texture_height) return platform::kInvalidCall;
    textures.push_back(std::make_unique<FakeTexture>(width, height, format));
    *out = textures.back().get();
    return platform::kOk;
}

Result FakeGraphicsDevice::create_vertex_buffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool,
                                                platform::VertexBuffer** out) {
    record({DeviceOp::CreateVertexBuffer, length, usage, fvf, pool});
    *out = nullptr;
    if (platform::failed(create_vertex_buffer_answer)) return create_vertex_buffer_answer;
    vertex_buffers.push_back(std::make_unique<FakeVertexBuffer>(length, usage));
    *out = vertex_buffers.back().get();
    return platform::kOk;
}

Result FakeGraphicsDevice::begin_state_block() {
    record({DeviceOp::BeginStateBlock});
    if (in_block_) return platform::kInvalidCall;
    in_block_ = true;
    blocks_.push_back(StateBlock{});
    blocks_.back().live = true;
    return platform::kOk;
}

Result FakeGraphicsDevice::end_state_block(uint32_t* handle) {
    if (!in_block_) return platform::kInvalidCall;
    in_block_ = false;
    *handle = static_cast<uint32_t>(blocks_.size());  // handles start at 1
    record({DeviceOp::EndStateBlock, *handle});
    return platform::kOk;
}

Result FakeGraphicsDevice::apply_state_block(uint32_t handle) {
    record({DeviceOp::ApplyStateBlock, handle});
    if (handle == 0 || handle > blocks_.size() || !blocks_[handle - 1].live) return platform::kInvalidCall;
    for (const DeviceCall& e : blocks_[handle - 1].entries) apply(e);
    return platform::kOk;
}

Result FakeGraphicsDevice::capture_state_block(uint32_t handle) {
    record({DeviceOp::CaptureStateBlock, handle});
    if (handle == 0 || handle > blocks_.size() || !blocks_[handle - 1].live) return platform::kInvalidCall;
    for (DeviceCall& e : blocks_[handle - 1].entries) capture(e);
    return platform::kOk;
}

Result FakeGraphicsDevice::delete_state_block(uint32_t handle) {
    record({DeviceOp::DeleteStateBlock, handle});
    if (handle == 0 || handle > blocks_.size() || !blocks_[handle - 1].live) return platform::kInvalidCall;
    blocks_[handle - 1].live = false;
    blocks_[handle - 1].entries.clear();
    return platform::kOk;
}

Result FakeGraphicsDevice::draw_primitive(platform::PrimitiveType type, uint32_t start_vertex,
                                          uint32_t primitive_count) {
    record({DeviceOp::DrawPrimitive, static_cast<uint32_t>(type), start_vertex, primitive_count});
    return platform::kOk;
}

Result FakeGraphicsDevice::draw_indexed_primitive_up(platform::PrimitiveType type, uint32_t min_vertex_index,
                                                     uint32_t vertex_count, uint32_t primitive_count,
                                                     const void* indices, platform::Format index_format,
                                                     const void* vertices, uint32_t stride) {
    if (index_format != platform::kFormatIndex16) return platform::kInvalidCall;
    DeviceCall call{DeviceOp::DrawIndexedPrimitiveUp, static_cast<uint32_t>(type), min_vertex_index,
                    vertex_count, primitive_count, stride};
    call.vertices = vertices;
    call.indices = indices;
    record(call);
    return platform::kOk;
}

Result FakeGraphicsDevice::clear(uint32_t, const void*, uint32_t flags, uint32_t colour, float z,
                                 uint32_t stencil) {
    DeviceCall call{DeviceOp::Clear, flags, colour, stencil};
    call.f = z;
    record(call);
    return platform::kOk;
}

Result FakeGraphicsDevice::begin_scene() {
    record({DeviceOp::BeginScene});
    if (platform::failed(begin_scene_answer)) return begin_scene_answer;
    if (in_scene) return platform::kInvalidCall;
    in_scene = true;
    ++scenes_begun;
    return platform::kOk;
}

Result FakeGraphicsDevice::end_scene() {
    record({DeviceOp::EndScene});
    if (!in_scene) return platform::kInvalidCall;
    in_scene = false;
    return platform::kOk;
}

uint32_t FakeGraphicsDevice::release() {
    record({DeviceOp::Release});
    if (references > 0) --references;
    if (references == 0) released = true;
    return references + extra_references;
}

// ---- system ----

FakeAdapter typical_adapter(const char* description) {
    FakeAdapter a;
    std::snprintf(a.identifier.driver, sizeof a.identifier.driver, "fake");
    std::snprintf(a.identifier.description, sizeof a.identifier.description, "%s", description);
    const uint32_t sizes[][2] = {{640, 480}, {800, 600}, {1024, 768}};
    for (platform::Format f : {platform::kFormatR5G6B5, platform::kFormatX8R8G8B8}) {
        for (const auto& s : sizes) {
            a.modes.push_back(platform::DisplayMode{s[0], s[1], 60, f});
        }
    }
    a.hal_caps.device_type = platform::kDeviceHal;
    a.hal_caps.caps2 = platform::kCaps2CanRenderWindowed;
    a.hal_caps.dev_caps = platform::kDevCapsHwTransformAndLight;
    a.hal_caps.texture_caps = platform::kTextureCapsAlpha;
    a.hal_caps.max_texture_width = 4096;
    a.hal_caps.max_texture_height = 4096;
    a.ref_caps = a.hal_caps;
    a.ref_caps.device_type = platform::kDeviceRef;
    return a;
}

const FakeAdapter* FakeGraphicsSystem::adapter_at(uint32_t adapter) const {
    return adapter < adapters.size() ? &adapters[adapter] : nullptr;
}

uint32_t FakeGraphicsSystem::get_adapter_count() {
    calls.push_back("get_adapter_count()");
    return static_cast<uint32_t>(adapters.size());
}

Result FakeGraphicsSystem::get_adapter_identifier(uint32_t adapter, uint32_t flags, platform::AdapterIdentifier& id) {
    calls.push_back(format_call("get_adapter_identifier", {adapter, flags}));
    const FakeAdapter* a = adapter_at(adapter);
    if (a == nullptr) return platform::kInvalidCall;
    id = a->identifier;
    return platform::kOk;
}

uint32_t FakeGraphicsSystem::get_adapter_mode_count(uint32_t adapter) {
    const FakeAdapter* a = adapter_at(adapter);
    return a == nullptr ? 0 : static_cast<uint32_t>(a->modes.size());
}

Result FakeGraphicsSystem::enum_adapter_modes(uint32_t adapter, uint32_t mode, platform::DisplayMode& out) {
    const FakeAdapter* a = adapter_at(adapter);
    if (a == nullptr || mode >= a->modes.size()) return platform::kInvalidCall;
    out = a->modes[mode];
    return platform::kOk;
}

Result FakeGraphicsSystem::get_adapter_display_mode(uint32_t adapter, platform::DisplayMode& out) {
    calls.push_back(format_call("get_adapter_display_mode", {adapter}));
    const FakeAdapter* a = adapter_at(adapter);
    if (a == nullptr) return platform::kInvalidCall;
    out = a->desktop_mode;
    return platform::kOk;
}

Result FakeGraphicsSystem::check_device_type(uint32_t adapter, platform::DeviceType type,
                                             platform::Format display_format, platform::Format back_buffer_format,
                                             bool windowed) {
    calls.push_back(format_call("check_device_type", {adapter, type, display_format, back_buffer_format, windowed}));
    if (adapter_at(adapter) == nullptr) return platform::kInvalidCall;
    return device_type_check ? device_type_check(adapter, type, display_format, back_buffer_format, windowed)
                             : platform::kOk;
}

Result FakeGraphicsSystem::check_device_format(uint32_t adapter, platform::DeviceType type,
                                               platform::Format adapter_format, uint32_t usage,
                                               uint32_t resource_type, platform::Format check_format) {
    calls.push_back(format_call("check_device_format", {adapter, type, adapter_format, usage, resource_type, check_format}));
    if (adapter_at(adapter) == nullptr) return platform::kInvalidCall;
    if (device_format_check) {
        return device_format_check(adapter, type, adapter_format, usage, resource_type, check_format);
    }
    switch (check_format) {
        case platform::kFormatD16:
        case platform::kFormatD24X8:
        case platform::kFormatD24S8:
        case platform::kFormatD32:
            return platform::kOk;
        default:
            return platform::kNotAvailable;
    }
}

Result FakeGraphicsSystem::check_device_multisample_type(uint32_t adapter, platform::DeviceType type,
                                                         platform::Format surface_format, bool windowed,
                                                         uint32_t multisample_type) {
    calls.push_back(format_call("check_device_multisample_type", {adapter, type, surface_format, windowed, multisample_type}));
    if (adapter_at(adapter) == nullptr) return platform::kInvalidCall;
    if (multisample_check) return multisample_check(adapter, type, surface_format, windowed, multisample_type);
    return multisample_type == 0 || multisample_type == 2 || multisample_type == 4 ? platform::kOk
                                                                                  : platform::kNotAvailable;
}

Result FakeGraphicsSystem::check_depth_stencil_match(uint32_t adapter, platform::DeviceType type,
                                                     platform::Format adapter_format,
                                                     platform::Format render_target_format,
                                                     platform::Format depth_format) {
    calls.push_back(format_call("check_depth_stencil_match", {adapter, type, adapter_format, render_target_format, depth_format}));
    if (adapter_at(adapter) == nullptr) return platform::kInvalidCall;
    return depth_match_check ? depth_match_check(adapter, type, adapter_format, render_target_format, depth_format)
                             : platform::kOk;
}

Result FakeGraphicsSystem::get_device_caps(uint32_t adapter, platform::DeviceType type, platform::DeviceCaps& caps) {
    calls.push_back(format_call("get_device_caps", {adapter, type}));
    const FakeAdapter* a = adapter_at(adapter);
    if (a == nullptr) return platform::kInvalidCall;
    if (type == platform::kDeviceHal && a->has_hal) {
        caps = a->hal_caps;
    } else if (type == platform::kDeviceRef && a->has_ref) {
        caps = a->ref_caps;
    } else {
        return platform::kNotAvailable;
    }
    caps.adapter_ordinal = adapter;
    return platform::kOk;
}

Result FakeGraphicsSystem::create_device(uint32_t adapter, platform::DeviceType type, platform::NativeWindow focus,
                                         uint32_t behaviour, platform::PresentParams& params,
                                         platform::GraphicsDevice** device) {
    char behaviour_text[16];
    std::snprintf(behaviour_text, sizeof behaviour_text, "0x%x", behaviour);
    calls.push_back(format_call("create_device", {adapter, type, static_cast<long long>(focus)}) + " " +
                    behaviour_text);
    *device = nullptr;
    const Result answer = pop_or_ok(create_device_answers);
    if (platform::failed(answer)) return answer;
    platform::DeviceCaps caps{};
    const Result caps_result = get_device_caps(adapter, type, caps);
    calls.pop_back();  // the internal caps lookup is not a call of the program
    if (platform::failed(caps_result)) return caps_result;
    devices.push_back(std::make_unique<FakeGraphicsDevice>(caps, params));
    if (on_device_created) on_device_created(*devices.back());
    *device = devices.back().get();
    return platform::kOk;
}

uint32_t FakeGraphicsSystem::release() {
    calls.push_back("release()");
    if (references > 0) --references;
    if (references == 0) released = true;
    return references + extra_references;
}

}  // namespace test_support
