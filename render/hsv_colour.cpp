#include "render/hsv_colour.h"

namespace render {

Rgb hsv_to_rgb(double hue, double saturation, double value) {
    if (saturation == 0.0) {
        const float v = static_cast<float>(value);
        return Rgb{v, v, v};
    }
    const double sector = hue / 60.0;
    // Sixths outside 0..5 are black; checked before the conversion to an
    // integer, which is undefined for values out of its range.
    if (!(sector > -1.0 && sector < 6.0)) {
        return Rgb{0.0f, 0.0f, 0.0f};
    }
    const int i = static_cast<int>(sector);
    const double q = sector - static_cast<double>(i);
    const float v = static_cast<float>(value);
    const float p = static_cast<float>(value * (1.0 - saturation));
    const float falling = static_cast<float>(value * (1.0 - saturation * q));
    const float rising = static_cast<float>(value * (1.0 - saturation * (1.0 - q)));
    switch (i) {
        case 0:
            return Rgb{v, rising, p};
        case 1:
            return Rgb{falling, v, p};
        case 2:
            return Rgb{p, v, rising};
        case 3:
            return Rgb{p, falling, v};
        case 4:
            return Rgb{rising, p, v};
        case 5:
            return Rgb{v, p, falling};
        default:
            return Rgb{0.0f, 0.0f, 0.0f};
    }
}

}  // namespace render
