// LxStringList: the SDK's vector of names as a Python sequence type.
#include <pybind11/stl_bind.h>

#include "bindings.h"

namespace lentra_binding {

void init_string_list(py::module_& m) {
    // bind_vector gives the full list protocol, and a repr of the form LxStringList[a, b]
    // because std::string is printable.
    py::bind_vector<std::vector<std::string>>(m, "LxStringList");
}

}  // namespace lentra_binding
