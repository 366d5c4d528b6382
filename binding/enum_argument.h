// An enumeration argument for which None raises RuntimeError with an empty message before the SDK
// is called, while a plain int (or another enumeration's member) still raises TypeError.
//
// pybind11 2 behaved so for every enumeration argument (None loaded as an empty reference, whose
// cast then failed); pybind11 3 raises TypeError instead. Functions whose None behaviour is part
// of the interface take their enumeration as EnumArg<E> and read it with get().
#pragma once

#include <optional>
#include <stdexcept>

#include <pybind11/pybind11.h>

namespace lentra_binding {

template <typename E>
struct EnumArg {
    std::optional<E> member;

    E get() const {
        if (!member) throw std::runtime_error("");
        return *member;
    }
};

}  // namespace lentra_binding

namespace pybind11::detail {

template <typename E>
struct type_caster<lentra_binding::EnumArg<E>> {
    // Python signatures show the enumeration itself.
    PYBIND11_TYPE_CASTER(lentra_binding::EnumArg<E>, make_caster<E>::name);

    bool load(handle src, bool convert) {
        if (src.is_none()) {
            value.member.reset();
            return true;
        }
        make_caster<E> inner;
        if (!inner.load(src, convert)) return false;
        value.member = cast_op<E>(inner);
        return true;
    }

    static handle cast(const lentra_binding::EnumArg<E>& src, return_value_policy policy, handle parent) {
        if (!src.member) return none().release();
        return make_caster<E>::cast(*src.member, policy, parent);
    }
};

}  // namespace pybind11::detail
