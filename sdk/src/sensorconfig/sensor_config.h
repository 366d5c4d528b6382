// A camera's sensor as the sensor-configuration functions see it: its identity, whether it
// reports a work mode, and the export of its registers to a sensor-configuration file. The model
// belongs to its camera and is used under the camera's mutex.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "LentraSDK.h"
#include "description/rig_description.h"

namespace lentra {

class SensorConfig {
public:
    explicit SensorConfig(const DeviceDescription& description);

    // Writes the registers (keys as RegisterDescription::sensorKey packs them) to `path` through
    // a temporary file renamed into place. LX_STATUS_NOT_SUPPORTED on a camera that is not one of
    // the maker's; LX_STATUS_IO_ERROR when the file cannot be written (a missing folder is not
    // created), and then nothing is left at `path` that was not there before.
    int exportTo(const char* function, const std::string& path,
                 const std::map<uint32_t, uint16_t>& registers) const;

    // STANDBY while the camera is not streaming, WORK while it is; LX_STATUS_NOT_SUPPORTED on a
    // sensor that does not report its mode.
    int workMode(const char* function, bool streaming, LX_SENSOR_MODE& mode) const;

private:
    bool supported_;
    bool reportsWorkMode_;
    std::string deviceName_;
    std::string sensorUniqueId_;
    LX_CAMERA_PRODUCT_TYPE productType_;
};

// LxDecodeSensorConfig's work: reads the file at `binPath`, checks it whole, then writes its JSON
// rendering to `jsonPath` through a temporary file renamed into place. LX_STATUS_IO_ERROR when a
// file cannot be read or written, LX_STATUS_BAD_FILE when the binary is malformed; on failure
// nothing at `jsonPath` changes.
int decodeSensorConfigFile(const char* function, const std::string& binPath, const std::string& jsonPath);

}  // namespace lentra
