// The SDK's register access: generic I2C, the image signal processor's registers and the
// sensor's registers behind it, the sensor's unique ID and the boot-data header version.
//
// Not offered by this library yet: each answers after the fault hook and the handle check.
#include "api/common.h"

using lentra::notSupported;
namespace sim = lentra::sim;

int LxGenericI2CRead(LxCameraHandle cam, uint8_t, uint8_t, uint32_t, uint16_t, uint8_t* data) {
    sim::I2CBytes bytes{data, data ? 2u : 0u};
    if (auto fault = sim::enter(__func__)) return fault->answer(bytes);
    return notSupported(cam, __func__);
}

int LxGenericI2CWrite(LxCameraHandle cam, uint8_t, uint8_t, uint32_t, uint16_t, uint8_t*) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}

int LxAP1302I2CRead(LxCameraHandle cam, uint16_t, uint16_t& value) {
    if (auto fault = sim::enter(__func__)) return fault->answer(value);
    return notSupported(cam, __func__);
}

int LxAP1302I2CWrite(LxCameraHandle cam, uint16_t, uint16_t) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}

int LxAP1302SensorRegisterRead(LxCameraHandle cam, uint16_t, uint16_t, uint16_t& value) {
    if (auto fault = sim::enter(__func__)) return fault->answer(value);
    return notSupported(cam, __func__);
}

int LxAP1302SensorRegisterWrite(LxCameraHandle cam, uint16_t, uint16_t, uint16_t) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}

int LxGetSensorUniqueID(LxCameraHandle cam, std::string& id) {
    if (auto fault = sim::enter(__func__)) return fault->answer(id);
    return notSupported(cam, __func__);
}

int LxGetHeaderVersion(LxCameraHandle cam) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}
