// Baseline JPEG through libjpeg-turbo's TurboJPEG API, with the library's handles and buffers
// owned by RAII types. A compressor keeps its handle and output buffer between frames, so the
// per-frame cost is the encode itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace lentra {

// The largest JPEG the compressor can make of a width x height picture.
size_t jpegMaxBytes(int width, int height);

class JpegCompressor {
public:
    // Prepares for RGB pictures of this size. valid() is false when the library could not be
    // set up or the output buffer could not be allocated.
    JpegCompressor(int width, int height, int quality);
    bool valid() const { return handle_ && buffer_; }

    // Compresses packed RGB (3 bytes per pixel, rows without padding). Returns the JPEG's
    // bytes, which stay valid until the next call, or an empty result on failure.
    struct Result {
        const uint8_t* data = nullptr;
        size_t size = 0;
    };
    Result compress(const uint8_t* rgb);

private:
    struct HandleCloser {
        void operator()(void* handle) const;
    };
    struct BufferFree {
        void operator()(unsigned char* buffer) const;
    };
    int width_, height_, quality_;
    size_t capacity_ = 0;
    std::unique_ptr<void, HandleCloser> handle_;
    std::unique_ptr<unsigned char, BufferFree> buffer_;
};

// Decodes a JPEG of exactly width x height to its luma (one byte per pixel). Returns an empty
// vector when the data is not such a JPEG. Data cut short decodes with the missing part grey,
// as the library does; the caller judges whether what it needs is there.
std::vector<uint8_t> decodeJpegLuma(const uint8_t* data, size_t size, int width, int height);

}  // namespace lentra
