// OSP profile configuration files: plain data read from the file's text, with no behaviour.
//
// parseProfileConfig is the only place that knows the format (documented for users in
// sdk/docs/profile-config.md). It takes the whole text or refuses it with one message naming
// the bad entry; whether the profile suits a camera is checked by the controls model.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "LentraSDK.h"
#include "description/rig_description.h"

namespace lentra {

struct ProfileConfig {
    std::string text;  // the file as it was read, which LxGetOSPProfileConfig reports
    std::string name;
    FormatDescription stream;
    std::vector<std::pair<LX_ISP_IMAGE_PROPERTIES, int32_t>> imageProcessing;  // in file order
};

struct ProfileParseResult {
    std::optional<ProfileConfig> profile;
    std::string error;  // "streaming.width: ..." when `profile` is empty
};

ProfileParseResult parseProfileConfig(const std::string& text);

}  // namespace lentra
