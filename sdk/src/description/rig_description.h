// The rig description: plain data read from a JSON text, with no behaviour of its own.
//
// parseRigDescription is the only place that knows the JSON layout (documented for users in
// sdk/docs/rig-description.md). It checks every entry and refuses a malformed description whole,
// with one message naming the bad entry, so that a rig is either exactly what was described or
// not replaced at all. Missing keys take the documented defaults.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "LentraSDK.h"
#include "description/enum_names.h"
#include "description/format_description.h"
#include "description/imu_description.h"
#include "description/profile_config.h"
#include "description/register_description.h"

namespace lentra {

// One image control: its range, its default and the value it has when the rig is built.
struct ControlDescription {
    bool present = false;
    int32_t min = 0;
    int32_t max = 100;
    int32_t step = 1;
    int32_t def = 0;
    bool readOnly = false;
    int32_t value = 0;
};
using IspControlDescriptions = std::array<ControlDescription, kIspPropertyCount>;
using UvcControlDescriptions = std::array<ControlDescription, kUvcPropertyCount>;

// Firmware versions; an empty text means the device has no such firmware.
struct FirmwareDescription {
    std::string usb;
    std::string kavr;
    std::string sensor;
    uint16_t sensorModel = 0;  // the sensor a sensor firmware image must be made for (0: any)
};

struct OspProfileDescription {
    LX_OSP_PROFILE_FLAG flag = LX_OSP_PROFILE_FLAG::DISABLED;
    std::optional<ProfileConfig> profile;  // loaded when the rig is built; checked against the device
};

// The rig's trigger line (device/trigger_line.h): the rate it ticks at (0: the rate of the
// first camera that streams in Sync) and the jitter cameras have unless they give their own.
struct TriggerDescription {
    double rate = 0;    // ticks per second
    double jitter = 0;  // seconds
};

// How late one camera exposes after a tick or pulse of the line: `offset`, plus a share of
// `jitter` that changes from event to event. Seconds. `seed` (the camera's position in the rig)
// makes each camera's jitter its own.
struct CameraTriggerDescription {
    double offset = 0;
    double jitter = 0;
    uint64_t seed = 0;
};

struct DeviceDescription {
    std::string name;
    std::string path;
    LX_CAMERA_INTERFACE_TYPE interface = LX_CAMERA_INTERFACE_TYPE::INTERFACE_USB;
    LX_CAMERA_PRODUCT_TYPE productType = LX_CAMERA_PRODUCT_TYPE::LXCAM_PRODUCT_TYPE_KAVL;
    bool lentra = true;
    LX_USB_DEVICE_SPEED usbSpeed = LX_USB_DEVICE_SPEED::USB_DEVICE_SPEED_SUPER;
    std::string hardwareId;
    FirmwareDescription firmware;
    std::string sensorUniqueId;
    int headerVersion = 0;                   // 0: no boot data; 2 or 3: which header it has
    std::optional<LxHeaderV2> headerV2;
    std::optional<LxHeaderV3> headerV3;
    std::vector<FormatDescription> formats;
    IspControlDescriptions ispControls{};
    UvcControlDescriptions uvcControls{};
    std::optional<uint8_t> maxFps;           // absent: the device has no frame-rate cap
    std::optional<uint16_t> throughput;
    std::optional<uint8_t> currentGain;
    std::optional<uint32_t> currentExposure;
    std::optional<OspProfileDescription> ospProfile;
    ImuDescription imu;
    RegisterDescription registers;
    std::optional<LxIntrinsics> intrinsics;
    bool lensDistortion = false;             // frames are drawn through the calibration's lens
    bool sensorWorkMode = false;             // the sensor reports its work mode
    uint8_t frameCountStart = 0;
    CameraTriggerDescription trigger;
};

struct MediaEntityDescription {
    std::string name;
    std::string function;  // "sensor", "csi2", "video", ...
    int pads = 1;
};

struct MediaLinkDescription {
    std::string source;
    int sourcePad = 0;
    std::string sink;
    int sinkPad = 0;
    bool enabled = false;
};

struct PlatformDescription {
    bool routeManagement = false;
    std::vector<MediaEntityDescription> entities;
    std::vector<MediaLinkDescription> links;
};

struct RigDescription {
    std::vector<DeviceDescription> devices;
    PlatformDescription platform;
    TriggerDescription trigger;
};

struct RigParseResult {
    std::optional<RigDescription> rig;
    std::string error;  // "devices[1].formats[0].width: must be ..." when `rig` is empty
};

// The largest rig description, in bytes: about 70 times the default rig, room for many cameras
// with full register maps, and small enough that parsing one takes little memory.
constexpr std::size_t kMaxRigDescriptionBytes = std::size_t{1} << 20;

// Refuses a text larger than kMaxRigDescriptionBytes ("the description is larger than ...").
RigParseResult parseRigDescription(const std::string& json);

}  // namespace lentra
