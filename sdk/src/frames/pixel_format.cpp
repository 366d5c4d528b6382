#include "frames/pixel_format.h"

namespace lentra {

Yuv rgbToYuv(Rgb p) {
    const int r = p.r, g = p.g, b = p.b;
    // The 32768 keeps the sums non-negative, so the shift is a floor on every compiler.
    return Yuv{((66 * r + 129 * g + 25 * b + 128) >> 8) + 16,
               ((-38 * r - 74 * g + 112 * b + 128 + 32768) >> 8),
               ((112 * r - 94 * g - 18 * b + 128 + 32768) >> 8)};
}

namespace {

// Chroma of a 4:2:2 pair is the rounded mean of the two pixels' chroma.
struct PairYuv {
    uint8_t y0, y1, u, v;
};

PairYuv pairYuv(Rgb a, Rgb b) {
    const Yuv p = rgbToYuv(a), q = rgbToYuv(b);
    return PairYuv{static_cast<uint8_t>(p.y), static_cast<uint8_t>(q.y),
                   static_cast<uint8_t>((p.u + q.u + 1) >> 1),
                   static_cast<uint8_t>((p.v + q.v + 1) >> 1)};
}

// Packed 4:2:2: each pixel pair becomes four bytes; the template arguments are the byte
// positions of Y0, U, Y1 and V within them (YUY2 and UYVY differ only there).
template <int Y0, int U, int Y1, int V>
void encodePacked422(const Rgb* px, int count, uint8_t* const row[2]) {
    uint8_t* out = row[0];
    for (int x = 0; x + 1 < count; x += 2, out += 4) {
        const PairYuv p = pairYuv(px[x], px[x + 1]);
        out[Y0] = p.y0;
        out[U] = p.u;
        out[Y1] = p.y1;
        out[V] = p.v;
    }
}

constexpr auto encodeYuy2 = encodePacked422<0, 1, 2, 3>;
constexpr auto encodeUyvy = encodePacked422<1, 0, 3, 2>;

// NV12 chroma is the mean over 2x2 pixels. The generator only ever encodes rows whose two
// source lines are equal (bands and rectangles start and end on even rows), where that mean
// is the mean of the horizontal pair: (2a + 2b + 2) >> 2 == (a + b + 1) >> 1.
void encodeNv12(const Rgb* px, int count, uint8_t* const row[2]) {
    uint8_t* luma = row[0];
    uint8_t* chroma = row[1];
    for (int x = 0; x + 1 < count; x += 2) {
        const PairYuv p = pairYuv(px[x], px[x + 1]);
        luma[x] = p.y0;
        luma[x + 1] = p.y1;
        chroma[x] = p.u;
        chroma[x + 1] = p.v;
    }
}

template <int R, int G, int B, int A, int Size>
void encodeRgbFamily(const Rgb* px, int count, uint8_t* const row[2]) {
    uint8_t* out = row[0];
    for (int x = 0; x < count; ++x, out += Size) {
        out[R] = px[x].r;
        out[G] = px[x].g;
        out[B] = px[x].b;
        if constexpr (A >= 0) out[A] = 255;
    }
}

void encodeRgb565(const Rgb* px, int count, uint8_t* const row[2]) {
    uint8_t* out = row[0];
    for (int x = 0; x < count; ++x, out += 2) {
        const unsigned v = (unsigned(px[x].r >> 3) << 11) | (unsigned(px[x].g >> 2) << 5) |
                           unsigned(px[x].b >> 3);
        out[0] = static_cast<uint8_t>(v & 0xFF);
        out[1] = static_cast<uint8_t>(v >> 8);
    }
}

int lumaYuy2(const uint8_t* f, int w, int, int x, int y) {
    return f[(size_t(y) * w + x) * 2];
}
int lumaUyvy(const uint8_t* f, int w, int, int x, int y) {
    return f[(size_t(y) * w + x) * 2 + 1];
}
int lumaNv12(const uint8_t* f, int w, int, int x, int y) { return f[size_t(y) * w + x]; }

template <int Size>
int meanRgbFamily(const uint8_t* f, int w, int, int x, int y) {
    const uint8_t* p = f + (size_t(y) * w + x) * Size;
    return (p[0] + p[1] + p[2]) / 3;
}

int meanRgb565(const uint8_t* f, int w, int, int x, int y) {
    const uint8_t* p = f + (size_t(y) * w + x) * 2;
    const unsigned v = p[0] | (unsigned(p[1]) << 8);
    const unsigned r = (v >> 11) << 3, g = ((v >> 5) & 0x3F) << 2, b = (v & 0x1F) << 3;
    return int((r + g + b) / 3);
}

constexpr PixelPlane kOnePlane{0, 0, 1};

const PixelFormatInfo kFormats[] = {
    {LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_YUY2, 1, {{2, 4, 1}, kOnePlane}, 2, 1, encodeYuy2, lumaYuy2},
    {LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_UYVY, 1, {{2, 4, 1}, kOnePlane}, 2, 1, encodeUyvy, lumaUyvy},
    {LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_NV12, 2, {{1, 1, 1}, {2, 2, 2}}, 2, 2, encodeNv12, lumaNv12},
    {LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_BGRA, 1, {{1, 4, 1}, kOnePlane}, 1, 1,
     encodeRgbFamily<2, 1, 0, 3, 4>, meanRgbFamily<4>},
    {LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_BGRX, 1, {{1, 4, 1}, kOnePlane}, 1, 1,
     encodeRgbFamily<2, 1, 0, 3, 4>, meanRgbFamily<4>},
    {LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_BGR, 1, {{1, 3, 1}, kOnePlane}, 1, 1,
     encodeRgbFamily<2, 1, 0, -1, 3>, meanRgbFamily<3>},
    {LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_RGB, 1, {{1, 3, 1}, kOnePlane}, 1, 1,
     encodeRgbFamily<0, 1, 2, -1, 3>, meanRgbFamily<3>},
    {LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_RGB16, 1, {{1, 2, 1}, kOnePlane}, 1, 1, encodeRgb565,
     meanRgb565},
    {LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_MJPG, 1, {{1, 3, 1}, kOnePlane}, 1, 1,
     encodeRgbFamily<0, 1, 2, -1, 3>, nullptr},
};

}  // namespace

const PixelFormatInfo* pixelFormatInfo(LX_IMAGE_FORMAT format) {
    for (const PixelFormatInfo& info : kFormats)
        if (info.format == format) return &info;
    return nullptr;
}

size_t planeRowBytes(const PixelPlane& plane, int width) {
    const size_t groups = (size_t(width) + plane.pixelsPerGroup - 1) / plane.pixelsPerGroup;
    return groups * plane.bytesPerGroup;
}

size_t planeRows(const PixelPlane& plane, int height) {
    return (size_t(height) + plane.rowDivisor - 1) / plane.rowDivisor;
}

size_t rawFrameBytes(const PixelFormatInfo& info, int width, int height) {
    size_t total = 0;
    for (int p = 0; p < info.planeCount; ++p)
        total += planeRowBytes(info.planes[p], width) * planeRows(info.planes[p], height);
    return total;
}

}  // namespace lentra
