// A camera's firmware: the versions it runs, USB program mode and the upgrade under way.
//
// USB program mode (LxGotoUSBProgramMode) is the state in which a USB camera's controller waits
// for new firmware: streaming and most calls are refused (LX_STATUS_BUSY) until an upgrade of
// the controller (LxUpgradeFX3FW) ends or the camera is closed. While an upgrade runs, every call
// that needs the open camera is refused, so the progress function may call the SDK (for the
// camera's name, another camera) without waiting on the upgrade.
//
// An upgrade is begun, run outside the camera's lock, then finished: begin*() checks the camera
// and marks the upgrade, finish*() commits the new version only when the run succeeded.
#pragma once

#include <optional>
#include <string>

#include "LentraSDK.h"
#include "description/rig_description.h"
#include "firmware/firmware_image.h"
#include "firmware/upgrade_procedure.h"

namespace lentra {

class FirmwareState {
public:
    explicit FirmwareState(const DeviceDescription& description);

    // Running versions; empty when the camera has no such firmware.
    const std::string& usbVersion() const { return usbRunning_; }
    const std::string& kavrVersion() const { return kavr_; }
    const std::string& sensorVersion() const { return sensor_; }

    // LX_STATUS_BUSY for a call that needs the open camera while an upgrade runs, or that program
    // mode refuses; otherwise LX_STATUS_OK.
    int admits(const char* function) const;
    bool programMode() const { return programMode_; }

    int enterProgramMode(bool streaming);
    // Checks the camera can take `image` and marks the upgrade; the stages to run go to `run`.
    int beginSensorUpgrade(bool streaming, const FirmwareImage& image, UpgradeRun& run);
    int beginUsbUpgrade(LX_FX3_FW_TARGET target, const FirmwareImage& image, UpgradeRun& run);
    // Ends the upgrade begun last: the new version runs if `succeeded`.
    void finishUpgrade(bool succeeded);
    // The camera was closed: program mode ends and firmware loaded into RAM is gone.
    void closed();

private:
    enum class Pending { None, Sensor, UsbRam, UsbStored };

    const DeviceDescription& description_;
    std::string usbStored_;   // in the controller's boot memory (I2C EEPROM or SPI flash)
    std::string usbRunning_;  // what runs now: the stored one, or one loaded into RAM
    std::string kavr_;
    std::string sensor_;
    bool programMode_ = false;
    Pending pending_ = Pending::None;
    std::string pendingVersion_;
};

}  // namespace lentra
