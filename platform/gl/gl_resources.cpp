#include "platform/gl/gl_resources.h"

#include <cstring>
#include <new>

#include "platform/gl/gl_device.h"

namespace platform::gl {

// ---- textures ----

GlTexture::GlTexture(GlDevice& device, uint32_t width, uint32_t height, uint32_t levels, Format format,
                     uint32_t pool)
    : device_(device), levels_(0), pool_(pool), gl_format_(texture_format(format)) {
    if (!gl_format_.supported || width == 0 || height == 0) return;
    uint32_t total = 0;
    uint32_t w = width, h = height;
    const uint32_t wanted = levels == 0 ? kMaxTextureLevels : levels;
    while (levels_ < wanted && levels_ < kMaxTextureLevels) {
        level_offset_[levels_] = total;
        level_width_[levels_] = w;
        level_height_[levels_] = h;
        total += w * h * gl_format_.bytes_per_texel;
        ++levels_;
        if (w == 1 && h == 1) break;
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }
    memory_.reset(new (std::nothrow) uint8_t[total]);
    if (memory_) std::memset(memory_.get(), 0, total);
}

GlTexture::~GlTexture() {
    if (name_ != 0 && device_.context_usable() && device_.make_current()) glDeleteTextures(1, &name_);
}

bool GlTexture::realise() {
    if (!valid()) return false;
    glGenTextures(1, &name_);
    glBindTexture(GL_TEXTURE_2D, name_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels_ - 1));
    if (gl_format_.opaque) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
    for (uint32_t level = 0; level < levels_; ++level) {
        glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), static_cast<GLint>(gl_format_.internal_format),
                     static_cast<GLsizei>(level_width_[level]), static_cast<GLsizei>(level_height_[level]), 0,
                     gl_format_.upload_format, gl_format_.upload_type, memory_.get() + level_offset_[level]);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    return glGetError() == GL_NO_ERROR;
}

Result GlTexture::lock_rect(uint32_t level, LockedRect& locked, uint32_t) {
    if (level >= levels_ || (locked_levels_ & (1u << level)) != 0) return kInvalidCall;
    locked_levels_ |= 1u << level;
    locked.pitch = static_cast<int32_t>(level_width_[level] * gl_format_.bytes_per_texel);
    locked.bits = memory_.get() + level_offset_[level];
    return kOk;
}

Result GlTexture::unlock_rect(uint32_t level) {
    if (level >= levels_ || (locked_levels_ & (1u << level)) == 0) return kInvalidCall;
    locked_levels_ &= ~(1u << level);
    upload_level(level);
    return kOk;
}

void GlTexture::upload_level(uint32_t level) {
    if (name_ == 0 || !device_.context_usable() || !device_.make_current()) return;  // uploaded when realised
    glBindTexture(GL_TEXTURE_2D, name_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, 0, static_cast<GLsizei>(level_width_[level]),
                    static_cast<GLsizei>(level_height_[level]), gl_format_.upload_format, gl_format_.upload_type,
                    memory_.get() + level_offset_[level]);
    // The device rebinds its own texture before the next draw.
    glBindTexture(GL_TEXTURE_2D, 0);
}

uint32_t GlTexture::release() {
    if (program_references_ == 0) return 0;
    const uint32_t remaining = --program_references_;
    if (remaining == 0) {
        GlDevice& device = device_;
        destroy_if_unused();
        device.release();  // the device reference this texture held
    }
    return remaining;
}

void GlTexture::drop_device_reference() {
    if (device_references_ > 0) --device_references_;
    destroy_if_unused();
}

void GlTexture::destroy_if_unused() {
    if (program_references_ == 0 && device_references_ == 0) {
        device_.forget(this);
        delete this;
    }
}

// ---- vertex buffers ----

GlVertexBuffer::GlVertexBuffer(GlDevice& device, uint32_t length, uint32_t usage, uint32_t pool)
    : device_(device), length_(length), usage_(usage), pool_(pool) {
    if (length == 0) return;
    memory_.reset(new (std::nothrow) uint8_t[length]);
    if (memory_) std::memset(memory_.get(), 0, length);
}

GlVertexBuffer::~GlVertexBuffer() {
    if (name_ != 0 && device_.context_usable() && device_.make_current()) glDeleteBuffers(1, &name_);
}

