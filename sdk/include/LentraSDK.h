// LentraSDK: the camera SDK API.
//
// This is the stand-in library's public header. It declares the SDK's enumerations, records,
// handles, status codes and its 77 functions, with the same names and signatures as the maker's
// library, so that a program (and our Python binding) built against it runs unchanged against
// either. The stand-in simulates a rig of cameras; see sdk/docs/rig-description.md for the rig
// description.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#if defined(_WIN32)
#  if defined(LENTRASDK_BUILDING)
#    define LENTRASDK_API __declspec(dllexport)
#  else
#    define LENTRASDK_API __declspec(dllimport)
#  endif
#else
#  define LENTRASDK_API __attribute__((visibility("default")))
#endif

#define LENTRASDK_VERSION "1.0.0"

// ---------------------------------------------------------------------------------------------
// Status codes. Every `int` result of the API is one of these (or, where a function documents
// it, a non-negative answer). Each code has exactly one meaning throughout the library.
//
// LX_STATUS_CODES(X) lists every code once, as X(name, value, meaning); the constants below are
// made from it, and so are the tables that name the codes (the library's log, Python's LxStatus).
// ---------------------------------------------------------------------------------------------
#define LX_STATUS_CODES(X)                                                                         \
    X(LX_STATUS_OK, 0, "success")                                                                  \
    X(LX_STATUS_FAILED, -1, "the operation failed on the device")                                  \
    X(LX_STATUS_INVALID_HANDLE, -2, "the camera or route handle is empty")                         \
    X(LX_STATUS_NOT_OPEN, -3, "the camera has not been opened")                                    \
    X(LX_STATUS_BUSY, -4, "already open, or in use by another operation")                          \
    X(LX_STATUS_INVALID_ARGUMENT, -5, "an argument is out of range or not offered")                \
    X(LX_STATUS_NOT_SUPPORTED, -6, "this device or platform lacks the feature")                    \
    X(LX_STATUS_NOT_STREAMING, -7, "the operation needs a streaming camera")                       \
    X(LX_STATUS_IO_ERROR, -8, "a file could not be read or written")                               \
    X(LX_STATUS_BAD_FILE, -9, "a file is malformed (bad magic, size, CRC, ...)")                   \
    X(LX_STATUS_READ_ONLY, -10, "the control cannot be written")                                   \
    X(LX_STATUS_STREAMING, -11, "the operation is not allowed while streaming")                    \
    X(LX_STATUS_NOTHING_LOADED, -12, "nothing to activate: no profile has been loaded")            \
    X(LX_STATUS_NO_DEVICE, -13,                                                                    \
      "nothing answers: no I2C device acknowledges the address, no such sensor, no camera in "     \
      "program mode")                                                                              \
    X(LX_STATUS_NO_RIG, -14, "the simulated rig's description failed to load")

#define LX_STATUS_CONSTANT(name, value, meaning) constexpr int name = value;
LX_STATUS_CODES(LX_STATUS_CONSTANT)
#undef LX_STATUS_CONSTANT

// ---------------------------------------------------------------------------------------------
// Enumerations (all 32-bit).
// ---------------------------------------------------------------------------------------------
enum class LX_LOG_LEVEL : int32_t {
    LX_LOG_LEVEL_TRACE = 0,
    LX_LOG_LEVEL_DEBUG = 1,
    LX_LOG_LEVEL_INFO = 2,
    LX_LOG_LEVEL_WARN = 3,
    LX_LOG_LEVEL_ERROR = 4,
    LX_LOG_LEVEL_CRITICAL = 5,
    LX_LOG_LEVEL_OFF = 6,
};

enum class LX_CAMERA_PRODUCT_TYPE : int32_t {
    LXCAM_PRODUCT_TYPE_NONE_CAMERA = 0,
    LXCAM_PRODUCT_TYPE_GENERIC_CAMERA = 1,
    LXCAM_PRODUCT_TYPE_KAVR = 2,
    LXCAM_PRODUCT_TYPE_KAVL = 3,
    LXCAM_PRODUCT_TYPE_OV5640 = 4,
    LXCAM_PRODUCT_TYPE_KAVN = 5,
    LXCAM_PRODUCT_TYPE_RECOVERY = 6,
};

enum class LX_CAPTURE_RESULT : int32_t {
    LX_SUCCESS = 0,
    LX_TIMEOUT = -1,
    LX_CAM_OCCUPIED = -2,
    LX_BUFFER_CORRUPTED = -4,
    LX_OTHER_ERROR = -3,
};

