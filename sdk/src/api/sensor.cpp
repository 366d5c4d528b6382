// The SDK's sensor functions: sensor-configuration files and the sensor's work mode.
//
// Not offered by this library yet: each answers after the fault hook and the handle check.
#include "api/common.h"

using lentra::notSupported;
namespace sim = lentra::sim;

int LxExportSensorConfig(LxCameraHandle cam, std::string) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}

int LxDecodeSensorConfig(std::string, std::string) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(__func__);
}

int LxGetSensorWorkMode(LxCameraHandle cam, LX_SENSOR_MODE& mode) {
    if (auto fault = sim::enter(__func__)) return fault->answer(mode);
    return notSupported(cam, __func__);
}
