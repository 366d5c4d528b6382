#include "firmware/firmware_state.h"

#include <cstring>

namespace lentra {

namespace {

// What a camera in program mode still answers besides the identity functions: closing, and
// what the upgrade of its controller needs.
constexpr const char* kProgramModeCalls[] = {
    "LxClose", "LxGotoUSBProgramMode", "LxUpgradeFX3FW", "LxGetUSBFirmwareVersion",
};

bool isProgramModeCall(const char* function) {
    for (const char* name : kProgramModeCalls)
        if (std::strcmp(function, name) == 0) return true;
    return false;
}

}  // namespace

FirmwareState::FirmwareState(const DeviceDescription& description)
    : description_(description),
      usbStored_(description.firmware.usb),
      usbRunning_(description.firmware.usb),
      kavr_(description.firmware.kavr),
      sensor_(description.firmware.sensor) {}

int FirmwareState::admits(const char* function) const {
    if (pending_ != Pending::None) return LX_STATUS_BUSY;
    if (programMode_ && !isProgramModeCall(function)) return LX_STATUS_BUSY;
    return LX_STATUS_OK;
}

int FirmwareState::enterProgramMode(bool streaming) {
    if (!description_.lentra || description_.interface != LX_CAMERA_INTERFACE_TYPE::INTERFACE_USB ||
        usbStored_.empty())
        return LX_STATUS_NOT_SUPPORTED;
    if (streaming) return LX_STATUS_STREAMING;
    programMode_ = true;
    return LX_STATUS_OK;
}

int FirmwareState::beginSensorUpgrade(bool streaming, const FirmwareImage& image, UpgradeRun& run) {
    if (sensor_.empty()) return LX_STATUS_NOT_SUPPORTED;
    if (streaming) return LX_STATUS_STREAMING;
    if (image.target != FirmwareTarget::Sensor) return LX_STATUS_BAD_FILE;
    using S = UpgradeStage;
    run.stages = {S::Read, S::Compare, S::Switch, S::Init, S::Erase, S::Program, S::Verify, S::Reset, S::Start};
    const uint16_t model = description_.firmware.sensorModel;
    const uint16_t madeFor = image.device;
    run.passes = [model, madeFor](UpgradeStage stage) {
        return stage != UpgradeStage::Compare || madeFor == 0 || model == 0 || madeFor == model;
    };
    pending_ = Pending::Sensor;
    pendingVersion_ = image.version;
    return LX_STATUS_OK;
}

int FirmwareState::beginUsbUpgrade(LX_FX3_FW_TARGET target, const FirmwareImage& image, UpgradeRun& run) {
    if (!programMode_) return LX_STATUS_NO_DEVICE;
    if (image.target != FirmwareTarget::UsbController) return LX_STATUS_BAD_FILE;
    using S = UpgradeStage;
    switch (target) {
        case LX_FX3_FW_TARGET::FW_TARGET_RAM:
            // Loaded into RAM and started: nothing is erased, and it is gone after a close.
            run.stages = {S::Program, S::Verify, S::Start};
            pending_ = Pending::UsbRam;
            break;
        case LX_FX3_FW_TARGET::FW_TARGET_I2C:
        case LX_FX3_FW_TARGET::FW_TARGET_SPI:
            run.stages = {S::Erase, S::Program, S::Verify, S::Reset, S::Start};
            pending_ = Pending::UsbStored;
            break;
        default:
            return LX_STATUS_INVALID_ARGUMENT;
    }
    pendingVersion_ = image.version;
    return LX_STATUS_OK;
}

void FirmwareState::finishUpgrade(bool succeeded) {
    if (succeeded) {
        switch (pending_) {
            case Pending::Sensor: sensor_ = pendingVersion_; break;
            case Pending::UsbRam: usbRunning_ = pendingVersion_; break;
            case Pending::UsbStored: usbStored_ = usbRunning_ = pendingVersion_; break;
            case Pending::None: break;
        }
    }
    // Any end of a controller upgrade leaves program mode: the controller restarts its firmware.
    if (pending_ == Pending::UsbRam || pending_ == Pending::UsbStored) programMode_ = false;
    pending_ = Pending::None;
    pendingVersion_.clear();
}

void FirmwareState::closed() {
    programMode_ = false;
    usbRunning_ = usbStored_;
}

}  // namespace lentra
