// What a camera's control values do to its frames (ControlsModel::imageAdjustments), kept apart
// from the model's bookkeeping. sdk/docs/test-pattern.md documents each rule.
#include "controls/controls_model.h"

#include <algorithm>

namespace lentra {

namespace {

using IP = LX_ISP_IMAGE_PROPERTIES;
using UP = LX_UVC_IMAGE_PROPERTIES;

int percentIn(const ControlsModel::Quantity& q, int lo, int hi) {
    return std::clamp(percentOfDefault(q.value, q.def), lo, hi);
}

}  // namespace

// Each control acts relative to its default, so a camera at its defaults shows the undistorted
// pattern whatever ranges it declares. ISP controls come first; a camera without an ISP control
// of a kind (a plain UVC webcam) uses its UVC control of that kind.
ImageAdjustments ControlsModel::imageAdjustments() const {
    ImageAdjustments adj;
    // Exposure and gain as the sensor has them now (auto exposure moves them frame by frame).
    int64_t level = 100;
    if (auto time = exposureTime(); time && exposure_)
        level = level * percentOfDefault(static_cast<int32_t>(std::min<uint32_t>(*exposure_, 0x7FFFFFFF)), time->def) / 100;
    if (auto gain = gainControl(); gain && gain_) level = level * percentOfDefault(*gain_, gain->def) / 100;
    adj.level = static_cast<int>(std::clamp<int64_t>(level, 0, 1000));

    const bool manualWhiteBalance = isp(IP::ISP_IMAGE_WHITEBALANCE_MODE).value_or(0) == 0;
    if (auto t = quantity(IP::ISP_IMAGE_WHITEBALANCE_TEMPERATURE, UP::UVC_IMAGE_WHITEBALANCE);
        t && manualWhiteBalance)
        adj.warmth = static_cast<int>(std::clamp<int64_t>((int64_t{t->value} - t->def) / 20, -128, 127));
    if (auto q = quantity(IP::ISP_IMAGE_BRIGHTNESS, UP::UVC_IMAGE_BRIGHTNESS))
        adj.brightness = static_cast<int>(std::clamp<int64_t>(int64_t{q->value} - q->def, -255, 255));
    if (auto q = quantity(IP::ISP_IMAGE_CONTRAST, UP::UVC_IMAGE_CONTRAST)) adj.contrast = percentIn(*q, 0, 400);
    if (auto q = quantity(IP::ISP_IMAGE_SATURATION, UP::UVC_IMAGE_SATURATION))
        adj.saturation = percentIn(*q, 0, 400);
    if (auto q = quantity(IP::ISP_IMAGE_GAMMA, UP::UVC_IMAGE_GAMMA)) adj.gamma = percentIn(*q, 10, 1000);
    if (auto v = isp(IP::ISP_IMAGE_FLIP_MODE)) {
        adj.flipHorizontal = (*v & 1) != 0;
        adj.flipVertical = (*v & 2) != 0;
    }
    if (auto v = isp(IP::ISP_IMAGE_SPECIAL_EFFECT_MODE)) adj.specialEffect = (*v >= 0 && *v <= 4) ? *v : 0;
    if (auto q = quantity(IP::ISP_IMAGE_ZOOM, UP::UVC_IMAGE_ZOOM)) adj.zoom = percentIn(*q, 100, 800);
    if (auto q = quantity(IP::ISP_IMAGE_PAN, UP::UVC_IMAGE_PAN))
        adj.pan = static_cast<int>(std::clamp<int64_t>(int64_t{q->value} - q->def, -100, 100));
    if (auto q = quantity(IP::ISP_IMAGE_TILT, UP::UVC_IMAGE_TILT))
        adj.tilt = static_cast<int>(std::clamp<int64_t>(int64_t{q->value} - q->def, -100, 100));
    if (auto v = isp(IP::ISP_IMAGE_JPEG_QUALITY)) adj.jpegQuality = std::clamp<int32_t>(*v, 1, 100);
    return adj;
}

}  // namespace lentra
