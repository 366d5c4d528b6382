// Adapters that give SDK functions their Python shape. There is one helper per result shape,
// never one hand-written wrapper per function:
//
//   returning_outputs(&LxF)        SDK outputs (non-const lvalue reference parameters) become
//                                  results: Python passes the other arguments, in the SDK's
//                                  order, and gets (status, out1, ...) whatever the status.
//                                  A Shape functor may give the result another form.
//   capturing(&LxGetImage)         a frame into a fresh NumPy array (capture.cpp).
//   Float32Array                   a Shape for returning_outputs: a vector of floats becomes a
//                                  float32 array, empty whenever the status is not 0.
//   i2c_reading / i2c_writing      generic I2C through a two-byte read buffer or one data byte,
//                                  refusing byte counts the data area cannot hold.
//   header_from_file(&LxF)         (status, the path passed, header or None).
//   calling(&LxF)                  the SDK's own shape, for functions that take an enumeration
//                                  member or the LxIntrinsics record (required_argument.h).
//
// Every adapter loads enumeration and LxIntrinsics arguments as Required<T>, so None for one of
// them raises an empty RuntimeError before the SDK is called. Functions whose Python shape is
// the SDK's and that take neither are bound straight to the SDK function pointer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "bindings.h"
#include "required_argument.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

