#include "description/profile_config.h"

#include <algorithm>
#include <limits>
#include <set>
#include <stdexcept>

#include <yaml-cpp/yaml.h>

#include "description/enum_names.h"
#include "description/rig_description.h"
#include "description/yaml_nodes.h"

namespace lentra {

namespace {

struct ProfileError {
    ProfileProblem problem;
};

[[noreturn]] void fail(const std::string& where, const std::string& why) {
    throw ProfileError{{where, why}};
}

// Well-formed UTF-8 without NUL bytes: anything else is not the text a profile is. Overlong
// forms, surrogates and code points beyond U+10FFFF are refused too, since the text is handed
// back as it is (LxGetOSPProfileConfig), and Python decodes it strictly.
bool isText(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == 0) return false;
        int extra = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
        if (extra < 0 || (extra == 1 && c < 0xC2) || c > 0xF4 || i + std::size_t(extra) >= s.size()) return false;
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + std::size_t(k)]) >> 6) != 0x2) return false;
        const auto next = extra > 0 ? static_cast<unsigned char>(s[i + 1]) : 0;
        if ((c == 0xE0 && next < 0xA0) || (c == 0xED && next > 0x9F) || (c == 0xF0 && next < 0x90) ||
            (c == 0xF4 && next > 0x8F))
            return false;
        i += std::size_t(extra) + 1;
    }
    return true;
}

// The last line that is neither blank nor a comment must be the document end marker "...":
// a file cut short anywhere before it is refused instead of read as a smaller profile.
bool endsWithMarker(const std::string& s) {
    std::size_t end = s.size();
    while (end > 0) {
        std::size_t start = s.rfind('\n', end - 1);
        start = start == std::string::npos ? 0 : start + 1;
        std::string line = s.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        const std::size_t first = line.find_first_not_of(" \t");
        if (first != std::string::npos && line[first] != '#') return line == "...";
        if (start == 0) break;
        end = start - 1;
    }
    return false;
}

int64_t integer(const YAML::Node& node, const std::string& where, int64_t lo, int64_t hi) {
    const std::string range = "must be an integer from " + std::to_string(lo) + " to " + std::to_string(hi);
    if (!node.IsScalar()) fail(where, range);
    int64_t v = 0;
    try {
        std::size_t used = 0;
        const std::string& text = node.Scalar();
        v = std::stoll(text, &used, 10);
        if (used != text.size()) fail(where, range);
    } catch (const std::logic_error&) {
        fail(where, range);
    }
    if (v < lo || v > hi) fail(where, range);
    return v;
}

const YAML::Node& mapping(const YAML::Node& node, const std::string& where) {
    if (!node.IsMap()) fail(where, "must be a mapping");
    return node;
}

// Refuses keys the format does not name and, since yaml-cpp keeps duplicates silently (and a
// lookup finds only the first), any key given twice.
void onlyKeys(const YAML::Node& map, const std::string& where, const std::set<std::string>& known) {
    std::set<std::string> seen;
    for (const auto& item : map) {
        const std::string key = item.first.IsScalar() ? item.first.Scalar() : "";
        const std::string path = where.empty() ? key : where + "." + key;
        if (!known.count(key)) fail(path, "unknown key");
        if (!seen.insert(key).second) fail(path, "is given twice");
    }
}

YAML::Node required(const YAML::Node& map, const std::string& where, const char* key) {
    YAML::Node node = map[key];
    if (!node) fail(where.empty() ? key : where + "." + key, "is missing");
    return node;
}

