#include "intrinsics/intrinsics_store.h"

#include <cmath>

#include "log/log.h"

namespace lentra {

namespace {

const char* whyInvalid(const LxIntrinsics& k) {
    if (k.w < 1 || k.h < 1) return "the image size must be at least 1 x 1";
    for (float v : {k.fx, k.fy, k.cx, k.cy})
        if (!std::isfinite(v)) return "a focal length or the centre is not a finite number";
    if (k.model != LX_DISTORTION_MODEL::LX_DIST_NONE && k.model != LX_DISTORTION_MODEL::LX_DIST_MODEL_RADTAN)
        return "not a distortion model";
    for (float c : k.coeffs)
        if (!std::isfinite(c)) return "a distortion coefficient is not a finite number";
    return nullptr;
}

}  // namespace

IntrinsicsStore::IntrinsicsStore(bool supported, std::optional<LxIntrinsics> initial)
    : supported_(supported), record_(supported ? initial : std::nullopt) {}

int IntrinsicsStore::write(const char* function, const LxIntrinsics& record) {
    if (!supported_) return log::failed(function, LX_STATUS_NOT_SUPPORTED, "the camera holds no calibration");
    if (const char* why = whyInvalid(record)) return log::failed(function, LX_STATUS_INVALID_ARGUMENT, why);
    record_ = record;
    return LX_STATUS_OK;
}

int IntrinsicsStore::read(const char* function, LxIntrinsics& record) const {
    if (!supported_) return log::failed(function, LX_STATUS_NOT_SUPPORTED, "the camera holds no calibration");
    if (!record_) return log::failed(function, LX_STATUS_FAILED, "no calibration has been written");
    record = *record_;
    return LX_STATUS_OK;
}

}  // namespace lentra
