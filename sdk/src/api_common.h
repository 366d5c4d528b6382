// What every API function that takes a camera does first: find the camera behind the handle
// (an empty handle is answered, never dereferenced) and run under its mutex.
#pragma once

#include "LentraSDK.h"
#include "camera.h"
#include "faults.h"
#include "log.h"

namespace lentra {

// Runs body(const DeviceDescription&, Camera::State&) on the handle's camera, or answers
// LX_STATUS_INVALID_HANDLE (empty handle, replaced rig) or LX_STATUS_NOT_OPEN.
template <typename F>
int onCamera(const LxCameraHandle& handle, const char* function, Camera::Needs needs, F&& body) {
    Camera* camera = cameraFrom(handle);
    if (!camera) return log::failed(function, LX_STATUS_INVALID_HANDLE, "empty camera handle");
    return camera->withState(function, needs, [&](Camera::State& state) {
        return body(camera->description(), state);
    });
}

// The answer of a function this library does not offer yet, after the usual handle check.
inline int notSupported(const LxCameraHandle& handle, const char* function) {
    return onCamera(handle, function, Camera::Needs::Handle, [function](const auto&, auto&) {
        return log::failed(function, LX_STATUS_NOT_SUPPORTED, "not offered by this library yet");
    });
}

inline int notSupported(const char* function) {
    return log::failed(function, LX_STATUS_NOT_SUPPORTED, "not offered by this library yet");
}

}  // namespace lentra
