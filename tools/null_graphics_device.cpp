#include "tools/null_graphics_device.h"

namespace tools {

// One texture or vertex buffer: bytes that can be locked, never drawn.
class NullGraphicsDevice::Memory final : public platform::Texture, public platform::VertexBuffer {
public:
    Memory(size_t size, uint32_t pitch) : bytes_(size), pitch_(pitch) {}
    ~Memory() override = default;

    platform::Result lock_rect(uint32_t level, platform::LockedRect& locked, uint32_t) override {
        if (level != 0) return platform::kInvalidCall;
        locked.pitch = static_cast<int32_t>(pitch_);
        locked.bits = bytes_.data();
        return platform::kOk;
    }
    platform::Result unlock_rect(uint32_t) override { return platform::kOk; }
    platform::Result lock(uint32_t offset, uint32_t size, void** data, uint32_t) override {
        if (offset > bytes_.size() || size > bytes_.size() - offset) return platform::kInvalidCall;
        *data = bytes_.data() + offset;
        return platform::kOk;
    }
    platform::Result unlock() override { return platform::kOk; }
    uint32_t release() override { return 0; }  // freed with the device

private:
    std::vector<uint8_t> bytes_;
    uint32_t pitch_;  // bytes per texture row
};

NullGraphicsDevice::NullGraphicsDevice(uint32_t back_buffer_width, uint32_t back_buffer_height)
    : width_(back_buffer_width), height_(back_buffer_height) {}

NullGraphicsDevice::~NullGraphicsDevice() = default;

platform::Result NullGraphicsDevice::get_device_caps(platform::DeviceCaps& caps) {
    caps = platform::DeviceCaps{};
    caps.device_type = platform::kDeviceHal;
    caps.caps2 = platform::kCaps2CanRenderWindowed;
    caps.dev_caps = platform::kDevCapsHwTransformAndLight;
    caps.texture_caps = platform::kTextureCapsAlpha;
    caps.max_texture_width = 4096;
    caps.max_texture_height = 4096;
    return platform::kOk;
}

platform::Result NullGraphicsDevice::get_back_buffer_desc(platform::SurfaceDesc& desc) {
    desc = platform::SurfaceDesc{};
    desc.format = platform::kFormatX8R8G8B8;
    desc.width = width_;
    desc.height = height_;
    return platform::kOk;
}

platform::Result NullGraphicsDevice::create_texture(uint32_t width, uint32_t height, uint32_t, uint32_t,
                                                    platform::Format, uint32_t, platform::Texture** texture) {
    constexpr uint32_t kBytesPerTexel = 4;  // room for any format the program uses
    resources_.push_back(std::make_unique<Memory>(size_t{width} * height * kBytesPerTexel, width * kBytesPerTexel));
    *texture = resources_.back().get();
    return platform::kOk;
}

platform::Result NullGraphicsDevice::create_vertex_buffer(uint32_t length, uint32_t, uint32_t, uint32_t,
                                                          platform::VertexBuffer** buffer) {
    resources_.push_back(std::make_unique<Memory>(length, 0));
    *buffer = resources_.back().get();
    return platform::kOk;
}

platform::Result NullGraphicsDevice::end_state_block(uint32_t* handle) {
    *handle = next_state_block_++;
    return platform::kOk;
}

uint32_t NullGraphicsDevice::release() { return references_ > 0 ? --references_ : 0; }

}  // namespace tools
