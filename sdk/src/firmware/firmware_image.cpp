#include "firmware/firmware_image.h"

#include <cstring>

#include "LentraSDK.h"
#include "files/crc32.h"
#include "files/read_file.h"

namespace lentra {

namespace {

constexpr char kMagic[4] = {'L', 'X', 'F', 'W'};
constexpr uint8_t kLayoutVersion = 1;
constexpr std::size_t kVersionBytes = 16;

uint32_t littleEndian(const std::string& bytes, std::size_t offset, std::size_t size) {
    uint32_t v = 0;
    for (std::size_t i = 0; i < size; ++i)
        v |= uint32_t{static_cast<uint8_t>(bytes[offset + i])} << (8 * i);
    return v;
}

}  // namespace

std::optional<FirmwareImage> parseFirmwareImage(const std::string& bytes, std::string& why) {
    if (bytes.size() < kFirmwareHeaderBytes) {
        why = "shorter than a firmware image header";
        return std::nullopt;
    }
    if (std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
        why = "not a firmware image (bad magic)";
        return std::nullopt;
    }
    if (static_cast<uint8_t>(bytes[4]) != kLayoutVersion) {
        why = "unknown firmware image layout version";
        return std::nullopt;
    }
    FirmwareImage image;
    const auto target = static_cast<uint8_t>(bytes[5]);
    if (target != static_cast<uint8_t>(FirmwareTarget::UsbController) &&
        target != static_cast<uint8_t>(FirmwareTarget::Sensor)) {
        why = "unknown firmware target";
        return std::nullopt;
    }
    image.target = static_cast<FirmwareTarget>(target);
    image.device = static_cast<uint16_t>(littleEndian(bytes, 6, 2));

    const char* text = bytes.data() + 8;
    const std::size_t length = strnlen(text, kVersionBytes);
    if (length == 0 || length == kVersionBytes) {
        why = "the version text is empty or not NUL-terminated";
        return std::nullopt;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] < 0x20 || text[i] > 0x7E) {
            why = "the version text is not printable ASCII";
            return std::nullopt;
        }
    }
    image.version.assign(text, length);

    const uint32_t payload = littleEndian(bytes, 24, 4);
    if (payload == 0 || payload > kMaxFirmwarePayload) {
        why = "the payload length is 0 or too large";
        return std::nullopt;
    }
    if (bytes.size() != kFirmwareHeaderBytes + payload) {
        why = bytes.size() < kFirmwareHeaderBytes + payload ? "the image is truncated"
                                                           : "the image has bytes after its payload";
        return std::nullopt;
    }
    std::string covered = bytes.substr(0, 28);
    covered.append(bytes, kFirmwareHeaderBytes, std::string::npos);
    if (files::crc32Of(covered.data(), covered.size()) != littleEndian(bytes, 28, 4)) {
        why = "the CRC-32 does not match";
        return std::nullopt;
    }
    image.payloadBytes = payload;
    return image;
}

int readFirmwareImage(const std::string& path, FirmwareImage& image, std::string& why) {
    auto bytes = files::readWholeFile(path, why, kFirmwareHeaderBytes + kMaxFirmwarePayload);
    if (!bytes) return LX_STATUS_IO_ERROR;
    auto parsed = parseFirmwareImage(*bytes, why);
    if (!parsed) return LX_STATUS_BAD_FILE;
    image = std::move(*parsed);
    return LX_STATUS_OK;
}

}  // namespace lentra
