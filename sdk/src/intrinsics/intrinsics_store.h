// A camera's intrinsic calibration, as the camera keeps it: one record, written whole or not at
// all. The model belongs to its camera and is used under the camera's mutex.
#pragma once

#include <optional>

#include "LentraSDK.h"

namespace lentra {

class IntrinsicsStore {
public:
    // `supported`: the camera can hold a calibration at all (the maker's cameras);
    // `initial`: the calibration it holds when the rig is built.
    IntrinsicsStore(bool supported, std::optional<LxIntrinsics> initial);

    // Refuses with LX_STATUS_INVALID_ARGUMENT, storing nothing, a record that no camera could
    // have: a width or height below 1, a focal length or centre that is NaN or infinite, a
    // distortion model that is no member, or a coefficient that is NaN or infinite.
    int write(const char* function, const LxIntrinsics& record);
    // LX_STATUS_FAILED when the camera holds no calibration yet.
    int read(const char* function, LxIntrinsics& record) const;
    // The calibration held, if any (what read would give, without a status).
    const std::optional<LxIntrinsics>& record() const { return record_; }

private:
    bool supported_;
    std::optional<LxIntrinsics> record_;
};

}  // namespace lentra
