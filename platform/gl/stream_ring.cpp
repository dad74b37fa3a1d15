#include "platform/gl/stream_ring.h"

#include <cstring>

namespace platform::gl {
namespace {

void* set_gl_fence(void*) { return glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0); }

void wait_gl_fence(void*, void* fence) {
    const auto sync = static_cast<GLsync>(fence);
    glClientWaitSync(sync, GL_SYNC_FLUSH_COMMANDS_BIT, GL_TIMEOUT_IGNORED);
    glDeleteSync(sync);
}

void drop_gl_fence(void*, void* fence) { glDeleteSync(static_cast<GLsync>(fence)); }

constexpr RingFences kGlFences{&set_gl_fence, &wait_gl_fence, &drop_gl_fence, nullptr};

// Sets a fence on each section of [first, last] that has none.
void fence_sections(StreamRing& ring, uint32_t first, uint32_t last, const RingFences& fences) {
    for (uint32_t i = first; i <= last && i < kRingSections; ++i) {
        if (ring.fences[i] == nullptr) ring.fences[i] = fences.set(fences.context);
    }
}

// Waits until the draws that read sections [first, last] are done.
void wait_for_sections(StreamRing& ring, uint32_t first, uint32_t last, const RingFences& fences) {
    for (uint32_t i = first; i <= last && i < kRingSections; ++i) {
        if (ring.fences[i] == nullptr) continue;
        fences.wait(fences.context, ring.fences[i]);
        ring.fences[i] = nullptr;
    }
}

}  // namespace

const RingFences& gl_ring_fences() { return kGlFences; }

bool create_ring(GLenum target, StreamRing& ring, uint32_t capacity, bool persistent) {
    ring = StreamRing{};
    ring.capacity = capacity;
    glGenBuffers(1, &ring.buffer);
    glBindBuffer(target, ring.buffer);
    if (persistent) {
        constexpr GLbitfield kFlags = GL_MAP_WRITE_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_COHERENT_BIT;
        glBufferStorage(target, capacity, nullptr, kFlags);
        ring.mapped = static_cast<uint8_t*>(glMapBufferRange(target, 0, capacity, kFlags));
        if (ring.mapped != nullptr) return true;
        // Storage is immutable now: start again with a plain buffer.
        glDeleteBuffers(1, &ring.buffer);
        glGenBuffers(1, &ring.buffer);
        glBindBuffer(target, ring.buffer);
    }
    glBufferData(target, capacity, nullptr, GL_STREAM_DRAW);
    return ring.buffer != 0;
}

void delete_ring(StreamRing& ring) {
    for (void* fence : ring.fences) {
        if (fence != nullptr) kGlFences.drop(kGlFences.context, fence);
    }
    // Deleting a buffer unmaps it.
    if (ring.buffer != 0) glDeleteBuffers(1, &ring.buffer);
    ring = StreamRing{};
}

uint32_t append_to_ring(GLenum target, StreamRing& ring, const void* data, uint32_t bytes, uint32_t alignment) {
    if (ring.mapped == nullptr || bytes > ring.capacity) {
        glBindBuffer(target, ring.buffer);
    }
    if (bytes > ring.capacity) {
        uint32_t capacity = ring.capacity;
        while (capacity < bytes) capacity *= 2;
        if (ring.mapped != nullptr) {
            // Mapped storage cannot grow: a larger ring replaces it.
            delete_ring(ring);
            create_ring(target, ring, capacity, true);
        } else {
            ring.capacity = capacity;
        }
        ring.used = ring.capacity;  // forces fresh storage below
    }
    if (ring.mapped != nullptr) return write_mapped_ring(ring, data, bytes, alignment, kGlFences);
    const RingPlace place = ring_place(ring, bytes, alignment);
    if (place.wraps) {
        // Full: fresh storage (orphaning), so earlier draws that a driver
        // has not finished yet keep reading the old one.
        glBufferData(target, ring.capacity, nullptr, GL_STREAM_DRAW);
    }
    glBufferSubData(target, static_cast<GLintptr>(place.offset), bytes, data);
    ring.used = place.offset + bytes;
    return place.offset;
}

RingPlace ring_place(const StreamRing& ring, uint32_t bytes, uint32_t alignment) {
    const uint32_t offset = (ring.used + alignment - 1) / alignment * alignment;
    const bool wraps = ring.used > ring.capacity || offset > ring.capacity - bytes;
    return RingPlace{wraps ? 0 : offset, wraps};
}

uint32_t write_mapped_ring(StreamRing& ring, const void* data, uint32_t bytes, uint32_t alignment,
                           const RingFences& fences) {
    const uint32_t section = ring.capacity / kRingSections;
    const RingPlace place = ring_place(ring, bytes, alignment);
    const uint32_t offset = place.offset;
    // The sections written since the last fence get one as writing leaves
    // them (the ring is far larger than a frame's draws, so the wait below
    // rarely waits).
    if (place.wraps) {
        if (ring.used > 0 && ring.used <= ring.capacity) {
            fence_sections(ring, ring.open_section, (ring.used - 1) / section, fences);
        }
        ring.open_section = 0;
    } else if (offset / section > ring.open_section) {
        fence_sections(ring, ring.open_section, offset / section - 1, fences);
        ring.open_section = offset / section;
    }
    wait_for_sections(ring, offset / section, (offset + bytes - 1) / section, fences);
    std::memcpy(ring.mapped + offset, data, bytes);
    ring.used = offset + bytes;
    return offset;
}

}  // namespace platform::gl
