// Media routes. A route comes back as an LxRoute sharing the SDK's object (None when the SDK
// gives an empty handle); a platform without route management makes the SDK throw
// std::runtime_error, which pybind11 raises as RuntimeError.
#include "adapters.h"

namespace lentra_binding {

void init_route_functions(py::module_& m) {
    m.def("LxResetActiveRoutes", &LxResetActiveRoutes, "Reset active routes from media entities");
    m.def("LxLoadRouteYaml", &LxLoadRouteYaml, "Load the routes from yaml file");
    m.def("LxActivateYamlRoutes", &LxActivateYamlRoutes, "Activate the routes from yaml file");
}

}  // namespace lentra_binding
