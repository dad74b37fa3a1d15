// The rings the device streams what it draws from memory through: vertices,
// indices and uniform blocks. Each append goes behind the previous one, at
// the next multiple of its alignment, and one that does not fit starts the
// ring again at its front.
//
// A ring mapped for good is written with plain copies, while the driver may
// still read what earlier draws put there: the ring is cut into sections,
// each one gets a fence as writing leaves it, and a section is written again
// only after its fence has signalled (the draws that read it are done). A
// ring the driver cannot map is written with glBufferSubData and gets fresh
// storage each time it starts again (the driver keeps the old storage for
// the draws that still read it).
#pragma once

#include "platform/gl/gl_api.h"

#include <cstdint>

namespace platform::gl {

inline constexpr uint32_t kRingSections = 4;

// How a ring mapped for good follows the driver: a fence set behind the
// commands issued so far, a wait until the commands before a fence are done
// (which then lets it go), and letting one go without waiting. The device
// passes OpenGL's (gl_ring_fences()); the tests pass fakes.
struct RingFences {
    void* (*set)(void* context);
    void (*wait)(void* context, void* fence);
    void (*drop)(void* context, void* fence);
    void* context;
};

struct StreamRing {
    GLuint buffer;
    uint32_t capacity;            // bytes
    uint32_t used;                // bytes from the front taken by the appends since the ring was last fresh
    uint8_t* mapped;              // the whole buffer, mapped for good (null: written by glBufferSubData)
    void* fences[kRingSections];  // per section: set when writing left it, met before writing it again
    uint32_t open_section;        // first section written since writing last left one
};

// OpenGL's fences: glFenceSync, glClientWaitSync, glDeleteSync.
const RingFences& gl_ring_fences();

// Gives `ring` storage of `capacity` bytes on `target` (bound there): mapped
// for good when `persistent` and the driver can, so that appending is a
// plain copy.
bool create_ring(GLenum target, StreamRing& ring, uint32_t capacity, bool persistent);
void delete_ring(StreamRing& ring);

// Copies `bytes` into `ring` and answers their offset. A ring smaller than
// `bytes` grows first; a mapped one is then replaced by another buffer, so
// whatever pointed at the old one must be set again.
uint32_t append_to_ring(GLenum target, StreamRing& ring, const void* data, uint32_t bytes, uint32_t alignment);

// Where `bytes` go: at the next multiple of `alignment` behind what the ring
// holds, or at its front when they do not fit there (`wraps`).
struct RingPlace {
    uint32_t offset;  // bytes
    bool wraps;
};
RingPlace ring_place(const StreamRing& ring, uint32_t bytes, uint32_t alignment);

// The append of a ring mapped for good (`bytes` at most its capacity):
// fences the sections writing leaves, waits for the fences of the sections
// it writes, copies and answers the offset.
uint32_t write_mapped_ring(StreamRing& ring, const void* data, uint32_t bytes, uint32_t alignment,
                           const RingFences& fences);

}  // namespace platform::gl
