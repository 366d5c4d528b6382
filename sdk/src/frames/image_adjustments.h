// What the camera's image controls do to the picture, as the frame generator takes it: plain
// values, independent of how a camera describes or stores its controls.
#pragma once

namespace lentra {

// What the camera's image controls do to the picture. Neutral values leave the pattern as drawn;
// values outside the ranges below are clamped to them (an unknown special effect is none).
struct ImageAdjustments {
    int level = 100;         // exposure x gain, percent of the reference level, 0..1000
    int warmth = 0;          // white-balance cast: added to R, taken from B, -128..127
    int brightness = 0;      // added to R, G and B, -255..255
    int contrast = 100;      // percent of the original contrast around mid-grey, 0..400
    int saturation = 100;    // percent of the original chroma, 0..400 (0 gives grey)
    int gamma = 100;         // gamma x 100, 10..1000 (100 = linear)
    bool flipHorizontal = false;
    bool flipVertical = false;
    // Numbered as ISP_IMAGE_SPECIAL_EFFECT_MODE is: 0 normal, 1 black and white, 2 greyscale,
    // 3 negative, 4 sketch.
    int specialEffect = 0;
    int zoom = 100;          // percent, 100..800: a centred crop of 100/zoom of each side
    int pan = 0;             // where the crop sits in the room zoom leaves, -100 (left)..100
    int tilt = 0;            // -100 (bottom)..100 (top)
    int jpegQuality = 85;    // MJPG quality, 1..100

    bool operator==(const ImageAdjustments& other) const;
    bool operator!=(const ImageAdjustments& other) const { return !(*this == other); }
};

}  // namespace lentra
