// Image-processing and stream-control functions: UVC and ISP properties, current gain and
// exposure, frame-rate cap, throughput, OSP profile, timestamp and frame counter. Each Python
// function calls the SDK function of the same name once.
#include "adapters.h"

namespace lentra_binding {
namespace {

// The ISP getters answer 0 or -1 only: a negative SDK status becomes -1 and every reported
// value 0, whatever the SDK left in them; any other status becomes 0 with the values.
struct ZeroOrMinusOne {
    template <typename... O>
    std::tuple<int, O...> operator()(int status, O&&... outputs) const {
        if (status < 0) return std::tuple<int, O...>(-1, O{}...);
        return std::tuple<int, O...>(0, std::move(outputs)...);
    }
};

// The exposure is carried in a 32-bit signed element: SDK values from 2^31 up read negative.
struct SignedExposure {
    std::tuple<int, std::int32_t> operator()(int status, std::uint32_t exposure) const {
        return {status, static_cast<std::int32_t>(exposure)};
    }
};

}  // namespace

void init_control_functions(py::module_& m) {
    m.def("LxSetUVCImageProcessing", calling(&LxSetUVCImageProcessing), "Set UVC image processing");
    m.def("LxGetUVCImageProcessing", returning_outputs(&LxGetUVCImageProcessing),
          "Get UVC image processing");
    m.def("LxGetUVCImageProcessingRange", returning_outputs(&LxGetUVCImageProcessingRange),
          "Get UVC image processing range");
    m.def("LxSetISPImageProcessing", calling(&LxSetISPImageProcessing), "Set ISP image processing");
    m.def("LxSetISPImageProcessingDefault", &LxSetISPImageProcessingDefault,
          "Set ISP image processing to default");
    m.def("LxGetISPImageProcessing", returning_outputs(&LxGetISPImageProcessing, ZeroOrMinusOne{}),
          "Get ISP image processing");
    m.def("LxGetISPImageProcessingRange",
          returning_outputs(&LxGetISPImageProcessingRange, ZeroOrMinusOne{}),
          "Get ISP image processing range");
    m.def("LxGetCurrentGain", returning_outputs(&LxGetCurrentGain), "Get current gain");
    m.def("LxGetCurrentExposure", returning_outputs(&LxGetCurrentExposure, SignedExposure{}),
          "Get current exposure");
    m.def("LxGetMaxFPS", returning_outputs(&LxGetMaxFPS), "Get maximum FPS");
    m.def("LxSetMaxFPS", &LxSetMaxFPS, "Set maximum FPS");
    m.def("LxGetThroughPut", returning_outputs(&LxGetThroughPut), "Get throughput");
    m.def("LxSetThroughPut", &LxSetThroughPut, "Set throughput");
    m.def("LxGetOSPProfileFlag", returning_outputs(&LxGetOSPProfileFlag), "Get OSP profile flag");
    m.def("LxSetOSPProfileFlag", calling(&LxSetOSPProfileFlag), "Set OSP profile flag");
    m.def("LxGetOSPProfileConfig", returning_outputs(&LxGetOSPProfileConfig),
          "Get OSP profile config");
    m.def("LxLoadProfileConfig", &LxLoadProfileConfig, "Load profile config");
    m.def("LxActivateProfileStreaming", &LxActivateProfileStreaming, "Activate profile streaming");
    m.def("LxActivateProfileImageProcessing", &LxActivateProfileImageProcessing,
          "Activate profile image processing");
    m.def("LxGetTimestamp", returning_outputs(&LxGetTimestamp), "Get Timestamp");
    m.def("LxResetTimestamp", &LxResetTimestamp, "Reset Timestamp");
    m.def("LxGetFrameCount", returning_outputs(&LxGetFrameCount), "Get Frame Count");
    m.def("LxResetFrameCount", &LxResetFrameCount, "Reset Frame Count");
}

}  // namespace lentra_binding
