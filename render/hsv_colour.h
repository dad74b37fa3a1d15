// Colour from hue, saturation and value: the body's colour is given this way.
#pragma once

namespace render {

struct Rgb {
    float r, g, b;  // 0..1
};

// Hue in degrees (0 up to 360), saturation and value in 0..1. A hue whose
// sixth lies outside 0..5 gives black.
Rgb hsv_to_rgb(double hue, double saturation, double value);

}  // namespace render
