#include "description/rig_description.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "description/family_defaults.h"
#include "description/json_reader.h"
#include "description/profile_config.h"

namespace lentra {

namespace {

using json = nlohmann::json;
using PT = LX_CAMERA_PRODUCT_TYPE;

constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();
// The longest offset or jitter of a camera on the trigger line, in seconds.
constexpr float kMostTriggerSeconds = 0.1f;

std::string printableNumber(double value) {
    std::string text = std::to_string(value);
    text.erase(text.find_last_not_of('0') + 1);
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

FormatDescription parseFormat(JsonObject o) {
    FormatDescription f;
    f.format = o.enumeration("format", LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_MJPG, kImageFormatNames);
    if (f.carriesFrames()) {
        // The frame generator draws sizes from 16 pixels up; 4:2:2 and 4:2:0 formats need pairs.
        const char* evenWidth = "must be an even integer from 16 to 8192";
        int64_t w = o.integer("width", 640, 16, 8192, evenWidth);
        if (w % 2 != 0) o.fail("width", evenWidth);
        f.width = static_cast<uint16_t>(w);
        f.height = static_cast<uint16_t>(o.integer("height", 480, 16, 8192));
        if (f.format == LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_NV12 && f.height % 2 != 0)
            o.fail("height", "must be even for NV12");
        f.framerate = static_cast<uint16_t>(o.integer("framerate", 30, 1, 1000));
    } else {
        // A format entry without frames is only listed, and has no size: a size would make a
        // capture with its record size a buffer for frames that never come (65535 x 10922
        // is 2 GB).
        const char* noSize = "must be 0: a NONE entry carries no frames";
        f.width = static_cast<uint16_t>(o.integer("width", 0, 0, 0, noSize));
        f.height = static_cast<uint16_t>(o.integer("height", 0, 0, 0, noSize));
        f.framerate = static_cast<uint16_t>(o.integer("framerate", 0, 0, 65535));
    }
    o.finish();
    return f;
}

ControlDescription parseControl(JsonObject o) {
    ControlDescription c;
    c.present = true;
    c.min = static_cast<int32_t>(o.integer("min", 0, kInt32Min, kInt32Max));
    c.max = static_cast<int32_t>(o.integer("max", 100, kInt32Min, kInt32Max));
    if (c.max < c.min) o.fail("max", "must not be below min");
    c.step = static_cast<int32_t>(o.integer("step", 1, 1, kInt32Max));
    c.def = static_cast<int32_t>(o.integer("default", c.min, c.min, c.max));
    c.readOnly = o.boolean("read_only", false);
    c.value = static_cast<int32_t>(o.integer("value", c.def, c.min, c.max));
    o.finish();
    return c;
}

template <std::size_t N>
void parseControls(JsonObject o, const EnumTable& names, std::array<ControlDescription, N>& out) {
    for (const auto& [key, value] : o.items()) {
        auto property = names.find(key);
        if (!property) o.fail(key, "not a control name of this kind");
        out[static_cast<std::size_t>(*property)] = parseControl(o.object(key.c_str()));
    }
}

FirmwareDescription parseFirmware(JsonObject o, const DeviceDescription& d) {
    FirmwareDescription f;
    f.usb = o.text("usb", "", 255);
    f.kavr = o.text("kavr", "", 255);
    f.sensor = o.text("sensor", "", 255);
    f.sensorModel = static_cast<uint16_t>(o.integer("sensor_model", 0, 0, 0xFFFF));
    // Versions only exist on the devices that carry that firmware; saying otherwise is a mistake
    // in the description, not something to answer silently.
    const bool kavrFamily =
        d.productType == PT::LXCAM_PRODUCT_TYPE_KAVR || d.productType == PT::LXCAM_PRODUCT_TYPE_KAVN;
    if (!d.lentra && (!f.usb.empty() || !f.kavr.empty() || !f.sensor.empty()))
        o.fail(!f.usb.empty() ? "usb" : !f.kavr.empty() ? "kavr" : "sensor",
               "only the maker's cameras have firmware versions");
    if (!f.usb.empty() && d.interface != LX_CAMERA_INTERFACE_TYPE::INTERFACE_USB)
        o.fail("usb", "only a USB camera has USB firmware");
    if (!f.kavr.empty() && !kavrFamily) o.fail("kavr", "only a KAVR or KAVN camera has KAVR firmware");
    if (!f.sensor.empty() && d.productType != PT::LXCAM_PRODUCT_TYPE_KAVL)
        o.fail("sensor", "only a KAVL camera has sensor firmware");
    o.finish();
    return f;
}

void copyText(char* field, std::size_t size, const std::string& text) {
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

// `bytes` (at most the field's size, as hexBytes was told) into the start of a byte field. An
// empty vector may hold no storage at all, and memcpy from a null pointer is undefined even for
// no bytes.
template <std::size_t N>
void copyBytes(uint8_t (&field)[N], const std::vector<uint8_t>& bytes) {
    if (!bytes.empty()) std::memcpy(field, bytes.data(), std::min(bytes.size(), N));
}

LxHeaderV2 parseHeaderV2(JsonObject o, const std::string& deviceName) {
    LxHeaderV2 h{};
    h.headerVersion = 2;
    h.contentOffset = static_cast<uint16_t>(o.integer("content_offset", sizeof(LxHeaderV2), 0, 0xFFFF));
    copyText(h.productName, sizeof h.productName, o.text("product_name", deviceName, 63, true));
    h.productVersion = static_cast<uint8_t>(o.integer("product_version", 1, 0, 255));
    o.finish();
    return h;
}

LxHeaderV3 parseHeaderV3(JsonObject o, const std::string& deviceName) {
    LxHeaderV3 h{};
    h.headerVersion = 3;
    auto u16 = [&o](const char* key, int64_t def) {
        return static_cast<uint16_t>(o.integer(key, def, 0, 0xFFFF));
    };
    h.contentOffset = u16("content_offset", sizeof(LxHeaderV3));
    h.sensorType = u16("sensor_type", 0);
    copyBytes(h.sensorFuseId, o.hexBytes("sensor_fuse_id", sizeof h.sensorFuseId));
    copyText(h.productName, sizeof h.productName, o.text("product_name", deviceName, 63, true));
    copyBytes(h.lensId, o.hexBytes("lens_id", sizeof h.lensId));
    h.fixChecksum = u16("fix_checksum", 0);
    std::string qr = o.text("qr_fw_version", "", 2);
    std::memcpy(h.qrFwVersion, qr.data(), qr.size());
    h.vendorFwVersion = u16("vendor_fw_version", 0);
    h.customNumber = u16("custom_number", 0);
    if (auto t = o.integers("record_time", 6, 6, 0, 255)) {
        h.recordYear = static_cast<uint8_t>((*t)[0]);
        h.recordMonth = static_cast<uint8_t>((*t)[1]);
        h.recordDay = static_cast<uint8_t>((*t)[2]);
        h.recordHour = static_cast<uint8_t>((*t)[3]);
        h.recordMinute = static_cast<uint8_t>((*t)[4]);
        h.recordSecond = static_cast<uint8_t>((*t)[5]);
    }
    h.mipiDatarate = u16("mipi_datarate", 0);
    h.contentLen = static_cast<uint32_t>(o.integer("content_len", 0, 0, 0xFFFFFFFF));
    h.contentChecksum = u16("content_checksum", 0);
    h.totalChecksum = u16("total_checksum", 0);
    o.finish();
    return h;
}

LxIntrinsics parseIntrinsics(JsonObject o) {
    LxIntrinsics k{};
    k.w = static_cast<int32_t>(o.integer("width", 0, 0, kInt32Max));
    k.h = static_cast<int32_t>(o.integer("height", 0, 0, kInt32Max));
    k.fx = o.number("fx", 0.0f);
    k.fy = o.number("fy", 0.0f);
    k.cx = o.number("cx", 0.0f);
    k.cy = o.number("cy", 0.0f);
    k.model = o.enumeration("model", LX_DISTORTION_MODEL::LX_DIST_NONE, kDistortionModelNames);
    if (auto coeffs = o.numbers("coeffs", 5, 5)) {
        for (std::size_t i = 0; i < 5; ++i) k.coeffs[i] = (*coeffs)[i];
    }
    o.finish();
    return k;
}

// A number of seconds from 0 to `most`.
double seconds(JsonObject& o, const char* key, float most) {
    // Compared as read (a float), so that the bound written in a description is taken.
    const float value = o.number(key, 0.0f);
    if (!(value >= 0.0f && value <= most))
        o.fail(key, "must be a number of seconds from 0 to " + printableNumber(most));
    return value;
}

TriggerDescription parseTrigger(JsonObject o) {
    TriggerDescription t;
    t.rate = o.number("rate", 0.0f);
    if (!(t.rate == 0.0 || (t.rate >= 1.0 && t.rate <= 1000.0)))
        o.fail("rate", "must be 0 (the first Sync camera's rate) or ticks per second from 1 to 1000");
    t.jitter = seconds(o, "jitter", kMostTriggerSeconds);
    o.finish();
    return t;
}

CameraTriggerDescription parseCameraTrigger(JsonObject o, const TriggerDescription& line) {
    CameraTriggerDescription t;
    t.offset = seconds(o, "offset", kMostTriggerSeconds);
    t.jitter = o.has("jitter") ? seconds(o, "jitter", kMostTriggerSeconds) : line.jitter;
    o.finish();
    return t;
}

DeviceDescription parseDevice(JsonObject o, std::size_t index, const TriggerDescription& line) {
    DeviceDescription d;
    d.name = o.text("name", "Simulated Camera " + std::to_string(index), 255, true);
    d.path = o.text("path", "/dev/video" + std::to_string(2 * index), 255, true);
    d.interface = o.enumeration("interface", LX_CAMERA_INTERFACE_TYPE::INTERFACE_USB, kInterfaceNames);
    d.productType = o.enumeration("product_type", PT::LXCAM_PRODUCT_TYPE_KAVL, kProductTypeNames);
    const bool makersFamily = d.productType != PT::LXCAM_PRODUCT_TYPE_GENERIC_CAMERA &&
                              d.productType != PT::LXCAM_PRODUCT_TYPE_NONE_CAMERA;
    d.lentra = o.boolean("lentra", makersFamily);
    if (d.interface == LX_CAMERA_INTERFACE_TYPE::INTERFACE_USB) {
        d.usbSpeed = o.enumeration("usb_speed", LX_USB_DEVICE_SPEED::USB_DEVICE_SPEED_SUPER, kUsbSpeedNames);
    } else if (o.has("usb_speed")) {
        o.fail("usb_speed", "only a USB camera has a USB speed");
    }
    d.hardwareId = o.text("hardware_id", "", 255);
    if (auto firmware = o.optionalObject("firmware")) d.firmware = parseFirmware(*firmware, d);
    d.sensorUniqueId = o.text("sensor_unique_id", "", 255);

    d.headerVersion = static_cast<int>(o.integer("header_version", 0, 0, 3));
    if (d.headerVersion == 1) o.fail("header_version", "must be 0 (no boot data), 2 or 3");
    auto boot = o.optionalObject("boot_data");
    if (boot && d.headerVersion == 0) o.fail("boot_data", "needs header_version 2 or 3");
    if (d.headerVersion == 2) d.headerV2 = parseHeaderV2(boot ? *boot : JsonObject::empty("boot_data"), d.name);
    if (d.headerVersion == 3) d.headerV3 = parseHeaderV3(boot ? *boot : JsonObject::empty("boot_data"), d.name);

    o.forEachObject("formats", [&d](JsonObject f) { d.formats.push_back(parseFormat(std::move(f))); });
    if (d.formats.size() > 0xFFFF) o.fail("formats", "must not hold more than 65535 entries");
    // What the description leaves out, the camera's product family supplies.
    const FamilyDefaults family = familyDefaults(d.productType, d.interface, d.lentra);
    d.ispControls = family.isp;
    d.uvcControls = family.uvc;
    d.maxFps = family.maxFps;
    d.throughput = family.throughput;
    d.ospProfile = family.ospProfile;
    if (auto isp = o.optionalObject("isp_controls")) {
        d.ispControls = {};
        parseControls(*isp, kIspPropertyNames, d.ispControls);
    }
    if (auto uvc = o.optionalObject("uvc_controls")) {
        d.uvcControls = {};
        parseControls(*uvc, kUvcPropertyNames, d.uvcControls);
    }

    if (o.has("max_fps")) d.maxFps = static_cast<uint8_t>(o.integer("max_fps", 30, 1, 255));
    if (o.has("throughput")) d.throughput = static_cast<uint16_t>(o.integer("throughput", 0, 1, 0xFFFF));
    if (o.has("current_gain")) d.currentGain = static_cast<uint8_t>(o.integer("current_gain", 0, 0, 255));
    if (o.has("current_exposure"))
        d.currentExposure = static_cast<uint32_t>(o.integer("current_exposure", 0, 0, 0xFFFFFFFF));
    if (auto osp = o.optionalObject("osp_profile")) {
        OspProfileDescription p;
        p.flag = osp->enumeration("flag", LX_OSP_PROFILE_FLAG::DISABLED, kOspFlagNames);
        const std::string config = osp->text("config", "", kMaxProfileBytes);
        if (!config.empty()) {
            // Parsed and checked against this camera as a loaded file is, so that the camera
            // keeps only a profile it can activate. The message goes on into the profile's own
            // path: "...osp_profile.config.image_processing.ISP_IMAGE_BRIGHTNESS: ...".
            ProfileParseResult parsed = parseProfileConfig(config);
            std::optional<ProfileProblem> problem = parsed.problem;
            if (!problem) problem = checkProfileForDevice(*parsed.profile, d);
            if (problem) osp->fail(problem->where == "file" ? "config" : "config." + problem->where, problem->why);
            p.profile = std::move(parsed.profile);
        }
        osp->finish();
        d.ospProfile = p;
    }
    if (auto imu = o.optionalObject("imu")) d.imu = parseImu(*imu);
    if (auto regs = o.optionalObject("registers")) d.registers = parseRegisters(*regs, d.ispControls);
    if (auto k = o.optionalObject("intrinsics")) d.intrinsics = parseIntrinsics(*k);
    d.lensDistortion = o.boolean("lens_distortion", false);
    if (d.lensDistortion && !d.lentra)
        o.fail("lens_distortion", "only the maker's cameras hold a calibration to draw frames through");
    d.sensorWorkMode = o.boolean("sensor_work_mode", false);
    d.frameCountStart = static_cast<uint8_t>(o.integer("frame_count_start", 0, 0, 255));
    if (auto trigger = o.optionalObject("trigger")) {
        if (!d.ispControls[static_cast<std::size_t>(LX_ISP_IMAGE_PROPERTIES::ISP_IMAGE_TRIGGER_MODE)].present)
            o.fail("trigger", "only a camera with ISP_IMAGE_TRIGGER_MODE follows the trigger line");
        d.trigger = parseCameraTrigger(*trigger, line);
    } else {
        d.trigger.jitter = line.jitter;
    }
    d.trigger.seed = index + 1;
    o.finish();
    return d;
}

PlatformDescription parsePlatform(JsonObject o) {
    PlatformDescription p;
    p.routeManagement = o.boolean("route_management", false);
    if (auto graph = o.optionalObject("media_graph")) {
        std::map<std::string, int> pads;
        graph->forEachObject("entities", [&](JsonObject e) {
            MediaEntityDescription entity;
            entity.name = e.text("name", "", 63, true);
            if (entity.name.empty()) e.fail("name", "must be a non-empty text");
            if (pads.count(entity.name)) e.fail("name", "names another entity already");
            entity.function = e.text("function", "video", 63);
            entity.pads = static_cast<int>(e.integer("pads", 1, 1, 64));
            e.finish();
            pads[entity.name] = entity.pads;
            p.entities.push_back(entity);
        });
        graph->forEachObject("links", [&](JsonObject l) {
            MediaLinkDescription link;
            link.source = l.text("source", "", 63, true);
            link.sourcePad = static_cast<int>(l.integer("source_pad", 0, 0, 63));
            link.sink = l.text("sink", "", 63, true);
            link.sinkPad = static_cast<int>(l.integer("sink_pad", 0, 0, 63));
            link.enabled = l.boolean("enabled", false);
            for (const char* end : {"source", "sink"}) {
                const bool isSource = std::strcmp(end, "source") == 0;
                const std::string& entity = isSource ? link.source : link.sink;
                const int pad = isSource ? link.sourcePad : link.sinkPad;
                auto it = pads.find(entity);
                if (it == pads.end()) l.fail(end, "names no entity of the graph");
                if (pad >= it->second)
                    l.fail(isSource ? "source_pad" : "sink_pad", "is beyond the entity's pads");
            }
            l.finish();
            p.links.push_back(link);
        });
        graph->finish();
    }
    o.finish();
    return p;
}

}  // namespace

RigParseResult parseRigDescription(const std::string& text) {
    RigParseResult result;
    if (text.size() > kMaxRigDescriptionBytes) {
        result.error = "the description is larger than " + std::to_string(kMaxRigDescriptionBytes) + " bytes";
        return result;
    }
    try {
        json document = parseJson(text);
        JsonObject top(document, "");
        RigDescription rig;
        // The line first: a device's jitter defaults to the line's.
        if (auto trigger = top.optionalObject("trigger")) rig.trigger = parseTrigger(*trigger);
        std::size_t index = 0;
        top.forEachObject("devices", [&](JsonObject device) {
            rig.devices.push_back(parseDevice(std::move(device), index++, rig.trigger));
        });
        if (auto platform = top.optionalObject("platform")) rig.platform = parsePlatform(*platform);
        top.finish();
        result.rig = std::move(rig);
    } catch (const DescriptionError& e) {
        result.error = e.what();
    }
    return result;
}

}  // namespace lentra
