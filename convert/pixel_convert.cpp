#include "pixel_convert.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstring>

#include "libyuv/convert.h"
#include "libyuv/convert_argb.h"
#include "libyuv/convert_from_argb.h"
#include "libyuv/planar_functions.h"

namespace lentra_convert {
namespace {

using lentra_formats::PixelFormat;
using F = LX_IMAGE_FORMAT;

std::string size_text(int width, int height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

// ---- YUV to RGB -------------------------------------------------------------------------------
// BT.601 limited range, in the integer arithmetic of the frames' documentation: with C = Y - 16,
// D = U - 128, E = V - 128, R = (298 C + 409 E + 128) >> 8, G = (298 C - 100 D - 208 E + 128) >> 8,
// B = (298 C + 516 D + 128) >> 8, each clipped to 0..255. libyuv's kernels round their
// coefficients to 6 bits and miss this by up to two levels, so these are plain loops the compiler
// vectorises, and they give exactly the documented result.
//
// The sums need 18 bits, but splitting 298 = 256 + 42, 409 = 256 + 153, 208 = 256 - 48 and
// 516 = 512 + 4 takes the multiples of 256 out of the shift exactly:
//   R = C + E + ((42 C + 153 E + 128) >> 8)
//   G = C - E + ((42 C - 100 D + 48 E + 128) >> 8)
//   B = C + 2 D + ((42 C + 4 D + 128) >> 8)
// and every term stays within 16 bits (|42 C + 153 E + 128| < 29600), so the loops run on 16-bit
// lanes, twice as many per instruction. Rows are converted in chunks: the chroma terms spread to
// each pixel, then the arithmetic on contiguous arrays, then the RGB interleave.

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__)
// One copy for AVX2 and one for any x86-64, chosen when the library loads. The row kernels are
// forced inline, so that each copy gets them compiled for its own instructions. (Not under
// AddressSanitizer: the choice runs while the library is relocated, before the sanitizer is set
// up.)
#define LENTRA_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#define LENTRA_KERNEL __attribute__((always_inline)) inline
#else
#define LENTRA_VECTOR_CLONES
#define LENTRA_KERNEL inline
#endif

inline std::uint8_t clip(int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }
inline std::uint8_t clip16(std::int16_t v) {
    return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

constexpr int kChunk = 256;  // pixel pairs per chunk

// Interleaves planes of red, green and blue into pixels of three bytes (R and B are the byte
// positions of red and blue).
template <int R, int B>
LENTRA_KERNEL void store_rgb(const std::uint8_t* red, const std::uint8_t* green,
                             const std::uint8_t* blue, int n, std::uint8_t* out) {
    for (int i = 0; i < n; ++i) {
        out[3 * i + R] = red[i];
        out[3 * i + 1] = green[i];
        out[3 * i + B] = blue[i];
    }
}

// Where a row's bytes lie: luma of pixel i at y[i * YStep], chroma of pair k at u[k * CStep]
// and v[k * CStep].
template <int YStep, int CStep, int R, int B>
LENTRA_KERNEL void yuv_row(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v, int pairs,
                    std::uint8_t* out) {
    alignas(64) std::int16_t c[2 * kChunk], kr[2 * kChunk], kg[2 * kChunk], kb[2 * kChunk];
    alignas(64) std::int16_t er[2 * kChunk], eg[2 * kChunk], eb[2 * kChunk];
    alignas(64) std::uint8_t red[2 * kChunk], green[2 * kChunk], blue[2 * kChunk];
    for (int k0 = 0; k0 < pairs; k0 += kChunk) {
        const int n = std::min(kChunk, pairs - k0);
        const std::uint8_t* yy = y + std::size_t(2 * k0) * YStep;
        const std::uint8_t* uu = u + std::size_t(k0) * CStep;
        const std::uint8_t* vv = v + std::size_t(k0) * CStep;
        for (int k = 0; k < n; ++k) {
            const auto d = static_cast<std::int16_t>(uu[k * CStep] - 128);
            const auto e = static_cast<std::int16_t>(vv[k * CStep] - 128);
            c[2 * k] = static_cast<std::int16_t>(yy[2 * k * YStep] - 16);
            c[2 * k + 1] = static_cast<std::int16_t>(yy[(2 * k + 1) * YStep] - 16);
            kr[2 * k] = kr[2 * k + 1] = static_cast<std::int16_t>(153 * e + 128);
            kg[2 * k] = kg[2 * k + 1] = static_cast<std::int16_t>(-100 * d + 48 * e + 128);
            kb[2 * k] = kb[2 * k + 1] = static_cast<std::int16_t>(4 * d + 128);
            er[2 * k] = er[2 * k + 1] = e;
            eg[2 * k] = eg[2 * k + 1] = static_cast<std::int16_t>(-e);
            eb[2 * k] = eb[2 * k + 1] = static_cast<std::int16_t>(2 * d);
        }
        // Every sum is cast back to 16 bits (where it fits), so the compiler keeps 16-bit lanes.
        const auto s16 = [](int v) { return static_cast<std::int16_t>(v); };
        for (int i = 0; i < 2 * n; ++i) {
            const std::int16_t cc = c[i];
            const std::int16_t t = s16(42 * cc);
            red[i] = clip16(s16(cc + er[i] + s16(s16(t + kr[i]) >> 8)));
            green[i] = clip16(s16(cc + eg[i] + s16(s16(t + kg[i]) >> 8)));
            blue[i] = clip16(s16(cc + eb[i] + s16(s16(t + kb[i]) >> 8)));
        }
        store_rgb<R, B>(red, green, blue, 2 * n, out + std::size_t(6) * k0);
    }
}

// Packed 4:2:2, YUY2 (Y0 U Y1 V) or UYVY (U Y0 V Y1), to RGB or BGR.
LENTRA_VECTOR_CLONES
void packed422_to_rgb(const std::uint8_t* src, int width, int height, bool yuy2, bool rgb,
                      std::uint8_t* out) {
    const std::size_t row = std::size_t(width) * 2;
    const int y_at = yuy2 ? 0 : 1, u_at = yuy2 ? 1 : 0, v_at = yuy2 ? 3 : 2;
    for (int j = 0; j < height; ++j) {
        const std::uint8_t* s = src + j * row;
        std::uint8_t* o = out + j * std::size_t(width) * 3;
        if (rgb) {
            yuv_row<2, 4, 0, 2>(s + y_at, s + u_at, s + v_at, width / 2, o);
        } else {
            yuv_row<2, 4, 2, 0>(s + y_at, s + u_at, s + v_at, width / 2, o);
        }
    }
}

// NV12: the luma plane, then rows of interleaved U and V, one per two frame rows.
LENTRA_VECTOR_CLONES
void nv12_to_rgb(const std::uint8_t* src, int width, int height, bool rgb, std::uint8_t* out) {
    const std::uint8_t* chroma = src + std::size_t(width) * height;
    for (int j = 0; j < height; ++j) {
        const std::uint8_t* uv = chroma + std::size_t(j / 2) * width;
        const std::uint8_t* y = src + std::size_t(j) * width;
        std::uint8_t* o = out + std::size_t(j) * width * 3;
        if (rgb) {
            yuv_row<1, 2, 0, 2>(y, uv, uv + 1, width / 2, o);
        } else {
            yuv_row<1, 2, 2, 0>(y, uv, uv + 1, width / 2, o);
        }
    }
}

// ---- RGB formats ------------------------------------------------------------------------------

// BT.601 limited-range luma, as the SDK's encoder computes Y from RGB (libyuv's ARGBToI400 is the
// same formula).
inline std::uint8_t luma(int r, int g, int b) {
    return static_cast<std::uint8_t>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
}

template <int Size, int R, int G, int B>
void rgb_to_gray(const std::uint8_t* src, std::size_t pixels, std::uint8_t* out) {
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::uint8_t* p = src + i * Size;
        out[i] = luma(p[R], p[G], p[B]);
    }
}

// RGB565, low byte first: each channel shifted up (R = R5 << 3, G = G6 << 2, B = B5 << 3).
// libyuv's RGB565ToARGB fills the low bits by replication, which is a different picture.
template <int R, int B>
LENTRA_KERNEL void rgb565_pixels(const std::uint8_t* src, std::size_t pixels, std::uint8_t* out) {
    alignas(64) std::uint8_t red[2 * kChunk], green[2 * kChunk], blue[2 * kChunk];
    for (std::size_t i0 = 0; i0 < pixels; i0 += 2 * kChunk) {
        const int n = static_cast<int>(std::min<std::size_t>(2 * kChunk, pixels - i0));
        const std::uint8_t* s = src + 2 * i0;
        for (int i = 0; i < n; ++i) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
            std::uint16_t w;  // one load of the word, which the compiler vectorises
            std::memcpy(&w, s + 2 * i, 2);
#else
            const auto w = static_cast<std::uint16_t>(s[2 * i] | (s[2 * i + 1] << 8));
#endif
            red[i] = static_cast<std::uint8_t>((w >> 11) << 3);
            green[i] = static_cast<std::uint8_t>(((w >> 5) & 0x3F) << 2);
            blue[i] = static_cast<std::uint8_t>((w & 0x1F) << 3);
        }
        store_rgb<R, B>(red, green, blue, n, out + 3 * i0);
    }
}

LENTRA_VECTOR_CLONES
void rgb565_to_rgb(const std::uint8_t* src, std::size_t pixels, bool rgb, std::uint8_t* out) {
    if (rgb) {
        rgb565_pixels<0, 2>(src, pixels, out);
    } else {
        rgb565_pixels<2, 0>(src, pixels, out);
    }
}

LENTRA_VECTOR_CLONES
void rgb565_to_gray(const std::uint8_t* src, std::size_t pixels, std::uint8_t* out) {
    for (std::size_t i = 0; i < pixels; ++i) {
        const unsigned w = src[2 * i] | (unsigned(src[2 * i + 1]) << 8);
        out[i] = luma(int((w >> 11) << 3), int(((w >> 5) & 0x3F) << 2), int((w & 0x1F) << 3));
    }
}

// ---- libjpeg-turbo ----------------------------------------------------------------------------

// One compressor and one decompressor per thread: conversions run without the interpreter lock,
// so several threads may be in here at once, and a handle is not to be shared between them.
// After a failure a handle is made afresh: libjpeg-turbo can leave it in a state in which the
// next, good JPEG fails too.
class TjHandle {
  public:
    explicit TjHandle(bool compress) : compress_(compress) {}
    ~TjHandle() { drop(); }
    TjHandle(const TjHandle&) = delete;
    TjHandle& operator=(const TjHandle&) = delete;

