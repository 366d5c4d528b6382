#include "sensorconfig/sensor_config_file.h"

#include <cstdio>
#include <cstring>

#include <nlohmann/json.hpp>

#include "LentraSDK.h"
#include "description/enum_names.h"
#include "files/crc32.h"

namespace lentra {

namespace {

// Field offsets of the header (all numbers little-endian).
constexpr std::size_t kMagicAt = 0;
constexpr std::size_t kVersionAt = 8;
constexpr std::size_t kHeaderBytesAt = 10;
constexpr std::size_t kCountAt = 12;
constexpr std::size_t kProductTypeAt = 16;
// Bytes 20..23 are reserved (zero).
constexpr std::size_t kDeviceNameAt = 24;
constexpr std::size_t kUniqueIdAt = kDeviceNameAt + kSensorConfigTextBytes;
static_assert(kUniqueIdAt + kSensorConfigTextBytes == kSensorConfigHeaderBytes, "header layout");
static_assert(kSensorConfigHeaderBytes == 536, "the header is 536 bytes");

void put16(std::string& out, std::size_t at, uint16_t v) {
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>(v >> 8);
}

void put32(std::string& out, std::size_t at, uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint16_t get16(const std::string& in, std::size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(in[at]) | (static_cast<uint8_t>(in[at + 1]) << 8));
}

uint32_t get32(const std::string& in, std::size_t at) {
    uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v |= uint32_t{static_cast<uint8_t>(in[at + i])} << (8 * i);
    return v;
}

// The longest start of `text` that fits `bytes` bytes without splitting a UTF-8 character.
std::string fitted(const std::string& text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    std::size_t end = bytes;
    while (end > 0 && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

void putText(std::string& out, std::size_t at, const std::string& text) {
    const std::string t = fitted(text, kSensorConfigTextBytes - 1);
    std::memcpy(&out[at], t.data(), t.size());  // the rest of the field stays zero
}

bool validUtf8(const std::string& s) {
    try {
        (void)nlohmann::json(s).dump();  // nlohmann refuses invalid UTF-8 when it writes
        return true;
    } catch (const nlohmann::json::exception&) {
        return false;
    }
}

std::optional<std::string> getText(const std::string& in, std::size_t at, const char* what,
                                   std::string& error) {
    const char* field = in.data() + at;
    const void* nul = std::memchr(field, '\0', kSensorConfigTextBytes);
    if (!nul) {
        error = std::string("the ") + what + " is not NUL-terminated";
        return std::nullopt;
    }
    std::string text(field, static_cast<const char*>(nul));
    if (!validUtf8(text)) {
        error = std::string("the ") + what + " is not valid UTF-8";
        return std::nullopt;
    }
    return text;
}

std::string hex(uint32_t value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%0*X", digits, static_cast<unsigned>(value));
    return buffer;
}

}  // namespace

std::string encodeSensorConfig(const SensorConfigImage& image) {
    const std::size_t count = image.registers.size();
    std::string out(kSensorConfigHeaderBytes + count * kSensorConfigEntryBytes + kSensorConfigCrcBytes, '\0');
    std::memcpy(&out[kMagicAt], kSensorConfigMagic, sizeof kSensorConfigMagic);
    put16(out, kVersionAt, kSensorConfigVersion);
    put16(out, kHeaderBytesAt, static_cast<uint16_t>(kSensorConfigHeaderBytes));
    put32(out, kCountAt, static_cast<uint32_t>(count));
    put32(out, kProductTypeAt, static_cast<uint32_t>(image.productType));
    putText(out, kDeviceNameAt, image.deviceName);
    putText(out, kUniqueIdAt, image.sensorUniqueId);
    std::size_t at = kSensorConfigHeaderBytes;
    for (const SensorRegisterValue& r : image.registers) {
        put16(out, at, r.sensor);
        put16(out, at + 2, r.address);
        put16(out, at + 4, r.value);
        at += kSensorConfigEntryBytes;  // the last two bytes of an entry are reserved (zero)
    }
    put32(out, at, files::crc32Of(out.data(), at));
    return out;
}

std::optional<SensorConfigImage> decodeSensorConfig(const std::string& in, std::string& error) {
    if (in.size() < kSensorConfigHeaderBytes + kSensorConfigCrcBytes) {
        error = "too short for a sensor configuration (" + std::to_string(in.size()) + " bytes)";
        return std::nullopt;
    }
    if (std::memcmp(in.data() + kMagicAt, kSensorConfigMagic, sizeof kSensorConfigMagic) != 0) {
        error = "not a sensor configuration (wrong magic)";
        return std::nullopt;
    }
    const uint16_t version = get16(in, kVersionAt);
    if (version != kSensorConfigVersion) {
        error = "layout version " + std::to_string(version) + " is not one this library reads";
        return std::nullopt;
    }
    if (get16(in, kHeaderBytesAt) != kSensorConfigHeaderBytes) {
        error = "the header size is wrong";
        return std::nullopt;
    }
    const uint32_t count = get32(in, kCountAt);
    // In 64 bits, so that a huge count cannot wrap around into a plausible size.
    const uint64_t expected = uint64_t{kSensorConfigHeaderBytes} + uint64_t{count} * kSensorConfigEntryBytes +
                              kSensorConfigCrcBytes;
    if (count > kSensorConfigMaxRegisters || expected != in.size()) {
        error = "the register count (" + std::to_string(count) + ") does not match the file's size";
        return std::nullopt;
    }
    const std::size_t crcAt = in.size() - kSensorConfigCrcBytes;
    if (files::crc32Of(in.data(), crcAt) != get32(in, crcAt)) {
        error = "the CRC-32 does not match the content";
        return std::nullopt;
    }
    SensorConfigImage image;
    image.productType = static_cast<int32_t>(get32(in, kProductTypeAt));
    if (!kProductTypeNames.nameOf(image.productType)) {
        error = "the product type is unknown";
        return std::nullopt;
    }
    auto name = getText(in, kDeviceNameAt, "device name", error);
    if (!name) return std::nullopt;
    auto id = getText(in, kUniqueIdAt, "sensor unique ID", error);
    if (!id) return std::nullopt;
    image.deviceName = std::move(*name);
    image.sensorUniqueId = std::move(*id);
    image.registers.reserve(count);
    for (std::size_t at = kSensorConfigHeaderBytes; at < crcAt; at += kSensorConfigEntryBytes)
        image.registers.push_back({get16(in, at), get16(in, at + 2), get16(in, at + 4)});
    return image;
}

std::string sensorConfigJson(const SensorConfigImage& image) {
    // Written by hand, one register a line, rather than through a JSON document: a file of a
    // million registers would take hundreds of bytes a register as a document, and its text is
    // the only thing wanted.
    const char* product = kProductTypeNames.nameOf(image.productType);
    std::string head = "{\n  \"layout_version\": " + std::to_string(kSensorConfigVersion) +
                       ",\n  \"device_name\": " + nlohmann::json(image.deviceName).dump() +
                       ",\n  \"sensor_unique_id\": " + nlohmann::json(image.sensorUniqueId).dump() +
                       ",\n  \"product_type\": " + nlohmann::json(product ? product : "").dump() +
                       ",\n  \"registers\": [";
    // The exact size first, so that the text is allocated once.
    constexpr std::size_t kEntryBytes = sizeof("    {\"sensor\": , \"address\": \"0x0000\", \"value\": \"0x0000\"},\n") - 1;
    std::size_t size = head.size() + 6;
    for (const SensorRegisterValue& r : image.registers)
        size += kEntryBytes + std::to_string(r.sensor).size();
    std::string out;
    out.reserve(size);
    out += head;
    out += image.registers.empty() ? "" : "\n";
    char line[96];
    for (std::size_t i = 0; i < image.registers.size(); ++i) {
        const SensorRegisterValue& r = image.registers[i];
        const int n = std::snprintf(line, sizeof line,
                                    "    {\"sensor\": %u, \"address\": \"%s\", \"value\": \"%s\"}%s\n",
                                    static_cast<unsigned>(r.sensor), hex(r.address, 4).c_str(),
                                    hex(r.value, 4).c_str(), i + 1 < image.registers.size() ? "," : "");
        out.append(line, static_cast<std::size_t>(n));
    }
    out += image.registers.empty() ? "]\n}\n" : "  ]\n}\n";
    return out;
}

}  // namespace lentra
