// The SDK's library, discovery, device, format, streaming and capture functions.
#include <cstdio>

#include "api/common.h"
#include "device/rig.h"

using lentra::Camera;
using lentra::DeviceDescription;
using lentra::Needs;
using lentra::onCamera;
namespace sim = lentra::sim;

namespace {

using PT = LX_CAMERA_PRODUCT_TYPE;

// Identity is known on a closed camera too.
int identity(const LxCameraHandle& cam, const char* function, std::string& out,
             std::string DeviceDescription::*field) {
    return onCamera(cam, function, Needs::Handle, [&](Camera& c) {
        out = c.description().*field;
        return LX_STATUS_OK;
    });
}

// A firmware version, as running now: only on an open camera that has that firmware.
int firmwareVersion(const LxCameraHandle& cam, const char* function, std::string& out,
                    bool (*carries)(const DeviceDescription&),
                    const std::string& (lentra::FirmwareState::*running)() const) {
    return onCamera(cam, function, Needs::Open, [&](Camera& c) {
        const DeviceDescription& d = c.description();
        const std::string& version = (c.firmware().*running)();
        if (!d.lentra || !carries(d) || version.empty())
            return lentra::log::failed(function, LX_STATUS_NOT_SUPPORTED, "the camera has no such firmware");
        out = version;
        return LX_STATUS_OK;
    });
}

bool isUsb(const DeviceDescription& d) {
    return d.interface == LX_CAMERA_INTERFACE_TYPE::INTERFACE_USB;
}
bool isKavrFamily(const DeviceDescription& d) {
    return d.productType == PT::LXCAM_PRODUCT_TYPE_KAVR || d.productType == PT::LXCAM_PRODUCT_TYPE_KAVN;
}
bool isKavl(const DeviceDescription& d) { return d.productType == PT::LXCAM_PRODUCT_TYPE_KAVL; }

}  // namespace

void HelloLentraSDK() {
    if (sim::enter(__func__)) return;
    std::fputs("Hello LentraSDK " LENTRASDK_VERSION "\n", stdout);
    std::fflush(stdout);
}

int LxSetLogFile(std::string path) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    if (int status = lentra::checkPath(__func__, path); status != LX_STATUS_OK) return status;
    return lentra::log::setFile(path);
}

void LxSetLogLevel(LX_LOG_LEVEL level) {
    if (sim::enter(__func__)) return;
    lentra::log::setLevel(level);
}

int LxDiscoverCameraDevices(std::vector<std::string>& names) {
    if (auto fault = sim::enter(__func__)) return fault->answer(names);
    auto rig = lentra::currentRig();
    names.clear();
    if (!rig->loadError().empty()) {
        // Said on every discovery, at error level: a program that clears its screen after the
        // first one still leaves the reason in the log.
        lentra::log::write(LX_LOG_LEVEL::LX_LOG_LEVEL_ERROR,
                           std::string(__func__) + ": no cameras: the rig description failed to load: " +
                               rig->loadError());
        return LX_STATUS_NO_RIG;
    }
    for (const auto& camera : rig->cameras()) names.push_back(camera->description().name);
    return LX_STATUS_OK;
}

LxCameraHandle LxInitialCameraDevice(int index) {
    // The one failure a handle can carry is being empty.
    if (sim::enter(__func__)) return nullptr;
    auto camera = lentra::currentRig()->camera(index);
    if (!camera) lentra::log::failed(__func__, LX_STATUS_INVALID_ARGUMENT, "no camera has that index");
    return camera;
}

int LxOpen(LxCameraHandle cam) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onCamera(cam, __func__, Needs::Handle, [](Camera& c) { return c.open(); });
}

int LxClose(LxCameraHandle cam) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onCamera(cam, __func__, Needs::Open, [](Camera& c) { return c.close(); });
}

int LxIsLentraCamera(LxCameraHandle cam) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onCamera(cam, __func__, Needs::Handle,
                    [](Camera& c) { return c.description().lentra ? 0 : 1; });
}

int LxGetDeviceName(LxCameraHandle cam, std::string& name) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(name);
    return identity(cam, __func__, name, &DeviceDescription::name);
}

int LxGetDevicePath(LxCameraHandle cam, std::string& path) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(path);
    return identity(cam, __func__, path, &DeviceDescription::path);
}

int LxGetDeviceInterfaceType(LxCameraHandle cam, LX_CAMERA_INTERFACE_TYPE& type) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(type);
    return onCamera(cam, __func__, Needs::Handle, [&type](Camera& c) {
        type = c.description().interface;
        return LX_STATUS_OK;
    });
}

int LxGetDeviceProductType(LxCameraHandle cam, LX_CAMERA_PRODUCT_TYPE& type) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(type);
    return onCamera(cam, __func__, Needs::Handle, [&type](Camera& c) {
        type = c.description().productType;
        return LX_STATUS_OK;
    });
}

int LxGetHardwareID(LxCameraHandle cam, std::string& id) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(id);
    return identity(cam, __func__, id, &DeviceDescription::hardwareId);
}

int LxGetUSBDeviceSpeed(LxCameraHandle cam, LX_USB_DEVICE_SPEED& speed) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(speed);
    return onCamera(cam, __func__, Needs::Handle, [&speed](Camera& c) {
        const DeviceDescription& d = c.description();
        if (!isUsb(d)) return lentra::log::failed("LxGetUSBDeviceSpeed", LX_STATUS_NOT_SUPPORTED, "not a USB camera");
        speed = d.usbSpeed;
        return LX_STATUS_OK;
    });
}

int LxGetFormatList(LxCameraHandle cam, std::vector<LxFormat>& formats) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(formats);
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) { return c.formatList(formats); });
}

int LxSetFormat(LxCameraHandle cam, LxFormat format) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) { return c.setFormat(format); });
}

int LxStartStreaming(LxCameraHandle cam) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onCamera(cam, __func__, Needs::Open, [](Camera& c) { return c.startStreaming(); });
}

int LxStopStreaming(LxCameraHandle cam) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onCamera(cam, __func__, Needs::Open, [](Camera& c) { return c.stopStreaming(); });
}

LX_CAPTURE_RESULT LxGetImage(LxCameraHandle cam, uint8_t* buffer, int& size, uint16_t timeout_ms) {
    if (auto fault = sim::enter(__func__, cam)) return fault->capture(size);
    return lentra::captureOn(cam, buffer, size, timeout_ms);
}

int LxResetUVC(LxCameraHandle cam) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onCamera(cam, __func__, Needs::Open, [](Camera& c) { return c.resetUvc(); });
}

int LxGetUSBFirmwareVersion(LxCameraHandle cam, std::string& version) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(version);
    return firmwareVersion(cam, __func__, version, isUsb, &lentra::FirmwareState::usbVersion);
}

int LxGetKAVRFirmwareVersion(LxCameraHandle cam, std::string& version) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(version);
    return firmwareVersion(cam, __func__, version, isKavrFamily, &lentra::FirmwareState::kavrVersion);
}

int LxGetSensorFirmwareVersion(LxCameraHandle cam, std::string& version) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(version);
    return firmwareVersion(cam, __func__, version, isKavl, &lentra::FirmwareState::sensorVersion);
}
