#include "description/imu_description.h"

#include <limits>

#include "description/json_reader.h"

namespace lentra {

namespace {

std::array<float, 3> vector3(JsonObject& o, const char* key, std::array<float, 3> def) {
    auto values = o.numbers(key, 3, 3);
    if (!values) return def;
    return {{(*values)[0], (*values)[1], (*values)[2]}};
}

// A number that must not be negative (a deviation, a warm-up).
float nonNegative(JsonObject& o, const char* key, float def) {
    const float value = o.number(key, def);
    if (value < 0.0f) o.fail(key, "must be a number of at least 0");
    return value;
}

float positive(JsonObject& o, const char* key, float def) {
    const float value = o.number(key, def);
    if (!(value > 0.0f)) o.fail(key, "must be a number above 0");
    return value;
}

}  // namespace

ImuDescription parseImu(JsonObject o) {
    ImuDescription imu;
    imu.present = o.boolean("present", true);
    if (auto orientation = o.optionalObject("orientation")) {
        imu.yaw = orientation->number("yaw", imu.yaw);
        imu.pitch = orientation->number("pitch", imu.pitch);
        imu.roll = orientation->number("roll", imu.roll);
        // Beyond +-90 degrees of pitch the same orientation has other angles; keep them unique.
        if (imu.pitch < -90.0f || imu.pitch > 90.0f)
            orientation->fail("pitch", "must be a number from -90 to 90");
        orientation->finish();
    }
    if (auto acc = o.optionalObject("accelerometer")) {
        imu.accelerometerBias = vector3(*acc, "bias", imu.accelerometerBias);
        imu.accelerometerNoise = nonNegative(*acc, "noise", imu.accelerometerNoise);
        imu.accelerometerSelfTest = vector3(*acc, "self_test", imu.accelerometerSelfTest);
        acc->finish();
    }
    if (auto gyr = o.optionalObject("gyroscope")) {
        imu.gyroscopeBias = vector3(*gyr, "bias", imu.gyroscopeBias);
        imu.gyroscopeNoise = nonNegative(*gyr, "noise", imu.gyroscopeNoise);
        imu.gyroscopeSelfTest = vector3(*gyr, "self_test", imu.gyroscopeSelfTest);
        gyr->finish();
    }
    imu.orientationNoise = nonNegative(o, "orientation_noise", imu.orientationNoise);
    if (auto t = o.optionalObject("temperature")) {
        imu.ambientTemperature = t->number("ambient", imu.ambientTemperature);
        if (imu.ambientTemperature < -40.0f || imu.ambientTemperature > 85.0f)
            t->fail("ambient", "must be a number from -40 to 85");
        imu.streamingWarmUp = nonNegative(*t, "streaming_rise", imu.streamingWarmUp);
        if (imu.streamingWarmUp > 40.0f) t->fail("streaming_rise", "must be a number from 0 to 40");
        imu.warmUpTimeConstant = positive(*t, "time_constant", imu.warmUpTimeConstant);
        t->finish();
    }
    imu.tick = positive(o, "tick", imu.tick);
    imu.seed = static_cast<uint32_t>(o.integer("seed", imu.seed, 0, std::numeric_limits<uint32_t>::max()));
    o.finish();
    return imu;
}

}  // namespace lentra
