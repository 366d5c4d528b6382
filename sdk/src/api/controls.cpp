// The SDK's image-processing and stream-control functions.
//
// Not offered by this library yet: each answers after the fault hook and the handle check.
#include "api/common.h"

using lentra::notSupported;
namespace sim = lentra::sim;

int LxSetUVCImageProcessing(LxCameraHandle cam, LX_UVC_IMAGE_PROPERTIES, int32_t, int32_t) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}

int LxGetUVCImageProcessing(LxCameraHandle cam, LX_UVC_IMAGE_PROPERTIES, int32_t& value,
                            int32_t& aux) {
    if (auto fault = sim::enter(__func__)) return fault->answer(value, aux);
    return notSupported(cam, __func__);
}

int LxGetUVCImageProcessingRange(LxCameraHandle cam, LX_UVC_IMAGE_PROPERTIES, int32_t& min,
                                 int32_t& max, int32_t& step, int32_t& def) {
    if (auto fault = sim::enter(__func__)) return fault->answer(min, max, step, def);
    return notSupported(cam, __func__);
}

int LxSetISPImageProcessing(LxCameraHandle cam, LX_ISP_IMAGE_PROPERTIES, int32_t) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}

int LxSetISPImageProcessingDefault(LxCameraHandle cam) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}

int LxGetISPImageProcessing(LxCameraHandle cam, LX_ISP_IMAGE_PROPERTIES, int32_t& value,
                            int32_t& aux) {
    if (auto fault = sim::enter(__func__)) return fault->answer(value, aux);
    return notSupported(cam, __func__);
}

int LxGetISPImageProcessingRange(LxCameraHandle cam, LX_ISP_IMAGE_PROPERTIES, int32_t& min,
                                 int32_t& max, int32_t& step, int32_t& def) {
    if (auto fault = sim::enter(__func__)) return fault->answer(min, max, step, def);
    return notSupported(cam, __func__);
}

int LxGetCurrentGain(LxCameraHandle cam, uint8_t& gain) {
    if (auto fault = sim::enter(__func__)) return fault->answer(gain);
    return notSupported(cam, __func__);
}

int LxGetCurrentExposure(LxCameraHandle cam, uint32_t& exposure) {
    if (auto fault = sim::enter(__func__)) return fault->answer(exposure);
    return notSupported(cam, __func__);
}

int LxGetMaxFPS(LxCameraHandle cam, uint8_t& fps) {
    if (auto fault = sim::enter(__func__)) return fault->answer(fps);
    return notSupported(cam, __func__);
}

int LxSetMaxFPS(LxCameraHandle cam, uint8_t) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}

int LxGetThroughPut(LxCameraHandle cam, uint16_t& throughput) {
    if (auto fault = sim::enter(__func__)) return fault->answer(throughput);
    return notSupported(cam, __func__);
}

int LxSetThroughPut(LxCameraHandle cam, uint16_t) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}

int LxGetOSPProfileFlag(LxCameraHandle cam, LX_OSP_PROFILE_FLAG& flag) {
    if (auto fault = sim::enter(__func__)) return fault->answer(flag);
    return notSupported(cam, __func__);
}

int LxSetOSPProfileFlag(LxCameraHandle cam, LX_OSP_PROFILE_FLAG) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}

int LxGetOSPProfileConfig(LxCameraHandle cam, std::string& config) {
    if (auto fault = sim::enter(__func__)) return fault->answer(config);
    return notSupported(cam, __func__);
}

int LxLoadProfileConfig(LxCameraHandle cam, std::string) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}

int LxActivateProfileStreaming(LxCameraHandle cam) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}

int LxActivateProfileImageProcessing(LxCameraHandle cam) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}

int LxGetTimestamp(LxCameraHandle cam, float& timestamp) {
    if (auto fault = sim::enter(__func__)) return fault->answer(timestamp);
    return notSupported(cam, __func__);
}

int LxResetTimestamp(LxCameraHandle cam) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}

int LxGetFrameCount(LxCameraHandle cam, uint8_t& count) {
    if (auto fault = sim::enter(__func__)) return fault->answer(count);
    return notSupported(cam, __func__);
}

int LxResetFrameCount(LxCameraHandle cam) {
    if (auto fault = sim::enter(__func__)) return fault->answer();
    return notSupported(cam, __func__);
}
