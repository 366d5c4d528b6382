// What a camera stores about itself: product information flashed from an image file, and its
// intrinsic calibration (records cross by copy both ways).
#include "adapters.h"

namespace lentra_binding {

void init_camera_data_functions(py::module_& m) {
    m.def("LxFlashProductInfo", &LxFlashProductInfo, "Flash product info from image file");
    m.def("LxWriteIntrinsics", calling(&LxWriteIntrinsics), "Write intrinsics calibration data to camera");
    m.def("LxGetIntrinsics", returning_outputs(&LxGetIntrinsics), "Get intrinsics calibration data from camera");
}

}  // namespace lentra_binding
