// The module's exception classes (defined in pylentrasdk.errors) and the helpers that raise them.
//
// Every SDK failure becomes an exception that names the SDK function, the status (or capture
// result) by its SDK name and carries its value:
//
//   StreamError (pylentrasdk.errors.LentraError, RuntimeError)   any failure; attributes
//                                     function, status_name, status
//     CaptureTimeoutError (+ TimeoutError)   no frame within the time-out, or LxGetImage
//                                      answered LX_TIMEOUT well before its wait passed
//     StreamClosedError                the stream was closed (before or during the call)
//     PoolExhaustedError               a fixed pool whose buffers the caller all holds
//
// The text of an SDK failure is pylentrasdk.errors.failure_message's, as for the package's other
// failures. The raise helpers need the interpreter lock.
#pragma once

#include <string>

#include <pybind11/pybind11.h>

#include "LentraSDK.h"

namespace py = pybind11;

namespace lentra_stream {

void init_errors(py::module_& m);

// The SDK's name of a status code or capture result ("LX_STATUS_NOT_OPEN", "LX_TIMEOUT"), from
// the package's own tables (pylentrasdk.status, the binding's LX_CAPTURE_RESULT).
std::string status_name(int status);
std::string capture_result_name(LX_CAPTURE_RESULT result);

// `function` failed with the int status `status`; `detail` (may be empty) says more.
[[noreturn]] void raise_status(const char* function, int status, const std::string& detail);
// LxGetImage answered `result`: CaptureTimeoutError for LX_TIMEOUT, StreamError otherwise.
[[noreturn]] void raise_capture(LX_CAPTURE_RESULT result, const std::string& detail);
[[noreturn]] void raise_closed(const std::string& message);
[[noreturn]] void raise_pool_exhausted(const std::string& message);
// A failure found by this module rather than reported by the SDK (no status).
[[noreturn]] void raise_stream_error(const std::string& message);

}  // namespace lentra_stream
