// The SDK's register access, firmware and boot-data functions.
//
// Not offered by this library yet: each answers after the fault hook and the handle check.
#include "api_common.h"

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

int LxGotoUSBProgramMode(LxCameraHandle cam) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}

int LxUpgradeFX3FW(LX_FX3_FW_TARGET, std::string, LxProgress progress) {
    if (auto fault = sim::enter(__func__)) return fault->progressThenStatus(progress);
    return notSupported(__func__);
}

LX_UPGRADE_RESULT LxUpgradeSensorFW(LxCameraHandle cam, std::string, LxProgress progress) {
    if (auto fault = sim::enter(__func__)) return fault->upgrade(progress);
    notSupported(cam, __func__);
    return LX_UPGRADE_RESULT::LX_UPGRADE_OTHER_ERROR;
}

int LxGetBootdataHeaderV2(LxCameraHandle cam, std::unique_ptr<LxHeaderV2>& header) {
    if (auto fault = sim::enter(__func__)) return fault->answer(header);
    return notSupported(cam, __func__);
}

int LxGetBootdataHeaderV3(LxCameraHandle cam, std::unique_ptr<LxHeaderV3>& header) {
    if (auto fault = sim::enter(__func__)) return fault->answer(header);
    return notSupported(cam, __func__);
}

int LxGetBootdataHeaderV2FromFile(std::string, std::unique_ptr<LxHeaderV2>& header) {
    if (auto fault = sim::enter(__func__)) return fault->answer(header);
    return notSupported(__func__);
}

int LxGetBootdataHeaderV3FromFile(std::string, std::unique_ptr<LxHeaderV3>& header) {
    if (auto fault = sim::enter(__func__)) return fault->answer(header);
    return notSupported(__func__);
}
