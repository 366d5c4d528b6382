// A fault to inject into an SDK function: plain data read from the JSON text given to
// lxsim_inject. How a fault is applied to a function's outputs is faults.h's business.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lentra {

// One field of a record given in a fault's "value" object: a number, a list of numbers or a text.
struct FaultField {
    std::vector<double> numbers;
    std::string text;
    bool isText = false;
};
using FaultRecord = std::map<std::string, FaultField>;

struct FaultDescription {
    enum class ValueKind { None, Number, Text, Texts, Numbers, Record, Records, EmptyList };

    std::optional<int32_t> status;
    std::optional<int32_t> result;
    ValueKind valueKind = ValueKind::None;
    double number = 0;
    std::string text;
    std::vector<std::string> texts;
    std::vector<double> numbers;
    FaultRecord record;
    std::vector<FaultRecord> records;
    std::optional<std::string> textBytes;   // "text_hex", decoded: any bytes, valid UTF-8 or not
    bool empty = false;
    std::optional<int64_t> size;
    std::vector<int> progress;
    std::optional<std::string> throwMessage;
    std::optional<std::string> failAt;  // firmware upgrades: run for real, failing at this stage
};

struct FaultParseResult {
    std::optional<FaultDescription> fault;
    std::string error;
};

// An empty or null text is a fault with every key at its default (status 0).
FaultParseResult parseFaultDescription(const char* json);

// The field names a record in a fault's "value" may set (the fields of the SDK's records).
bool isRecordFieldName(const std::string& name);

}  // namespace lentra
