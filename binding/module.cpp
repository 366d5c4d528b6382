// Entry point of pyLentraSDK. Registration order is part of the module's interface: every type
// comes before the first function whose signature names it, so Python signatures show Python
// type names. Each group lives in its own file; this is the one place that orders them.
#include "bindings.h"

namespace lb = lentra_binding;

PYBIND11_MODULE(pyLentraSDK, m) {
    lb::init_string_list(m);

    lb::init_device_enums(m);  // log level, product type, capture result, interface, USB speed
    lb::init_format_record(m);
    lb::init_image_format_enum(m);
    lb::init_header_records(m);
    lb::init_control_enums(m);  // image properties, flash, OSP, FX3, sensor, upgrade, IMU modes
    lb::init_imu_ispu_record(m);
    lb::init_distortion_model_enum(m);
    lb::init_intrinsics_record(m);

    m.doc() = "Python bindings for LentraSDK";

    lb::init_library_functions(m);  // greeting and logging
    lb::init_camera_handle(m);
    lb::init_device_functions(m);  // discovery, identity, formats, streaming, capture, firmware

    lb::init_register_firmware_bootdata_functions(m);  // register access, firmware and boot data
    lb::init_control_functions(m);   // image processing and stream control

    lb::init_sensor_config_functions(m);  // LxExportSensorConfig, LxDecodeSensorConfig
    lb::init_route_handle(m);
    lb::init_route_functions(m);
    lb::init_sensor_mode_function(m);
    lb::init_imu_functions(m);
    lb::init_camera_data_functions(m);  // LxFlashProductInfo, LxWriteIntrinsics, LxGetIntrinsics
}
