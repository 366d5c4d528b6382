// The IMU. Vector reads return (status, float32 array), the array empty unless the status is 0;
// the self-test mode is Python's second argument although it is the SDK's last.
#include "adapters.h"

namespace lentra_binding {

void init_imu_functions(py::module_& m) {
    m.def("LxEnableIMUMode", calling(&LxEnableIMUMode), "Enable IMU mode");
    m.def("LxRebootIMUMode", calling(&LxRebootIMUMode), "Reboot IMU mode");
    m.def("LxGetIMUAccData", returning_outputs(&LxGetIMUAccData, Float32Array{}), "Get IMU Accelerometer data");
    m.def("LxGetIMUGyrData", returning_outputs(&LxGetIMUGyrData, Float32Array{}), "Get IMU Gyroscope data");
    m.def("LxGetISPUData", returning_outputs(&LxGetISPUData), "Get IMU ISPU data");
    m.def("LxGetIMUTemperature", returning_outputs(&LxGetIMUTemperature), "Get IMU Temperature data");
    m.def("LxGetIMUSensorTime", returning_outputs(&LxGetIMUSensorTime), "Get IMU Sensor timestamp");
}

}  // namespace lentra_binding
