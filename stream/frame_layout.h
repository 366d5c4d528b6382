// How the frames of a capture format lie in memory: the array shape and element type Python gets,
// the bytes a frame takes, and the buffer the SDK is given.
//
//   BGRA, BGRX              H x W x 4 uint8       BGR, RGB     H x W x 3 uint8
//   YUY2, UYVY              H x W x 2 uint8       RGB16        H x W uint16 (RGB565, little-endian)
//   NV12                    (H*3/2) x W uint8: the luma plane, then the interleaved chroma rows
//   MJPG                    flat uint8 of the JPEG's own size
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "LentraSDK.h"

namespace lentra_stream {

struct FrameLayout {
    std::vector<std::ptrdiff_t> shape;  // empty: a flat array of the received size
    bool sixteen_bit = false;           // uint16 elements (RGB16) rather than uint8
    std::size_t frame_bytes = 0;        // the exact size of every frame; 0 when it varies
    std::size_t buffer_bytes = 0;       // the capacity handed to the SDK
    bool compressed = false;            // MJPG: frames are much smaller than the buffer
};

// The layout of `format`'s frames. Throws std::invalid_argument (ValueError in Python) for a
// format that carries no frames or whose frames do not fit the SDK's int byte count.
FrameLayout layout_for(const LxFormat& format);

// "1920x1080 YUY2", for messages.
std::string describe(const LxFormat& format);
// "1920x1080:YUY2@30" (without "@..." for a record of no rate), as pylentrasdk.formats writes a
// format, for reprs.
std::string format_text(const LxFormat& format);

}  // namespace lentra_stream
