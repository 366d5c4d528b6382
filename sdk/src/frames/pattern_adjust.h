// What the image controls do to a colour of the test pattern. Every step is integer arithmetic
// (gamma goes through a table made once), so that sdk/docs/test-pattern.md can state the exact
// result and a test can reproduce it byte for byte.
#pragma once

#include <array>
#include <cstdint>

#include "frames/image_adjustments.h"
#include "frames/pixel_format.h"

namespace lentra {

// The adjustments with every value brought inside its documented range (unknown special
// effects become none).
ImageAdjustments clampedAdjustments(const ImageAdjustments& adj);

class ColourAdjuster {
public:
    explicit ColourAdjuster(const ImageAdjustments& adj);
    // Contrast, brightness, saturation, gamma, then the special effect, in that order.
    Rgb operator()(Rgb colour) const;

private:
    ImageAdjustments adj_;
    std::array<uint8_t, 256> gamma_{};
};

}  // namespace lentra
