// The fault hook of the SDK functions that take a camera handle: whether the camera behind a
// handle is still part of the current rig. Kept apart from faults.cpp, which knows nothing of
// rigs (the fault-description fuzz target links it without them).
#include <algorithm>

#include "device/rig.h"
#include "sim/faults.h"

namespace lentra::sim {

namespace {

// An empty handle, or an object not made here, is no camera of a replaced rig: its call is
// counted and answered as such.
bool partOfCurrentRig(const LxCameraHandle& handle) {
    const Camera* camera = cameraFrom(handle);
    if (!camera) return true;
    const std::shared_ptr<Rig> rig = currentRig();
    const auto& cameras = rig->cameras();
    return std::any_of(cameras.begin(), cameras.end(),
                       [camera](const std::shared_ptr<Camera>& c) { return c.get() == camera; });
}

}  // namespace

std::optional<Fault> enter(const char* function, const LxCameraHandle& camera) {
    return enter(function, camera, partOfCurrentRig);
}

}  // namespace lentra::sim
