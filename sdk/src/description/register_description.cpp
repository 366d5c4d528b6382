#include "description/register_description.h"

#include <algorithm>

#include "description/json_reader.h"
#include "description/rig_description.h"

namespace lentra {

namespace {

constexpr int64_t kMinI2cAddress = 0x08;  // below and above: reserved addresses
constexpr int64_t kMaxI2cAddress = 0x77;

using IspControls = std::array<ControlDescription, kIspPropertyCount>;

// A register given as its value, or as {"value", "read_only"}, or (ISP registers only) as
// {"mirrors": "<ISP control name>"}.
RegisterEntry parseEntry(JsonObject& table, const std::string& key, const IspControls* controls) {
    RegisterEntry entry;
    const nlohmann::json* raw = table.any(key.c_str());
    if (!raw->is_object()) {
        entry.value = static_cast<uint16_t>(table.integer(key.c_str(), 0, 0, 0xFFFF));
        return entry;
    }
    JsonObject o = table.object(key.c_str());
    if (o.has("mirrors")) {
        if (!controls) o.fail("mirrors", "only image signal processor registers mirror controls");
        if (o.has("value") || o.has("read_only"))
            o.fail(o.has("value") ? "value" : "read_only",
                   "a mirrored register takes its value and writability from its control");
        auto property = o.enumeration("mirrors", LX_ISP_IMAGE_PROPERTIES::ISP_IMAGE_BRIGHTNESS,
                                      kIspPropertyNames);
        const ControlDescription& control = (*controls)[static_cast<std::size_t>(property)];
        if (!control.present) o.fail("mirrors", "names an ISP control the device lacks");
        entry.mirrors = property;
        entry.mirrorsSigned = control.min < 0;
        entry.readOnly = control.readOnly;
    } else {
        entry.value = static_cast<uint16_t>(o.integer("value", 0, 0, 0xFFFF));
        entry.readOnly = o.boolean("read_only", false);
    }
    o.finish();
    return entry;
}

RegisterTable parseTable(JsonObject o, const IspControls* controls) {
    RegisterTable table;
    for (const auto& [key, value] : o.items()) {
        auto address = static_cast<uint16_t>(o.keyNumber(key, 0xFFFF));
        if (table.count(address)) o.fail(key, "names a register already given");
        table[address] = parseEntry(o, key, controls);
    }
    return table;
}

I2cDeviceDescription parseI2cDevice(JsonObject o) {
    I2cDeviceDescription d;
    d.address = static_cast<uint8_t>(o.integer("address", kMinI2cAddress, kMinI2cAddress, kMaxI2cAddress,
                                               "must be a 7-bit device address from 8 to 119 (0x08 to 0x77)"));
    d.name = o.text("name", "", 63);
    const int64_t width = o.integer("address_width", 1, 1, 2);
    d.addressWidth = static_cast<uint8_t>(width);
    const int64_t span = int64_t{1} << (8 * width);
    d.size = static_cast<uint32_t>(o.integer("size", std::min<int64_t>(span, 256), 1, span));
    if (auto regs = o.optionalObject("registers")) {
        for (const auto& [key, value] : regs->items()) {
            auto reg = static_cast<uint32_t>(regs->keyNumber(key, d.size - 1));
            if (regs->any(key.c_str())->is_object()) {
                JsonObject e = regs->object(key.c_str());
                d.bytes[reg] = static_cast<uint8_t>(e.integer("value", 0, 0, 255));
                if (e.boolean("read_only", false)) d.readOnly.push_back(reg);
                e.finish();
            } else {
                d.bytes[reg] = static_cast<uint8_t>(regs->integer(key.c_str(), 0, 0, 255));
            }
        }
    }
    o.finish();
    return d;
}

}  // namespace

RegisterDescription parseRegisters(JsonObject o, const IspControls& ispControls) {
    RegisterDescription r;
    if (auto isp = o.optionalObject("ap1302")) {
        r.hasIsp = true;
        r.isp = parseTable(*isp, &ispControls);
    }
    if (auto sensors = o.optionalObject("sensor")) {
        for (const auto& [key, value] : sensors->items()) {
            auto sensor = static_cast<uint16_t>(sensors->keyNumber(key, 0xFFFF));
            r.sensors[sensor] = parseTable(sensors->object(key.c_str()), nullptr);
        }
        r.hasIsp = true;  // the sensors are reached through the ISP
    }
    o.forEachObject("i2c", [&r](JsonObject device) {
        const std::string path = device.pathOf("address");
        I2cDeviceDescription d = parseI2cDevice(std::move(device));
        for (const auto& other : r.i2c)
            if (other.address == d.address)
                throw DescriptionError(path + ": another device has that address");
        r.i2c.push_back(std::move(d));
    });
    o.finish();
    return r;
}

}  // namespace lentra
