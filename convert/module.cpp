// The module pylentrasdk._convert: frames as pictures and JPEG files, converted in C++ with the
// interpreter lock released. pylentrasdk.frames is its Python face (formats given as LxFormat,
// stream frames, PNG files); these calls take the format as the LX_IMAGE_FORMAT value and size.
//
// A frame is any C-contiguous buffer of uint8 (uint16 too for RGB16, as a stream frame is
// shaped); it is checked whole against the format before a byte is read. `out`, when given, is a
// NumPy array the picture is written into: uint8, C-contiguous, writeable, of the picture's shape,
// and not sharing memory with the frame.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstring>
#include <string>

#include "pixel_convert.h"

namespace py = pybind11;
using lentra_convert::FrameError;
using lentra_convert::Target;

namespace {

struct FrameBytes {
    py::buffer_info info;
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};

bool c_contiguous(const py::buffer_info& info) {
    py::ssize_t expected = info.itemsize;
    for (py::ssize_t axis = info.ndim - 1; axis >= 0; --axis) {
        if (info.shape[axis] != 1 && info.strides[axis] != expected) return false;
        expected *= info.shape[axis];
    }
    return true;
}

// The frame's bytes; TypeError for a buffer of other elements, ValueError for one whose elements
// do not lie one after the other.
FrameBytes frame_bytes(const py::buffer& frame, const lentra_formats::PixelFormat& f) {
    FrameBytes bytes{frame.request(), nullptr, 0};
    const std::string& kind = bytes.info.format;
    const bool byte_items = bytes.info.itemsize == 1 && (kind == "B" || kind == "=B" || kind == "<B" ||
                                                         kind == "c" || kind == "b");
    const bool word_items = bytes.info.itemsize == 2 && (kind == "<H" || kind == "=H" || kind == "H") &&
                            f.format == LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_RGB16;
    if (!byte_items && !word_items) {
        const std::string dtype = py::str(py::dtype(bytes.info));
        throw py::type_error(
            std::string("a ") + f.name + " frame is an array of uint8 bytes" +
            (f.format == LX_IMAGE_FORMAT::LX_IMAGE_FORMAT_RGB16 ? " or of little-endian uint16 words" : "") +
            ", not of " + dtype);
    }
    if (!c_contiguous(bytes.info)) {
        throw py::value_error("the frame's bytes are not contiguous (a slice or a transposed view): "
                              "pass numpy.ascontiguousarray(frame)");
    }
    bytes.data = static_cast<const std::uint8_t*>(bytes.info.ptr);
    bytes.size = static_cast<std::size_t>(bytes.info.size) * static_cast<std::size_t>(bytes.info.itemsize);
    return bytes;
}

bool overlaps(const void* a, std::size_t a_size, const void* b, std::size_t b_size) {
    const auto a0 = reinterpret_cast<std::uintptr_t>(a), b0 = reinterpret_cast<std::uintptr_t>(b);
    return a_size && b_size && a0 < b0 + b_size && b0 < a0 + a_size;
}

py::array_t<std::uint8_t> picture_array(py::object out, Target target, int width, int height,
                                        const FrameBytes& frame) {
    std::vector<py::ssize_t> shape{height, width};
    if (target != Target::gray) shape.push_back(3);
    if (out.is_none()) return py::array_t<std::uint8_t>(shape);

    std::string wanted = "(" + std::to_string(height) + ", " + std::to_string(width) +
                         (target == Target::gray ? ")" : ", 3)");
    if (!py::isinstance<py::array>(out)) {
        throw py::type_error("out must be a NumPy array of shape " + wanted + " and dtype uint8, not " +
                             std::string(py::str(py::type::of(out).attr("__name__"))));
    }
    py::array array = py::reinterpret_borrow<py::array>(out);
    if (!array.dtype().is(py::dtype::of<std::uint8_t>())) {
        throw py::type_error("out must have dtype uint8, not " + std::string(py::str(array.dtype())));
    }
    bool same_shape = array.ndim() == static_cast<py::ssize_t>(shape.size());
    for (std::size_t axis = 0; same_shape && axis < shape.size(); ++axis) {
        same_shape = array.shape(static_cast<py::ssize_t>(axis)) == shape[axis];
    }
    if (!same_shape) {
        throw py::value_error("out must have shape " + wanted + ", not " +
                              std::string(py::str(array.attr("shape"))));
    }
    if (!(array.flags() & py::array::c_style)) {
        throw py::value_error("out must be C-contiguous (not a slice or a transposed view)");
    }
    if (!array.writeable()) throw py::value_error("out is read-only");
    if (overlaps(array.data(), static_cast<std::size_t>(array.nbytes()), frame.data, frame.size)) {
        throw py::value_error("out shares memory with the frame");
    }
    return py::reinterpret_borrow<py::array_t<std::uint8_t>>(array);
}

py::array_t<std::uint8_t> picture(const py::buffer& frame, int format, int width, int height,
                                  py::object out, Target target) {
    const lentra_formats::PixelFormat& f = lentra_convert::checked_format(format, width, height);
    FrameBytes bytes = frame_bytes(frame, f);
    lentra_convert::check_frame(f, bytes.size, width, height);
    py::array_t<std::uint8_t> result = picture_array(std::move(out), target, width, height, bytes);
    std::uint8_t* destination = result.mutable_data();
    {
        py::gil_scoped_release unlocked;
        lentra_convert::convert(f, bytes.data, bytes.size, width, height, target, destination);
    }
    return result;
}

py::bytes jpeg(const py::buffer& frame, int format, int width, int height, int quality) {
    const lentra_formats::PixelFormat& f = lentra_convert::checked_format(format, width, height);
    FrameBytes bytes = frame_bytes(frame, f);
    std::vector<std::uint8_t> encoded;
    {
        py::gil_scoped_release unlocked;
        encoded = lentra_convert::to_jpeg(f, bytes.data, bytes.size, width, height, quality);
    }
    return py::bytes(reinterpret_cast<const char*>(encoded.data()), encoded.size());
}

}  // namespace

