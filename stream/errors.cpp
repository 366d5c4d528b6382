#include "errors.h"

#include <Python.h>

namespace lentra_stream {
namespace {

// The classes live in pylentrasdk.errors and as attributes of this module, which is never
// unloaded; these pointers only refer to them.
PyObject* stream_error = nullptr;
PyObject* timeout_error = nullptr;
PyObject* closed_error = nullptr;
PyObject* pool_error = nullptr;

// The class `name` of pylentrasdk.errors, where every exception of the package is defined, made an
// attribute of this module too (pylentrasdk.stream.StreamError is pylentrasdk.errors.StreamError).
PyObject* shared_class(py::module_& m, const py::module_& errors, const char* name) {
    py::object cls = errors.attr(name);
    m.add_object(name, cls);
    return cls.ptr();
}

[[noreturn]] void raise(PyObject* cls, const std::string& message, const char* function,
                        const std::string& name, int value, bool has_status) {
    py::object error = py::reinterpret_borrow<py::object>(cls)(message);
    if (function) error.attr("function") = function;
    if (has_status) {
        error.attr("status_name") = name;
        error.attr("status") = value;
    }
    PyErr_SetObject(cls, error.ptr());
    throw py::error_already_set();
}

// "LxSetFormat failed: LX_STATUS_STREAMING (-11): detail", made where the package's other
// failures are made (pylentrasdk.errors.failure_message), so the text is written once.
std::string described(const char* function, py::object status, const std::string& detail) {
    return py::module_::import("pylentrasdk.errors")
        .attr("failure_message")(function, status, py::none(), detail)
        .cast<std::string>();
}

}  // namespace

void init_errors(py::module_& m) {
    const py::module_ errors = py::module_::import("pylentrasdk.errors");
    stream_error = shared_class(m, errors, "StreamError");
    timeout_error = shared_class(m, errors, "CaptureTimeoutError");
    closed_error = shared_class(m, errors, "StreamClosedError");
    pool_error = shared_class(m, errors, "PoolExhaustedError");
}

std::string status_name(int status) {
    return py::module_::import("pylentrasdk.status").attr("status_name")(status).cast<std::string>();
}

std::string capture_result_name(LX_CAPTURE_RESULT result) {
    return py::cast(result).attr("name").cast<std::string>();
}

void raise_status(const char* function, int status, const std::string& detail) {
    const std::string name = status_name(status);
    raise(stream_error, described(function, py::int_(status), detail), function, name, status, true);
}

void raise_capture(LX_CAPTURE_RESULT result, const std::string& detail) {
    const std::string name = capture_result_name(result);
    const int value = static_cast<int>(result);
    PyObject* cls = result == LX_CAPTURE_RESULT::LX_TIMEOUT ? timeout_error : stream_error;
    raise(cls, described("LxGetImage", py::cast(result), detail), "LxGetImage", name, value, true);
}

void raise_closed(const std::string& message) { raise(closed_error, message, nullptr, "", 0, false); }

void raise_pool_exhausted(const std::string& message) {
    raise(pool_error, message, nullptr, "", 0, false);
}

void raise_stream_error(const std::string& message) {
    raise(stream_error, message, nullptr, "", 0, false);
}

}  // namespace lentra_stream
