// Fault descriptions (lxsim_inject): any text gives a fault or an error; a fault that inject()
// accepts for a function is stored into outputs of every type without undefined behaviour.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/fault_description.h"
#include "sim/faults.h"

namespace {

const char* const kFunctions[] = {
    "LxDiscoverCameraDevices", "LxGetDeviceName", "LxGetMaxFPS",      "LxGetTimestamp",
    "LxGetIMUAccData",         "LxGetFormatList", "LxGenericI2CRead", "LxGetUVCImageProcessingRange",
    "LxGetUVCImageProcessing", "LxGetISPUData",   "LxGetIntrinsics",  "LxGetBootdataHeaderV3",
    "LxGetImage",              "LxOpen",          "LxResetActiveRoutes", "LxUpgradeSensorFW",
};

// Stores the fault into one output of each type, as the SDK functions do.
void storeEverywhere(const lentra::sim::Fault& fault) {
    std::string text;
    uint8_t u8 = 0;
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    int32_t i32 = 0;
    float f = 0;
    std::vector<std::string> texts;
    std::vector<float> floats;
    std::vector<LxFormat> formats;
    LxImuIspu ispu{};
    LxIntrinsics intrinsics{};
    std::unique_ptr<LxHeaderV2> v2;
    std::unique_ptr<LxHeaderV3> v3 = std::make_unique<LxHeaderV3>();
    uint8_t bytes[2] = {};
    lentra::sim::I2CBytes i2c{bytes, 2};
    LX_IMAGE_FORMAT format{};
    fault.answer(text, u8, u16, u32, i32, f, texts, floats, formats);
    fault.answer(ispu, intrinsics, v2, v3, i2c, format);
    fault.answer(i32, i32, i32, i32);
    int size = 0;
    fault.capture(size);
    fault.upgrade([](int) {});
    try {
        fault.throwIfAsked();
    } catch (const std::runtime_error&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the function, the rest is the fault's JSON text.
    const char* function = kFunctions[data[0] % (sizeof kFunctions / sizeof *kFunctions)];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    lentra::FaultParseResult parsed = lentra::parseFaultDescription(text.c_str());
    if (parsed.fault.has_value() == !parsed.error.empty()) std::abort();
    if (!parsed.fault) return 0;
    storeEverywhere(lentra::sim::Fault(std::make_shared<const lentra::FaultDescription>(*parsed.fault)));
    std::string error;
    if (lentra::sim::inject(function, 1, std::move(*parsed.fault), error) == LX_STATUS_OK) {
        auto taken = lentra::sim::enter(function);
        if (!taken) std::abort();  // the injected fault answers the next call
    } else if (error.empty()) {
        std::abort();  // a refusal says why
    }
    lentra::sim::clearFaults();
    return 0;
}
