// The SDK's records as Python classes. Records cross by copy; only LxIntrinsics can be made
// (zero-filled) and changed from Python, the others come out of SDK calls and are read-only.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include <pybind11/numpy.h>

#include "bindings.h"

namespace lentra_binding {
namespace {

// The boot-data headers are packed, so their fields may be misaligned: a C++ reference to one
// is not valid. Each field is described by offset and size and read by copying its bytes.
enum class FieldKind {
    Unsigned,  // 1, 2 or 4 bytes in host order -> int
    Bytes,     // always the whole field, NUL bytes included
    Text,      // up to the first NUL within the field, strict UTF-8
    TwoDigit,  // each byte in decimal, at least two digits, no separator
};

struct Field {
    const char* name;
    std::size_t offset;
    std::size_t size;
    FieldKind kind;
};

std::uint32_t read_unsigned(const unsigned char* p, std::size_t size) {
    switch (size) {
    case 1:
        return *p;
    case 2: {
        std::uint16_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    default: {
        std::uint32_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    }
}

template <typename Record>
const unsigned char* at(const Record& r, const Field& f) {
    return reinterpret_cast<const unsigned char*>(&r) + f.offset;
}

// Byte fields longer than this are shortened in a repr (a header's 16-byte IDs).
constexpr py::ssize_t kReprBytes = 8;

// A value as a repr shows it: enumeration members by their member name, floats (the SDK's are
// 32-bit) to the seven digits they hold, long byte strings abridged, arrays as lists.
std::string value_text(py::object value) {
    if (py::hasattr(py::type::of(value), "__members__")) return value.attr("name").cast<std::string>();
    if (py::isinstance<py::bytes>(value) && py::len(value) > static_cast<std::size_t>(kReprBytes)) {
        const std::string head = value[py::slice(0, kReprBytes, 1)].attr("hex")().cast<std::string>();
        return "<" + std::to_string(py::len(value)) + " bytes " + head + "...>";
    }
    if (py::isinstance<py::float_>(value)) {
        std::string text = py::str("{:.7g}").format(value).cast<std::string>();
        if (text.find_first_of(".eni") == std::string::npos) text += ".0";  // 0.0, not 0
        return text;
    }
    if (py::hasattr(value, "tolist")) value = value.attr("tolist")();  // coeffs, a NumPy array
    if (py::isinstance<py::list>(value)) {
        std::string text = "[";
        for (const py::handle item : value) {
            if (text.size() > 1) text += ", ";
            text += value_text(py::reinterpret_borrow<py::object>(item));
        }
        return text + "]";
    }
    return py::repr(value).cast<std::string>();
}

// One field's value as a repr shows it.
std::string field_text(const py::handle& self, const char* name) {
    py::object value;
    try {
        value = self.attr(name);
    } catch (py::error_already_set& e) {
        // A text field whose bytes are not UTF-8 reads as an error; a repr still prints.
        if (!e.matches(PyExc_UnicodeDecodeError)) throw;
        return "<not UTF-8>";
    }
    return value_text(value);
}

// Gives a record's class a repr that shows its fields in this order:
// "LxFormat(format=LX_IMAGE_FORMAT_YUY2, width=1280, height=720, framerate=30)". The fields are
// read as Python reads them, so the repr shows what the attributes hold.
template <typename Class>
void def_fields_repr(Class& cls, std::vector<const char*> fields) {
    const std::string name = py::str(cls.attr("__name__"));
    cls.def("__repr__", [name, fields](const py::handle& self) {
        std::string text = name + "(";
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i) text += ", ";
            text += std::string(fields[i]) + "=" + field_text(self, fields[i]);
        }
        return text + ")";
    });
}

template <typename Record>
void def_packed_fields(py::class_<Record, std::unique_ptr<Record>>& cls,
                       std::initializer_list<Field> fields) {
    for (const Field& f : fields) {
        switch (f.kind) {
        case FieldKind::Unsigned:
            cls.def_property_readonly(
                f.name, [f](const Record& r) { return read_unsigned(at(r, f), f.size); });
            break;
        case FieldKind::Bytes:
            cls.def_property_readonly(f.name, [f](const Record& r) {
                return py::bytes(reinterpret_cast<const char*>(at(r, f)), f.size);
            });
            break;
        case FieldKind::Text:
            cls.def_property_readonly(f.name, [f](const Record& r) {
                const char* text = reinterpret_cast<const char*>(at(r, f));
                const void* nul = std::memchr(text, '\0', f.size);
                std::size_t n = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text)
                                    : f.size;
                // py::str decodes strictly: invalid UTF-8 raises UnicodeDecodeError.
                return py::str(text, n);
            });
            break;
        case FieldKind::TwoDigit:
            cls.def_property_readonly(f.name, [f](const Record& r) {
                std::string out;
                for (std::size_t i = 0; i < f.size; ++i) {
                    char digits[4];
                    std::snprintf(digits, sizeof digits, "%02u", unsigned{at(r, f)[i]});
                    out += digits;
                }
                return out;
            });
            break;
        }
    }
    std::vector<const char*> names;
    for (const Field& f : fields) names.push_back(f.name);
    def_fields_repr(cls, names);
}

// An enumeration field is read as a member object that refers to the field inside the record
// (and keeps the record alive), so it follows later assignments to the field. pybind11's own
// enum conversion always copies, hence the generic instance cast here.
template <typename Record, typename E>
py::cpp_function enum_field_getter(E Record::*field) {
    return py::cpp_function([field](py::handle self) {
        Record& record = self.cast<Record&>();
        return py::reinterpret_steal<py::object>(py::detail::type_caster_base<E>::cast(
            &(record.*field), py::return_value_policy::reference_internal, self));
    });
}

#define LX_PACKED_FIELD(Record, member, kind) \
    Field { #member, offsetof(Record, member), sizeof(Record::member), FieldKind::kind }

}  // namespace

void init_format_record(py::module_& m) {
    // The leading index is the SDK's own and stays hidden; copies carry it along untouched.
    py::class_<LxFormat> cls(m, "LxFormat");
    cls.def_readonly("width", &LxFormat::width)
        .def_readonly("height", &LxFormat::height)
        .def_readonly("framerate", &LxFormat::framerate)
        .def_property_readonly("format", enum_field_getter(&LxFormat::format));
    def_fields_repr(cls, {"format", "width", "height", "framerate"});
}

void init_header_records(py::module_& m) {
    py::class_<LxHeaderV2, std::unique_ptr<LxHeaderV2>> v2(m, "LxHeaderV2");
    def_packed_fields(v2, {
                              LX_PACKED_FIELD(LxHeaderV2, headerVersion, Unsigned),
                              LX_PACKED_FIELD(LxHeaderV2, contentOffset, Unsigned),
                              LX_PACKED_FIELD(LxHeaderV2, productName, Text),
                              LX_PACKED_FIELD(LxHeaderV2, productVersion, Unsigned),
                          });

    py::class_<LxHeaderV3, std::unique_ptr<LxHeaderV3>> v3(m, "LxHeaderV3");
    def_packed_fields(v3, {
                              LX_PACKED_FIELD(LxHeaderV3, headerVersion, Unsigned),
                              LX_PACKED_FIELD(LxHeaderV3, contentOffset, Unsigned),
                              LX_PACKED_FIELD(LxHeaderV3, sensorType, Unsigned),
                              LX_PACKED_FIELD(LxHeaderV3, sensorFuseId, Bytes),
                              LX_PACKED_FIELD(LxHeaderV3, productName, Text),
                              LX_PACKED_FIELD(LxHeaderV3, lensId, Bytes),
                              LX_PACKED_FIELD(LxHeaderV3, fixChecksum, Unsigned),
                              LX_PACKED_FIELD(LxHeaderV3, qrFwVersion, TwoDigit),
                              LX_PACKED_FIELD(LxHeaderV3, vendorFwVersion, Unsigned),
                              LX_PACKED_FIELD(LxHeaderV3, customNumber, Unsigned),
                              LX_PACKED_FIELD(LxHeaderV3, recordYear, Unsigned),
                              LX_PACKED_FIELD(LxHeaderV3, recordMonth, Unsigned),
                              LX_PACKED_FIELD(LxHeaderV3, recordDay, Unsigned),
                              LX_PACKED_FIELD(LxHeaderV3, recordHour, Unsigned),
                              LX_PACKED_FIELD(LxHeaderV3, recordMinute, Unsigned),
                              LX_PACKED_FIELD(LxHeaderV3, recordSecond, Unsigned),
                              LX_PACKED_FIELD(LxHeaderV3, mipiDatarate, Unsigned),
                              LX_PACKED_FIELD(LxHeaderV3, contentLen, Unsigned),
                              LX_PACKED_FIELD(LxHeaderV3, contentChecksum, Unsigned),
                              LX_PACKED_FIELD(LxHeaderV3, totalChecksum, Unsigned),
                          });
}

#undef LX_PACKED_FIELD

void init_imu_ispu_record(py::module_& m) {
    py::class_<LxImuIspu> cls(m, "LxImuIspu");
    cls.def_readonly("x", &LxImuIspu::x)
        .def_readonly("y", &LxImuIspu::y)
        .def_readonly("z", &LxImuIspu::z)
        .def_readonly("w", &LxImuIspu::w)
        .def_readonly("yaw", &LxImuIspu::yaw)
        .def_readonly("pitch", &LxImuIspu::pitch)
        .def_readonly("roll", &LxImuIspu::roll);
    def_fields_repr(cls, {"x", "y", "z", "w", "yaw", "pitch", "roll"});
}

namespace {

// What NumPy makes of a value given for the coefficients, refused with TypeError (like every
// attribute of the wrong kind) unless it holds numbers: NumPy would read text such as "1.5" as a
// number, and fails with ValueError on text it cannot read or on ragged sequences.
py::array numeric_array(const py::object& value) {
    py::array a;
    try {
        a = py::module_::import("numpy").attr("asarray")(value);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_ValueError) && !e.matches(PyExc_TypeError)) throw;
        throw py::type_error(std::string("coeffs must be numbers: ") + e.what());
    }
    const char kind = a.dtype().kind();
    if (kind != 'b' && kind != 'i' && kind != 'u' && kind != 'f') {
        throw py::type_error("coeffs must be numbers, not " + py::str(a.dtype()).cast<std::string>());
    }
    return a;
}

}  // namespace

