// Shared declarations of the pyLentraSDK module: one init_<group> function per source file,
// called by module.cpp in registration order.
#pragma once

#include <string>
#include <vector>

#include <pybind11/pybind11.h>

#include "LentraSDK.h"

// The SDK's vector of names crosses as the bound LxStringList type, never as a converted list.
// Every translation unit must agree on this, so it sits in the header they all include.
PYBIND11_MAKE_OPAQUE(std::vector<std::string>)

namespace py = pybind11;

namespace lentra_binding {

void init_string_list(py::module_& m);

void init_device_enums(py::module_& m);
void init_image_format_enum(py::module_& m);
void init_control_enums(py::module_& m);
void init_distortion_model_enum(py::module_& m);

void init_format_record(py::module_& m);
void init_header_records(py::module_& m);
void init_imu_ispu_record(py::module_& m);
void init_intrinsics_record(py::module_& m);

void init_camera_handle(py::module_& m);
void init_route_handle(py::module_& m);

void init_library_functions(py::module_& m);
void init_device_functions(py::module_& m);
void init_register_firmware_bootdata_functions(py::module_& m);
void init_control_functions(py::module_& m);
void init_sensor_config_functions(py::module_& m);
void init_route_functions(py::module_& m);
void init_sensor_mode_function(py::module_& m);
void init_imu_functions(py::module_& m);
void init_camera_data_functions(py::module_& m);

}  // namespace lentra_binding
