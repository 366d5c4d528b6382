// Capturing a frame into a NumPy array without copying it.
//
// The buffer the SDK writes into is the result array itself: made zero-filled the way
// numpy.zeros makes it (calloc, so a large buffer is fresh zero pages from the OS, no memset),
// filled by the SDK, then shrunk in place (realloc) to the received size. The caller gets an
// array that owns exactly its bytes, and no frame is copied.
#include <algorithm>
#include <climits>
#include <cstdint>

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
    return py::array_t<std::uint8_t>(
        py::module_::import("numpy").attr("zeros")(size, py::dtype::of<std::uint8_t>()));
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
    // refcheck off: the array is ours alone, nothing can view its data yet.
    frame.resize({static_cast<py::ssize_t>(kept)}, false);
    return {result, std::move(frame)};
}

}  // namespace lentra_binding
