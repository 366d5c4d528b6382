#include "description/json_reader.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <functional>

namespace lentra {

using json = nlohmann::json;

namespace {

// The length of the valid UTF-8 sequence at `at`, or 0 when the bytes there are not one.
std::size_t utf8Length(const std::string& text, std::size_t at) {
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length;
    unsigned int min;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2, min = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, min = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, min = 0x10000;
    else return 0;
    if (at + length > text.size()) return 0;
    unsigned int code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

std::string printableText(const std::string& text, std::size_t maxBytes) {
    static const char hex[] = "0123456789abcdef";
    const std::string ellipsis = "...";
    std::string out;
    std::size_t roomForEllipsis = 0;  // the longest prefix (of whole pieces) that "..." fits after
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        const std::size_t length = utf8Length(text, at);
        std::string piece;
        if (length > 1) {
            piece = text.substr(at, length);
        } else if (c == '\n') {
            piece = "\\n";
        } else if (c == '\t') {
            piece = "\\t";
        } else if (c == '\r') {
            piece = "\\r";
        } else if (length == 1 && c >= 0x20 && c != 0x7F) {
            piece = std::string(1, static_cast<char>(c));
        } else {
            piece = {'\\', 'x', hex[c >> 4], hex[c & 0xF]};
        }
        at += length ? length : 1;
        if (out.size() + piece.size() > maxBytes)
            return out.substr(0, roomForEllipsis) + ellipsis.substr(0, maxBytes - roomForEllipsis);
        out += piece;
        if (out.size() + ellipsis.size() <= maxBytes) roomForEllipsis = out.size();
    }
    return out;
}

DescriptionError::DescriptionError(const std::string& message)
    : std::runtime_error(printableText(message, kMaxDescriptionErrorBytes)) {}

namespace {

// Follows the parse event by event: keeps the path of the entry being read, refuses a key given
// twice in one object, and counts depth and values, refusing a document past the limits before
// it is built further.
class ParseWatch {
public:
    bool operator()(int, json::parse_event_t event, json& parsed) {
        using Event = json::parse_event_t;
        switch (event) {
            case Event::object_start:
            case Event::array_start:
                if (levels_.size() >= kMaxJsonDepth)
                    throw DescriptionError(childPath() + ": nested deeper than " +
                                           std::to_string(kMaxJsonDepth) + " levels");
                count();
                levels_.push_back(Level{event == Event::array_start,
                                        levels_.empty() ? std::string() : childPath(), {}, {}, 0});
                break;
            case Event::key: {
                Level& level = levels_.back();
                level.key = parsed.get<std::string>();
                if (!level.keys.insert(level.key).second) throw DescriptionError(childPath() + ": is given twice");
                break;
            }
            case Event::object_end:
            case Event::array_end:
                levels_.pop_back();
                ended();
                break;
            case Event::value:
                count();
                ended();
                break;
        }
        return true;
    }

private:
    struct Level {
        bool array;
        std::string path;
        std::string key;                 // objects: the key being read
        std::set<std::string> keys;      // objects: the keys read so far
        std::size_t index;               // arrays: the element being read
    };

    // The path of the entry being read in the innermost container, as the readers name it.
    std::string childPath() const {
        if (levels_.empty()) return "(the document)";
        const Level& level = levels_.back();
        if (level.array) return level.path + "[" + std::to_string(level.index) + "]";
        const std::string shown = printableText(level.key, 64);
        return level.path.empty() ? shown : level.path + "." + shown;
    }
    void count() {
        if (++values_ > kMaxJsonValues)
            throw DescriptionError(childPath() + ": more than " + std::to_string(kMaxJsonValues) +
                                   " values");
    }
    // An entry of the innermost container is complete.
    void ended() {
        if (!levels_.empty() && levels_.back().array) ++levels_.back().index;
    }

