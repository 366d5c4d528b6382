// The SDK's IMU functions.
//
// Not offered by this library yet: each answers after the fault hook and the handle check.
#include "api/common.h"

using lentra::notSupported;
namespace sim = lentra::sim;

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
