#include "description/enum_names.h"

#include <iterator>

namespace lentra {

namespace {

template <typename E>
constexpr int32_t v(E e) {
    return static_cast<int32_t>(e);
}

using PT = LX_CAMERA_PRODUCT_TYPE;
const EnumName productTypes[] = {
    {"NONE", v(PT::LXCAM_PRODUCT_TYPE_NONE_CAMERA)},
    {"GENERIC", v(PT::LXCAM_PRODUCT_TYPE_GENERIC_CAMERA)},
    {"KAVR", v(PT::LXCAM_PRODUCT_TYPE_KAVR)},
    {"KAVL", v(PT::LXCAM_PRODUCT_TYPE_KAVL)},
    {"OV5640", v(PT::LXCAM_PRODUCT_TYPE_OV5640)},
    {"KAVN", v(PT::LXCAM_PRODUCT_TYPE_KAVN)},
    {"RECOVERY", v(PT::LXCAM_PRODUCT_TYPE_RECOVERY)},
};

using IT = LX_CAMERA_INTERFACE_TYPE;
const EnumName interfaces[] = {
    {"USB", v(IT::INTERFACE_USB)},
    {"MIPI_CSI2", v(IT::INTERFACE_MIPI_CSI2)},
    {"ETHERNET", v(IT::INTERFACE_ETHERNET)},
};

using US = LX_USB_DEVICE_SPEED;
const EnumName usbSpeeds[] = {
    {"LOW", v(US::USB_DEVICE_SPEED_LOW)},     {"FULL", v(US::USB_DEVICE_SPEED_FULL)},
    {"HIGH", v(US::USB_DEVICE_SPEED_HIGH)},   {"SUPER", v(US::USB_DEVICE_SPEED_SUPER)},
    {"SUPER_PLUS", v(US::USB_DEVICE_SPEED_SUPER_PLUS)},
    {"UNKNOWN", v(US::USB_DEVICE_SPEED_UNKNOWN)},
};

using IF = LX_IMAGE_FORMAT;
const EnumName imageFormats[] = {
    {"MJPG", v(IF::LX_IMAGE_FORMAT_MJPG)}, {"YUY2", v(IF::LX_IMAGE_FORMAT_YUY2)},
    {"UYVY", v(IF::LX_IMAGE_FORMAT_UYVY)}, {"NV12", v(IF::LX_IMAGE_FORMAT_NV12)},
    {"BGRA", v(IF::LX_IMAGE_FORMAT_BGRA)}, {"BGRX", v(IF::LX_IMAGE_FORMAT_BGRX)},
    {"BGR", v(IF::LX_IMAGE_FORMAT_BGR)},   {"RGB16", v(IF::LX_IMAGE_FORMAT_RGB16)},
    {"RGB", v(IF::LX_IMAGE_FORMAT_RGB)},   {"NONE", v(IF::LX_IMAGE_FORMAT_NONE)},
};

using OF = LX_OSP_PROFILE_FLAG;
const EnumName ospFlags[] = {
    {"DISABLED", v(OF::DISABLED)},
    {"ENABLED", v(OF::ENABLED)},
    {"ENABLED_AND_SAVE", v(OF::ENABLED_AND_SAVE)},
};

const EnumName sensorModes[] = {
    {"STANDBY", v(LX_SENSOR_MODE::STANDBY)},
    {"WORK", v(LX_SENSOR_MODE::WORK)},
};

const EnumName distortionModels[] = {
    {"NONE", v(LX_DISTORTION_MODEL::LX_DIST_NONE)},
    {"RADTAN", v(LX_DISTORTION_MODEL::LX_DIST_MODEL_RADTAN)},
};

using IP = LX_ISP_IMAGE_PROPERTIES;
#define LX_ISP(member) {#member, v(IP::member)}
const EnumName ispProperties[] = {
    LX_ISP(ISP_IMAGE_BRIGHTNESS),         LX_ISP(ISP_IMAGE_CONTRAST),
    LX_ISP(ISP_IMAGE_SATURATION),         LX_ISP(ISP_IMAGE_WHITEBALANCE_MODE),
    LX_ISP(ISP_IMAGE_WHITEBALANCE_TEMPERATURE), LX_ISP(ISP_IMAGE_EXPOSURE_MODE),
    LX_ISP(ISP_IMAGE_EXPOSURE_TIME),      LX_ISP(ISP_IMAGE_EXPOSURE_MIN_TIME),
    LX_ISP(ISP_IMAGE_EXPOSURE_MAX_TIME),  LX_ISP(ISP_IMAGE_EXPOSURE_GAIN),
    LX_ISP(ISP_IMAGE_GAMMA),              LX_ISP(ISP_IMAGE_SHARPNESS),
    LX_ISP(ISP_IMAGE_BACKLIGHT_COMPENSATION), LX_ISP(ISP_IMAGE_SPECIAL_EFFECT_MODE),
    LX_ISP(ISP_IMAGE_DENOISE),            LX_ISP(ISP_IMAGE_FLIP_MODE),
    LX_ISP(ISP_IMAGE_PAN),                LX_ISP(ISP_IMAGE_TILT),
    LX_ISP(ISP_IMAGE_ZOOM),               LX_ISP(ISP_IMAGE_FLICK_MODE),
    LX_ISP(ISP_IMAGE_JPEG_QUALITY),       LX_ISP(ISP_IMAGE_TRIGGER_MODE),
    LX_ISP(ISP_IMAGE_FLASH_MODE),         LX_ISP(ISP_IMAGE_EHDR_MODE),
    LX_ISP(ISP_EHDR_EXPOSURE_MIN_NUMBER), LX_ISP(ISP_EHDR_EXPOSURE_MAX_NUMBER),
    LX_ISP(ISP_EHDR_RATIO_MIN),           LX_ISP(ISP_EHDR_RATIO_MAX),
    LX_ISP(ISP_EHDR_ATM_WEIGHT),          LX_ISP(ISP_EHDR_ATM_MAX),
    LX_ISP(ISP_IMAGE_IMU_MODE),
};
#undef LX_ISP

using UP = LX_UVC_IMAGE_PROPERTIES;
#define LX_UVC(member) {#member, v(UP::member)}
const EnumName uvcProperties[] = {
    LX_UVC(UVC_IMAGE_BRIGHTNESS), LX_UVC(UVC_IMAGE_CONTRAST),     LX_UVC(UVC_IMAGE_HUE),
    LX_UVC(UVC_IMAGE_SATURATION), LX_UVC(UVC_IMAGE_SHARPNESS),    LX_UVC(UVC_IMAGE_GAMMA),
    LX_UVC(UVC_IMAGE_COLORENABLE), LX_UVC(UVC_IMAGE_WHITEBALANCE),
    LX_UVC(UVC_IMAGE_BACKLIGHT_COMPENSATION), LX_UVC(UVC_IMAGE_GAIN), LX_UVC(UVC_IMAGE_PAN),
    LX_UVC(UVC_IMAGE_TILT),       LX_UVC(UVC_IMAGE_ROLL),         LX_UVC(UVC_IMAGE_ZOOM),
    LX_UVC(UVC_IMAGE_EXPOSURE),   LX_UVC(UVC_IMAGE_IRIS),         LX_UVC(UVC_IMAGE_FOCUS),
};
#undef LX_UVC

// From the header's one list of status codes.
#define LX_STATUS_NAME(name, value, meaning) {#name, name},
const EnumName statuses[] = {LX_STATUS_CODES(LX_STATUS_NAME)};
#undef LX_STATUS_NAME

template <std::size_t N>
constexpr EnumTable table(const EnumName (&entries)[N]) {
    return EnumTable{entries, N};
}

}  // namespace

static_assert(std::size(ispProperties) == kIspPropertyCount, "every ISP property has a name");
static_assert(std::size(uvcProperties) == kUvcPropertyCount, "every UVC property has a name");

const EnumTable kProductTypeNames = table(productTypes);
const EnumTable kInterfaceNames = table(interfaces);
const EnumTable kUsbSpeedNames = table(usbSpeeds);
const EnumTable kImageFormatNames = table(imageFormats);
const EnumTable kOspFlagNames = table(ospFlags);
const EnumTable kSensorModeNames = table(sensorModes);
const EnumTable kDistortionModelNames = table(distortionModels);
const EnumTable kIspPropertyNames = table(ispProperties);
const EnumTable kUvcPropertyNames = table(uvcProperties);
const EnumTable kStatusNames = table(statuses);

std::optional<int32_t> EnumTable::find(std::string_view name) const {
    for (std::size_t i = 0; i < count; ++i) {
        if (name == entries[i].name) return entries[i].value;
    }
    return std::nullopt;
}

const char* EnumTable::nameOf(int32_t value) const {
    for (std::size_t i = 0; i < count; ++i) {
        if (entries[i].value == value) return entries[i].name;
    }
    return nullptr;
}

std::string EnumTable::choices() const {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) text += (i + 1 == count) ? " or " : ", ";
        text += '"';
        text += entries[i].name;
        text += '"';
    }
    return text;
}

std::string statusText(int status) {
    const char* name = kStatusNames.nameOf(status);
    return std::string(name ? name : "status") + " (" + std::to_string(status) + ")";
}

}  // namespace lentra