    tjhandle get() {
        if (!handle_) handle_ = compress_ ? tjInitCompress() : tjInitDecompress();
        if (!handle_) throw std::runtime_error("libjpeg-turbo could not make a codec");
        return handle_;
    }
    // The handle's error message; the handle is dropped, to be made again on next use.
    std::string failure() {
        std::string message = tjGetErrorStr2(handle_);
        drop();
        return message;
    }

  private:
    void drop() {
        if (handle_) tjDestroy(handle_);
        handle_ = nullptr;
    }
    bool compress_;
    tjhandle handle_ = nullptr;
};

TjHandle& decompressor() {
    thread_local TjHandle h(false);
    return h;
}

TjHandle& compressor() {
    thread_local TjHandle h(true);
    return h;
}

// The JPEG's picture size, checked against the format's; FrameError for data that is no JPEG.
void check_jpeg(const std::uint8_t* data, std::size_t size, int width, int height) {
    if (size == 0 || size > static_cast<std::size_t>(INT32_MAX)) {
        throw FrameError("the MJPG frame is no readable JPEG (" + std::to_string(size) + " bytes)");
    }
    TjHandle& h = decompressor();
    int w = 0, hh = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(h.get(), data, static_cast<unsigned long>(size), &w, &hh, &subsampling,
                            &colorspace) != 0) {
        throw FrameError("the MJPG frame is no readable JPEG (" + h.failure() + ")");
    }
    // A header cut short can read as a success with no picture size.
    if (w <= 0 || hh <= 0) throw FrameError("the MJPG frame is no readable JPEG (no picture size)");
    if (w != width || hh != height) {
        throw FrameError("the MJPG frame holds a " + size_text(w, hh) + " picture, the format is " +
                         size_text(width, height));
    }
}

