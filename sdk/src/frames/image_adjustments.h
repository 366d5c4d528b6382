// What the camera's image controls do to the picture, as the frame generator takes it: plain
// values, independent of how a camera describes or stores its controls.
#pragma once

namespace lentra {

// What the camera's image controls do to the picture. Neutral values leave the pattern as drawn;
// values outside the ranges below are clamped to them (an unknown special effect is none).
struct ImageAdjustments {
    int brightness = 0;      // added to R, G and B, -255..255
    int contrast = 100;      // percent of the original contrast around mid-grey, 0..400
    int saturation = 100;    // percent of the original chroma, 0..400 (0 gives grey)
    int gamma = 100;         // gamma x 100, 10..1000 (100 = linear)
    bool flipHorizontal = false;
    bool flipVertical = false;
    int specialEffect = 0;   // 0 none, 1 monochrome, 2 negative, 3 sepia
    int jpegQuality = 85;    // MJPG quality, 1..100

    bool operator==(const ImageAdjustments& other) const;
    bool operator!=(const ImageAdjustments& other) const { return !(*this == other); }
};

}  // namespace lentra
