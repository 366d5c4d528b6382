#include "sim/faults.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <atomic>
#include <cmath>
#include <cstring>
#include <deque>
#include <iterator>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <unordered_map>

#include "description/enum_names.h"
#include "description/json_reader.h"

namespace lentra::sim {

namespace {

// Every SDK function, in the header's order.
constexpr const char* kFunctions[] = {
    "HelloLentraSDK", "LxSetLogFile", "LxSetLogLevel", "LxDiscoverCameraDevices",
    "LxInitialCameraDevice", "LxOpen", "LxClose", "LxIsLentraCamera", "LxGetDeviceName",
    "LxGetDevicePath", "LxGetDeviceInterfaceType", "LxGetDeviceProductType", "LxGetHardwareID",
    "LxGetUSBDeviceSpeed", "LxGetFormatList", "LxSetFormat", "LxStartStreaming",
    "LxStopStreaming", "LxGetImage", "LxResetUVC", "LxGetUSBFirmwareVersion",
    "LxGetKAVRFirmwareVersion", "LxGetSensorFirmwareVersion", "LxGenericI2CRead",
    "LxGenericI2CWrite", "LxAP1302I2CRead", "LxAP1302I2CWrite", "LxAP1302SensorRegisterRead",
    "LxAP1302SensorRegisterWrite", "LxGetSensorUniqueID", "LxGetHeaderVersion",
    "LxGotoUSBProgramMode", "LxUpgradeFX3FW", "LxUpgradeSensorFW", "LxGetBootdataHeaderV2",
    "LxGetBootdataHeaderV3", "LxGetBootdataHeaderV2FromFile", "LxGetBootdataHeaderV3FromFile",
    "LxSetUVCImageProcessing", "LxGetUVCImageProcessing", "LxGetUVCImageProcessingRange",
    "LxSetISPImageProcessing", "LxSetISPImageProcessingDefault", "LxGetISPImageProcessing",
    "LxGetISPImageProcessingRange", "LxGetCurrentGain", "LxGetCurrentExposure", "LxGetMaxFPS",
    "LxSetMaxFPS", "LxGetThroughPut", "LxSetThroughPut", "LxGetOSPProfileFlag",
    "LxSetOSPProfileFlag", "LxGetOSPProfileConfig", "LxLoadProfileConfig",
    "LxActivateProfileStreaming", "LxActivateProfileImageProcessing", "LxGetTimestamp",
    "LxResetTimestamp", "LxGetFrameCount", "LxResetFrameCount", "LxExportSensorConfig",
    "LxDecodeSensorConfig", "LxResetActiveRoutes", "LxLoadRouteYaml", "LxActivateYamlRoutes",
    "LxGetSensorWorkMode", "LxEnableIMUMode", "LxRebootIMUMode", "LxGetIMUAccData",
    "LxGetIMUGyrData", "LxGetISPUData", "LxGetIMUTemperature", "LxGetIMUSensorTime",
    "LxFlashProductInfo", "LxWriteIntrinsics", "LxGetIntrinsics",
};
constexpr std::size_t kFunctionCount = std::size(kFunctions);
static_assert(kFunctionCount == 77, "the SDK has 77 functions");

// Only the route functions are declared to throw; a fault may not make another one throw.
constexpr const char* kThrowingFunctions[] = {"LxResetActiveRoutes", "LxLoadRouteYaml",
                                              "LxActivateYamlRoutes"};

// What each function hands back through its outputs, so that a fault's "value" of another shape
// is refused when it is injected; it would otherwise be ignored and the call answer an empty
// success. Functions not listed hand back no value.
enum class Output { None, Text, Texts, Integer, Float, Floats, Formats, Bytes, Range, ValueAux, Record };

struct FunctionOutput {
    const char* name;
    Output output;
};

constexpr FunctionOutput kOutputs[] = {
    {"LxDiscoverCameraDevices", Output::Texts},    {"LxGetDeviceName", Output::Text},
    {"LxGetDevicePath", Output::Text},             {"LxGetHardwareID", Output::Text},
    {"LxGetUSBFirmwareVersion", Output::Text},     {"LxGetKAVRFirmwareVersion", Output::Text},
    {"LxGetSensorFirmwareVersion", Output::Text},  {"LxGetSensorUniqueID", Output::Text},
    {"LxGetOSPProfileConfig", Output::Text},       {"LxGetDeviceInterfaceType", Output::Integer},
    {"LxGetDeviceProductType", Output::Integer},   {"LxGetUSBDeviceSpeed", Output::Integer},
    {"LxGetOSPProfileFlag", Output::Integer},      {"LxGetSensorWorkMode", Output::Integer},
    {"LxGetCurrentGain", Output::Integer},         {"LxGetMaxFPS", Output::Integer},
    {"LxGetFrameCount", Output::Integer},          {"LxGetThroughPut", Output::Integer},
    {"LxGetCurrentExposure", Output::Integer},     {"LxAP1302I2CRead", Output::Integer},
    {"LxAP1302SensorRegisterRead", Output::Integer}, {"LxGetTimestamp", Output::Float},
    {"LxGetIMUTemperature", Output::Float},        {"LxGetIMUSensorTime", Output::Float},
    {"LxGetIMUAccData", Output::Floats},           {"LxGetIMUGyrData", Output::Floats},
    {"LxGetFormatList", Output::Formats},          {"LxGenericI2CRead", Output::Bytes},
    {"LxGetUVCImageProcessingRange", Output::Range}, {"LxGetISPImageProcessingRange", Output::Range},
    {"LxGetUVCImageProcessing", Output::ValueAux}, {"LxGetISPImageProcessing", Output::ValueAux},
    {"LxGetISPUData", Output::Record},             {"LxGetIntrinsics", Output::Record},
    {"LxGetBootdataHeaderV2", Output::Record},     {"LxGetBootdataHeaderV3", Output::Record},
    {"LxGetBootdataHeaderV2FromFile", Output::Record}, {"LxGetBootdataHeaderV3FromFile", Output::Record},
};

Output outputOf(const char* function) {
    for (const FunctionOutput& f : kOutputs)
        if (std::strcmp(f.name, function) == 0) return f.output;
    return Output::None;
}

const char* describe(Output output) {
    switch (output) {
        case Output::None: return "no value";
        case Output::Text: return "a text";
        case Output::Texts: return "a list of texts";
        case Output::Integer: return "a whole number";
        case Output::Float: return "a number";
        case Output::Floats: return "a list of numbers";
        case Output::Formats: return "a list of format objects";
        case Output::Bytes: return "a byte value or a list of byte values";
        case Output::Range: return "a list of up to 4 whole numbers (min, max, step, default)";
        case Output::ValueAux: return "[value, aux]";
        case Output::Record: return "an object of record fields";
    }
    return "no value";
}

bool isWhole(double x) { return std::isfinite(x) && x == std::floor(x) && std::fabs(x) <= 9.0e18; }
bool fitsFloat(double x) { return std::isfinite(x) && std::fabs(x) <= FLT_MAX; }

// Why the fault's "value" does not fit what `function` hands back, or "".
std::string valueMismatch(const char* function, const FaultDescription& f) {
    using K = FaultDescription::ValueKind;
    if (f.valueKind == K::None) return "";
    const Output output = outputOf(function);
    auto allOf = [](const std::vector<double>& xs, bool (*ok)(double)) {
        return std::all_of(xs.begin(), xs.end(), ok);
    };
    bool fits = false;
    std::string why;
    switch (output) {
        case Output::None: break;
        case Output::Text: fits = f.valueKind == K::Text; break;
        case Output::Texts: fits = f.valueKind == K::Texts || f.valueKind == K::EmptyList; break;
        case Output::Integer:
            fits = f.valueKind == K::Number;
            if (fits && !isWhole(f.number)) why = "must be a whole number within 64 bits";
            break;
        case Output::Float:
            fits = f.valueKind == K::Number;
            if (fits && !fitsFloat(f.number)) why = "must be a finite number within float range";
            break;
        case Output::Floats:
            fits = f.valueKind == K::Numbers || f.valueKind == K::EmptyList;
            if (fits && !allOf(f.numbers, fitsFloat)) why = "must hold finite numbers within float range";
            break;
        case Output::Formats: fits = f.valueKind == K::Records || f.valueKind == K::EmptyList; break;
        case Output::Bytes:
        case Output::Range:
        case Output::ValueAux: {
            const std::size_t most = output == Output::Range ? 4 : output == Output::ValueAux ? 2 : 0xFFFF;
            fits = (f.valueKind == K::Number || f.valueKind == K::Numbers) && f.numbers.size() <= most;
            if (fits && !(isWhole(f.number) && allOf(f.numbers, isWhole)))
                why = "must hold whole numbers within 64 bits";
            break;
        }
        case Output::Record: fits = f.valueKind == K::Record; break;
    }
    // Numbers inside records and format objects go into 32-bit fields at most.
    auto recordFits = [](const FaultRecord& r) {
        return std::all_of(r.begin(), r.end(),
                           [](const auto& field) { return std::all_of(field.second.numbers.begin(), field.second.numbers.end(), fitsFloat); });
    };
    if (fits && why.empty() && !recordFits(f.record)) why = "fields must be finite numbers within float range";
    for (const FaultRecord& r : f.records)
        if (fits && why.empty() && !recordFits(r)) why = "fields must be finite numbers within float range";
    if (!fits) return std::string("value: ") + function + " hands back " + describe(output);
    if (!why.empty()) return "value: " + why;
    return "";
}

struct Pending {
    std::shared_ptr<const FaultDescription> fault;
    int remaining;
    long id;
};

struct Registry {
    std::unordered_map<std::string_view, std::size_t> index;
    std::array<std::atomic<long>, kFunctionCount> calls{};
    std::atomic<long> pendingTotal{0};  // lets a call skip the lock when nothing is injected
    std::mutex mutex;
    std::array<std::deque<Pending>, kFunctionCount> pending;
    long lastId = 0;  // under the mutex

