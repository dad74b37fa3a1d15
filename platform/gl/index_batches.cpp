#include "platform/gl/index_batches.h"

#include <algorithm>

namespace platform::gl {

namespace {

template <typename Index>
IndexBounds bounds_of(const Index* indices, uint32_t count) {
    if (count == 0) return IndexBounds{0, 0};
    Index lowest = indices[0], highest = indices[0];
    for (uint32_t i = 1; i < count; ++i) {
        lowest = std::min(lowest, indices[i]);
        highest = std::max(highest, indices[i]);
    }
    return IndexBounds{lowest, highest};
}

template <typename Index>
void rebase(const Index* indices, uint32_t count, Index lowest, Index* out) {
    for (uint32_t i = 0; i < count; ++i) out[i] = static_cast<Index>(indices[i] - lowest);
}

}  // namespace

IndexBounds index_bounds(const void* indices, uint32_t count, uint32_t index_size) {
    if (indices == nullptr) return IndexBounds{0, 0};
    if (index_size == 2) return bounds_of(static_cast<const uint16_t*>(indices), count);
    if (index_size == 4) return bounds_of(static_cast<const uint32_t*>(indices), count);
    return IndexBounds{0, 0};
}

uint32_t indices_per_batch(PrimitiveType type) {
    switch (type) {
        case PrimitiveType::LineList: return kIndicesPerPass / 2 * 2;
        case PrimitiveType::TriangleList: return kIndicesPerPass / 3 * 3;
    }
    return 0;
}

void rebase_indices(const void* indices, uint32_t count, uint32_t index_size, uint32_t lowest, void* out) {
    if (index_size == 2) {
        rebase(static_cast<const uint16_t*>(indices), count, static_cast<uint16_t>(lowest),
               static_cast<uint16_t*>(out));
    } else if (index_size == 4) {
        rebase(static_cast<const uint32_t*>(indices), count, lowest, static_cast<uint32_t*>(out));
    }
}

}  // namespace platform::gl
