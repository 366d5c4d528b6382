#include "pixel_convert.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstring>

#include "libyuv/convert.h"
#include "libyuv/convert_argb.h"
#include "libyuv/convert_from_argb.h"
#include "libyuv/planar_functions.h"
#include "kernels.h"
#include "row_threads.h"

namespace lentra_convert {
namespace {

using lentra_formats::PixelFormat;
using F = LX_IMAGE_FORMAT;
using kernels::Order;

inline std::uint8_t clip(int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

std::string size_text(int width, int height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

// ---- Rows over threads --------------------------------------------------------------------------

// Left to choose, a conversion takes a thread per core but gives each at least this many pixels:
// waking a worker costs some tens of microseconds, which a smaller part would not win back.
constexpr std::size_t kMinPixelsPerPart = std::size_t(1) << 17;

// Each thread's share is cut into this many runs of rows, taken in turn by whichever thread is
// free: a worker that starts late, or loses its core a while, leaves its runs to the others.
constexpr int kRunsPerThread = 4;

// The threads a conversion uses (at most one per row).
int threads_for(int threads, int height, int width) {
    if (threads <= 0) {
        const std::size_t pixels = std::size_t(width) * std::size_t(height);
        threads = static_cast<int>(std::min<std::size_t>(std::size_t(usable_cores()),
                                                         std::max<std::size_t>(1, pixels / kMinPixelsPerPart)));
    }
    return std::max(1, std::min(threads, height));
}

// rows(first, last) for runs of rows that together cover 0 .. height, on `threads` threads.
template <class Rows>
void for_rows(int height, int threads, const Rows& rows) {
    if (threads <= 1) {
        rows(0, height);
        return;
    }
    const int runs = static_cast<int>(std::min<std::int64_t>(height, std::int64_t(threads) * kRunsPerThread));
    run_parts(runs, threads, [&](int run) {
        const auto bound = [&](int r) { return static_cast<int>(std::int64_t(height) * r / runs); };
        rows(bound(run), bound(run + 1));
    });
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
             int height, Target target, std::uint8_t* out, int threads) {
    check_frame(f, size, width, height);
    const std::size_t w = std::size_t(width);
    const int iw = width;
    const Order order = target == Target::bgr ? Order::bgr : Order::rgb;
    const bool gray = target == Target::gray;
    const std::size_t out_pixel = gray ? 1 : 3;
    const int used = threads_for(threads, height, width);
    // Each run converts rows first .. last - 1: the frame's bytes from `in_pixel * w * first`,
    // the picture's from `out_pixel * w * first`.
    const auto rows = [&](std::size_t in_pixel, auto&& convert_rows) {
        for_rows(height, used, [&](int first, int last) {
            convert_rows(frame + in_pixel * w * std::size_t(first), out + out_pixel * w * std::size_t(first),
                         std::size_t(last - first), last - first);
        });
    };
    switch (f.format) {
        case F::LX_IMAGE_FORMAT_YUY2:
        case F::LX_IMAGE_FORMAT_UYVY: {
            const bool yuy2 = f.format == F::LX_IMAGE_FORMAT_YUY2;
            rows(2, [&](const std::uint8_t* in, std::uint8_t* o, std::size_t n, int h) {
                if (gray) {
                    (yuy2 ? libyuv::YUY2ToY : libyuv::UYVYToY)(in, 2 * iw, o, iw, iw, h);
                } else {
                    (yuy2 ? kernels::yuy2_to_rgb : kernels::uyvy_to_rgb)(in, n * w, order, o);
                }
            });
            return;
        }
        case F::LX_IMAGE_FORMAT_NV12: {
            // Luma rows, then one row of (U, V) pairs for every two.
            const std::uint8_t* chroma = frame + w * std::size_t(height);
            for_rows(height, used, [&](int first, int last) {
                if (gray) {
                    std::memcpy(out + w * std::size_t(first), frame + w * std::size_t(first),
                                w * std::size_t(last - first));
                    return;
                }
                for (int j = first; j < last; ++j) {
                    kernels::nv12_row_to_rgb(frame + w * std::size_t(j), chroma + w * std::size_t(j / 2), w,
                                             order, out + 3 * w * std::size_t(j));
                }
            });
            return;
        }
        case F::LX_IMAGE_FORMAT_BGRA:
        case F::LX_IMAGE_FORMAT_BGRX:
            // libyuv's ARGB is B, G, R, A in memory; its RAW is R, G, B and its RGB24 B, G, R.
            rows(4, [&](const std::uint8_t* in, std::uint8_t* o, std::size_t, int h) {
                if (gray) {
                    libyuv::ARGBToI400(in, 4 * iw, o, iw, iw, h);
                } else {
                    (order == Order::rgb ? libyuv::ARGBToRAW : libyuv::ARGBToRGB24)(in, 4 * iw, o, 3 * iw, iw, h);
                }
            });
            return;
        case F::LX_IMAGE_FORMAT_BGR:
        case F::LX_IMAGE_FORMAT_RGB: {
            const Order frame_order = f.format == F::LX_IMAGE_FORMAT_RGB ? Order::rgb : Order::bgr;
            rows(3, [&](const std::uint8_t* in, std::uint8_t* o, std::size_t n, int h) {
                if (gray) {
                    kernels::rgb_to_gray(in, n * w, frame_order, o);
                } else if (frame_order == order) {
                    std::memcpy(o, in, 3 * n * w);
                } else {
                    libyuv::RAWToRGB24(in, 3 * iw, o, 3 * iw, iw, h);  // swaps the first and third byte
                }
            });
            return;
        }
        case F::LX_IMAGE_FORMAT_RGB16:
            rows(2, [&](const std::uint8_t* in, std::uint8_t* o, std::size_t n, int) {
                if (gray) {
                    kernels::rgb565_to_gray(in, n * w, o);
                } else {
                    kernels::rgb565_to_rgb(in, n * w, order, o);
                }
            });
            return;
        case F::LX_IMAGE_FORMAT_MJPG:
            // libjpeg-turbo decodes on the calling thread; the luma of the decoded picture is split.
            if (gray) {
                std::vector<std::uint8_t> decoded(w * std::size_t(height) * 3);
                decode_jpeg(frame, size, iw, height, TJPF_RGB, decoded.data());
                for_rows(height, used, [&](int first, int last) {
                    kernels::rgb_to_gray(decoded.data() + 3 * w * std::size_t(first), w * std::size_t(last - first),
                                         Order::rgb, out + w * std::size_t(first));
                });
            } else {
                decode_jpeg(frame, size, iw, height, order == Order::rgb ? TJPF_RGB : TJPF_BGR, out);
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
            kernels::rgb565_to_rgb(frame, pixels, Order::rgb, rgb.data());
            return compress_rgb(rgb.data(), w, h, TJPF_RGB, quality);
        }
        default:
            throw FrameError(std::string(f.name) + " frames carry no picture");
    }
}

}  // namespace lentra_convert