enum class LX_CAMERA_INTERFACE_TYPE : int32_t {
    INTERFACE_USB = 0,
    INTERFACE_MIPI_CSI2 = 1,
    INTERFACE_ETHERNET = 2,
};

enum class LX_USB_DEVICE_SPEED : int32_t {
    USB_DEVICE_SPEED_LOW = 0,
    USB_DEVICE_SPEED_FULL = 1,
    USB_DEVICE_SPEED_HIGH = 2,
    USB_DEVICE_SPEED_SUPER = 3,
    USB_DEVICE_SPEED_SUPER_PLUS = 4,
    USB_DEVICE_SPEED_UNKNOWN = 5,
};

enum class LX_IMAGE_FORMAT : int32_t {
    LX_IMAGE_FORMAT_MJPG = 4,
    LX_IMAGE_FORMAT_UYVY = 2,
    LX_IMAGE_FORMAT_YUY2 = 1,
    LX_IMAGE_FORMAT_NV12 = 3,
    LX_IMAGE_FORMAT_BGRA = 5,
    LX_IMAGE_FORMAT_BGRX = 6,
    LX_IMAGE_FORMAT_BGR = 7,
    LX_IMAGE_FORMAT_RGB16 = 8,
    LX_IMAGE_FORMAT_RGB = 9,
    LX_IMAGE_FORMAT_NONE = 0,
};

enum class LX_UVC_IMAGE_PROPERTIES : int32_t {
    UVC_IMAGE_BRIGHTNESS = 0,
    UVC_IMAGE_CONTRAST = 1,
    UVC_IMAGE_HUE = 2,
    UVC_IMAGE_SATURATION = 3,
    UVC_IMAGE_SHARPNESS = 4,
    UVC_IMAGE_GAMMA = 5,
    UVC_IMAGE_COLORENABLE = 6,
    UVC_IMAGE_WHITEBALANCE = 7,
    UVC_IMAGE_BACKLIGHT_COMPENSATION = 8,
    UVC_IMAGE_GAIN = 9,
    UVC_IMAGE_PAN = 10,
    UVC_IMAGE_TILT = 11,
    UVC_IMAGE_ROLL = 12,
    UVC_IMAGE_ZOOM = 13,
    UVC_IMAGE_EXPOSURE = 14,
    UVC_IMAGE_IRIS = 15,
    UVC_IMAGE_FOCUS = 16,
    UVC_IMAGE_PROP_MAX = 17,
};

enum class LX_ISP_IMAGE_PROPERTIES : int32_t {
    ISP_IMAGE_BRIGHTNESS = 0,
    ISP_IMAGE_CONTRAST = 1,
    ISP_IMAGE_SATURATION = 2,
    ISP_IMAGE_WHITEBALANCE_MODE = 3,
    ISP_IMAGE_WHITEBALANCE_TEMPERATURE = 4,
    ISP_IMAGE_EXPOSURE_MODE = 5,
    ISP_IMAGE_EXPOSURE_TIME = 6,
    ISP_IMAGE_EXPOSURE_MIN_TIME = 7,
    ISP_IMAGE_EXPOSURE_MAX_TIME = 8,
    ISP_IMAGE_EXPOSURE_GAIN = 9,
    ISP_IMAGE_GAMMA = 10,
    ISP_IMAGE_SHARPNESS = 11,
    ISP_IMAGE_BACKLIGHT_COMPENSATION = 12,
    ISP_IMAGE_SPECIAL_EFFECT_MODE = 13,
    ISP_IMAGE_DENOISE = 14,
    ISP_IMAGE_FLIP_MODE = 15,
    ISP_IMAGE_PAN = 16,
    ISP_IMAGE_TILT = 17,
    ISP_IMAGE_ZOOM = 18,
    ISP_IMAGE_FLICK_MODE = 19,
    ISP_IMAGE_JPEG_QUALITY = 20,
    ISP_IMAGE_TRIGGER_MODE = 21,
    ISP_IMAGE_FLASH_MODE = 22,
    ISP_IMAGE_EHDR_MODE = 23,
    ISP_EHDR_EXPOSURE_MIN_NUMBER = 24,
    ISP_EHDR_EXPOSURE_MAX_NUMBER = 25,
    ISP_EHDR_RATIO_MIN = 26,
    ISP_EHDR_RATIO_MAX = 27,
    ISP_EHDR_ATM_WEIGHT = 28,
    ISP_EHDR_ATM_MAX = 29,
    ISP_IMAGE_IMU_MODE = 30,
    ISP_IMAGE_PROP_MAX = 31,
};

