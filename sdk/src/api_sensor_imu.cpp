// The SDK's sensor-configuration, route, IMU, product-info and intrinsics functions.
//
// Not offered by this library yet (routes excepted where the platform lacks route management):
// each answers after the fault hook and the handle check.
#include <stdexcept>

#include "api_common.h"
#include "rig.h"

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

int LxResetActiveRoutes() {
    if (auto fault = sim::enter(__func__)) {
        fault->throwIfAsked();
        return fault->answer();
    }
    // The maker's library throws here on a platform without media routes; so do we.
    if (!lentra::currentRig()->platform().routeManagement)
        throw std::runtime_error("this platform has no media route management");
    return notSupported(__func__);
}

LxRouteHandle LxLoadRouteYaml(std::string) {
    if (auto fault = sim::enter(__func__)) {
        fault->throwIfAsked();
        return nullptr;
    }
    notSupported(__func__);
    return nullptr;
}

int LxActivateYamlRoutes(LxRouteHandle route) {
    if (auto fault = sim::enter(__func__)) {
        fault->throwIfAsked();
        return fault->answer();
    }
    if (!route) return lentra::log::failed(__func__, LX_STATUS_INVALID_HANDLE, "empty route handle");
    return notSupported(__func__);
}

int LxGetSensorWorkMode(LxCameraHandle cam, LX_SENSOR_MODE& mode) {
    if (auto fault = sim::enter(__func__)) return fault->answer(mode);
    return notSupported(cam, __func__);
}

int LxEnableIMUMode(LxCameraHandle cam, LX_IMU_MODE) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}

int LxRebootIMUMode(LxCameraHandle cam, LX_IMU_MODE) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}

int LxGetIMUAccData(LxCameraHandle cam, std::vector<float>& data, LX_IMU_SELF_TEST_MODE) {
    if (auto fault = sim::enter(__func__)) return fault->answer(data);
    return notSupported(cam, __func__);
}

int LxGetIMUGyrData(LxCameraHandle cam, std::vector<float>& data, LX_IMU_SELF_TEST_MODE) {
    if (auto fault = sim::enter(__func__)) return fault->answer(data);
    return notSupported(cam, __func__);
}

int LxGetISPUData(LxCameraHandle cam, LxImuIspu& ispu) {
    if (auto fault = sim::enter(__func__)) return fault->answer(ispu);
    return notSupported(cam, __func__);
}

int LxGetIMUTemperature(LxCameraHandle cam, float& temperature) {
    if (auto fault = sim::enter(__func__)) return fault->answer(temperature);
    return notSupported(cam, __func__);
}

int LxGetIMUSensorTime(LxCameraHandle cam, float& time) {
    if (auto fault = sim::enter(__func__)) return fault->answer(time);
    return notSupported(cam, __func__);
}

int LxFlashProductInfo(LxCameraHandle cam, std::string) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}

int LxWriteIntrinsics(LxCameraHandle cam, LxIntrinsics) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}

int LxGetIntrinsics(LxCameraHandle cam, LxIntrinsics& intrinsics) {
    if (auto fault = sim::enter(__func__)) return fault->answer(intrinsics);
    return notSupported(cam, __func__);
}
