// The facts of each pixel format, written once for every C++ part of the project: the SDK's frame
// generator, the binding's capture buffer, the stream module's array shapes and the conversions
// all read this table.
//
// A format is one or two planes whose rows hold groups of pixels (a 4:2:2 pair of YUY2 is one
// group of 4 bytes, a BGRA pixel one of 4 bytes, NV12's chroma plane holds a 2 x 2 block's U and
// V in 2 bytes on every second row). MJPG frames are JPEG files of varying size.
#pragma once

#include <cstddef>
#include <cstdint>

#include "LentraSDK.h"

namespace lentra_formats {

struct Plane {
    int pixels_per_group;  // pixels that share one group of bytes (2 for 4:2:2 pairs)
    int bytes_per_group;
    int row_divisor;  // frame rows per plane row: 1, or 2 for NV12's chroma plane
};

struct PixelFormat {
    LX_IMAGE_FORMAT format;
    const char* name;  // "YUY2": the name without the enumeration's prefix
    bool compressed;   // MJPG: a JPEG file, whose size varies
    int plane_count;   // 0 for MJPG
    Plane planes[2];
    int width_multiple;   // the width of a frame is a multiple of this
    int height_multiple;  // and the height of this
    // The array a stream frame is shaped as: H x W x channels of 1- or 2-byte elements
    // (channels 1: H x W). NV12 is (H * 3 / 2) x W; MJPG flat.
    int channels;
    int bytes_per_channel;
    // The bytes per pixel of the buffer LxGetImage hands the SDK: 4 for the 32-bit formats,
    // 3 for every other (enough for any packed, planar or compressed frame).
    int capture_bytes_per_pixel;
};

constexpr Plane kNoPlane{1, 0, 1};

inline constexpr PixelFormat kPixelFormats[] = {
    {LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_YUY2, "YUY2", false, 1, {{2, 4, 1}, kNoPlane}, 2, 1, 2, 1, 3},
    {LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_UYVY, "UYVY", false, 1, {{2, 4, 1}, kNoPlane}, 2, 1, 2, 1, 3},
    {LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_NV12, "NV12", false, 2, {{1, 1, 1}, {2, 2, 2}}, 2, 2, 1, 1, 3},
    {LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_BGRA, "BGRA", false, 1, {{1, 4, 1}, kNoPlane}, 1, 1, 4, 1, 4},
    {LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_BGRX, "BGRX", false, 1, {{1, 4, 1}, kNoPlane}, 1, 1, 4, 1, 4},
    {LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_BGR, "BGR", false, 1, {{1, 3, 1}, kNoPlane}, 1, 1, 3, 1, 3},
    {LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_RGB, "RGB", false, 1, {{1, 3, 1}, kNoPlane}, 1, 1, 3, 1, 3},
    {LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_RGB16, "RGB16", false, 1, {{1, 2, 1}, kNoPlane}, 1, 1, 1, 2, 3},
    {LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_MJPG, "MJPG", true, 0, {kNoPlane, kNoPlane}, 1, 1, 1, 1, 3},
};

// The format's facts, or null for LX_IMAGE_FORMAT_NONE and values the enumeration does not name.
constexpr const PixelFormat* find(LX_IMAGE_FORMAT format) {
    for (const PixelFormat& f : kPixelFormats) {
        if (f.format == format) return &f;
    }
    return nullptr;
}

// One row of a plane, its rows, and a whole raw frame (planes follow each other with no
// padding; a width or height that is not a multiple rounds the last group or row up). 0 for MJPG.
constexpr std::uint64_t plane_row_bytes(const Plane& plane, std::uint64_t width) {
    return (width + plane.pixels_per_group - 1) / plane.pixels_per_group * plane.bytes_per_group;
}
constexpr std::uint64_t plane_rows(const Plane& plane, std::uint64_t height) {
    return (height + plane.row_divisor - 1) / plane.row_divisor;
}
constexpr std::uint64_t frame_bytes(const PixelFormat& f, std::uint64_t width, std::uint64_t height) {
    std::uint64_t total = 0;
    for (int p = 0; p < f.plane_count; ++p) {
        total += plane_row_bytes(f.planes[p], width) * plane_rows(f.planes[p], height);
    }
    return total;
}

// Whether a frame of this size has the layout above: a width and height of the format's
// multiples, neither of them 0.
constexpr bool fits(const PixelFormat& f, std::uint64_t width, std::uint64_t height) {
    return width > 0 && height > 0 && width % f.width_multiple == 0 && height % f.height_multiple == 0;
}

}  // namespace lentra_formats
