// The sensor-configuration file: a camera's sensor registers with the identity of the camera
// they came from, in our own binary layout, and its JSON rendering. The layout is documented for
// users in sdk/docs/sensor-config.md; this is the only code that knows it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lentra {

struct SensorRegisterValue {
    uint16_t sensor = 0;
    uint16_t address = 0;
    uint16_t value = 0;
};

struct SensorConfigImage {
    std::string deviceName;      // at most kSensorConfigTextBytes - 1 bytes, no NUL
    std::string sensorUniqueId;  // the same
    int32_t productType = 0;     // an LX_CAMERA_PRODUCT_TYPE value
    std::vector<SensorRegisterValue> registers;
};

constexpr char kSensorConfigMagic[8] = {'L', 'X', 'S', 'E', 'N', 'C', 'F', 'G'};
constexpr uint16_t kSensorConfigVersion = 1;
constexpr std::size_t kSensorConfigTextBytes = 256;
constexpr std::size_t kSensorConfigHeaderBytes = 24 + 2 * kSensorConfigTextBytes;
constexpr std::size_t kSensorConfigEntryBytes = 8;
constexpr std::size_t kSensorConfigCrcBytes = 4;
// More registers than any sensor has; a count beyond it marks a damaged file.
constexpr uint32_t kSensorConfigMaxRegisters = 1u << 20;
constexpr std::size_t kSensorConfigMaxFileBytes =
    kSensorConfigHeaderBytes + std::size_t{kSensorConfigMaxRegisters} * kSensorConfigEntryBytes +
    kSensorConfigCrcBytes;

// The file's bytes. Texts longer than their field are cut at a UTF-8 character boundary.
std::string encodeSensorConfig(const SensorConfigImage& image);

// Checks everything before it believes anything: size, magic, version, header size, register
// count against the file's length, CRC-32 and texts (NUL-terminated, UTF-8). Nothing, with one
// line in `error`, for a file that fails any check.
std::optional<SensorConfigImage> decodeSensorConfig(const std::string& bytes, std::string& error);

// The readable rendering: a JSON object, two-space indented, one register a line.
std::string sensorConfigJson(const SensorConfigImage& image);

}  // namespace lentra
