// Arguments that None cannot stand for: an enumeration member, or the LxIntrinsics record a
// function takes by value. None in their place raises RuntimeError with an empty message before
// the SDK is called, while an object of another kind (a plain int, another enumeration's member,
// another record) still raises TypeError.
//
// pybind11 2 behaved so by itself (None loaded as an empty reference, whose cast then failed with
// an empty RuntimeError); pybind11 3 turns that failure into TypeError. Spelling the rule out here
// gives the same behaviour with either release. Adapters take such parameters as Required<T>
// (python_arg_t picks them) and read them with unwrap().
#pragma once

#include <optional>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include <pybind11/pybind11.h>

#include "LentraSDK.h"

namespace lentra_binding {

template <typename T>
struct Required {
    std::optional<T> value;

    T get() const {
        if (!value) throw std::runtime_error("");
        return *value;
    }
};

namespace detail {

template <typename T>
constexpr bool none_refused_v =
    std::is_enum<std::decay_t<T>>::value || std::is_same<std::decay_t<T>, LxIntrinsics>::value;

}  // namespace detail

// The type Python's argument is loaded as for an SDK parameter of type P.
template <typename P>
using python_arg_t = std::conditional_t<detail::none_refused_v<P>, Required<std::decay_t<P>>, P>;

template <typename P>
decltype(auto) unwrap(python_arg_t<P>&& argument) {
    if constexpr (detail::none_refused_v<P>) {
        return argument.get();
    } else {
        return std::forward<python_arg_t<P>>(argument);
    }
}

// An SDK function whose Python shape is its own, with None refused where the rule above says.
template <typename R, typename... P>
auto calling(R (*fn)(P...)) {
    return [fn](python_arg_t<P>... args) -> R { return fn(unwrap<P>(std::move(args))...); };
}

}  // namespace lentra_binding

namespace pybind11::detail {

template <typename T>
struct type_caster<lentra_binding::Required<T>> {
    // Python signatures show the type itself.
    PYBIND11_TYPE_CASTER(lentra_binding::Required<T>, make_caster<T>::name);

    bool load(handle src, bool convert) {
        if (src.is_none()) {
            value.value.reset();
            return true;
        }
        make_caster<T> inner;
        if (!inner.load(src, convert)) return false;
        value.value = cast_op<T>(inner);
        return true;
    }

    static handle cast(const lentra_binding::Required<T>& src, return_value_policy policy, handle parent) {
        if (!src.value) return none().release();
        return make_caster<T>::cast(*src.value, policy, parent);
    }
};

}  // namespace pybind11::detail