namespace lentra_binding {

// Value an output starts with before the SDK call: zeros, empty text or list. A record owner
// starts holding a zero-filled record, which the SDK may fill, replace or empty.
template <typename T>
struct Fresh {
    static T make() { return T{}; }
};
template <typename T>
struct Fresh<std::unique_ptr<T>> {
    static std::unique_ptr<T> make() { return std::make_unique<T>(); }
};

// The default result shape: the SDK's result first, then every output in the SDK's order.
struct StatusFirst {
    template <typename R, typename... O>
    std::tuple<R, O...> operator()(R result, O&&... outputs) const {
        return std::tuple<R, O...>(result, std::move(outputs)...);
    }
};

namespace detail {

template <typename T>
constexpr bool is_output_v =
    std::is_lvalue_reference<T>::value && !std::is_const<std::remove_reference_t<T>>::value;

template <typename... P>
using inputs_t = decltype(std::tuple_cat(
    std::declval<std::conditional_t<is_output_v<P>, std::tuple<>, std::tuple<P>>>()...));

template <typename... P>
using outputs_t = decltype(std::tuple_cat(
    std::declval<std::conditional_t<is_output_v<P>, std::tuple<std::decay_t<P>>, std::tuple<>>>()...));

// Position of each SDK parameter among the inputs, or among the outputs.
template <typename... P>
constexpr std::array<std::size_t, sizeof...(P)> ranks() {
    constexpr bool output[] = {is_output_v<P>..., false};
    std::array<std::size_t, sizeof...(P)> rank{};
    std::size_t inputs = 0;
    std::size_t outputs = 0;
    for (std::size_t i = 0; i < sizeof...(P); ++i) {
        rank[i] = output[i] ? outputs++ : inputs++;
    }
    return rank;
}

template <typename... O>
std::tuple<O...> fresh_outputs(std::tuple<O...>*) {
    return std::tuple<O...>(Fresh<O>::make()...);
}

// The I-th SDK argument: a reference to the output variable, or the (moved) Python argument.
template <std::size_t I, typename... P, typename Ins, typename Outs>
decltype(auto) argument(Ins& ins, Outs& outs) {
    constexpr std::size_t rank = ranks<P...>()[I];
    if constexpr (is_output_v<std::tuple_element_t<I, std::tuple<P...>>>) {
        return (std::get<rank>(outs));
    } else {
        return std::move(std::get<rank>(ins));
    }
}

template <typename Shape, typename R, typename... P, std::size_t... In, std::size_t... All>
auto outputs_adapter(R (*fn)(P...), Shape shape, std::index_sequence<In...>,
                     std::index_sequence<All...>) {
    using Ins = inputs_t<P...>;
    using Outs = outputs_t<P...>;
    static_assert(std::tuple_size<Outs>::value > 0, "bind functions without outputs directly");
    return [fn, shape](python_arg_t<std::tuple_element_t<In, Ins>>... args) {
        Ins ins(unwrap<std::tuple_element_t<In, Ins>>(std::move(args))...);
        Outs outs = fresh_outputs(static_cast<Outs*>(nullptr));
        R result = fn(argument<All, P...>(ins, outs)...);
        return std::apply([&](auto&... out) { return shape(result, std::move(out)...); }, outs);
    };
}

}  // namespace detail

template <typename Shape = StatusFirst, typename R, typename... P>
auto returning_outputs(R (*fn)(P...), Shape shape = {}) {
    constexpr std::size_t inputs = std::tuple_size<detail::inputs_t<P...>>::value;
    return detail::outputs_adapter(fn, shape, std::make_index_sequence<inputs>{},
                                   std::index_sequence_for<P...>{});
}

// (status, vector of floats) -> (status, float32 array of its elements). A failing status gives
// an empty array whatever the SDK left in the vector, so callers can test the shape or the status.
struct Float32Array {
    std::tuple<int, py::array_t<float>> operator()(int status, std::vector<float>&& values) const {
        if (status != 0) return {status, py::array_t<float>(0)};
        return {status, py::array_t<float>(static_cast<py::ssize_t>(values.size()), values.data())};
    }
};

// Capture: the SDK fills a buffer sized from the format, and Python gets (result, frame bytes).
using CaptureFn = LX_CAPTURE_RESULT (*)(LxCameraHandle, std::uint8_t*, int&, std::uint16_t);
using CaptureResult = std::tuple<LX_CAPTURE_RESULT, py::array_t<std::uint8_t>>;

CaptureResult capture_into_array(CaptureFn fn, LxCameraHandle cam, std::uint16_t timeout,
                                 const LxFormat& format);

inline auto capturing(CaptureFn fn) {
    return [fn](LxCameraHandle cam, std::uint16_t timeout, const LxFormat& format) {
        return capture_into_array(fn, std::move(cam), timeout, format);
    };
}

// Generic I2C. The SDK is told a byte count but not the size of the data area, so a count larger
// than the area would let it read or write past it: such a call is refused here, before the SDK
// is called, with LX_STATUS_INVALID_ARGUMENT (and 0 as the value of a read).
using I2CFn = int (*)(LxCameraHandle, std::uint8_t, std::uint8_t, std::uint32_t, std::uint16_t,
                      std::uint8_t*);
constexpr std::uint16_t kI2CReadBytes = 2;
constexpr std::uint16_t kI2CWriteBytes = 1;

inline auto i2c_reading(I2CFn fn) {
    return [fn](LxCameraHandle cam, std::uint8_t address, std::uint8_t width, std::uint16_t reg,
                std::uint16_t count) {
        if (count > kI2CReadBytes) return std::make_tuple(LX_STATUS_INVALID_ARGUMENT, std::uint16_t{0});
        // Zeroed, so that bytes a shorter read leaves alone read as 0.
        std::array<std::uint8_t, kI2CReadBytes> buffer{};
        const int status = fn(std::move(cam), address, width, reg, count, buffer.data());
        return std::make_tuple(status, static_cast<std::uint16_t>(buffer[0] << 8 | buffer[1]));
    };
}

inline auto i2c_writing(I2CFn fn) {
    return [fn](LxCameraHandle cam, std::uint8_t address, std::uint8_t width, std::uint32_t reg,
                std::uint16_t count, std::uint8_t data) {
        if (count > kI2CWriteBytes) return LX_STATUS_INVALID_ARGUMENT;
        return fn(std::move(cam), address, width, reg, count, &data);
    };
}

// Boot-data headers read from an image file: the path the caller gives ("" when none) is passed
// on, and comes back beside the header so a caller can tell which file an answer is about.
template <typename Header>
auto header_from_file(int (*fn)(std::string, std::unique_ptr<Header>&)) {
    return [fn](const std::string& path) {
        std::unique_ptr<Header> header = Fresh<std::unique_ptr<Header>>::make();
        const int status = fn(path, header);
        return std::make_tuple(status, path, std::move(header));
    };
}

}  // namespace lentra_binding
