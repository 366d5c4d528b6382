// The SDK's functions called with any arguments, in any order, on any camera index: the input is
// a short program of calls (open, close, formats, streaming, capture, controls, registers, I2C,
// intrinsics, IMU, ...) against the simulated default rig, with every size scaled down and frames
// paced free-running so that no call waits. No call may crash, leak or reach undefined
// behaviour, every status is one the header defines, and a capture never writes past the buffer
// it was given (each buffer is allocated at exactly its declared size, so AddressSanitizer sees
// the first byte beyond it).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "LentraSDK.h"
#include "description/rig_description.h"
#include "device/rig.h"
#include "frames/frame_generator.h"
#include "lxsim.h"

namespace {

// The bytes of the input, read front to back; past the end every read gives zeros.
class Reader {
public:
    Reader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool done() const { return at_ >= size_; }
    uint8_t u8() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t u16() { return static_cast<uint16_t>(u8() | u8() << 8); }
    uint32_t u32() { return u16() | uint32_t{u16()} << 16; }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    float f32() {
        const uint32_t bits = u32();
        float f;
        std::memcpy(&f, &bits, sizeof f);  // any bit pattern: NaNs, infinities, subnormals
        return f;
    }

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

struct Rig {
    lentra::RigDescription description;  // the default rig with every format scaled down
    std::size_t largestFrame = 0;
};

// The default rig with every format 20 times smaller on each side (at least 16 pixels, even):
// the same cameras, controls, registers and IMU, but frames of a few kilobytes.
const Rig& smallRig() {
    static const Rig rig = [] {
        Rig r;
        nlohmann::json doc = nlohmann::json::parse(lxsim_default_description());
        for (auto& device : doc["devices"]) {
            for (auto& format : device["formats"]) {
                const int w = format["width"].get<int>(), h = format["height"].get<int>();
                if (w == 0) continue;  // a NONE entry
                format["width"] = std::max(16, w / 40 * 2);
                format["height"] = std::max(16, h / 40 * 2);
                // Four bytes a pixel: no format's frame is larger.
                r.largestFrame = std::max(r.largestFrame, lentra::frameByteCount(LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_BGRA,
                                                                                format["width"], format["height"]));
            }
        }
        // Parsed once: reading the description is most of what building a rig costs.
        lentra::RigParseResult parsed = lentra::parseRigDescription(doc.dump());
        if (!parsed.rig) std::abort();
        r.description = std::move(*parsed.rig);
        return r;
    }();
    return rig;
}

void loadRig() {
    lentra::replaceRig(smallRig().description);
    if (lxsim_set_pacing(1) != LX_STATUS_OK) std::abort();
}

// Every int answer is a non-negative value or a status the header names.
void check(int status) {
    if (status < 0 && !lxsim_status_name(status)) std::abort();
}

void checkCapture(LX_CAPTURE_RESULT result, int size, std::size_t capacity) {
    switch (result) {
        case LX_CAPTURE_RESULT::LX_SUCCESS:
            if (size <= 0 || static_cast<std::size_t>(size) > capacity) std::abort();
            break;
        case LX_CAPTURE_RESULT::LX_TIMEOUT:
        case LX_CAPTURE_RESULT::LX_CAM_OCCUPIED:
        case LX_CAPTURE_RESULT::LX_BUFFER_CORRUPTED:
        case LX_CAPTURE_RESULT::LX_OTHER_ERROR:
            break;
        default:
            std::abort();
    }
}

class Program {
public:
    explicit Program(Reader& in) : in_(in) {}

    void run() {
        for (int step = 0; step < 24 && !in_.done(); ++step) call(in_.u8());
    }

private:
    // A camera: one of the rig's three, an index beyond either end, or a handle kept from a rig
    // that has since been replaced.
    LxCameraHandle camera() {
        const int pick = in_.u8() % 8;
        if (pick == 7) return stale_;
        return LxInitialCameraDevice(pick - 2);
    }

    void capture() {
        LxCameraHandle cam = camera();
        const int declared = static_cast<int16_t>(in_.u16());  // negative, 0 (unknown) or a capacity
        const std::size_t capacity =
            declared > 0 ? static_cast<std::size_t>(declared) : smallRig().largestFrame;
        std::vector<uint8_t> buffer(capacity);
        int size = declared;
        const uint16_t timeout = in_.u8() % 3;
        checkCapture(LxGetImage(cam, buffer.data(), size, timeout), size, capacity);
    }

