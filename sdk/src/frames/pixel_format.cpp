#include "frames/pixel_format.h"

#include "lentra/pixel_formats.h"

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

// The planes and size multiples of a format, from the project's table of pixel formats; `layout`
// names the format whose layout is described (MJPG is generated as packed RGB, then compressed).
constexpr PixelFormatInfo describe(LX_IMAGE_FORMAT format, LX_IMAGE_FORMAT layout,
                                   void (*encode)(const Rgb*, int, uint8_t* const[2]),
                                   int (*brightness)(const uint8_t*, int, int, int, int)) {
    const lentra_formats::PixelFormat& f = *lentra_formats::find(layout);
    PixelFormatInfo info{format, f.plane_count, {}, f.width_multiple, f.height_multiple, encode,
                         brightness};
    for (int p = 0; p < 2; ++p) {
        info.planes[p] = PixelPlane{f.planes[p].pixels_per_group, f.planes[p].bytes_per_group,
                                    f.planes[p].row_divisor};
    }
    return info;
}

using F = LX_IMAGE_FORMAT;

const PixelFormatInfo kFormats[] = {
    describe(F::LX_IMAGE_FORMAT_YUY2, F::LX_IMAGE_FORMAT_YUY2, encodeYuy2, lumaYuy2),
    describe(F::LX_IMAGE_FORMAT_UYVY, F::LX_IMAGE_FORMAT_UYVY, encodeUyvy, lumaUyvy),
    describe(F::LX_IMAGE_FORMAT_NV12, F::LX_IMAGE_FORMAT_NV12, encodeNv12, lumaNv12),
    describe(F::LX_IMAGE_FORMAT_BGRA, F::LX_IMAGE_FORMAT_BGRA, encodeRgbFamily<2, 1, 0, 3, 4>,
             meanRgbFamily<4>),
    describe(F::LX_IMAGE_FORMAT_BGRX, F::LX_IMAGE_FORMAT_BGRX, encodeRgbFamily<2, 1, 0, 3, 4>,
             meanRgbFamily<4>),
    describe(F::LX_IMAGE_FORMAT_BGR, F::LX_IMAGE_FORMAT_BGR, encodeRgbFamily<2, 1, 0, -1, 3>,
             meanRgbFamily<3>),
    describe(F::LX_IMAGE_FORMAT_RGB, F::LX_IMAGE_FORMAT_RGB, encodeRgbFamily<0, 1, 2, -1, 3>,
             meanRgbFamily<3>),
    describe(F::LX_IMAGE_FORMAT_RGB16, F::LX_IMAGE_FORMAT_RGB16, encodeRgb565, meanRgb565),
    describe(F::LX_IMAGE_FORMAT_MJPG, F::LX_IMAGE_FORMAT_RGB, encodeRgbFamily<0, 1, 2, -1, 3>,
             nullptr),
};

}  // namespace

const PixelFormatInfo* pixelFormatInfo(LX_IMAGE_FORMAT format) {
    for (const PixelFormatInfo& info : kFormats)
        if (info.format == format) return &info;
    return nullptr;
}

namespace {
constexpr lentra_formats::Plane shared(const PixelPlane& p) {
    return {p.pixelsPerGroup, p.bytesPerGroup, p.rowDivisor};
}
}  // namespace

size_t planeRowBytes(const PixelPlane& plane, int width) {
    return size_t(lentra_formats::plane_row_bytes(shared(plane), uint64_t(width)));
}

size_t planeRows(const PixelPlane& plane, int height) {
    return size_t(lentra_formats::plane_rows(shared(plane), uint64_t(height)));
}

size_t rawFrameBytes(const PixelFormatInfo& info, int width, int height) {
    size_t total = 0;
    for (int p = 0; p < info.planeCount; ++p)
        total += planeRowBytes(info.planes[p], width) * planeRows(info.planes[p], height);
    return total;
}

}  // namespace lentra
