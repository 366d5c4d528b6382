// A camera's boot data: the header (version 2 or 3) and content that its flash holds, from the rig
// description until LxFlashProductInfo replaces them with a valid image.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "LentraSDK.h"
#include "bootdata/boot_image.h"
#include "description/rig_description.h"

namespace lentra {

class BootData {
public:
    explicit BootData(const DeviceDescription& description);

    // 2 or 3, or LX_STATUS_NOT_SUPPORTED for a camera without boot data.
    int headerVersion() const;
    // A copy of the header into `header`; LX_STATUS_NOT_SUPPORTED when the camera's boot data has
    // a header of the other version, or none.
    int headerV2(std::unique_ptr<LxHeaderV2>& header) const;
    int headerV3(std::unique_ptr<LxHeaderV3>& header) const;
    // Replaces the boot data with a checked image's.
    void flash(BootImage image);

private:
    std::optional<LxHeaderV2> v2_;
    std::optional<LxHeaderV3> v3_;
    std::string content_;
};

}  // namespace lentra
