#include "registers/register_file.h"

namespace lentra {

RegisterFile::RegisterFile(const RegisterDescription& description, IspControlAccess controls)
    : hasIsp_(description.hasIsp),
      isp_(description.isp),
      sensors_(description.sensors),
      controls_(std::move(controls)) {}

int RegisterFile::read(const RegisterTable& table, uint16_t address, uint16_t& value) const {
    auto it = table.find(address);
    if (it == table.end()) {
        value = 0;  // a free register never written
        return LX_STATUS_OK;
    }
    const RegisterEntry& r = it->second;
    // A control's value crosses as its low 16 bits: two's complement for signed ranges.
    value = r.mirrors ? static_cast<uint16_t>(controls_.get(*r.mirrors)) : r.value;
    return LX_STATUS_OK;
}

int RegisterFile::write(RegisterTable& table, uint16_t address, uint16_t value) {
    auto it = table.find(address);
    if (it == table.end()) {
        table[address].value = value;
        return LX_STATUS_OK;
    }
    RegisterEntry& r = it->second;
    if (r.readOnly) return LX_STATUS_READ_ONLY;
    if (r.mirrors) {
        const int32_t control = r.mirrorsSigned ? int32_t{static_cast<int16_t>(value)} : int32_t{value};
        return controls_.set(*r.mirrors, control);
    }
    r.value = value;
    return LX_STATUS_OK;
}

int RegisterFile::readIsp(uint16_t address, uint16_t& value) const {
    if (!hasIsp_) return LX_STATUS_NOT_SUPPORTED;
    return read(isp_, address, value);
}

int RegisterFile::writeIsp(uint16_t address, uint16_t value) {
    if (!hasIsp_) return LX_STATUS_NOT_SUPPORTED;
    return write(isp_, address, value);
}

int RegisterFile::readSensor(uint16_t sensor, uint16_t address, uint16_t& value) const {
    if (!hasIsp_) return LX_STATUS_NOT_SUPPORTED;
    auto it = sensors_.find(sensor);
    if (it == sensors_.end()) return LX_STATUS_NO_DEVICE;
    return read(it->second, address, value);
}

int RegisterFile::writeSensor(uint16_t sensor, uint16_t address, uint16_t value) {
    if (!hasIsp_) return LX_STATUS_NOT_SUPPORTED;
    auto it = sensors_.find(sensor);
    if (it == sensors_.end()) return LX_STATUS_NO_DEVICE;
    return write(it->second, address, value);
}

std::map<uint32_t, uint16_t> RegisterFile::sensorRegisters() const {
    std::map<uint32_t, uint16_t> out;
    for (const auto& [sensor, table] : sensors_)
        for (const auto& [address, entry] : table) out[(uint32_t{sensor} << 16) | address] = entry.value;
    return out;
}

}  // namespace lentra