bool GlVertexBuffer::realise() {
    if (!valid()) return false;
    glGenBuffers(1, &name_);
    glBindBuffer(GL_ARRAY_BUFFER, name_);
    glBufferData(GL_ARRAY_BUFFER, length_, memory_.get(),
                 (usage_ & kUsageDynamic) != 0 ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    return glGetError() == GL_NO_ERROR;
}

Result GlVertexBuffer::lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) {
    if (data == nullptr || locked_) return kInvalidCall;
    if (offset == 0 && size == 0) size = length_;
    if (offset > length_ || size > length_ - offset) return kInvalidCall;
    locked_ = true;
    discard_ = (flags & kLockDiscard) != 0;
    lock_offset_ = offset;
    lock_size_ = size;
    *data = memory_.get() + offset;
    return kOk;
}

Result GlVertexBuffer::unlock() {
    if (!locked_) return kInvalidCall;
    locked_ = false;
    if (streamed()) return kOk;  // the draws copy what they use
    if (name_ == 0 || !device_.context_usable() || !device_.make_current()) return kOk;
    glBindBuffer(GL_ARRAY_BUFFER, name_);
    const GLenum hint = (usage_ & kUsageDynamic) != 0 ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW;
    if (discard_) {
        // Orphan the old storage so a draw still reading it never stalls us.
        glBufferData(GL_ARRAY_BUFFER, length_, nullptr, hint);
    }
    if (lock_size_ > 0) glBufferSubData(GL_ARRAY_BUFFER, lock_offset_, lock_size_, memory_.get() + lock_offset_);
    return kOk;
}

uint32_t GlVertexBuffer::release() {
    if (program_references_ == 0) return 0;
    const uint32_t remaining = --program_references_;
    if (remaining == 0) {
        GlDevice& device = device_;
        destroy_if_unused();
        device.release();
    }
    return remaining;
}

void GlVertexBuffer::drop_device_reference() {
    if (device_references_ > 0) --device_references_;
    destroy_if_unused();
}

void GlVertexBuffer::destroy_if_unused() {
    if (program_references_ == 0 && device_references_ == 0) {
        device_.forget(this);
        delete this;
    }
}

// ---- creation by the device ----

Result GlDevice::create_texture(uint32_t width, uint32_t height, uint32_t levels, uint32_t, Format format,
                                uint32_t pool, Texture** texture) {
    if (texture == nullptr) return kInvalidCall;
    *texture = nullptr;
    if (width == 0 || height == 0 || width > setup_.caps.max_texture_width || height > setup_.caps.max_texture_height ||
        !texture_format(format).supported) {
        return kInvalidCall;
    }
    uint32_t free_slot = kMaxTextures;
    for (uint32_t i = 0; i < kMaxTextures; ++i) {
        if (textures_[i] == nullptr) {
            free_slot = i;
            break;
        }
    }
    if (free_slot == kMaxTextures) return kOutOfVideoMemory;
    auto* created = new (std::nothrow) GlTexture(*this, width, height, levels, format, pool);
    if (created == nullptr) return kOutOfMemory;
    if (!created->valid() || (!context_lost_ && (!make_current() || !created->realise()))) {
        ++references_;  // balanced by the release below
        textures_[free_slot] = created;
        created->release();
        return kOutOfVideoMemory;
    }
    textures_[free_slot] = created;
    ++references_;  // a live resource keeps its device
    *texture = created;
    return kOk;
}

Result GlDevice::create_vertex_buffer(uint32_t length, uint32_t usage, uint32_t, uint32_t pool,
                                      VertexBuffer** buffer) {
    if (buffer == nullptr) return kInvalidCall;
    *buffer = nullptr;
    if (length == 0) return kInvalidCall;
    uint32_t free_slot = kMaxVertexBuffers;
    for (uint32_t i = 0; i < kMaxVertexBuffers; ++i) {
        if (vertex_buffers_[i] == nullptr) {
            free_slot = i;
            break;
        }
    }
    if (free_slot == kMaxVertexBuffers) return kOutOfVideoMemory;
    auto* created = new (std::nothrow) GlVertexBuffer(*this, length, usage, pool);
    if (created == nullptr) return kOutOfMemory;
    if (!created->valid() || (!context_lost_ && (!make_current() || !created->realise()))) {
        ++references_;
        vertex_buffers_[free_slot] = created;
        created->release();
        return kOutOfVideoMemory;
    }
    vertex_buffers_[free_slot] = created;
    ++references_;
    *buffer = created;
    return kOk;
}

}  // namespace platform::gl
