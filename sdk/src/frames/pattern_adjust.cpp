#include "frames/pattern_adjust.h"

#include <algorithm>
#include <cmath>

namespace lentra {

namespace {

int clip8(int v) { return std::clamp(v, 0, 255); }

// Rounded a / 100 with halves rounded up, for negative a as well (C++ division truncates).
int roundedPercent(int a) {
    const int shifted = a + 50;
    return shifted >= 0 ? shifted / 100 : -((-shifted + 99) / 100);
}

int lumaOf(int r, int g, int b) { return (77 * r + 150 * g + 29 * b + 128) >> 8; }

}  // namespace

ImageAdjustments clampedAdjustments(const ImageAdjustments& adj) {
    ImageAdjustments c = adj;
    c.brightness = std::clamp(adj.brightness, -255, 255);
    c.contrast = std::clamp(adj.contrast, 0, 400);
    c.saturation = std::clamp(adj.saturation, 0, 400);
    c.gamma = std::clamp(adj.gamma, 10, 1000);
    c.specialEffect = (adj.specialEffect >= 0 && adj.specialEffect <= 3) ? adj.specialEffect : 0;
    c.jpegQuality = std::clamp(adj.jpegQuality, 1, 100);
    return c;
}

ColourAdjuster::ColourAdjuster(const ImageAdjustments& adj) : adj_(clampedAdjustments(adj)) {
    const double exponent = 100.0 / adj_.gamma;
    for (int v = 0; v < 256; ++v)
        gamma_[size_t(v)] = static_cast<uint8_t>(
            clip8(int(std::floor(255.0 * std::pow(v / 255.0, exponent) + 0.5))));
}

Rgb ColourAdjuster::operator()(Rgb colour) const {
    int c[3] = {colour.r, colour.g, colour.b};
    for (int& v : c) v = clip8(128 + roundedPercent((v - 128) * adj_.contrast));
    for (int& v : c) v = clip8(v + adj_.brightness);
    const int grey = lumaOf(c[0], c[1], c[2]);
    for (int& v : c) v = clip8(grey + roundedPercent((v - grey) * adj_.saturation));
    for (int& v : c) v = gamma_[size_t(v)];

    const int luma = lumaOf(c[0], c[1], c[2]);
    switch (adj_.specialEffect) {
        case 1:  // monochrome
            c[0] = c[1] = c[2] = luma;
            break;
        case 2:  // negative
            for (int& v : c) v = 255 - v;
            break;
        case 3:  // sepia: a warm tint of the luma
            c[0] = std::min(255, luma + 32);
            c[1] = luma;
            c[2] = std::max(0, luma - 32);
            break;
        default:
            break;
    }
    return Rgb{uint8_t(c[0]), uint8_t(c[1]), uint8_t(c[2])};
}

}  // namespace lentra
