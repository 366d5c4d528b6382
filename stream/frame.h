// A captured frame as Python sees it: the array and what the stream knows about it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "buffer_pool.h"
#include "frame_layout.h"

namespace py = pybind11;

namespace lentra_stream {

// A stream's format as a pylentrasdk.formats.Format, made on first use (its module is imported
// then) and shared by the stream and its frames, so a stream makes it once. Used only with the
// interpreter lock held: the stream and its frames are destroyed with it held too.
class FormatValue {
public:
    explicit FormatValue(const LxFormat& record) : record_(record) {}
    py::object get();

private:
    const LxFormat record_;
    py::object value_;
};

struct Frame {
    py::array array;
    std::uint64_t number = 0;   // frames since the stream started (see frame_numbering.h)
    double timestamp = 0.0;     // arrival, in seconds of the monotonic clock
    std::uint64_t dropped = 0;  // frames between the previous frame delivered and this one
    LxFormat format{};          // the format it was captured in
    std::shared_ptr<FormatValue> format_value;  // the same, as a Format
    // What the camera reported right after the frame; absent where it reports none.
    std::optional<double> sensor_timestamp;     // its clock, in seconds
    std::optional<std::uint32_t> exposure;      // LxGetCurrentExposure
    std::optional<std::uint8_t> gain;           // LxGetCurrentGain
};

// The array over a leased buffer, shaped by the layout; the array's base owns the lease, so the
// buffer goes back to its pool when the last array over it is gone. A compressed frame is copied
// into an array of its own size instead, and its buffer goes back at once.
py::array frame_array(const FrameLayout& layout, std::unique_ptr<Lease> lease, std::size_t bytes);

void init_frame(py::module_& m);

}  // namespace lentra_stream