// Decodes into `out`; a warning (such as a truncated file) is an error too, so a frame that
// lost its end is refused rather than shown half grey.
void decode_jpeg(const std::uint8_t* data, std::size_t size, int width, int height, int pixel_format,
                 std::uint8_t* out) {
    check_jpeg(data, size, width, height);
    TjHandle& h = decompressor();
    const int pitch = width * tjPixelSize[pixel_format];
    if (tjDecompress2(h.get(), data, static_cast<unsigned long>(size), out, width, pitch, height,
                      pixel_format, TJFLAG_STOPONWARNING) != 0) {
        throw FrameError("the MJPG frame is no readable JPEG (" + h.failure() + ")");
    }
}

// Full-range (JPEG) values of limited-range luma and chroma: Y' = 255 (Y - 16) / 219 and
// C' = 128 + 255 (C - 128) / 224, rounded and clipped.
struct RangeTables {
    std::uint8_t luma[256];
    std::uint8_t chroma[256];
    RangeTables() {
        for (int i = 0; i < 256; ++i) {
            luma[i] = clip((298 * (i - 16) + 128 + (256 << 8)) / 256 - 256);
            chroma[i] = clip((291 * (i - 128) + 128 + (256 << 8)) / 256 - 256 + 128);
        }
    }
};

