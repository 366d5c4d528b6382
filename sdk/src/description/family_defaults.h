// What a camera of each product family has when its rig description leaves it out: its image
// controls, frame-rate cap, throughput and OSP profile (sdk/docs/rig-description.md lists them).
#pragma once

#include <cstdint>
#include <optional>

#include "description/rig_description.h"

namespace lentra {

struct FamilyDefaults {
    IspControlDescriptions isp{};
    UvcControlDescriptions uvc{};
    std::optional<uint8_t> maxFps;
    std::optional<uint16_t> throughput;
    std::optional<OspProfileDescription> ospProfile;
};

// The ISP control that measures the same quantity as a UVC property, if there is one.
std::optional<LX_ISP_IMAGE_PROPERTIES> ispTwinOf(LX_UVC_IMAGE_PROPERTIES property);

FamilyDefaults familyDefaults(LX_CAMERA_PRODUCT_TYPE family, LX_CAMERA_INTERFACE_TYPE interface,
                              bool lentra);

}  // namespace lentra
