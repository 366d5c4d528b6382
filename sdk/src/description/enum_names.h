// Names of the SDK's enumeration members as rig descriptions and log lines spell them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "LentraSDK.h"

namespace lentra {

// One (name, value) pair of a table; tables end where their array ends.
struct EnumName {
    const char* name;
    int32_t value;
};

struct EnumTable {
    const EnumName* entries;
    std::size_t count;

    std::optional<int32_t> find(std::string_view name) const;
    // The name of `value`, or nullptr when no member has it.
    const char* nameOf(int32_t value) const;
    // "A, B or C", for error messages.
    std::string choices() const;
};

// Descriptions name these members without their common prefix ("KAVL", "MJPG", "SUPER").
extern const EnumTable kProductTypeNames;
extern const EnumTable kInterfaceNames;
extern const EnumTable kUsbSpeedNames;
extern const EnumTable kImageFormatNames;
extern const EnumTable kOspFlagNames;
extern const EnumTable kSensorModeNames;
extern const EnumTable kDistortionModelNames;
// Controls are named by their full member name ("ISP_IMAGE_BRIGHTNESS").
extern const EnumTable kIspPropertyNames;
extern const EnumTable kUvcPropertyNames;
// Status codes by their full constant name ("LX_STATUS_NOT_OPEN").
extern const EnumTable kStatusNames;

constexpr std::size_t kIspPropertyCount =
    static_cast<std::size_t>(LX_ISP_IMAGE_PROPERTIES::ISP_IMAGE_PROP_MAX);
constexpr std::size_t kUvcPropertyCount =
    static_cast<std::size_t>(LX_UVC_IMAGE_PROPERTIES::UVC_IMAGE_PROP_MAX);

// "LX_STATUS_NOT_OPEN (-3)" for log lines.
std::string statusText(int status);

}  // namespace lentra
