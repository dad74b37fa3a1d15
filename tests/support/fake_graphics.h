// Scripted stand-ins for the graphics system and device. The system's
// adapters, modes, capabilities and every check's answer are data; the
// device records every call in order with its arguments, keeps the current
// states so tests can read them back, and reports lost states on demand.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics_device.h"
#include "platform/graphics_system.h"

namespace test_support {

enum class DeviceOp {
    TestCooperativeLevel,
    GetDeviceCaps,
    Reset,
    Present,
    GetBackBufferDesc,
    SetCursorPosition,
    ShowCursor,
    SetRenderState,
    SetTextureStageState,
    SetLight,
    LightEnable,
    SetTransform,
    SetMaterial,
    SetTexture,
    SetVertexShader,
    SetPixelShader,
    SetStreamSource,
    CreateTexture,
    CreateVertexBuffer,
    BeginStateBlock,
    EndStateBlock,
    ApplyStateBlock,
    CaptureStateBlock,
    DeleteStateBlock,
    DrawPrimitive,
    DrawIndexedPrimitiveUp,
    Clear,
    BeginScene,
    EndScene,
    Release,
};

const char* device_op_name(DeviceOp op);

// One recorded device call. The integer arguments a..e are, by operation:
//   SetRenderState: a = state, b = value
//   SetTextureStageState: a = stage, b = state, c = value
//   SetLight / LightEnable: a = index, b = enable
//   SetTransform: a = transform type (matrix in `matrix`)
//   SetTexture: a = stage (texture in `object`)
//   SetVertexShader / SetPixelShader: a = handle
//   SetStreamSource: a = stream, b = stride (buffer in `object`)
//   CreateTexture: a = width, b = height, c = format, d = pool, e = levels
//   CreateVertexBuffer: a = length, b = usage, c = fvf, d = pool
//   End/Apply/Capture/DeleteStateBlock: a = handle
//   DrawPrimitive: a = type, b = start vertex, c = primitive count
//   DrawIndexedPrimitiveUp: a = type, b = min index, c = vertex count,
//     d = primitive count, e = stride (data in `vertices` and `indices`)
//   Clear: a = flags, b = colour, f = z, c = stencil
//   SetCursorPosition: a = x, b = y;  ShowCursor: a = show
struct DeviceCall {
    DeviceOp op;
    uint32_t a = 0, b = 0, c = 0, d = 0, e = 0;
    float f = 0.0f;
    const void* object = nullptr;
    const void* vertices = nullptr;
    const void* indices = nullptr;
    platform::Matrix4 matrix{};
    platform::Light light{};
    platform::Material material{};
};

class FakeTexture : public platform::Texture {
public:
    FakeTexture(uint32_t width, uint32_t height, platform::Format format);
    platform::Result lock_rect(uint32_t level, platform::LockedRect& locked, uint32_t flags) override;
    platform::Result unlock_rect(uint32_t level) override;
    uint32_t release() override;

    uint32_t width, height;         // texels
    platform::Format format;
    uint32_t bytes_per_texel;
    std::vector<uint8_t> texels;    // rows top to bottom, pitch = width * bytes_per_texel
    uint32_t references = 1;
    int locks = 0;                  // lock_rect calls
};

class FakeVertexBuffer : public platform::VertexBuffer {
public:
    FakeVertexBuffer(uint32_t length, uint32_t usage);
    platform::Result lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) override;
    platform::Result unlock() override;
    uint32_t release() override;

    uint32_t usage;
    std::vector<uint8_t> bytes;
    uint32_t references = 1;
    int locks = 0;
    uint32_t last_lock_flags = 0;
    bool locked = false;
};

class FakeGraphicsDevice : public platform::GraphicsDevice {
public:
    FakeGraphicsDevice(const platform::DeviceCaps& caps, const platform::PresentParams& params);
    ~FakeGraphicsDevice() override;

    // ---- script ----
    std::deque<platform::Result> cooperative_level_answers;  // popped per call; kOk when empty
    std::deque<platform::Result> reset_answers;              // popped per call; kOk when empty
    platform::Result begin_scene_answer = platform::kOk;
    platform::Result create_texture_answer = platform::kOk;
    platform::Result create_vertex_buffer_answer = platform::kOk;
    platform::Result render_state_answer = platform::kOk;  // a refused render state is recorded, not applied
    uint32_t extra_references = 0;  // references someone else holds: release() reports them
    bool recording = true;          // false: keep no call log (for allocation-free frames)