enum class LX_FLASH_MODE : int32_t {
    ENABLE = 0,
    DISABLE = 1,
};

enum class LX_OSP_PROFILE_FLAG : int32_t {
    ENABLED = 1,
    ENABLED_AND_SAVE = 2,
    DISABLED = 0,
};

enum class LX_FX3_FW_TARGET : int32_t {
    FW_TARGET_NONE = 0,
    FW_TARGET_RAM = 1,
    FW_TARGET_I2C = 2,
    FW_TARGET_SPI = 3,
};

enum class LX_SENSOR_MODE : int32_t {
    STANDBY = 0,
    WORK = 1,
};

enum class LX_UPGRADE_RESULT : int32_t {
    LX_UPGRADE_SUCCESS = 0,
    LX_UPGRADE_OTHER_ERROR = -1,
    LX_UPGRADE_INVALID_FIRMWARE = -2,
    LX_UPGRADE_MCU_READ_FAIL = -3,
    LX_UPGRADE_MCU_MISMATCH = -4,
    LX_UPGRADE_BSL_SWITCH_FAIL = -5,
    LX_UPGRADE_INIT_FAIL = -6,
    LX_UPGRADE_ERASE_FAIL = -7,
    LX_UPGRADE_PROGRAM_FAIL = -8,
    LX_UPGRADE_VERIFY_FAIL = -9,
    LX_UPGRADE_RESET_FAIL = -10,
    LX_UPGRADE_START_APP_FAIL = -12,
};

enum class LX_IMU_MODE : int32_t {
    DISABLE = 0,
    ISPU = 1,
    SELF_TEST = 2,
};

enum class LX_IMU_SELF_TEST_MODE : int32_t {
    NORMAL = 0,
    POSITIVE = 1,
    NEGATIVE = 2,
    NOT_ALLOWED = 3,
};

enum class LX_DISTORTION_MODEL : int32_t {
    LX_DIST_NONE = 0,
    LX_DIST_MODEL_RADTAN = 1,
};

// ---------------------------------------------------------------------------------------------
// Records.
// ---------------------------------------------------------------------------------------------

// One capture format a camera offers. `index` is the format's position in the device's format
// list; LxSetFormat checks it against the list, so pass back records from LxGetFormatList.
struct LxFormat {
    uint16_t index;
    uint16_t width;
    uint16_t height;
    uint16_t framerate;
    LX_IMAGE_FORMAT format;
};
static_assert(sizeof(LxFormat) == 12, "LxFormat is a 12-byte record");
static_assert(alignof(LxFormat) == 4, "LxFormat is 4-byte aligned");
static_assert(offsetof(LxFormat, width) == 2 && offsetof(LxFormat, format) == 8, "LxFormat layout");

#pragma pack(push, 1)
// Boot-data header, version 2 (144 bytes, packed, host byte order).
struct LxHeaderV2 {
    uint8_t headerVersion;
    uint16_t contentOffset;
    char productName[64];
    uint8_t productVersion;
    uint8_t reserved[76];
};

// Boot-data header, version 3 (125 bytes, packed, host byte order).
struct LxHeaderV3 {
    uint8_t headerVersion;
    uint16_t contentOffset;
    uint16_t sensorType;
    uint8_t sensorFuseId[16];
    char productName[64];
    uint8_t lensId[16];
    uint16_t fixChecksum;
    uint8_t qrFwVersion[2];
    uint16_t vendorFwVersion;
    uint16_t customNumber;
    uint8_t recordYear;
    uint8_t recordMonth;
    uint8_t recordDay;
    uint8_t recordHour;
    uint8_t recordMinute;
    uint8_t recordSecond;
    uint16_t mipiDatarate;
    uint32_t contentLen;
    uint16_t contentChecksum;
    uint16_t totalChecksum;
};
#pragma pack(pop)
static_assert(sizeof(LxHeaderV2) == 144, "LxHeaderV2 is a packed 144-byte record");
static_assert(offsetof(LxHeaderV2, productName) == 3 && offsetof(LxHeaderV2, productVersion) == 67,
              "LxHeaderV2 layout");
