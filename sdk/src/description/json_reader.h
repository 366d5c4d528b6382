// Checked reading of JSON descriptions (rigs and faults).
//
// Every reader names the entry it reads with a path ("devices[1].formats[0].width"), so the one
// error a malformed description gets says exactly where it is wrong. Objects refuse keys they do
// not know (a misspelt key would otherwise be silently ignored); a "comment" key is allowed
// anywhere for notes.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "description/enum_names.h"

namespace lentra {

// The longest message a malformed description gets, in bytes.
constexpr std::size_t kMaxDescriptionErrorBytes = 512;

// Thrown with the one message a malformed description gets: one line of printable text, at most
// kMaxDescriptionErrorBytes long, whatever bytes the description held.
class DescriptionError : public std::runtime_error {
public:
    explicit DescriptionError(const std::string& message);
};

// `text` made fit for a one-line message: control characters and bytes that are not valid UTF-8
// are escaped (\n, \x00, \xff), and a text longer than `maxBytes` is cut (at a character
// boundary) and ends in "...". Applying it to its own result changes nothing.
std::string printableText(const std::string& text, std::size_t maxBytes);

// The most a description may nest (a rig nests about 6 deep) and the most values (objects,
// lists, numbers, texts, booleans, nulls) it may hold. Together with the size caps of its readers they bound
// the parsed document's memory: an input of small values cannot grow into a document many times
// its own size.
constexpr std::size_t kMaxJsonDepth = 32;
constexpr std::size_t kMaxJsonValues = 50000;

// Parses JSON text; throws DescriptionError "not valid JSON: ..." on a syntax error, and
// "<path>: is given twice" for a key given twice in one object (a JSON parser would keep the last
// one silently), "<path>: nested deeper than 32 levels" and "<path>: more than 50000 values"
// (the path of the entry where the limit was reached).
nlohmann::json parseJson(const std::string& text);

class JsonObject {
public:
    // Throws DescriptionError "<path>: must be an object" when `value` is not one.
    JsonObject(const nlohmann::json& value, std::string path);
    // An object with no keys: every reader answers its default.
    static JsonObject empty(std::string path);

    bool has(const char* key) const;
    std::string pathOf(const std::string& key) const;
    [[noreturn]] void fail(const std::string& key, const std::string& reason) const;

    // The entry under `key` whatever its kind, or nullptr.
    const nlohmann::json* any(const char* key) { return find(key); }
    // Each reader returns `def` when the key is missing and throws when the entry is malformed.
    int64_t integer(const char* key, int64_t def, int64_t min, int64_t max,
                    const char* reason = nullptr);
    float number(const char* key, float def);
    bool boolean(const char* key, bool def);
    std::string text(const char* key, std::string def, std::size_t maxBytes, bool nonEmpty = false);
    template <typename E>
    E enumeration(const char* key, E def, const EnumTable& names) {
        return static_cast<E>(enumValue(key, static_cast<int32_t>(def), names));
    }
    std::optional<std::vector<float>> numbers(const char* key, std::size_t minCount,
                                              std::size_t maxCount);
    std::optional<std::vector<int64_t>> integers(const char* key, std::size_t minCount,
                                                 std::size_t maxCount, int64_t min, int64_t max);
    // Bytes given as a hexadecimal text ("0a1b..."), at most `maxBytes` of them.
    std::vector<uint8_t> hexBytes(const char* key, std::size_t maxBytes);
    std::optional<JsonObject> optionalObject(const char* key);
    JsonObject object(const char* key);
    // Calls `each` with every element of the array under `key`, each of which must be an object.
    template <typename F>
    void forEachObject(const char* key, F&& each) {
        const nlohmann::json* array = find(key);
        if (!array) return;
        if (!array->is_array()) fail(key, "must be a list");
        for (std::size_t i = 0; i < array->size(); ++i)
            each(JsonObject((*array)[i], pathOf(key) + "[" + std::to_string(i) + "]"));
    }
    // A key that is itself a number: decimal or 0x-prefixed hexadecimal, at most `max`.
    uint64_t keyNumber(const std::string& key, uint64_t max) const;
    // The object's (key, value) pairs, for objects keyed by names or numbers.
    auto items() const { return value_->items(); }
    // Refuses the first key that no reader asked for.
    void finish() const;

private:
    const nlohmann::json* find(const char* key);
    int32_t enumValue(const char* key, int32_t def, const EnumTable& names);

    const nlohmann::json* value_;
    std::string path_;
    std::set<std::string> used_;
};

}  // namespace lentra
