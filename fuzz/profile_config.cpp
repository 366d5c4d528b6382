// OSP profile configurations (LxLoadProfileConfig, a rig's osp_profile.config): any text gives a
// profile or one message naming the bad entry, and a profile holds only what the format allows.
// Each accepted profile is then embedded in a rig description whose camera lists its stream
// format, and activated there, so that a parser accepting a value the camera's models cannot take
// is found: once the rig (with its check of the profile) loads, both activations must succeed,
// the ISP values must read back within their ranges, and a small enough format must stream a
// frame.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "LentraSDK.h"
#include "description/enum_names.h"
#include "description/profile_config.h"
#include "description/rig_description.h"
#include "device/rig.h"
#include "lxsim.h"

namespace {

// A one-camera rig whose camera lists the profile's stream format and carries the profile as its
// osp_profile.config, so that the rig's parser checks the profile against the camera as it does
// for any description. A KAVL camera by default: its family's ISP controls and OSP profiles.
std::string rigWith(const lentra::ProfileConfig& profile) {
    const lentra::FormatDescription& s = profile.stream;
    nlohmann::json format = {{"width", s.width}, {"height", s.height}, {"framerate", s.framerate},
                             {"format", lentra::kImageFormatNames.nameOf(static_cast<int32_t>(s.format))}};
    nlohmann::json device = {{"name", "Fuzz"}, {"formats", nlohmann::json::array({format})},
                             {"osp_profile", {{"config", profile.text}}}};
    return nlohmann::json{{"devices", nlohmann::json::array({device})}}.dump();
}

void activate(const lentra::ProfileConfig& profile) {
    const lentra::RigParseResult parsed = lentra::parseRigDescription(rigWith(profile));
    // Refused: a format no camera can list (too small, odd width, ...) or a profile that does
    // not suit the camera, said in one message.
    if (!parsed.rig) {
        if (parsed.error.empty()) std::abort();
        return;
    }
    const lentra::DeviceDescription& device = parsed.rig->devices.at(0);
    if (!device.ospProfile || !device.ospProfile->profile) std::abort();
    if (lentra::checkProfileForDevice(profile, device)) std::abort();  // the rig checked it
    lentra::replaceRig(*parsed.rig);
    if (lxsim_set_pacing(1) != LX_STATUS_OK) std::abort();

    LxCameraHandle cam = LxInitialCameraDevice(0);
    if (!cam || LxOpen(cam) != LX_STATUS_OK) std::abort();
    std::string text;
    if (LxGetOSPProfileConfig(cam, text) != LX_STATUS_OK || text != profile.text) std::abort();
    if (LxActivateProfileImageProcessing(cam) != LX_STATUS_OK) std::abort();
    for (const auto& entry : profile.imageProcessing) {
        int32_t now = 0, aux = 0, min = 0, max = 0, step = 0, def = 0;
        if (LxGetISPImageProcessing(cam, entry.first, now, aux) != LX_STATUS_OK) std::abort();
        if (LxGetISPImageProcessingRange(cam, entry.first, min, max, step, def) != LX_STATUS_OK) std::abort();
        if (now < min || now > max) std::abort();
    }
    if (LxActivateProfileStreaming(cam) != LX_STATUS_OK) std::abort();

    const lentra::FormatDescription& s = profile.stream;
    if (std::size_t{s.width} * s.height <= 256 * 256) {
        if (LxStartStreaming(cam) != LX_STATUS_OK) std::abort();
        std::vector<uint8_t> buffer(std::size_t{s.width} * s.height * 4);
        int size = static_cast<int>(buffer.size());
        if (LxGetImage(cam, buffer.data(), size, 1000) != LX_CAPTURE_RESULT::LX_SUCCESS || size <= 0) std::abort();
        // The format cannot change under a stream: the refusal is the answer.
        if (LxActivateProfileStreaming(cam) != LX_STATUS_STREAMING) std::abort();
        LxStopStreaming(cam);
    }
    LxClose(cam);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const lentra::ProfileParseResult parsed = lentra::parseProfileConfig(text);
    if (parsed.profile.has_value() == !parsed.error.empty()) std::abort();  // one or the other
    if (parsed.profile.has_value() == parsed.problem.has_value()) std::abort();
    if (!parsed.profile) return 0;
    const lentra::ProfileConfig& p = *parsed.profile;
    if (p.text != text) std::abort();  // what LxGetOSPProfileConfig reports is the file itself
    if (text.size() > lentra::kMaxProfileBytes) std::abort();
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
    activate(p);
    return 0;
}
