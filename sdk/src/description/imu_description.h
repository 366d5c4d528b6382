// What a rig description says about a camera's IMU: plain data for the IMU model (imu/imu.h).
// The JSON layout is documented in sdk/docs/rig-description.md.
#pragma once

#include <array>
#include <cstdint>

namespace lentra {

class JsonObject;

struct ImuDescription {
    bool present = false;
    // The camera's orientation in the world, in degrees, applied as yaw about the vertical axis,
    // then pitch, then roll (Z-Y-X). All zero: the camera's z axis points up.
    float yaw = 0.0f;
    float pitch = 0.0f;
    float roll = 0.0f;
    std::array<float, 3> accelerometerBias{{0.0f, 0.0f, 0.0f}};  // m/s^2
    float accelerometerNoise = 0.02f;                             // m/s^2, per-axis deviation
    std::array<float, 3> gyroscopeBias{{0.0f, 0.0f, 0.0f}};      // degrees/s
    float gyroscopeNoise = 0.05f;                                 // degrees/s
    float orientationNoise = 0.05f;                               // degrees, of the ISPU's angles
    // What a positive self-test adds to a reading (a negative one subtracts it).
    std::array<float, 3> accelerometerSelfTest{{4.9f, 4.9f, 4.9f}};  // m/s^2
    std::array<float, 3> gyroscopeSelfTest{{200.0f, 200.0f, 200.0f}};  // degrees/s
    float ambientTemperature = 25.0f;  // degrees Celsius, the temperature at power-up
    float streamingWarmUp = 8.0f;      // how far above ambient streaming warms the IMU
    float warmUpTimeConstant = 300.0f;  // seconds to cover 63 % of the way there (or back)
    float tick = 25e-6f;               // seconds, the resolution of the IMU's sensor time
    uint32_t seed = 1;                 // of the reading noise, so runs repeat
};

// Reads the "imu" object of a device; throws DescriptionError naming a bad entry.
ImuDescription parseImu(JsonObject o);

}  // namespace lentra