FormatDescription parseStream(const YAML::Node& node) {
    mapping(node, "streaming");
    onlyKeys(node, "streaming", {"format", "width", "height", "framerate"});
    FormatDescription f;
    const YAML::Node format = required(node, "streaming", "format");
    auto value = format.IsScalar() ? kImageFormatNames.find(format.Scalar()) : std::nullopt;
    if (!value || *value == static_cast<int32_t>(LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_NONE))
        fail("streaming.format", "must be a pixel format that carries frames (MJPG, YUY2, ...)");
    f.format = static_cast<LX_IMAGE_FORMAT>(*value);
    f.width = static_cast<uint16_t>(integer(required(node, "streaming", "width"), "streaming.width", 1, 65535));
    f.height = static_cast<uint16_t>(integer(required(node, "streaming", "height"), "streaming.height", 1, 65535));
    f.framerate = static_cast<uint16_t>(
        integer(required(node, "streaming", "framerate"), "streaming.framerate", 1, 65535));
    return f;
}

}  // namespace

ProfileParseResult parseProfileConfig(const std::string& text) {
    ProfileParseResult result;
    try {
        if (text.empty()) fail("file", "is empty");
        if (text.size() > kMaxProfileBytes)
            fail("file", "is larger than " + std::to_string(kMaxProfileBytes) + " bytes");
        if (!isText(text)) fail("file", "is not UTF-8 text");
        if (!endsWithMarker(text)) fail("file", "does not end with the line \"...\" (cut short?)");
        YAML::Node top;
        try {
            if (!yamlNodesAtMost(text, kMaxProfileNodes))
                fail("file", "holds more than " + std::to_string(kMaxProfileNodes) + " YAML nodes");
            top = YAML::Load(text);
        } catch (const YAML::Exception& e) {
            fail("file", std::string("is not YAML: ") + e.what());
        }
        if (!top.IsMap()) fail("file", "must hold a mapping");
        onlyKeys(top, "", {"profile", "name", "comment", "streaming", "image_processing"});
        if (integer(required(top, "", "profile"), "profile", 1, 1) != 1) fail("profile", "must be 1");
        ProfileConfig p;
        p.text = text;
        if (YAML::Node name = top["name"]) {
            if (!name.IsScalar()) fail("name", "must be a text");
            p.name = name.Scalar();
        }
        p.stream = parseStream(required(top, "", "streaming"));
        const YAML::Node isp = required(top, "", "image_processing");
        if (!(isp.IsMap() || (isp.IsNull()))) fail("image_processing", "must be a mapping");
        std::set<int32_t> seen;
        for (const auto& item : isp) {
            const std::string key = item.first.IsScalar() ? item.first.Scalar() : "";
            const std::string where = "image_processing." + key;
            auto property = kIspPropertyNames.find(key);
            if (!property) fail(where, "not an ISP control name");
            if (!seen.insert(*property).second) fail(where, "given twice");
            const auto value = integer(item.second, where, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max());
            p.imageProcessing.emplace_back(static_cast<LX_ISP_IMAGE_PROPERTIES>(*property),
                                           static_cast<int32_t>(value));
        }
        result.profile = std::move(p);
    } catch (const ProfileError& e) {
        result.problem = e.problem;
    } catch (const YAML::Exception& e) {
        result.problem = ProfileProblem{"file", e.what()};
    }
    if (result.problem) result.error = result.problem->message();
    return result;
}

std::optional<ProfileProblem> checkProfileForDevice(const ProfileConfig& p, const DeviceDescription& device) {
    const bool listed = std::any_of(device.formats.begin(), device.formats.end(), [&p](const FormatDescription& f) {
        return f.carriesFrames() && f.sameAs(p.stream);
    });
    if (!listed) return ProfileProblem{"streaming", "the camera lists no such format"};
    for (const auto& [property, value] : p.imageProcessing) {
        const std::string where =
            "image_processing." + std::string(kIspPropertyNames.nameOf(static_cast<int32_t>(property)));
        const ControlDescription& c = device.ispControls[static_cast<std::size_t>(property)];
        if (!c.present) return ProfileProblem{where, "the camera has no such control"};
        if (c.readOnly) return ProfileProblem{where, "the control is read-only"};
        if (value < c.min || value > c.max)
            return ProfileProblem{where, "must be from " + std::to_string(c.min) + " to " + std::to_string(c.max)};
    }
    return std::nullopt;
}

}  // namespace lentra
