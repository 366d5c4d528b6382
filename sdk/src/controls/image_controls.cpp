#include "controls/image_controls.h"

#include <algorithm>
#include <optional>

namespace lentra {

namespace {

using IP = LX_ISP_IMAGE_PROPERTIES;
using UP = LX_UVC_IMAGE_PROPERTIES;

std::size_t at(IP p) { return static_cast<std::size_t>(p); }
std::size_t at(UP p) { return static_cast<std::size_t>(p); }

struct Reading {
    int32_t value;
    int32_t def;
};

// The control's value and default: the ISP control, else the UVC one, else nothing.
std::optional<Reading> read(const DeviceDescription& d, const ControlValues& v, IP isp,
                            std::optional<UP> uvc = std::nullopt) {
    if (d.ispControls[at(isp)].present) return Reading{v.isp[at(isp)], d.ispControls[at(isp)].def};
    if (uvc && d.uvcControls[at(*uvc)].present)
        return Reading{v.uvc[at(*uvc)], d.uvcControls[at(*uvc)].def};
    return std::nullopt;
}

int percentOfDefault(const Reading& r, int lo, int hi) {
    const int64_t percent = r.def > 0 ? int64_t{100} * r.value / r.def : int64_t{100} + r.value - r.def;
    return static_cast<int>(std::clamp<int64_t>(percent, lo, hi));
}

}  // namespace

ControlValues ControlValues::initial(const DeviceDescription& device) {
    ControlValues v;
    for (std::size_t i = 0; i < kIspPropertyCount; ++i) v.isp[i] = device.ispControls[i].value;
    for (std::size_t i = 0; i < kUvcPropertyCount; ++i) v.uvc[i] = device.uvcControls[i].value;
    return v;
}

ImageAdjustments imageAdjustmentsFor(const DeviceDescription& d, const ControlValues& v) {
    ImageAdjustments adj;
    if (auto r = read(d, v, IP::ISP_IMAGE_BRIGHTNESS, UP::UVC_IMAGE_BRIGHTNESS))
        adj.brightness = static_cast<int>(std::clamp<int64_t>(int64_t{r->value} - r->def, -255, 255));
    if (auto r = read(d, v, IP::ISP_IMAGE_CONTRAST, UP::UVC_IMAGE_CONTRAST))
        adj.contrast = percentOfDefault(*r, 0, 400);
    if (auto r = read(d, v, IP::ISP_IMAGE_SATURATION, UP::UVC_IMAGE_SATURATION))
        adj.saturation = percentOfDefault(*r, 0, 400);
    if (auto r = read(d, v, IP::ISP_IMAGE_GAMMA, UP::UVC_IMAGE_GAMMA))
        adj.gamma = percentOfDefault(*r, 10, 1000);
    if (auto r = read(d, v, IP::ISP_IMAGE_FLIP_MODE)) {
        adj.flipHorizontal = (r->value & 1) != 0;
        adj.flipVertical = (r->value & 2) != 0;
    }
    if (auto r = read(d, v, IP::ISP_IMAGE_SPECIAL_EFFECT_MODE)) {
        static constexpr int effects[] = {0, 1, 1, 2, 3};  // none, mono, mono, negative, sepia
        adj.specialEffect = (r->value >= 0 && r->value < 5) ? effects[r->value] : 0;
    }
    if (auto r = read(d, v, IP::ISP_IMAGE_JPEG_QUALITY))
        adj.jpegQuality = std::clamp<int32_t>(r->value, 1, 100);
    return adj;
}

}  // namespace lentra
