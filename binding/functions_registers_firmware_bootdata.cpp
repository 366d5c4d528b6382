// Register access, firmware and boot-data functions. Each Python function calls the SDK function
// of the same name once, except where a data area limit refuses the call first (generic I2C).
#include <pybind11/functional.h>

#include "adapters.h"

namespace lentra_binding {

void init_register_firmware_bootdata_functions(py::module_& m) {
    m.def("LxGenericI2CRead", i2c_reading(&LxGenericI2CRead), "Generic I2C read");
    m.def("LxGenericI2CWrite", i2c_writing(&LxGenericI2CWrite), "Generic I2C write");
    m.def("LxAP1302I2CRead", returning_outputs(&LxAP1302I2CRead), "AP1302 I2C read");
    m.def("LxAP1302I2CWrite", &LxAP1302I2CWrite, "AP1302 I2C write");
    m.def("LxAP1302SensorRegisterRead", returning_outputs(&LxAP1302SensorRegisterRead),
          "AP1302 sensor register read");
    m.def("LxAP1302SensorRegisterWrite", &LxAP1302SensorRegisterWrite,
          "AP1302 sensor register write");
    m.def("LxGetSensorUniqueID", returning_outputs(&LxGetSensorUniqueID), "Get sensor unique ID");
    m.def("LxGetHeaderVersion", &LxGetHeaderVersion, "Get header version");
    m.def("LxGotoUSBProgramMode", &LxGotoUSBProgramMode, "Go to USB program mode");
    // pybind11's conversion of the callable takes the interpreter lock for each progress call.
    m.def("LxUpgradeFX3FW", calling(&LxUpgradeFX3FW), "Upgrade FX3 firmware");
    m.def("LxUpgradeSensorFW", &LxUpgradeSensorFW, "Upgrade sensor firmware");
    m.def("LxGetBootdataHeaderV2", returning_outputs(&LxGetBootdataHeaderV2),
          "Get bootdata header v2");
    m.def("LxGetBootdataHeaderV3", returning_outputs(&LxGetBootdataHeaderV3),
          "Get bootdata header v3");
    m.def("LxGetBootdataHeaderV2FromFile", header_from_file(&LxGetBootdataHeaderV2FromFile),
          "Get bootdata header v2 from file", py::arg("path") = std::string(), py::pos_only());
    m.def("LxGetBootdataHeaderV3FromFile", header_from_file(&LxGetBootdataHeaderV3FromFile),
          "Get bootdata header v3 from file", py::arg("path") = std::string(), py::pos_only());
}

}  // namespace lentra_binding