static_assert(sizeof(LxHeaderV3) == 125, "LxHeaderV3 is a packed 125-byte record");
static_assert(offsetof(LxHeaderV3, productName) == 21 && offsetof(LxHeaderV3, lensId) == 85 &&
                  offsetof(LxHeaderV3, qrFwVersion) == 103 &&
                  offsetof(LxHeaderV3, recordYear) == 109 &&
                  offsetof(LxHeaderV3, contentLen) == 117 &&
                  offsetof(LxHeaderV3, totalChecksum) == 123,
              "LxHeaderV3 layout");

// IMU ISPU result: orientation as a quaternion and as angles (degrees).
struct LxImuIspu {
    float x, y, z, w;
    float yaw, pitch, roll;
};
static_assert(sizeof(LxImuIspu) == 28, "LxImuIspu is seven floats");

// Intrinsic calibration of a camera.
struct LxIntrinsics {
    int32_t w;
    int32_t h;
    float fx, fy;
    float cx, cy;
    LX_DISTORTION_MODEL model;
    float coeffs[5];
};
static_assert(sizeof(LxIntrinsics) == 48 && alignof(LxIntrinsics) == 4, "LxIntrinsics layout");

// ---------------------------------------------------------------------------------------------
// Handles. Both are opaque: the library creates them and shares them with the caller through
// std::shared_ptr; the objects live while any holder keeps them.
// ---------------------------------------------------------------------------------------------
class LENTRASDK_API LxCamera {
public:
    virtual ~LxCamera();
    LxCamera(const LxCamera&) = delete;
    LxCamera& operator=(const LxCamera&) = delete;

protected:
    LxCamera();
};

class LENTRASDK_API LxRoute {
public:
    virtual ~LxRoute();
    LxRoute(const LxRoute&) = delete;
    LxRoute& operator=(const LxRoute&) = delete;

protected:
    LxRoute();
};

using LxCameraHandle = std::shared_ptr<LxCamera>;
using LxRouteHandle = std::shared_ptr<LxRoute>;
using LxProgress = std::function<void(int)>;

// ---------------------------------------------------------------------------------------------
// Functions. Unless stated otherwise an `int` result is a status code above.
// A path argument holding a NUL byte names no file: LX_STATUS_INVALID_ARGUMENT (from
// LxLoadRouteYaml an empty handle, from LxUpgradeSensorFW LX_UPGRADE_INVALID_FIRMWARE), and
// nothing is read or written.
// ---------------------------------------------------------------------------------------------

// Library, logging and discovery.
LENTRASDK_API void HelloLentraSDK();
LENTRASDK_API int LxSetLogFile(std::string path);
LENTRASDK_API void LxSetLogLevel(LX_LOG_LEVEL level);
// Replaces the content of `names` with one name per camera of the rig, in a fixed order; a
// name's position is the index for LxInitialCameraDevice. No camera is not a failure; a rig
// description that failed to load is: LX_STATUS_NO_RIG, no names, and the reason in the log at
// error level.
LENTRASDK_API int LxDiscoverCameraDevices(std::vector<std::string>& names);
// The camera at `index` of the discovery list (the same object every time), or empty.
LENTRASDK_API LxCameraHandle LxInitialCameraDevice(int index);

// Device, identity, formats, streaming, capture.
LENTRASDK_API int LxOpen(LxCameraHandle cam);
LENTRASDK_API int LxClose(LxCameraHandle cam);
// 0 for the maker's cameras, 1 for any other camera, or a status.
LENTRASDK_API int LxIsLentraCamera(LxCameraHandle cam);
LENTRASDK_API int LxGetDeviceName(LxCameraHandle cam, std::string& name);
LENTRASDK_API int LxGetDevicePath(LxCameraHandle cam, std::string& path);
LENTRASDK_API int LxGetDeviceInterfaceType(LxCameraHandle cam, LX_CAMERA_INTERFACE_TYPE& type);
LENTRASDK_API int LxGetDeviceProductType(LxCameraHandle cam, LX_CAMERA_PRODUCT_TYPE& type);
LENTRASDK_API int LxGetHardwareID(LxCameraHandle cam, std::string& id);
LENTRASDK_API int LxGetUSBDeviceSpeed(LxCameraHandle cam, LX_USB_DEVICE_SPEED& speed);
LENTRASDK_API int LxGetFormatList(LxCameraHandle cam, std::vector<LxFormat>& formats);
LENTRASDK_API int LxSetFormat(LxCameraHandle cam, LxFormat format);
LENTRASDK_API int LxStartStreaming(LxCameraHandle cam);
LENTRASDK_API int LxStopStreaming(LxCameraHandle cam);
// Waits at most `timeout_ms` milliseconds for the next frame and copies it to `buffer`. On
// entry, a positive `size` is the buffer's capacity: a frame larger than that is not written
// (LX_BUFFER_CORRUPTED). On success `size` holds the frame's byte count.
LENTRASDK_API LX_CAPTURE_RESULT LxGetImage(LxCameraHandle cam, uint8_t* buffer, int& size,
                                           uint16_t timeout_ms);