    // ---- what happened ----
    std::vector<DeviceCall> calls;
    platform::DeviceCaps caps;
    platform::PresentParams present_params;  // from creation or the last reset
    uint32_t render_state[static_cast<int>(platform::RenderState::Count)] = {};
    bool render_state_set[static_cast<int>(platform::RenderState::Count)] = {};
    uint32_t stage_state[8][static_cast<int>(platform::TextureStageState::Count)] = {};
    platform::Light lights[8] = {};
    bool light_enabled[8] = {};
    platform::Matrix4 world{}, view{}, projection{};
    platform::Material material{};
    platform::Texture* texture[8] = {};
    uint32_t vertex_shader = 0;
    platform::VertexBuffer* stream_source = nullptr;
    uint32_t stream_stride = 0;
    int presents = 0;
    int resets = 0;
    int scenes_begun = 0;
    bool in_scene = false;
    bool released = false;  // the last reference is gone
    uint32_t references = 1;
    std::vector<std::unique_ptr<FakeTexture>> textures;
    std::vector<std::unique_ptr<FakeVertexBuffer>> vertex_buffers;

    // Calls of one operation, in order.
    std::vector<DeviceCall> calls_of(DeviceOp op) const;
    int count_of(DeviceOp op) const;
    void clear_calls() { calls.clear(); }

    // ---- the device ----
    platform::Result test_cooperative_level() override;
    platform::Result get_device_caps(platform::DeviceCaps& out) override;
    platform::Result reset(platform::PresentParams& params) override;
    platform::Result present() override;
    platform::Result get_back_buffer_desc(platform::SurfaceDesc& desc) override;
    void set_cursor_position(int32_t x, int32_t y, uint32_t flags) override;
    bool show_cursor(bool show) override;
    platform::Result set_render_state(platform::RenderState state, uint32_t value) override;
    platform::Result set_texture_stage_state(uint32_t stage, platform::TextureStageState state,
                                             uint32_t value) override;
    platform::Result set_light(uint32_t index, const platform::Light& light) override;
    platform::Result light_enable(uint32_t index, bool enable) override;
    platform::Result set_transform(platform::TransformType type, const platform::Matrix4& matrix) override;
    platform::Result set_material(const platform::Material& material) override;
    platform::Result set_texture(uint32_t stage, platform::Texture* texture) override;
    platform::Result set_vertex_shader(uint32_t fvf) override;
    platform::Result set_pixel_shader(uint32_t handle) override;
    platform::Result set_stream_source(uint32_t stream, platform::VertexBuffer* buffer, uint32_t stride) override;
    platform::Result create_texture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                    platform::Format format, uint32_t pool, platform::Texture** texture) override;
    platform::Result create_vertex_buffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool,
                                          platform::VertexBuffer** buffer) override;
    platform::Result begin_state_block() override;
    platform::Result end_state_block(uint32_t* handle) override;
    platform::Result apply_state_block(uint32_t handle) override;
    platform::Result capture_state_block(uint32_t handle) override;
    platform::Result delete_state_block(uint32_t handle) override;
    platform::Result draw_primitive(platform::PrimitiveType type, uint32_t start_vertex,
                                    uint32_t primitive_count) override;
    platform::Result draw_indexed_primitive_up(platform::PrimitiveType type, uint32_t min_vertex_index,
                                               uint32_t vertex_count, uint32_t primitive_count,
                                               const void* indices, platform::Format index_format,
                                               const void* vertices, uint32_t stride) override;
    platform::Result clear(uint32_t count, const void* rects, uint32_t flags, uint32_t colour, float z,
                           uint32_t stencil) override;
    platform::Result begin_scene() override;
    platform::Result end_scene() override;
    uint32_t release() override;

private:
    // A recorded state block: the calls made while it was recorded, with the
    // values they carry (refreshed by capture).
    struct StateBlock {
        std::vector<DeviceCall> entries;
        bool live = false;
    };
    void record(const DeviceCall& call);
    // True while a state block is being recorded: the call is kept in the
    // block instead of changing the device.
    bool recording_block(const DeviceCall& call);
    void apply(const DeviceCall& entry);
    void capture(DeviceCall& entry) const;

    std::vector<StateBlock> blocks_;
    bool in_block_ = false;
};

