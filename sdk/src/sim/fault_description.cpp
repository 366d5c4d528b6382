#include "sim/fault_description.h"

#include <cmath>
#include <limits>
#include <set>

#include "description/json_reader.h"
#include "firmware/upgrade_procedure.h"

namespace lentra {

namespace {

using json = nlohmann::json;
using Kind = FaultDescription::ValueKind;

FaultField parseField(const json& v, const JsonObject& owner, const std::string& key) {
    FaultField field;
    if (v.is_string()) {
        field.isText = true;
        field.text = v.get<std::string>();
    } else if (v.is_number()) {
        field.numbers.push_back(v.get<double>());
    } else if (v.is_array()) {
        for (const auto& e : v) {
            if (!e.is_number()) owner.fail(key, "must be a number, a list of numbers or a text");
            field.numbers.push_back(e.get<double>());
        }
    } else {
        owner.fail(key, "must be a number, a list of numbers or a text");
    }
    return field;
}

FaultRecord parseRecord(const json& v, const std::string& path) {
    JsonObject o(v, path);
    FaultRecord record;
    for (const auto& item : o.items()) {
        if (!isRecordFieldName(item.key())) o.fail(item.key(), "is not a field of any record");
        record[item.key()] = parseField(item.value(), o, item.key());
    }
    return record;
}

void parseValue(const json& v, FaultDescription& f) {
    const std::string path = "value";
    if (v.is_number()) {
        f.valueKind = Kind::Number;
        f.number = v.get<double>();
    } else if (v.is_string()) {
        f.valueKind = Kind::Text;
        f.text = v.get<std::string>();
    } else if (v.is_object()) {
        f.valueKind = Kind::Record;
        f.record = parseRecord(v, path);
    } else if (v.is_array()) {
        if (v.empty()) {
            f.valueKind = Kind::EmptyList;
            return;
        }
        const json& first = v.front();
        f.valueKind = first.is_number()   ? Kind::Numbers
                      : first.is_string() ? Kind::Texts
                      : first.is_object() ? Kind::Records
                                          : Kind::None;
        for (std::size_t i = 0; i < v.size(); ++i) {
            const json& e = v[i];
            if (f.valueKind == Kind::Numbers && e.is_number()) {
                f.numbers.push_back(e.get<double>());
            } else if (f.valueKind == Kind::Texts && e.is_string()) {
                f.texts.push_back(e.get<std::string>());
            } else if (f.valueKind == Kind::Records && e.is_object()) {
                f.records.push_back(parseRecord(e, path + "[" + std::to_string(i) + "]"));
            } else {
                throw DescriptionError(
                    "value: a list must hold only numbers, only texts or only objects");
            }
        }
    } else {
        throw DescriptionError("value: must be a number, a text, a list or an object");
    }
}

}  // namespace

bool isRecordFieldName(const std::string& name) {
    static const std::set<std::string> names = {
        // LxFormat
        "index", "width", "height", "framerate", "format",
        // LxHeaderV2 and LxHeaderV3
        "headerVersion", "contentOffset", "productName", "productVersion", "reserved",
        "sensorType", "sensorFuseId", "lensId", "fixChecksum", "qrFwVersion", "vendorFwVersion",
        "customNumber", "recordYear", "recordMonth", "recordDay", "recordHour", "recordMinute",
        "recordSecond", "mipiDatarate", "contentLen", "contentChecksum", "totalChecksum",
        // LxImuIspu
        "x", "y", "z", "w", "yaw", "pitch", "roll",
        // LxIntrinsics (w is above)
        "h", "fx", "fy", "cx", "cy", "model", "coeffs"};
    return names.count(name) != 0;
}

FaultParseResult parseFaultDescription(const char* text) {
    FaultParseResult result;
    try {
        json document = (text && *text) ? parseJson(text) : json::object();
        JsonObject o(document, "");
        FaultDescription f;
        constexpr int64_t lo = std::numeric_limits<int32_t>::min();
        constexpr int64_t hi = std::numeric_limits<int32_t>::max();
        if (o.has("status")) f.status = static_cast<int32_t>(o.integer("status", 0, lo, hi));
        if (o.has("result")) f.result = static_cast<int32_t>(o.integer("result", 0, lo, hi));
        if (const json* value = o.any("value")) parseValue(*value, f);
        if (o.has("text_hex")) {
            auto bytes = o.hexBytes("text_hex", 1 << 20);
            f.textBytes = std::string(bytes.begin(), bytes.end());
        }
        f.empty = o.boolean("empty", false);
        if (o.has("size")) f.size = o.integer("size", 0, lo, hi);
        if (auto progress = o.integers("progress", 0, 100000, lo, hi))
            f.progress.assign(progress->begin(), progress->end());
        if (o.has("throw")) f.throwMessage = o.text("throw", "", 4096);
        if (o.has("fail_at")) {
            f.failAt = o.text("fail_at", "", 16);
            if (!stageNamed(*f.failAt))
                o.fail("fail_at", "must name an upgrade stage: read, compare, switch, init, erase, "
                                  "program, verify, reset or start");
        }
        o.finish();
        result.fault = std::move(f);
    } catch (const DescriptionError& e) {
        result.error = e.what();
    }
    return result;
}

}  // namespace lentra
