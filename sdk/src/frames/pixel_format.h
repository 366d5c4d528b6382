// How each pixel format lays out its bytes: a table with one entry per format that says how
// many planes it has, how pixels map to bytes in each, how a row of RGB pixels is encoded and
// how the brightness of one pixel is read back.
//
// Every format is described as one or two planes whose rows hold groups of pixels (a 4:2:2
// pair in YUY2, one pixel in BGRA, ...). That one description lets the frame generator copy
// prepared rows and draw rectangles in any format with the same few lines of code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "LentraSDK.h"

namespace lentra {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

inline bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// BT.601 limited-range YUV of one RGB pixel, in integer arithmetic (floor of the shifts).
struct Yuv {
    int y, u, v;
};
Yuv rgbToYuv(Rgb p);

// The largest width or height a frame may have (it keeps every byte count well inside size_t
// and the JPEG library's int arguments).
constexpr int kMaxFrameSide = 16384;

struct PixelPlane {
    int pixelsPerGroup;  // pixels that share one group of bytes (2 for 4:2:2 pairs)
    int bytesPerGroup;
    int rowDivisor;      // plane rows per frame row: 1, or 2 for NV12's chroma plane
};

struct PixelFormatInfo {
    LX_IMAGE_FORMAT format;
    int planeCount;
    PixelPlane planes[2];
    int widthMultiple;   // the width must be a multiple of this
    int heightMultiple;  // and the height of this
    // Encodes `count` pixels (a multiple of widthMultiple) into row[0] (and row[1] for a
    // second plane). A chroma row shared by two frame rows (NV12) is encoded as if both rows
    // held these pixels, which is how the pattern uses it.
    void (*encode)(const Rgb* pixels, int count, uint8_t* const row[2]);
    // The brightness (0..255) of pixel (x, y) of a whole frame: luma for YUV formats, the
    // mean of R, G and B for RGB formats. Null for MJPG, which is decoded first.
    int (*brightness)(const uint8_t* frame, int width, int height, int x, int y);
};

// The format's description, or null for LX_IMAGE_FORMAT_NONE and unknown values. MJPG is
// described by its working layout (packed RGB, which the JPEG encoder then compresses).
const PixelFormatInfo* pixelFormatInfo(LX_IMAGE_FORMAT format);

// The length of one row of a plane, its number of rows, and the bytes of a whole raw frame
// (planes follow each other without padding).
size_t planeRowBytes(const PixelPlane& plane, int width);
size_t planeRows(const PixelPlane& plane, int height);
size_t rawFrameBytes(const PixelFormatInfo& info, int width, int height);

}  // namespace lentra
