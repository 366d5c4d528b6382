// The SDK's intrinsic-calibration functions.
#include "api/common.h"

using lentra::Camera;
using lentra::Needs;
using lentra::onCamera;
namespace sim = lentra::sim;

int LxWriteIntrinsics(LxCameraHandle cam, LxIntrinsics intrinsics) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    return onCamera(cam, __func__, Needs::Open,
                    [&](Camera& c) { return c.intrinsics().write(__func__, intrinsics); });
}

int LxGetIntrinsics(LxCameraHandle cam, LxIntrinsics& intrinsics) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(intrinsics);
    return onCamera(cam, __func__, Needs::Open,
                    [&](Camera& c) { return c.intrinsics().read(__func__, intrinsics); });
}