void expand_range(std::uint8_t* plane, std::size_t count, const std::uint8_t* table) {
    for (std::size_t i = 0; i < count; ++i) plane[i] = table[plane[i]];
}

struct TjBuffer {
    unsigned char* data = nullptr;
    ~TjBuffer() { tjFree(data); }
};

std::vector<std::uint8_t> compress_planes(std::vector<std::uint8_t>& planes, int width, int height,
                                          int sub_rows, int quality) {
    // sub_rows: chroma rows per frame row's worth (1 for 4:2:2, 2 for 4:2:0).
    static const RangeTables tables;
    const std::size_t luma = std::size_t(width) * height;
    const std::size_t chroma = std::size_t(width / 2) * (height / sub_rows);
    expand_range(planes.data(), luma, tables.luma);
    expand_range(planes.data() + luma, 2 * chroma, tables.chroma);
    const unsigned char* plane_ptrs[3] = {planes.data(), planes.data() + luma, planes.data() + luma + chroma};
    const int strides[3] = {width, width / 2, width / 2};
    TjBuffer jpeg;
    unsigned long jpeg_size = 0;
    TjHandle& h = compressor();
    if (tjCompressFromYUVPlanes(h.get(), plane_ptrs, width, strides, height,
                                sub_rows == 1 ? TJSAMP_422 : TJSAMP_420, &jpeg.data, &jpeg_size,
                                quality, 0) != 0) {
        throw std::runtime_error("JPEG compression failed: " + h.failure());
    }
    return std::vector<std::uint8_t>(jpeg.data, jpeg.data + jpeg_size);
}

