// The SDK's firmware functions: USB program mode and firmware upgrades.
//
// Not offered by this library yet: each answers after the fault hook and the handle check.
#include "api/common.h"

using lentra::notSupported;
namespace sim = lentra::sim;

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
