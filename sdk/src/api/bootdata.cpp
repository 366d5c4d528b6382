// The SDK's boot-data functions: headers from the camera and from image files, and flashing
// product information.
//
// Not offered by this library yet: each answers after the fault hook and the handle check.
#include "api/common.h"

using lentra::notSupported;
namespace sim = lentra::sim;

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

int LxFlashProductInfo(LxCameraHandle cam, std::string) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}
