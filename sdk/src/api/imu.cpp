// The SDK's IMU functions. Every one needs an open camera with an IMU; a camera without one
// answers LX_STATUS_NOT_SUPPORTED (and an empty vector).
#include <chrono>

#include "api/common.h"

using lentra::Camera;
using lentra::Imu;
using lentra::Needs;
namespace sim = lentra::sim;

namespace {

// Runs body(Imu&) on the camera's IMU, under the camera's mutex.
template <typename F>
int onImu(const LxCameraHandle& cam, const char* function, F&& body) {
    return lentra::onCamera(cam, function, Needs::Open, [&](Camera& c) {
        if (!c.imu().present())
            return lentra::log::failed(function, LX_STATUS_NOT_SUPPORTED, "the camera has no IMU");
        return body(c.imu());
    });
}

// A failing vector read always hands back an empty vector, whatever the caller passed in.
template <typename F>
int vectorRead(const LxCameraHandle& cam, const char* function, std::vector<float>& data, F&& body) {
    const int status = onImu(cam, function, body);
    if (status != LX_STATUS_OK) data.clear();
    return status;
}

}  // namespace

int LxEnableIMUMode(LxCameraHandle cam, LX_IMU_MODE mode) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onImu(cam, __func__, [&](Imu& imu) { return imu.enable(__func__, mode, Imu::Clock::now()); });
}

int LxRebootIMUMode(LxCameraHandle cam, LX_IMU_MODE mode) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onImu(cam, __func__, [&](Imu& imu) { return imu.reboot(__func__, mode, Imu::Clock::now()); });
}

int LxGetIMUAccData(LxCameraHandle cam, std::vector<float>& data, LX_IMU_SELF_TEST_MODE mode) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(data);
    return vectorRead(cam, __func__, data, [&](Imu& imu) { return imu.accelerometer(__func__, mode, data); });
}

int LxGetIMUGyrData(LxCameraHandle cam, std::vector<float>& data, LX_IMU_SELF_TEST_MODE mode) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(data);
    return vectorRead(cam, __func__, data, [&](Imu& imu) { return imu.gyroscope(__func__, mode, data); });
}

int LxGetISPUData(LxCameraHandle cam, LxImuIspu& ispu) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(ispu);
    return onImu(cam, __func__, [&](Imu& imu) { return imu.ispu(__func__, ispu); });
}

int LxGetIMUTemperature(LxCameraHandle cam, float& temperature) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(temperature);
    return onImu(cam, __func__, [&](Imu& imu) {
        temperature = imu.temperature(Imu::Clock::now());
        return LX_STATUS_OK;
    });
}

int LxGetIMUSensorTime(LxCameraHandle cam, float& time) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(time);
    return onImu(cam, __func__, [&](Imu& imu) {
        time = imu.sensorTime(Imu::Clock::now());
        return LX_STATUS_OK;
    });
}