std::vector<std::uint8_t> compress_rgb(const std::uint8_t* pixels, int width, int height,
                                       int pixel_format, int quality) {
    TjBuffer jpeg;
    unsigned long jpeg_size = 0;
    TjHandle& h = compressor();
    if (tjCompress2(h.get(), pixels, width, width * tjPixelSize[pixel_format], height, pixel_format,
                    &jpeg.data, &jpeg_size, TJSAMP_420, quality, 0) != 0) {
        throw std::runtime_error("JPEG compression failed: " + h.failure());
    }
    return std::vector<std::uint8_t>(jpeg.data, jpeg.data + jpeg_size);
}

}  // namespace

const PixelFormat& checked_format(int format, int width, int height) {
    const PixelFormat* f = lentra_formats::find(static_cast<LX_IMAGE_FORMAT>(format));
    if (!f) {
        throw FrameError(format == 0 ? std::string("LX_IMAGE_FORMAT_NONE frames carry no picture")
                                     : "format " + std::to_string(format) + " carries no picture");
    }
    if (width <= 0 || height <= 0) {
        throw FrameError("a frame of " + size_text(width, height) + " pixels holds no picture");
    }
    if (width > kMaxSide || height > kMaxSide) {
        throw FrameError("a frame of " + size_text(width, height) + " pixels is larger than " +
                         std::to_string(kMaxSide) + " on a side");
    }
    // Chroma is shared by pixel pairs (4:2:2) or 2 x 2 blocks (NV12).
    if (width % f->width_multiple) {
        throw FrameError(std::string(f->name) + " frames have an even width, not " + std::to_string(width));
    }
    if (height % f->height_multiple) {
        throw FrameError(std::string(f->name) + " frames have an even height, not " + std::to_string(height));
    }
    return *f;
}

void check_frame(const PixelFormat& f, std::size_t size, int width, int height) {
    if (f.compressed) return;
    const std::uint64_t expected = lentra_formats::frame_bytes(f, std::uint64_t(width), std::uint64_t(height));
    if (size != expected) {
        throw FrameError("a " + std::string(f.name) + " frame of " + size_text(width, height) +
                         " pixels is " + std::to_string(expected) + " bytes, this one is " +
                         std::to_string(size));
    }
}

void convert(const PixelFormat& f, const std::uint8_t* frame, std::size_t size, int width,
             int height, Target target, std::uint8_t* out) {
    check_frame(f, size, width, height);
    const std::size_t pixels = std::size_t(width) * height;
    const int w = width, h = height;
    const bool rgb = target == Target::rgb;
    switch (f.format) {
        case F::LX_IMAGE_FORMAT_YUY2:
        case F::LX_IMAGE_FORMAT_UYVY: {
            const bool yuy2 = f.format == F::LX_IMAGE_FORMAT_YUY2;
            if (target == Target::gray) {
                (yuy2 ? libyuv::YUY2ToY : libyuv::UYVYToY)(frame, 2 * w, out, w, w, h);
            } else {
                packed422_to_rgb(frame, w, h, yuy2, rgb, out);
            }
            return;
        }
        case F::LX_IMAGE_FORMAT_NV12:
            if (target == Target::gray) {
                std::memcpy(out, frame, pixels);
            } else {
                nv12_to_rgb(frame, w, h, rgb, out);
            }
            return;
        case F::LX_IMAGE_FORMAT_BGRA:
        case F::LX_IMAGE_FORMAT_BGRX:
            // libyuv's ARGB is B, G, R, A in memory; its RAW is R, G, B and its RGB24 B, G, R.
            if (target == Target::gray) {
                libyuv::ARGBToI400(frame, 4 * w, out, w, w, h);
            } else {
                (rgb ? libyuv::ARGBToRAW : libyuv::ARGBToRGB24)(frame, 4 * w, out, 3 * w, w, h);
            }
            return;
        case F::LX_IMAGE_FORMAT_BGR:
        case F::LX_IMAGE_FORMAT_RGB: {
            const bool same = (f.format == F::LX_IMAGE_FORMAT_RGB) == rgb;
            if (target == Target::gray) {
                if (f.format == F::LX_IMAGE_FORMAT_RGB) {
                    rgb_to_gray<3, 0, 1, 2>(frame, pixels, out);
                } else {
                    rgb_to_gray<3, 2, 1, 0>(frame, pixels, out);
                }
            } else if (same) {
                std::memcpy(out, frame, pixels * 3);
            } else {
                libyuv::RAWToRGB24(frame, 3 * w, out, 3 * w, w, h);  // swaps the first and third byte
            }
            return;
        }
        case F::LX_IMAGE_FORMAT_RGB16:
            if (target == Target::gray) {
                rgb565_to_gray(frame, pixels, out);
            } else {
                rgb565_to_rgb(frame, pixels, rgb, out);
            }
            return;
        case F::LX_IMAGE_FORMAT_MJPG:
            if (target == Target::gray) {
                std::vector<std::uint8_t> decoded(pixels * 3);
                decode_jpeg(frame, size, w, h, TJPF_RGB, decoded.data());
                rgb_to_gray<3, 0, 1, 2>(decoded.data(), pixels, out);
            } else {
                decode_jpeg(frame, size, w, h, rgb ? TJPF_RGB : TJPF_BGR, out);
            }
            return;
        default:
            throw FrameError(std::string(f.name) + " frames carry no picture");
    }
}

