// A captured frame as Python sees it: the array and what the stream knows about it.
#pragma once

#include <cstdint>
#include <memory>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "buffer_pool.h"
#include "frame_layout.h"

namespace py = pybind11;

namespace lentra_stream {

struct Frame {
    py::array array;
    std::uint64_t number = 0;   // frames since the stream started (see frame_numbering.h)
    double timestamp = 0.0;     // arrival, in seconds of the monotonic clock
    std::uint64_t dropped = 0;  // frames between the previous frame delivered and this one
    LxFormat format{};          // the format it was captured in
};

// The array over a leased buffer, shaped by the layout; the array's base owns the lease, so the
// buffer goes back to its pool when the last array over it is gone. A compressed frame is copied
// into an array of its own size instead, and its buffer goes back at once.
py::array frame_array(const FrameLayout& layout, std::unique_ptr<Lease> lease, std::size_t bytes);

void init_frame(py::module_& m);

}  // namespace lentra_stream
