#include "files/crc32.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace lentra::files {

uint32_t crc32Of(const void* data, std::size_t size) {
    uLong crc = ::crc32(0L, Z_NULL, 0);
    const auto* bytes = static_cast<const Bytef*>(data);
    // zlib takes lengths as uInt: feed larger ranges in pieces.
    while (size > 0) {
        const std::size_t piece = std::min<std::size_t>(size, UINT_MAX);
        crc = ::crc32(crc, bytes, static_cast<uInt>(piece));
        bytes += piece;
        size -= piece;
    }
    return static_cast<uint32_t>(crc);
}

}  // namespace lentra::files
