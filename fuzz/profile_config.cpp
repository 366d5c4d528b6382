// OSP profile configurations (LxLoadProfileConfig): any text gives a profile or one message
// naming the bad entry, and a profile holds only what the format allows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "description/profile_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const lentra::ProfileParseResult parsed = lentra::parseProfileConfig(text);
    if (parsed.profile.has_value() == !parsed.error.empty()) std::abort();  // one or the other
    if (!parsed.profile) return 0;
    const lentra::ProfileConfig& p = *parsed.profile;
    if (p.text != text) std::abort();  // what LxGetOSPProfileConfig reports is the file itself
    if (p.stream.format == LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_NONE) std::abort();
    if (p.stream.width == 0 || p.stream.height == 0 || p.stream.framerate == 0) std::abort();
    std::set<LX_ISP_IMAGE_PROPERTIES> seen;
    for (const auto& [property, value] : p.imageProcessing) {
        (void)value;
        if (static_cast<int32_t>(property) < 0 ||
            property >= LX_ISP_IMAGE_PROPERTIES::ISP_IMAGE_PROP_MAX)
            std::abort();
        if (!seen.insert(property).second) std::abort();  // each control at most once
    }
    return 0;
}
