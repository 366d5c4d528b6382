#include "registers/i2c_bus.h"

#include <algorithm>
#include <cstring>

#include "LentraSDK.h"

namespace lentra {

I2cBus::I2cBus(const std::vector<I2cDeviceDescription>& devices) {
    for (const I2cDeviceDescription& d : devices) {
        Device device{d.addressWidth, std::vector<uint8_t>(d.size, 0), std::vector<bool>(d.size, false)};
        for (const auto& [reg, value] : d.bytes) device.bytes[reg] = value;
        for (uint32_t reg : d.readOnly) device.readOnly[reg] = true;
        devices_.emplace(d.address, std::move(device));
    }
}

const I2cBus::Device* I2cBus::find(uint8_t address, uint8_t addressWidth, uint32_t reg,
                                   uint16_t count, const void* data, int& status) const {
    status = LX_STATUS_INVALID_ARGUMENT;
    if (address > 0x7F || count == 0 || !data) return nullptr;
    auto it = devices_.find(address);
    if (it == devices_.end()) {
        status = LX_STATUS_NO_DEVICE;  // nothing acknowledges the address
        return nullptr;
    }
    const Device& device = it->second;
    if (addressWidth != device.addressWidth) return nullptr;
    if (uint64_t{reg} + count > device.bytes.size()) return nullptr;
    status = LX_STATUS_OK;
    return &device;
}

int I2cBus::read(uint8_t address, uint8_t addressWidth, uint32_t reg, uint16_t count,
                 uint8_t* data) const {
    int status = LX_STATUS_OK;
    const Device* device = find(address, addressWidth, reg, count, data, status);
    if (!device) return status;
    std::memcpy(data, device->bytes.data() + reg, count);
    return LX_STATUS_OK;
}

int I2cBus::write(uint8_t address, uint8_t addressWidth, uint32_t reg, uint16_t count,
                  const uint8_t* data) {
    int status = LX_STATUS_OK;
    const Device* found = find(address, addressWidth, reg, count, data, status);
    if (!found) return status;
    Device& device = devices_.at(address);
    const auto first = device.readOnly.begin() + reg;
    if (std::any_of(first, first + count, [](bool readOnly) { return readOnly; }))
        return LX_STATUS_READ_ONLY;
    std::memcpy(device.bytes.data() + reg, data, count);
    return LX_STATUS_OK;
}

}  // namespace lentra
