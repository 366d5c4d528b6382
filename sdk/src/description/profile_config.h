// OSP profile configurations: plain data read from a profile's text, with no behaviour.
//
// parseProfileConfig is the only place that knows the format (documented for users in
// sdk/docs/profile-config.md). It takes the whole text or refuses it with one message naming
// the bad entry. Profiles come from files (LxLoadProfileConfig) and from rig descriptions
// (osp_profile.config); both are parsed here once and checked against the camera with
// checkProfileForDevice before a camera keeps them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "LentraSDK.h"
#include "description/format_description.h"

namespace lentra {

struct DeviceDescription;

// A real profile is a few hundred bytes and fewer than a hundred YAML nodes (a stream format and
// at most one value per ISP control). The caps keep a hostile text's parse small: yaml-cpp spends
// about half a kilobyte per node, so the node count is checked on the event stream before any
// node is built.
constexpr std::size_t kMaxProfileBytes = 64 * 1024;
constexpr std::size_t kMaxProfileNodes = 1024;

struct ProfileConfig {
    std::string text;  // the profile as it was read, which LxGetOSPProfileConfig reports
    std::string name;
    FormatDescription stream;
    std::vector<std::pair<LX_ISP_IMAGE_PROPERTIES, int32_t>> imageProcessing;  // in file order
};

// Where a profile is wrong and why: `where` is a path inside the profile ("streaming.width",
// "image_processing.ISP_IMAGE_BRIGHTNESS"), or "file" for the text as a whole.
struct ProfileProblem {
    std::string where;
    std::string why;

    std::string message() const { return where + ": " + why; }
};

struct ProfileParseResult {
    std::optional<ProfileConfig> profile;
    std::optional<ProfileProblem> problem;  // set exactly when `profile` is empty
    std::string error;                      // problem->message(), or ""
};

ProfileParseResult parseProfileConfig(const std::string& text);

// Whether a parsed profile suits the device: its stream format is one the device lists, and each
// of its ISP values names a writable ISP control of the device and lies within that control's
// range. The first problem found, or nothing.
std::optional<ProfileProblem> checkProfileForDevice(const ProfileConfig& profile,
                                                    const DeviceDescription& device);

}  // namespace lentra