    void i2c(bool write) {
        LxCameraHandle cam = camera();
        const uint8_t address = in_.u8();
        const uint8_t width = in_.u8() % 4;
        const uint32_t reg = in_.u8() & 1 ? in_.u32() : in_.u8();
        const uint16_t count = in_.u8() & 1 ? in_.u16() : in_.u8() % 8;
        std::vector<uint8_t> data(count);  // exactly `count`, as the header asks of callers
        for (uint8_t& b : data) b = in_.u8();
        check(write ? LxGenericI2CWrite(cam, address, width, reg, count, data.data())
                    : LxGenericI2CRead(cam, address, width, reg, count, data.data()));
    }

    void intrinsics() {
        LxIntrinsics k{};
        k.w = in_.i32();
        k.h = in_.i32();
        k.fx = in_.f32();
        k.fy = in_.f32();
        k.cx = in_.f32();
        k.cy = in_.f32();
        k.model = static_cast<LX_DISTORTION_MODEL>(in_.i32());
        for (float& c : k.coeffs) c = in_.f32();
        check(LxWriteIntrinsics(camera(), k));
    }

    void identity(LxCameraHandle cam) {
        std::string text;
        LX_CAMERA_INTERFACE_TYPE interface;
        LX_CAMERA_PRODUCT_TYPE product;
        LX_USB_DEVICE_SPEED speed;
        LX_SENSOR_MODE mode;
        std::unique_ptr<LxHeaderV2> v2;
        std::unique_ptr<LxHeaderV3> v3;
        uint8_t gain = 0;
        uint32_t exposure = 0;
        switch (in_.u8() % 16) {
            case 0: check(LxGetDeviceName(cam, text)); break;
            case 1: check(LxGetDevicePath(cam, text)); break;
            case 2: check(LxGetDeviceInterfaceType(cam, interface)); break;
            case 3: check(LxGetDeviceProductType(cam, product)); break;
            case 4: check(LxGetHardwareID(cam, text)); break;
            case 5: check(LxGetUSBDeviceSpeed(cam, speed)); break;
            case 6: check(LxGetUSBFirmwareVersion(cam, text)); break;
            case 7: check(LxGetKAVRFirmwareVersion(cam, text)); break;
            case 8: check(LxGetSensorFirmwareVersion(cam, text)); break;
            case 9: check(LxGetSensorUniqueID(cam, text)); break;
            case 10: check(LxGetHeaderVersion(cam)); break;
            case 11: check(LxGetBootdataHeaderV2(cam, v2)); break;
            case 12: check(LxGetBootdataHeaderV3(cam, v3)); break;
            case 13: check(LxGetCurrentGain(cam, gain)); check(LxGetCurrentExposure(cam, exposure)); break;
            case 14: check(LxGetSensorWorkMode(cam, mode)); break;
            default: check(LxIsLentraCamera(cam)); check(LxResetUVC(cam)); break;
        }
    }

