// Opaque handles to SDK objects. A Python object holds one share of the SDK's shared handle, so
// the camera or route lives while either side keeps it; dropping the Python object closes
// nothing. Empty handles cross as None both ways. A repr names the kind only: finding out more
// would call the SDK, and the binding calls it only when a function is called.
#include <memory>

#include "bindings.h"

namespace lentra_binding {

void init_camera_handle(py::module_& m) {
    py::class_<LxCamera, std::shared_ptr<LxCamera>>(m, "LxCamera")
        .def("__repr__", [](const LxCamera&) { return "<LxCamera>"; });
}

void init_route_handle(py::module_& m) {
    py::class_<LxRoute, std::shared_ptr<LxRoute>>(m, "LxRoute")
        .def("__repr__", [](const LxRoute&) { return "<LxRoute>"; });
}

}  // namespace lentra_binding