void init_intrinsics_record(py::module_& m) {
    constexpr std::size_t kCoeffs = std::extent<decltype(LxIntrinsics::coeffs)>::value;
    using FloatArray = py::array_t<float, py::array::c_style | py::array::forcecast>;

    py::class_<LxIntrinsics> cls(m, "LxIntrinsics");
    cls.def(py::init([]() { return LxIntrinsics{}; }))  // every byte zero
        .def_readwrite("w", &LxIntrinsics::w)
        .def_readwrite("h", &LxIntrinsics::h)
        .def_readwrite("fx", &LxIntrinsics::fx)
        .def_readwrite("fy", &LxIntrinsics::fy)
        .def_readwrite("cx", &LxIntrinsics::cx)
        .def_readwrite("cy", &LxIntrinsics::cy)
        .def_property("model", enum_field_getter(&LxIntrinsics::model),
                      [](LxIntrinsics& r, LX_DISTORTION_MODEL model) { r.model = model; })
        .def_property(
            "coeffs",
            // A copy, so changing the array never changes the record behind the caller's back.
            [](const LxIntrinsics& r) { return py::array_t<float>(kCoeffs, r.coeffs); },
            [](LxIntrinsics& r, const py::object& value) {
                FloatArray a(numeric_array(value));
                if (static_cast<std::size_t>(a.size()) != kCoeffs) {
                    throw std::runtime_error("coeffs must have 5 elements");
                }
                std::memcpy(r.coeffs, a.data(), sizeof r.coeffs);
            });
    def_fields_repr(cls, {"w", "h", "fx", "fy", "cx", "cy", "model", "coeffs"});
}

}  // namespace lentra_binding
