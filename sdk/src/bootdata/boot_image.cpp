#include "bootdata/boot_image.h"

#include <cstring>

#include "files/crc32.h"
#include "files/read_file.h"

namespace lentra {

namespace {

// Where the version 2 header keeps its content length and checksums (in its reserved bytes).
constexpr std::size_t kV2ContentLen = 68;
constexpr std::size_t kV2ContentCrc = 72;
constexpr std::size_t kV2HeaderCrc = 76;

uint32_t u32At(const std::string& bytes, std::size_t offset) {
    uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v |= uint32_t{static_cast<uint8_t>(bytes[offset + i])} << (8 * i);
    return v;
}

uint32_t crcOf(const std::string& bytes) { return files::crc32Of(bytes.data(), bytes.size()); }

// The content at `offset`, `length` bytes long, ending the file; or nothing with `why`.
std::optional<std::string> contentOf(const std::string& bytes, std::size_t headerBytes,
                                     std::size_t offset, std::size_t length, std::string& why) {
    if (offset < headerBytes) {
        why = "the content offset lies inside the header";
        return std::nullopt;
    }
    if (length > kMaxBootContentBytes) {
        why = "the content length is too large";
        return std::nullopt;
    }
    if (bytes.size() != offset + length) {
        why = bytes.size() < offset + length ? "the image is truncated"
                                             : "the image has bytes after its content";
        return std::nullopt;
    }
    return bytes.substr(offset, length);
}

std::optional<BootImage> parseV2(const std::string& bytes, std::string& why) {
    BootImage image;
    image.version = 2;
    LxHeaderV2 h{};
    std::memcpy(&h, bytes.data(), sizeof h);
    const std::size_t length = u32At(bytes, kV2ContentLen);
    auto content = contentOf(bytes, sizeof h, h.contentOffset, length, why);
    if (!content) return std::nullopt;
    if (crcOf(bytes.substr(0, kV2HeaderCrc)) != u32At(bytes, kV2HeaderCrc)) {
        why = "the header checksum does not match";
        return std::nullopt;
    }
    if (crcOf(*content) != u32At(bytes, kV2ContentCrc)) {
        why = "the content checksum does not match";
        return std::nullopt;
    }
    image.v2 = h;
    image.content = std::move(*content);
    return image;
}

std::optional<BootImage> parseV3(const std::string& bytes, std::string& why) {
    BootImage image;
    image.version = 3;
    LxHeaderV3 h{};
    std::memcpy(&h, bytes.data(), sizeof h);
    auto content = contentOf(bytes, sizeof h, h.contentOffset, h.contentLen, why);
    if (!content) return std::nullopt;
    if (checksum16(bytes.substr(0, offsetof(LxHeaderV3, fixChecksum))) != h.fixChecksum) {
        why = "the fixed-part checksum does not match";
        return std::nullopt;
    }
    if (checksum16(*content) != h.contentChecksum) {
        why = "the content checksum does not match";
        return std::nullopt;
    }
    if (checksum16(bytes.substr(0, offsetof(LxHeaderV3, totalChecksum)) + *content) != h.totalChecksum) {
        why = "the total checksum does not match";
        return std::nullopt;
    }
    image.v3 = h;
    image.content = std::move(*content);
    return image;
}

}  // namespace

uint16_t checksum16(const std::string& bytes) { return static_cast<uint16_t>(crcOf(bytes) & 0xFFFF); }

std::optional<BootImage> parseBootImage(const std::string& bytes, std::string& why) {
    const int version = bytes.empty() ? 0 : static_cast<uint8_t>(bytes[0]);
    const std::size_t headerBytes = version == 2 ? sizeof(LxHeaderV2) : sizeof(LxHeaderV3);
    if (version != 2 && version != 3) {
        why = "not a boot-data image (header version is not 2 or 3)";
        return std::nullopt;
    }
    if (bytes.size() < headerBytes) {
        why = "shorter than its header";
        return std::nullopt;
    }
    return version == 2 ? parseV2(bytes, why) : parseV3(bytes, why);
}

int readBootImage(const std::string& path, BootImage& image, std::string& why) {
    // The largest valid image: the content at the farthest offset a 16-bit field can give.
    auto bytes = files::readWholeFile(path, why, 0xFFFF + kMaxBootContentBytes);
    if (!bytes) return LX_STATUS_IO_ERROR;
    auto parsed = parseBootImage(*bytes, why);
    if (!parsed) return LX_STATUS_BAD_FILE;
    image = std::move(*parsed);
    return LX_STATUS_OK;
}

}  // namespace lentra