    std::vector<Level> levels_;
    std::size_t values_ = 0;
};

}  // namespace

json parseJson(const std::string& text) {
    try {
        ParseWatch watch;
        return json::parse(text, std::ref(watch));
    } catch (const json::exception& e) {
        // nlohmann prefixes its messages with "[json.exception.parse_error.101] ".
        std::string message = e.what();
        auto bracket = message.find("] ");
        if (message.rfind("[json.", 0) == 0 && bracket != std::string::npos)
            message = message.substr(bracket + 2);
        throw DescriptionError("not valid JSON: " + printableText(message, 200));
    }
}

JsonObject::JsonObject(const json& value, std::string path) : value_(&value), path_(std::move(path)) {
    if (!value.is_object())
        throw DescriptionError((path_.empty() ? std::string("the description") : path_) +
                               ": must be an object");
}

JsonObject JsonObject::empty(std::string path) {
    static const json emptyObject = json::object();
    return JsonObject(emptyObject, std::move(path));
}

bool JsonObject::has(const char* key) const { return value_->contains(key); }

std::string JsonObject::pathOf(const std::string& key) const {
    // Keys come from the description as they are: escaped and cut, so that a message names the
    // entry in one readable line.
    const std::string shown = printableText(key, 64);
    return path_.empty() ? shown : path_ + "." + shown;
}

void JsonObject::fail(const std::string& key, const std::string& reason) const {
    throw DescriptionError(pathOf(key) + ": " + reason);
}

const json* JsonObject::find(const char* key) {
    used_.insert(key);
    auto it = value_->find(key);
    return it == value_->end() ? nullptr : &*it;
}

int64_t JsonObject::integer(const char* key, int64_t def, int64_t min, int64_t max,
                            const char* reason) {
    const json* v = find(key);
    if (!v) return def;
    std::string why = reason ? reason
                             : "must be an integer from " + std::to_string(min) + " to " +
                                   std::to_string(max);
    if (v->is_number_unsigned()) {
        // nlohmann keeps every non-negative integer as unsigned.
        auto u = v->get<uint64_t>();
        if (u > static_cast<uint64_t>(max) || static_cast<int64_t>(u) < min) fail(key, why);
        return static_cast<int64_t>(u);
    }
    if (!v->is_number_integer()) fail(key, why);
    auto i = v->get<int64_t>();
    if (i < min || i > max) fail(key, why);
    return i;
}

namespace {
bool asFloat(const json& v, float& out) {
    if (!v.is_number()) return false;
    double d = v.get<double>();
    if (!std::isfinite(d) || std::fabs(d) > FLT_MAX) return false;
    out = static_cast<float>(d);
    return true;
}
}  // namespace

float JsonObject::number(const char* key, float def) {
    const json* v = find(key);
    if (!v) return def;
    float out = 0;
    if (!asFloat(*v, out)) fail(key, "must be a number");
    return out;
}

bool JsonObject::boolean(const char* key, bool def) {
    const json* v = find(key);
    if (!v) return def;
    if (!v->is_boolean()) fail(key, "must be true or false");
    return v->get<bool>();
}

std::string JsonObject::text(const char* key, std::string def, std::size_t maxBytes, bool nonEmpty) {
    const json* v = find(key);
    if (!v) return def;
    if (!v->is_string()) fail(key, "must be a text");
    auto s = v->get<std::string>();
    if (s.size() > maxBytes) fail(key, "must be at most " + std::to_string(maxBytes) + " bytes long");
    if (s.find('\0') != std::string::npos) fail(key, "must not contain NUL characters");
    if (nonEmpty && s.empty()) fail(key, "must not be empty");
    return s;
}

int32_t JsonObject::enumValue(const char* key, int32_t def, const EnumTable& names) {
    const json* v = find(key);
    if (!v) return def;
    std::optional<int32_t> value;
    if (v->is_string()) value = names.find(v->get<std::string>());
    if (!value) fail(key, "must be one of " + names.choices());
    return *value;
}

std::optional<std::vector<float>> JsonObject::numbers(const char* key, std::size_t minCount,
                                                      std::size_t maxCount) {
    const json* v = find(key);
    if (!v) return std::nullopt;
    std::string why = minCount == maxCount
                          ? "must be a list of " + std::to_string(minCount) + " numbers"
                          : "must be a list of " + std::to_string(minCount) + " to " +
                                std::to_string(maxCount) + " numbers";
    if (!v->is_array() || v->size() < minCount || v->size() > maxCount) fail(key, why);
    std::vector<float> out(v->size());
    for (std::size_t i = 0; i < v->size(); ++i)
        if (!asFloat((*v)[i], out[i])) fail(key, why);
    return out;
}

std::optional<std::vector<int64_t>> JsonObject::integers(const char* key, std::size_t minCount,
                                                         std::size_t maxCount, int64_t min,
                                                         int64_t max) {
    const json* v = find(key);
    if (!v) return std::nullopt;
    std::string why = "must be a list of " + std::to_string(minCount) +
                      (minCount == maxCount ? "" : " to " + std::to_string(maxCount)) +
                      " integers from " + std::to_string(min) + " to " + std::to_string(max);
    if (!v->is_array() || v->size() < minCount || v->size() > maxCount) fail(key, why);
    std::vector<int64_t> out;
    for (const auto& e : *v) {
        if (!e.is_number_integer()) fail(key, why);
        if (e.is_number_unsigned() && e.get<uint64_t>() > static_cast<uint64_t>(max)) fail(key, why);
        auto i = e.get<int64_t>();
        if (i < min || i > max) fail(key, why);
        out.push_back(i);
    }
    return out;
}

std::vector<uint8_t> JsonObject::hexBytes(const char* key, std::size_t maxBytes) {
    std::string hex = text(key, "", 2 * maxBytes + 1);
    std::string why = "must be a hexadecimal text of at most " + std::to_string(maxBytes) + " bytes";
    if (hex.size() % 2 != 0 || hex.size() > 2 * maxBytes) fail(key, why);
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int byte = 0;
        for (std::size_t k = i; k < i + 2; ++k) {
            char c = hex[k];
            int digit = (c >= '0' && c <= '9')   ? c - '0'
                        : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                        : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                 : -1;
            if (digit < 0) fail(key, why);
            byte = byte * 16 + digit;
        }
        bytes.push_back(static_cast<uint8_t>(byte));
    }
    return bytes;
}

std::optional<JsonObject> JsonObject::optionalObject(const char* key) {
    const json* v = find(key);
    if (!v) return std::nullopt;
    return JsonObject(*v, pathOf(key));
}

JsonObject JsonObject::object(const char* key) {
    const json* v = find(key);
    if (!v) fail(key, "is missing");
    return JsonObject(*v, pathOf(key));
}

uint64_t JsonObject::keyNumber(const std::string& key, uint64_t max) const {
    const bool hex = key.size() > 2 && key[0] == '0' && (key[1] == 'x' || key[1] == 'X');
    const std::string digits = hex ? key.substr(2) : key;
    bool ok = !digits.empty() && digits.size() <= 16;
    uint64_t value = 0;
    for (char c : digits) {
        int d = (c >= '0' && c <= '9')            ? c - '0'
                : (hex && c >= 'a' && c <= 'f') ? c - 'a' + 10
                : (hex && c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                : -1;
        if (d < 0) {
            ok = false;
            break;
        }
        value = value * (hex ? 16 : 10) + static_cast<uint64_t>(d);
        if (value > max) ok = false;
    }
    if (!ok)
        fail(key, "must be a decimal or 0x-prefixed hexadecimal number up to " + std::to_string(max));
    return value;
}

void JsonObject::finish() const {
    for (const auto& item : value_->items()) {
        if (item.key() != "comment" && used_.count(item.key()) == 0) fail(item.key(), "unknown key");
    }
}

}  // namespace lentra
