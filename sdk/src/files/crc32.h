// CRC-32 (the zlib / PNG / IEEE 802.3 one) of a byte range, as the SDK's file formats carry it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lentra::files {

uint32_t crc32Of(const void* data, std::size_t size);

}  // namespace lentra::files