PYBIND11_MODULE(_convert, m) {
    m.doc() = "Frames as pictures and JPEG files, converted in C++ without the interpreter lock";

    m.def("to_rgb", [](const py::buffer& frame, int format, int width, int height, py::object out) {
        return picture(frame, format, width, height, std::move(out), Target::rgb);
    }, py::arg("frame"), py::arg("format"), py::arg("width"), py::arg("height"), py::arg("out") = py::none(),
          "The frame as a (height, width, 3) uint8 array of R, G, B, written into `out` when given");
    m.def("to_bgr", [](const py::buffer& frame, int format, int width, int height, py::object out) {
        return picture(frame, format, width, height, std::move(out), Target::bgr);
    }, py::arg("frame"), py::arg("format"), py::arg("width"), py::arg("height"), py::arg("out") = py::none(),
          "The frame as a (height, width, 3) uint8 array of B, G, R, written into `out` when given");
    m.def("to_gray", [](const py::buffer& frame, int format, int width, int height, py::object out) {
        return picture(frame, format, width, height, std::move(out), Target::gray);
    }, py::arg("frame"), py::arg("format"), py::arg("width"), py::arg("height"), py::arg("out") = py::none(),
          "The frame's BT.601 luma as a (height, width) uint8 array, written into `out` when given");
    m.def("to_jpeg", &jpeg, py::arg("frame"), py::arg("format"), py::arg("width"), py::arg("height"),
          py::arg("quality") = 80, "The frame as the bytes of a JPEG file of this quality (1 to 100)");
    m.def("frame_bytes", [](int format, int width, int height) -> py::object {
        const lentra_formats::PixelFormat& f = lentra_convert::checked_format(format, width, height);
        if (f.compressed) return py::none();
        return py::int_(lentra_formats::frame_bytes(f, std::uint64_t(width), std::uint64_t(height)));
    }, py::arg("format"), py::arg("width"), py::arg("height"),
          "The bytes of one raw frame of this format and size; None for MJPG");
}
