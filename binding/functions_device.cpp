// Greeting, logging, discovery, device identity, formats, streaming, capture and firmware
// versions. Each Python function calls the SDK function of the same name once.
#include "adapters.h"

namespace lentra_binding {
namespace {

// Device names cross as UTF-8 like every text result: a name that is not valid UTF-8 raises
// UnicodeDecodeError right after the SDK call, not later when the list happens to be read.
struct DecodedNames {
    std::tuple<int, std::vector<std::string>> operator()(int status,
                                                         std::vector<std::string>&& names) const {
        for (const std::string& name : names) {
            py::str{name};  // decodes strictly; throws error_already_set on invalid UTF-8
        }
        return {status, std::move(names)};
    }
};

}  // namespace

void init_library_functions(py::module_& m) {
    m.def("HelloLentraSDK", &HelloLentraSDK, "A function that prints Hello LentraSDK and version");
    m.def("LxSetLogFile", &LxSetLogFile, "Set log file path");
    m.def("LxSetLogLevel", calling(&LxSetLogLevel), "Set log level");
}

void init_device_functions(py::module_& m) {
    m.def("LxDiscoverCameraDevices", returning_outputs(&LxDiscoverCameraDevices, DecodedNames{}),
          "Discover available camera devices");
    m.def("LxInitialCameraDevice", &LxInitialCameraDevice, "Initialize camera device by index");
    m.def("LxOpen", &LxOpen, "Open camera device");
    m.def("LxClose", &LxClose, "Close camera device");
    m.def("LxIsLentraCamera", &LxIsLentraCamera, "Check if camera is Lentra camera");
    m.def("LxGetDeviceName", returning_outputs(&LxGetDeviceName), "Get camera device name");
    m.def("LxGetDevicePath", returning_outputs(&LxGetDevicePath), "Get camera device path");
    m.def("LxGetDeviceInterfaceType", returning_outputs(&LxGetDeviceInterfaceType),
          "Get camera device interface type");
    m.def("LxGetDeviceProductType", returning_outputs(&LxGetDeviceProductType),
          "Get camera device product type");
    m.def("LxGetHardwareID", returning_outputs(&LxGetHardwareID), "Get camera hardware ID");
    m.def("LxGetUSBDeviceSpeed", returning_outputs(&LxGetUSBDeviceSpeed), "Get USB device speed");
    m.def("LxGetFormatList", returning_outputs(&LxGetFormatList), "Get supported format list");
    m.def("LxSetFormat", &LxSetFormat, "Set camera format");
    m.def("LxStartStreaming", &LxStartStreaming, "Start camera streaming");
    m.def("LxStopStreaming", &LxStopStreaming, "Stop camera streaming");
    m.def("LxGetImage", capturing(&LxGetImage), "Get camera image");
    m.def("LxResetUVC", &LxResetUVC, "UVC reset");
    m.def("LxGetUSBFirmwareVersion", returning_outputs(&LxGetUSBFirmwareVersion),
          "Get USB firmware version");
    m.def("LxGetKAVRFirmwareVersion", returning_outputs(&LxGetKAVRFirmwareVersion),
          "Get KAVR firmware version");
    m.def("LxGetSensorFirmwareVersion", returning_outputs(&LxGetSensorFirmwareVersion),
          "Get Sensor firmware version");
}

}  // namespace lentra_binding
