#pragma once
// Indexed draws from memory, cut into batches a software driver takes in
// one pass: a batch that holds at most kIndicesPerPass indices, gives its
// index range and starts that range at 0 has each of its vertices
// transformed once, where any other draw is cut by the driver into passes
// of a few hundred vertices, each with its own transformation and its own
// allocation.

#include <cstdint>

#include "platform/graphics_types.h"

namespace platform::gl {

// Indices the driver transforms in one pass at most.
inline constexpr uint32_t kIndicesPerPass = 4096;

// The lowest and highest index values of a draw, both included.
struct IndexBounds {
    uint32_t lowest;   // smallest index value
    uint32_t highest;  // largest index value
};

// Bounds of `count` indices of `index_size` bytes (2 or 4); {0, 0} when
// there are none.
IndexBounds index_bounds(const void* indices, uint32_t count, uint32_t index_size);

// Indices per batch for primitives of `type`: the largest whole number of
// primitives within kIndicesPerPass; 0 for a type that is not a list.
uint32_t indices_per_batch(PrimitiveType type);

// Copies `count` indices of `index_size` bytes (2 or 4) to `out`, less
// `lowest`: a batch whose smallest index is 0 is taken whole by the driver,
// and its base vertex adds `lowest` back.
void rebase_indices(const void* indices, uint32_t count, uint32_t index_size, uint32_t lowest, void* out);

}  // namespace platform::gl
