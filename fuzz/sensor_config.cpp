// Sensor-configuration files (LxDecodeSensorConfig, LxExportSensorConfig): any bytes decode to
// an image or one reason; a decoded image encodes to a file that decodes to the same image; an
// image made from the input (texts of any length) survives export and decoding whenever its
// texts are UTF-8 without NUL, as a rig's names are.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>
#include <zlib.h>

#include "sensorconfig/sensor_config_file.h"

namespace {

using lentra::SensorConfigImage;

bool sameImage(const SensorConfigImage& a, const SensorConfigImage& b) {
    if (a.deviceName != b.deviceName || a.sensorUniqueId != b.sensorUniqueId ||
        a.productType != b.productType || a.registers.size() != b.registers.size())
        return false;
    for (std::size_t i = 0; i < a.registers.size(); ++i) {
        const auto& x = a.registers[i];
        const auto& y = b.registers[i];
        if (x.sensor != y.sensor || x.address != y.address || x.value != y.value) return false;
    }
    return true;
}

// Well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF) without NUL bytes.
bool nameLike(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<uint8_t>(s[i]);
        if (c == 0) return false;
        std::size_t n = c < 0x80 ? 0 : c >= 0xC2 && c <= 0xDF ? 1 : c >= 0xE0 && c <= 0xEF ? 2
                                                     : c >= 0xF0 && c <= 0xF4 ? 3 : 9;
        if (n == 9 || i + n >= s.size()) return false;
        uint32_t cp = n == 0 ? c : c & (0x3F >> n);
        for (std::size_t k = 1; k <= n; ++k) {
            const auto t = static_cast<uint8_t>(s[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            cp = cp << 6 | (t & 0x3F);
        }
        if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

// Decodes a file the library wrote; must succeed and give back the image.
void roundTrip(const SensorConfigImage& image, const SensorConfigImage& expected) {
    const std::string file = lentra::encodeSensorConfig(image);
    std::string error;
    const auto back = lentra::decodeSensorConfig(file, error);
    if (!back || !sameImage(*back, expected)) std::abort();
    (void)nlohmann::json::parse(lentra::sensorConfigJson(*back));  // the rendering is JSON
}

// Whether `bytes` decode; a decoded image must survive a round trip.
bool decodes(const std::string& bytes) {
    std::string error;
    const auto decoded = lentra::decodeSensorConfig(bytes, error);
    if (decoded.has_value() == !error.empty()) std::abort();
    if (!decoded) return false;
    if (bytes.size() != lentra::kSensorConfigHeaderBytes +
                            decoded->registers.size() * lentra::kSensorConfigEntryBytes +
                            lentra::kSensorConfigCrcBytes)
        std::abort();
    roundTrip(*decoded, *decoded);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // The input as a file, as it is and with its CRC made right (so that the checks after the
    // CRC are reached with mutated fields).
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (decodes(bytes)) return 0;
    if (size >= lentra::kSensorConfigHeaderBytes + lentra::kSensorConfigCrcBytes) {
        const uLong crc = crc32(0, data, static_cast<uInt>(size - 4));
        for (int i = 0; i < 4; ++i) bytes[size - 4 + i] = static_cast<char>(crc >> (8 * i));
        if (decodes(bytes)) return 0;
    }
    // Not a file: an image to export. Byte 0 and 1 give the texts' lengths (up to twice a
    // field, so that cutting is reached), byte 2 the product type, the rest the registers.
    if (size < 3) return 0;
    const std::size_t nameBytes = std::size_t{data[0]} * 2;
    const std::size_t idBytes = std::size_t{data[1]} * 2;
    std::size_t at = 3;
    auto take = [&](std::size_t n) {
        n = std::min(n, size - at);
        std::string s(reinterpret_cast<const char*>(data + at), n);
        at += n;
        return s;
    };
    SensorConfigImage image;
    image.deviceName = take(nameBytes);
    image.sensorUniqueId = take(idBytes);
    image.productType = data[2] % 7;  // LX_CAMERA_PRODUCT_TYPE
    for (; at + 6 <= size; at += 6) {
        auto u16 = [&](std::size_t k) { return static_cast<uint16_t>(data[at + k] | data[at + k + 1] << 8); };
        image.registers.push_back({u16(0), u16(2), u16(4)});
    }
    if (!nameLike(image.deviceName) || !nameLike(image.sensorUniqueId)) {
        (void)lentra::encodeSensorConfig(image);  // written all the same, never past the fields
        return 0;
    }
    SensorConfigImage expected = image;
    const std::size_t field = lentra::kSensorConfigTextBytes - 1;
    for (std::string* text : {&expected.deviceName, &expected.sensorUniqueId}) {
        if (text->size() <= field) continue;
        std::size_t end = field;  // the longest start that is still whole characters
        while (!nameLike(text->substr(0, end))) --end;
        text->resize(end);
    }
    roundTrip(image, expected);
    return 0;
}
