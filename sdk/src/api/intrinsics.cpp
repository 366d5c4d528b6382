// The SDK's intrinsic-calibration functions.
//
// Not offered by this library yet: each answers after the fault hook and the handle check.
#include "api/common.h"

using lentra::notSupported;
namespace sim = lentra::sim;

int LxWriteIntrinsics(LxCameraHandle cam, LxIntrinsics) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}

int LxGetIntrinsics(LxCameraHandle cam, LxIntrinsics& intrinsics) {
    if (auto fault = sim::enter(__func__)) return fault->answer(intrinsics);
    return notSupported(cam, __func__);
}
