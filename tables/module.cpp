// The module pylentrasdk._tables: the status codes of LentraSDK.h and the pixel-format table of
// lentra/pixel_formats.h, as Python values. pylentrasdk.status builds LxStatus from the first,
// pylentrasdk.frames and pylentrasdk.formats their pixel-format facts from the second.
//
// Pixel formats are given by their LX_IMAGE_FORMAT value: the enumeration's Python type belongs
// to the binding module, which this one neither needs nor registers twice.
#include <numeric>
#include <string>
#include <vector>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "LentraSDK.h"
#include "lentra/pixel_formats.h"

namespace py = pybind11;

namespace {

struct StatusCode {
    std::string name;
    int value;
    std::string meaning;
};

// A header without the list (another maker's LentraSDK.h) gives no codes: Python then names a
// status by its number.
std::vector<StatusCode> status_codes() {
#ifdef LX_STATUS_CODES
#define LX_STATUS_ENTRY(name, value, meaning) StatusCode{#name, value, meaning},
    return {LX_STATUS_CODES(LX_STATUS_ENTRY)};
#undef LX_STATUS_ENTRY
#else
    return {};
#endif
}

struct Plane {
    int pixels_per_group;
    int bytes_per_group;
    int row_divisor;
};

struct PixelFormatFacts {
    int format;
    std::string name;
    bool compressed;
    int width_multiple;
    int height_multiple;
    std::vector<Plane> planes;
    int channels;
    int bytes_per_channel;

    // The bytes a pixel takes over every plane, as (numerator, denominator) in lowest terms;
    // none for a compressed format.
    py::object bytes_per_pixel() const {
        if (planes.empty()) return py::none();
        long numerator = 0;
        long denominator = 1;
        for (const Plane& p : planes) {
            // bytes_per_group / (pixels_per_group * row_divisor) added to numerator / denominator
            const long d = long{p.pixels_per_group} * p.row_divisor;
            numerator = numerator * d + long{p.bytes_per_group} * denominator;
            denominator *= d;
            const long g = std::gcd(numerator, denominator);
            numerator /= g;
            denominator /= g;
        }
        return py::make_tuple(numerator, denominator);
    }
};

std::vector<PixelFormatFacts> pixel_formats() {
    std::vector<PixelFormatFacts> out;
    for (const lentra_formats::PixelFormat& f : lentra_formats::kPixelFormats) {
        PixelFormatFacts facts{static_cast<int>(f.format), f.name, f.compressed,
                               f.width_multiple, f.height_multiple, {}, f.channels,
                               f.bytes_per_channel};
        for (int p = 0; p < f.plane_count; ++p) {
            facts.planes.push_back({f.planes[p].pixels_per_group, f.planes[p].bytes_per_group,
                                    f.planes[p].row_divisor});
        }
        out.push_back(std::move(facts));
    }
    return out;
}

}  // namespace

PYBIND11_MODULE(_tables, m) {
    m.doc() = "The status codes of LentraSDK.h and the facts of each pixel format";

    py::class_<StatusCode>(m, "StatusCode", "One status code of LentraSDK.h")
        .def_readonly("name", &StatusCode::name, "The constant's name: \"LX_STATUS_NOT_OPEN\"")
        .def_readonly("value", &StatusCode::value, "The code, 0 for success and negative for a failure")
        .def_readonly("meaning", &StatusCode::meaning, "What the code says, in one line")
        .def("__repr__", [](const StatusCode& s) {
            return "StatusCode(" + s.name + ", " + std::to_string(s.value) + ")";
        });

    py::class_<Plane>(m, "Plane", "One plane of a raw pixel format: rows of groups of pixels")
        .def_readonly("pixels_per_group", &Plane::pixels_per_group,
                      "Pixels that share one group of bytes (2 for a 4:2:2 pair)")
        .def_readonly("bytes_per_group", &Plane::bytes_per_group, "Bytes of one group")
        .def_readonly("row_divisor", &Plane::row_divisor,
                      "Frame rows per plane row: 1, or 2 for a chroma plane of every second row")
        .def("__repr__", [](const Plane& p) {
            return "Plane(pixels_per_group=" + std::to_string(p.pixels_per_group) +
                   ", bytes_per_group=" + std::to_string(p.bytes_per_group) +
                   ", row_divisor=" + std::to_string(p.row_divisor) + ")";
        });

    py::class_<PixelFormatFacts>(m, "PixelFormatFacts", "The facts of one pixel format")
        .def_readonly("format", &PixelFormatFacts::format, "The LX_IMAGE_FORMAT value")
        .def_readonly("name", &PixelFormatFacts::name,
                      "\"YUY2\": the member's name without the enumeration's prefix")
        .def_readonly("compressed", &PixelFormatFacts::compressed,
                      "Whether frames are compressed files of varying size (MJPG)")
        .def_readonly("width_multiple", &PixelFormatFacts::width_multiple,
                      "A frame's width is a multiple of this")
        .def_readonly("height_multiple", &PixelFormatFacts::height_multiple,
                      "A frame's height is a multiple of this")
        .def_property_readonly("planes", [](const PixelFormatFacts& f) { return f.planes; },
                               "The planes, one after the other (none for a compressed format)")
        .def_property_readonly("bytes_per_pixel", &PixelFormatFacts::bytes_per_pixel,
                               "(numerator, denominator): the bytes a pixel takes over all "
                               "planes; None for a compressed format")
        .def_readonly("channels", &PixelFormatFacts::channels,
                      "Channels of a stream frame's array (1: height x width)")
        .def_readonly("bytes_per_channel", &PixelFormatFacts::bytes_per_channel,
                      "Bytes of one array element: 1, or 2 for RGB16's 16-bit words")
        .def("__repr__", [](const PixelFormatFacts& f) {
            return "PixelFormatFacts(" + f.name + ", format=" + std::to_string(f.format) + ")";
        });

    m.attr("status_codes") = py::tuple(py::cast(status_codes()));
    m.attr("pixel_formats") = py::tuple(py::cast(pixel_formats()));
}
