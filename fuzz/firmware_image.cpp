// Firmware images (LxUpgradeFX3FW, LxUpgradeSensorFW): any bytes give an image or one reason,
// and an accepted image is exactly what its header says.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <zlib.h>

#include "firmware/firmware_image.h"

namespace {

void parse(const std::string& bytes) {
    std::string why;
    const auto image = lentra::parseFirmwareImage(bytes, why);
    if (image.has_value() == !why.empty()) std::abort();
    if (!image) return;
    if (image->target != lentra::FirmwareTarget::UsbController &&
        image->target != lentra::FirmwareTarget::Sensor)
        std::abort();
    if (image->payloadBytes == 0 || image->payloadBytes > lentra::kMaxFirmwarePayload) std::abort();
    if (bytes.size() != lentra::kFirmwareHeaderBytes + image->payloadBytes) std::abort();
    if (image->version.empty() || image->version.size() > 15) std::abort();
    for (char c : image->version)
        if (c < 0x20 || c > 0x7E) std::abort();  // printable ASCII, as the getters report it
}

}  // namespace

// Each input is read as it is, and once more with its CRC made right, so that the checks before
// the CRC are reached with the rest of the header mutated.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    parse(bytes);
    if (size < lentra::kFirmwareHeaderBytes) return 0;
    uLong crc = crc32(0, data, 28);
    crc = crc32(crc, data + 32, static_cast<uInt>(size - 32));
    for (int i = 0; i < 4; ++i) bytes[28 + i] = static_cast<char>(crc >> (8 * i));
    parse(bytes);
    return 0;
}
