// The IMU of a camera: an accelerometer and a gyroscope at rest in the camera's orientation, the
// ISPU's orientation estimate, a die temperature and the IMU's own clock.
//
// Units: accelerometer m/s^2 (specific force: at rest it reads gravity pointing up, 9.81 m/s^2
// along +z when the camera is level), gyroscope degrees/s, ISPU angles degrees, temperature
// degrees Celsius, sensor time seconds. Every reading adds the described bias and Gaussian noise
// from a generator seeded by the description, so a run repeats.
//
// Modes: the IMU powers up (when the camera is opened) in DISABLE, where plain readings work.
// SELF_TEST lets the accelerometer and gyroscope apply their self-test excitation (POSITIVE
// adds the described offsets, NEGATIVE subtracts them); ISPU makes the orientation estimate
// available. The sensor time counts from power-up, and restarts when a mode is enabled (or the
// IMU rebooted into one). The model belongs to its camera and is used under the camera's mutex.
#pragma once

#include <chrono>
#include <random>
#include <vector>

#include "LentraSDK.h"
#include "description/imu_description.h"

namespace lentra {

class Imu {
public:
    using Clock = std::chrono::steady_clock;

    explicit Imu(const ImuDescription& description);

    bool present() const { return d_.present; }

    // The camera was opened: the IMU starts in DISABLE with its clock at 0.
    void powerUp(Clock::time_point now);
    // The camera started or stopped streaming, which warms the IMU or lets it cool.
    void setStreaming(Clock::time_point now, bool streaming);

    // LX_STATUS_INVALID_ARGUMENT for a value that is no mode. Enabling the mode already on
    // changes nothing; a reboot always restarts the clock.
    int enable(const char* function, LX_IMU_MODE mode, Clock::time_point now);
    int reboot(const char* function, LX_IMU_MODE mode, Clock::time_point now);

    // Three values (x, y, z), or a status with `out` emptied: NOT_ALLOWED or a value that is no
    // mode is LX_STATUS_INVALID_ARGUMENT; POSITIVE or NEGATIVE outside SELF_TEST mode is
    // LX_STATUS_FAILED.
    int accelerometer(const char* function, LX_IMU_SELF_TEST_MODE mode, std::vector<float>& out);
    int gyroscope(const char* function, LX_IMU_SELF_TEST_MODE mode, std::vector<float>& out);
    // The orientation as a unit quaternion (w the scalar part) and the angles it stands for;
    // LX_STATUS_FAILED outside ISPU mode.
    int ispu(const char* function, LxImuIspu& out);
    float temperature(Clock::time_point now);
    float sensorTime(Clock::time_point now) const;

private:
    int reading(const char* function, LX_IMU_SELF_TEST_MODE mode, const float (&rest)[3],
                const std::array<float, 3>& bias, float noise, const std::array<float, 3>& selfTest,
                std::vector<float>& out);
    void advanceTemperature(Clock::time_point now);
    float gaussian(float deviation);

    const ImuDescription d_;
    float gravity_[3];  // what the accelerometer reads at rest, before bias and noise
    LX_IMU_MODE mode_ = LX_IMU_MODE::DISABLE;
    Clock::time_point clockStart_;
    bool streaming_ = false;
    float temperature_;
    Clock::time_point temperatureAt_;
    std::mt19937 random_;
};

// The unit quaternion of Z-Y-X angles in degrees, and back. Shared with the tests' reasoning:
// yaw about z, then pitch about the new y, then roll about the newest x.
LxImuIspu orientationRecord(float yawDeg, float pitchDeg, float rollDeg);

}  // namespace lentra
