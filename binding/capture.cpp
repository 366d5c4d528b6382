// Capturing a frame into a NumPy array, copying it only when that saves memory.
//
// The buffer the SDK writes into is a zero-filled NumPy array of the format's capacity, private
// to this call. A frame that fills at least half of it is handed out as a view of its first
// bytes (the view keeps the buffer alive; no copy, at most twice the frame's memory while the
// caller holds it). A smaller frame (MJPG) is copied into an array of its own size, so that a
// kept JPEG does not hold a raw-sized buffer. Shrinking the buffer in place instead was measured
// slower than either: the allocator copies on such a realloc.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "adapters.h"

namespace lentra_binding {
namespace {

// Bytes a frame of this format can need: 4 per pixel for the 32-bit formats, 3 for all others
// (enough for every packed, planar and compressed format the SDK offers). 64-bit arithmetic:
// 65535 x 65535 x 4 does not fit an int.
std::int64_t capacity_for(const LxFormat& format) {
    const bool four_bytes = format.format == LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_BGRA ||
                            format.format == LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_BGRX;
    return std::int64_t{format.width} * std::int64_t{format.height} * (four_bytes ? 4 : 3);
}

py::array_t<std::uint8_t> zero_filled(std::int64_t size) {
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

    // A size outside [0, capacity] is never trusted: nothing past the buffer is ever read, and a
    // negative size gives an empty frame.
    const std::int64_t kept =
        result == LX_CAPTURE_RESULT::LX_SUCCESS ? std::clamp<std::int64_t>(received, 0, capacity) : 0;
    if (kept == capacity) {
        return {result, std::move(frame)};
    }
    py::object slice = frame[py::slice(0, static_cast<py::ssize_t>(kept), 1)];
    auto head = slice.cast<py::array_t<std::uint8_t>>();
    if (2 * kept >= capacity) {
        return {result, std::move(head)};
    }
    return {result, py::array_t<std::uint8_t>(head.attr("copy")())};
}

}  // namespace lentra_binding
