#include "errors.h"

#include <Python.h>

namespace lentra_stream {
namespace {

// The classes live as attributes of the module, which is never unloaded; these pointers only
// refer to them.
PyObject* stream_error = nullptr;
PyObject* timeout_error = nullptr;
PyObject* closed_error = nullptr;
PyObject* pool_error = nullptr;

PyObject* new_class(py::module_& m, const char* name, const char* doc, py::object bases) {
    const std::string qualified = std::string("pylentrasdk.stream.") + name;
    // Class defaults, so that every instance has the attributes even when raised from Python.
    py::dict defaults;
    defaults["function"] = py::none();
    defaults["status_name"] = py::none();
    defaults["status"] = py::none();
    PyObject* cls = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, bases.ptr(), defaults.ptr());
    if (!cls) throw py::error_already_set();
    m.add_object(name, py::reinterpret_steal<py::object>(cls));
    return cls;
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
    // A StreamError is one of the package's LentraErrors (pylentrasdk.errors), and stays a
    // RuntimeError as it always was.
    py::object lentra_error = py::module_::import("pylentrasdk.errors").attr("LentraError");
    stream_error = new_class(m, "StreamError",
                             "A streaming call failed. `function` names the SDK function that "
                             "failed and `status_name` / `status` give its status or capture "
                             "result (all None when the failure was found by the stream itself).",
                             py::make_tuple(lentra_error,
                                            py::reinterpret_borrow<py::object>(PyExc_RuntimeError)));
    py::object base = py::reinterpret_borrow<py::object>(stream_error);
    timeout_error = new_class(m, "CaptureTimeoutError", "No frame came within the time-out.",
                              py::make_tuple(base, py::reinterpret_borrow<py::object>(PyExc_TimeoutError)));
    closed_error = new_class(m, "StreamClosedError",
                             "The stream is closed, or was closed while the call waited.", base);
    pool_error = new_class(m, "PoolExhaustedError",
                           "Every buffer of a fixed pool is held by frames the caller keeps.", base);
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
