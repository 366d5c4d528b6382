// The SDK's sixteen enumerations. They are strict (a member equals only members of its own
// enumeration) because the SDK's enumerations are scoped, and every member is also exported as a
// module attribute; exports run in registration order, so a later enumeration's member wins a
// shared name (DISABLE ends up as the IMU mode).
#include <initializer_list>
#include <utility>

#include "bindings.h"

namespace lentra_binding {
namespace {

template <typename E>
using Members = std::initializer_list<std::pair<const char*, E>>;

template <typename E>
void bind_enum(py::module_& m, const char* name, Members<E> members, const char* doc = nullptr) {
    py::enum_<E> e = doc ? py::enum_<E>(m, name, doc) : py::enum_<E>(m, name);
    for (const auto& member : members) {
        e.value(member.first, member.second);
    }
    e.export_values();
}

}  // namespace

void init_device_enums(py::module_& m) {
    using L = LX_LOG_LEVEL;
    bind_enum<L>(m, "LX_LOG_LEVEL",
                 {{"LX_LOG_LEVEL_TRACE", L::LX_LOG_LEVEL_TRACE},
                  {"LX_LOG_LEVEL_DEBUG", L::LX_LOG_LEVEL_DEBUG},
                  {"LX_LOG_LEVEL_INFO", L::LX_LOG_LEVEL_INFO},
                  {"LX_LOG_LEVEL_WARN", L::LX_LOG_LEVEL_WARN},
                  {"LX_LOG_LEVEL_ERROR", L::LX_LOG_LEVEL_ERROR},
                  {"LX_LOG_LEVEL_CRITICAL", L::LX_LOG_LEVEL_CRITICAL},
                  {"LX_LOG_LEVEL_OFF", L::LX_LOG_LEVEL_OFF}});

    using P = LX_CAMERA_PRODUCT_TYPE;
    bind_enum<P>(m, "LX_CAMERA_PRODUCT_TYPE",
                 {{"LXCAM_PRODUCT_TYPE_NONE_CAMERA", P::LXCAM_PRODUCT_TYPE_NONE_CAMERA},
                  {"LXCAM_PRODUCT_TYPE_GENERIC_CAMERA", P::LXCAM_PRODUCT_TYPE_GENERIC_CAMERA},
                  {"LXCAM_PRODUCT_TYPE_KAVR", P::LXCAM_PRODUCT_TYPE_KAVR},
                  {"LXCAM_PRODUCT_TYPE_KAVL", P::LXCAM_PRODUCT_TYPE_KAVL},
                  {"LXCAM_PRODUCT_TYPE_OV5640", P::LXCAM_PRODUCT_TYPE_OV5640},
                  {"LXCAM_PRODUCT_TYPE_KAVN", P::LXCAM_PRODUCT_TYPE_KAVN},
                  {"LXCAM_PRODUCT_TYPE_RECOVERY", P::LXCAM_PRODUCT_TYPE_RECOVERY}});

    using C = LX_CAPTURE_RESULT;
    bind_enum<C>(m, "LX_CAPTURE_RESULT",
                 {{"LX_SUCCESS", C::LX_SUCCESS},
                  {"LX_TIMEOUT", C::LX_TIMEOUT},
                  {"LX_CAM_OCCUPIED", C::LX_CAM_OCCUPIED},
                  {"LX_BUFFER_CORRUPTED", C::LX_BUFFER_CORRUPTED},
                  {"LX_OTHER_ERROR", C::LX_OTHER_ERROR}});

    using I = LX_CAMERA_INTERFACE_TYPE;
    bind_enum<I>(m, "LX_CAMERA_INTERFACE_TYPE",
                 {{"INTERFACE_USB", I::INTERFACE_USB},
                  {"INTERFACE_MIPI_CSI2", I::INTERFACE_MIPI_CSI2},
                  {"INTERFACE_ETHERNET", I::INTERFACE_ETHERNET}});

    using S = LX_USB_DEVICE_SPEED;
    bind_enum<S>(m, "LX_USB_DEVICE_SPEED",
                 {{"USB_DEVICE_SPEED_LOW", S::USB_DEVICE_SPEED_LOW},
                  {"USB_DEVICE_SPEED_FULL", S::USB_DEVICE_SPEED_FULL},
                  {"USB_DEVICE_SPEED_HIGH", S::USB_DEVICE_SPEED_HIGH},
                  {"USB_DEVICE_SPEED_SUPER", S::USB_DEVICE_SPEED_SUPER},
                  {"USB_DEVICE_SPEED_SUPER_PLUS", S::USB_DEVICE_SPEED_SUPER_PLUS},
                  {"USB_DEVICE_SPEED_UNKNOWN", S::USB_DEVICE_SPEED_UNKNOWN}});
}

void init_image_format_enum(py::module_& m) {
    using F = LX_IMAGE_FORMAT;
    bind_enum<F>(m, "LX_IMAGE_FORMAT",
                 {{"LX_IMAGE_FORMAT_MJPG", F::LX_IMAGE_FORMAT_MJPG},
                  {"LX_IMAGE_FORMAT_UYVY", F::LX_IMAGE_FORMAT_UYVY},
                  {"LX_IMAGE_FORMAT_YUY2", F::LX_IMAGE_FORMAT_YUY2},
                  {"LX_IMAGE_FORMAT_NV12", F::LX_IMAGE_FORMAT_NV12},
                  {"LX_IMAGE_FORMAT_BGRA", F::LX_IMAGE_FORMAT_BGRA},
                  {"LX_IMAGE_FORMAT_BGRX", F::LX_IMAGE_FORMAT_BGRX},
                  {"LX_IMAGE_FORMAT_BGR", F::LX_IMAGE_FORMAT_BGR},
                  {"LX_IMAGE_FORMAT_RGB16", F::LX_IMAGE_FORMAT_RGB16},
                  {"LX_IMAGE_FORMAT_RGB", F::LX_IMAGE_FORMAT_RGB},
                  {"LX_IMAGE_FORMAT_NONE", F::LX_IMAGE_FORMAT_NONE}});
}

void init_control_enums(py::module_& m) {
    using U = LX_UVC_IMAGE_PROPERTIES;
    bind_enum<U>(m, "LX_UVC_IMAGE_PROPERTIES",
                 {{"UVC_IMAGE_BRIGHTNESS", U::UVC_IMAGE_BRIGHTNESS},
                  {"UVC_IMAGE_CONTRAST", U::UVC_IMAGE_CONTRAST},
                  {"UVC_IMAGE_HUE", U::UVC_IMAGE_HUE},
                  {"UVC_IMAGE_SATURATION", U::UVC_IMAGE_SATURATION},
                  {"UVC_IMAGE_SHARPNESS", U::UVC_IMAGE_SHARPNESS},
                  {"UVC_IMAGE_GAMMA", U::UVC_IMAGE_GAMMA},
                  {"UVC_IMAGE_COLORENABLE", U::UVC_IMAGE_COLORENABLE},
                  {"UVC_IMAGE_WHITEBALANCE", U::UVC_IMAGE_WHITEBALANCE},
                  {"UVC_IMAGE_BACKLIGHT_COMPENSATION", U::UVC_IMAGE_BACKLIGHT_COMPENSATION},
                  {"UVC_IMAGE_GAIN", U::UVC_IMAGE_GAIN},
                  {"UVC_IMAGE_PAN", U::UVC_IMAGE_PAN},
                  {"UVC_IMAGE_TILT", U::UVC_IMAGE_TILT},
                  {"UVC_IMAGE_ROLL", U::UVC_IMAGE_ROLL},
                  {"UVC_IMAGE_ZOOM", U::UVC_IMAGE_ZOOM},
                  {"UVC_IMAGE_EXPOSURE", U::UVC_IMAGE_EXPOSURE},
                  {"UVC_IMAGE_IRIS", U::UVC_IMAGE_IRIS},
                  {"UVC_IMAGE_FOCUS", U::UVC_IMAGE_FOCUS},
                  {"UVC_IMAGE_PROP_MAX", U::UVC_IMAGE_PROP_MAX}});

    using I = LX_ISP_IMAGE_PROPERTIES;
    bind_enum<I>(m, "LX_ISP_IMAGE_PROPERTIES",
                 {{"ISP_IMAGE_BRIGHTNESS", I::ISP_IMAGE_BRIGHTNESS},
                  {"ISP_IMAGE_CONTRAST", I::ISP_IMAGE_CONTRAST},
                  {"ISP_IMAGE_SATURATION", I::ISP_IMAGE_SATURATION},
                  {"ISP_IMAGE_WHITEBALANCE_MODE", I::ISP_IMAGE_WHITEBALANCE_MODE},
                  {"ISP_IMAGE_WHITEBALANCE_TEMPERATURE", I::ISP_IMAGE_WHITEBALANCE_TEMPERATURE},
                  {"ISP_IMAGE_EXPOSURE_MODE", I::ISP_IMAGE_EXPOSURE_MODE},
                  {"ISP_IMAGE_EXPOSURE_TIME", I::ISP_IMAGE_EXPOSURE_TIME},
                  {"ISP_IMAGE_EXPOSURE_MIN_TIME", I::ISP_IMAGE_EXPOSURE_MIN_TIME},
                  {"ISP_IMAGE_EXPOSURE_MAX_TIME", I::ISP_IMAGE_EXPOSURE_MAX_TIME},
                  {"ISP_IMAGE_EXPOSURE_GAIN", I::ISP_IMAGE_EXPOSURE_GAIN},
                  {"ISP_IMAGE_GAMMA", I::ISP_IMAGE_GAMMA},
                  {"ISP_IMAGE_SHARPNESS", I::ISP_IMAGE_SHARPNESS},
                  {"ISP_IMAGE_BACKLIGHT_COMPENSATION", I::ISP_IMAGE_BACKLIGHT_COMPENSATION},
                  {"ISP_IMAGE_SPECIAL_EFFECT_MODE", I::ISP_IMAGE_SPECIAL_EFFECT_MODE},
                  {"ISP_IMAGE_DENOISE", I::ISP_IMAGE_DENOISE},
                  {"ISP_IMAGE_FLIP_MODE", I::ISP_IMAGE_FLIP_MODE},
                  {"ISP_IMAGE_PAN", I::ISP_IMAGE_PAN},
                  {"ISP_IMAGE_TILT", I::ISP_IMAGE_TILT},
                  {"ISP_IMAGE_ZOOM", I::ISP_IMAGE_ZOOM},
                  {"ISP_IMAGE_FLICK_MODE", I::ISP_IMAGE_FLICK_MODE},
                  {"ISP_IMAGE_JPEG_QUALITY", I::ISP_IMAGE_JPEG_QUALITY},
                  {"ISP_IMAGE_TRIGGER_MODE", I::ISP_IMAGE_TRIGGER_MODE},
                  {"ISP_IMAGE_FLASH_MODE", I::ISP_IMAGE_FLASH_MODE},
                  {"ISP_IMAGE_EHDR_MODE", I::ISP_IMAGE_EHDR_MODE},
                  {"ISP_EHDR_EXPOSURE_MIN_NUMBER", I::ISP_EHDR_EXPOSURE_MIN_NUMBER},
                  {"ISP_EHDR_EXPOSURE_MAX_NUMBER", I::ISP_EHDR_EXPOSURE_MAX_NUMBER},
                  {"ISP_EHDR_RATIO_MIN", I::ISP_EHDR_RATIO_MIN},
                  {"ISP_EHDR_RATIO_MAX", I::ISP_EHDR_RATIO_MAX},
                  {"ISP_EHDR_ATM_WEIGHT", I::ISP_EHDR_ATM_WEIGHT},
                  {"ISP_EHDR_ATM_MAX", I::ISP_EHDR_ATM_MAX},
                  {"ISP_IMAGE_IMU_MODE", I::ISP_IMAGE_IMU_MODE},
                  {"ISP_IMAGE_PROP_MAX", I::ISP_IMAGE_PROP_MAX}});

    using FM = LX_FLASH_MODE;
    bind_enum<FM>(m, "LX_FLASH_MODE", {{"ENABLE", FM::ENABLE}, {"DISABLE", FM::DISABLE}});

    using O = LX_OSP_PROFILE_FLAG;
    bind_enum<O>(m, "LX_OSP_PROFILE_FLAG",
                 {{"ENABLED", O::ENABLED},
                  {"ENABLED_AND_SAVE", O::ENABLED_AND_SAVE},
                  {"DISABLED", O::DISABLED}},
                 "LX_OSP_PROFILE_FLAG enum for OSP profile flag");

    using T = LX_FX3_FW_TARGET;
    bind_enum<T>(m, "LX_FX3_FW_TARGET",
                 {{"FW_TARGET_NONE", T::FW_TARGET_NONE},
                  {"FW_TARGET_RAM", T::FW_TARGET_RAM},
                  {"FW_TARGET_I2C", T::FW_TARGET_I2C},
                  {"FW_TARGET_SPI", T::FW_TARGET_SPI}});

    using SM = LX_SENSOR_MODE;
    bind_enum<SM>(m, "LX_SENSOR_MODE", {{"STANDBY", SM::STANDBY}, {"WORK", SM::WORK}},
                  "LX_SENSOR_MODE enum for sensor mode");

    using R = LX_UPGRADE_RESULT;
    bind_enum<R>(m, "LX_UPGRADE_RESULT",
                 {{"LX_UPGRADE_SUCCESS", R::LX_UPGRADE_SUCCESS},
                  {"LX_UPGRADE_OTHER_ERROR", R::LX_UPGRADE_OTHER_ERROR},
                  {"LX_UPGRADE_INVALID_FIRMWARE", R::LX_UPGRADE_INVALID_FIRMWARE},
                  {"LX_UPGRADE_MCU_READ_FAIL", R::LX_UPGRADE_MCU_READ_FAIL},
                  {"LX_UPGRADE_MCU_MISMATCH", R::LX_UPGRADE_MCU_MISMATCH},
                  {"LX_UPGRADE_BSL_SWITCH_FAIL", R::LX_UPGRADE_BSL_SWITCH_FAIL},
                  {"LX_UPGRADE_INIT_FAIL", R::LX_UPGRADE_INIT_FAIL},
                  {"LX_UPGRADE_ERASE_FAIL", R::LX_UPGRADE_ERASE_FAIL},
                  {"LX_UPGRADE_PROGRAM_FAIL", R::LX_UPGRADE_PROGRAM_FAIL},
                  {"LX_UPGRADE_VERIFY_FAIL", R::LX_UPGRADE_VERIFY_FAIL},
                  {"LX_UPGRADE_RESET_FAIL", R::LX_UPGRADE_RESET_FAIL},
                  {"LX_UPGRADE_START_APP_FAIL", R::LX_UPGRADE_START_APP_FAIL}});

    using IM = LX_IMU_MODE;
    bind_enum<IM>(m, "LX_IMU_MODE",
                  {{"DISABLE", IM::DISABLE}, {"ISPU", IM::ISPU}, {"SELF_TEST", IM::SELF_TEST}});

    using ST = LX_IMU_SELF_TEST_MODE;
    bind_enum<ST>(m, "LX_IMU_SELF_TEST_MODE",
                  {{"NORMAL", ST::NORMAL},
                   {"POSITIVE", ST::POSITIVE},
                   {"NEGATIVE", ST::NEGATIVE},
                   {"NOT_ALLOWED", ST::NOT_ALLOWED}});
}

void init_distortion_model_enum(py::module_& m) {
    using D = LX_DISTORTION_MODEL;
    bind_enum<D>(m, "LX_DISTORTION_MODEL",
                 {{"LX_DIST_NONE", D::LX_DIST_NONE}, {"LX_DIST_MODEL_RADTAN", D::LX_DIST_MODEL_RADTAN}});
}

}  // namespace lentra_binding
