// The SDK's sensor functions: sensor-configuration files and the sensor's work mode.
#include "api/common.h"
#include "sensorconfig/sensor_config.h"

using lentra::Camera;
using lentra::Needs;
using lentra::onCamera;
namespace sim = lentra::sim;

int LxExportSensorConfig(LxCameraHandle cam, std::string path) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    if (int status = lentra::checkPath(__func__, path); status != LX_STATUS_OK) return status;
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) {
        // The sensor's registers as they are now (writes through LxAP1302SensorRegisterWrite show).
        return c.sensorConfig().exportTo(__func__, path, c.registers().sensorRegisters());
    });
}

int LxDecodeSensorConfig(std::string bin_path, std::string json_path) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    for (const std::string* path : {&bin_path, &json_path})
        if (int status = lentra::checkPath(__func__, *path); status != LX_STATUS_OK) return status;
    return lentra::decodeSensorConfigFile(__func__, bin_path, json_path);
}

int LxGetSensorWorkMode(LxCameraHandle cam, LX_SENSOR_MODE& mode) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(mode);
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) {
        return c.sensorConfig().workMode(__func__, c.state().streaming, mode);
    });
}
