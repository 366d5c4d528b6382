#include "frame.h"

#include <cstdio>
#include <cstring>
#include <string>

#include <pybind11/stl.h>

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

py::object FormatValue::get() {
    if (!value_) {
        value_ = py::module_::import("pylentrasdk.formats").attr("Format").attr("from_record")(record_);
    }
    return value_;
}

namespace {

// The conversion module sits beside this one; it is imported on the first conversion only.
py::object convert(const Frame& f, const char* function, py::object out, py::object threads) {
    return py::module_::import("pylentrasdk._convert")
        .attr(function)(f.array, static_cast<int>(f.format.format), f.format.width,
                        f.format.height, out, threads);
}

py::dict metadata(const Frame& f) {
    py::dict d;
    d["number"] = f.number;
    d["timestamp"] = f.timestamp;
    d["sensor_timestamp"] = f.sensor_timestamp;
    d["exposure"] = f.exposure;
    d["gain"] = f.gain;
    d["format"] = f.format_value->get();
    d["dropped"] = f.dropped;
    return d;
}

std::string repr(const Frame& f) {
    std::string text = "<Frame " + format_text(f.format) + " number=" + std::to_string(f.number) +
                       " dropped=" + std::to_string(f.dropped);
    if (f.sensor_timestamp) {
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, " sensor_timestamp=%.3f", *f.sensor_timestamp);
        text += stamp;
    }
    return text + ">";
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
        .def_readonly("sensor_timestamp", &Frame::sensor_timestamp,
                      "The camera's clock in seconds right after the frame (LxGetTimestamp); "
                      "None where the camera reports none")
        .def_readonly("exposure", &Frame::exposure,
                      "The exposure the frame was made with (LxGetCurrentExposure); None where "
                      "the camera reports none")
        .def_readonly("gain", &Frame::gain,
                      "The gain the frame was made with (LxGetCurrentGain); None where the camera "
                      "reports none")
        .def_property_readonly("metadata", &metadata,
                               "A new dict of what is known about the frame: number, timestamp, "
                               "sensor_timestamp, exposure, gain, format (a "
                               "pylentrasdk.formats.Format) and dropped")
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
        // Files and notebook pictures are made by pylentrasdk.frames, where the file handling
        // lives once.
        .def("save",
             [](py::object self, py::object path, py::object quality) {
                 py::module_::import("pylentrasdk.frames")
                     .attr("save")(self, path, py::arg("quality") = quality);
             },
             py::arg("path"), py::kw_only(), py::arg("quality") = 90,
             "Writes the frame to `path` as its extension says: .png a picture, .jpg/.jpeg a JPEG "
             "(an MJPG frame's own), .npy a NumPy file of its array, any other its bytes "
             "(frames.save); atomically")
        .def("_repr_png_",
             [](py::object self) {
                 return py::module_::import("pylentrasdk.frames").attr("_repr_png")(self);
             },
             "The frame as PNG bytes, for notebooks (None when it holds no picture)")
        .def("__repr__", &repr);
}

}  // namespace lentra_stream
