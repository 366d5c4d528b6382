#include "frames/jpeg_codec.h"

#include <turbojpeg.h>

#include <new>

namespace lentra {

namespace {
// 4:2:0 is what most MJPG cameras send and the smallest to encode.
constexpr int kSubsampling = TJSAMP_420;
}  // namespace

size_t jpegMaxBytes(int width, int height) {
    if (width <= 0 || height <= 0) return 0;
    const unsigned long bound = tjBufSize(width, height, kSubsampling);
    return bound == static_cast<unsigned long>(-1) ? 0 : size_t(bound);
}

void JpegCompressor::HandleCloser::operator()(void* handle) const { tjDestroy(handle); }
void JpegCompressor::BufferFree::operator()(unsigned char* buffer) const { tjFree(buffer); }

JpegCompressor::JpegCompressor(int width, int height, int quality)
    : width_(width), height_(height), quality_(quality) {
    capacity_ = jpegMaxBytes(width, height);
    if (capacity_ == 0 || capacity_ > size_t(INT32_MAX)) return;
    handle_.reset(tjInitCompress());
    buffer_.reset(tjAlloc(int(capacity_)));
}

JpegCompressor::Result JpegCompressor::compress(const uint8_t* rgb) {
    if (!valid() || !rgb) return {};
    unsigned char* out = buffer_.get();
    unsigned long size = capacity_;
    // NOREALLOC: the buffer is sized for the worst case, and the library must not swap it.
    const int rc = tjCompress2(handle_.get(), rgb, width_, 0, height_, TJPF_RGB, &out, &size,
                               kSubsampling, quality_, TJFLAG_NOREALLOC);
    if (rc != 0 || out != buffer_.get() || size > capacity_) return {};
    return Result{out, size_t(size)};
}

std::vector<uint8_t> decodeJpegLuma(const uint8_t* data, size_t size, int width, int height) {
    if (!data || size == 0 || width <= 0 || height <= 0) return {};
    std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitDecompress(), tjDestroy);
    if (!handle) return {};
    int w = 0, h = 0, subsampling = 0, colourspace = 0;
    if (tjDecompressHeader3(handle.get(), data, static_cast<unsigned long>(size), &w, &h,
                            &subsampling, &colourspace) != 0)
        return {};
    // The header decides how much memory the decode takes: accept only the expected size.
    if (w != width || h != height) return {};
    std::vector<uint8_t> luma;
    try {
        luma.resize(size_t(w) * size_t(h));
    } catch (const std::bad_alloc&) {
        return {};
    }
    if (tjDecompress2(handle.get(), data, static_cast<unsigned long>(size), luma.data(), w, 0, h,
                      TJPF_GRAY, 0) != 0 &&
        tjGetErrorCode(handle.get()) != TJERR_WARNING)
        return {};
    return luma;
}

}  // namespace lentra
