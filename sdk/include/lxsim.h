// Control of the simulated camera rig of the stand-in LentraSDK library.
//
// This C API is not part of the camera SDK: it lets tests (and users' own tests) replace the rig,
// inject faults into any SDK function, switch frame pacing and read call counts. The Python
// package wraps it in `pylentrasdk.sim`. Every function is safe to call from any thread.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "LentraSDK.h"

extern "C" {

// Replaces the rig with the JSON description `json` (text) or the file at `path`. Returns 0, or
// a negative status with the reason in lxsim_last_error(). Cameras of the replaced rig are
// closed; handles to them answer LX_STATUS_INVALID_HANDLE. A description that fails to load
// leaves a rig of no cameras: discovery answers LX_STATUS_NO_RIG and logs the reason, which
// lxsim_load_error() returns, until a description loads or lxsim_reset().
LENTRASDK_API int lxsim_load_description(const char* json);
LENTRASDK_API int lxsim_load_description_file(const char* path);
// Back to the start-up rig (LENTRASDK_SIM's description, or the embedded default), with faults
// and call counts cleared and real-time pacing.
LENTRASDK_API int lxsim_reset(void);
// The embedded default rig's description (JSON text, owned by the library).
LENTRASDK_API const char* lxsim_default_description(void);
// Why the last failing lxsim_ call of this thread failed ("" if none).
LENTRASDK_API const char* lxsim_last_error(void);
// Why the current rig's description failed to load (given to lxsim_load_* or named in
// LENTRASDK_SIM), or "" when it loaded. The text stays valid until this thread calls again.
LENTRASDK_API const char* lxsim_load_error(void);

// The next `count` calls of the SDK function named `function` skip their work and answer as
// `fault_json` says. Keys (all optional):
//   "status"  the int result (default 0); for LxGetImage, "result" the LX_CAPTURE_RESULT value,
//             for LxUpgradeSensorFW the LX_UPGRADE_RESULT value.
//   "value"   what the function stores in its output: a number (numbers and enumerations), a
//             string, a list of strings (LxDiscoverCameraDevices), a list of numbers (IMU
//             vectors, the two bytes of LxGenericI2CRead), a list of format objects
//             {"width","height","framerate","format","index"} (LxGetFormatList), an object of
//             field values (records), a list of numbers (LxGetRange-style: min,max,step,def), or
//             a list [value, aux] (image-processing getters).
//   "text_hex" the output text as hex bytes (to hand back text that is not valid UTF-8).
//   "empty"   true: hand back an empty handle or an emptied record owner.
//   "size"    LxGetImage: the received size to report (nothing is written to the buffer); a
//             fault that makes the capture succeed must give one.
//   "progress" a list of progress values to report (firmware upgrades).
//   "throw"   a message: throw std::runtime_error with it (LxResetActiveRoutes).
//   "fail_at" firmware upgrades: the call is not skipped; the upgrade runs and fails at the named
//             stage ("read", "compare", "switch", "init", "erase", "program", "verify",
//             "reset", "start").
// Returns 0, or LX_STATUS_INVALID_ARGUMENT for an unknown function name, malformed JSON, or a
// "value" of another shape than the function's output (a number for a text, a fraction or
// 1e300 for an integer, a value for a function that hands back none).
LENTRASDK_API int lxsim_inject(const char* function, int count, const char* fault_json);
// As lxsim_inject, returning the fault's id (1 or more) instead of 0.
LENTRASDK_API long lxsim_inject_fault(const char* function, int count, const char* fault_json);
// Drops what is left of the fault of this id; other faults stay pending in their order. A fault
// used up or cleared already leaves nothing to drop.
LENTRASDK_API void lxsim_withdraw_fault(long id);
LENTRASDK_API void lxsim_clear_faults(void);
// The names of the current rig's cameras, as discovery gives them, as a JSON list (owned by the
// library, valid until this thread's next call). It is no SDK call: nothing is counted and no
// fault is taken.
LENTRASDK_API const char* lxsim_camera_names(void);

// The next `count` files the library writes (each written to a temporary file that is then
// renamed into place) fail after the temporary file is written and before the rename, as on a
// full disk: the previous file stays and the temporary one is removed. 0 cancels.
LENTRASDK_API int lxsim_fail_file_writes(int count);

// Frame pacing: 0 real time (frames at the format's rate, capped by the maximum-FPS setting),
// 1 free run (a frame as fast as it can be made).
LENTRASDK_API int lxsim_set_pacing(int mode);
LENTRASDK_API int lxsim_get_pacing(void);

// Fires one pulse on the rig's trigger line: each camera in Non Periodic trigger mode that is
// streaming makes one frame (sdk/docs/rig-description.md, "Trigger line"). Returns 0.
LENTRASDK_API int lxsim_trigger(void);

// Calls of the named SDK function since the last reset (negative for an unknown name, with the
// reason in lxsim_last_error()). A call on a camera of a replaced rig counts nothing and takes
// no fault: it answers as on an invalid handle.
LENTRASDK_API long lxsim_call_count(const char* function);
LENTRASDK_API void lxsim_reset_call_counts(void);

// Captures from the camera at `index` of the current rig exactly as LxGetImage does (the call is
// counted and faults apply) and returns its LX_CAPTURE_RESULT. It exists for tests written with
// ctypes, which calls it without holding the Python interpreter lock, so that several threads can
// capture, stop or close at once; `size` is LxGetImage's in-out byte count.
LENTRASDK_API int lxsim_capture(int index, uint8_t* buffer, int* size, uint16_t timeout_ms);

// The name of a status code as the header spells it ("LX_STATUS_NOT_OPEN"), or NULL for a
// number that is no status code. The Python package checks its own names against these.
LENTRASDK_API const char* lxsim_status_name(int status);

// The active links of the platform's media graph, as JSON text (owned by the library, valid
// until this thread's next call): a list of {"source", "source_pad", "sink", "sink_pad"}, in
// the graph's order.
LENTRASDK_API const char* lxsim_active_routes(void);

// Reads back the frame number stamped into a captured frame of the given pixel format and size
// (MJPG frames are decoded first). Returns the number, or -1 when no stamp can be read.
LENTRASDK_API long lxsim_read_frame_number(const uint8_t* data, size_t size, int format,
                                           int width, int height);
}