std::vector<std::uint8_t> to_jpeg(const PixelFormat& f, const std::uint8_t* frame, std::size_t size,
                                  int width, int height, int quality) {
    if (quality < 1 || quality > 100) {
        throw FrameError("the JPEG quality is 1 to 100, not " + std::to_string(quality));
    }
    check_frame(f, size, width, height);
    const int w = width, h = height;
    const std::size_t pixels = std::size_t(w) * h;
    switch (f.format) {
        case F::LX_IMAGE_FORMAT_MJPG:
            check_jpeg(frame, size, w, h);
            return std::vector<std::uint8_t>(frame, frame + size);
        case F::LX_IMAGE_FORMAT_YUY2:
        case F::LX_IMAGE_FORMAT_UYVY: {
            std::vector<std::uint8_t> planes(2 * pixels);
            std::uint8_t* y = planes.data();
            std::uint8_t* u = y + pixels;
            std::uint8_t* v = u + pixels / 2;
            (f.format == F::LX_IMAGE_FORMAT_YUY2 ? libyuv::YUY2ToI422 : libyuv::UYVYToI422)(
                frame, 2 * w, y, w, u, w / 2, v, w / 2, w, h);
            return compress_planes(planes, w, h, 1, quality);
        }
        case F::LX_IMAGE_FORMAT_NV12: {
            std::vector<std::uint8_t> planes(pixels + pixels / 2);
            std::uint8_t* y = planes.data();
            std::uint8_t* u = y + pixels;
            std::uint8_t* v = u + pixels / 4;
            libyuv::NV12ToI420(frame, w, frame + pixels, w, y, w, u, w / 2, v, w / 2, w, h);
            return compress_planes(planes, w, h, 2, quality);
        }
        case F::LX_IMAGE_FORMAT_BGRA:
            return compress_rgb(frame, w, h, TJPF_BGRA, quality);
        case F::LX_IMAGE_FORMAT_BGRX:
            return compress_rgb(frame, w, h, TJPF_BGRX, quality);
        case F::LX_IMAGE_FORMAT_BGR:
            return compress_rgb(frame, w, h, TJPF_BGR, quality);
        case F::LX_IMAGE_FORMAT_RGB:
            return compress_rgb(frame, w, h, TJPF_RGB, quality);
        case F::LX_IMAGE_FORMAT_RGB16: {
            std::vector<std::uint8_t> rgb(pixels * 3);
            rgb565_to_rgb(frame, pixels, true, rgb.data());
            return compress_rgb(rgb.data(), w, h, TJPF_RGB, quality);
        }
        default:
            throw FrameError(std::string(f.name) + " frames carry no picture");
    }
}

}  // namespace lentra_convert
