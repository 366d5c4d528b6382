#include "bootdata/boot_data.h"

namespace lentra {

BootData::BootData(const DeviceDescription& description)
    : v2_(description.headerV2), v3_(description.headerV3) {}

int BootData::headerVersion() const {
    if (v3_) return 3;
    if (v2_) return 2;
    return LX_STATUS_NOT_SUPPORTED;
}

int BootData::headerV2(std::unique_ptr<LxHeaderV2>& header) const {
    if (!v2_) return LX_STATUS_NOT_SUPPORTED;
    header = std::make_unique<LxHeaderV2>(*v2_);
    return LX_STATUS_OK;
}

int BootData::headerV3(std::unique_ptr<LxHeaderV3>& header) const {
    if (!v3_) return LX_STATUS_NOT_SUPPORTED;
    header = std::make_unique<LxHeaderV3>(*v3_);
    return LX_STATUS_OK;
}

void BootData::flash(BootImage image) {
    v2_ = image.v2;
    v3_ = image.v3;
    content_ = std::move(image.content);
}

}  // namespace lentra