LENTRASDK_API int LxResetUVC(LxCameraHandle cam);
LENTRASDK_API int LxGetUSBFirmwareVersion(LxCameraHandle cam, std::string& version);
LENTRASDK_API int LxGetKAVRFirmwareVersion(LxCameraHandle cam, std::string& version);
LENTRASDK_API int LxGetSensorFirmwareVersion(LxCameraHandle cam, std::string& version);

// Register access, firmware and boot data.
// Generic I2C: `address` is the device's 7-bit address, `addressWidth` the register address's
// width in bytes (1 or 2), `reg` the first register and `count` the number of bytes read into or
// written from `data`, which must hold at least `count` bytes.
LENTRASDK_API int LxGenericI2CRead(LxCameraHandle cam, uint8_t address, uint8_t addressWidth,
                                   uint32_t reg, uint16_t count, uint8_t* data);
LENTRASDK_API int LxGenericI2CWrite(LxCameraHandle cam, uint8_t address, uint8_t addressWidth,
                                    uint32_t reg, uint16_t count, uint8_t* data);
LENTRASDK_API int LxAP1302I2CRead(LxCameraHandle cam, uint16_t addr, uint16_t& value);
LENTRASDK_API int LxAP1302I2CWrite(LxCameraHandle cam, uint16_t addr, uint16_t value);
LENTRASDK_API int LxAP1302SensorRegisterRead(LxCameraHandle cam, uint16_t sensor, uint16_t reg,
                                             uint16_t& value);
LENTRASDK_API int LxAP1302SensorRegisterWrite(LxCameraHandle cam, uint16_t sensor, uint16_t reg,
                                              uint16_t value);
LENTRASDK_API int LxGetSensorUniqueID(LxCameraHandle cam, std::string& id);
// The boot-data header version (2 or 3), or a status.
LENTRASDK_API int LxGetHeaderVersion(LxCameraHandle cam);
// USB program mode: the camera refuses streaming and most calls (LX_STATUS_BUSY) until an upgrade
// of its USB controller ends or it is closed. LxUpgradeFX3FW upgrades the camera in that mode.
// Upgrades check the whole image file first, call `progress` on the calling thread with rising
// values from 0 to 100, and keep the old firmware on any failure; an exception thrown by
// `progress` stops the upgrade and passes on to the caller.
LENTRASDK_API int LxGotoUSBProgramMode(LxCameraHandle cam);
LENTRASDK_API int LxUpgradeFX3FW(LX_FX3_FW_TARGET target, std::string path, LxProgress progress);
LENTRASDK_API LX_UPGRADE_RESULT LxUpgradeSensorFW(LxCameraHandle cam, std::string path,
                                                  LxProgress progress);
// Boot-data headers: on failure `header` is emptied.
LENTRASDK_API int LxGetBootdataHeaderV2(LxCameraHandle cam, std::unique_ptr<LxHeaderV2>& header);
LENTRASDK_API int LxGetBootdataHeaderV3(LxCameraHandle cam, std::unique_ptr<LxHeaderV3>& header);
LENTRASDK_API int LxGetBootdataHeaderV2FromFile(std::string path,
                                                std::unique_ptr<LxHeaderV2>& header);
LENTRASDK_API int LxGetBootdataHeaderV3FromFile(std::string path,
                                                std::unique_ptr<LxHeaderV3>& header);

// Image processing and stream control.
LENTRASDK_API int LxSetUVCImageProcessing(LxCameraHandle cam, LX_UVC_IMAGE_PROPERTIES prop,
                                          int32_t value, int32_t aux);
LENTRASDK_API int LxGetUVCImageProcessing(LxCameraHandle cam, LX_UVC_IMAGE_PROPERTIES prop,
                                          int32_t& value, int32_t& aux);
LENTRASDK_API int LxGetUVCImageProcessingRange(LxCameraHandle cam, LX_UVC_IMAGE_PROPERTIES prop,
                                               int32_t& min, int32_t& max, int32_t& step,
                                               int32_t& def);
