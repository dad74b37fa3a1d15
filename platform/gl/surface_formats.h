// Which surface formats the OpenGL device takes, in the terms of the
// graphics interfaces and without any OpenGL header, so that the capability
// rules (gl_device_rules.h) answer the same on every system. How each of
// them maps onto OpenGL is gl_formats.h's part.
#pragma once

#include <cstdint>

#include "platform/graphics_types.h"

namespace platform::gl {

// A desktop format a window can show: 32-bit, 565 or 555, without alpha.
bool is_display_format(Format format);
// A format the device draws into.
bool is_render_target_format(Format format);
// A format a texture can have.
bool is_texture_format(Format format);
// A format the automatic depth (and stencil) buffer can have.
bool is_depth_format(Format format);
// Bytes per index of an index format; 0 for any other format.
uint32_t index_size(Format format);

}  // namespace platform::gl
