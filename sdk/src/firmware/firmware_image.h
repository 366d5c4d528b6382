// Firmware image files (layout documented in sdk/docs/firmware-image.md): a 32-byte header, then
// the payload.
//
//   offset size
//   0      4    magic "LXFW"
//   4      1    layout version, 1
//   5      1    target: 1 the USB controller (FX3), 2 the sensor
//   6      2    device: the sensor model the image is made for (0: any), little-endian
//   8      16   version text, printable ASCII, NUL-padded (at least one NUL-free byte, at most 15)
//   24     4    payload length, little-endian, 1 .. kMaxFirmwarePayload
//   28     4    CRC-32 (zlib) of bytes 0..27 followed by the payload
//   32     n    payload
//
// The file holds exactly 32 + n bytes. A file that breaks any rule is refused whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace lentra {

enum class FirmwareTarget : uint8_t { UsbController = 1, Sensor = 2 };

constexpr std::size_t kFirmwareHeaderBytes = 32;
constexpr std::size_t kMaxFirmwarePayload = std::size_t{16} << 20;

struct FirmwareImage {
    FirmwareTarget target = FirmwareTarget::Sensor;
    uint16_t device = 0;
    std::string version;
    std::size_t payloadBytes = 0;
};

// The image in `bytes`, or nothing with one line in `why`.
std::optional<FirmwareImage> parseFirmwareImage(const std::string& bytes, std::string& why);

// Reads and checks the image file at `path`. On failure answers LX_STATUS_IO_ERROR (the file
// cannot be read) or LX_STATUS_BAD_FILE (it is not a valid image), with `why`.
int readFirmwareImage(const std::string& path, FirmwareImage& image, std::string& why);

}  // namespace lentra
