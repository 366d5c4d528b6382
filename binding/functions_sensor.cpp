// Sensor-configuration files and the sensor's work mode. Each Python function calls the SDK
// function of the same name once.
#include "adapters.h"

namespace lentra_binding {

void init_sensor_config_functions(py::module_& m) {
    m.def("LxExportSensorConfig", &LxExportSensorConfig, "Save sensor config to binary file");
    m.def("LxDecodeSensorConfig", &LxDecodeSensorConfig, "Decode sensor binary file to json format");
}

void init_sensor_mode_function(py::module_& m) {
    m.def("LxGetSensorWorkMode", returning_outputs(&LxGetSensorWorkMode), "Get sensor work mode");
}

}  // namespace lentra_binding
