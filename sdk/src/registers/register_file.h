// The image signal processor's register file and the sensor registers behind it.
//
// The ISP has a 16-bit address space of 16-bit registers. Every address is a register: the rig
// describes some (values, read-only ones such as the chip ID, ones that mirror an image
// control); the rest are free registers that start at 0 and keep what is written. A write to a
// read-only register answers LX_STATUS_READ_ONLY and changes nothing.
//
// A mirrored register has no value of its own: it reads and writes its ISP control through
// IspControlAccess, so the register and the control can never disagree.
//
// Sensor registers are addressed by a sensor number and a 16-bit register address; only the
// sensors the rig describes answer (LX_STATUS_NO_DEVICE otherwise).
#pragma once

#include <cstdint>
#include <functional>
#include <map>

#include "LentraSDK.h"
#include "description/register_description.h"

namespace lentra {

// How the register file reaches the camera's ISP controls.
struct IspControlAccess {
    std::function<int32_t(LX_ISP_IMAGE_PROPERTIES)> get;
    // Answers an LX_STATUS code: a value the control refuses leaves it unchanged.
    std::function<int(LX_ISP_IMAGE_PROPERTIES, int32_t)> set;
};

class RegisterFile {
public:
    RegisterFile(const RegisterDescription& description, IspControlAccess controls);

    bool hasIsp() const { return hasIsp_; }
    int readIsp(uint16_t address, uint16_t& value) const;
    int writeIsp(uint16_t address, uint16_t value);
    int readSensor(uint16_t sensor, uint16_t address, uint16_t& value) const;
    int writeSensor(uint16_t sensor, uint16_t address, uint16_t value);
    // The sensors' named registers as they are now, keyed (sensor << 16 | address), as a sensor
    // configuration saves them.
    std::map<uint32_t, uint16_t> sensorRegisters() const;

private:
    int read(const RegisterTable& table, uint16_t address, uint16_t& value) const;
    int write(RegisterTable& table, uint16_t address, uint16_t value);

    bool hasIsp_;
    RegisterTable isp_;
    std::map<uint16_t, RegisterTable> sensors_;
    IspControlAccess controls_;
};

}  // namespace lentra
