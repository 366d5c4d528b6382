// Rig descriptions (LENTRASDK_SIM files, lxsim_load_description): any bytes give a rig or one
// error message, and the message is one printable line of bounded length. A rig that is accepted
// is then built and used: every camera is opened and run through a short sequence of calls
// (formats and a captured frame, controls, IMU, registers, boot data, intrinsics and a frame
// drawn through a written calibration, profiles, the sensor-config export), so that a value the
// parser accepts but the models cannot handle is found. No call may crash or answer a status the header does not define, and a capture never
// writes past its buffer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "LentraSDK.h"
#include "description/json_reader.h"
#include "description/rig_description.h"
#include "device/rig.h"
#include "frames/frame_generator.h"
#include "lxsim.h"

namespace {

// Formats are made this small at most, so that a frame takes microseconds to make.
constexpr uint16_t kMostWidth = 64;
constexpr uint16_t kMostHeight = 48;
// The cameras and formats of a rig that are used.
constexpr std::size_t kMostCameras = 4;
constexpr std::size_t kMostFormats = 3;

void check(int status) {
    if (status < 0 && !lxsim_status_name(status)) std::abort();
}

// A folder of this process's own for the export, removed when the process ends.
std::string exportFolder;

std::string exportPath() {
    if (exportFolder.empty()) {
        char folder[] = "/tmp/fuzz-rig-XXXXXX";
        if (!::mkdtemp(folder)) std::abort();
        exportFolder = folder;
        std::atexit([] {
            ::unlink((exportFolder + "/sensor.bin").c_str());
            ::rmdir(exportFolder.c_str());
        });
    }
    return exportFolder + "/sensor.bin";
}

void capture(LxCameraHandle cam, const LxFormat& format) {
    check(LxSetFormat(cam, format));
    if (LxStartStreaming(cam) != LX_STATUS_OK) return;
    // Exactly the frame's size (an MJPG frame gets its raw size), so AddressSanitizer sees a
    // write past it.
    const std::size_t bytes = std::max<std::size_t>(
        1, lentra::frameByteCount(format.format == LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_MJPG
                                      ? LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_BGRA
                                      : format.format,
                                  format.width, format.height));
    std::vector<uint8_t> buffer(bytes);
    int size = static_cast<int>(bytes);
    const LX_CAPTURE_RESULT result = LxGetImage(cam, buffer.data(), size, 0);
    if (result == LX_CAPTURE_RESULT::LX_SUCCESS && (size <= 0 || static_cast<std::size_t>(size) > bytes))
        std::abort();
    uint8_t count = 0;
    float stamp = 0.0f;
    check(LxGetFrameCount(cam, count));
    check(LxGetTimestamp(cam, stamp));
    check(LxStopStreaming(cam));
}

void useCamera(LxCameraHandle cam) {
    check(LxOpen(cam));
    std::vector<LxFormat> formats;
    check(LxGetFormatList(cam, formats));
    for (std::size_t i = 0; i < formats.size() && i < kMostFormats; ++i)
        if (formats[i].format != LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_NONE) capture(cam, formats[i]);

    int32_t value = 0, aux = 0, lo = 0, hi = 0, step = 0, def = 0;
    for (int32_t p = 0; p < static_cast<int32_t>(LX_ISP_IMAGE_PROPERTIES::ISP_IMAGE_PROP_MAX); ++p) {
        const auto prop = static_cast<LX_ISP_IMAGE_PROPERTIES>(p);
        check(LxGetISPImageProcessing(cam, prop, value, aux));
        check(LxGetISPImageProcessingRange(cam, prop, lo, hi, step, def));
        check(LxSetISPImageProcessing(cam, prop, hi));
    }
    for (int32_t p = 0; p < static_cast<int32_t>(LX_UVC_IMAGE_PROPERTIES::UVC_IMAGE_PROP_MAX); ++p) {
        const auto prop = static_cast<LX_UVC_IMAGE_PROPERTIES>(p);
        check(LxGetUVCImageProcessing(cam, prop, value, aux));
        check(LxGetUVCImageProcessingRange(cam, prop, lo, hi, step, def));
        check(LxSetUVCImageProcessing(cam, prop, lo, aux));
    }
    check(LxSetISPImageProcessingDefault(cam));
    uint8_t u8 = 0;
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    check(LxGetCurrentGain(cam, u8));
    check(LxGetCurrentExposure(cam, u32));
    check(LxGetMaxFPS(cam, u8));
    check(LxGetThroughPut(cam, u16));
    check(LxActivateProfileStreaming(cam));
    check(LxActivateProfileImageProcessing(cam));

    std::vector<float> data;
    float f = 0.0f;
    LxImuIspu ispu;
    check(LxGetIMUAccData(cam, data, LX_IMU_SELF_TEST_MODE::NORMAL));
    check(LxGetIMUGyrData(cam, data, LX_IMU_SELF_TEST_MODE::NORMAL));
    check(LxGetISPUData(cam, ispu));
    check(LxGetIMUTemperature(cam, f));
    check(LxGetIMUSensorTime(cam, f));

    for (uint16_t address : {uint16_t{0}, uint16_t{0x3000}, uint16_t{0xFFFF}}) {
        check(LxAP1302I2CRead(cam, address, u16));
        check(LxAP1302SensorRegisterRead(cam, 0, address, u16));
        check(LxAP1302SensorRegisterRead(cam, 1, address, u16));
    }
    std::unique_ptr<LxHeaderV2> v2;
    std::unique_ptr<LxHeaderV3> v3;
    check(LxGetBootdataHeaderV2(cam, v2));
    check(LxGetBootdataHeaderV3(cam, v3));
    LxIntrinsics k;
    if (LxGetIntrinsics(cam, k) == LX_STATUS_OK && !formats.empty()) {
        // A written calibration is the lens of the next frames (lens_distortion): the opposite
        // distortion, drawn again.
        for (float& c : k.coeffs) c = -c;
        check(LxWriteIntrinsics(cam, k));
        if (formats.front().format != LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_NONE) capture(cam, formats.front());
    }
    LX_SENSOR_MODE mode;
    check(LxGetSensorWorkMode(cam, mode));
    std::string text;
    check(LxGetSensorUniqueID(cam, text));
    check(LxExportSensorConfig(cam, exportPath()));
    check(LxClose(cam));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    LxSetLogLevel(LX_LOG_LEVEL::LX_LOG_LEVEL_OFF);  // refusals are expected by the thousand
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    lentra::RigParseResult parsed = lentra::parseRigDescription(text);
    if (parsed.rig.has_value() == !parsed.error.empty()) std::abort();  // one or the other
    if (parsed.error.size() > lentra::kMaxDescriptionErrorBytes) std::abort();
    for (char c : parsed.error)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) std::abort();
    if (lentra::printableText(parsed.error, lentra::kMaxDescriptionErrorBytes) != parsed.error)
        std::abort();  // not valid UTF-8
    if (!parsed.rig) return 0;

    lentra::RigDescription& rig = *parsed.rig;
    if (rig.devices.size() > kMostCameras) rig.devices.resize(kMostCameras);
    for (auto& device : rig.devices)
        for (auto& format : device.formats) {
            format.width = std::min(format.width, kMostWidth);
            format.height = std::min(format.height, kMostHeight);
        }
    lentra::replaceRig(rig);
    if (lxsim_set_pacing(1) != LX_STATUS_OK) std::abort();  // free run: no capture waits
    for (std::size_t index = 0; index < rig.devices.size(); ++index)
        if (LxCameraHandle cam = LxInitialCameraDevice(static_cast<int>(index))) useCamera(cam);
    return 0;
}
