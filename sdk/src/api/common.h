// What every front function that takes a camera handle does after the fault hook: find the
// camera behind the handle (an empty handle is answered, never dereferenced) and run under its
// mutex. Capture, which manages the mutex itself, goes through captureOn(). The firmware front
// functions also call Camera::run() on cameras they already hold: the one in USB program mode,
// which LxUpgradeFX3FW finds without a handle, and the camera an upgrade finishes on.
#pragma once

#include "LentraSDK.h"
#include "device/camera.h"
#include "log/log.h"
#include "sim/faults.h"

namespace lentra {

using Needs = Camera::Needs;

// Runs body(Camera&) on the handle's camera under its mutex, or answers
// LX_STATUS_INVALID_HANDLE (empty handle, replaced rig) or LX_STATUS_NOT_OPEN.
template <typename F>
int onCamera(const LxCameraHandle& handle, const char* function, Needs needs, F&& body) {
    Camera* camera = cameraFrom(handle);
    if (!camera) return log::failed(function, LX_STATUS_INVALID_HANDLE, "empty camera handle");
    return camera->run(function, needs, std::forward<F>(body));
}

inline LX_CAPTURE_RESULT captureOn(const LxCameraHandle& handle, uint8_t* buffer, int& size,
                                   uint16_t timeoutMs) {
    Camera* camera = cameraFrom(handle);
    if (!camera) {
        log::failed("LxGetImage", static_cast<int>(LX_CAPTURE_RESULT::LX_OTHER_ERROR), "empty camera handle");
        return LX_CAPTURE_RESULT::LX_OTHER_ERROR;
    }
    return camera->capture(buffer, size, timeoutMs);
}

// Every path argument passes through here before anything else looks at it. The operating
// system reads a path only up to its first NUL byte, so one holding a NUL byte would name
// another file than the one given ("logs/a.log\0.evil" is logs/a.log): an invalid argument.
inline int checkPath(const char* function, const std::string& path) {
    if (path.find('\0') == std::string::npos) return LX_STATUS_OK;
    return log::failed(function, LX_STATUS_INVALID_ARGUMENT, "the file name holds a NUL byte");
}

}  // namespace lentra
