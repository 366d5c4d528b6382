// Boot-data images: the boot data as a camera's flash holds it, and as LxFlashProductInfo and the
// from-file header functions read it (layout documented in sdk/docs/boot-data-image.md).
//
// The file starts with the header record exactly as LxHeaderV2 (144 bytes) or LxHeaderV3 (125
// bytes) lays it out, little-endian; its first byte is the header version. The content follows
// at the header's contentOffset (not before the end of the header), and the file ends with it.
//
//   version 3: contentLen is the content's length; the checksums are the low 16 bits of CRC-32
//              (zlib): fixChecksum of header bytes 0..100, contentChecksum of the content,
//              totalChecksum of header bytes 0..122 followed by the content.
//   version 2: the header's bytes from 68 on hold the content's length (4 bytes at 68), the
//              CRC-32 of the content (at 72) and the CRC-32 of header bytes 0..75 (at 76); the
//              rest is zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "LentraSDK.h"

namespace lentra {

constexpr std::size_t kMaxBootContentBytes = std::size_t{1} << 20;

struct BootImage {
    int version = 0;  // 2 or 3: which header below is set
    std::optional<LxHeaderV2> v2;
    std::optional<LxHeaderV3> v3;
    std::string content;
};

// The image in `bytes`, or nothing with one line in `why`.
std::optional<BootImage> parseBootImage(const std::string& bytes, std::string& why);

// Reads and checks the image file at `path`: LX_STATUS_IO_ERROR when it cannot be read,
// LX_STATUS_BAD_FILE when it is not a valid image, with `why`.
int readBootImage(const std::string& path, BootImage& image, std::string& why);

// The 16-bit checksum of the version 3 header: the low 16 bits of the CRC-32.
uint16_t checksum16(const std::string& bytes);

}  // namespace lentra
