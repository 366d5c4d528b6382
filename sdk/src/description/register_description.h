// The registers part of a device's description: the image signal processor's register file, the
// sensors' registers behind it and the devices on the camera's I2C bus. Plain data, read by
// parseRegisters (the only code that knows its JSON layout, documented in
// sdk/docs/rig-description.md).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "LentraSDK.h"
#include "description/enum_names.h"

namespace lentra {

class JsonObject;
struct ControlDescription;

// One 16-bit register: its value when the rig is built, whether writes are refused, and for an
// ISP register the image control it shows (it then reads and writes that control's value).
struct RegisterEntry {
    uint16_t value = 0;
    bool readOnly = false;
    std::optional<LX_ISP_IMAGE_PROPERTIES> mirrors;
    bool mirrorsSigned = false;  // the control's range goes below 0: the register is two's complement
};
using RegisterTable = std::map<uint16_t, RegisterEntry>;

// A device on the camera's I2C bus: byte registers from 0 to size - 1, addressed with
// `addressWidth` bytes.
struct I2cDeviceDescription {
    uint8_t address = 0;  // 7-bit
    std::string name;
    uint8_t addressWidth = 1;
    uint32_t size = 256;
    std::map<uint32_t, uint8_t> bytes;  // bytes not named are 0
    std::vector<uint32_t> readOnly;
};

struct RegisterDescription {
    bool hasIsp = false;  // the camera has an image signal processor with a register file
    RegisterTable isp;
    std::map<uint16_t, RegisterTable> sensors;  // sensor number -> its registers
    std::vector<I2cDeviceDescription> i2c;
};

// Reads a device's "registers" object. `ispControls` are the device's ISP controls (indexed by
// LX_ISP_IMAGE_PROPERTIES), which mirrored registers must name.
RegisterDescription parseRegisters(JsonObject o,
                                   const std::array<ControlDescription, kIspPropertyCount>& ispControls);

}  // namespace lentra