// One adapter of the scripted system.
struct FakeAdapter {
    platform::AdapterIdentifier identifier{};
    platform::DisplayMode desktop_mode{1024, 768, 60, platform::kFormatX8R8G8B8};
    std::vector<platform::DisplayMode> modes;  // as the system lists them
    platform::DeviceCaps hal_caps{};
    platform::DeviceCaps ref_caps{};
    bool has_hal = true;
    bool has_ref = true;
};

// An adapter with a HAL that can render windowed with hardware transform and
// lighting and alpha textures, a REF, and the usual 640x480 ... 1024x768
// modes in 16 and 32 bits.
FakeAdapter typical_adapter(const char* description = "Fake Display Adapter");

class FakeGraphicsSystem : public platform::GraphicsSystem {
public:
    using DeviceTypeCheck = std::function<platform::Result(uint32_t adapter, platform::DeviceType,
                                                           platform::Format display, platform::Format back_buffer,
                                                           bool windowed)>;
    using DeviceFormatCheck = std::function<platform::Result(uint32_t adapter, platform::DeviceType,
                                                             platform::Format adapter_format, uint32_t usage,
                                                             uint32_t resource_type, platform::Format check)>;
    using MultisampleCheck = std::function<platform::Result(uint32_t adapter, platform::DeviceType,
                                                            platform::Format surface, bool windowed,
                                                            uint32_t type)>;
    using DepthMatchCheck = std::function<platform::Result(uint32_t adapter, platform::DeviceType,
                                                           platform::Format adapter_format,
                                                           platform::Format render_target,
                                                           platform::Format depth)>;

    // ---- script ----
    std::vector<FakeAdapter> adapters;
    DeviceTypeCheck device_type_check;      // default: kOk
    DeviceFormatCheck device_format_check;  // default: kOk for D16, D24X8, D24S8, D32; kFail otherwise
    MultisampleCheck multisample_check;     // default: kOk for 0, 2 and 4 samples
    DepthMatchCheck depth_match_check;      // default: kOk
    std::deque<platform::Result> create_device_answers;  // popped per call; kOk when empty
    // Called with every device this system creates, before it is returned.
    std::function<void(FakeGraphicsDevice&)> on_device_created;
    uint32_t extra_references = 0;

    // ---- what happened ----
    std::vector<std::string> calls;  // e.g. "create_device(0,1,0x40)"
    std::vector<std::unique_ptr<FakeGraphicsDevice>> devices;  // every device created, in order
    uint32_t references = 1;
    bool released = false;

    FakeGraphicsDevice* last_device() { return devices.empty() ? nullptr : devices.back().get(); }

    uint32_t get_adapter_count() override;
    platform::Result get_adapter_identifier(uint32_t adapter, uint32_t flags, platform::AdapterIdentifier& id) override;
    uint32_t get_adapter_mode_count(uint32_t adapter) override;
    platform::Result enum_adapter_modes(uint32_t adapter, uint32_t mode, platform::DisplayMode& out) override;
    platform::Result get_adapter_display_mode(uint32_t adapter, platform::DisplayMode& out) override;
    platform::Result check_device_type(uint32_t adapter, platform::DeviceType type, platform::Format display_format,
                                       platform::Format back_buffer_format, bool windowed) override;
    platform::Result check_device_format(uint32_t adapter, platform::DeviceType type, platform::Format adapter_format,
                                         uint32_t usage, uint32_t resource_type, platform::Format check_format) override;
    platform::Result check_device_multisample_type(uint32_t adapter, platform::DeviceType type,
                                                   platform::Format surface_format, bool windowed,
                                                   uint32_t multisample_type) override;
    platform::Result check_depth_stencil_match(uint32_t adapter, platform::DeviceType type,
                                               platform::Format adapter_format, platform::Format render_target_format,
                                               platform::Format depth_format) override;
    platform::Result get_device_caps(uint32_t adapter, platform::DeviceType type, platform::DeviceCaps& caps) override;
    platform::Result create_device(uint32_t adapter, platform::DeviceType type, platform::NativeWindow focus_window,
                                   uint32_t behaviour, platform::PresentParams& params,
                                   platform::GraphicsDevice** device) override;
    uint32_t release() override;

private:
    const FakeAdapter* adapter_at(uint32_t adapter) const;
};

}  // namespace test_support