LENTRASDK_API int LxSetISPImageProcessing(LxCameraHandle cam, LX_ISP_IMAGE_PROPERTIES prop,
                                          int32_t value);
LENTRASDK_API int LxSetISPImageProcessingDefault(LxCameraHandle cam);
// `aux` is 1 for a read-only control, 0 otherwise.
LENTRASDK_API int LxGetISPImageProcessing(LxCameraHandle cam, LX_ISP_IMAGE_PROPERTIES prop,
                                          int32_t& value, int32_t& aux);
LENTRASDK_API int LxGetISPImageProcessingRange(LxCameraHandle cam, LX_ISP_IMAGE_PROPERTIES prop,
                                               int32_t& min, int32_t& max, int32_t& step,
                                               int32_t& def);
LENTRASDK_API int LxGetCurrentGain(LxCameraHandle cam, uint8_t& gain);
LENTRASDK_API int LxGetCurrentExposure(LxCameraHandle cam, uint32_t& exposure);
LENTRASDK_API int LxGetMaxFPS(LxCameraHandle cam, uint8_t& fps);
LENTRASDK_API int LxSetMaxFPS(LxCameraHandle cam, uint8_t fps);
LENTRASDK_API int LxGetThroughPut(LxCameraHandle cam, uint16_t& throughput);
LENTRASDK_API int LxSetThroughPut(LxCameraHandle cam, uint16_t throughput);
LENTRASDK_API int LxGetOSPProfileFlag(LxCameraHandle cam, LX_OSP_PROFILE_FLAG& flag);
LENTRASDK_API int LxSetOSPProfileFlag(LxCameraHandle cam, LX_OSP_PROFILE_FLAG flag);
LENTRASDK_API int LxGetOSPProfileConfig(LxCameraHandle cam, std::string& config);
LENTRASDK_API int LxLoadProfileConfig(LxCameraHandle cam, std::string path);
LENTRASDK_API int LxActivateProfileStreaming(LxCameraHandle cam);
LENTRASDK_API int LxActivateProfileImageProcessing(LxCameraHandle cam);
LENTRASDK_API int LxGetTimestamp(LxCameraHandle cam, float& timestamp);
LENTRASDK_API int LxResetTimestamp(LxCameraHandle cam);
LENTRASDK_API int LxGetFrameCount(LxCameraHandle cam, uint8_t& count);
LENTRASDK_API int LxResetFrameCount(LxCameraHandle cam);

// Sensor configuration, routes, IMU, product info and intrinsics.
LENTRASDK_API int LxExportSensorConfig(LxCameraHandle cam, std::string path);
LENTRASDK_API int LxDecodeSensorConfig(std::string bin_path, std::string json_path);
// Throws std::runtime_error where the platform has no route management.
LENTRASDK_API int LxResetActiveRoutes();
LENTRASDK_API LxRouteHandle LxLoadRouteYaml(std::string path);
LENTRASDK_API int LxActivateYamlRoutes(LxRouteHandle route);
LENTRASDK_API int LxGetSensorWorkMode(LxCameraHandle cam, LX_SENSOR_MODE& mode);
LENTRASDK_API int LxEnableIMUMode(LxCameraHandle cam, LX_IMU_MODE mode);
LENTRASDK_API int LxRebootIMUMode(LxCameraHandle cam, LX_IMU_MODE mode);
LENTRASDK_API int LxGetIMUAccData(LxCameraHandle cam, std::vector<float>& data,
                                  LX_IMU_SELF_TEST_MODE mode);
LENTRASDK_API int LxGetIMUGyrData(LxCameraHandle cam, std::vector<float>& data,
                                  LX_IMU_SELF_TEST_MODE mode);
LENTRASDK_API int LxGetISPUData(LxCameraHandle cam, LxImuIspu& ispu);
LENTRASDK_API int LxGetIMUTemperature(LxCameraHandle cam, float& temperature);
LENTRASDK_API int LxGetIMUSensorTime(LxCameraHandle cam, float& time);
LENTRASDK_API int LxFlashProductInfo(LxCameraHandle cam, std::string path);
LENTRASDK_API int LxWriteIntrinsics(LxCameraHandle cam, LxIntrinsics intrinsics);
LENTRASDK_API int LxGetIntrinsics(LxCameraHandle cam, LxIntrinsics& intrinsics);
