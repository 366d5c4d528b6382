#include "imu/imu.h"

#include <cmath>

#include "log/log.h"

namespace lentra {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kGravity = 9.80665;  // m/s^2, standard gravity
constexpr double kRadian = kPi / 180.0;

bool isMode(LX_IMU_MODE mode) {
    return mode == LX_IMU_MODE::DISABLE || mode == LX_IMU_MODE::ISPU || mode == LX_IMU_MODE::SELF_TEST;
}

}  // namespace

LxImuIspu orientationRecord(float yawDeg, float pitchDeg, float rollDeg) {
    const double cy = std::cos(yawDeg * kRadian / 2), sy = std::sin(yawDeg * kRadian / 2);
    const double cp = std::cos(pitchDeg * kRadian / 2), sp = std::sin(pitchDeg * kRadian / 2);
    const double cr = std::cos(rollDeg * kRadian / 2), sr = std::sin(rollDeg * kRadian / 2);
    LxImuIspu r{};
    r.w = static_cast<float>(cr * cp * cy + sr * sp * sy);
    r.x = static_cast<float>(sr * cp * cy - cr * sp * sy);
    r.y = static_cast<float>(cr * sp * cy + sr * cp * sy);
    r.z = static_cast<float>(cr * cp * sy - sr * sp * cy);
    // The angles are read back from the quaternion, so the two always agree (and a yaw beyond
    // +-180 degrees comes back wrapped into that range).
    const double w = r.w, x = r.x, y = r.y, z = r.z;
    const double sinPitch = std::fmax(-1.0, std::fmin(1.0, 2 * (w * y - z * x)));
    r.roll = static_cast<float>(std::atan2(2 * (w * x + y * z), 1 - 2 * (x * x + y * y)) / kRadian);
    r.pitch = static_cast<float>(std::asin(sinPitch) / kRadian);
    r.yaw = static_cast<float>(std::atan2(2 * (w * z + x * y), 1 - 2 * (y * y + z * z)) / kRadian);
    return r;
}

Imu::Imu(const ImuDescription& description)
    : d_(description),
      clockStart_(Clock::now()),
      temperature_(description.ambientTemperature),
      temperatureAt_(clockStart_),
      random_(description.seed) {
    // Gravity in the camera's frame: the world's up (0, 0, g) turned by the inverse of the
    // camera's orientation. Yaw turns about the vertical and so does not change it.
    const double pitch = d_.pitch * kRadian, roll = d_.roll * kRadian;
    gravity_[0] = static_cast<float>(-kGravity * std::sin(pitch));
    gravity_[1] = static_cast<float>(kGravity * std::cos(pitch) * std::sin(roll));
    gravity_[2] = static_cast<float>(kGravity * std::cos(pitch) * std::cos(roll));
}

void Imu::powerUp(Clock::time_point now) {
    mode_ = LX_IMU_MODE::DISABLE;
    clockStart_ = now;
}

void Imu::advanceTemperature(Clock::time_point now) {
    const double seconds = std::chrono::duration<double>(now - temperatureAt_).count();
    if (seconds <= 0) return;
    const double target = d_.ambientTemperature + (streaming_ ? d_.streamingWarmUp : 0.0f);
    // First-order approach to the target: slow, smooth, never overshooting.
    temperature_ = static_cast<float>(target + (temperature_ - target) *
                                                   std::exp(-seconds / d_.warmUpTimeConstant));
    temperatureAt_ = now;
}

void Imu::setStreaming(Clock::time_point now, bool streaming) {
    advanceTemperature(now);
    streaming_ = streaming;
}

int Imu::enable(const char* function, LX_IMU_MODE mode, Clock::time_point now) {
    if (!isMode(mode)) return log::failed(function, LX_STATUS_INVALID_ARGUMENT, "not an IMU mode");
    if (mode == mode_) return LX_STATUS_OK;
    mode_ = mode;
    clockStart_ = now;
    return LX_STATUS_OK;
}

int Imu::reboot(const char* function, LX_IMU_MODE mode, Clock::time_point now) {
    if (!isMode(mode)) return log::failed(function, LX_STATUS_INVALID_ARGUMENT, "not an IMU mode");
    mode_ = mode;
    clockStart_ = now;
    return LX_STATUS_OK;
}

float Imu::gaussian(float deviation) {
    if (deviation <= 0.0f) return 0.0f;
    return std::normal_distribution<float>(0.0f, deviation)(random_);
}

int Imu::reading(const char* function, LX_IMU_SELF_TEST_MODE mode, const float (&rest)[3],
                 const std::array<float, 3>& bias, float noise, const std::array<float, 3>& selfTest,
                 std::vector<float>& out) {
    out.clear();
    float sign = 0.0f;
    switch (mode) {
        case LX_IMU_SELF_TEST_MODE::NORMAL: break;
        case LX_IMU_SELF_TEST_MODE::POSITIVE: sign = 1.0f; break;
        case LX_IMU_SELF_TEST_MODE::NEGATIVE: sign = -1.0f; break;
        default:  // NOT_ALLOWED, or a value that is no member
            return log::failed(function, LX_STATUS_INVALID_ARGUMENT, "not a self-test mode a reading can take");
    }
    if (sign != 0.0f && mode_ != LX_IMU_MODE::SELF_TEST)
        return log::failed(function, LX_STATUS_FAILED, "self-test readings need the IMU in SELF_TEST mode");
    for (std::size_t i = 0; i < 3; ++i) out.push_back(rest[i] + bias[i] + sign * selfTest[i] + gaussian(noise));
    return LX_STATUS_OK;
}

int Imu::accelerometer(const char* function, LX_IMU_SELF_TEST_MODE mode, std::vector<float>& out) {
    return reading(function, mode, gravity_, d_.accelerometerBias, d_.accelerometerNoise,
                   d_.accelerometerSelfTest, out);
}

int Imu::gyroscope(const char* function, LX_IMU_SELF_TEST_MODE mode, std::vector<float>& out) {
    static const float atRest[3] = {0.0f, 0.0f, 0.0f};
    return reading(function, mode, atRest, d_.gyroscopeBias, d_.gyroscopeNoise, d_.gyroscopeSelfTest, out);
}

int Imu::ispu(const char* function, LxImuIspu& out) {
    if (mode_ != LX_IMU_MODE::ISPU)
        return log::failed(function, LX_STATUS_FAILED, "ISPU data needs the IMU in ISPU mode");
    const float noise = d_.orientationNoise;
    out = orientationRecord(d_.yaw + gaussian(noise), d_.pitch + gaussian(noise), d_.roll + gaussian(noise));
    return LX_STATUS_OK;
}

float Imu::temperature(Clock::time_point now) {
    advanceTemperature(now);
    return temperature_;
}

float Imu::sensorTime(Clock::time_point now) const {
    const double seconds = std::chrono::duration<double>(now - clockStart_).count();
    if (seconds <= 0) return 0.0f;
    // The IMU counts whole ticks.
    return static_cast<float>(std::floor(seconds / d_.tick) * d_.tick);
}

}  // namespace lentra
