// Boot-data image files (LxFlashProductInfo, LxGetBootdataHeaderV2/V3FromFile): any bytes give
// an image or one reason, and an accepted image's content is the file's tail its header names.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <zlib.h>

#include "bootdata/boot_image.h"

namespace {

uint32_t crcOf(const std::string& bytes, std::size_t from, std::size_t count) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data() + from), static_cast<uInt>(count)));
}

void put(std::string& bytes, std::size_t at, uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

uint32_t get(const std::string& bytes, std::size_t at, int count) {
    uint32_t v = 0;
    for (int i = 0; i < count; ++i) v |= uint32_t{static_cast<uint8_t>(bytes[at + i])} << (8 * i);
    return v;
}

// The input with the checksums its header fields call for, where the fields fit the input.
std::string withChecksums(std::string bytes) {
    if (bytes.empty()) return bytes;
    const std::size_t size = bytes.size();
    if (bytes[0] == 2 && size >= 144) {
        const std::size_t offset = get(bytes, 1, 2), length = get(bytes, 68, 4);
        if (offset <= size && length == size - offset) put(bytes, 72, crcOf(bytes, offset, length), 4);
        put(bytes, 76, crcOf(bytes, 0, 76), 4);
    } else if (bytes[0] == 3 && size >= 125) {
        const std::size_t offset = get(bytes, 1, 2), length = get(bytes, 117, 4);
        put(bytes, 101, crcOf(bytes, 0, 101) & 0xFFFF, 2);
        if (offset <= size && length == size - offset) {
            put(bytes, 121, crcOf(bytes, offset, length) & 0xFFFF, 2);
            const uLong head = crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), 123);
            const uLong total = crc32(head, reinterpret_cast<const Bytef*>(bytes.data() + offset),
                                      static_cast<uInt>(length));
            put(bytes, 123, static_cast<uint32_t>(total) & 0xFFFF, 2);
        }
    }
    return bytes;
}

void parse(const std::string& bytes) {
    std::string why;
    const auto image = lentra::parseBootImage(bytes, why);
    if (image.has_value() == !why.empty()) std::abort();
    if (!image) return;
    if (image->content.size() > lentra::kMaxBootContentBytes) std::abort();
    std::size_t offset = 0;
    if (image->version == 2) {
        if (!image->v2 || image->v3 || image->v2->headerVersion != 2) std::abort();
        offset = image->v2->contentOffset;
        if (offset < sizeof(LxHeaderV2)) std::abort();
    } else if (image->version == 3) {
        if (!image->v3 || image->v2 || image->v3->headerVersion != 3) std::abort();
        offset = image->v3->contentOffset;
        if (offset < sizeof(LxHeaderV3) || image->v3->contentLen != image->content.size()) std::abort();
    } else {
        std::abort();
    }
    if (offset + image->content.size() != bytes.size()) std::abort();
    if (bytes.compare(offset, std::string::npos, image->content) != 0) std::abort();
}

}  // namespace

// Each input is read as it is, and once more with its checksums made right, so that the
// header's other fields are mutated past the checksum checks.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    parse(bytes);
    parse(withChecksums(bytes));
    return 0;
}
