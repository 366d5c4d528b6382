// Capturing a frame into a NumPy array that holds the frame's own bytes.
//
// Each call allocates a NumPy array of the format's capacity, zero-fills it with memset, lets the
// SDK write the frame into it, and then shrinks the array in place to the received size
// (ndarray.resize, a realloc). A kept frame so holds its bytes plus at most the allocator's
// rounding (under a page), never the format's whole capacity, and nothing is copied. A frame
// under half the capacity (a JPEG) is copied into an array of its own size instead.
//
// Why this shape, as measured on our machines (bench/capture.py):
// - Fresh pages are slow. calloc'd or freshly mapped memory faults on first touch, which costs
//   several times a memset of memory the process already uses; so the buffer is a plain
//   allocation, zero-filled by memset, and must come from memory the allocator reuses.
// - glibc maps every block above its mmap threshold afresh. The threshold rises to the size of a
//   mapped block when such a block is freed, which is how a loop of same-sized captures ends up on
//   reused heap memory; but frames shrunk to their size are smaller than the capacity and never
//   raise it. Without help, every 1080p YUY2 capture (6.2 MB capacity) mapped and faulted fresh
//   pages and ran at a tenth of the rate. Allocating and freeing a probe block of the capacity
//   first (no page is touched) lifts the threshold above the capacity, and the capture buffer then
//   comes from reused heap memory, which realloc shrinks in place by splitting the block.
//   Capacities above glibc's largest threshold (32 MB) are always mapped, with or without this.
// - Shrinking a block to a small part of itself fragments the heap: each small frame sits in front
//   of the free rest, the next capacity-sized block does not fit there, the heap grows, and later
//   it is trimmed back, so pages are faulted in afresh (7x slower for 640x480 MJPG in a C++ loop).
//   Copying a frame under half the capacity costs less than the memset already done.
// - NumPy allocates the array (not malloc here) because it advises huge pages for large blocks:
//   4K BGRA captures (always freshly mapped) ran about 1.5 times as fast as with that advice off.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "adapters.h"
#include "lentra/pixel_formats.h"

namespace lentra_binding {
namespace {

// Bytes a frame of this format can need (the table's capture bytes per pixel: 4 for the 32-bit
// formats, 3 for all others, enough for every packed, planar and compressed format the SDK
// offers; 3 too for NONE and values the enumeration does not name). 64-bit arithmetic:
// 65535 x 65535 x 4 does not fit an int.
std::int64_t capacity_for(const LxFormat& format) {
    const lentra_formats::PixelFormat* f = lentra_formats::find(format.format);
    return std::int64_t{format.width} * std::int64_t{format.height} *
           (f ? f->capture_bytes_per_pixel : 3);
}

// See the top of the file: lets the allocator serve `size` bytes from reused memory. The
// volatile keeps the compiler from dropping the allocation as unused.
void lift_mmap_threshold(std::size_t size) {
    void* volatile probe = std::malloc(size);
    std::free(probe);
}

py::array_t<std::uint8_t> zero_filled(std::int64_t size) {
    lift_mmap_threshold(static_cast<std::size_t>(size));
    py::array_t<std::uint8_t> buffer(static_cast<py::ssize_t>(size));
    std::memset(buffer.mutable_data(), 0, static_cast<std::size_t>(size));
    return buffer;
}

}  // namespace

CaptureResult capture_into_array(CaptureFn fn, LxCameraHandle cam, std::uint16_t timeout,
                                 const LxFormat& format) {
    const std::int64_t capacity = capacity_for(format);
    // The SDK takes the capacity as an int, and reads a capacity of 0 as "unknown": with no
    // capacity it can be trusted with, the SDK is not called at all.
    if (capacity <= 0 || capacity > INT_MAX) {
        return {LX_CAPTURE_RESULT::LX_OTHER_ERROR, py::array_t<std::uint8_t>(0)};
    }

    py::array_t<std::uint8_t> frame = zero_filled(capacity);
    // The received size goes in holding the capacity, so that the SDK refuses a frame larger
    // than the buffer (LX_BUFFER_CORRUPTED) instead of writing past its end.
    int received = static_cast<int>(capacity);
    const LX_CAPTURE_RESULT result = fn(std::move(cam), frame.mutable_data(), received, timeout);
    if (result != LX_CAPTURE_RESULT::LX_SUCCESS) {
        return {result, py::array_t<std::uint8_t>(0)};
    }
    // A size outside [0, capacity] is never trusted: nothing past the buffer is ever read, and a
    // negative size gives an empty frame.
    const std::int64_t kept = std::clamp<std::int64_t>(received, 0, capacity);
    if (2 * kept < capacity) {
        py::array_t<std::uint8_t> own(static_cast<py::ssize_t>(kept));
        std::memcpy(own.mutable_data(), frame.data(), static_cast<std::size_t>(kept));
        return {result, std::move(own)};
    }
    if (kept < capacity) {
        // No other reference to the array exists yet, so NumPy's reference check is not needed.
        frame.attr("resize")(static_cast<py::ssize_t>(kept), py::arg("refcheck") = false);
    }
    return {result, std::move(frame)};
}

}  // namespace lentra_binding