    Registry() {
        for (std::size_t i = 0; i < kFunctionCount; ++i) index.emplace(kFunctions[i], i);
    }
    std::optional<std::size_t> find(const char* name) const {
        if (!name) return std::nullopt;
        auto it = index.find(name);
        if (it == index.end()) return std::nullopt;
        return it->second;
    }
};

Registry& registry() {
    static Registry r;
    return r;
}

using Kind = FaultDescription::ValueKind;

std::optional<double> numberAt(const FaultDescription& d, std::size_t position, std::size_t) {
    if (d.valueKind == Kind::Number && position == 0) return d.number;
    if (d.valueKind == Kind::Numbers && position < d.numbers.size()) return d.numbers[position];
    return std::nullopt;
}

// Whole numbers wrap into the output's width as C++ conversions do, so a fault can hand back
// any bit pattern (an exposure above 2^31, a negative status in an unsigned field).
int64_t wholeNumber(double x) {
    if (!std::isfinite(x) || std::fabs(x) > 9.0e18) return 0;
    return static_cast<int64_t>(std::llround(x));
}

// A double outside float's range becomes an infinity (converting it would be undefined).
float toFloat(double x) {
    if (x > FLT_MAX) return std::numeric_limits<float>::infinity();
    if (x < -FLT_MAX) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(x);  // NaN stays NaN
}

template <typename T>
void storeInteger(const FaultDescription& d, std::size_t position, std::size_t count, T& out) {
    if (auto v = numberAt(d, position, count))
        out = static_cast<T>(static_cast<uint64_t>(wholeNumber(*v)));
}

// Record fields are written through their offsets, so that packed records work too.
struct FieldLayout {
    const char* name;
    std::size_t offset;
    enum Kind { U8, U16, U32, I32, F32, Bytes } kind;
    std::size_t length;  // bytes for Bytes (text or byte values), elements for F32 arrays
};

template <typename T>
void put(unsigned char* at, T value) {
    std::memcpy(at, &value, sizeof value);
}

void applyField(const FieldLayout& layout, const FaultField& field, unsigned char* base) {
    unsigned char* at = base + layout.offset;
    if (layout.kind == FieldLayout::Bytes) {
        // A text, or the bytes themselves as numbers (to hand back text that is not UTF-8).
        std::memset(at, 0, layout.length);
        if (field.isText) {
            std::memcpy(at, field.text.data(), std::min(field.text.size(), layout.length));
        } else {
            for (std::size_t i = 0; i < field.numbers.size() && i < layout.length; ++i)
                at[i] = static_cast<unsigned char>(wholeNumber(field.numbers[i]));
        }
        return;
    }
    if (field.isText) return;
    for (std::size_t i = 0; i < field.numbers.size() && i < std::max<std::size_t>(layout.length, 1); ++i) {
        const double x = field.numbers[i];
        const int64_t n = wholeNumber(x);
        switch (layout.kind) {
            case FieldLayout::U8: put(at, static_cast<uint8_t>(n)); break;
            case FieldLayout::U16: put(at, static_cast<uint16_t>(n)); break;
            case FieldLayout::U32: put(at, static_cast<uint32_t>(n)); break;
            case FieldLayout::I32: put(at, static_cast<int32_t>(n)); break;
            case FieldLayout::F32: put(at + 4 * i, toFloat(x)); break;
            case FieldLayout::Bytes: break;
        }
        if (layout.kind != FieldLayout::F32) break;
    }
}

template <typename R, std::size_t N>
void applyRecord(const FaultRecord& record, R& out, const FieldLayout (&layouts)[N]) {
    auto* base = reinterpret_cast<unsigned char*>(&out);
    for (const FieldLayout& layout : layouts) {
        auto it = record.find(layout.name);
        if (it != record.end()) applyField(layout, it->second, base);
    }
}

#define LX_FIELD(Record, field, kind, length) \
    FieldLayout { #field, offsetof(Record, field), FieldLayout::kind, length }

const FieldLayout kIspuFields[] = {
    LX_FIELD(LxImuIspu, x, F32, 1),   LX_FIELD(LxImuIspu, y, F32, 1),
    LX_FIELD(LxImuIspu, z, F32, 1),   LX_FIELD(LxImuIspu, w, F32, 1),
    LX_FIELD(LxImuIspu, yaw, F32, 1), LX_FIELD(LxImuIspu, pitch, F32, 1),
    LX_FIELD(LxImuIspu, roll, F32, 1),
};

const FieldLayout kIntrinsicsFields[] = {
    LX_FIELD(LxIntrinsics, w, I32, 1),     LX_FIELD(LxIntrinsics, h, I32, 1),
    LX_FIELD(LxIntrinsics, fx, F32, 1),    LX_FIELD(LxIntrinsics, fy, F32, 1),
    LX_FIELD(LxIntrinsics, cx, F32, 1),    LX_FIELD(LxIntrinsics, cy, F32, 1),
    LX_FIELD(LxIntrinsics, model, I32, 1), LX_FIELD(LxIntrinsics, coeffs, F32, 5),
};

const FieldLayout kHeaderV2Fields[] = {
    LX_FIELD(LxHeaderV2, headerVersion, U8, 1),  LX_FIELD(LxHeaderV2, contentOffset, U16, 1),
    LX_FIELD(LxHeaderV2, productName, Bytes, 64), LX_FIELD(LxHeaderV2, productVersion, U8, 1),
    LX_FIELD(LxHeaderV2, reserved, Bytes, 76),
};

const FieldLayout kHeaderV3Fields[] = {
    LX_FIELD(LxHeaderV3, headerVersion, U8, 1),     LX_FIELD(LxHeaderV3, contentOffset, U16, 1),
    LX_FIELD(LxHeaderV3, sensorType, U16, 1),       LX_FIELD(LxHeaderV3, sensorFuseId, Bytes, 16),
    LX_FIELD(LxHeaderV3, productName, Bytes, 64),   LX_FIELD(LxHeaderV3, lensId, Bytes, 16),
    LX_FIELD(LxHeaderV3, fixChecksum, U16, 1),      LX_FIELD(LxHeaderV3, qrFwVersion, Bytes, 2),
    LX_FIELD(LxHeaderV3, vendorFwVersion, U16, 1),  LX_FIELD(LxHeaderV3, customNumber, U16, 1),
    LX_FIELD(LxHeaderV3, recordYear, U8, 1),        LX_FIELD(LxHeaderV3, recordMonth, U8, 1),
    LX_FIELD(LxHeaderV3, recordDay, U8, 1),         LX_FIELD(LxHeaderV3, recordHour, U8, 1),
    LX_FIELD(LxHeaderV3, recordMinute, U8, 1),      LX_FIELD(LxHeaderV3, recordSecond, U8, 1),
    LX_FIELD(LxHeaderV3, mipiDatarate, U16, 1),     LX_FIELD(LxHeaderV3, contentLen, U32, 1),
    LX_FIELD(LxHeaderV3, contentChecksum, U16, 1),  LX_FIELD(LxHeaderV3, totalChecksum, U16, 1),
};
#undef LX_FIELD

template <typename Header, std::size_t N>
void storeHeader(const FaultDescription& d, std::unique_ptr<Header>& out,
                 const FieldLayout (&layouts)[N]) {
    if (d.empty) {
        out.reset();
        return;
    }
    if (d.valueKind != Kind::Record) return;
    if (!out) out = std::make_unique<Header>();
    applyRecord(d.record, *out, layouts);
}

}  // namespace

std::optional<int32_t> integerAt(const FaultDescription& d, std::size_t position, std::size_t count) {
    if (auto v = numberAt(d, position, count)) return static_cast<int32_t>(wholeNumber(*v));
    return std::nullopt;
}

void store(const FaultDescription& d, std::size_t position, std::size_t, std::string& out) {
    if (position != 0) return;
    if (d.textBytes) {
        out = *d.textBytes;
    } else if (d.valueKind == Kind::Text) {
        out = d.text;
    }
}

void store(const FaultDescription& d, std::size_t p, std::size_t n, uint8_t& out) { storeInteger(d, p, n, out); }
void store(const FaultDescription& d, std::size_t p, std::size_t n, uint16_t& out) { storeInteger(d, p, n, out); }
void store(const FaultDescription& d, std::size_t p, std::size_t n, uint32_t& out) { storeInteger(d, p, n, out); }
void store(const FaultDescription& d, std::size_t p, std::size_t n, int32_t& out) { storeInteger(d, p, n, out); }

void store(const FaultDescription& d, std::size_t p, std::size_t n, float& out) {
    if (auto v = numberAt(d, p, n)) out = toFloat(*v);
}

void store(const FaultDescription& d, std::size_t, std::size_t, std::vector<std::string>& out) {
    if (d.valueKind == Kind::Texts) out = d.texts;
    if (d.valueKind == Kind::EmptyList) out.clear();
    if (d.textBytes) out.push_back(*d.textBytes);  // a name that is not valid UTF-8
}

void store(const FaultDescription& d, std::size_t, std::size_t, std::vector<float>& out) {
    if (d.valueKind == Kind::EmptyList) out.clear();
    if (d.valueKind != Kind::Numbers) return;
    out.clear();
    for (double x : d.numbers) out.push_back(toFloat(x));
}

void store(const FaultDescription& d, std::size_t, std::size_t, std::vector<LxFormat>& out) {
    if (d.valueKind == Kind::EmptyList) out.clear();
    if (d.valueKind != Kind::Records) return;
    out.clear();
    for (std::size_t i = 0; i < d.records.size(); ++i) {
        const FaultRecord& r = d.records[i];
        LxFormat f{static_cast<uint16_t>(i), 0, 0, 0, LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_NONE};
        auto number = [&r](const char* key, int64_t def) {
            auto it = r.find(key);
            if (it == r.end() || it->second.numbers.empty()) return def;
            return wholeNumber(it->second.numbers.front());
        };
        f.index = static_cast<uint16_t>(number("index", static_cast<int64_t>(i)));
        f.width = static_cast<uint16_t>(number("width", 0));
        f.height = static_cast<uint16_t>(number("height", 0));
        f.framerate = static_cast<uint16_t>(number("framerate", 0));
        auto format = r.find("format");
        if (format != r.end() && format->second.isText) {
            f.format = static_cast<LX_IMAGE_FORMAT>(
                kImageFormatNames.find(format->second.text).value_or(0));
        } else {
            f.format = static_cast<LX_IMAGE_FORMAT>(number("format", 0));
        }
        out.push_back(f);
    }
}

void store(const FaultDescription& d, std::size_t, std::size_t, LxImuIspu& out) {
    if (d.valueKind == Kind::Record) applyRecord(d.record, out, kIspuFields);
}

void store(const FaultDescription& d, std::size_t, std::size_t, LxIntrinsics& out) {
    if (d.valueKind == Kind::Record) applyRecord(d.record, out, kIntrinsicsFields);
}

void store(const FaultDescription& d, std::size_t, std::size_t, std::unique_ptr<LxHeaderV2>& out) {
    storeHeader(d, out, kHeaderV2Fields);
}

void store(const FaultDescription& d, std::size_t, std::size_t, std::unique_ptr<LxHeaderV3>& out) {
    storeHeader(d, out, kHeaderV3Fields);
}

void store(const FaultDescription& d, std::size_t, std::size_t, I2CBytes& out) {
    if (!out.data) return;
    if (d.valueKind == Kind::Numbers) {
        for (std::size_t i = 0; i < d.numbers.size() && i < out.count; ++i)
            out.data[i] = static_cast<uint8_t>(wholeNumber(d.numbers[i]));
    } else if (d.valueKind == Kind::Number && out.count >= 2) {
        // One number is the 16-bit value, high byte first.
        const auto v = static_cast<uint16_t>(wholeNumber(d.number));
        out.data[0] = static_cast<uint8_t>(v >> 8);
        out.data[1] = static_cast<uint8_t>(v & 0xFF);
    }
}

LX_CAPTURE_RESULT Fault::capture(int& size) const {
    if (d_->size) size = static_cast<int>(*d_->size);
    return static_cast<LX_CAPTURE_RESULT>(d_->result.value_or(status()));
}

int Fault::progressThenStatus(const LxProgress& progress) const {
    if (progress) {
        for (int value : d_->progress) progress(value);
    }
    return status();
}

LX_UPGRADE_RESULT Fault::upgrade(const LxProgress& progress) const {
    const int s = progressThenStatus(progress);
    return static_cast<LX_UPGRADE_RESULT>(d_->result.value_or(s));
}

void Fault::throwIfAsked() const {
    if (d_->throwMessage) throw std::runtime_error(*d_->throwMessage);
}

namespace {

// enter(), for any call (`current` null) or for one on `camera`.
std::optional<Fault> enterCall(const char* function, const LxCameraHandle* camera,
                               bool (*current)(const LxCameraHandle&)) {
    Registry& r = registry();
    auto index = r.find(function);
    if (!index) return std::nullopt;
    if (current && !current(*camera)) return std::nullopt;
    r.calls[*index].fetch_add(1, std::memory_order_relaxed);
    if (r.pendingTotal.load(std::memory_order_acquire) == 0) return std::nullopt;
    std::lock_guard<std::mutex> lock(r.mutex);
    if (current && !current(*camera)) return std::nullopt;
    auto& queue = r.pending[*index];
    if (queue.empty()) return std::nullopt;
    Fault fault(queue.front().fault);
    if (--queue.front().remaining == 0) {
        queue.pop_front();
        r.pendingTotal.fetch_sub(1, std::memory_order_release);
    }
    return fault;
}

}  // namespace

std::optional<Fault> enter(const char* function) { return enterCall(function, nullptr, nullptr); }

std::optional<Fault> enter(const char* function, const LxCameraHandle& camera,
                           bool (*current)(const LxCameraHandle&)) {
    return enterCall(function, &camera, current);
}

long callCount(const char* name) {
    Registry& r = registry();
    auto index = r.find(name);
    return index ? r.calls[*index].load(std::memory_order_relaxed) : -1;
}

void resetCallCounts() {
    for (auto& c : registry().calls) c.store(0, std::memory_order_relaxed);
}

int inject(const char* function, int count, FaultDescription fault, std::string& error,
           long* id) {
    Registry& r = registry();
    auto index = r.find(function);
    if (!index) {
        error = "no SDK function is named \"" + printableText(function ? function : "", 64) + "\"";
        return LX_STATUS_INVALID_ARGUMENT;
    }
    if (count < 1) {
        error = "count: must be at least 1";
        return LX_STATUS_INVALID_ARGUMENT;
    }
    const std::string mismatch = valueMismatch(function, fault);
    if (!mismatch.empty()) {
        error = mismatch;
        return LX_STATUS_INVALID_ARGUMENT;
    }
    // A capture that succeeds has received some number of bytes; left unsaid, the caller's
    // buffer would pass for a frame of whatever size it held.
    if (std::strcmp(function, "LxGetImage") == 0 && !fault.size &&
        fault.result.value_or(fault.status.value_or(0)) == static_cast<int>(LX_CAPTURE_RESULT::LX_SUCCESS)) {
        error = "size: a successful capture must say how many bytes it received";
        return LX_STATUS_INVALID_ARGUMENT;
    }
    if (fault.throwMessage) {
        bool mayThrow = false;
        for (const char* name : kThrowingFunctions) mayThrow = mayThrow || std::strcmp(name, function) == 0;
        if (!mayThrow) {
            error = std::string("throw: ") + function + " does not throw; only the route functions do";
            return LX_STATUS_INVALID_ARGUMENT;
        }
    }
    std::lock_guard<std::mutex> lock(r.mutex);
    r.pending[*index].push_back(
        {std::make_shared<const FaultDescription>(std::move(fault)), count, ++r.lastId});
    r.pendingTotal.fetch_add(1, std::memory_order_release);
    if (id) *id = r.lastId;
    return LX_STATUS_OK;
}

void withdraw(long id) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (auto& queue : r.pending) {
        auto it = std::find_if(queue.begin(), queue.end(),
                               [id](const Pending& p) { return p.id == id; });
        if (it != queue.end()) {
            queue.erase(it);
            r.pendingTotal.fetch_sub(1, std::memory_order_release);
            return;
        }
    }
}

void clearFaults() {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (auto& queue : r.pending) queue.clear();
    r.pendingTotal.store(0, std::memory_order_release);
}

}  // namespace lentra::sim
