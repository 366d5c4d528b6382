// The SDK's register access: generic I2C, the image signal processor's registers and the
// sensor's registers behind it, the sensor's unique ID and the boot-data header version.
#include "api/common.h"

using lentra::Camera;
using lentra::Needs;
using lentra::onCamera;
namespace sim = lentra::sim;

namespace {

// Register access and the I2C bus belong to the maker's cameras; a plain webcam has neither.
int onLentraCamera(const LxCameraHandle& cam, const char* function,
                   const std::function<int(Camera&)>& body) {
    return onCamera(cam, function, Needs::Open, [&](Camera& c) {
        if (!c.description().lentra)
            return lentra::log::failed(function, LX_STATUS_NOT_SUPPORTED, "not one of the maker's cameras");
        const int status = body(c);
        if (status < 0) lentra::log::failed(function, status, "refused by the device");
        return status;
    });
}

}  // namespace

int LxGenericI2CRead(LxCameraHandle cam, uint8_t address, uint8_t addressWidth, uint32_t reg,
                     uint16_t count, uint8_t* data) {
    sim::I2CBytes bytes{data, data ? 2u : 0u};
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(bytes);
    return onLentraCamera(cam, __func__, [&](Camera& c) {
        return c.i2c().read(address, addressWidth, reg, count, data);
    });
}

int LxGenericI2CWrite(LxCameraHandle cam, uint8_t address, uint8_t addressWidth, uint32_t reg,
                      uint16_t count, uint8_t* data) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onLentraCamera(cam, __func__, [&](Camera& c) {
        return c.i2c().write(address, addressWidth, reg, count, data);
    });
}

int LxAP1302I2CRead(LxCameraHandle cam, uint16_t addr, uint16_t& value) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(value);
    return onLentraCamera(cam, __func__, [&](Camera& c) { return c.registers().readIsp(addr, value); });
}

int LxAP1302I2CWrite(LxCameraHandle cam, uint16_t addr, uint16_t value) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onLentraCamera(cam, __func__, [&](Camera& c) { return c.registers().writeIsp(addr, value); });
}

int LxAP1302SensorRegisterRead(LxCameraHandle cam, uint16_t sensor, uint16_t reg, uint16_t& value) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(value);
    return onLentraCamera(cam, __func__,
                          [&](Camera& c) { return c.registers().readSensor(sensor, reg, value); });
}

int LxAP1302SensorRegisterWrite(LxCameraHandle cam, uint16_t sensor, uint16_t reg, uint16_t value) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onLentraCamera(cam, __func__,
                          [&](Camera& c) { return c.registers().writeSensor(sensor, reg, value); });
}

int LxGetSensorUniqueID(LxCameraHandle cam, std::string& id) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(id);
    return onLentraCamera(cam, __func__, [&](Camera& c) {
        const std::string& unique = c.description().sensorUniqueId;
        if (unique.empty()) return LX_STATUS_NOT_SUPPORTED;
        id = unique;
        return LX_STATUS_OK;
    });
}

int LxGetHeaderVersion(LxCameraHandle cam) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onLentraCamera(cam, __func__, [](Camera& c) { return c.bootData().headerVersion(); });
}
