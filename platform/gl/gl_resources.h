// Textures and vertex buffers of the OpenGL device. Each keeps a copy of its
// contents in memory, allocated once when it is created: locks hand out that
// copy, unlocks upload it, and a device whose context had to be rebuilt
// uploads the copies again.
//
// Two kinds of reference: the program's (release() returns what remains)
// and the device's own, held while the resource is bound or recorded in a
// state block. The object goes away when both reach zero.
#pragma once

#include "platform/gl/gl_api.h"

#include <cstdint>
#include <memory>

#include "platform/gl/gl_formats.h"
#include "platform/graphics_device.h"

namespace platform::gl {

class GlDevice;

inline constexpr uint32_t kMaxTextureLevels = 16;

class GlTexture final : public Texture {
public:
    // Builds the texture with `levels` levels (0: a full chain down to 1x1).
    // Check valid() before use; the GL texture is made by realise().
    GlTexture(GlDevice& device, uint32_t width, uint32_t height, uint32_t levels, Format format, uint32_t pool);

    bool valid() const { return memory_ != nullptr; }
    Result lock_rect(uint32_t level, LockedRect& locked, uint32_t flags) override;
    Result unlock_rect(uint32_t level) override;
    uint32_t release() override;

    // Creates the GL texture and uploads every level; needs the context.
    bool realise();
    // Forgets the GL name (the context that owned it is gone).
    void forget_gl() { name_ = 0; }
    void add_device_reference() { ++device_references_; }
    void drop_device_reference();

    GLuint name() const { return name_; }
    uint32_t pool() const { return pool_; }
    bool in_program_use() const { return program_references_ > 0; }

private:
    ~GlTexture() override;
    void upload_level(uint32_t level);
    void destroy_if_unused();

    GlDevice& device_;
    uint32_t program_references_ = 1;
    uint32_t device_references_ = 0;
    uint32_t levels_;
    uint32_t pool_;
    TextureFormat gl_format_;
    GLuint name_ = 0;
    uint32_t locked_levels_ = 0;  // bit per level
    uint32_t level_offset_[kMaxTextureLevels] = {};
    uint32_t level_width_[kMaxTextureLevels] = {};
    uint32_t level_height_[kMaxTextureLevels] = {};
    std::unique_ptr<uint8_t[]> memory_;
};

class GlVertexBuffer final : public VertexBuffer {
public:
    GlVertexBuffer(GlDevice& device, uint32_t length, uint32_t usage, uint32_t pool);

    bool valid() const { return memory_ != nullptr; }
    Result lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) override;
    Result unlock() override;
    uint32_t release() override;

    bool realise();
    void forget_gl() { name_ = 0; }
    void add_device_reference() { ++device_references_; }
    void drop_device_reference();

    GLuint name() const { return name_; }
    uint32_t length() const { return length_; }
    uint32_t pool() const { return pool_; }
    // Dynamic buffers are drawn from their memory copy through the device's
    // vertex ring; their OpenGL buffer holds only what they were created with.
    bool streamed() const { return (usage_ & kUsageDynamic) != 0; }
    const uint8_t* contents() const { return memory_.get(); }
    bool in_program_use() const { return program_references_ > 0; }

private:
    ~GlVertexBuffer() override;
    void destroy_if_unused();

    GlDevice& device_;
    uint32_t program_references_ = 1;
    uint32_t device_references_ = 0;
    uint32_t length_;
    uint32_t usage_;
    uint32_t pool_;
    GLuint name_ = 0;
    bool locked_ = false;
    bool discard_ = false;
    uint32_t lock_offset_ = 0;
    uint32_t lock_size_ = 0;
    std::unique_ptr<uint8_t[]> memory_;
};

}  // namespace platform::gl
