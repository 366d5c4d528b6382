#include "frame.h"

#include <cstring>
#include <string>

namespace lentra_stream {

py::array frame_array(const FrameLayout& layout, std::unique_ptr<Lease> lease, std::size_t bytes) {
    if (layout.compressed) {
        py::array_t<std::uint8_t> copy(static_cast<py::ssize_t>(bytes));
        std::memcpy(copy.mutable_data(), lease->data(), bytes);
        return std::move(copy);
    }
    std::uint8_t* data = lease->data();
    py::capsule owner(lease.get(), [](void* p) { delete static_cast<Lease*>(p); });
    lease.release();  // the capsule owns it now
    if (layout.shape.empty()) {
        return py::array(py::dtype::of<std::uint8_t>(), {static_cast<py::ssize_t>(bytes)}, {}, data, owner);
    }
    const std::vector<py::ssize_t> shape(layout.shape.begin(), layout.shape.end());
    py::dtype dtype = layout.sixteen_bit ? py::dtype("<u2") : py::dtype::of<std::uint8_t>();
    return py::array(dtype, shape, {}, data, owner);
}

namespace {

// The conversion module sits beside this one; it is imported on the first conversion only.
py::object convert(const Frame& f, const char* function, py::object out, py::object threads) {
    return py::module_::import("pylentrasdk._convert")
        .attr(function)(f.array, static_cast<int>(f.format.format), f.format.width,
                        f.format.height, out, threads);
}

}  // namespace

void init_frame(py::module_& m) {
    py::class_<Frame>(m, "Frame", "A frame from a FrameStream.")
        .def_readonly("array", &Frame::array,
                      "The frame as a NumPy array shaped for its format; it lives in a buffer of "
                      "the stream's pool, which no later frame reuses while the array exists")
        .def_readonly("number", &Frame::number,
                      "The camera's number for the frame (its frame counter's steps since the stream started)")
        .def_readonly("timestamp", &Frame::timestamp,
                      "Arrival time in seconds on the monotonic clock (as time.monotonic())")
        .def_readonly("dropped", &Frame::dropped,
                      "Frames the camera made between the previous frame delivered and this one")
        .def_readonly("format", &Frame::format, "The LxFormat the frame was captured in")
        // The conversions of pylentrasdk.frames, with the frame's own format.
        .def("to_rgb", [](const Frame& f, py::object out, py::object threads) {
                 return convert(f, "to_rgb", out, threads);
             }, py::arg("out") = py::none(), py::arg("threads") = py::none(),
             "The frame as an (height, width, 3) uint8 array of R, G, B (frames.to_rgb)")
        .def("to_bgr", [](const Frame& f, py::object out, py::object threads) {
                 return convert(f, "to_bgr", out, threads);
             }, py::arg("out") = py::none(), py::arg("threads") = py::none(),
             "The frame as an (height, width, 3) uint8 array of B, G, R (frames.to_bgr)")
        .def("to_gray", [](const Frame& f, py::object out, py::object threads) {
                 return convert(f, "to_gray", out, threads);
             }, py::arg("out") = py::none(), py::arg("threads") = py::none(),
             "The frame's luma as an (height, width) uint8 array (frames.to_gray)")
        .def("__repr__", [](const Frame& f) {
            const std::string shape = py::str(f.array.attr("shape"));
            return "<Frame number=" + std::to_string(f.number) + " dropped=" +
                   std::to_string(f.dropped) + " shape=" + shape + ">";
        });
}

}  // namespace lentra_stream
