#include "description/family_defaults.h"

namespace lentra {

namespace {

using IP = LX_ISP_IMAGE_PROPERTIES;
using UP = LX_UVC_IMAGE_PROPERTIES;
using PT = LX_CAMERA_PRODUCT_TYPE;

struct IspRow {
    IP property;
    ControlDescription control;  // present, min, max, step, default, read-only, value
};

ControlDescription c(int32_t min, int32_t max, int32_t step, int32_t def, bool readOnly = false) {
    return ControlDescription{true, min, max, step, def, readOnly, def};
}

// The ISP set every camera of the maker has.
const IspRow kCommonIsp[] = {
    {IP::ISP_IMAGE_BRIGHTNESS, c(0, 255, 1, 128)},
    {IP::ISP_IMAGE_CONTRAST, c(0, 255, 1, 128)},
    {IP::ISP_IMAGE_SATURATION, c(0, 255, 1, 128)},
    {IP::ISP_IMAGE_WHITEBALANCE_MODE, c(0, 1, 1, 1)},
    {IP::ISP_IMAGE_WHITEBALANCE_TEMPERATURE, c(2800, 6500, 100, 5000)},
    {IP::ISP_IMAGE_EXPOSURE_MODE, c(0, 2, 1, 1)},
    {IP::ISP_IMAGE_EXPOSURE_TIME, c(1, 33000, 1, 10000)},
    {IP::ISP_IMAGE_EXPOSURE_MIN_TIME, c(1, 33000, 1, 1, true)},
    {IP::ISP_IMAGE_EXPOSURE_MAX_TIME, c(1, 33000, 1, 33000, true)},
    {IP::ISP_IMAGE_EXPOSURE_GAIN, c(1, 64, 1, 1)},
    {IP::ISP_IMAGE_GAMMA, c(100, 300, 1, 220)},
    {IP::ISP_IMAGE_SHARPNESS, c(0, 100, 1, 50)},
    {IP::ISP_IMAGE_BACKLIGHT_COMPENSATION, c(0, 10, 1, 0)},
    {IP::ISP_IMAGE_SPECIAL_EFFECT_MODE, c(0, 4, 1, 0)},
    {IP::ISP_IMAGE_DENOISE, c(0, 100, 1, 20)},
    {IP::ISP_IMAGE_FLIP_MODE, c(0, 3, 1, 0)},
    {IP::ISP_IMAGE_PAN, c(-100, 100, 1, 0)},
    {IP::ISP_IMAGE_TILT, c(-100, 100, 1, 0)},
    {IP::ISP_IMAGE_ZOOM, c(100, 800, 1, 100)},
    {IP::ISP_IMAGE_FLICK_MODE, c(0, 3, 1, 3)},
    {IP::ISP_IMAGE_JPEG_QUALITY, c(1, 100, 1, 85)},
};

const IspRow kEhdrIsp[] = {
    {IP::ISP_IMAGE_FLASH_MODE, c(0, 1, 1, 1)},
    {IP::ISP_IMAGE_EHDR_MODE, c(0, 1, 1, 1)},
    {IP::ISP_EHDR_EXPOSURE_MIN_NUMBER, c(1, 4, 1, 1)},
    {IP::ISP_EHDR_EXPOSURE_MAX_NUMBER, c(1, 4, 1, 4)},
    {IP::ISP_EHDR_RATIO_MIN, c(1, 16, 1, 4)},
    {IP::ISP_EHDR_RATIO_MAX, c(1, 16, 1, 16)},
    {IP::ISP_EHDR_ATM_WEIGHT, c(0, 100, 1, 50)},
    {IP::ISP_EHDR_ATM_MAX, c(0, 255, 1, 200)},
};

const IspRow kMipiIsp[] = {
    {IP::ISP_IMAGE_TRIGGER_MODE, c(0, 3, 1, 0)},
    {IP::ISP_IMAGE_IMU_MODE, c(0, 2, 1, 0)},
};

// A plain UVC webcam's controls.
const std::pair<UP, ControlDescription> kWebcamUvc[] = {
    {UP::UVC_IMAGE_BRIGHTNESS, c(-64, 64, 1, 0)},
    {UP::UVC_IMAGE_CONTRAST, c(0, 64, 1, 32)},
    {UP::UVC_IMAGE_HUE, c(-40, 40, 1, 0)},
    {UP::UVC_IMAGE_SATURATION, c(0, 128, 1, 64)},
    {UP::UVC_IMAGE_SHARPNESS, c(0, 6, 1, 3)},
    {UP::UVC_IMAGE_GAMMA, c(72, 500, 1, 100)},
    {UP::UVC_IMAGE_WHITEBALANCE, c(2800, 6500, 10, 4600)},
    {UP::UVC_IMAGE_BACKLIGHT_COMPENSATION, c(0, 2, 1, 1)},
    {UP::UVC_IMAGE_GAIN, c(0, 100, 1, 0)},
    {UP::UVC_IMAGE_EXPOSURE, c(1, 5000, 1, 156)},
};

// UVC properties that measure the same quantity as an ISP control.
const std::pair<UP, IP> kTwins[] = {
    {UP::UVC_IMAGE_BRIGHTNESS, IP::ISP_IMAGE_BRIGHTNESS},
    {UP::UVC_IMAGE_CONTRAST, IP::ISP_IMAGE_CONTRAST},
    {UP::UVC_IMAGE_SATURATION, IP::ISP_IMAGE_SATURATION},
    {UP::UVC_IMAGE_SHARPNESS, IP::ISP_IMAGE_SHARPNESS},
    {UP::UVC_IMAGE_GAMMA, IP::ISP_IMAGE_GAMMA},
    {UP::UVC_IMAGE_WHITEBALANCE, IP::ISP_IMAGE_WHITEBALANCE_TEMPERATURE},
    {UP::UVC_IMAGE_BACKLIGHT_COMPENSATION, IP::ISP_IMAGE_BACKLIGHT_COMPENSATION},
    {UP::UVC_IMAGE_GAIN, IP::ISP_IMAGE_EXPOSURE_GAIN},
    {UP::UVC_IMAGE_PAN, IP::ISP_IMAGE_PAN},
    {UP::UVC_IMAGE_TILT, IP::ISP_IMAGE_TILT},
    {UP::UVC_IMAGE_ZOOM, IP::ISP_IMAGE_ZOOM},
    {UP::UVC_IMAGE_EXPOSURE, IP::ISP_IMAGE_EXPOSURE_TIME},
};

template <std::size_t N>
void add(IspControlDescriptions& out, const IspRow (&rows)[N]) {
    for (const IspRow& row : rows) out[static_cast<std::size_t>(row.property)] = row.control;
}

}  // namespace

FamilyDefaults familyDefaults(PT family, LX_CAMERA_INTERFACE_TYPE interface, bool lentra) {
    FamilyDefaults d;
    const bool usb = interface == LX_CAMERA_INTERFACE_TYPE::INTERFACE_USB;
    switch (family) {
        case PT::LXCAM_PRODUCT_TYPE_KAVL:
        case PT::LXCAM_PRODUCT_TYPE_KAVR:
        case PT::LXCAM_PRODUCT_TYPE_KAVN:
        case PT::LXCAM_PRODUCT_TYPE_OV5640:
            if (!lentra) break;
            add(d.isp, kCommonIsp);
            if (family == PT::LXCAM_PRODUCT_TYPE_KAVL || family == PT::LXCAM_PRODUCT_TYPE_KAVR)
                add(d.isp, kEhdrIsp);
            if (!usb) add(d.isp, kMipiIsp);
            if (usb)  // seen through UVC; the ISP control gives range and value
                for (const auto& twin : kTwins) d.uvc[static_cast<std::size_t>(twin.first)].present = true;
            d.maxFps = 60;
            d.throughput = family == PT::LXCAM_PRODUCT_TYPE_KAVL ? 500 : 1000;
            d.ospProfile = OspProfileDescription{};
            break;
        case PT::LXCAM_PRODUCT_TYPE_GENERIC_CAMERA:
            if (usb)
                for (const auto& [p, control] : kWebcamUvc) d.uvc[static_cast<std::size_t>(p)] = control;
            break;
        default:  // recovery and non-cameras: no controls
            break;
    }
    return d;
}

}  // namespace lentra

namespace lentra {

std::optional<LX_ISP_IMAGE_PROPERTIES> ispTwinOf(LX_UVC_IMAGE_PROPERTIES property) {
    for (const auto& [uvc, isp] : kTwins)
        if (uvc == property) return isp;
    return std::nullopt;
}

}  // namespace lentra
