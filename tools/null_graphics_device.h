// A graphics device that accepts every call and draws nothing: the frame's
// own CPU work can be timed against it. Textures and vertex buffers are
// plain memory, made when they are created; nothing is allocated per frame.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graphics_device.h"

namespace tools {

class NullGraphicsDevice final : public platform::GraphicsDevice {
public:
    NullGraphicsDevice(uint32_t back_buffer_width, uint32_t back_buffer_height);
    ~NullGraphicsDevice() override;

    platform::Result test_cooperative_level() override { return platform::kOk; }
    platform::Result get_device_caps(platform::DeviceCaps& caps) override;
    platform::Result reset(platform::PresentParams&) override { return platform::kOk; }
    platform::Result present() override { return platform::kOk; }
    platform::Result get_back_buffer_desc(platform::SurfaceDesc& desc) override;
    void set_cursor_position(int32_t, int32_t, uint32_t) override {}
    bool show_cursor(bool) override { return true; }

    platform::Result set_render_state(platform::RenderState, uint32_t) override { return platform::kOk; }
    platform::Result set_texture_stage_state(uint32_t, platform::TextureStageState, uint32_t) override {
        return platform::kOk;
    }
    platform::Result set_light(uint32_t, const platform::Light&) override { return platform::kOk; }
    platform::Result light_enable(uint32_t, bool) override { return platform::kOk; }
    platform::Result set_transform(platform::TransformType, const platform::Matrix4&) override { return platform::kOk; }
    platform::Result set_material(const platform::Material&) override { return platform::kOk; }
    platform::Result set_texture(uint32_t, platform::Texture*) override { return platform::kOk; }
    platform::Result set_vertex_shader(uint32_t) override { return platform::kOk; }
    platform::Result set_pixel_shader(uint32_t) override { return platform::kOk; }
    platform::Result set_stream_source(uint32_t, platform::VertexBuffer*, uint32_t) override { return platform::kOk; }

    platform::Result create_texture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                    platform::Format format, uint32_t pool, platform::Texture** texture) override;
    platform::Result create_vertex_buffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool,
                                          platform::VertexBuffer** buffer) override;

    platform::Result begin_state_block() override { return platform::kOk; }
    platform::Result end_state_block(uint32_t* handle) override;
    platform::Result apply_state_block(uint32_t) override { return platform::kOk; }
    platform::Result capture_state_block(uint32_t) override { return platform::kOk; }
    platform::Result delete_state_block(uint32_t) override { return platform::kOk; }

    platform::Result draw_primitive(platform::PrimitiveType, uint32_t, uint32_t) override { return platform::kOk; }
    platform::Result draw_indexed_primitive_up(platform::PrimitiveType, uint32_t, uint32_t, uint32_t, const void*,
                                               platform::Format, const void*, uint32_t) override {
        return platform::kOk;
    }
    platform::Result clear(uint32_t, const void*, uint32_t, uint32_t, float, uint32_t) override {
        return platform::kOk;
    }
    platform::Result begin_scene() override { return platform::kOk; }
    platform::Result end_scene() override { return platform::kOk; }

    uint32_t release() override;

private:
    class Memory;
    std::vector<std::unique_ptr<Memory>> resources_;  // textures and vertex buffers made so far
    uint32_t width_;                                  // back buffer, pixels
    uint32_t height_;
    uint32_t next_state_block_ = 1;
    uint32_t references_ = 1;
};

}  // namespace tools
