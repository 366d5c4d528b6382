// One stream format as a description names it: plain data shared by rig descriptions and OSP
// profile configurations.
#pragma once

#include <cstdint>

#include "LentraSDK.h"

namespace lentra {

struct FormatDescription {
    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t framerate = 0;
    LX_IMAGE_FORMAT format = LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_NONE;

    bool carriesFrames() const { return format != LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_NONE; }
    bool sameAs(const FormatDescription& o) const {
        return width == o.width && height == o.height && framerate == o.framerate && format == o.format;
    }
};

}  // namespace lentra
