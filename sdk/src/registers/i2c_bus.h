// The camera's I2C bus as LxGenericI2CRead and LxGenericI2CWrite reach it.
//
// The arguments mean, in order:
//   address       the device's 7-bit I2C address (0x08..0x77 carry devices; up to 0x7F is valid)
//   addressWidth  how many bytes the register address takes on the wire: 1 or 2, as the device
//                 expects (a mismatch is refused, as a real device would misread the transfer)
//   reg           the first register; the device steps to the next one for every further byte
//   count         how many bytes to read or write, 1 or more; reg + count must stay inside the
//                 device's registers
//   data          the caller's bytes: `count` of them are read or written, never more
// A transfer is all or nothing: a write that touches a read-only byte writes none of them.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "description/register_description.h"

namespace lentra {

class I2cBus {
public:
    explicit I2cBus(const std::vector<I2cDeviceDescription>& devices);

    int read(uint8_t address, uint8_t addressWidth, uint32_t reg, uint16_t count, uint8_t* data) const;
    int write(uint8_t address, uint8_t addressWidth, uint32_t reg, uint16_t count, const uint8_t* data);

private:
    struct Device {
        uint8_t addressWidth;
        std::vector<uint8_t> bytes;
        std::vector<bool> readOnly;
    };
    // The addressed device after the checks every transfer shares, or a status in `status`.
    const Device* find(uint8_t address, uint8_t addressWidth, uint32_t reg, uint16_t count,
                       const void* data, int& status) const;

    std::map<uint8_t, Device> devices_;
};

}  // namespace lentra
