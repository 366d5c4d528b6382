#include "sensorconfig/sensor_config.h"

#include <optional>

#include "files/atomic_write.h"
#include "files/read_file.h"
#include "log/log.h"
#include "sensorconfig/sensor_config_file.h"

namespace lentra {

SensorConfig::SensorConfig(const DeviceDescription& description)
    : supported_(description.lentra),
      reportsWorkMode_(description.sensorWorkMode),
      deviceName_(description.name),
      sensorUniqueId_(description.sensorUniqueId),
      productType_(description.productType) {}

int SensorConfig::exportTo(const char* function, const std::string& path,
                           const std::map<uint32_t, uint16_t>& registers) const {
    if (!supported_) return log::failed(function, LX_STATUS_NOT_SUPPORTED, "not one of the maker's cameras");
    SensorConfigImage image;
    image.deviceName = deviceName_;
    image.sensorUniqueId = sensorUniqueId_;
    image.productType = static_cast<int32_t>(productType_);
    for (const auto& [key, value] : registers)
        image.registers.push_back({static_cast<uint16_t>(key >> 16), static_cast<uint16_t>(key & 0xFFFF), value});
    std::string error;
    if (!files::writeFileAtomically(path, encodeSensorConfig(image), error))
        return log::failed(function, LX_STATUS_IO_ERROR, (path + ": " + error).c_str());
    return LX_STATUS_OK;
}

int SensorConfig::workMode(const char* function, bool streaming, LX_SENSOR_MODE& mode) const {
    if (!reportsWorkMode_)
        return log::failed(function, LX_STATUS_NOT_SUPPORTED, "the sensor does not report its work mode");
    mode = streaming ? LX_SENSOR_MODE::WORK : LX_SENSOR_MODE::STANDBY;
    return LX_STATUS_OK;
}

int decodeSensorConfigFile(const char* function, const std::string& binPath, const std::string& jsonPath) {
    std::string error;
    std::optional<std::string> bytes = files::readWholeFile(binPath, error, kSensorConfigMaxFileBytes);
    if (!bytes) return log::failed(function, LX_STATUS_IO_ERROR, (binPath + ": " + error).c_str());
    std::optional<SensorConfigImage> image = decodeSensorConfig(*bytes, error);
    if (!image) return log::failed(function, LX_STATUS_BAD_FILE, (binPath + ": " + error).c_str());
    bytes.reset();  // the registers hold it all now: its memory goes before the text is made
    if (!files::writeFileAtomically(jsonPath, sensorConfigJson(*image), error))
        return log::failed(function, LX_STATUS_IO_ERROR, (jsonPath + ": " + error).c_str());
    return LX_STATUS_OK;
}

}  // namespace lentra
