// The module pylentrasdk._convert: frames as pictures and JPEG files, converted in C++ with the
// interpreter lock released. pylentrasdk.frames is its Python face (formats given as LxFormat,
// stream frames, PNG files); these calls take the format as the LX_IMAGE_FORMAT value and size.
//
// A frame is any C-contiguous buffer of uint8 (uint16 too for RGB16, as a stream frame is
// shaped); it is checked whole against the format before a byte is read. `out`, when given, is a
// NumPy array the picture is written into: uint8, C-contiguous, writeable, of the picture's shape,
// and not sharing memory with the frame. `threads` is how many threads share the rows (None:
// one per core, for frames large enough to gain from them).
//
// The numbers (format, width, height, quality, threads) are taken as Python objects and checked
// here: an int (not a bool, float or str) or TypeError, in its range or ValueError, whatever its
// size, before pybind11 would turn a too large one into a confusing "incompatible arguments".
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <climits>
#include <cstring>
#include <string>

#include "kernels.h"
#include "pixel_convert.h"

namespace py = pybind11;
using lentra_convert::FrameError;
using lentra_convert::Target;

namespace {

// An int argument as a C++ number: TypeError for a bool or anything without __index__ (float,
// str); a value beyond long long comes back as LLONG_MIN or LLONG_MAX, out of every range here.
long long integer(const py::handle& value, const char* name) {
    if (PyBool_Check(value.ptr()) || !PyIndex_Check(value.ptr())) {
        throw py::type_error(std::string(name) + " must be an int, not " +
                             std::string(py::str(py::type::of(value).attr("__name__"))));
    }
    const auto number = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
    if (!number) throw py::error_already_set();
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(number.ptr(), &overflow);
    if (overflow) return overflow > 0 ? LLONG_MAX : LLONG_MIN;
    if (v == -1 && PyErr_Occurred()) throw py::error_already_set();
    return v;
}

struct Picture {
    const lentra_formats::PixelFormat* format;
    int width;
    int height;
};

// The format and size, checked as lentra_convert::checked_format checks them; a side beyond int
// is refused here with the same words, the number written as Python writes it.
Picture checked(const py::handle& format, const py::handle& width, const py::handle& height) {
    const long long f = integer(format, "format"), w = integer(width, "width"), h = integer(height, "height");
    if (f < INT_MIN || f > INT_MAX) {
        throw py::value_error("format " + std::string(py::str(format)) + " carries no picture");
    }
    if (w < INT_MIN || w > INT_MAX || h < INT_MIN || h > INT_MAX) {
        const std::string size = std::string(py::str(width)) + " x " + std::string(py::str(height));
        throw py::value_error("a frame of " + size + " pixels " +
                              (w <= 0 || h <= 0 ? std::string("holds no picture")
                                                : "is larger than " + std::to_string(lentra_convert::kMaxSide) +
                                                      " on a side"));
    }
    const int iw = static_cast<int>(w), ih = static_cast<int>(h);
    return {&lentra_convert::checked_format(static_cast<int>(f), iw, ih), iw, ih};
}

// None: 0, the conversion's own choice; else a count of at least 1 (a huge one is as many as
// the rows).
int thread_count(const py::handle& threads) {
    if (threads.is_none()) return 0;
    const long long n = integer(threads, "threads");
    if (n < 1) throw py::value_error("threads must be at least 1, not " + std::string(py::str(threads)));
    return static_cast<int>(std::min<long long>(n, INT_MAX));
}

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
    // Unsigned bytes only: int8 ("b") and char ("c") items are other data.
    const bool byte_items = bytes.info.itemsize == 1 && (kind == "B" || kind == "=B" || kind == "<B");
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

py::array_t<std::uint8_t> picture(const py::buffer& frame, const py::handle& format, const py::handle& width,
                                  const py::handle& height, py::object out, const py::handle& threads,
                                  Target target) {
    const Picture p = checked(format, width, height);
    const int count = thread_count(threads);
    FrameBytes bytes = frame_bytes(frame, *p.format);
    lentra_convert::check_frame(*p.format, bytes.size, p.width, p.height);
    py::array_t<std::uint8_t> result = picture_array(std::move(out), target, p.width, p.height, bytes);
    std::uint8_t* destination = result.mutable_data();
    {
        py::gil_scoped_release unlocked;
        lentra_convert::convert(*p.format, bytes.data, bytes.size, p.width, p.height, target, destination, count);
    }
    return result;
}

py::bytes jpeg(const py::buffer& frame, const py::handle& format, const py::handle& width,
               const py::handle& height, const py::handle& quality) {
    const Picture p = checked(format, width, height);
    const long long q = integer(quality, "quality");
    if (q < 1 || q > 100) {
        throw py::value_error("the JPEG quality is 1 to 100, not " + std::string(py::str(quality)));
    }
    FrameBytes bytes = frame_bytes(frame, *p.format);
    std::vector<std::uint8_t> encoded;
    {
        py::gil_scoped_release unlocked;
        encoded = lentra_convert::to_jpeg(*p.format, bytes.data, bytes.size, p.width, p.height, static_cast<int>(q));
    }
    return py::bytes(reinterpret_cast<const char*>(encoded.data()), encoded.size());
}

}  // namespace

PYBIND11_MODULE(_convert, m) {
    m.doc() = "Frames as pictures and JPEG files, converted in C++ without the interpreter lock";

    using Arg = const py::handle&;
    const auto picture_def = [&m](const char* name, Target target, const char* doc) {
        m.def(name, [target](const py::buffer& frame, Arg format, Arg width, Arg height, py::object out,
                             Arg threads) {
            return picture(frame, format, width, height, std::move(out), threads, target);
        }, py::arg("frame"), py::arg("format"), py::arg("width"), py::arg("height"),
              py::arg("out") = py::none(), py::arg("threads") = py::none(), doc);
    };
    picture_def("to_rgb", Target::rgb,
                "The frame as a (height, width, 3) uint8 array of R, G, B, written into `out` when given");
    picture_def("to_bgr", Target::bgr,
                "The frame as a (height, width, 3) uint8 array of B, G, R, written into `out` when given");
    picture_def("to_gray", Target::gray,
                "The frame's BT.601 luma as a (height, width) uint8 array, written into `out` when given");
    m.def("to_jpeg", &jpeg, py::arg("frame"), py::arg("format"), py::arg("width"), py::arg("height"),
          py::arg("quality") = 80, "The frame as the bytes of a JPEG file of this quality (1 to 100)");
    m.def("frame_bytes", [](Arg format, Arg width, Arg height) -> py::object {
        const Picture p = checked(format, width, height);
        if (p.format->compressed) return py::none();
        return py::int_(lentra_formats::frame_bytes(*p.format, std::uint64_t(p.width), std::uint64_t(p.height)));
    }, py::arg("format"), py::arg("width"), py::arg("height"),
          "The bytes of one raw frame of this format and size; None for MJPG");

    // For tests and benchmarks: the instruction sets of the pixel kernels.
    m.def("_simd_targets", &lentra_convert::kernels::targets,
          "The instruction sets the pixel kernels were compiled for that this processor runs, best first");
    m.def("_simd_target", &lentra_convert::kernels::target_in_use,
          "The instruction set the pixel kernels run with now");
    m.def("_use_simd_target", [](const std::string& name) {
        if (!lentra_convert::kernels::use_target(name)) {
            throw py::value_error("no instruction set " + name + " here; there are " +
                                  std::string(py::str(py::cast(lentra_convert::kernels::targets()))));
        }
    }, py::arg("name"), "Runs the pixel kernels with this instruction set only; \"\" for the best again");
}