    void call(uint8_t op) {
        int32_t value = 0, aux = 0, lo = 0, hi = 0, step = 0, def = 0;
        uint16_t u16 = 0;
        uint8_t u8 = 0;
        float f = 0;
        switch (op % 32) {
            case 0: {
                std::vector<std::string> names;
                check(LxDiscoverCameraDevices(names));
                if (names.size() != 3) std::abort();
                break;
            }
            case 1: check(LxOpen(camera())); break;
            case 2: check(LxClose(camera())); break;
            case 3: {
                std::vector<LxFormat> formats;
                LxCameraHandle cam = camera();
                check(LxGetFormatList(cam, formats));
                const std::size_t pick = in_.u8();
                if (pick < formats.size()) check(LxSetFormat(cam, formats[pick]));
                break;
            }
            case 4: {
                LxCameraHandle cam = camera();
                LxFormat format{in_.u16(), in_.u16(), in_.u16(), in_.u16(),
                                static_cast<LX_IMAGE_FORMAT>(in_.i32())};
                check(LxSetFormat(cam, format));
                break;
            }
            case 5: check(LxStartStreaming(camera())); break;
            case 6: check(LxStopStreaming(camera())); break;
            case 7: capture(); break;
            case 8: {
                LxCameraHandle cam = camera();
                const auto prop = static_cast<LX_UVC_IMAGE_PROPERTIES>(in_.i32());
                value = in_.i32();
                aux = in_.i32();
                check(LxSetUVCImageProcessing(cam, prop, value, aux));
                break;
            }
            case 9: {
                LxCameraHandle cam = camera();
                const auto prop = static_cast<LX_UVC_IMAGE_PROPERTIES>(in_.i32());
                check(LxGetUVCImageProcessing(cam, prop, value, aux));
                check(LxGetUVCImageProcessingRange(cam, prop, lo, hi, step, def));
                break;
            }
            case 10: {
                LxCameraHandle cam = camera();
                const auto prop = static_cast<LX_ISP_IMAGE_PROPERTIES>(in_.i32());
                check(LxSetISPImageProcessing(cam, prop, in_.i32()));
                break;
            }
            case 11: {
                LxCameraHandle cam = camera();
                const auto prop = static_cast<LX_ISP_IMAGE_PROPERTIES>(in_.i32());
                check(LxGetISPImageProcessing(cam, prop, value, aux));
                check(LxGetISPImageProcessingRange(cam, prop, lo, hi, step, def));
                break;
            }
            case 12: check(LxSetISPImageProcessingDefault(camera())); break;
            case 13: {
                LxCameraHandle cam = camera();
                const uint16_t address = in_.u16();
                check(LxAP1302I2CRead(cam, address, u16));
                check(LxAP1302I2CWrite(cam, address, in_.u16()));
                break;
            }
            case 14: {
                LxCameraHandle cam = camera();
                const uint16_t sensor = in_.u8() & 1 ? in_.u16() : in_.u8() % 2;
                const uint16_t reg = in_.u16();
                check(LxAP1302SensorRegisterRead(cam, sensor, reg, u16));
                check(LxAP1302SensorRegisterWrite(cam, sensor, reg, in_.u16()));
                break;
            }
            case 15: i2c(false); break;
            case 16: i2c(true); break;
            case 17: intrinsics(); break;
            case 18: {
                LxIntrinsics k;
                check(LxGetIntrinsics(camera(), k));
                break;
            }
            case 19:
            case 20: {
                LxCameraHandle cam = camera();
                std::vector<float> data(in_.u8() % 4, 1.0f);  // whatever was there is replaced
                const auto mode = static_cast<LX_IMU_SELF_TEST_MODE>(in_.i32());
                check(op % 32 == 19 ? LxGetIMUAccData(cam, data, mode) : LxGetIMUGyrData(cam, data, mode));
                break;
            }
            case 21: {
                LxCameraHandle cam = camera();
                LxImuIspu ispu;
                check(LxGetISPUData(cam, ispu));
                check(LxGetIMUTemperature(cam, f));
                check(LxGetIMUSensorTime(cam, f));
                break;
            }
            case 22: {
                LxCameraHandle cam = camera();
                const auto mode = static_cast<LX_IMU_MODE>(in_.i32());
                check(in_.u8() & 1 ? LxEnableIMUMode(cam, mode) : LxRebootIMUMode(cam, mode));
                break;
            }
            case 23: {
                LxCameraHandle cam = camera();
                check(LxSetMaxFPS(cam, in_.u8()));
                check(LxGetMaxFPS(cam, u8));
                break;
            }
            case 24: {
                LxCameraHandle cam = camera();
                check(LxSetThroughPut(cam, in_.u16()));
                check(LxGetThroughPut(cam, u16));
                break;
            }
            case 25: {
                LxCameraHandle cam = camera();
                check(LxGetTimestamp(cam, f));
                check(LxGetFrameCount(cam, u8));
                check(in_.u8() & 1 ? LxResetTimestamp(cam) : LxResetFrameCount(cam));
                break;
            }
            case 26: {
                LxCameraHandle cam = camera();
                LX_OSP_PROFILE_FLAG flag;
                check(LxSetOSPProfileFlag(cam, static_cast<LX_OSP_PROFILE_FLAG>(in_.i32())));
                check(LxGetOSPProfileFlag(cam, flag));
                std::string config;
                check(LxGetOSPProfileConfig(cam, config));
                check(in_.u8() & 1 ? LxActivateProfileStreaming(cam) : LxActivateProfileImageProcessing(cam));
                break;
            }
            case 27: identity(camera()); break;
            case 28: check(LxGotoUSBProgramMode(camera())); break;
            case 29: {
                // The rig is replaced: a handle kept from before must answer as an invalid one.
                stale_ = LxInitialCameraDevice(in_.u8() % 3);
                loadRig();
                break;
            }
            case 30: {
                const int index = static_cast<int8_t>(in_.u8());
                const int declared = in_.u8() & 1 ? static_cast<int16_t>(in_.u16()) : 0;
                const std::size_t capacity =
                    declared > 0 ? static_cast<std::size_t>(declared) : smallRig().largestFrame;
                std::vector<uint8_t> buffer(capacity);
                int size = declared;
                const auto result = static_cast<LX_CAPTURE_RESULT>(lxsim_capture(index, buffer.data(), &size, 0));
                checkCapture(result, size, capacity);
                break;
            }
            default:
                for (int index = 0; index < 3; ++index) check(LxClose(LxInitialCameraDevice(index)));
                break;
        }
    }

    Reader& in_;
    LxCameraHandle stale_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    LxSetLogLevel(LX_LOG_LEVEL::LX_LOG_LEVEL_OFF);  // refusals are expected by the thousand
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    loadRig();  // every input starts from the same rig: closed cameras, default settings
    Reader in(data, size);
    Program(in).run();
    return 0;
}
